#include "PictureTest.h"

#include <array>
#include <string_view>

bool PassesPictureTest(const std::filesystem::path& path) {
    static constexpr std::array<std::string_view, 16> kPatterns = {
        ".jpg", ".JPG", ".jpeg", ".JPEG", ".png", ".PNG", ".bmp", ".BMP",
        ".tif", ".TIF", ".tiff", ".TIFF", ".gif", ".GIF", ".emf", ".EMF",
    };
    const std::string_view text = path.native();
    for (std::string_view pattern : kPatterns) {
        if (text.find(pattern) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

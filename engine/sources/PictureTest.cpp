#include "PictureTest.h"

#include <array>
#include <cctype>
#include <system_error>

namespace {

// The kinds of the first design, then what phones, web pages, archives and
// scanners give today.
constexpr std::array<std::string_view, 15> kPictureExtensions = {
    "jpg",  "jpeg", "png",  "bmp",  "tif", "tiff", "gif", "emf",
    "heic", "heif", "avif", "webp", "jxl", "jp2",  "j2k",
};

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

} // namespace

std::span<const std::string_view> PictureExtensions() {
    return kPictureExtensions;
}

bool EndsWithPictureExtension(std::string_view name, bool needDot) {
    for (std::string_view extension : kPictureExtensions) {
        const size_t length = extension.size() + (needDot ? 1 : 0);
        if (name.size() < length) {
            continue;
        }
        const std::string_view tail = name.substr(name.size() - extension.size());
        if (EqualIgnoringCase(tail, extension) && (!needDot || name[name.size() - length] == '.')) {
            return true;
        }
    }
    return false;
}

bool PassesPictureTest(const std::filesystem::path& path) {
    return EndsWithPictureExtension(path.filename().native(), true);
}

bool IsPictureFile(const std::filesystem::path& path) {
    if (!PassesPictureTest(path)) {
        return false;
    }
    std::error_code unknown;
    const std::filesystem::file_status status = std::filesystem::status(path, unknown);
    return unknown || status.type() == std::filesystem::file_type::regular ||
           status.type() == std::filesystem::file_type::not_found;
}

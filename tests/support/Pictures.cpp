#include "Pictures.h"

#include <vips/vips8>

#include <mutex>
#include <stdexcept>
#include <vector>

using vips::VImage;

namespace {

void StartVips() {
    static std::once_flag started;
    std::call_once(started, [] {
        if (VIPS_INIT("quillmark-tests") != 0) {
            throw std::runtime_error("cannot start libvips");
        }
        // Tests rewrite files under the same name: never answer from a cache.
        vips_cache_set_max(0);
    });
}

VImage SolidImage(int width, int height, const std::vector<double>& bands) {
    return VImage::black(width, height)
        .new_from_image(bands)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

void Save(const VImage& image, const std::filesystem::path& path) {
    // libvips writes BMP only through its ImageMagick saver.
    if (path.extension() == ".bmp") {
        image.magicksave(path.c_str(), VImage::option()->set("format", "bmp"));
    } else {
        image.write_to_file(path.c_str());
    }
}

} // namespace

void WriteSolidPicture(const std::filesystem::path& path, int width, int height, std::array<uint8_t, 3> rgb) {
    StartVips();
    Save(SolidImage(width, height, {double(rgb[0]), double(rgb[1]), double(rgb[2])}), path);
}

void WriteRgbaPng(const std::filesystem::path& path, int width, int height, std::array<uint8_t, 4> rgba) {
    StartVips();
    Save(SolidImage(width, height, {double(rgba[0]), double(rgba[1]), double(rgba[2]), double(rgba[3])}),
         path);
}

std::array<uint8_t, 3> ReadPixel(const std::filesystem::path& path, int x, int y) {
    StartVips();
    VImage image = VImage::new_from_file(path.c_str()).colourspace(VIPS_INTERPRETATION_sRGB);
    std::vector<double> pixel = image.getpoint(x, y);
    return {static_cast<uint8_t>(pixel.at(0)), static_cast<uint8_t>(pixel.at(1)),
            static_cast<uint8_t>(pixel.at(2))};
}

PictureSize ReadSize(const std::filesystem::path& path) {
    StartVips();
    VImage image = VImage::new_from_file(path.c_str());
    return {image.width(), image.height()};
}

#include "StatedResolution.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr double kMillimetresPerInch = 25.4;

bool HasField(const vips::VImage& picture, const char* name) {
    return vips_image_get_typeof(picture.get_image(), name) != 0;
}

std::string LoaderOf(const vips::VImage& picture) {
    const char* loader = nullptr;
    if (HasField(picture, "vips-loader") &&
        vips_image_get_string(picture.get_image(), "vips-loader", &loader) == 0 && loader != nullptr) {
        return loader;
    }
    return {};
}

} // namespace

PictureResolution StatedResolution(const vips::VImage& picture) {
    const double xPerMm = picture.xres();
    const double yPerMm = picture.yres();
    if (xPerMm == 1.0 && yPerMm == 1.0) {
        return {};
    }
    PictureResolution resolution{xPerMm * kMillimetresPerInch, yPerMm * kMillimetresPerInch};
    const std::string loader = LoaderOf(picture);
    if (loader.rfind("jpegload", 0) == 0 && !HasField(picture, "exif-ifd0-XResolution") &&
        std::abs(resolution.x - 72) < 1e-6 && std::abs(resolution.y - 72) < 1e-6) {
        return {};
    }
    if (loader.rfind("tiffload", 0) == 0 && !HasField(picture, "resolution-unit") && xPerMm > 0 &&
        yPerMm > 0) {
        const double finer = std::max(xPerMm, yPerMm);
        return {xPerMm / finer * kUnstatedPixelsPerInch, yPerMm / finer * kUnstatedPixelsPerInch};
    }
    return resolution;
}

#include "StatedResolution.h"

#include <algorithm>
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
    if (loader.rfind("tiffload", 0) == 0 && !HasField(picture, "resolution-unit") && xPerMm > 0 &&
        yPerMm > 0) {
        const double finer = std::max(xPerMm, yPerMm);
        return {xPerMm / finer * kUnstatedPixelsPerInch, yPerMm / finer * kUnstatedPixelsPerInch};
    }
    return resolution;
}

vips::VImage WithJpegDensity(vips::VImage picture, const std::optional<JpegLayout>& layout) {
    if (!layout || HasField(picture, "exif-ifd0-XResolution")) {
        return picture;
    }
    const std::optional<JfifDensity>& jfif = layout->jfif;
    if (jfif && jfif->unit != 0 && jfif->x > 1 && jfif->y > 1) {
        return picture;
    }
    double xPerMm = 1.0; // none, as libvips says it
    double yPerMm = 1.0;
    if (jfif && jfif->unit == 0 && jfif->x > 0 && jfif->y > 0 && jfif->x != jfif->y) {
        const double finer = std::max(jfif->x, jfif->y);
        xPerMm = jfif->x / finer * kUnstatedPixelsPerInch / kMillimetresPerInch;
        yPerMm = jfif->y / finer * kUnstatedPixelsPerInch / kMillimetresPerInch;
    }
    return picture.copy(vips::VImage::option()->set("xres", xPerMm)->set("yres", yPerMm));
}

vips::VImage WithPngDensity(vips::VImage picture, const ReadBytesAt& read) {
    std::string density;
    WalkPngHeaderChunks(read, [&](std::string_view type, uint32_t length, uint64_t dataAt) {
        if (type == "pHYs" && length == 9) {
            density = read(dataAt, 9);
        }
        return density.empty();
    });
    constexpr char kUnitUnknown = 0;
    if (density.size() == 9 && density[8] != kUnitUnknown) {
        return picture; // in metres: libvips reads it right
    }
    const double x = density.size() == 9 ? PngNumber(density, 0) : 0;
    const double y = density.size() == 9 ? PngNumber(density, 4) : 0;
    double xPerMm = 1.0; // none, as libvips says it
    double yPerMm = 1.0;
    if (x > 0 && y > 0 && x != y) {
        const double finer = std::max(x, y);
        xPerMm = x / finer * kUnstatedPixelsPerInch / kMillimetresPerInch;
        yPerMm = y / finer * kUnstatedPixelsPerInch / kMillimetresPerInch;
    }
    return picture.copy(vips::VImage::option()->set("xres", xPerMm)->set("yres", yPerMm));
}

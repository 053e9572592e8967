#include "TiffFallback.h"

#include "ColourToSrgb.h"
#include "TiffOpen.h"
#include "VipsRuntime.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <tiffio.h>
#include <unistd.h>

using vips::VImage;

static_assert(std::endian::native == std::endian::little,
              "libtiff's packed ABGR pixels are read as RGBA bytes, which holds on little-endian machines");

VImage ReadTiffAsRgba(int fd, int directory, int64_t maxPixels, bool stopOnError) {
    const TiffHandle tiff = OpenTiffFile(fd, "picture");
    if (!tiff) {
        throw std::runtime_error(LibtiffReason("libtiff cannot open it"));
    }
    if (directory > 0 && TIFFSetDirectory(tiff.get(), static_cast<tdir_t>(directory)) != 1) {
        throw std::runtime_error(LibtiffReason("libtiff cannot find page " + std::to_string(directory + 1)));
    }
    uint32_t width = 0;
    uint32_t height = 0;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
    if (width == 0 || height == 0 || int64_t{width} * height > maxPixels) {
        throw std::runtime_error("libtiff: unusable picture size " + std::to_string(width) + " x " +
                                 std::to_string(height));
    }
    char refusal[1024] = {};
    if (!TIFFRGBAImageOK(tiff.get(), refusal)) {
        throw std::runtime_error(std::string("libtiff: ") + refusal);
    }
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);
    if (orientation < ORIENTATION_TOPLEFT || orientation > ORIENTATION_LEFTBOT) {
        orientation = ORIENTATION_TOPLEFT;
    }
    const size_t pixels = size_t{width} * height;
    auto* raster = static_cast<uint32_t*>(std::malloc(pixels * sizeof(uint32_t)));
    if (raster == nullptr) {
        throw std::runtime_error("not enough memory for a " + std::to_string(width) + " x " +
                                 std::to_string(height) + " picture");
    }
    // Asking for the file's own orientation leaves the rows as stored; the
    // orientation is applied later, as for every other picture.
    if (!TIFFReadRGBAImageOriented(tiff.get(), width, height, raster, orientation, stopOnError ? 1 : 0)) {
        std::free(raster);
        throw std::runtime_error(LibtiffReason("libtiff could not read the pixels"));
    }
    VImage image = VImage::new_from_memory_steal(raster, pixels * sizeof(uint32_t), static_cast<int>(width),
                                                 static_cast<int>(height), 4, VIPS_FORMAT_UCHAR);

    uint16_t photometric = PHOTOMETRIC_RGB;
    uint16_t samples = 1;
    uint16_t extraCount = 0;
    uint16_t* extraKinds = nullptr;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds);
    const bool grey = (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) &&
                      samples - extraCount <= 1;
    if (extraCount > 0) {
        // libtiff hands alpha back premultiplied.
        image = image.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
                    .unpremultiply()
                    .cast(VIPS_FORMAT_UCHAR);
        image = grey ? image.extract_band(0).bandjoin(image.extract_band(3)) : image;
    } else {
        image = grey ? image.extract_band(0) : image.extract_band(0, VImage::option()->set("n", 3));
    }
    uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PLANARCONFIG, &planar);
    // libtiff turns white-is-zero grey the right way up only when its samples
    // are interleaved; from planes of their own it gives the stored levels.
    if (grey && photometric == PHOTOMETRIC_MINISWHITE && planar == PLANARCONFIG_SEPARATE && samples > 1) {
        const VImage level = image.extract_band(0).invert();
        image = image.bands() == 2 ? level.bandjoin(image.extract_band(1)) : level;
    }
    auto* options =
        VImage::option()->set("interpretation", grey ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB);
    // The resolution as libvips' own TIFF reader gives it, so that a fax read
    // here keeps its true shape: pixels per millimetre, and without a unit
    // only the pixels' shape, the finer axis at 96 dpi.
    float xRes = 0;
    float yRes = 0;
    uint16_t unit = RESUNIT_INCH;
    if (TIFFGetField(tiff.get(), TIFFTAG_XRESOLUTION, &xRes) &&
        TIFFGetField(tiff.get(), TIFFTAG_YRESOLUTION, &yRes) && xRes > 0 && yRes > 0 && std::isfinite(xRes) &&
        std::isfinite(yRes)) {
        TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
        const double perMm = unit == RESUNIT_CENTIMETER ? 0.1
                             : unit == RESUNIT_NONE     ? 96.0 / 25.4 / std::max(xRes, yRes)
                                                        : 1 / 25.4;
        options->set("xres", xRes * perMm)->set("yres", yRes * perMm);
    }
    image = image.copy(options);
    image.set(VIPS_META_ORIENTATION, orientation);

    uint32_t profileLength = 0;
    void* profile = nullptr;
    if (TIFFGetField(tiff.get(), TIFFTAG_ICCPROFILE, &profileLength, &profile) && profile &&
        profileLength > 0) {
        image = WithProfile(image, std::string_view(static_cast<const char*>(profile), profileLength));
    }
    return image;
}

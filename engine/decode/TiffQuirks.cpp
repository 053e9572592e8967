#include "TiffQuirks.h"

#include "TiffOpen.h"
#include "VipsRuntime.h"

#include <stdexcept>
#include <tiffio.h>

TiffQuirks FindTiffQuirks(int fd, int directory) {
    TiffQuirks quirks;
    const TiffHandle tiff = OpenTiffFile(fd, "quirks", TiffComplaints::Ignored);
    if (!tiff) {
        return quirks;
    }
    if (directory > 0 && TIFFSetDirectory(tiff.get(), static_cast<tdir_t>(directory)) != 1) {
        return quirks;
    }
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t samples = 1;
    uint16_t format = SAMPLEFORMAT_UINT;
    uint16_t extraCount = 0;
    uint16_t* extraKinds = nullptr;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds);
    uint16_t photometric = 0;
    const bool photometricGiven = TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric) == 1;
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    quirks.greyPlanesApart = photometricGiven && grey && planar == PLANARCONFIG_SEPARATE && samples > 1;
    quirks.floatWithoutPhotometric =
        !photometricGiven && format == SAMPLEFORMAT_IEEEFP && samples == extraCount + 1;
    return quirks;
}

std::string WithGreyPhotometric(std::string file, int directory) {
    TiffInMemory memory{std::move(file)};
    TiffHandle tiff = OpenTiffInMemory(memory, "picture", "r+");
    if (!tiff) {
        throw std::runtime_error(LibtiffReason("libtiff cannot open it"));
    }
    if (directory > 0 && TIFFSetDirectory(tiff.get(), static_cast<tdir_t>(directory)) != 1) {
        throw std::runtime_error(LibtiffReason("libtiff cannot find page " + std::to_string(directory + 1)));
    }
    if (TIFFSetField(tiff.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) != 1 ||
        TIFFRewriteDirectory(tiff.get()) != 1) {
        throw std::runtime_error(LibtiffReason("libtiff cannot mark the picture as grey"));
    }
    tiff.reset(); // writes what libtiff still holds
    return std::move(memory.bytes);
}

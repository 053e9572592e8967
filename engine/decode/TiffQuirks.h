#pragma once

#include <string>

// TIFFs that libvips' reader gets wrong, found with libtiff before libvips
// is asked, and the help such a file needs.
struct TiffQuirks {
    // Grey with alpha (or other extra samples) stored plane after plane:
    // libvips reads the planes as if they were interleaved, and shows stripes.
    bool greyPlanesApart = false;
    // One floating-point sample a pixel and no PhotometricInterpretation tag:
    // libvips and libtiff's RGBA reader refuse the file, other readers show
    // it as grey, black at zero.
    bool floatWithoutPhotometric = false;
};

// The quirks of directory `directory` (0 the first) of the TIFF open on `fd`,
// which stays the caller's. None when libtiff cannot read that directory.
TiffQuirks FindTiffQuirks(int fd, int directory);

// `file`, a whole TIFF, with directory `directory` marked as grey, black at
// zero: libtiff writes the directory again, with the tag, at the end of the
// copy, and points the file at it. Throws std::runtime_error with libtiff's
// reason when it cannot.
std::string WithGreyPhotometric(std::string file, int directory);

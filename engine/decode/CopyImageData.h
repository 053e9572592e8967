#pragma once

#include "KeptJpeg.h"
#include "PageSetup.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// A page stored losslessly, or why it could not be stored.
struct LosslessPageResult {
    std::optional<KeptJpeg> kept; // set when `destination` now holds the page's image stream
    std::string writeError;       // set when it could not be stored (disk full, folder gone)
    uint64_t diskFullNeeding = 0; // set when that was for a full disk: the page's size
};

// Copies the compressed data of page `part` of `source` into `destination`
// where a document shows it as it is, without decoding a pixel into the page:
// - a PNG as ReadPngStream takes it (FlateDecode with PNG predictors);
// - a single-strip Group 4 TIFF page, its strip as it is;
// - a grey or RGB 8-bit JPEG 2000 picture, the whole file.
// With `pdf14` (the document stays within PDF 1.4, as PDF/A-1 does) neither
// JPEG 2000 nor 16-bit PNGs are copied: they are decoded.
// The data is checked to decode through. A PNG that cannot be copied
// (interlaced, transparent, with a colour profile, one bit a pixel, which
// Group 4 stores smaller) is decoded to its own values, transparency over
// white, and stored losslessly (StoreOwnPixels). Anything else, damaged data
// included, is left to the normalisation (no `kept`, nothing written). The result says
// where the picture goes on the page picture LayOutPage measures for it on
// `page`, as the normalisation would draw it, its orientation applied.
LosslessPageResult CopyImageData(const std::filesystem::path& source, size_t part,
                                 const std::filesystem::path& destination, const PageSetup& page, bool pdf14);

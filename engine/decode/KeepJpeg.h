#pragma once

#include "KeptJpeg.h"
#include "PageSetup.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Whether a JPEG source can go into the PDF as it is, and if so its copy.
struct KeepJpegResult {
    std::optional<KeptJpeg> kept; // set when `destination` now holds the source's own bytes
    std::string writeError;       // set when the copy could not be stored (disk full, folder gone)
    uint64_t diskFullNeeding = 0; // set when that was for a full disk: the copy's size
};

// Copies `source` byte for byte, less its EXIF segments, to `destination`
// when it is a JPEG the PDF can show without help: Huffman-coded baseline or
// progressive, 8 bits, grey or YCbCr (or RGB that says so in an Adobe
// segment), no larger than a rendered picture may be, and whole: its coded
// data runs to the end marker (ReachesEndOfImage). Nothing is decoded, so
// keeping costs little more than copying the file; damage inside the coded
// data goes into the document as the file holds it, where any viewer shows it
// as it shows the file. Anything else, cut-short files included, is left to
// the normalisation (no `kept`, nothing written), which renders and reports
// it as it always has. The result says where the picture goes on the page
// picture LayOutPage measures for it on `page`, exactly where the
// normalisation would draw it, its EXIF orientation applied.
KeepJpegResult KeepJpegAsIs(const std::filesystem::path& source, const std::filesystem::path& destination,
                            const PageSetup& page);

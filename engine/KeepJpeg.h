#pragma once

#include "PageNotes.h"
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
};

// Copies `source` byte for byte, less its EXIF segments, to `destination`
// when it is a JPEG the PDF can show without help: Huffman-coded baseline or
// progressive, 8 bits, grey or YCbCr (or RGB that says so in an Adobe
// segment), no larger than a rendered picture may be, and decoding cleanly
// (JpegDecodesCleanly). Anything else, damaged files included, is left to the
// normalisation (no `kept`, nothing written), which renders and reports it as
// it always has. The result says where the picture goes on the page
// picture LayOutPage measures for it on `page`, exactly where the
// normalisation would draw it, its EXIF orientation applied.
KeepJpegResult KeepJpegAsIs(const std::filesystem::path& source, const std::filesystem::path& destination,
                            const PageSetup& page);

// True when the JPEG in `bytes` decodes from end to end without an error or a
// single warning of the decoder, harmless ones included: only then is nothing
// lost by embedding it, and nothing the normalisation would report left
// unsaid. Every bit of the data is read (that is where damage shows), at an
// eighth of the size; that still costs about half of rendering the picture.
bool JpegDecodesCleanly(std::string_view bytes);

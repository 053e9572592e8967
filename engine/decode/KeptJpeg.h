#pragma once

#include "PagePlacement.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A page file that is the source picture itself (a link to it), checked when
// the page was prepared: what to leave out when its bytes go into the
// document (its EXIF segments, as {offset, length}), and the size and
// modification time it had then, so that a file changed since is never
// embedded unchecked.
struct LinkedSource {
    std::vector<std::pair<uint64_t, uint64_t>> leaveOut;
    uint64_t bytes = 0;
    int64_t modifiedNs = 0;
    bool operator==(const LinkedSource&) const = default;
};

// How a page file that is not a JPEG file holds its picture: an image stream
// ready for the document, stored as the filter below decodes it. The file is
// copied into the document as it is.
struct StreamCoding {
    enum class Filter : uint8_t {
        Flate, // zlib data, with a PNG filter byte before each row when `pngPredictors`
        G4,    // CCITT Group 4, one bit a pixel, 0 for black unless `blackIs1`
        Jpx,   // a JPEG 2000 file or codestream, which says its own colours and depth
    };
    Filter filter = Filter::Flate;
    int32_t components = 1; // 1 grey (or palette indices), 3 RGB
    int32_t bits = 8;       // bits per component: 1, 2, 4, 8 or 16
    bool pngPredictors = false;
    bool blackIs1 = false;
    std::string palette; // RGB triples; set: the values are indices into it
    bool operator==(const StreamCoding&) const = default;
};

// A picture embedded as it is (a JPEG source byte for byte, its EXIF segment
// left out, or an image stream made losslessly from the source) instead of a
// rendered page: where the picture goes on the page picture it stands in
// for, and how it is turned there. A JPEG's page file is a copy of the
// source less its EXIF, or, where the folder takes links, the source itself
// (`linked`); any other page file is an image stream as `coding` says.
struct KeptJpeg {
    int32_t width = 0; // the picture as stored, before its EXIF turn
    int32_t height = 0;
    int32_t orientation = 1; // EXIF orientation 1 to 8, applied by the page's matrix
    int32_t pageWidth = 0;   // the page picture it stands in for, in pixels
    int32_t pageHeight = 0;
    PagePlacement place; // where the turned picture lands on that page picture
    std::optional<LinkedSource> linked;
    std::optional<StreamCoding> coding; // empty: the page file is a JPEG file
    bool operator==(const KeptJpeg&) const = default;
};

#pragma once

#include "PagePlacement.h"

#include <cstdint>
#include <optional>
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

// A JPEG source embedded byte for byte (its EXIF segment left out) instead of
// a rendered page: where the picture goes on the page picture it stands in
// for, and how it is turned there. The page file is a copy of the source less
// its EXIF, or, where the folder takes links, the source itself (`linked`).
struct KeptJpeg {
    int32_t width = 0; // the picture as stored, before its EXIF turn
    int32_t height = 0;
    int32_t orientation = 1; // EXIF orientation 1 to 8, applied by the page's matrix
    int32_t pageWidth = 0;   // the page picture it stands in for, in pixels
    int32_t pageHeight = 0;
    PagePlacement place; // where the turned picture lands on that page picture
    std::optional<LinkedSource> linked;
    bool operator==(const KeptJpeg&) const = default;
};

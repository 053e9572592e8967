#pragma once

#include "PagePlacement.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// A metafile's page drawn as vectors: a one-page PDF our players drew,
// shown where the page picture rendered from the same metafile shows the
// drawing. That page picture is made as well and stays beside it, for
// documents that cannot take the vectors (PDF/A-1b) and for text recognition.
struct VectorPage {
    int32_t pageWidth = 0; // the page picture it stands in for, in pixels
    int32_t pageHeight = 0;
    PagePlacement place; // where the drawing lands on that page picture
    // The one-page PDF. The preparation sets it from the page picture's own
    // name (VectorPagePath): a worker's notes never name a file to read.
    std::filesystem::path file;
    bool operator==(const VectorPage&) const = default;
};

// What became of drawing a page as vectors.
struct VectorPageResult {
    std::optional<VectorPage> page; // set when the destination holds the page
    std::string writeError;         // set when the page could not be stored (disk full, folder gone)
    uint64_t diskFullNeeding = 0;   // set when that was for a full disk: the page's size
};

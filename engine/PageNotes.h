#pragma once

#include "PagePlacement.h"
#include "PageText.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What the PDF stage needs to know about a prepared page beyond its pixels,
// written by the preparation beside the page ("n.json" beside "n.jpg") and
// read back by the PDF stage. Each note is optional, so a page without a side
// file (or one written by an older Quillmark) is placed as a full page.

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

struct PageNotes {
    std::filesystem::path source; // the picture the page was made from; empty when not known
    std::optional<KeptJpeg> keptJpeg;
    std::optional<PageText> text; // the page's recognised text, when it has any
    bool operator==(const PageNotes&) const = default;
};

// The side file of the page at `page`.
std::filesystem::path PageNotesPath(const std::filesystem::path& page);

// Writes the notes of `page`, replacing the side file in one step: a reader
// (or a worker that dies while writing) never leaves half of it. Empty on
// success, otherwise why not.
std::string WritePageNotes(const std::filesystem::path& page, const PageNotes& notes);

struct PageNotesRead {
    PageNotes notes;
    std::string error; // set when a side file exists but is unreadable or out of bounds
};

// The notes of `page`: empty notes when it has no side file. A side file that
// is not ours to trust (malformed, too large, sizes or places out of bounds)
// is an error, never a page placed from half-read numbers.
PageNotesRead ReadPageNotes(const std::filesystem::path& page);

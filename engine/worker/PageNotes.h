#pragma once

#include "KeptJpeg.h"
#include "PageText.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What the PDF stage needs to know about a prepared page beyond its pixels:
// sent by the decoder worker with each page, and (for the PDF stage that
// still reads them) written beside the page ("n.json" beside "n.jpg"). Each note is optional, so a page
// without a side file (or one written by an older Quillmark) is placed as a full page.

struct PageNotes {
    std::filesystem::path source; // the picture the page was made from; empty when not known
    std::optional<KeptJpeg> keptJpeg;
    std::optional<PageText> text; // the page's recognised text, when it has any
    bool operator==(const PageNotes&) const = default;
};

// The notes as JSON text, the form both the side file and the decoder
// worker's reply carry.
std::string PageNotesToJson(const PageNotes& notes);

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

// Reads what PageNotesToJson wrote, with the same checks as ReadPageNotes;
// `error` then says what is wrong, without naming where the text came from.
PageNotesRead PageNotesFromJson(const std::string& text);

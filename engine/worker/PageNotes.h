#pragma once

#include "KeptJpeg.h"
#include "PageText.h"
#include "VectorPage.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What a decoder worker tells about each page it made beyond its pixels: the
// kept JPEG's place, the recognised text and the place of the page drawn as
// vectors (never its file: the reader knows where its pages are). Each note
// is optional.

struct PageNotes {
    std::filesystem::path source; // the picture the page was made from; empty when not known
    std::optional<KeptJpeg> keptJpeg;
    std::optional<PageText> text; // the page's recognised text, when it has any
    std::optional<VectorPage> vectorPage;
    bool operator==(const PageNotes&) const = default;
};

// The notes as JSON text, the form the decoder worker's reply carries.
std::string PageNotesToJson(const PageNotes& notes);

struct PageNotesRead {
    PageNotes notes;
    std::string error; // set when the text is malformed, too large, or sizes or places are out of bounds
};

// Reads what PageNotesToJson wrote. Notes that are not ours to trust are an
// error, never a page placed from half-read numbers; `error` says what is
// wrong, without naming where the text came from.
PageNotesRead PageNotesFromJson(const std::string& text);

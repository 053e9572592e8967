#pragma once

#include "KeptJpeg.h"
#include "PageText.h"
#include "PictureOutcome.h"
#include "ScanCleaning.h"
#include "VectorPage.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// What the preparation hands to the PDF stage: one entry per page, in the
// order the pages go into the documents. The page pictures themselves are
// files in the job's scratch folder; everything else a page needs travels
// here, as data.

struct PreparedPage {
    std::filesystem::path source; // the picture the page was made from
    size_t picture = 0;           // that picture's place in its list or group, from 0
    size_t part = 0;              // which page of the picture, from 0
    size_t partCount = 1;         // how many pages the picture has
    // The page picture; empty when none could be written (the page is then
    // left out of the documents and reported).
    std::filesystem::path file;
    // Set when `file` holds the source JPEG itself, byte for byte (a copy, or
    // a link to the source): it is placed as this says, not over the page.
    std::optional<KeptJpeg> keptJpeg;
    std::optional<PageText> text;          // the page's recognised text, when it has any
    // Set when the page was drawn as vectors too: shown instead of `file`
    // where the document can take them.
    std::optional<VectorPage> vectorPage;
    std::optional<PictureOutcome> problem; // empty for a page that converted cleanly
    std::string reason;                    // why, when there is a problem
    ScanDecisions scan; // what cleaning the scan did; a blank page has no `file`
};

// The pages of a list of pictures, or of one folder of a list of folders.
struct PreparedGroup {
    std::filesystem::path folder; // the group's folder; empty for a list of pictures
    std::string name;             // the group's output sub-folder ("Jan", "Jan (2)"); empty for a list
    std::vector<PreparedPage> pages;
};

// The pages of `group` that have a page picture, grouped by picture in order:
// one document per picture takes each of these whole.
std::vector<std::vector<const PreparedPage*>> PagesByPicture(const PreparedGroup& group);

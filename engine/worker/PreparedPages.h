#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The hand-off between the two stages: the preparation stage writes the page
// of the picture at place n of its list or group as "n.jpg", and a picture of
// several pages its further pages as "n-1.jpg", "n-2.jpg", ...; the PDF stage
// reads the pages back in the order of n, then of the part. Anything more a
// page needs to be placed (written by the preparation, read by the PDF stage)
// goes beside it in a side file of the same stem. Both sides go through this
// file.

// Where page `part` (0 for the first) of the picture at place `number` goes.
std::filesystem::path PreparedPagePath(const std::filesystem::path& folder, size_t number, size_t part = 0);

// The pages the preparation wrote for the picture whose first page is
// `first`: `first` itself, then its parts "n-1.jpg", "n-2.jpg", ... as far
// as they go. Empty when `first` is not there.
std::vector<std::filesystem::path> PagesOfPicture(const std::filesystem::path& first);
// Where page `part` of a picture goes, given where its first page goes
// ("folder/7.jpg" gives "folder/7-2.jpg" for part 2; part 0 is the first page).
std::filesystem::path PartPagePath(const std::filesystem::path& firstPage, size_t part);

// One page the preparation stage wrote.
struct PageFile {
    std::string number; // the picture's place: digits without leading zeros; empty for another name
    size_t part = 0;    // which page of that picture
    std::filesystem::path path;
};

struct PreparedPages {
    std::vector<PageFile> pages;
    bool folderMissing = false;
    std::string error; // set when the folder exists but cannot be listed
};

// The "*.jpg" files directly in `folder`: numbered ones by their number and
// part, then any others by name. The number, not the file time or the listing
// order, is what keeps the user's order.
PreparedPages ListPreparedPages(const std::filesystem::path& folder);

// The pages grouped by picture, in order: one group per number (pages with
// another name are left out), for one document per picture.
std::vector<std::vector<PageFile>> PagesByPicture(const std::vector<PageFile>& pages);

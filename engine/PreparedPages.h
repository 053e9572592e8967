#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The hand-off between the two stages: the preparation stage writes the page
// of the picture at place n of its list or group as "n.jpg"; the PDF stage
// reads the pages back in the order of n. Both sides go through this file.

// Where the page of the picture at place `number` goes.
std::filesystem::path PreparedPagePath(const std::filesystem::path& folder, size_t number);

// One page the preparation stage wrote.
struct PreparedPage {
    std::string number; // the digits of the name without leading zeros; empty for another name
    std::filesystem::path path;
};

struct PreparedPages {
    std::vector<PreparedPage> pages;
    bool folderMissing = false;
    std::string error; // set when the folder exists but cannot be listed
};

// The "*.jpg" files directly in `folder`: numbered ones by their number, then
// any others by name. The number, not the file time or the listing order, is
// what keeps the user's order.
PreparedPages ListPreparedPages(const std::filesystem::path& folder);

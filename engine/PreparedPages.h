#pragma once

#include <filesystem>
#include <string>
#include <vector>

// One page the preparation stage wrote: "n.jpg", where n is the picture's place
// in its list or group.
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

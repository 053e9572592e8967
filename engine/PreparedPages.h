#pragma once

#include <filesystem>
#include <vector>

// One page the preparation stage wrote: "n.jpg", where n is the picture's place
// in its list or group.
struct PreparedPage {
    long number;
    std::filesystem::path path;
};

// The prepared pages directly in `folder`, by their number. The number, not
// the file time or the listing order, is what keeps the user's order.
std::vector<PreparedPage> ListPreparedPages(const std::filesystem::path& folder);

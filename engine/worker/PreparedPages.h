#pragma once

#include <cstddef>
#include <filesystem>

// Where the preparation writes its page pictures in the scratch folder: the
// page of the picture at place n of its list or group as "n.jpg", and a
// picture of several pages its further pages as "n-1.jpg", "n-2.jpg", ....
// The PDF stage is told each page's file with the page itself; it never
// lists the folder.

// Where page `part` (0 for the first) of the picture at place `number` goes.
std::filesystem::path PreparedPagePath(const std::filesystem::path& folder, size_t number, size_t part = 0);

// Where page `part` of a picture goes, given where its first page goes
// ("folder/7.jpg" gives "folder/7-2.jpg" for part 2; part 0 is the first page).
std::filesystem::path PartPagePath(const std::filesystem::path& firstPage, size_t part);

// Where the vectors of a page go, given where its page picture goes
// ("folder/7.jpg" gives "folder/7.pdf").
std::filesystem::path VectorPagePath(const std::filesystem::path& page);

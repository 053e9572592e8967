#pragma once

#include <filesystem>
#include <string_view>

// Names in the order people read them: digits as numbers ("img2" before
// "img10"), letter case only as a last tie-break ("img2" before "IMG3"), and
// the letters of every script in the collation of the user's language
// (ICU's, from the locale of the environment; Chinese names in the order a
// Chinese user expects). Names the collation finds equal are ordered by their
// bytes, so the order is total and the same on every run.

// Below zero, zero or above zero as `a` comes before, equals or comes after
// `b`. Both are UTF-8; bytes that are not are read as replacement characters.
int CompareNaturally(std::string_view a, std::string_view b);

// Paths compared folder by folder, then by the file's own name, each
// naturally: "/scans/b/1.jpg" comes before "/scans/b c/1.jpg".
bool NaturallyBefore(const std::filesystem::path& a, const std::filesystem::path& b);

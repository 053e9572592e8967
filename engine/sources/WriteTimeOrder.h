#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

// The ordering key of a file: its last-write time as local time, written as the
// digits yyyymmddhhmmssmmm (5 March 2021 14:07:09.045 gives 20210305140709045).
// A file whose time cannot be read gets 0.
int64_t WriteTimeKey(const std::filesystem::path& path);

// Appends `source` to `target` ordered by WriteTimeKey, oldest first. Paths
// with equal keys keep their order in `source`. Works for any number of paths.
void OrderByWriteTime(const std::vector<std::filesystem::path>& source,
                      std::vector<std::filesystem::path>& target);

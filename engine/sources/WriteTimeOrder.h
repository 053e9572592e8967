#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

enum class TimeOrder : int32_t { OldestFirst = 0, NewestFirst = 1 };

// The ordering key of a file: its last-write time as local time, written as the
// digits yyyymmddhhmmssmmm (5 March 2021 14:07:09.045 gives 20210305140709045).
// A file whose time cannot be read gets 0.
int64_t WriteTimeKey(const std::filesystem::path& path);

// Appends `source` to `target` ordered by WriteTimeKey, ascending or descending.
// Paths with equal keys keep their order in `source`, in either direction.
// Works for any number of paths.
void OrderByWriteTime(const std::vector<std::filesystem::path>& source,
                      std::vector<std::filesystem::path>& target, TimeOrder direction);

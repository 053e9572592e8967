#pragma once

#include <filesystem>
#include <functional>
#include <string>

// Writes a document under a temporary name beside `target` and renames it
// into place once it is complete and on the disk, so an interrupted job never
// leaves a truncated PDF under the final name and an earlier document of that
// name is replaced only by a finished one (and only when `replaceExisting`;
// otherwise an existing file is a failure, checked in the same step as the
// rename). `write` is handed the temporary file's path (the file exists,
// empty) and writes the whole document there, once; it returns empty or why
// it failed. Returns empty on success, otherwise why the document could not
// be written or put in place; nothing is left behind then.
std::string SaveAtomically(const std::filesystem::path& target, bool replaceExisting,
                           const std::function<std::string(const std::filesystem::path& temporary)>& write);

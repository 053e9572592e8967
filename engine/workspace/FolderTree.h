#pragma once

#include <filesystem>

// Removes `folder` and everything below it. Symbolic links are removed, never
// followed, so nothing outside the folder is touched. Failures are ignored: what
// cannot be deleted stays. Returns false only when `folder` is empty.
bool DeleteFolderTree(const std::filesystem::path& folder);

#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The entries of one folder (not recursive, "." and ".." left out) in name
// order, letter case ignored, so that the result is the same on every file
// system. Empty with `error` set when the folder cannot be listed.
struct FolderListing {
    std::vector<std::filesystem::path> entries;
    std::string error;
};
FolderListing ListFolder(const std::filesystem::path& folder);

// The folder scan of the add-folder command: the files directly in `folder`
// that pass the picture test, newest first. Inserting them one by one at the top
// of a list leaves them oldest first at the top. Folders are never taken.
FolderListing ScanFolderForPictures(const std::filesystem::path& folder);

// The folders directly in `folder`, hidden ones included, in name order.
FolderListing ListSubFolders(const std::filesystem::path& folder);

#pragma once

#include "FolderOrder.h"

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

// Puts pictures of one folder, given in name order, into `order`: by write
// time, oldest first, equal times keeping their name order (an unpacked
// archive has whole-second times); or in natural name order. Standard keeps
// them as they are.
void OrderPictures(std::vector<std::filesystem::path>& pictures, FolderOrder order);

// The pictures of a folder, the one place that finds them: the files directly
// in `folder` that pass the picture test (folders are never taken, whatever
// their name), ordered by OrderPictures; Standard keeps name order. A
// folder-mode group takes its pictures so.
FolderListing ListFolderPictures(const std::filesystem::path& folder, FolderOrder order);

// The folder scan of the add-folder command: ListFolderPictures in the order
// they are to stand in the list, first first: oldest first for Standard and
// WriteTime.
FolderListing ScanFolderForPictures(const std::filesystem::path& folder,
                                    FolderOrder order = FolderOrder::Standard);

// The folders directly in `folder`, hidden ones included, in name order.
FolderListing ListSubFolders(const std::filesystem::path& folder);

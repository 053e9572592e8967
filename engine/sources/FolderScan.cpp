#include "FolderScan.h"

#include "NaturalOrder.h"
#include "PictureTest.h"
#include "WriteTimeOrder.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace {

bool NameLess(const std::filesystem::path& a, const std::filesystem::path& b) {
    const std::string x = a.filename().string();
    const std::string y = b.filename().string();
    auto folded = [](unsigned char c) { return std::tolower(c); };
    const bool less =
        std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(),
                                     [&](unsigned char p, unsigned char q) { return folded(p) < folded(q); });
    const bool greater =
        std::lexicographical_compare(y.begin(), y.end(), x.begin(), x.end(),
                                     [&](unsigned char p, unsigned char q) { return folded(p) < folded(q); });
    return less || (!greater && x < y);
}

bool IsFolder(const std::filesystem::path& path) {
    std::error_code ignored;
    return std::filesystem::is_directory(path, ignored);
}

} // namespace

FolderListing ListFolder(const std::filesystem::path& folder) {
    FolderListing listing;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        listing.entries.push_back(it->path());
    }
    if (error) {
        listing.entries.clear();
        listing.error = "cannot read the folder \"" + folder.string() + "\": " + error.message();
        return listing;
    }
    std::sort(listing.entries.begin(), listing.entries.end(), NameLess);
    return listing;
}

void OrderPictures(std::vector<std::filesystem::path>& pictures, FolderOrder order) {
    if (order == FolderOrder::Name) {
        std::stable_sort(pictures.begin(), pictures.end(), [](const auto& a, const auto& b) {
            return CompareNaturally(a.filename().native(), b.filename().native()) < 0;
        });
    } else if (order == FolderOrder::WriteTime) {
        std::vector<std::filesystem::path> byTime;
        OrderByWriteTime(pictures, byTime);
        pictures = std::move(byTime);
    }
}

FolderListing ListFolderPictures(const std::filesystem::path& folder, FolderOrder order) {
    FolderListing listing = ListFolder(folder);
    std::erase_if(listing.entries, [](const auto& entry) { return !IsPictureFile(entry); });
    OrderPictures(listing.entries, order);
    return listing;
}

FolderListing ScanFolderForPictures(const std::filesystem::path& folder, FolderOrder order) {
    // The list shows what was added oldest first unless asked otherwise.
    return ListFolderPictures(folder, order == FolderOrder::Standard ? FolderOrder::WriteTime : order);
}

FolderListing ListSubFolders(const std::filesystem::path& folder) {
    FolderListing listing = ListFolder(folder);
    std::erase_if(listing.entries, [](const auto& entry) { return !IsFolder(entry); });
    return listing;
}

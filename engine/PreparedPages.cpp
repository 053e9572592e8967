#include "PreparedPages.h"

#include <algorithm>
#include <system_error>

namespace {

constexpr const char* kPageExtension = ".jpg";

// The number a prepared file's name carries, when its stem is nothing but
// decimal digits; compared as a digit string, so no length of number overflows.
std::string PlaceNumber(const std::filesystem::path& file) {
    const std::string stem = file.stem().string();
    if (stem.empty() || !std::all_of(stem.begin(), stem.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return {};
    }
    const size_t firstDigit = stem.find_first_not_of('0');
    return firstDigit == std::string::npos ? std::string("0") : stem.substr(firstDigit);
}

bool ComesBefore(const PreparedPage& a, const PreparedPage& b) {
    if (a.number.empty() != b.number.empty()) {
        return !a.number.empty();
    }
    if (a.number != b.number) {
        return a.number.size() != b.number.size() ? a.number.size() < b.number.size() : a.number < b.number;
    }
    return a.path.filename() < b.path.filename();
}

} // namespace

std::filesystem::path PreparedPagePath(const std::filesystem::path& folder, size_t number) {
    return folder / (std::to_string(number) + kPageExtension);
}

PreparedPages ListPreparedPages(const std::filesystem::path& folder) {
    PreparedPages listing;
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    if (error == std::errc::no_such_file_or_directory) {
        listing.folderMissing = true;
        return listing;
    }
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const std::filesystem::path& path = entries->path();
        std::error_code ignored;
        if (path.filename().string().ends_with(kPageExtension) && entries->is_regular_file(ignored)) {
            listing.pages.push_back({PlaceNumber(path), path});
        }
    }
    if (error) {
        listing.pages.clear();
        listing.error = "cannot list the folder \"" + folder.string() + "\": " + error.message();
        return listing;
    }
    std::sort(listing.pages.begin(), listing.pages.end(), ComesBefore);
    return listing;
}

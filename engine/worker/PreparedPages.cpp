#include "PreparedPages.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <system_error>

namespace {

constexpr const char* kPageExtension = ".jpg";

constexpr char kPartSeparator = '-';

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string WithoutLeadingZeros(std::string_view digits) {
    const size_t first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? std::string("0") : std::string(digits.substr(first));
}

// The place and part a prepared file's name carries: "n" or "n-k", decimal
// digits only. The place is kept as a digit string, so no length of number
// overflows; a part too large to count is no name of ours.
PageFile ReadName(const std::filesystem::path& file) {
    PageFile page;
    page.path = file;
    const std::string stem = file.stem().string();
    const size_t separator = stem.find(kPartSeparator);
    const std::string_view place = std::string_view(stem).substr(0, separator);
    if (!AllDigits(place)) {
        return page;
    }
    if (separator != std::string::npos) {
        const std::string_view part = std::string_view(stem).substr(separator + 1);
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), page.part);
        if (!AllDigits(part) || error != std::errc() || end != part.data() + part.size() || page.part == 0) {
            page.part = 0;
            return page;
        }
    }
    page.number = WithoutLeadingZeros(place);
    return page;
}

bool ComesBefore(const PageFile& a, const PageFile& b) {
    if (a.number.empty() != b.number.empty()) {
        return !a.number.empty();
    }
    if (a.number != b.number) {
        return a.number.size() != b.number.size() ? a.number.size() < b.number.size() : a.number < b.number;
    }
    if (a.part != b.part) {
        return a.part < b.part;
    }
    return a.path.filename() < b.path.filename();
}

} // namespace

std::filesystem::path PreparedPagePath(const std::filesystem::path& folder, size_t number, size_t part) {
    std::string name = std::to_string(number);
    if (part > 0) {
        name += kPartSeparator + std::to_string(part);
    }
    return folder / (name + kPageExtension);
}

std::vector<std::filesystem::path> PagesOfPicture(const std::filesystem::path& first) {
    std::vector<std::filesystem::path> pages;
    std::error_code ignored;
    for (std::filesystem::path page = first; std::filesystem::is_regular_file(page, ignored);) {
        pages.push_back(page);
        page = first.parent_path() /
               (first.stem().string() + kPartSeparator + std::to_string(pages.size()) + kPageExtension);
    }
    return pages;
}

std::filesystem::path PartPagePath(const std::filesystem::path& firstPage, size_t part) {
    if (part == 0) {
        return firstPage;
    }
    return firstPage.parent_path() / (firstPage.stem().string() + kPartSeparator + std::to_string(part) +
                                      firstPage.extension().string());
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
        // A kept picture's page may be a link to its source; a link whose
        // source went away is still listed, so its loss is reported.
        if (path.filename().string().ends_with(kPageExtension) &&
            (entries->is_regular_file(ignored) || entries->is_symlink(ignored))) {
            listing.pages.push_back(ReadName(path));
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

std::vector<std::vector<PageFile>> PagesByPicture(const std::vector<PageFile>& pages) {
    std::vector<std::vector<PageFile>> pictures;
    for (const auto& page : pages) {
        if (page.number.empty()) {
            continue; // not a page we prepared
        }
        if (pictures.empty() || pictures.back().front().number != page.number) {
            pictures.emplace_back();
        }
        pictures.back().push_back(page);
    }
    return pictures;
}

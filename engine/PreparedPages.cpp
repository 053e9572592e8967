#include "PreparedPages.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <system_error>

namespace {

// The number of a name such as "12.jpg"; -1 for any other name.
long PageNumberOf(const std::filesystem::path& file) {
    if (file.extension() != ".jpg") {
        return -1;
    }
    const std::string stem = file.stem().string();
    if (stem.empty() || stem.size() > 9 || !std::all_of(stem.begin(), stem.end(), [](unsigned char c) {
            return std::isdigit(c) != 0;
        })) {
        return -1;
    }
    return std::stol(stem);
}

} // namespace

std::vector<PreparedPage> ListPreparedPages(const std::filesystem::path& folder) {
    std::vector<PreparedPage> pages;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const long number = PageNumberOf(it->path());
        if (number >= 0 && it->is_regular_file(error)) {
            pages.push_back({number, it->path()});
        }
    }
    std::sort(pages.begin(), pages.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
    return pages;
}

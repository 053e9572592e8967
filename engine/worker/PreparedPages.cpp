#include "PreparedPages.h"

#include <string>

namespace {

constexpr const char* kPageExtension = ".jpg";

constexpr const char* kVectorPageExtension = ".pdf";

constexpr char kPartSeparator = '-';

} // namespace

std::filesystem::path PreparedPagePath(const std::filesystem::path& folder, size_t number, size_t part) {
    std::string name = std::to_string(number);
    if (part > 0) {
        name += kPartSeparator + std::to_string(part);
    }
    return folder / (name + kPageExtension);
}

std::filesystem::path PartPagePath(const std::filesystem::path& firstPage, size_t part) {
    if (part == 0) {
        return firstPage;
    }
    return firstPage.parent_path() / (firstPage.stem().string() + kPartSeparator + std::to_string(part) +
                                      firstPage.extension().string());
}

std::filesystem::path VectorPagePath(const std::filesystem::path& page) {
    return std::filesystem::path(page).replace_extension(kVectorPageExtension);
}

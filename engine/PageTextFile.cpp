#include "PageTextFile.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr const char* kSideFileExtension = ".json";
constexpr const char* kTextKey = "text";

// Far beyond the text of any page (a dense page is some tens of kilobytes);
// a larger file is not ours.
constexpr std::uintmax_t kMaxSideFileBytes = 32u << 20;

fs::path SideFileOf(const fs::path& page) {
    fs::path side = page;
    return side.replace_extension(kSideFileExtension);
}

// The side file's object; an empty one when there is no file yet.
json ReadSideFile(const fs::path& file, std::string& error) {
    std::error_code status;
    const std::uintmax_t size = fs::file_size(file, status);
    if (status == std::errc::no_such_file_or_directory) {
        return json::object();
    }
    if (status || size > kMaxSideFileBytes) {
        error =
            "the page's side file " + file.string() + (status ? ": " + status.message() : " is too large");
        return {};
    }
    std::ifstream stream(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    json value = json::parse(bytes, nullptr, false);
    if (!stream.good() && !stream.eof()) {
        error = "the page's side file " + file.string() + " cannot be read";
    } else if (!value.is_object()) {
        error = "the page's side file " + file.string() + " is not one of ours";
    }
    return value;
}

} // namespace

std::string StorePageText(const fs::path& page, const PageText& text) {
    const fs::path file = SideFileOf(page);
    std::string error;
    json side = ReadSideFile(file, error);
    if (!error.empty()) {
        return error;
    }
    side[kTextKey] = PageTextToJson(text);
    const fs::path temporary = fs::path(file).concat(".new");
    {
        std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
        stream << side.dump();
        stream.close();
        if (!stream) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return "cannot write the page's side file " + file.string();
        }
    }
    if (std::rename(temporary.c_str(), file.c_str()) != 0) {
        const std::string why = std::error_code(errno, std::generic_category()).message();
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return "cannot write the page's side file " + file.string() + ": " + why;
    }
    return {};
}

PageTextRead LoadPageText(const fs::path& page) {
    PageTextRead read;
    const fs::path file = SideFileOf(page);
    const json side = ReadSideFile(file, read.error);
    if (!read.error.empty()) {
        return read;
    }
    const auto text = side.find(kTextKey);
    if (text == side.end()) {
        return read;
    }
    try {
        read.text = PageTextFromJson(*text);
    } catch (const std::exception& problem) {
        read.error = "the recognised text in " + file.string() + " cannot be used: " + problem.what();
    }
    return read;
}

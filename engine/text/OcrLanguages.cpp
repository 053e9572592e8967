#include "OcrLanguages.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kDataExtension = ".traineddata";
constexpr const char* kOrientationData = "osd";
constexpr char kSeparator = '+';

std::vector<std::string> SplitLanguages(const std::string& languages) {
    std::vector<std::string> names;
    size_t start = 0;
    for (;;) {
        const size_t end = languages.find(kSeparator, start);
        names.push_back(languages.substr(start, end - start));
        if (end == std::string::npos) {
            return names;
        }
        start = end + 1;
    }
}

// Letters, digits, "_" and "-" only: a name is also a file name, and must
// never reach outside the folder.
bool PlainName(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-';
    });
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text.empty() ? "none" : text;
}

} // namespace

fs::path TessdataFolder() {
    if (const char* chosen = std::getenv("TESSDATA_PREFIX"); chosen != nullptr && *chosen != '\0') {
        return chosen;
    }
    return QUILLMARK_TESSDATA;
}

std::vector<std::string> InstalledOcrLanguages() {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry(TessdataFolder(), error), end; !error && entry != end;
         entry.increment(error)) {
        const fs::path& file = entry->path();
        std::error_code ignored;
        if (file.extension() == kDataExtension && entry->is_regular_file(ignored) &&
            file.stem() != kOrientationData && PlainName(file.stem().string())) {
            names.push_back(file.stem().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> CheckOcrLanguages(const std::string& languages) {
    const std::vector<std::string> installed = InstalledOcrLanguages();
    for (const std::string& name : SplitLanguages(languages)) {
        if (!PlainName(name)) {
            return "\"" + languages +
                   "\" is no list of languages: give their names joined by \"+\", such as " +
                   "chi_sim+eng (installed: " + Joined(installed) + ")";
        }
        if (std::find(installed.begin(), installed.end(), name) == installed.end()) {
            std::string package = "tesseract-ocr-" + name;
            std::transform(package.begin(), package.end(), package.begin(),
                           [](char c) { return c == '_' ? '-' : static_cast<char>(std::tolower(c)); });
            return "text recognition in the language \"" + name +
                   "\" is not installed (installed: " + Joined(installed) +
                   "); its data comes with the package " + package;
        }
    }
    return std::nullopt;
}

std::string DefaultOcrLanguages(const std::vector<std::string>& installed) {
    std::string languages;
    for (const char* name : {"chi_sim", "eng"}) {
        if (std::find(installed.begin(), installed.end(), name) != installed.end()) {
            languages += (languages.empty() ? "" : "+") + std::string(name);
        }
    }
    return languages;
}

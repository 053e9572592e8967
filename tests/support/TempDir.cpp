#include "TempDir.h"

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillmark-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path Corpus() { return QUILLMARK_CORPUS; }

#include "ScratchFolder.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>
#include <unistd.h>

std::filesystem::path CreateScratchFolder(const std::filesystem::path& parent) {
    std::string pattern =
        (parent / (".quillmark-work-" + std::to_string(::getpid()) + "-XXXXXX")).string();
    // mkdtemp creates a folder that did not exist before, with mode 0700.
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::filesystem::filesystem_error("cannot create a scratch folder", parent,
                                                std::error_code(errno, std::generic_category()));
    }
    return pattern;
}

#include "FolderTree.h"

#include <system_error>

bool DeleteFolderTree(const std::filesystem::path& folder) {
    if (folder.empty()) {
        return false;
    }
    std::error_code ignored;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    // Read-only marks do not stop unlink on POSIX, but a folder without write or
    // search permission would keep its contents: open it up first.
    for (auto it = std::filesystem::recursive_directory_iterator(
             folder, std::filesystem::directory_options::skip_permission_denied, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
        if (ignored) {
            break;
        }
    }
    std::filesystem::remove_all(folder, ignored);
    return true;
}

#include "ReadOnlyFolder.h"

#include "RunProgram.h"

#include <unistd.h>

ReadOnlyFolder::ReadOnlyFolder(std::filesystem::path folder) : folder_(std::move(folder)) {
    std::filesystem::create_directories(folder_);
    if (::geteuid() != 0) {
        std::filesystem::permissions(folder_,
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        return;
    }
    if (!std::filesystem::exists("/bin/mount") ||
        RunProgram("/bin/mount", {"-t", "tmpfs", "-o", "ro,size=64k", "tmpfs", folder_.string()}).exitCode !=
            0) {
        whyNot_ =
            "root writes into any folder, and this machine does not let the test mount a read-only tmpfs";
        return;
    }
    mounted_ = true;
}

ReadOnlyFolder::~ReadOnlyFolder() {
    if (mounted_) {
        RunProgram("/bin/umount", {folder_.string()});
    } else if (::geteuid() != 0) {
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_all);
    }
}

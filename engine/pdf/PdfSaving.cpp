#include "PdfSaving.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kCannotCreateTemporary = "cannot create a file in the folder";
constexpr const char* kIncompleteFile = "the document could not be written completely (is the disk full?)";
constexpr const char* kCannotRename = "cannot put the finished document in place";
constexpr const char* kCannotStore = "the document could not be stored safely on the disk";
constexpr const char* kAlreadyExists = "a file of that name already exists";

std::string SystemMessage(int error) {
    return std::error_code(error, std::generic_category()).message();
}

std::string Quoted(const fs::path& path) {
    return "\"" + path.string() + "\"";
}

fs::path FolderOf(const fs::path& target) {
    return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

// Creates an empty file of a new hidden name beside `target`, readable as any
// new file of the user would be (mkstemp would make it private to the owner).
std::optional<fs::path> CreateTemporaryBeside(const fs::path& target, std::string& error) {
    const std::string prefix = "." + target.filename().string() + ".";
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix;
        for (int i = 0; i < 6; ++i) {
            name += kLetters[pick(random)];
        }
        const fs::path candidate = FolderOf(target) / name;
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST) {
            error = SystemMessage(errno);
            return std::nullopt;
        }
    }
    error = SystemMessage(EEXIST);
    return std::nullopt;
}

// libharu closes its file without checking, so a disk that fills up during
// the last write would go unnoticed; every document either writer makes ends
// in "%%EOF", and a missing end means the file is incomplete.
bool EndsComplete(const fs::path& file) {
    static constexpr char kEnd[] = "%%EOF\n";
    constexpr long kEndLength = sizeof kEnd - 1;
    std::FILE* stream = std::fopen(file.c_str(), "rb");
    if (stream == nullptr) {
        return false;
    }
    char tail[kEndLength] = {};
    const bool complete = std::fseek(stream, -kEndLength, SEEK_END) == 0 &&
                          std::fread(tail, 1, kEndLength, stream) == static_cast<std::size_t>(kEndLength) &&
                          std::memcmp(tail, kEnd, kEndLength) == 0;
    std::fclose(stream);
    return complete;
}

// Waits until what was written to `path` (a file, or a folder's entries) is
// on the disk. Returns 0 or the system's error number.
int SyncToDisk(const fs::path& path, int openFlags) {
    const int fd = ::open(path.c_str(), openFlags | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

// Puts `temporary` in place of `target`; without `replaceExisting`, only when
// no file of that name exists, decided by the system in the same step.
int MoveIntoPlace(const fs::path& temporary, const fs::path& target, bool replaceExisting) {
    if (replaceExisting) {
        return std::rename(temporary.c_str(), target.c_str()) == 0 ? 0 : errno;
    }
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system without that kind of rename: a new link fails the same way.
    if (::link(temporary.c_str(), target.c_str()) != 0) {
        return errno;
    }
    ::unlink(temporary.c_str());
    return 0;
}

} // namespace

std::string SaveAtomically(const fs::path& target, bool replaceExisting,
                           const std::function<std::string(const fs::path& temporary)>& write) {
    std::string error;
    std::optional<fs::path> temporary = CreateTemporaryBeside(target, error);
    if (!temporary) {
        return std::string(kCannotCreateTemporary) + " " + Quoted(FolderOf(target)) + ": " + error;
    }
    std::string failure = write(*temporary);
    if (failure.empty() && !EndsComplete(*temporary)) {
        failure = Quoted(target) + ": " + kIncompleteFile;
    }
    // The contents reach the disk before the name does: after a power cut the
    // final name holds the whole document or the earlier one, never an empty file.
    if (const int error = failure.empty() ? SyncToDisk(*temporary, O_RDONLY) : 0; error != 0) {
        failure = std::string(kCannotStore) + " " + Quoted(target) + ": " + SystemMessage(error);
    }
    if (const int error = failure.empty() ? MoveIntoPlace(*temporary, target, replaceExisting) : 0;
        error != 0) {
        failure = std::string(kCannotRename) + " " + Quoted(target) + ": " +
                  (error == EEXIST ? kAlreadyExists : SystemMessage(error));
    }
    if (!failure.empty()) {
        std::error_code ignored;
        fs::remove(*temporary, ignored);
        return failure;
    }
    if (const int error = SyncToDisk(FolderOf(target), O_RDONLY | O_DIRECTORY); error != 0) {
        // The document is complete under its name; only the folder's record of
        // it may not have reached the disk yet.
        return std::string(kCannotStore) + " " + Quoted(target) + ": " + SystemMessage(error);
    }
    return {};
}

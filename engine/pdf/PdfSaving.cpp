#include "PdfSaving.h"

#include "PdfDocument.h"
#include "PdfRewrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

// A file that has no name in any folder, private to this process, gone when
// it is closed. Where the file system cannot make one directly, a new private
// file is made and its name removed before anything is written into it.
class UnnamedFile {
  public:
    explicit UnnamedFile(const fs::path& folder) {
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            std::string pattern = (folder / ".quillmark-plain-XXXXXX").string();
            fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
            if (fd_ >= 0) {
                ::unlink(pattern.c_str());
            }
        }
        error_ = fd_ < 0 ? errno : 0;
    }
    ~UnnamedFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    UnnamedFile(const UnnamedFile&) = delete;
    UnnamedFile& operator=(const UnnamedFile&) = delete;

    int error() const { return error_; }
    // A path that opens this very file, for libraries that only take names.
    std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

  private:
    int fd_ = -1;
    int error_ = 0;
};

// The library closes its file without checking, so a disk that fills up
// during the last write would go unnoticed; every document it writes ends in
// "%%EOF", and a missing end means the file is incomplete.
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

// Writes the library's document into a file without a name and makes the
// final document from there into `temporary` (RewriteDocument): no
// unprotected copy of an AES-256 document ever appears under any name.
bool WriteThroughRewrite(DocumentBuilder& doc, const fs::path& temporary, const fs::path& target,
                         const std::optional<DocumentProtection>& protection) {
    const UnnamedFile written(FolderOf(target));
    if (written.error() != 0) {
        doc.Fail(std::string(kCannotCreateTemporary) + " " + Quoted(FolderOf(target)) + ": " +
                 SystemMessage(written.error()));
        return false;
    }
    if (!doc.Succeeded(HPDF_SaveToFile(doc.pdf(), written.Path().c_str()), "writing " + Quoted(target))) {
        return false;
    }
    if (!EndsComplete(written.Path())) {
        doc.Fail(Quoted(target) + ": " + kIncompleteFile);
        return false;
    }
    std::FILE* in = std::fopen(written.Path().c_str(), "rb");
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    std::string failure;
    if (in == nullptr || out == nullptr) {
        failure = std::string(kCannotCreateTemporary) + " " + Quoted(FolderOf(target)) + ": " + SystemMessage(errno);
    } else {
        failure = RewriteDocument(in, out, doc.keptPictures(), protection, Quoted(target));
    }
    if (in != nullptr) {
        std::fclose(in);
    }
    if (out != nullptr && std::fclose(out) != 0 && failure.empty()) {
        failure = Quoted(target) + ": " + kIncompleteFile + ": " + SystemMessage(errno);
    }
    if (!failure.empty()) {
        doc.Fail(failure);
        return false;
    }
    return true;
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

bool SaveAtomically(DocumentBuilder& doc, const fs::path& target, const std::optional<DocumentProtection>& protection,
                    bool replaceExisting) {
    std::string error;
    std::optional<fs::path> temporary = CreateTemporaryBeside(target, error);
    if (!temporary) {
        doc.Fail(std::string(kCannotCreateTemporary) + " " + Quoted(FolderOf(target)) + ": " + error);
        return false;
    }
    bool saved = NeedsRewrite(doc.keptPictures(), protection)
                     ? WriteThroughRewrite(doc, *temporary, target, protection)
                     : doc.Succeeded(HPDF_SaveToFile(doc.pdf(), temporary->c_str()), "writing " + Quoted(target));
    if (saved && !EndsComplete(*temporary)) {
        doc.Fail(Quoted(target) + ": " + kIncompleteFile);
        saved = false;
    }
    // The contents reach the disk before the name does: after a power cut the
    // final name holds the whole document or the earlier one, never an empty file.
    if (const int error = saved ? SyncToDisk(*temporary, O_RDONLY) : 0; error != 0) {
        doc.Fail(std::string(kCannotStore) + " " + Quoted(target) + ": " + SystemMessage(error));
        saved = false;
    }
    if (const int error = saved ? MoveIntoPlace(*temporary, target, replaceExisting) : 0; error != 0) {
        doc.Fail(std::string(kCannotRename) + " " + Quoted(target) + ": " +
                 (error == EEXIST ? kAlreadyExists : SystemMessage(error)));
        saved = false;
    }
    if (!saved) {
        std::error_code ignored;
        fs::remove(*temporary, ignored);
        return false;
    }
    if (const int error = SyncToDisk(FolderOf(target), O_RDONLY | O_DIRECTORY); error != 0) {
        // The document is complete under its name; only the folder's record of
        // it may not have reached the disk yet.
        doc.Fail(std::string(kCannotStore) + " " + Quoted(target) + ": " + SystemMessage(error));
        return false;
    }
    return true;
}

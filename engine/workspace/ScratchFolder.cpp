#include "ScratchFolder.h"

#include "FolderTree.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The whole of `text` as a number; empty for anything else, a number too
// large for the type included (a folder's name is not ours to trust).
template <typename Number> std::optional<Number> NumberIn(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

constexpr const char* kOwnerNote = ".owner";
constexpr const char* kOutputFolderPrefix = "转换结果";

// When the process started, in clock ticks since boot: with the process id it
// names one process for good, even after the id is used again.
std::optional<unsigned long long> ProcessStartTime(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(stat.substr(nameEnd + 2));
    std::string field;
    for (int index = 3; fields >> field; ++index) {
        if (index == 22) {
            return NumberIn<unsigned long long>(field);
        }
    }
    return std::nullopt;
}

std::string OwnerNote(pid_t pid) {
    const auto started = ProcessStartTime(pid);
    return std::to_string(pid) + " " + (started ? std::to_string(*started) : "0") + "\n";
}

// A scratch folder's job is gone when no process with the recorded id and start
// time exists. Without a note (the job died right after creating the folder)
// the id in the name alone decides.
bool JobIsGone(const fs::path& scratch, pid_t pidFromName) {
    std::ifstream in(scratch / kOwnerNote);
    pid_t pid = 0;
    unsigned long long started = 0;
    if (in >> pid >> started) {
        const auto now = ProcessStartTime(pid);
        return !now || *now != started;
    }
    return !ProcessStartTime(pidFromName);
}

void RemoveUnfinishedDocuments(const fs::path& folder) {
    static const std::regex kTemporaryDocument(R"(\..+\.pdf\.[A-Za-z0-9]{6})");
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (it->is_regular_file(error) && std::regex_match(name, kTemporaryDocument)) {
            fs::remove(it->path(), error);
        }
    }
}

} // namespace

fs::path CreateScratchFolder(const fs::path& parent) {
    std::string pattern = (parent / (".quillmark-work-" + std::to_string(::getpid()) + "-XXXXXX")).string();
    // mkdtemp creates a folder that did not exist before, with mode 0700.
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw fs::filesystem_error("cannot create a scratch folder", parent,
                                   std::error_code(errno, std::generic_category()));
    }
    const fs::path scratch = pattern;
    std::ofstream(scratch / kOwnerNote) << OwnerNote(::getpid());
    return scratch;
}

namespace {

// The scratch folders in `folder` whose jobs have ended without tidying up.
std::vector<fs::path> DeadScratchFolders(const fs::path& folder) {
    static const std::regex kScratchName(R"(\.quillmark-work-([0-9]+)-[A-Za-z0-9]{6})");
    std::vector<fs::path> dead;
    std::error_code ignored;
    for (fs::directory_iterator entry(folder, ignored), last; !ignored && entry != last; entry.increment(ignored)) {
        std::smatch match;
        const std::string name = entry->path().filename().string();
        if (!std::regex_match(name, match, kScratchName) || entry->is_symlink(ignored)) {
            continue;
        }
        const std::optional<pid_t> pid = NumberIn<pid_t>(match.str(1));
        // A number no process can have belongs to no job of ours either.
        if (pid && JobIsGone(entry->path(), *pid)) {
            dead.push_back(entry->path());
        }
    }
    return dead;
}

} // namespace

int RemoveDeadScratchFolders(const fs::path& folder) {
    const std::vector<fs::path> dead = DeadScratchFolders(folder);
    for (const fs::path& scratch : dead) {
        DeleteFolderTree(scratch);
    }
    return static_cast<int>(dead.size());
}

int RemoveLeftoversOfDeadJobs(const fs::path& saveFolder) {
    int removed = 0;
    std::error_code error;
    for (fs::directory_iterator output(saveFolder, error), end; !error && output != end;
         output.increment(error)) {
        std::error_code ignored;
        if (!output->is_directory(ignored) || output->is_symlink(ignored) ||
            output->path().filename().string().rfind(kOutputFolderPrefix, 0) != 0) {
            continue;
        }
        const std::vector<fs::path> dead = DeadScratchFolders(output->path());
        if (dead.empty()) {
            continue;
        }
        // The scratch folder is what marks the output folder as a dead job's,
        // so it goes last: a job killed while tidying leaves the mark for the
        // next one to finish the work.
        RemoveUnfinishedDocuments(output->path());
        for (const fs::path& scratch : dead) {
            DeleteFolderTree(scratch);
        }
        removed += static_cast<int>(dead.size());
        fs::remove(output->path(), ignored); // only when nothing else is left
    }
    return removed;
}

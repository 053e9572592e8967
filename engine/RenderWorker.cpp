#include "RenderWorker.h"

#include "RenderProtocol.h"
#include "VipsRuntime.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kWorkerSocketFd = 3;
constexpr rlim_t kWorkerAddressSpace = rlim_t{6} << 30;

std::string DescribeExit(int status) {
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        return "the decoder crashed (" + std::string(strsignal(signal)) + ")";
    }
    if (WIFEXITED(status)) {
        return "the decoder stopped with exit code " + std::to_string(WEXITSTATUS(status));
    }
    return "the decoder stopped";
}

} // namespace

RenderWorker::RenderWorker(std::filesystem::path program, std::filesystem::path log,
                           std::chrono::seconds timeLimit)
    : program_(std::move(program)), log_(std::move(log)), timeLimit_(timeLimit) {}

RenderWorker::~RenderWorker() {
    Stop(false);
}

bool RenderWorker::Start() {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], kWorkerSocketFd);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    char* argv[] = {const_cast<char*>(program_.c_str()), const_cast<char*>("--worker"), nullptr};
    const int spawned = ::posix_spawn(&pid_, program_.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (spawned != 0) {
        ::close(ends[0]);
        pid_ = -1;
        return false;
    }
    socket_ = ends[0];
    return true;
}

void RenderWorker::Stop(bool kill) {
    if (socket_ >= 0) {
        ::close(socket_); // the worker's loop ends when its socket closes
        socket_ = -1;
    }
    if (pid_ > 0) {
        if (kill) {
            ::kill(pid_, SIGKILL);
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

std::string RenderWorker::LastLogLine() const {
    std::ifstream in(log_);
    std::string line, last;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            last = line;
        }
    }
    return last.size() > 300 ? last.substr(0, 300) : last;
}

std::optional<NormalizeResult> RenderWorker::Ask(bool whitePageOnly, int32_t pageWidth, int32_t pageHeight,
                                                 const std::filesystem::path& source,
                                                 const std::filesystem::path& destination,
                                                 std::string& failure) {
    if (pid_ < 0 && !Start()) {
        failure = "cannot start the decoder " + program_.string();
        return std::nullopt;
    }
    const RenderRequest request{whitePageOnly, pageWidth, pageHeight, source.string(), destination.string()};
    bool timedOut = false;
    std::optional<NormalizeResult> result;
    if (SendRequest(socket_, request)) {
        result = ReceiveResult(socket_, std::chrono::steady_clock::now() + timeLimit_, timedOut);
    }
    if (result) {
        return result;
    }
    if (timedOut) {
        Stop(true);
        failure = "gave up after " + std::to_string(timeLimit_.count()) + " seconds";
        return std::nullopt;
    }
    const pid_t pid = pid_;
    ::close(socket_);
    socket_ = -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid_ = -1;
    failure = DescribeExit(status);
    if (const std::string detail = LastLogLine(); !detail.empty()) {
        failure += ": " + detail;
    }
    return std::nullopt;
}

NormalizeResult RenderWorker::Render(int32_t pageWidth, int32_t pageHeight,
                                     const std::filesystem::path& source,
                                     const std::filesystem::path& destination) {
    std::string failure;
    if (auto result = Ask(false, pageWidth, pageHeight, source, destination, failure)) {
        return *result;
    }
    // The picture took its worker down: a fresh worker writes its white page.
    NormalizeResult result;
    result.problem = PictureOutcome::Undecodable;
    result.reason = failure;
    std::string whiteFailure;
    if (auto white = Ask(true, pageWidth, pageHeight, {}, destination, whiteFailure);
        white && white->written) {
        result.written = true;
    } else {
        result.problem = PictureOutcome::NotPrepared;
        result.reason += "; the white page could not be written either";
    }
    return result;
}

std::filesystem::path FindRenderWorkerProgram() {
    std::error_code ignored;
    if (const char* chosen = std::getenv("QUILLMARK_RENDER"); chosen != nullptr && *chosen != '\0') {
        return std::filesystem::exists(chosen, ignored) ? std::filesystem::path(chosen)
                                                        : std::filesystem::path();
    }
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ignored);
    for (const std::filesystem::path& candidate :
         {self.parent_path() / "quillmark-render", std::filesystem::path(QUILLMARK_RENDER_BUILT)}) {
        if (!candidate.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

int RunRenderWorker(int socket) {
    // The pages are the user's pictures: only the user may read them.
    ::umask(077);
    // A hostile file must not be able to take all the machine's memory: past
    // this, allocations fail and the picture is reported instead.
    // Every picture allocates page-sized buffers afresh: keep freed memory in
    // the process instead of returning it to the system and faulting it back
    // in (measured: 8 to 15 % less CPU per job, a few tens of MB more held).
    ::mallopt(M_MMAP_THRESHOLD, 64 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 128 << 20);
#ifndef __SANITIZE_ADDRESS__ // AddressSanitizer reserves terabytes of address space
    const rlimit memory{kWorkerAddressSpace, kWorkerAddressSpace};
    ::setrlimit(RLIMIT_AS, &memory);
#endif
    EnsureVipsStarted();
    while (auto request = ReceiveRequest(socket)) {
        const NormalizeResult result =
            request->whitePageOnly
                ? WriteWhitePage(request->pageWidth, request->pageHeight, request->destination)
                : NormalizeImage(request->pageWidth, request->pageHeight, request->source,
                                 request->destination);
        if (!SendResult(socket, result)) {
            return 1;
        }
    }
    return 0;
}

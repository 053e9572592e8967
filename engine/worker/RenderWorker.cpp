#include "RenderWorker.h"

#include "PreparedPages.h"
#include "Reason.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace {

constexpr int kWorkerSocketFd = 3;
// More of a crashed picture's log than this is noise.
constexpr off_t kMaxLogPart = 64 * 1024;

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

// The line of a crashed picture's log that says what went wrong: decoders
// warn freely before they fail, and the runtime's own last words follow the
// failure, so the line that names a panic, an assertion or a fatal error is
// looked for first; the last line stands in when there is none.
std::string CrashLine(const std::string& log) {
    static const std::regex kFailure(R"(panicked|[Aa]ssertion|ERROR|[Ff]atal|[Ss]egmentation)");
    std::string last;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_search(line, kFailure)) {
            return BriefReason(line);
        }
        if (const std::string brief = BriefReason(line); !brief.empty()) {
            last = brief;
        }
    }
    return last;
}

off_t FileSize(const std::filesystem::path& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? info.st_size : 0;
}

// The spawn's file actions and attributes, released whatever happens.
class SpawnSetup {
  public:
    SpawnSetup() {
        actionsError_ = posix_spawn_file_actions_init(&actions_);
        attributesError_ = posix_spawnattr_init(&attributes_);
    }
    ~SpawnSetup() {
        if (actionsError_ == 0) {
            posix_spawn_file_actions_destroy(&actions_);
        }
        if (attributesError_ == 0) {
            posix_spawnattr_destroy(&attributes_);
        }
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // The first error of the set-up, 0 when every step took.
    int Error() const { return actionsError_ != 0 ? actionsError_ : attributesError_; }
    void Check(int error) {
        if (Error() == 0 && error != 0) {
            actionsError_ = error;
        }
    }
    posix_spawn_file_actions_t* actions() { return &actions_; }
    posix_spawnattr_t* attributes() { return &attributes_; }

  private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
    int actionsError_ = 0;
    int attributesError_ = 0;
};

// The worker's environment: the caller's, with OpenMP held to one thread
// (Tesseract would otherwise start one per core in every worker, and the
// workers already take a core each). It must be set before the worker
// starts: the OpenMP runtime reads it when it is loaded.
std::vector<std::string> WorkerEnvironment() {
    static constexpr std::string_view kThreadLimit = "OMP_THREAD_LIMIT=";
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!std::string_view(*entry).starts_with(kThreadLimit)) {
            variables.emplace_back(*entry);
        }
    }
    variables.push_back(std::string(kThreadLimit) + "1");
    return variables;
}

// A decoder that does not even use the processor (it waits on a pipe or a
// stalled network share) is given up after this many times its time limit.
constexpr int kWallClockBackstop = 10;

// The processor time process `pid` has had, all its threads together; empty
// when it cannot be read (the process is gone).
std::optional<std::chrono::nanoseconds> ProcessorTimeOf(pid_t pid) {
    clockid_t clock{};
    timespec used{};
    if (::clock_getcpuclockid(pid, &clock) != 0 || ::clock_gettime(clock, &used) != 0) {
        return std::nullopt;
    }
    return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
}

} // namespace

RenderWorker::RenderWorker(std::filesystem::path program, std::filesystem::path log,
                           std::chrono::seconds timeLimit, const std::atomic<bool>& cancel)
    : program_(std::move(program)), log_(std::move(log)), timeLimit_(timeLimit), cancel_(cancel) {}

RenderWorker::~RenderWorker() {
    Stop(cancel_.load());
}

bool RenderWorker::Start(std::string& failure) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        failure = "cannot start the decoder: no socket to talk to it: " + std::string(std::strerror(errno));
        return false;
    }
    SpawnSetup setup;
    setup.Check(posix_spawn_file_actions_adddup2(setup.actions(), ends[1], kWorkerSocketFd));
    setup.Check(posix_spawn_file_actions_addopen(setup.actions(), STDIN_FILENO, "/dev/null", O_RDONLY, 0));
    setup.Check(posix_spawn_file_actions_addopen(setup.actions(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0));
    setup.Check(posix_spawn_file_actions_addopen(setup.actions(), STDERR_FILENO, log_.c_str(),
                                                 O_WRONLY | O_CREAT | O_APPEND, 0600));
    // A process group of its own: Ctrl-C in a terminal goes to the program
    // that started the job, which then stops the worker itself.
    setup.Check(posix_spawnattr_setpgroup(setup.attributes(), 0));
    setup.Check(posix_spawnattr_setflags(setup.attributes(), POSIX_SPAWN_SETPGROUP));
    int spawned = setup.Error();
    if (spawned == 0) {
        char* argv[] = {const_cast<char*>(program_.c_str()), const_cast<char*>("--worker"), nullptr};
        std::vector<std::string> variables = WorkerEnvironment();
        std::vector<char*> environment;
        for (std::string& variable : variables) {
            environment.push_back(variable.data());
        }
        environment.push_back(nullptr);
        spawned = ::posix_spawn(&pid_, program_.c_str(), setup.actions(), setup.attributes(), argv,
                                environment.data());
    }
    ::close(ends[1]);
    if (spawned != 0) {
        ::close(ends[0]);
        pid_ = -1;
        failure = "cannot start the decoder " + program_.string() + ": " + std::strerror(spawned);
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
            ::kill(-pid_, SIGKILL); // the worker and whatever its decoders started
        }
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
}

std::string RenderWorker::LogSince(off_t offset) const {
    std::ifstream in(log_, std::ios::binary);
    in.seekg(offset);
    std::string part(static_cast<size_t>(kMaxLogPart), '\0');
    in.read(part.data(), kMaxLogPart);
    part.resize(static_cast<size_t>(in.gcount()));
    return part;
}

RenderWorker::Reply RenderWorker::Ask(const RenderRequest& request,
                                      const std::function<void(const RenderMessage&)>& onMessage) {
    Reply reply;
    if (pid_ < 0 && !Start(reply.failure)) {
        return reply;
    }
    // What the worker writes from here on is about this picture alone, and
    // from each of its messages on, about what it does next.
    off_t logStart = FileSize(log_);
    NoReply why = NoReply::WorkerGone;
    // A picture's time is the processor time its decoder had, not the time
    // on the clock: on a busy machine (or behind the window, at low priority)
    // a decoder may wait long for the processor and is not to blame for it.
    // Each message starts the limit afresh: it holds for each page.
    using Clock = std::chrono::steady_clock;
    Clock::time_point startedAt{};
    std::chrono::nanoseconds startedWith{};
    auto restart = [&] {
        startedAt = Clock::now();
        startedWith = ProcessorTimeOf(pid_).value_or(std::chrono::nanoseconds{});
    };
    bool stalled = false; // given up by the clock, not by the time it decoded
    const std::function<bool()> timeIsUp = [&] {
        if (Clock::now() - startedAt > kWallClockBackstop * timeLimit_) {
            stalled = true;
            return true;
        }
        const std::optional<std::chrono::nanoseconds> used = ProcessorTimeOf(pid_);
        return used && *used - startedWith > timeLimit_;
    };
    restart();
    if (SendRequest(socket_, request)) {
        while (const auto message = ReceiveMessage(socket_, timeIsUp, cancel_, why)) {
            if (message->kind == RenderMessage::Kind::Done) {
                reply.done = true;
                return reply;
            }
            try {
                onMessage(*message);
            } catch (...) {
                Stop(true); // the rest of its answer would be read as the next one's
                throw;
            }
            if (message->logSize >= 0) {
                logStart = static_cast<off_t>(message->logSize);
            }
            restart();
        }
    }
    if (why == NoReply::Cancelled) {
        Stop(true);
        reply.cancelled = true;
        return reply;
    }
    if (why == NoReply::TimedOut) {
        Stop(true);
        reply.failure = stalled
                            ? "gave up: the decoder did not answer for " +
                                  std::to_string(kWallClockBackstop * timeLimit_.count()) + " seconds"
                            : "gave up after " + std::to_string(timeLimit_.count()) + " seconds of decoding";
        return reply;
    }
    ::close(socket_);
    socket_ = -1;
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    const std::string log = LogSince(logStart);
    reply.failure = DescribeExit(status);
    if (const std::string line = CrashLine(log); !line.empty()) {
        reply.failure += ": " + line + "\n" + log;
    }
    return reply;
}

NormalizeResult RenderWorker::WhitePageAfter(const std::string& failure, const RenderSettings& settings,
                                             const std::filesystem::path& source,
                                             const std::filesystem::path& destination, bool& cancelled) {
    NormalizeResult result;
    result.problem = PictureOutcome::Undecodable;
    result.reason = failure;
    std::optional<NormalizeResult> white;
    // The source is only named, for the page's notes, never read.
    const RenderRequest request{true, settings, 0, source.string(), destination.string()};
    const Reply reply = Ask(request, [&](const RenderMessage& message) {
        if (message.kind == RenderMessage::Kind::Page) {
            white = message.page.result;
        }
    });
    cancelled = reply.cancelled;
    if (reply.done && white && white->written) {
        result.written = true;
    } else {
        result.problem = PictureOutcome::NotPrepared;
        const std::string why = white ? white->reason : reply.failure;
        result.reason = BriefReason(failure) +
                        "; the white page could not be written either: " + BriefReason(why) + "\n" + failure;
        result.diskFullNeeding = white ? white->diskFullNeeding : 0;
    }
    return result;
}

std::optional<std::vector<RenderedPage>>
RenderWorker::Render(const RenderSettings& settings, const std::string& ocrLanguages,
                     const std::filesystem::path& source, const std::filesystem::path& destination,
                     const std::function<void(const RenderedPage&)>& onPage) {
    std::vector<RenderedPage> pages;
    size_t count = 1;
    auto record = [&](RenderedPage rendered) {
        if (onPage) {
            onPage(rendered);
        }
        pages.push_back(std::move(rendered));
    };
    std::string languages = ocrLanguages;
    std::string recognitionFailure; // why the page made again without its text lost it
    // Thrown once that page is made: the pages after it are read again.
    struct PageMadeAgain {};
    while (pages.size() < count) {
        const RenderRequest request{
            false,    settings, static_cast<uint32_t>(pages.size()), source.string(), destination.string(),
            languages};
        Reply reply;
        try {
            reply = Ask(request, [&](const RenderMessage& message) {
                if (message.kind == RenderMessage::Kind::PageCount) {
                    count = std::max<size_t>(message.number, 1);
                } else if (message.number == pages.size() && pages.size() < count) {
                    RenderedPage page{message.number, count, message.page};
                    const bool again = !recognitionFailure.empty();
                    if (again) {
                        page.page.recognitionFailure = std::exchange(recognitionFailure, {});
                    }
                    record(std::move(page));
                    if (again && pages.size() < count) {
                        throw PageMadeAgain{};
                    }
                }
            });
        } catch (const PageMadeAgain&) {
            languages = ocrLanguages;
            continue;
        }
        if (reply.cancelled) {
            return std::nullopt;
        }
        if (reply.done) {
            break; // fewer pages than counted: the file changed meanwhile
        }
        // The page after the last one answered took its worker down. Reading
        // its text may have done that: the page is made once more without,
        // so that costs only its text, and the pages after it are read again.
        if (!languages.empty()) {
            languages.clear();
            recognitionFailure = "text recognition stopped: " + BriefReason(reply.failure);
            continue;
        }
        // Otherwise a fresh worker writes its white page, then goes on with
        // the next one.
        const size_t failed = pages.size();
        bool cancelled = false;
        NormalizeResult white =
            WhitePageAfter(reply.failure, settings, source, PartPagePath(destination, failed), cancelled);
        if (cancelled) {
            return std::nullopt;
        }
        RenderedPage whitePage{failed, count, {}};
        whitePage.page.result = std::move(white);
        recognitionFailure.clear(); // a white page has no text to lose
        languages = ocrLanguages;
        record(std::move(whitePage));
    }
    return pages;
}

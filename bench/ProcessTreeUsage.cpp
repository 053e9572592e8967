// process_tree_usage REPORT_FILE COMMAND [ARGUMENT...]
//
// Runs COMMAND and writes to REPORT_FILE one line:
//   "<wall seconds> <CPU seconds> <peak memory KiB> <exit status>"
// The converter prepares pictures in worker processes, so the memory of the
// command alone says little: every ~50 ms the resident memory of the command
// and all its descendants is read from /proc and summed, and the largest sum is
// reported. Shared library pages are counted once per process, so the sum errs
// high. CPU seconds are user + system time of the command and of every
// descendant it waited for (the figure /usr/bin/time prints), so no extra
// package is needed. The command's own output passes through; the exit status
// is the command's (128 + signal when a signal ended it).
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

constexpr auto kSampleInterval = std::chrono::milliseconds(50);

struct ProcessEntry {
    pid_t parent = 0;
    long residentPages = 0;
};

// Parent and resident pages of one process, from /proc/PID/stat; false when it
// has gone meanwhile.
bool ReadProcessEntry(const char* pid, ProcessEntry& entry) {
    char path[300];
    std::snprintf(path, sizeof path, "/proc/%s/stat", pid);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char text[1024];
    const ssize_t length = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (length <= 0) {
        return false;
    }
    text[length] = '\0';
    // The command name in parentheses may hold spaces and ')': fields are
    // counted from its last ')'.
    const char* rest = std::strrchr(text, ')');
    if (rest == nullptr) {
        return false;
    }
    int parent = 0;
    long pages = 0;
    if (std::sscanf(rest + 1,
                    " %*c %d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %*d %*d %*u %*u %ld",
                    &parent, &pages) != 2) {
        return false;
    }
    entry.parent = parent;
    entry.residentPages = pages;
    return true;
}

// Resident memory of `root` and all its descendants, in KiB.
long TreeResidentKib(pid_t root) {
    std::unordered_map<pid_t, ProcessEntry> processes;
    if (DIR* proc = ::opendir("/proc")) {
        while (const dirent* item = ::readdir(proc)) {
            ProcessEntry entry;
            if (item->d_name[0] >= '1' && item->d_name[0] <= '9' && ReadProcessEntry(item->d_name, entry)) {
                processes[static_cast<pid_t>(std::atol(item->d_name))] = entry;
            }
        }
        ::closedir(proc);
    }
    std::unordered_multimap<pid_t, pid_t> children;
    for (const auto& [pid, entry] : processes) {
        children.emplace(entry.parent, pid);
    }
    long pages = 0;
    std::vector<pid_t> pending{root};
    while (!pending.empty()) {
        const pid_t pid = pending.back();
        pending.pop_back();
        if (auto found = processes.find(pid); found != processes.end()) {
            pages += found->second.residentPages;
        }
        auto [first, last] = children.equal_range(pid);
        for (auto child = first; child != last; ++child) {
            pending.push_back(child->second);
        }
    }
    return pages * (::sysconf(_SC_PAGESIZE) / 1024);
}

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s REPORT_FILE COMMAND [ARGUMENT...]\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0) {
        std::perror("fork");
        return 2;
    }
    if (child == 0) {
        ::execvp(argv[2], argv + 2);
        std::perror(argv[2]);
        std::_Exit(127);
    }

    // Sampled on a thread of its own, so the wall time is taken the moment the
    // command ends rather than at the next sample.
    std::atomic<long> peakKib{0};
    std::mutex mutex;
    std::condition_variable wake;
    bool finished = false;
    std::thread sampler([&] {
        std::unique_lock lock(mutex);
        while (!finished) {
            lock.unlock();
            const long now = TreeResidentKib(child);
            if (now > peakKib.load()) {
                peakKib.store(now);
            }
            lock.lock();
            wake.wait_for(lock, kSampleInterval, [&] { return finished; });
        }
    });

    int status = 0;
    rusage usage{};
    while (::wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    {
        std::lock_guard lock(mutex);
        finished = true;
    }
    wake.notify_one();
    sampler.join();

    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::FILE* report = std::fopen(argv[1], "w");
    if (report == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    std::fprintf(report, "%.3f %.3f %ld %d\n", wall, Seconds(usage.ru_utime) + Seconds(usage.ru_stime),
                 peakKib.load(), exitStatus);
    std::fclose(report);
    return exitStatus;
}

#include "VipsRuntime.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <vector>
#include <vips/vips.h>

namespace {

// Decoders warn from libvips' own threads, not the caller's: the warnings are
// kept for the whole process (a render worker prepares one picture at a time).
std::mutex warningsLock;
std::string recentWarnings;

void KeepWarning(const char* domain, GLogLevelFlags level, const char* message, gpointer) {
    {
        std::lock_guard lock(warningsLock);
        if (recentWarnings.size() < 2000) {
            recentWarnings += recentWarnings.empty() ? "" : "\n";
            recentWarnings += message;
        }
    }
    g_log_default_handler(domain, level, message, nullptr);
}

// Each distinct line once, in the order first said: decoders often repeat
// themselves.
std::string DistinctLines(const std::string& message) {
    std::vector<std::string> seen;
    std::string line;
    for (size_t start = 0; start <= message.size();) {
        size_t end = message.find('\n', start);
        if (end == std::string::npos) {
            end = message.size();
        }
        line = message.substr(start, end - start);
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        if (!line.empty() && std::find(seen.begin(), seen.end(), line) == seen.end()) {
            seen.push_back(line);
        }
        start = end + 1;
    }
    std::string joined;
    for (const auto& part : seen) {
        joined += (joined.empty() ? "" : "\n") + part;
    }
    return joined;
}

} // namespace

void EnsureVipsStarted() {
    static std::once_flag started;
    std::call_once(started, [] {
        if (VIPS_INIT("quillmark") != 0) {
            throw std::runtime_error("cannot start the picture library libvips");
        }
        vips_concurrency_set(1);
        vips_cache_set_max(0);
        vips_leak_set(FALSE);
        g_log_set_handler("VIPS", G_LOG_LEVEL_WARNING, KeepWarning, nullptr);
    });
}

void ClearVipsMessages() {
    vips_error_clear();
    std::lock_guard lock(warningsLock);
    recentWarnings.clear();
}

std::string TakeVipsError() {
    char* text = vips_error_buffer_copy();
    std::string message = DistinctLines(text ? text : "");
    g_free(text);
    std::lock_guard lock(warningsLock);
    if (message.empty()) {
        message = DistinctLines(recentWarnings);
    }
    recentWarnings.clear();
    return message;
}

std::string RecentVipsWarnings() {
    std::lock_guard lock(warningsLock);
    return recentWarnings;
}

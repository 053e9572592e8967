#include "TiffOpen.h"

#include "VipsRuntime.h"

#include <vips/vips.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <unistd.h>

namespace {

int KeepError(TIFF*, void*, const char* module, const char* format, va_list arguments) {
    vips_verror(module, format, arguments);
    return 1; // kept: the process-wide handler is not asked
}

int KeepWarning(TIFF*, void*, const char*, const char* format, va_list arguments) {
    g_logv("VIPS", G_LOG_LEVEL_WARNING, format, arguments);
    return 1;
}

int Ignore(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

// Options to open a handle with; libtiff copies them.
struct OwnHandlers {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    explicit OwnHandlers(TiffComplaints complaints) {
        const bool reported = complaints == TiffComplaints::Reported;
        TIFFOpenOptionsSetErrorHandlerExtR(options, reported ? KeepError : Ignore, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options, reported ? KeepWarning : Ignore, nullptr);
    }
    ~OwnHandlers() { TIFFOpenOptionsFree(options); }
    OwnHandlers(const OwnHandlers&) = delete;
    OwnHandlers& operator=(const OwnHandlers&) = delete;
};

TiffInMemory& Of(thandle_t handle) {
    return *static_cast<TiffInMemory*>(handle);
}

tmsize_t ReadMemory(thandle_t handle, void* into, tmsize_t count) {
    TiffInMemory& file = Of(handle);
    const uint64_t left = file.at < file.bytes.size() ? file.bytes.size() - file.at : 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, static_cast<uint64_t>(count)));
    std::memcpy(into, file.bytes.data() + file.at, n);
    file.at += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteMemory(thandle_t handle, void* from, tmsize_t count) {
    TiffInMemory& file = Of(handle);
    const uint64_t end = file.at + static_cast<uint64_t>(count);
    if (end > file.bytes.size()) {
        file.bytes.resize(static_cast<size_t>(end));
    }
    std::memcpy(file.bytes.data() + file.at, from, static_cast<size_t>(count));
    file.at = end;
    return count;
}

toff_t SeekMemory(thandle_t handle, toff_t offset, int whence) {
    TiffInMemory& file = Of(handle);
    const uint64_t base = whence == SEEK_CUR ? file.at : whence == SEEK_END ? file.bytes.size() : 0;
    file.at = base + offset;
    return file.at;
}

int CloseMemory(thandle_t) {
    return 0;
}

toff_t SizeOfMemory(thandle_t handle) {
    return Of(handle).bytes.size();
}

int MapNothing(thandle_t, void**, toff_t*) {
    return 0;
}

void UnmapNothing(thandle_t, void*, toff_t) {}

} // namespace

std::string LibtiffReason(const std::string& fallback) {
    std::string said = TakeVipsError();
    return said.empty() ? fallback : said;
}

TiffHandle OpenTiffFile(int fd, const char* name, TiffComplaints complaints) {
    // A duplicate shares the file position, which other readers have moved.
    const int own = ::dup(fd);
    if (own < 0 || ::lseek(own, 0, SEEK_SET) != 0) {
        if (complaints == TiffComplaints::Reported) {
            vips_error("libtiff", "cannot read the file a second time: %s", std::strerror(errno));
        }
        if (own >= 0) {
            ::close(own);
        }
        return nullptr;
    }
    OwnHandlers handlers(complaints);
    TiffHandle tiff(TIFFFdOpenExt(own, name, "r", handlers.options));
    if (!tiff) {
        ::close(own);
    }
    return tiff;
}

TiffHandle OpenTiffInMemory(TiffInMemory& file, const char* name, const char* mode) {
    OwnHandlers handlers(TiffComplaints::Reported);
    return TiffHandle(TIFFClientOpenExt(name, mode, &file, ReadMemory, WriteMemory, SeekMemory, CloseMemory,
                                        SizeOfMemory, MapNothing, UnmapNothing, handlers.options));
}

#include "WorkerServer.h"

#include "RenderPage.h"
#include "TextRecognition.h"
#include "VipsRuntime.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <malloc.h>

namespace {

constexpr rlim_t kWorkerAddressSpace = rlim_t{6} << 30;

} // namespace

void LimitWorkerProcess() {
    // The pages are the user's pictures: only the user may read them.
    ::umask(077);
    // Every picture allocates page-sized buffers afresh: keep freed memory in
    // the process instead of returning it to the system and faulting it back
    // in (measured: 8 to 15 % less CPU per job, a few tens of MB more held).
    ::mallopt(M_MMAP_THRESHOLD, 64 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 128 << 20);
#ifndef __SANITIZE_ADDRESS__ // AddressSanitizer reserves terabytes of address space
    // A hostile file must not be able to take all the machine's memory: past
    // this, allocations fail and the picture is reported instead. A lower hard
    // limit set by the user's session is kept as it is.
    rlimit memory{};
    if (::getrlimit(RLIMIT_AS, &memory) == 0) {
        memory.rlim_cur = std::min(memory.rlim_max, kWorkerAddressSpace);
        if (::setrlimit(RLIMIT_AS, &memory) != 0) {
            std::fprintf(stderr, "quillmark-render: cannot limit its memory: %s\n", std::strerror(errno));
        }
    }
#endif
}

int RunRenderWorker(int socket) {
    LimitWorkerProcess();
    EnsureVipsStarted();
    using Kind = RenderMessage::Kind;
    // Each message says where this worker's log stands, so that the log of a
    // page that takes the worker down is told from what came before it.
    auto say = [socket](Kind kind, size_t number, const PageMade& page = {}) {
        return SendMessage(socket,
                           {kind, static_cast<uint32_t>(number), page, ::lseek(STDERR_FILENO, 0, SEEK_END)});
    };
    TextRecognizer recognizer;
    while (auto request = ReceiveRequest(socket)) {
        bool sent = true;
        RenderPages(
            *request, recognizer, [&](size_t count) { return sent = say(Kind::PageCount, count); },
            [&](size_t part, const PageMade& page) { return sent = say(Kind::Page, part, page); });
        if (!sent || !say(Kind::Done, 0)) {
            return 1;
        }
    }
    return 0;
}

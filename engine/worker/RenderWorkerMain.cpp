// quillmark-render: the worker process that decodes pictures for Quillmark,
// so a decoder that crashes or hangs on a hostile file never takes the window
// or the job with it. It is started by Quillmark, never by hand:
//   quillmark-render --worker                      pages for a job, requests on fd 3
//   quillmark-render --preview SIDE SOURCE DEST    one preview picture; the reason
//                                                  of a problem on standard output
#include "NormalizeImage.h"
#include "WorkerServer.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

int RunPreview(const char* side, const char* source, const char* destination) {
    int maxSide = 0;
    const std::string_view text(side);
    if (std::from_chars(text.data(), text.data() + text.size(), maxSide).ec != std::errc() || maxSide < 1 ||
        maxSide > 4096) {
        std::fprintf(stderr, "quillmark-render: the preview size must be 1 to 4096 pixels\n");
        return 2;
    }
    LimitWorkerProcess();
    const NormalizeResult result = RenderPreview(maxSide, source, destination);
    if (!result.reason.empty()) {
        std::printf("%s\n", result.reason.c_str());
    }
    return result.written ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const bool worker = argc == 2 && std::strcmp(argv[1], "--worker") == 0;
    const bool preview = argc == 5 && std::strcmp(argv[1], "--preview") == 0;
    if (!worker && !preview) {
        std::fprintf(stderr,
                     "quillmark-render is started by Quillmark to decode pictures; it takes no options\n");
        return 2;
    }
    // The worker lives in a process group of its own, out of reach of the
    // terminal's Ctrl-C: if the program that started it dies without stopping
    // it, it must not go on decoding for nobody.
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) {
        return 1;
    }
    return preview ? RunPreview(argv[2], argv[3], argv[4]) : RunRenderWorker(3);
}

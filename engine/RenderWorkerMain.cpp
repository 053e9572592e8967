// quillmark-render: the worker process that decodes pictures for the
// preparation stage. It is started by the stage, never by hand.
#include "RenderWorker.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/prctl.h>
#include <unistd.h>

// libemf2svg shuts fontconfig down (FcFini) after every text record it
// converts. When librsvg, which draws the SVG, still holds fontconfig's caches,
// fontconfig then aborts the whole process. Fontconfig needs no shutdown (the
// end of the process frees it), so this program's FcFini does nothing; being
// defined in the program, it takes the place of fontconfig's own.
extern "C" void FcFini(void) {}

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--worker") != 0) {
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
    return RunRenderWorker(3);
}

// quillmark-render: the worker process that decodes pictures for the
// preparation stage. It is started by the stage, never by hand.
#include "RenderWorker.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--worker") != 0) {
        std::fprintf(stderr,
                     "quillmark-render is started by Quillmark to decode pictures; it takes no options\n");
        return 2;
    }
    return RunRenderWorker(3);
}

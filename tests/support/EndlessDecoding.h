#pragma once

#include <cstdlib>

// While it lives, every job started in this process (and every converter it
// starts) decodes with the stand-in decoder, which never finishes a picture
// whose name begins with "endless" and renders the others as usual: a
// picture being decoded for ever, without the processor, for the tests of
// stopping and closing.
struct EndlessDecoding {
    EndlessDecoding() {
        ::setenv("QUILLMARK_RENDER", QUILLMARK_PAGE_CRASH_WORKER, 1);
        ::setenv("QUILLMARK_STAND_IN", "endless", 1);
    }
    ~EndlessDecoding() {
        ::unsetenv("QUILLMARK_RENDER");
        ::unsetenv("QUILLMARK_STAND_IN");
    }
    EndlessDecoding(const EndlessDecoding&) = delete;
    EndlessDecoding& operator=(const EndlessDecoding&) = delete;
};

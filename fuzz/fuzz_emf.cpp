// Enhanced metafiles straight into our metafile renderer: the record walk,
// the GDI and EMF+ players, the bitmap and object readers. The input that a
// parser of our own most needs to survive.
#include "EmfPicture.h"
#include "VipsRuntime.h"

#include <stdexcept>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnsureVipsStarted();
    try {
        RenderEmf(std::string_view(reinterpret_cast<const char*>(data), size), 64, 64);
    } catch (const std::exception&) {
        TakeVipsError();
    }
    return 0;
}

// Enhanced metafiles straight into the record check, libemf2svg and the SVG
// renderer: the input that libraries here handle worst.
#include "EmfPicture.h"
#include "VipsRuntime.h"

#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnsureVipsStarted();
    try {
        RenderEmf(std::string(reinterpret_cast<const char*>(data), size), 64, 64);
    } catch (const std::exception&) {
        TakeVipsError();
    }
    return 0;
}

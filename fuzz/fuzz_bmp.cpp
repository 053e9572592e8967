// The bitmap decoder from arbitrary bytes, without libvips around it: every
// header field, palette and run-length code is the fuzzer's to choose.
#include "BmpDecoder.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        DecodeBmp(std::string_view(reinterpret_cast<const char*>(data), size), 1'000'000);
    } catch (const BmpError&) {
    }
    return 0;
}

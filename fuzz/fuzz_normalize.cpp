// Picture normalisation from arbitrary bytes: every format the sniffing
// recognises (JPEG, PNG, GIF, TIFF, BMP, EMF) is reachable from the input.
#include "FuzzFile.h"
#include "NormalizeImage.h"
#include "VipsRuntime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto source = WriteInput(data, size, "input");
    NormalizeImage(48, 64, source, FuzzFolder() / "page.jpg");
    return 0;
}

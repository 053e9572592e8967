// Picture normalisation from arbitrary bytes: every kind the sniffing
// recognises (JPEG, PNG, GIF, TIFF, BMP, EMF, HEIC and AVIF, WebP, JPEG XL,
// JPEG 2000) is reachable from the input, and so is every page of a TIFF.
#include "FuzzFile.h"
#include "NormalizeImage.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto source = WriteInput(data, size, "input");
    PageSetup page;
    page.pageWidth = 48;
    page.pageHeight = 64;
    const PicturePages pages(source);
    // A few pages are enough to reach the page-by-page reading; thousands of
    // them would only slow the fuzzer down.
    for (size_t part = 0; part < std::min<size_t>(pages.count(), 4); ++part) {
        pages.Render(part, page, FuzzFolder() / "page.jpg");
    }
    return 0;
}

// The keep-JPEG decision from arbitrary bytes: the marker walk, the EXIF cut
// and the decoder's check all read untrusted files.
#include "FuzzFile.h"
#include "JpegMarkers.h"
#include "KeepJpeg.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const auto layout = ReadJpegLayout(bytes)) {
        WithoutExif(bytes, *layout);
    }
    const auto source = WriteInput(data, size, "input.jpg");
    PageSetup page;
    page.pageWidth = 48;
    page.pageHeight = 64;
    KeepJpegAsIs(source, FuzzFolder() / "page.jpg", page);
    return 0;
}

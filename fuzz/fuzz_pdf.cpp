// PDF assembly from arbitrary JPEG bytes, with protection on.
#include "FuzzFile.h"
#include "ConvertOptions.h"
#include "PdfAssembly.h"
#include "PdfDocument.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        SetPdfDiagnosticsStream(std::fopen("/dev/null", "w"));
        return true;
    }();
    (void)quiet;
    const auto jpeg = WriteInput(data, size, "page.jpg");
    ConvertOptions options;
    options.pageWidth = 100;
    options.pageHeight = 120;
    options.forbidPrint = 1;
    options.usePassword = 1;
    options.password = u"secret";
    JpegToPdf(jpeg, FuzzFolder() / "out.pdf", DocumentSettingsFor(options));
    return 0;
}

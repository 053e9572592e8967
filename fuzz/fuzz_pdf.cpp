// PDF assembly from arbitrary JPEG bytes, with protection on.
#include "FuzzFile.h"
#include "ConvertOptions.h"
#include "PdfAssembly.h"
#include "PdfDocument.h"

#include <cstdio>

namespace fs = std::filesystem;

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
    const fs::path pdf = FuzzFolder() / "out.pdf";
    DocumentPlan plan = PlanDocument({}, pdf, {}, DocumentSettingsFor(options));
    plan.pages.push_back({jpeg, {}, {}, {}});
    WritePdfDocument(plan);
    // The same page with a text layer goes through the other writer.
    PageText text{100, 120, {{10, 10, 90, 30, 10, 28, 90, 28, {{"word", 10, 10, 90, 30}}}}};
    plan.pages.front().text = text;
    WritePdfDocument(plan);
    return 0;
}

#include "BilevelPage.h"
#include "ConvertOptions.h"
#include "PdfTestDocuments.h"

#include "ExactPixels.h"
#include "PdfProbe.h"
#include "Pictures.h"
#include "RunProgram.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <vips/vips8>

namespace fs = std::filesystem;
using vips::VImage;

namespace {

// The page as MuPDF draws it, one pixel per point; empty when mutool is
// not installed. (Poppler smooths one-bit images even at their own size.)
fs::path RenderedPage(const fs::path& pdf, const fs::path& folder) {
    const fs::path shown = folder / "shown.png";
    if (!fs::exists("/usr/bin/mutool") ||
        RunProgram("/usr/bin/mutool", {"draw", "-q", "-r", "72", "-o", shown.string(), pdf.string(), "1"})
                .exitCode != 0) {
        return {};
    }
    return shown;
}

// Black letters on white, every pixel 0 or 255, the way a scan is stored.
fs::path WriteBilevelText(const fs::path& path) {
    const fs::path text = path.string() + ".text.png";
    WriteTextPicture(text, "Group 4 keeps every pixel\n黑白页面", 14, 301);
    VImage grey = VImage::new_from_file(text.c_str()).extract_band(0);
    ((grey > 128).cast(VIPS_FORMAT_UCHAR)).pngsave(path.c_str());
    return path;
}

} // namespace

// A black-and-white page picture stored as Group 4 shows its pixels exactly,
// black where they are black: a flipped polarity would pass a size check.
TEST(BilevelPage, ShowsEveryPixelAsStored) {
    TempDir dir;
    const fs::path scan = WriteBilevelText(dir / "scan.png");
    const VImage picture = VImage::new_from_file(scan.c_str());
    StreamCoding coding;
    ASSERT_EQ(StoreBilevelPage(dir / "page.g4", picture.get_image(), coding), "");
    EXPECT_EQ(coding.filter, StreamCoding::Filter::G4);
    ASSERT_LT(fs::file_size(dir / "page.g4"), fs::file_size(scan));

    ConvertOptions options;
    options.pageWidth = picture.width();
    options.pageHeight = picture.height();
    PagePlan page{dir / "page.g4", scan, OverWholePage(picture.width(), picture.height(), coding), {}};
    ASSERT_EQ(WritePages({page}, dir / "scan.pdf", DocumentSettingsFor(options)).status,
              PdfOutcome::Status::Written);

    const PdfProbe probe = ProbePdf(dir / "scan.pdf");
    ASSERT_TRUE(probe.opened) << probe.error;
    ASSERT_EQ(probe.pages.size(), 1u);
    ASSERT_EQ(probe.pages[0].images.size(), 1u);
    EXPECT_EQ(probe.pages[0].images[0].filters, std::vector<std::string>{"/CCITTFaxDecode"});
    const std::vector<fs::path> images = ExtractImages(dir / "scan.pdf", dir / "images");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(DifferentPixels(images[0], scan), 0);
    if (const fs::path shown = RenderedPage(dir / "scan.pdf", dir.path()); !shown.empty()) {
        EXPECT_EQ(DifferentPixels(shown, scan), 0);
    }
}

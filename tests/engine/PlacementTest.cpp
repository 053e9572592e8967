#include "NormalizeImage.h"
#include "PagePlacement.h"

#include <gtest/gtest.h>

TEST(Placement, FitsAndCentresWithTruncatedMargins) {
    // A wide picture: full width, white bands above and below.
    EXPECT_EQ(FitPictureOnPage(800, 600, 1000, 500), (PagePlacement{0, 100, 800, 400}));
    // A tall one: e = 257.14..., leftover 542, so the far margin is one pixel wider.
    EXPECT_EQ(FitPictureOnPage(800, 600, 300, 700), (PagePlacement{271, 0, 257, 600}));
    // Same proportions fill the page; small pictures are enlarged.
    EXPECT_EQ(FitPictureOnPage(800, 600, 400, 300), (PagePlacement{0, 0, 800, 600}));
    EXPECT_EQ(FitPictureOnPage(800, 600, 100, 100), (PagePlacement{100, 0, 600, 600}));
}

TEST(Placement, LargeSidesDoNotOverflow) {
    // 14400 x 200000 is beyond 32 bits; a 32-bit product would wrap and misplace it.
    EXPECT_EQ(FitPictureOnPage(14400, 14400, 300000, 200000), (PagePlacement{0, 2400, 14400, 9600}));
}

namespace {

using O = PageOrientation;
using F = PictureFit;

struct LayoutRow {
    const char* what;
    PageSetup setup;
    int pictureWidth, pictureHeight;
    int pageWidthPx, pageHeightPx;
    double pageWidthPt, pageHeightPt;
    PagePlacement picture;
};

PageSetup Custom(int width, int height, O orientation = O::AsSized, double margin = 0, F fit = F::Fit) {
    return {PaperSize::Custom, width, height, kDefaultDpi, orientation, margin, fit};
}

PageSetup Paper(PaperSize paper, int dpi, O orientation = O::AsSized, double margin = 0, F fit = F::Fit) {
    return {paper, 0, 0, dpi, orientation, margin, fit};
}

constexpr double kA4W = 595.2756, kA4H = 841.8898;

} // namespace

TEST(Placement, EveryModeOfThePageLayout) {
    const LayoutRow rows[] = {
        // The pixel size as sized, no margin, fitted: exactly the fitting above.
        {"custom, as now", Custom(800, 600), 1000, 500, 800, 600, 800, 600, {0, 100, 800, 400}},
        {"custom, tall picture", Custom(800, 600), 300, 700, 800, 600, 800, 600, {271, 0, 257, 600}},
        {"custom turned upright", Custom(800, 600, O::Portrait), 0, 0, 600, 800, 600, 800, {0, 0, 600, 800}},
        {"custom, auto, square keeps the size",
         Custom(800, 600, O::Auto),
         300,
         300,
         800,
         600,
         800,
         600,
         {100, 0, 600, 600}},
        {"custom, margin in pixels, shrink of a large picture fits it",
         Custom(800, 600, O::AsSized, 50, F::Shrink),
         1000,
         500,
         800,
         600,
         800,
         600,
         {50, 125, 700, 350}},
        // Presets: the true sheet in points, the page picture at the resolution, rounded.
        {"A4 150 dpi", Paper(PaperSize::A4, 150), 1000, 500, 1240, 1754, kA4W, kA4H, {0, 567, 1240, 620}},
        {"A4 auto, wide picture",
         Paper(PaperSize::A4, 150, O::Auto),
         1000,
         500,
         1754,
         1240,
         kA4H,
         kA4W,
         {0, 181, 1754, 877}},
        {"A4 auto, tall picture",
         Paper(PaperSize::A4, 150, O::Auto),
         500,
         1000,
         1240,
         1754,
         kA4W,
         kA4H,
         {181, 0, 877, 1754}},
        {"A4 landscape, 10 mm, shrink keeps a small picture's size",
         Paper(PaperSize::A4, 150, O::Landscape, 10, F::Shrink),
         100,
         100,
         1754,
         1240,
         kA4H,
         kA4W,
         {827, 570, 100, 100}},
        {"A4 300 dpi, 10 mm, fit enlarges",
         Paper(PaperSize::A4, 300, O::Portrait, 10),
         100,
         100,
         2480,
         3508,
         kA4W,
         kA4H,
         {118, 632, 2244, 2244}},
        {"Letter at 72 dpi: one pixel a point",
         Paper(PaperSize::Letter, 72),
         612,
         792,
         612,
         792,
         612,
         792,
         {0, 0, 612, 792}},
        {"A5 auto at 72 dpi",
         Paper(PaperSize::A5, 72, O::Auto),
         300,
         200,
         595,
         420,
         595.2756,
         419.5276,
         {0, 11, 595, 396}},
        {"B5, unknown picture",
         Paper(PaperSize::B5, 96),
         0,
         0,
         665,
         945,
         498.8976,
         708.6614,
         {0, 0, 665, 945}},
        {"Tabloid 600 dpi, shrink",
         Paper(PaperSize::Tabloid, 600, O::AsSized, 0, F::Shrink),
         6000,
         8000,
         6600,
         10200,
         792,
         1224,
         {300, 1100, 6000, 8000}},
        {"Legal 100 dpi, shrink of a wide picture larger than the sheet",
         Paper(PaperSize::Legal, 100, O::AsSized, 0, F::Shrink),
         2000,
         1000,
         850,
         1400,
         612,
         1008,
         {0, 487, 850, 425}},
    };
    for (const LayoutRow& row : rows) {
        const PageGeometry page = LayOutPage(row.setup, row.pictureWidth, row.pictureHeight);
        EXPECT_EQ(page.widthPx, row.pageWidthPx) << row.what;
        EXPECT_EQ(page.heightPx, row.pageHeightPx) << row.what;
        EXPECT_NEAR(page.widthPt, row.pageWidthPt, 1e-3) << row.what;
        EXPECT_NEAR(page.heightPt, row.pageHeightPt, 1e-3) << row.what;
        EXPECT_EQ(page.picture, row.picture) << row.what;
        // The PDF side finds the same sheet from the page picture alone.
        const PdfPageBox box = PdfPageFor(row.setup, page.widthPx, page.heightPx);
        EXPECT_NEAR(box.pageWidth, row.pageWidthPt, 1e-3) << row.what;
        EXPECT_NEAR(box.pageHeight, row.pageHeightPt, 1e-3) << row.what;
    }
}

TEST(Placement, MarginsAndResolutionsAJobRefuses) {
    struct Row {
        PageSetup setup;
        bool resolutionOk, marginOk;
    };
    const Row rows[] = {
        {Paper(PaperSize::A4, 72), true, true},
        {Paper(PaperSize::A4, 600, O::AsSized, 104.9), true, true},
        {Paper(PaperSize::A4, 71), false, true},
        {Paper(PaperSize::A4, 601), false, true},
        {Custom(800, 600), true, true},                            // a pixel size has no resolution to check
        {Paper(PaperSize::A4, 150, O::AsSized, 105), true, false}, // nothing left of 210 mm
        {Paper(PaperSize::A4, 150, O::AsSized, -1), true, false},
        {Paper(PaperSize::A4, 150, O::AsSized, std::numeric_limits<double>::quiet_NaN()), true, false},
        {Custom(800, 600, O::AsSized, 299), true, true},
        {Custom(800, 600, O::AsSized, 300), true, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(!CheckResolution(row.setup), row.resolutionOk) << row.setup.dpi;
        EXPECT_EQ(!CheckMargin(row.setup), row.marginOk) << row.setup.margin;
    }
    EXPECT_EQ(PaperSizeNamed("a4"), PaperSize::A4);
    EXPECT_EQ(PaperSizeNamed("TABLOID"), PaperSize::Tabloid);
    EXPECT_FALSE(PaperSizeNamed("A6"));
    EXPECT_FALSE(PaperSizeNamed("custom"));
}

TEST(Placement, NonSquarePixelsShowAtTheirTrueShape) {
    struct Row {
        const char* what;
        int width, height;
        PictureResolution resolution;
        ShownSize shown;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Row rows[] = {
        {"standard fax", 1728, 1100, {204, 98}, {1728, 2290, 204}},
        {"fine fax", 1728, 2200, {204, 196}, {1728, 2290, 204}},
        {"wide pixels", 100, 50, {150, 300}, {200, 50, 300}},
        {"square pixels", 100, 50, {300, 300}, {100, 50, 300}},
        {"no resolution", 100, 50, {0, 0}, {100, 50, 0}},
        {"one axis only", 100, 50, {300, 0}, {100, 50, 0}},
        {"beyond 1:8", 100, 50, {100, 900}, {100, 50, 0}},
        {"too coarse to be meant", 100, 50, {5, 9}, {100, 50, 0}},
        {"not a number", 100, 50, {nan, 300}, {100, 50, 0}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ShowPicture(row.width, row.height, row.resolution), row.shown) << row.what;
    }
}

TEST(Placement, APictureSizedPageIsThePictureAtItsResolutionWithTheMarginAround) {
    struct Row {
        const char* what;
        PageSetup setup;
        int pictureWidth, pictureHeight;
        double pixelsPerInch;
        int pageWidthPx, pageHeightPx;
        double pageWidthPt, pageHeightPt;
        PagePlacement picture;
    };
    const Row rows[] = {
        {"100 dpi, no margin",
         Paper(PaperSize::Picture, 150),
         300,
         200,
         100,
         450,
         300,
         216,
         144,
         {0, 0, 450, 300}},
        {"the job's dpi keeps the pixels",
         Paper(PaperSize::Picture, 100),
         300,
         200,
         100,
         300,
         200,
         216,
         144,
         {0, 0, 300, 200}},
        {"10 mm margin",
         Paper(PaperSize::Picture, 150, O::AsSized, 10),
         300,
         200,
         100,
         568,
         418,
         272.64,
         200.64,
         {59, 59, 450, 300}},
        {"no resolution: 96 dpi",
         Paper(PaperSize::Picture, 150),
         300,
         200,
         0,
         469,
         313,
         225.12,
         150.24,
         {0, 0, 469, 312}},
        {"never turned",
         Paper(PaperSize::Picture, 150, O::Portrait),
         300,
         200,
         100,
         450,
         300,
         216,
         144,
         {0, 0, 450, 300}},
        {"never kept small",
         Paper(PaperSize::Picture, 150, O::AsSized, 0, F::Shrink),
         300,
         200,
         100,
         450,
         300,
         216,
         144,
         {0, 0, 450, 300}},
        {"no larger than a PDF page",
         Paper(PaperSize::Picture, 72),
         40000,
         20000,
         100,
         14400,
         7200,
         14400,
         7200,
         {0, 0, 14400, 7200}},
        {"a single pixel: the smallest page a PDF may have",
         Paper(PaperSize::Picture, 150),
         1,
         1,
         96,
         7,
         7,
         3.36,
         3.36,
         {0, 0, 7, 7}},
        {"unknown picture: an A4 sheet",
         Paper(PaperSize::Picture, 150),
         0,
         0,
         0,
         1240,
         1754,
         595.2,
         841.92,
         {0, 0, 1240, 1754}},
    };
    for (const Row& row : rows) {
        const PageGeometry page =
            LayOutPage(row.setup, row.pictureWidth, row.pictureHeight, row.pixelsPerInch);
        EXPECT_EQ(page.widthPx, row.pageWidthPx) << row.what;
        EXPECT_EQ(page.heightPx, row.pageHeightPx) << row.what;
        EXPECT_NEAR(page.widthPt, row.pageWidthPt, 1e-3) << row.what;
        EXPECT_NEAR(page.heightPt, row.pageHeightPt, 1e-3) << row.what;
        EXPECT_EQ(page.picture, row.picture) << row.what;
        const PdfPageBox box = PdfPageFor(row.setup, page.widthPx, page.heightPx);
        EXPECT_NEAR(box.pageWidth, row.pageWidthPt, 1e-3) << row.what;
        EXPECT_NEAR(box.pageHeight, row.pageHeightPt, 1e-3) << row.what;
    }
    EXPECT_EQ(PaperSizeNamed("Picture"), PaperSize::Picture);
    EXPECT_FALSE(CheckMargin(Paper(PaperSize::Picture, 150, O::AsSized, 500)));
    EXPECT_TRUE(CheckMargin(Paper(PaperSize::Picture, 150, O::AsSized, 2540)));
}

#include "ScanPictures.h"

#include "ScanCleaning.h"
#include "TempDir.h"
#include "TestScans.h"
#include "VipsRuntime.h"

#include <gtest/gtest.h>

#include <cmath>

using vips::VImage;

namespace {

VImage Grey(const std::filesystem::path& path) {
    EnsureVipsStarted();
    return GreyOf(VImage::new_from_file(path.c_str())).copy_memory();
}

} // namespace

TEST(ScanSkew, TextLaidAskewIsFoundAndStraightened) {
    TempDir dir;
    for (double askew : {0.5, -1.3, 3.0, -7.0, 9.0}) {
        const auto path = dir.path() / "askew.png";
        WriteScannedTextPage(path, {askew});
        const std::optional<double> skew = FindTextSkew(Grey(path));
        ASSERT_TRUE(skew) << askew;
        const VImage straight = StraightenPicture(Grey(path), *skew);
        EXPECT_EQ(straight.width(), 1700);
        const std::optional<double> left = FindTextSkew(straight);
        const double residual = left.value_or(0);
        EXPECT_LT(std::abs(residual), 0.25) << "laid " << askew << " degrees askew, turned by " << *skew;
    }
}

TEST(ScanSkew, PicturesWithoutTextLinesAreNeverTurned) {
    TempDir dir;
    const auto photo = dir.path() / "photo.png";
    WritePhotoLikePicture(photo);
    EXPECT_FALSE(FindTextSkew(Grey(photo)));
    const auto blank = dir.path() / "blank.png";
    WriteLightPage(blank, LightPage::Blank, 1);
    EXPECT_FALSE(FindTextSkew(Grey(blank)));
    // Too small to measure: a thumbnail of a page of text.
    const auto page = dir.path() / "page.png";
    WriteScannedTextPage(page, {4.0});
    EXPECT_FALSE(FindTextSkew(Grey(page).resize(0.05)));
}

TEST(ScanBlank, BlankBacksAreFoundAndNoMarkIsLost) {
    TempDir dir;
    struct Row {
        LightPage kind;
        bool blank;
    };
    for (const Row& row : {Row{LightPage::Blank, true}, Row{LightPage::FaintPencil, false},
                           Row{LightPage::PencilDot, false}, Row{LightPage::PaleStamp, false}}) {
        for (int seed = 1; seed <= 3; ++seed) {
            const auto path = dir.path() / "light.png";
            WriteLightPage(path, row.kind, seed);
            EXPECT_EQ(LooksBlank(Grey(path)), row.blank) << int(row.kind) << " seed " << seed;
        }
    }
    // A thin stroke on an A4 scan at 300 dpi keeps its darkness while judged.
    const auto a4 = dir.path() / "a4.png";
    WriteLightPage(a4, LightPage::PaleStamp, 4, 2480, 3508);
    EXPECT_FALSE(LooksBlank(Grey(a4)));
    const auto text = dir.path() / "text.png";
    WriteScannedTextPage(text, {});
    EXPECT_FALSE(LooksBlank(Grey(text)));
    // A dark or a tiny picture is no blank page.
    EXPECT_FALSE(LooksBlank(VImage::black(1000, 1000).cast(VIPS_FORMAT_UCHAR)));
    EXPECT_FALSE(LooksBlank((VImage::black(50, 50) + 255).cast(VIPS_FORMAT_UCHAR)));
}

TEST(ScanBilevel, ShadedTextKeepsItsInkAndLosesItsShadow) {
    TempDir dir;
    const auto path = dir.path() / "shaded.png";
    WriteScannedTextPage(path, {0, 0, true});
    const VImage grey = Grey(path);
    const VImage bilevel = BilevelPage(grey);
    ASSERT_EQ(bilevel.bands(), 1);
    EXPECT_EQ(bilevel.width(), grey.width());
    // Only black and white, and the shaded margin (left edge) white.
    const VImage notBlackOrWhite = (bilevel > 0) & (bilevel < 255);
    EXPECT_EQ(notBlackOrWhite.max(), 0);
    EXPECT_EQ(bilevel.crop(0, 0, 60, grey.height()).min(), 255);
    // Text still there: a few percent of the page is ink.
    const double ink = 1.0 - bilevel.avg() / 255;
    EXPECT_GT(ink, 0.01);
    EXPECT_LT(ink, 0.2);
}

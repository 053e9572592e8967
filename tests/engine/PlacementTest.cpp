#include "NormalizeImage.h"

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

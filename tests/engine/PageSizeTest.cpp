#include "PageSize.h"

#include <gtest/gtest.h>

TEST(PageSize, ReadsSizeFieldsLikeTheBaseTenConversion) {
    EXPECT_EQ(ParsePageDimension("abc"), 0);
    EXPECT_EQ(ParsePageDimension(""), 0);
    EXPECT_EQ(ParsePageDimension(" 42"), 42);
    EXPECT_EQ(ParsePageDimension("\t+7"), 7);
    EXPECT_EQ(ParsePageDimension("12px"), 12);
    EXPECT_EQ(ParsePageDimension("-5"), -5);
    EXPECT_EQ(ParsePageDimension("99999999999"), 2147483647);
    EXPECT_EQ(ParsePageDimension("-99999999999"), -2147483647 - 1);
    EXPECT_EQ(ParsePageDimension("2147483648"), 2147483647);
    EXPECT_EQ(ParsePageDimension("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParsePageDimension("- 5"), 0);
}

TEST(PageSize, RefusesSidesThePdfCannotHold) {
    EXPECT_FALSE(CheckPageSize(1587, 2245));
    EXPECT_FALSE(CheckPageSize(3, 14400));
    for (auto [w, h] : {std::pair{0, 100}, {100, 2}, {14401, 100}, {100, -5}}) {
        auto refusal = CheckPageSize(w, h);
        ASSERT_TRUE(refusal) << w << "x" << h;
        EXPECT_NE(refusal->find("between 3 and 14400"), std::string::npos) << *refusal;
    }
}

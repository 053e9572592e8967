#include "PreparedPages.h"
#include "TempDir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

// A picture of several pages hands over "n", "n-1", "n-2", ...: the parts go
// in number order, not text order, and a document per picture takes them all.
TEST(PreparedPages, PartsFollowTheirPictureInNumberOrder) {
    TempDir dir;
    for (const char* name : {"2-10.jpg", "2.jpg", "10.jpg", "2-2.jpg", "2-1.jpg", "3-0.jpg", "x.jpg", "1-.jpg"}) {
        std::ofstream(dir / name) << "page";
    }
    EXPECT_EQ(PreparedPagePath(dir.path(), 2), dir / "2.jpg");
    EXPECT_EQ(PreparedPagePath(dir.path(), 2, 10), dir / "2-10.jpg");

    const PreparedPages listing = ListPreparedPages(dir.path());
    std::vector<std::string> order;
    for (const auto& page : listing.pages) {
        order.push_back(page.path.filename().string());
    }
    EXPECT_EQ(order, (std::vector<std::string>{"2.jpg", "2-1.jpg", "2-2.jpg", "2-10.jpg", "10.jpg", "1-.jpg",
                                               "3-0.jpg", "x.jpg"}));
    const auto pictures = PagesByPicture(listing.pages);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0].size(), 4u);
    EXPECT_EQ(pictures[1].front().number, "10");
}

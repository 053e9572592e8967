#include "FolderScan.h"
#include "FolderTree.h"
#include "NaturalOrder.h"
#include "PictureTest.h"
#include "ScopedTimeZone.h"
#include "TempDir.h"
#include "WriteTimeOrder.h"

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Sets a file's last-write time to `seconds` after 2021-03-05 12:00:00 UTC.
void SetWriteTime(const fs::path& file, int seconds, long nanoseconds = 0) {
    const timespec times[2] = {{1614945600 + seconds, nanoseconds}, {1614945600 + seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0) << file;
}

fs::path Touch(const fs::path& file, int seconds) {
    std::ofstream(file) << "x";
    SetWriteTime(file, seconds);
    return file;
}

std::vector<std::string> Names(const std::vector<fs::path>& paths) {
    std::vector<std::string> names;
    for (const auto& path : paths) {
        names.push_back(path.filename().string());
    }
    return names;
}

} // namespace

TEST(PictureTest, TheNameMustEndWithAPictureExtensionInAnyCase) {
    const std::pair<const char*, bool> rows[] = {
        {"/a/photo.jpg", true},
        {"/a/photo.JPEG", true},
        {"/a/IMG_0003.Jpg", true},
        {"/a/scan.TiFf", true},
        {"/a/chart.EMF", true},
        {"/a/IMG_0042.HEIC", true},
        {"/a/shot.Avif", true},
        {"/a/scan.J2K", true},
        {"/a/IMG_0042.HEIC.aae", false}, // a phone's edit record
        {"/a/clip.webm", false},
        {"/a/IMG_0001.JPG.xmp", false}, // a photo editor's sidecar
        {"/a/photo.jpg.bak", false},
        {"/a/photos.jpg.d/readme", false}, // the folder's name does not count
        {"/a/photos.jpg.d/notes.txt", false},
        {"/a/photojpg", false},
        {"/a/photo.jpgx", false},
        {"/a/notes.txt", false},
    };
    for (const auto& [path, picture] : rows) {
        EXPECT_EQ(PassesPictureTest(path), picture) << path;
    }
}

TEST(WriteTimeOrder, OrdersByTimeAndKeepsListingOrderForEqualKeys) {
    TempDir dir;
    // Listed as 0, 1, 10, 2 but written 0, 1, 2, 10.
    const fs::path a = Touch(dir / "0.jpg", 0), b = Touch(dir / "1.jpg", 1), c = Touch(dir / "10.jpg", 3),
                   d = Touch(dir / "2.jpg", 2);
    std::vector<fs::path> oldest;
    OrderByWriteTime({a, b, c, d}, oldest);
    EXPECT_EQ(Names(oldest), (std::vector<std::string>{"0.jpg", "1.jpg", "2.jpg", "10.jpg"}));

    // Same millisecond: listing order, each path once.
    const fs::path e = Touch(dir / "e", 5), f = Touch(dir / "f", 5);
    std::vector<fs::path> tied;
    OrderByWriteTime({f, e, a}, tied);
    EXPECT_EQ(Names(tied), (std::vector<std::string>{"0.jpg", "f", "e"}));

    // More than a thousand paths, and a vanished one, still take part.
    std::vector<fs::path> many, ordered;
    for (int i = 0; i < 1500; ++i) {
        many.push_back(dir / ("m" + std::to_string(i)));
    }
    many.push_back(dir / "gone");
    OrderByWriteTime(many, ordered);
    EXPECT_EQ(ordered.size(), many.size());
}

TEST(WriteTimeOrder, KeyIsTheLocalTimeDigits) {
    TempDir dir;
    const fs::path file = Touch(dir / "x", 0);
    SetWriteTime(file, 0, 45'000'000);
    auto zone = [] {
        const char* set = std::getenv("TZ");
        return set ? std::string(set) : std::string("(unset)");
    };
    const std::string before = zone();
    {
        const ScopedTimeZone utc("UTC");
        EXPECT_EQ(WriteTimeKey(file), 20210305120000045);
        EXPECT_EQ(WriteTimeKey(dir / "missing"), 0);
    }
    // The tests after this one see the machine's zone again.
    EXPECT_EQ(zone(), before);
}

TEST(FolderScan, TakesPicturesOldestFirstWithEqualTimesByNameAndNeverFolders) {
    TempDir dir;
    Touch(dir / "x.jpg", 10);
    Touch(dir / "y.png", 20);
    Touch(dir / "z.txt", 30);
    Touch(dir / "photo.jpg.bak", 5);
    Touch(dir / "IMG_0001.JPG.xmp", 5);
    Touch(dir / "photo.Jpg", 40);
    // Unpacked from an archive: whole-second times, one for all three.
    Touch(dir / "b.jpg", 15);
    Touch(dir / "c.jpg", 15);
    Touch(dir / "A.jpg", 15);
    fs::create_directory(dir / "old.png");
    ASSERT_EQ(::mkfifo((dir / "pipe.jpg").c_str(), 0600), 0);
    const FolderListing scan = ScanFolderForPictures(dir.path());
    EXPECT_TRUE(scan.error.empty());
    EXPECT_EQ(Names(scan.entries),
              (std::vector<std::string>{"x.jpg", "A.jpg", "b.jpg", "c.jpg", "y.png", "photo.Jpg"}));

    const FolderListing missing = ScanFolderForPictures(dir / "nowhere");
    EXPECT_TRUE(missing.entries.empty());
    EXPECT_FALSE(missing.error.empty());
}

TEST(FolderScan, NameOrderIsNatural) {
    TempDir dir;
    int seconds = 100;
    for (const char* name : {"第10页.png", "img10.jpg", "IMG3.jpg", "img2.jpg", "第2页.png", "img1.jpg"}) {
        Touch(dir / name, --seconds); // written against name order
    }
    // Which script comes first is the language's choice (Chinese puts its own
    // first); within each, numbers count as numbers.
    std::vector<std::string> latin, chinese;
    for (const std::string& name : Names(ScanFolderForPictures(dir.path(), FolderOrder::Name).entries)) {
        (name.starts_with("img") || name.starts_with("IMG") ? latin : chinese).push_back(name);
    }
    EXPECT_EQ(latin, (std::vector<std::string>{"img1.jpg", "img2.jpg", "IMG3.jpg", "img10.jpg"}));
    EXPECT_EQ(chinese, (std::vector<std::string>{"第2页.png", "第10页.png"}));
    EXPECT_EQ(Names(ScanFolderForPictures(dir.path(), FolderOrder::WriteTime).entries),
              (std::vector<std::string>{"img1.jpg", "第2页.png", "img2.jpg", "IMG3.jpg", "img10.jpg",
                                        "第10页.png"}));
}

TEST(NaturalOrder, DigitsAsNumbersCaseLastAndPathsFolderByFolder) {
    EXPECT_LT(CompareNaturally("img2", "img10"), 0);
    EXPECT_LT(CompareNaturally("img2", "IMG3"), 0);
    EXPECT_LT(CompareNaturally("scan 9", "scan 010"), 0);
    EXPECT_LT(CompareNaturally("第2页", "第10页"), 0);
    // Equal to the collation, still one order: by the bytes.
    EXPECT_NE(CompareNaturally("a.jpg", "A.jpg"), 0);
    EXPECT_EQ(CompareNaturally("a.jpg", "A.jpg"), -CompareNaturally("A.jpg", "a.jpg"));
    EXPECT_EQ(CompareNaturally("same", "same"), 0);
    EXPECT_NE(CompareNaturally("bad\xff", "bad\xfe"), 0);
    EXPECT_TRUE(NaturallyBefore("/scans/b/9.jpg", "/scans/b c/1.jpg"));
    EXPECT_TRUE(NaturallyBefore("/scans/2/x.jpg", "/scans/10/a.jpg"));
    EXPECT_TRUE(NaturallyBefore("/scans", "/scans/a.jpg"));
    EXPECT_FALSE(NaturallyBefore("/scans/a.jpg", "/scans/a.jpg"));
}

TEST(FolderScan, SubFoldersIncludeHiddenOnesInNameOrder) {
    TempDir dir;
    fs::create_directory(dir / "b");
    fs::create_directory(dir / ".hidden");
    fs::create_directory(dir / "A");
    Touch(dir / "file.jpg", 0);
    EXPECT_EQ(Names(ListSubFolders(dir.path()).entries), (std::vector<std::string>{".hidden", "A", "b"}));
}

TEST(DeleteFolderTree, RemovesEverythingInsideButNothingOutside) {
    TempDir dir;
    const fs::path outside = dir / "outside";
    fs::create_directories(outside / "deep");
    std::ofstream(outside / "deep" / "keep.txt") << "user data";
    const fs::path tree = dir / "tree";
    fs::create_directories(tree / "a" / "b");
    std::ofstream(tree / "a" / "b" / "page.jpg") << "x";
    fs::permissions(tree / "a" / "b" / "page.jpg", fs::perms::owner_read);
    fs::permissions(tree / "a", fs::perms::owner_read | fs::perms::owner_exec);
    fs::create_directory_symlink(outside, tree / "link");
    fs::create_symlink(outside / "deep" / "keep.txt", tree / "a" / "file-link");

    EXPECT_TRUE(DeleteFolderTree(tree));
    EXPECT_FALSE(fs::exists(tree));
    EXPECT_TRUE(fs::exists(outside / "deep" / "keep.txt"));
    EXPECT_FALSE(DeleteFolderTree(""));
}

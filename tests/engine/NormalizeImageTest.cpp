#include "NormalizeImage.h"
#include "CopyImageData.h"
#include "KeepJpeg.h"
#include "MultiPageTiff.h"
#include "Pictures.h"
#include "StatedResolution.h"
#include "TempDir.h"
#include "TiffFallback.h"

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

constexpr int kPageWidth = 300;
constexpr int kPageHeight = 400;

using Rgb = std::array<uint8_t, 3>;

bool Near(Rgb a, Rgb b, int tolerance = 12) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(a[i] - b[i]) > tolerance) {
            return false;
        }
    }
    return true;
}

constexpr Rgb kWhite{255, 255, 255};

// Corpus pictures that the decoders here cannot read, read only in part, or
// whose colour profile cannot be used: they must still give a page, and a
// problem in the report.
const std::set<std::string> kKnownProblems = {
    "jpeg/ultrahdr.jpg",        // primary image cut short
    "jpeg/icc-after-SOF.jpg",   // its "profile" is the seven letters of the word
    "emf/test-183.emf",         // Hebrew drawn by glyph numbers of a font we do not have
};

std::vector<fs::path> CorpusFiles(std::initializer_list<const char*> folders) {
    std::vector<fs::path> files;
    for (const char* folder : folders) {
        for (const auto& entry : fs::directory_iterator(Corpus() / folder)) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string CorpusName(const fs::path& file) {
    return file.parent_path().filename().string() + "/" + file.filename().string();
}

bool IsJpeg(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char head[3] = {};
    in.read(head, 3);
    return static_cast<unsigned char>(head[0]) == 0xFF && static_cast<unsigned char>(head[1]) == 0xD8;
}

} // namespace

TEST(NormalizeImage, EveryCorpusPictureBecomesOnePageSizedJpeg) {
    TempDir out;
    int index = 0;
    for (const auto& file : CorpusFiles({"jpeg", "png", "bmp", "tiff", "gif", "emf", "exif-orientation"})) {
        const fs::path page = out / (std::to_string(index++) + ".jpg");
        const NormalizeResult result = NormalizeImage(kPageWidth, kPageHeight, file, page);
        const std::string name = CorpusName(file);
        ASSERT_TRUE(result.written) << name << ": " << result.reason;
        EXPECT_TRUE(IsJpeg(page)) << name;
        const PictureSize size = ReadSize(page);
        EXPECT_EQ(size.width, kPageWidth) << name;
        EXPECT_EQ(size.height, kPageHeight) << name;
        if (kKnownProblems.count(name) != 0) {
            EXPECT_TRUE(result.problem.has_value()) << name;
            EXPECT_FALSE(result.reason.empty()) << name;
        } else {
            EXPECT_FALSE(result.problem.has_value()) << name << ": " << result.reason;
        }
    }
}

TEST(NormalizeImage, BrokenFilesGiveAPageAndAReason) {
    TempDir out;
    int index = 0;
    for (const auto& file : CorpusFiles({"broken"})) {
        const fs::path page = out / (std::to_string(index++) + ".jpg");
        const NormalizeResult result = NormalizeImage(kPageWidth, kPageHeight, file, page);
        const std::string name = CorpusName(file);
        ASSERT_TRUE(result.written) << name;
        EXPECT_EQ(ReadSize(page).width, kPageWidth) << name;
        if (result.problem) {
            EXPECT_FALSE(result.reason.empty()) << name;
        }
        if (result.problem == PictureOutcome::Undecodable) {
            EXPECT_TRUE(Near(ReadPixel(page, kPageWidth / 2, kPageHeight / 2), kWhite)) << name;
        }
    }
}

TEST(NormalizeImage, NonPicturesGiveAWhitePageAndTheirReason) {
    TempDir dir;
    std::ofstream(dir / "notes.jpg") << "this is text, not a picture";
    std::ofstream(dir / "empty.png");
    fs::create_directory(dir / "old.png");
    const std::vector<std::pair<fs::path, std::string>> cases = {
        {dir / "notes.jpg", "not a JPEG"},
        {dir / "empty.png", "empty"},
        {dir / "old.png", "folder"},
        {dir / "missing.gif", "No such file"},
    };
    for (const auto& [source, reason] : cases) {
        const fs::path page = dir / "page.jpg";
        const NormalizeResult result = NormalizeImage(kPageWidth, kPageHeight, source, page);
        EXPECT_TRUE(result.written) << source;
        EXPECT_EQ(result.problem, PictureOutcome::Undecodable) << source;
        EXPECT_NE(result.reason.find(reason), std::string::npos) << source << ": " << result.reason;
        EXPECT_TRUE(Near(ReadPixel(page, 5, 5), kWhite));
        EXPECT_TRUE(Near(ReadPixel(page, kPageWidth / 2, kPageHeight / 2), kWhite));
    }
}

TEST(NormalizeImage, PicturesAreFittedAndCentredOnWhite) {
    TempDir out;
    // 512 x 256, photo on the left, black on the right: full width, 100 white rows above.
    ASSERT_TRUE(NormalizeImage(400, 400, Corpus() / "jpeg" / "wide_512x256.jpg", out / "wide.jpg").written);
    EXPECT_TRUE(Near(ReadPixel(out / "wide.jpg", 200, 50), kWhite));
    EXPECT_TRUE(Near(ReadPixel(out / "wide.jpg", 200, 350), kWhite));
    EXPECT_TRUE(Near(ReadPixel(out / "wide.jpg", 350, 200), Rgb{0, 0, 0}, 30));
    // 256 x 512, red lower half: 200 wide at left 100.
    ASSERT_TRUE(NormalizeImage(400, 400, Corpus() / "jpeg" / "tall_256x512.jpg", out / "tall.jpg").written);
    EXPECT_TRUE(Near(ReadPixel(out / "tall.jpg", 50, 200), kWhite));
    EXPECT_TRUE(Near(ReadPixel(out / "tall.jpg", 350, 200), kWhite));
    EXPECT_TRUE(Near(ReadPixel(out / "tall.jpg", 200, 350), Rgb{255, 0, 0}, 40));
    // A tiny picture is enlarged to fill its box.
    WriteSolidPicture(out / "dot.png", 2, 2, {0, 0, 255});
    ASSERT_TRUE(NormalizeImage(400, 300, out / "dot.png", out / "dot.jpg").written);
    EXPECT_TRUE(Near(ReadPixel(out / "dot.jpg", 200, 150), Rgb{0, 0, 255}, 30));
    EXPECT_TRUE(Near(ReadPixel(out / "dot.jpg", 20, 150), kWhite));
}

TEST(NormalizeImage, PicturesShowAsTheirViewerShowsThem) {
    TempDir out;
    // Every orientation of the same photograph gives the same page as the photograph without EXIF.
    const fs::path folder = Corpus() / "exif-orientation";
    ASSERT_TRUE(NormalizeImage(200, 200, folder / "hopper_no_exif.jpg", out / "reference.jpg").written);
    for (int orientation = 2; orientation <= 8; ++orientation) {
        const fs::path page = out / ("o" + std::to_string(orientation) + ".jpg");
        const fs::path source = folder / ("hopper_orientation_" + std::to_string(orientation) + ".jpg");
        ASSERT_TRUE(NormalizeImage(200, 200, source, page).written);
        int differing = 0;
        for (int y = 20; y < 200; y += 40) {
            for (int x = 20; x < 200; x += 40) {
                differing += Near(ReadPixel(page, x, y), ReadPixel(out / "reference.jpg", x, y), 40) ? 0 : 1;
            }
        }
        EXPECT_LE(differing, 2) << "orientation " << orientation;
    }
    // A 2 x 1 picture tagged to be shown turned is tall on the page.
    ASSERT_TRUE(NormalizeImage(200, 200, folder / "orientation_rectangle.jpg", out / "turned.jpg").written);
    EXPECT_TRUE(Near(ReadPixel(out / "turned.jpg", 10, 100), kWhite));
    EXPECT_FALSE(Near(ReadPixel(out / "turned.jpg", 100, 100), kWhite));

    // Transparent areas are white, not the colour hidden under the alpha channel.
    WriteRgbaPng(out / "clear.png", 50, 50, {255, 0, 0, 0});
    ASSERT_TRUE(NormalizeImage(100, 100, out / "clear.png", out / "clear.jpg").written);
    EXPECT_TRUE(Near(ReadPixel(out / "clear.jpg", 50, 50), kWhite));
    WriteRgbaPng(out / "solid.png", 50, 50, {0, 128, 0, 255});
    ASSERT_TRUE(NormalizeImage(100, 100, out / "solid.png", out / "solid.jpg").written);
    EXPECT_TRUE(Near(ReadPixel(out / "solid.jpg", 50, 50), Rgb{0, 128, 0}, 20));
}

TEST(NormalizeImage, FileNamesAreTakenLiterally) {
    TempDir dir;
    for (const char* name : {"scan[1].jpg", "page[shrink=8].jpg", "a;b:c.jpg", "照片 1.jpg"}) {
        fs::copy_file(Corpus() / "jpeg" / "flower.jpg", dir / name);
        const NormalizeResult result = NormalizeImage(100, 100, dir / name, dir / "page.jpg");
        EXPECT_TRUE(result.written) << name;
        EXPECT_FALSE(result.problem.has_value()) << name << ": " << result.reason;
    }
}

TEST(NormalizeImage, TruncatedPictureShowsWhatCouldBeReadAndIsReportedDamaged) {
    TempDir dir;
    std::ifstream in(Corpus() / "jpeg" / "flower.jpg", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(dir / "cut.jpg", std::ios::binary) << bytes.substr(0, bytes.size() * 2 / 3);
    const NormalizeResult result = NormalizeImage(480, 360, dir / "cut.jpg", dir / "page.jpg");
    ASSERT_TRUE(result.written);
    EXPECT_EQ(result.problem, PictureOutcome::Damaged);
    EXPECT_FALSE(result.reason.empty());
    // The top of the photograph was read: it matches a page made from the whole file.
    ASSERT_TRUE(NormalizeImage(480, 360, Corpus() / "jpeg" / "flower.jpg", dir / "whole.jpg").written);
    EXPECT_TRUE(Near(ReadPixel(dir / "page.jpg", 240, 20), ReadPixel(dir / "whole.jpg", 240, 20), 30));
}

TEST(NormalizeImage, MetafileThatDrawsOnlyInEmfPlusIsDrawnWithoutComplaint) {
    TempDir out;
    const NormalizeResult result = NormalizeImage(300, 300, Corpus() / "emf" / "test-038.emf", out / "p.jpg");
    EXPECT_TRUE(result.written);
    EXPECT_FALSE(result.problem.has_value()) << result.reason;
    EXPECT_FALSE(Near(ReadPixel(out / "p.jpg", 150, 150), kWhite, 5)) << "the drawing's yellow ground shows";
}

// A fax at 204 x 98 dpi has pixels twice as tall as wide: shown square, it
// would come out at half its height.
TEST(NormalizeImage, NonSquarePixelsShowAtTheirTrueShape) {
    struct Row {
        const char* name;
        bool faxTiff;
    };
    const Row rows[] = {{"fax.tif", true},
                        {"plain.tif", false},
                        {"phys.png", false},
                        {"jfif.jpg", false},
                        {"pels.bmp", false}};
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path source = dir / row.name;
        // 2 x 2 inches: 408 x 196 pixels at 204 x 98 dpi.
        WriteSolidPictureAt(source, 408, 196, {0, 0, 0}, 204, 98, row.faxTiff);

        // Square (400 x 400 from row 40), where square pixels would leave it
        // 192 rows tall from row 144.
        const fs::path custom = dir / (std::string(row.name) + ".custom.jpg");
        ASSERT_TRUE(NormalizeImage(400, 480, source, custom).written);
        EXPECT_TRUE(Near(ReadPixel(custom, 200, 60), {0, 0, 0}, 40));
        EXPECT_TRUE(Near(ReadPixel(custom, 200, 20), kWhite));

        // On a page of its own size: 2 x 2 inches at the job's 150 dpi.
        PageSetup own;
        own.paper = PaperSize::Picture;
        own.dpi = 150;
        const fs::path sized = dir / (std::string(row.name) + ".own.jpg");
        ASSERT_TRUE(NormalizeImage(own, source, sized).written);
        const PictureSize size = ReadSize(sized);
        EXPECT_EQ(size.width, 300);
        EXPECT_EQ(size.height, 300);
        EXPECT_TRUE(Near(ReadPixel(sized, 150, 3), {0, 0, 0}, 40));
    }

    // Each page of a TIFF has its own resolution: a standard and a fine fax
    // page, both 2 x 2 inches, and one page that states none (96 dpi).
    const fs::path scan = dir / "scan.tif";
    WriteMultiPageTiff(scan, {{408, 196, {0, 0, 0}, 0, false, 204, 98},
                              {408, 392, {0, 0, 0}, 0, false, 204, 196},
                              {192, 96, {0, 0, 0}}});
    const PicturePages pages(scan);
    ASSERT_EQ(pages.count(), 3u);
    const PictureSize expected[] = {{300, 300}, {300, 300}, {300, 150}};
    for (size_t part = 0; part < pages.count(); ++part) {
        PageSetup own;
        own.paper = PaperSize::Picture;
        own.dpi = 150;
        const fs::path page = dir / ("scan" + std::to_string(part) + ".jpg");
        ASSERT_TRUE(pages.Render(part, own, page).written);
        EXPECT_EQ(ReadSize(page).width, expected[part].width) << part;
        EXPECT_EQ(ReadSize(page).height, expected[part].height) << part;
    }

    // libtiff's own reader, for TIFFs libvips cannot read, gives the same resolutions.
    {
        const int fd = ::open(scan.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        const PictureResolution fallback = StatedResolution(ReadTiffAsRgba(fd, 0, 1'000'000, true));
        ::close(fd);
        EXPECT_NEAR(fallback.x, 204, 0.01);
        EXPECT_NEAR(fallback.y, 98, 0.01);
    }

    // A picture turned a quarter by its EXIF takes its resolutions along: stored
    // 408 x 196 at 204 x 98 dpi, it is shown 196 x 408 at 98 x 204 dpi, still
    // 2 x 2 inches. (The turn that writes it leaves the resolutions as given.)
    const fs::path upright = dir / "upright.png";
    WriteSolidPictureAt(upright, 196, 408, {0, 0, 0}, 204, 98);
    const fs::path turned = dir / "turned.jpg";
    WriteTurnedJpeg(upright, turned);
    PageSetup own;
    own.paper = PaperSize::Picture;
    own.dpi = 150;
    const fs::path page = dir / "turned.page.jpg";
    ASSERT_TRUE(NormalizeImage(own, turned, page).written);
    EXPECT_EQ(ReadSize(page).width, 300);
    EXPECT_EQ(ReadSize(page).height, 300);
}

// A JPEG's own header decides its size on a page of its own, rendered or kept
// alike: libvips alone would say 72 dpi for one that states nothing.
TEST(NormalizeImage, AJpegsOwnDensitySizesItsPage) {
    struct Row {
        const char* what;
        int unit, x, y;
        int pageWidth, pageHeight;
    };
    const Row rows[] = {
        {"no JFIF segment: 96 dpi", -1, 0, 0, 469, 313},
        {"JFIF shape only, square: 96 dpi", 0, 1, 1, 469, 313},
        {"JFIF shape only, wide pixels", 0, 1, 2, 938, 313},
        {"72 dpi said in inches", 1, 72, 72, 625, 417},
        {"118 per centimetre, 300 dpi", 2, 118, 118, 150, 100},
    };
    PageSetup own;
    own.paper = PaperSize::Picture;
    own.dpi = 150;
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const fs::path source = dir / "picture.jpg";
        WriteJfifJpeg(source, 300, 200, row.unit, row.x, row.y);
        const fs::path rendered = dir / "rendered.jpg";
        ASSERT_TRUE(NormalizeImage(own, source, rendered).written);
        EXPECT_NEAR(ReadSize(rendered).width, row.pageWidth, 1);
        EXPECT_NEAR(ReadSize(rendered).height, row.pageHeight, 1);
        const KeepJpegResult kept = KeepJpegAsIs(source, dir / "kept.jpg", own);
        ASSERT_TRUE(kept.kept);
        EXPECT_EQ(kept.kept->pageWidth, ReadSize(rendered).width);
        EXPECT_EQ(kept.kept->pageHeight, ReadSize(rendered).height);
        fs::remove(dir / "kept.jpg");
    }
}

namespace {

std::string PngChunk(const std::string& type, const std::string& data) {
    auto be32 = [](uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    const std::string typed = type + data;
    const uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(typed.data()), typed.size());
    return be32(static_cast<uint32_t>(data.size())) + typed + be32(crc);
}

// A mid-grey PNG of width x height, with a pHYs chunk when `unit` is 0 or 1.
void WritePhysPng(const fs::path& path, uint32_t width, uint32_t height, int unit, uint32_t x, uint32_t y) {
    auto be32 = [](uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    std::string rows;
    for (uint32_t row = 0; row < height; ++row) {
        rows += '\0' + std::string(width, '\x80');
    }
    std::string packed(compressBound(rows.size()), '\0');
    uLongf packedSize = packed.size();
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(rows.data()),
             rows.size());
    packed.resize(packedSize);
    std::string png = "\x89PNG\r\n\x1a\n" + PngChunk("IHDR", be32(width) + be32(height) + std::string("\x08\0\0\0\0", 5));
    if (unit >= 0) {
        png += PngChunk("pHYs", be32(x) + be32(y) + std::string(1, static_cast<char>(unit)));
    }
    png += PngChunk("IDAT", packed) + PngChunk("IEND", "");
    std::ofstream(path, std::ios::binary) << png;
}

} // namespace

// A pHYs chunk without a unit says only the pixels' shape: libvips takes its
// numbers for pixels per millimetre, which made tiny, squashed pages.
TEST(NormalizeImage, APngsOwnDensitySizesItsPage) {
    struct Row {
        const char* what;
        int unit;
        uint32_t x, y;
        int pageWidth, pageHeight;
    };
    const Row rows[] = {
        {"no pHYs: 96 dpi", -1, 0, 0, 469, 313},
        {"pHYs shape only, square: 96 dpi", 0, 1, 1, 469, 313},
        {"pHYs shape only, wide pixels", 0, 1, 2, 938, 313},
        {"3780 per metre, 96 dpi", 1, 3780, 3780, 469, 313},
    };
    PageSetup own;
    own.paper = PaperSize::Picture;
    own.dpi = 150;
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const fs::path source = dir / "picture.png";
        WritePhysPng(source, 300, 200, row.unit, row.x, row.y);
        const fs::path rendered = dir / "rendered.jpg";
        ASSERT_TRUE(NormalizeImage(own, source, rendered).written);
        EXPECT_NEAR(ReadSize(rendered).width, row.pageWidth, 1);
        EXPECT_NEAR(ReadSize(rendered).height, row.pageHeight, 1);
        const LosslessPageResult copied = CopyImageData(source, 0, dir / "copied.png", own, false);
        ASSERT_TRUE(copied.kept);
        EXPECT_EQ(copied.kept->pageWidth, ReadSize(rendered).width);
        EXPECT_EQ(copied.kept->pageHeight, ReadSize(rendered).height);
        fs::remove(dir / "copied.png");
    }
}

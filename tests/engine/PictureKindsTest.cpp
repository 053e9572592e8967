// HEIC, AVIF, WebP, JPEG XL and JPEG 2000 pictures, and every page of a
// multi-page TIFF, come out as a viewer shows them.
#include "MultiPageTiff.h"
#include "NormalizeImage.h"
#include "StageTestSupport.h"
#include "TempDir.h"
#include "TiffPages.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vips/vips8>

namespace fs = std::filesystem;
using vips::VImage;

namespace {

const Rgb kWhite{255, 255, 255};

// How a kind's pictures are stored: libvips writes JPEG 2000 only in its JP2
// box and JPEG XL only bare, and other programs write the other way.
enum class Form { AsLibvipsWrites, BareCodestream, InABox };

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string BigEndian32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

// Writes `image` in the kind the extension names, in `form`. False, with
// libvips' words, when this machine's libvips cannot write that kind.
bool TrySave(const VImage& image, const fs::path& path, std::string& why, Form form = Form::AsLibvipsWrites) {
    try {
        image.write_to_file(path.c_str());
    } catch (const vips::VError& error) {
        why = error.what();
        return false;
    }
    const std::string stored = ReadBytes(path);
    if (form == Form::BareCodestream) { // the contents of the JP2's codestream box
        std::ofstream(path, std::ios::binary) << stored.substr(stored.find("jp2c") + 4);
    } else if (form == Form::InABox) { // a JPEG XL codestream in its signature, type and codestream boxes
        std::ofstream(path, std::ios::binary)
            << std::string("\0\0\0\x0CJXL \r\n\x87\n", 12) << BigEndian32(20)
            << std::string("ftypjxl \0\0\0\0jxl ", 16) << BigEndian32(8 + stored.size()) << "jxlc" << stored;
    }
    return true;
}

VImage Solid(int width, int height, std::vector<double> bands) {
    return VImage::black(width, height)
        .new_from_image(bands)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// A page of width x height pixels, fitted, without margin.
PageSetup PixelPage(int width, int height) {
    PageSetup page;
    page.pageWidth = width;
    page.pageHeight = height;
    return page;
}

int Distance(Rgb a, Rgb b) {
    int most = 0;
    for (int i = 0; i < 3; ++i) {
        most = std::max(most, std::abs(a[i] - b[i]));
    }
    return most;
}

struct Kind {
    const char* extension;
    Form form = Form::AsLibvipsWrites;
};

void PrintTo(const Kind& kind, std::ostream* out) {
    *out << kind.extension << (kind.form == Form::AsLibvipsWrites ? "" : ", rewrapped");
}

class NewKind : public testing::TestWithParam<Kind> {};

} // namespace

// A wide green picture lands in the middle of a tall page with white above
// and below; a transparent one leaves the page white.
TEST_P(NewKind, FittedOnAWhitePageAndTransparencyOverWhite) {
    TempDir dir;
    const Kind kind = GetParam();
    const fs::path picture = dir / (std::string("picture.") + kind.extension);
    std::string why;
    if (!TrySave(Solid(80, 40, {30, 200, 30}), picture, why, kind.form)) {
        GTEST_SKIP() << "this libvips cannot write " << kind.extension << ": " << why;
    }
    const NormalizeResult result = NormalizeImage(120, 160, picture, dir / "page.jpg");
    ASSERT_TRUE(result.written);
    EXPECT_FALSE(result.problem.has_value()) << result.reason;
    EXPECT_EQ(ReadSize(dir / "page.jpg").width, 120);
    EXPECT_EQ(ReadSize(dir / "page.jpg").height, 160);
    EXPECT_TRUE(NearColour(ReadPixel(dir / "page.jpg", 60, 80), {30, 200, 30}));
    EXPECT_TRUE(NearColour(ReadPixel(dir / "page.jpg", 60, 10), kWhite)) << "the band above";

    if (!TrySave(Solid(80, 40, {200, 30, 30, 0}), picture, why, kind.form)) {
        return; // a kind without alpha
    }
    ASSERT_TRUE(NormalizeImage(120, 160, picture, dir / "page.jpg").written);
    EXPECT_TRUE(NearColour(ReadPixel(dir / "page.jpg", 60, 80), kWhite)) << "transparent shows white";
}

INSTANTIATE_TEST_SUITE_P(Kinds, NewKind,
                         testing::Values(Kind{"heic"}, Kind{"avif"}, Kind{"webp"}, Kind{"jxl"},
                                         Kind{"jxl", Form::InABox}, Kind{"jp2"},
                                         Kind{"j2k", Form::BareCodestream}),
                         [](const testing::TestParamInfo<Kind>& info) {
                             return std::string(info.param.extension) +
                                    (info.param.form == Form::AsLibvipsWrites ? "" : "_rewrapped");
                         });

TEST(NewKinds, TurnedAsTheirOwnOrientationSays) {
    TempDir dir;
    // HEIF turns by its irot box (and ignores EXIF); WebP by EXIF, as JPEG.
    std::string why;
    VImage picture = Solid(64, 32, {30, 30, 200}).copy_memory();
    picture.draw_rect({220, 30, 30}, 0, 0, 16, 32, VImage::option()->set("fill", true));
    picture.set(VIPS_META_ORIENTATION, 8); // a quarter turn anticlockwise to show it
    const bool webp = TrySave(picture, dir / "turned.webp", why);
    for (const fs::path& source :
         {fs::path(QUILLMARK_TEST_DATA) / "heic-turned-a-quarter.heic", dir / "turned.webp"}) {
        if (source.extension() == ".webp" && !webp) {
            continue;
        }
        // A square page: the picture, shown 32 x 64, stands in its middle half.
        ASSERT_TRUE(NormalizeImage(128, 128, source, dir / "page.jpg").written) << source;
        EXPECT_TRUE(NearColour(ReadPixel(dir / "page.jpg", 64, 120), {220, 30, 30})) << source << ": bottom";
        EXPECT_TRUE(NearColour(ReadPixel(dir / "page.jpg", 64, 20), {30, 30, 200})) << source << ": top";
        EXPECT_TRUE(NearColour(ReadPixel(dir / "page.jpg", 10, 64), kWhite)) << source << ": left band";
    }
}

// A picture with a colour profile shows the same whatever it is encoded in
// (a JPEG 2000 written by libvips carries no profile, so it is left out).
TEST(NewKinds, ColourProfilesAreHonoured) {
    TempDir dir;
    const fs::path original = Corpus() / "jpeg" / "icc_profile_big.jpg";
    ASSERT_TRUE(NormalizeImage(85, 50, original, dir / "reference.jpg").written);
    const Rgb reference = ReadPixel(dir / "reference.jpg", 10, 10);
    for (const char* kind : {"heic", "avif", "webp", "jxl"}) {
        const fs::path picture = dir / (std::string("profiled.") + kind);
        std::string why;
        if (!TrySave(VImage::new_from_file(original.c_str()).resize(0.2), picture, why)) {
            continue;
        }
        ASSERT_TRUE(NormalizeImage(85, 50, picture, dir / "page.jpg").written) << kind;
        const Rgb got = ReadPixel(dir / "page.jpg", 10, 10);
        EXPECT_LE(Distance(got, reference), 12)
            << kind << ": " << int(got[0]) << " " << int(got[1]) << " " << int(got[2]);
    }
}

TEST(MultiPageTiff, EveryPageInOrderWithoutThumbnailsAndEachWithItsOwnOutcome) {
    TempDir dir;
    const fs::path scan = dir / "scan.tif";
    WriteMultiPageTiff(scan, {{40, 60, ColourNumber(0)},
                              {10, 15, ColourNumber(5), 1 /* reduced-size copy */},
                              {40, 60, ColourNumber(1)},
                              {40, 60, ColourNumber(2), 0, true /* garbage data */},
                              {60, 40, ColourNumber(3)}});
    const PicturePages pages(scan);
    ASSERT_EQ(pages.count(), 4u);
    const std::vector<Rgb> expected = {ColourNumber(0), ColourNumber(1), kWhite, ColourNumber(3)};
    for (size_t part = 0; part < pages.count(); ++part) {
        const fs::path page = dir / ("page-" + std::to_string(part) + ".jpg");
        const NormalizeResult result = pages.Render(part, PixelPage(120, 160), page);
        ASSERT_TRUE(result.written) << part;
        EXPECT_EQ(result.problem.has_value(), part == 2) << part << ": " << result.reason;
        if (part != 2) {
            EXPECT_TRUE(NearColour(ReadPixel(page, 60, 80), expected[part])) << "page " << part;
        }
    }
    // A page that is not there is a white page, not a crash.
    EXPECT_EQ(pages.Render(9, PixelPage(120, 160), dir / "none.jpg").problem, PictureOutcome::Undecodable);

    const int fd = ::open(scan.c_str(), O_RDONLY);
    const TiffPages firstTwo = ListTiffPages(fd, 2);
    ::close(fd);
    EXPECT_EQ(firstTwo.directories, (std::vector<int>{0, 2}));
    EXPECT_TRUE(firstTwo.more);
}

TEST(MultiPageTiff, AnAnimationIsOnePageItsFirstFrame) {
    TempDir dir;
    const VImage frames =
        Solid(30, 20, {220, 30, 30}).join(Solid(30, 20, {30, 30, 220}), VIPS_DIRECTION_VERTICAL);
    VImage animation = frames.copy();
    animation.set("page-height", 20);
    for (const char* kind : {"gif", "webp"}) {
        const fs::path picture = dir / (std::string("animation.") + kind);
        std::string why;
        if (!TrySave(animation, picture, why)) {
            continue;
        }
        const PicturePages pages(picture);
        EXPECT_EQ(pages.count(), 1u) << kind;
        ASSERT_TRUE(pages.Render(0, PixelPage(60, 40), dir / "page.jpg").written) << kind;
        EXPECT_TRUE(NearColour(ReadPixel(dir / "page.jpg", 30, 20), {220, 30, 30})) << kind;
    }
}

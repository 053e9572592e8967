// HEIC, AVIF, WebP, JPEG XL and JPEG 2000 pictures, every page of a
// multi-page TIFF, and TIFFs and PNGs that libvips alone reads otherwise,
// come out as a viewer shows them.
#include "MultiPageTiff.h"
#include "NormalizeImage.h"
#include "StageTestSupport.h"
#include "TempDir.h"
#include "TiffPages.h"

#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>
#include <vips/vips8>
#include <zlib.h>

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

namespace {

// A 16 x 16 TIFF in one strip: grey, then alpha in a plane of its own.
void WriteGreyAlphaPlanesTiff(const fs::path& path, uint16_t photometric) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 16);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 16);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 2);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_SEPARATE);
    const uint16_t alpha[] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, alpha);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 16);
    // Levels 50 on the left, 200 on the right; opaque above, clear below.
    for (uint16_t plane = 0; plane < 2; ++plane) {
        for (uint32_t y = 0; y < 16; ++y) {
            std::array<uint8_t, 16> row{};
            for (int x = 0; x < 16; ++x) {
                row[x] = plane == 0 ? (x < 8 ? 50 : 200) : (y < 8 ? 255 : 0);
            }
            TIFFWriteScanline(tiff, row.data(), y, plane);
        }
    }
    TIFFClose(tiff);
}

// A 16 x 16 TIFF of one floating-point sample a pixel, without the tag that
// says what the samples mean: 30 on the left, 220 on the right.
void WriteFloatTiffWithoutPhotometric(const fs::path& path) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 16);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 16);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 32);
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 16);
    for (uint32_t y = 0; y < 16; ++y) {
        std::array<float, 16> row{};
        for (int x = 0; x < 16; ++x) {
            row[x] = x < 8 ? 30.0f : 220.0f;
        }
        TIFFWriteScanline(tiff, row.data(), y, 0);
    }
    TIFFClose(tiff);
}

std::string PngChunk(const std::string& type, const std::string& data) {
    const std::string typed = type + data;
    const uint32_t crc =
        crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
    return BigEndian32(static_cast<uint32_t>(data.size())) + typed + BigEndian32(crc);
}

// A 40 x 20 PNG, red on the left and blue on the right, whose EXIF
// orientation is kept as ImageMagick keeps it: in hex, in a text chunk.
void WritePngWithTextOrientation(const fs::path& path, int orientation, bool compressed) {
    const std::string exif = std::string("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 24) +
                             static_cast<char>(orientation) + std::string(7, '\0');
    std::string text = "\nexif\n" + std::to_string(exif.size()) + "\n";
    for (size_t i = 0; i < exif.size(); ++i) {
        static const char kHex[] = "0123456789abcdef";
        text += {kHex[static_cast<uint8_t>(exif[i]) >> 4], kHex[exif[i] & 0x0F]};
        text += i % 36 == 35 ? "\n" : "";
    }
    text += "\n";
    std::string chunk;
    if (compressed) {
        uLongf size = compressBound(static_cast<uLong>(text.size()));
        std::string deflated(size, '\0');
        compress2(reinterpret_cast<Bytef*>(deflated.data()), &size,
                  reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()), 9);
        deflated.resize(size);
        chunk = PngChunk("zTXt", std::string("Raw profile type exif\0\0", 23) + deflated);
    } else {
        chunk = PngChunk("tEXt", std::string("Raw profile type exif\0", 22) + text);
    }
    const VImage picture =
        Solid(20, 20, {220, 30, 30}).join(Solid(20, 20, {30, 30, 220}), VIPS_DIRECTION_HORIZONTAL);
    VipsBlob* blob = picture.pngsave_buffer();
    const std::string png(static_cast<const char*>(VIPS_AREA(blob)->data), VIPS_AREA(blob)->length);
    vips_area_unref(VIPS_AREA(blob));
    constexpr size_t kAfterHeader = 8 + 25; // the signature and the IHDR chunk
    std::ofstream(path, std::ios::binary) << png.substr(0, kAfterHeader) << chunk << png.substr(kAfterHeader);
}

struct ShownRow {
    const char* name;
    const char* file;
    std::function<void(const fs::path&)> write;
    std::vector<std::pair<std::array<int, 2>, Rgb>> expected; // points of a 100 x 100 page and their colours
};
void PrintTo(const ShownRow& row, std::ostream* out) {
    *out << row.name;
}

class OtherViewers : public testing::TestWithParam<ShownRow> {};

} // namespace

TEST_P(OtherViewers, ShowThePictureSo) {
    const ShownRow& row = GetParam();
    TempDir dir;
    row.write(dir / row.file);
    const NormalizeResult result = NormalizeImage(100, 100, dir / row.file, dir / "page.jpg");
    ASSERT_TRUE(result.written);
    EXPECT_FALSE(result.problem.has_value()) << result.reason;
    for (const auto& [at, colour] : row.expected) {
        const Rgb got = ReadPixel(dir / "page.jpg", at[0], at[1]);
        EXPECT_TRUE(NearColour(got, colour, 30)) << "at " << at[0] << ", " << at[1] << ": " << int(got[0])
                                                 << " " << int(got[1]) << " " << int(got[2]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rasters, OtherViewers,
    testing::Values(
        ShownRow{
            "grey and alpha in planes of their own",
            "planes.tif",
            [](const fs::path& path) { WriteGreyAlphaPlanesTiff(path, PHOTOMETRIC_MINISBLACK); },
            {{{25, 25}, {50, 50, 50}}, {{75, 25}, {200, 200, 200}}, {{25, 75}, kWhite}, {{75, 75}, kWhite}}},
        ShownRow{
            "white-is-zero grey and alpha in planes of their own",
            "planes.tif",
            [](const fs::path& path) { WriteGreyAlphaPlanesTiff(path, PHOTOMETRIC_MINISWHITE); },
            {{{25, 25}, {205, 205, 205}}, {{75, 25}, {55, 55, 55}}, {{25, 75}, kWhite}, {{75, 75}, kWhite}}},
        ShownRow{"floating point without a photometric tag is grey",
                 "float.tif",
                 WriteFloatTiffWithoutPhotometric,
                 {{{25, 50}, {30, 30, 30}}, {{75, 50}, {220, 220, 220}}}},
        ShownRow{"PNG turned by the EXIF in a compressed text chunk",
                 "turned.png",
                 [](const fs::path& path) { WritePngWithTextOrientation(path, 6, true); },
                 {{{50, 20}, {220, 30, 30}}, {{50, 80}, {30, 30, 220}}, {{10, 50}, kWhite}}},
        ShownRow{"PNG turned by the EXIF in a plain text chunk",
                 "turned.png",
                 [](const fs::path& path) { WritePngWithTextOrientation(path, 8, false); },
                 {{{50, 20}, {30, 30, 220}}, {{50, 80}, {220, 30, 30}}, {{10, 50}, kWhite}}}),
    [](const testing::TestParamInfo<ShownRow>& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

// Pages must look like the picture does in other viewers: colour profiles,
// PNG gamma and colour chunks, CMYK, and pictures that only a fallback
// decoder can read.
#include "IccProfile.h"
#include "NormalizeImage.h"
#include "Pictures.h"
#include "TempDir.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <vips/vips8>
#include <zlib.h>

namespace fs = std::filesystem;
using vips::VImage;

namespace {

using Rgb = std::array<uint8_t, 3>;

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

int Distance(Rgb a, Rgb b) {
    int most = 0;
    for (int i = 0; i < 3; ++i) {
        most = std::max(most, std::abs(a[i] - b[i]));
    }
    return most;
}

// A page shrunk to a few blocks, each the average of its pixels: pages of the
// same picture in different encodings (lossy, dithered) compare equal this way.
std::vector<double> Blocks(const fs::path& page, bool grey) {
    VImage image = VImage::new_from_file(page.c_str())
                       .colourspace(grey ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB);
    image = image.shrink(image.width() / 8.0, image.height() / 4.0);
    std::vector<double> values;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            for (double v : image.getpoint(x, y)) {
                values.push_back(v);
            }
        }
    }
    return values;
}

// A PNG chunk: length, type, data and CRC.
std::string Chunk(const std::string& type, const std::string& data) {
    std::string chunk;
    for (int shift : {24, 16, 8, 0}) {
        chunk += static_cast<char>((data.size() >> shift) & 0xFF);
    }
    const std::string body = type + data;
    chunk += body;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    for (int shift : {24, 16, 8, 0}) {
        chunk += static_cast<char>((crc >> shift) & 0xFF);
    }
    return chunk;
}

// A one-colour PNG with extra chunks after its header.
void WriteTaggedPng(const fs::path& file, Rgb colour, const std::string& chunks) {
    WriteSolidPicture(file, 40, 40, colour);
    std::string png = Bytes(file);
    png.insert(33, chunks); // right after the 13-byte IHDR
    WriteBytes(file, png);
}

} // namespace

TEST(PictureColours, PagesShowTheColoursOtherDecodersShow) {
    struct Row {
        const char* picture;
        int pageWidth, pageHeight, x, y;
        Rgb expected;
        const char* measuredWith;
    };
    // clang-format off
    const Row rows[] = {
        // gAMA 1.0: the stored 18 is linear light (raw it would show as 18).
        {"png/basn0g08.png", 320, 320, 165, 165, {76, 76, 76}, "libpng 1.6.39 simplified reader, pixel 16,16"},
        // gAMA 2.5: the stored green 45 (raw it would show as 45).
        {"png/g25n2c08.png", 320, 320, 165, 165, {0, 186, 0}, "libpng 1.6.39 simplified reader, pixel 16,16"},
        {"png/basn2c16.png", 320, 320, 85, 85, {223, 223, 0}, "libpng 1.6.39 simplified reader, pixel 8,8"},
        // 16-bit grey and alpha: half transparent over white.
        {"png/basn4a16.png", 320, 320, 85, 85, {122, 122, 122}, "libpng 1.6.39, pixel 8,8 laid over white"},
        // A 400 KB LUT profile (raw the pixel reads 1 36 118).
        {"jpeg/icc_profile_big.jpg", 425, 250, 50, 50, {0, 56, 130},
         "Pillow 9.4 ImageCms, embedded profile to sRGB; ImageMagick 6.9 -profile agrees within 2"},
        // CMYK without a profile: black stays black (a generic press profile gives 31 33 43).
        {"jpeg/pil_sample_cmyk.jpg", 100, 100, 95, 95, {1, 4, 5}, "Pillow 9.4; ImageMagick 6.9 gives 1 4 4"},
        {"tiff/tiff_strip_cmyk_jpeg.tif", 100, 100, 95, 95, {1, 4, 5}, "Pillow 9.4; ImageMagick 6.9: 1 4 4"},
        // Old-style JPEG in TIFF, which libvips refuses and ImageMagick shows green (0 129 0).
        {"tiff/old-style-jpeg-compression.tif", 4160, 870, 3000, 500, {69, 82, 72}, "Pillow 9.4"},
        // 12-bit samples, which libvips refuses: a dark picture, not a white page.
        {"tiff/12bit.cropped.tif", 100, 100, 50, 50, {0, 0, 0}, "Pillow 9.4: samples of 0 to 30 of 4095"},
        // The fourth byte of a BI_RGB bitmap is not alpha (taken as alpha, white shows through: 121).
        {"bmp/rgb32fakealpha.bmp", 127, 64, 40, 30, {0, 0, 0}, "Pillow 9.4"},
    };
    // clang-format on
    TempDir out;
    for (const Row& row : rows) {
        const fs::path page = out / "page.jpg";
        const NormalizeResult result =
            NormalizeImage(row.pageWidth, row.pageHeight, Corpus() / row.picture, page);
        ASSERT_TRUE(result.written) << row.picture;
        EXPECT_FALSE(result.problem.has_value()) << row.picture << ": " << result.reason;
        const Rgb got = ReadPixel(page, row.x, row.y);
        EXPECT_LE(Distance(got, row.expected), 10)
            << row.picture << " at " << row.x << "," << row.y << ": " << int(got[0]) << " " << int(got[1])
            << " " << int(got[2]) << ", measured with " << row.measuredWith;
    }
}

// Pictures that only our own or a fallback decoder reads, or that the usual
// decoder misreads, beside the same picture in an encoding every decoder reads.
TEST(PictureColours, EncodingsOfTheSamePictureGiveTheSamePage) {
    struct Row {
        const char* picture;
        const char* reference;
        bool grey;
    };
    const Row rows[] = {
        {"bmp/rgb32fakealpha.bmp", "bmp/rgb24.bmp", false},
        {"bmp/pal8os2v2.bmp", "bmp/pal8.bmp", false}, // OS/2 2.x palette of 4-byte entries
        {"bmp/pal8os2.bmp", "bmp/pal8.bmp", false},   // OS/2 1.x palette of 3-byte entries
        {"bmp/rgb24png.bmp", "bmp/rgb24.bmp", false},
        {"bmp/rgb24jpeg.bmp", "bmp/rgb24.bmp", false},
        {"bmp/pal2.bmp", "bmp/rgb24.bmp", true}, // four greys, dithered
        {"tiff/tiff_tiled_planar_lzw.tiff", "tiff/tiff_adobe_deflate.tif", false},
    };
    TempDir out;
    for (const Row& row : rows) {
        const NormalizeResult result = NormalizeImage(127, 64, Corpus() / row.picture, out / "page.jpg");
        ASSERT_TRUE(result.written) << row.picture;
        EXPECT_FALSE(result.problem.has_value()) << row.picture << ": " << result.reason;
        ASSERT_TRUE(NormalizeImage(127, 64, Corpus() / row.reference, out / "reference.jpg").written);
        const std::vector<double> page = Blocks(out / "page.jpg", row.grey);
        const std::vector<double> reference = Blocks(out / "reference.jpg", row.grey);
        ASSERT_EQ(page.size(), reference.size());
        double most = 0;
        for (size_t i = 0; i < page.size(); ++i) {
            most = std::max(most, std::abs(page[i] - reference[i]));
        }
        EXPECT_LE(most, row.grey ? 30 : 12) << row.picture << " differs from " << row.reference;
    }
}

TEST(PictureColours, PngColourChunksTakeTheirTurn) {
    const std::string gammaOne = Chunk("gAMA", std::string("\x00\x01\x86\xA0", 4)); // 1.0: linear light
    const std::string srgb = Chunk("sRGB", std::string("\x00", 1));
    // Display P3 primaries, sRGB curve, full range.
    const std::string displayP3 = Chunk("cICP", std::string("\x0C\x0D\x00\x01", 4));
    struct Row {
        const char* what;
        std::string chunks;
        Rgb expected;
    };
    const Row rows[] = {
        {"no colour chunk", "", {200, 120, 80}},
        // An sRGB chunk overrides gAMA.
        {"sRGB and gAMA", srgb + gammaOne, {200, 120, 80}},
        // Linear light: each stored value v shows as the sRGB encoding of v / 255.
        {"gAMA 1.0", gammaOne, {229, 182, 152}},
        // Display P3 200 120 80 in sRGB, worked out from the two sets of
        // primaries (D65): linear (0.578, 0.188, 0.080) -> (0.665, 0.171, 0.062)
        // -> 213 115 70.
        {"cICP Display P3", displayP3, {213, 115, 70}},
        // cICP overrides gAMA.
        {"cICP and gAMA", gammaOne + displayP3, {213, 115, 70}},
    };
    TempDir out;
    for (const Row& row : rows) {
        WriteTaggedPng(out / "tagged.png", {200, 120, 80}, row.chunks);
        const NormalizeResult result = NormalizeImage(40, 40, out / "tagged.png", out / "page.jpg");
        ASSERT_TRUE(result.written) << row.what;
        EXPECT_FALSE(result.problem.has_value()) << row.what << ": " << result.reason;
        const Rgb got = ReadPixel(out / "page.jpg", 20, 20);
        EXPECT_LE(Distance(got, row.expected), 4)
            << row.what << ": " << int(got[0]) << " " << int(got[1]) << " " << int(got[2]);
    }
}

TEST(PictureColours, CorruptJpegDataIsReportedDamagedAndHarmlessWarningsAreNot) {
    // Flipped bits spread through the coded data: libjpeg warns of corrupt
    // data again and again, and the page shows grey and garbage from there on.
    auto corrupt = [](std::string jpeg) {
        const size_t scan = jpeg.rfind("\xFF\xDA");
        for (size_t at = scan + 3000; at + 2 < jpeg.size(); at += 1500) {
            if (jpeg[at] != '\xFF' && jpeg[at - 1] != '\xFF' && jpeg[at + 1] != '\xFF') {
                jpeg[at] = static_cast<char>(jpeg[at] ^ 0x24);
            }
        }
        return jpeg;
    };
    struct Row {
        const char* picture;
        bool corrupted;
        bool damaged;
    };
    const Row rows[] = {
        {"jpeg/flower.jpg", true, true},
        // Junk bytes between header segments make libjpeg's first warning a
        // harmless one; the corrupt data after it must still count.
        {"jpeg/junk_jpeg_header.jpg", true, true},
        {"jpeg/junk_jpeg_header.jpg", false, false},
        {"jpeg/jpeg_ff00_header.jpg", false, false},
    };
    TempDir dir;
    for (const Row& row : rows) {
        const std::string bytes = Bytes(Corpus() / row.picture);
        WriteBytes(dir / "picture.jpg", row.corrupted ? corrupt(bytes) : bytes);
        const NormalizeResult result = NormalizeImage(300, 300, dir / "picture.jpg", dir / "page.jpg");
        ASSERT_TRUE(result.written) << row.picture;
        if (row.damaged) {
            EXPECT_EQ(result.problem, PictureOutcome::Damaged) << row.picture;
            EXPECT_NE(result.reason.find("Corrupt JPEG data"), std::string::npos) << result.reason;
        } else {
            EXPECT_FALSE(result.problem.has_value()) << row.picture << ": " << result.reason;
        }
    }
}

// A profile that cannot be used leaves the pixels as they are, shown as sRGB,
// and the report says the colours may be off: the picture is not damaged.
TEST(PictureColours, AProfileThatCannotBeUsedIsReportedAndThePictureStillShown) {
    const Chromaticities p3{0.3127, 0.3290, 0.680, 0.320, 0.265, 0.690, 0.150, 0.060};
    const std::string colourProfile = MakeRgbProfile(p3, Transfer{});
    const std::string greyProfile = MakeGreyProfile(p3, Transfer{});
    ASSERT_FALSE(colourProfile.empty());
    ASSERT_FALSE(greyProfile.empty());
    struct Row {
        const char* what;
        std::string profile;
        const char* why;
    };
    const Row rows[] = {
        {"not a profile", std::string(300, 'x'), "damaged"},
        {"a profile cut short", colourProfile.substr(0, colourProfile.size() / 2), "cut short"},
        {"a grey profile on a colour picture", greyProfile, "made for grey pictures"},
    };
    TempDir dir;
    for (const Row& row : rows) {
        WriteSolidPicture(dir / "plain.jpg", 40, 40, {200, 120, 80});
        // One APP2 segment right after the start of the file holds the whole profile.
        const std::string body = std::string("ICC_PROFILE\0\x01\x01", 14) + row.profile;
        std::string marker = "\xFF\xE2";
        marker += static_cast<char>((body.size() + 2) >> 8);
        marker += static_cast<char>((body.size() + 2) & 0xFF);
        std::string jpeg = Bytes(dir / "plain.jpg");
        jpeg.insert(2, marker + body);
        WriteBytes(dir / "tagged.jpg", jpeg);

        const NormalizeResult result = NormalizeImage(40, 40, dir / "tagged.jpg", dir / "page.jpg");
        ASSERT_TRUE(result.written) << row.what;
        EXPECT_EQ(result.problem, PictureOutcome::ProfileUnused) << row.what << ": " << result.reason;
        EXPECT_NE(result.reason.find("colour profile"), std::string::npos) << result.reason;
        EXPECT_NE(result.reason.find(row.why), std::string::npos) << result.reason;
        const Rgb got = ReadPixel(dir / "page.jpg", 20, 20);
        EXPECT_LE(Distance(got, {200, 120, 80}), 6)
            << row.what << ": " << int(got[0]) << " " << int(got[1]) << " " << int(got[2]);
    }
}

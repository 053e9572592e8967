// Bitmaps as Windows shows them, and bitmaps whose headers lie.
#include "BmpDecoder.h"

#include <gtest/gtest.h>

namespace {

void Put16(std::string& bytes, size_t at, uint32_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& bytes, size_t at, uint32_t value) {
    Put16(bytes, at, value & 0xFFFF);
    Put16(bytes, at + 2, value >> 16);
}

// A bitmap file: file header, an info header of `headerSize` bytes (12 for
// OS/2 1.x), `extra` (masks or palette) and the pixel data.
struct BmpFields {
    uint32_t headerSize = 40;
    int32_t width = 2;
    int32_t height = 1;
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t coloursUsed = 0;
    uint32_t alphaMask = 0; // for headers of 56 bytes and more
    std::string extra{};
    std::string pixels{};
};

std::string MakeBmp(const BmpFields& fields) {
    std::string header(fields.headerSize, '\0');
    Put32(header, 0, fields.headerSize);
    if (fields.headerSize == 12) {
        Put16(header, 4, static_cast<uint32_t>(fields.width));
        Put16(header, 6, static_cast<uint32_t>(fields.height));
        Put16(header, 8, 1);
        Put16(header, 10, fields.bits);
    } else {
        Put32(header, 4, static_cast<uint32_t>(fields.width));
        Put32(header, 8, static_cast<uint32_t>(fields.height));
        Put16(header, 12, 1);
        Put16(header, 14, fields.bits);
        Put32(header, 16, fields.compression);
        Put32(header, 32, fields.coloursUsed);
        if (fields.headerSize >= 56) {
            Put32(header, 40, 0x00FF0000);
            Put32(header, 44, 0x0000FF00);
            Put32(header, 48, 0x000000FF);
            Put32(header, 52, fields.alphaMask);
        }
    }
    std::string file = "BM" + std::string(12, '\0') + header + fields.extra;
    Put32(file, 2, static_cast<uint32_t>(file.size() + fields.pixels.size()));
    Put32(file, 10, static_cast<uint32_t>(file.size()));
    return file + fields.pixels;
}

std::string Bgra(std::initializer_list<std::array<uint8_t, 4>> pixels) {
    std::string bytes;
    for (const auto& p : pixels) {
        bytes.append(reinterpret_cast<const char*>(p.data()), 4);
    }
    return bytes;
}

constexpr int64_t kMaxPixels = 100'000'000;

} // namespace

TEST(BmpDecoder, FollowsWindowsRulesForPalettesAndAlpha) {
    struct Row {
        const char* what;
        BmpFields fields;
        int bands;
        std::vector<uint8_t> pixels;
    };
    const std::string twoPixels32 = Bgra({{10, 20, 30, 0x40}, {40, 50, 60, 0xFF}});
    const std::string masks = std::string("\0\0\xFF\0"
                                          "\0\xFF\0\0"
                                          "\xFF\0\0\0",
                                          12);
    const std::string os2Palette = std::string("\x01\x02\x03\x04\x05\x06", 6) + std::string(3 * 254, '\0');
    const std::string greys = std::string("\x00\x00\x00\0\x55\x55\x55\0\xAA\xAA\xAA\0\xFF\xFF\xFF\0", 16);
    const std::string masks1555 = std::string("\x00\x7C\0\0\xE0\x03\0\0\x1F\0\0\0\x00\x80\0\0", 16);
    // One pixel run, then a literal stretch of three, padded to an even length.
    const std::string rle24 = std::string("\x01\x01\x02\x03"
                                          "\x00\x03\x0A\x0B\x0C\x14\x15\x16\x1E\x1F\x20\x00"
                                          "\x00\x01",
                                          18);
    // clang-format off
    const Row rows[] = {
        {"BI_RGB 32-bit: the fourth byte is not alpha",
         {.bits = 32, .pixels = twoPixels32}, 3, {30, 20, 10, 60, 50, 40}},
        {"BI_BITFIELDS in a 40-byte header: three masks, no alpha",
         {.bits = 32, .compression = 3, .extra = masks, .pixels = twoPixels32}, 3, {30, 20, 10, 60, 50, 40}},
        {"V5 header with an alpha mask",
         {.headerSize = 124, .bits = 32, .compression = 3, .alphaMask = 0xFF000000, .pixels = twoPixels32},
         4, {30, 20, 10, 0x40, 60, 50, 40, 0xFF}},
        {"V5 header, BI_RGB, alpha mask given",
         {.headerSize = 124, .bits = 32, .alphaMask = 0xFF000000, .pixels = twoPixels32},
         4, {30, 20, 10, 0x40, 60, 50, 40, 0xFF}},
        {"an alpha channel that is zero everywhere is a writer's mistake",
         {.headerSize = 124, .bits = 32, .compression = 3, .alphaMask = 0xFF000000,
          .pixels = Bgra({{10, 20, 30, 0}, {40, 50, 60, 0}})},
         3, {30, 20, 10, 60, 50, 40}},
        {"OS/2 1.x: 3-byte palette entries",
         {.headerSize = 12, .bits = 8, .extra = os2Palette, .pixels = std::string("\x01\0\0\0", 4)},
         3, {6, 5, 4, 3, 2, 1}},
        {"2-bit palette",
         {.width = 4, .bits = 2, .coloursUsed = 4, .extra = greys, .pixels = std::string("\x1B\0\0\0", 4)},
         1, {0, 0x55, 0xAA, 0xFF}},
        {"16-bit without masks is 5-5-5",
         {.bits = 16, .pixels = std::string("\x00\x7C\xE0\x03", 4)}, 3, {255, 0, 0, 0, 255, 0}},
        {"16-bit whose 1-bit alpha is clear everywhere is clear",
         {.bits = 16, .compression = 6, .extra = masks1555, .pixels = std::string("\x00\x7C\xE0\x03", 4)},
         4, {255, 0, 0, 0, 0, 255, 0, 0}},
        {"OS/2 2.x RLE24: runs and literal stretches of blue, green, red",
         {.headerSize = 64, .width = 4, .bits = 24, .compression = 4, .pixels = rle24},
         3, {3, 2, 1, 12, 11, 10, 22, 21, 20, 32, 31, 30}},
    };
    // clang-format on
    for (const Row& row : rows) {
        const BmpPicture picture = DecodeBmp(MakeBmp(row.fields), kMaxPixels);
        EXPECT_EQ(picture.bands, row.bands) << row.what;
        EXPECT_EQ(picture.pixels, row.pixels) << row.what;
        EXPECT_TRUE(picture.damage.empty()) << row.what << ": " << picture.damage;
    }
}

TEST(BmpDecoder, HeadersThatLieAreCaughtOrDecodedAsFarAsTheDataGoes) {
    auto palette8 = [] {
        std::string entries;
        for (int i = 0; i < 256; ++i) {
            entries += std::string{static_cast<char>(i), static_cast<char>(i), static_cast<char>(255 - i), 0};
        }
        return entries;
    };
    struct Row {
        const char* what;
        BmpFields fields;
        const char* refusal; // part of the error, or nullptr when it decodes
        const char* damage;  // part of the damage, or "" for none
    };
    // clang-format off
    const Row rows[] = {
        {"a size beyond any page", {.width = 200'000, .height = 100'000}, "too large", ""},
        {"no width", {.width = 0}, "no pixels", ""},
        {"an unknown pixel size", {.bits = 7, .pixels = "...."}, "bits per pixel", ""},
        {"RLE with 24-bit pixels", {.compression = 1, .pixels = "...."}, "does not match", ""},
        {"no pixel data at all", {.pixels = ""}, "no pixel data", ""},
        {"rows cut short", {.height = 4, .pixels = std::string(8, '\x10')}, nullptr, "1 of 4 rows"},
        {"a palette that claims four billion colours",
         {.bits = 8, .coloursUsed = 0xFFFFFFFF, .extra = palette8(), .pixels = std::string("\x05\x06\0\0", 4)},
         nullptr, ""},
        {"indices past a short palette",
         {.bits = 8, .coloursUsed = 2, .extra = std::string(8, '\x7F'), .pixels = std::string("\x00\x09\0\0", 4)},
         nullptr, "missing from the palette"},
        {"RLE runs past the edge and the bottom",
         {.width = 4, .height = 2, .bits = 8, .compression = 1, .extra = palette8(),
          .pixels = std::string("\xFF\x01\x00\x02\x00\x09\xFF\x02", 8)},
         nullptr, "spill past the edge"},
        {"RLE data that stops early",
         {.width = 4, .height = 2, .bits = 8, .compression = 1, .extra = palette8(),
          .pixels = std::string("\x02\x01", 2)},
         nullptr, "cut short"},
    };
    // clang-format on
    for (const Row& row : rows) {
        const std::string file = MakeBmp(row.fields);
        if (row.refusal != nullptr) {
            try {
                DecodeBmp(file, kMaxPixels);
                ADD_FAILURE() << row.what << ": decoded";
            } catch (const BmpError& error) {
                EXPECT_NE(std::string(error.what()).find(row.refusal), std::string::npos)
                    << row.what << ": " << error.what();
            }
            continue;
        }
        const BmpPicture picture = DecodeBmp(file, kMaxPixels);
        EXPECT_EQ(picture.pixels.size(), static_cast<size_t>(picture.width) * picture.height * picture.bands)
            << row.what;
        if (*row.damage == '\0') {
            EXPECT_TRUE(picture.damage.empty()) << row.what << ": " << picture.damage;
        } else {
            EXPECT_NE(picture.damage.find(row.damage), std::string::npos)
                << row.what << ": " << picture.damage;
        }
    }
    // Every prefix of a sound file decodes or is refused, never read past its end.
    const std::string rle8 =
        MakeBmp({.width = 5,
                 .height = 3,
                 .bits = 8,
                 .compression = 1,
                 .extra = palette8(),
                 .pixels = std::string("\x03\x07\x00\x04\x01\x02\x03\x04\x00\x00\x00\x01", 12)});
    const std::string rle24 = MakeBmp({.headerSize = 64,
                                       .width = 5,
                                       .height = 2,
                                       .bits = 24,
                                       .compression = 4,
                                       .pixels = std::string("\x02\x01\x02\x03\x00\x03\x01\x02\x03\x04\x05"
                                                             "\x06\x07\x08\x09\x00\x00\x00\x00\x01",
                                                             20)});
    for (const std::string& whole : {rle8, rle24}) {
        for (size_t length = 0; length < whole.size(); ++length) {
            try {
                DecodeBmp(std::string_view(whole).substr(0, length), kMaxPixels);
            } catch (const BmpError&) {
            }
        }
    }
}

TEST(BmpDecoder, RunsLeaveSkippedPixelsClear) {
    std::string palette;
    for (int i = 0; i < 256; ++i) {
        palette += std::string{static_cast<char>(i), 0, 0, 0};
    }
    // Row 0 (the bottom one): two pixels of colour 9, then a jump to the end.
    const BmpPicture picture = DecodeBmp(MakeBmp({.width = 3,
                                                  .height = 2,
                                                  .bits = 8,
                                                  .compression = 1,
                                                  .extra = palette,
                                                  .pixels = std::string("\x02\x09\x00\x01", 4)}),
                                         kMaxPixels);
    ASSERT_EQ(picture.bands, 4);
    const std::vector<uint8_t> expected = {0, 0, 0, 0,   0, 0, 0, 0,   0, 0, 0, 0, // top row: never written
                                           0, 0, 9, 255, 0, 0, 9, 255, 0, 0, 0, 0};
    EXPECT_EQ(picture.pixels, expected);
    EXPECT_TRUE(picture.damage.empty()) << picture.damage;
}

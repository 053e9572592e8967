#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A Windows or OS/2 bitmap read as Windows shows it. Every size, count and
// offset in the headers is checked against the file before it is used.
//
// - Palettes of 1, 2, 4 and 8 bits, with 3-byte entries in OS/2 1.x files and
//   4-byte entries otherwise; a pixel whose index lies outside the palette is
//   black, and the picture is reported damaged.
// - 16, 24 and 32 bits, with or without bit masks. The fourth byte of a 32-bit
//   pixel is alpha only when the header gives an alpha mask (a V3 to V5
//   header, or BI_ALPHABITFIELDS); an alpha byte that is zero everywhere is
//   a writer's mistake and is ignored. The alpha bits of 16-bit pixels are
//   taken as they are, all clear too.
// - RLE4, RLE8 and OS/2's RLE24; pixels the runs skip are transparent.
// - A JPEG or PNG stream inside a bitmap is handed back undecoded.
// - A profile embedded in a V5 header is handed back with the pixels.
//
// Pixel data cut short, runs that overflow their row and the like are decoded
// as far as they go and named in `damage`.
struct BmpPicture {
    enum class Stream { None, Jpeg, Png };

    int width = 0;
    int height = 0;
    int bands = 0;               // 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA
    std::vector<uint8_t> pixels; // top row first, bands interleaved, 8 bits each
    std::string iccProfile;      // empty when the bitmap has none
    int32_t xPixelsPerMetre = 0; // the resolution the header states, 0 when none
    int32_t yPixelsPerMetre = 0;
    std::string damage;          // empty when the file was whole and sound
    Stream stream = Stream::None;
    std::string_view streamBytes; // the embedded JPEG or PNG, within the input
};

struct BmpError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Decodes `file`, a whole .bmp file. Throws BmpError with the reason when the
// file cannot be shown at all, when it declares more than `maxPixels` pixels,
// and when it uses an encoding this decoder does not know (OS/2 Huffman,
// 64-bit pixels), so that another decoder may try.
BmpPicture DecodeBmp(std::string_view file, int64_t maxPixels);

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A PNG whose compressed data a document can show as it is: grey, RGB or
// palette, 1 to 16 bits, not interlaced, without transparency or an embedded
// colour profile. Its IDAT data is one zlib stream with a PNG filter byte
// before each row, which is exactly what FlateDecode with PNG predictors
// decodes.
struct PngStream {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bits = 8;       // per sample
    int32_t components = 1; // 1 grey or palette indices, 3 RGB
    std::string palette;    // RGB triples, for a palette picture
    std::string data;       // the IDAT chunks' data, joined
};

// The stream of the PNG `bytes`, checked through: every chunk's checksum,
// and the data inflated to the end, each row's filter byte known and not a
// byte more or less than the picture needs. Empty when the PNG cannot be
// shown as it is or is damaged in any way: it is then decoded as any picture.
std::optional<PngStream> ReadPngStream(std::string_view bytes);

#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

// The pixel formats of a device-independent bitmap, shared by the two readers
// of them: .bmp files and the bitmaps inside metafile records. Each reader
// reads its own headers and applies its own limits and alpha rules; what the
// pixel bytes mean is decided here once.
namespace metafile {

// The compression field of a bitmap header.
enum DibCompression : uint32_t {
    kDibRgb = 0,
    kDibRle8 = 1,
    kDibRle4 = 2,
    kDibBitfields = 3,
    kDibJpeg = 4,
    kDibPng = 5,
    kDibAlphaBitfields = 6,
    // OS/2 bitmaps store 24-bit pixels in runs under code 4, which Windows
    // gives to JPEG. No header holds this value: the reader of an OS/2 header
    // puts it in place of that header's 4.
    kDibOs2Rle24 = 0x10004,
};

// How a bitmap's pixels are stored.
struct DibFormat {
    int64_t width = 0;
    int64_t height = 0; // always positive; `topDown` says which way the rows run
    bool topDown = false;
    uint32_t bitCount = 0;
    uint32_t compression = kDibRgb;
    // Where red, green, blue and alpha sit in a 16- or 32-bit pixel. A zero
    // colour mask reads as 0, a zero alpha mask as opaque; 24-bit pixels are
    // always blue, green, red and opaque.
    std::array<uint32_t, 4> masks{0x00FF0000, 0x0000FF00, 0x000000FF, 0};

    bool RunLength() const {
        return compression == kDibRle8 || compression == kDibRle4 || compression == kDibOs2Rle24;
    }
    bool Masked() const { return compression == kDibBitfields || compression == kDibAlphaBitfields; }
    // The stored row that holds picture row `y` (0 the top).
    int64_t StoredRow(int64_t y) const { return topDown ? y : height - 1 - y; }
};

// The masks a 16- or 32-bit pixel has when the header gives none: 5-5-5 for
// 16 bits, 8-8-8 for 32, no alpha.
std::array<uint32_t, 4> DefaultDibMasks(uint32_t bitCount);

// Reads the three or four bit-field masks that sit at byte 40 of `info` (after
// a 40-byte header, or inside a larger one): four when the header is 56 bytes
// or more or the compression is BI_ALPHABITFIELDS. Masks past the end of
// `info` read as zero and make it return false.
bool ReadDibMasks(std::string_view info, uint32_t headerSize, uint32_t compression,
                  std::array<uint32_t, 4>& masks, int& count);

// The colour table of a bitmap of 1 to 8 bits, as 0x00RRGGBB: `coloursUsed`
// entries (all that the bit count can index when it is 0 or too large), of
// `entrySize` bytes (3 in OS/2 1.x headers, else 4), as many as `table` holds.
std::vector<uint32_t> ReadDibPalette(std::string_view table, uint32_t bitCount, uint32_t coloursUsed,
                                     size_t entrySize);

// The bytes of one stored row: whole 32-bit words.
uint64_t DibRowBytes(int64_t width, uint32_t bitCount);

// Reads stored row `storedRow` of an uncompressed bitmap, every `step`-th pixel
// from the first, into `out` (at most `count` of them): palette indices for 1
// to 8 bits, 0xAARRGGBB with straight alpha otherwise. Returns how many pixels
// the data held; a row cut short stops at its last whole pixel.
size_t ReadDibRow(const DibFormat& format, std::string_view bits, int64_t storedRow, int64_t step,
                  uint32_t* out, size_t count);

// What went wrong while playing the runs of an RLE4 or RLE8 bitmap.
struct DibRunFaults {
    bool spilled = false;  // runs wrote past the edge of the picture
    bool cutShort = false; // the data ended before the picture did
};

// Plays the runs of an RLE4, RLE8 or OS/2 RLE24 bitmap: runs of one value,
// literal stretches, and jumps that leave pixels unwritten. Calls put(x,
// storedRow, value) for every pixel inside the picture, the value a palette
// index, or 0x00RRGGBB for RLE24; pixels outside are dropped.
template <typename Put> DibRunFaults PlayDibRuns(std::string_view data, const DibFormat& format, Put put) {
    const bool four = format.compression == kDibRle4;
    const bool triples = format.compression == kDibOs2Rle24; // a pixel is three bytes: blue, green, red
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const size_t size = data.size();
    DibRunFaults faults;
    int64_t x = 0;
    int64_t row = 0;
    size_t at = 0;
    bool ended = false;
    auto one = [&](unsigned index) {
        if (x >= format.width || row >= format.height) {
            faults.spilled = true;
        } else {
            put(x, row, index);
        }
        ++x;
    };
    auto nibbleOrByte = [four](unsigned i, unsigned byte) {
        return four ? (i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte;
    };
    auto triple = [bytes](size_t from) {
        return (unsigned{bytes[from + 2]} << 16) | (unsigned{bytes[from + 1]} << 8) | bytes[from];
    };
    while (!ended && row < format.height && size - at >= 2) {
        const unsigned count = bytes[at];
        if (count > 0 && triples) {
            if (size - at < 4) {
                break;
            }
            const unsigned colour = triple(at + 1);
            at += 4;
            for (unsigned i = 0; i < count; ++i) {
                one(colour);
            }
            continue;
        }
        const unsigned value = bytes[at + 1];
        at += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i) {
                one(nibbleOrByte(i, value));
            }
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++row;
            break;
        case 1: // end of bitmap
            ended = true;
            break;
        case 2: // jump ahead
            if (size - at < 2) {
                at = size;
                break;
            }
            x += bytes[at];
            row += bytes[at + 1];
            at += 2;
            break;
        default: { // a literal stretch of `value` pixels, padded to an even byte count
            const size_t length = four ? (value + 1) / 2 : triples ? size_t{3} * value : value;
            if (size - at < length) {
                at = size;
                break;
            }
            for (unsigned i = 0; i < value; ++i) {
                one(triples ? triple(at + size_t{3} * i) : nibbleOrByte(i, bytes[at + (four ? i / 2 : i)]));
            }
            at += std::min(length + length % 2, size - at);
            break;
        }
        }
    }
    faults.cutShort = !ended && row < format.height;
    return faults;
}

} // namespace metafile

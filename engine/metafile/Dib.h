#pragma once

#include "Bitmap.h"

#include <cstdint>
#include <string_view>

namespace metafile {

// What the fourth byte of a 32-bit pixel means. GDI's blits and StretchDIBits
// ignore it (it is "reserved" and often garbage); only AlphaBlend with a
// source alpha reads it, as premultiplied alpha.
enum class DibAlpha { Ignored, Premultiplied };

// The two colours a monochrome bitmap takes when it is blitted: GDI paints its
// 0 bits in the text colour and its 1 bits in the background colour when it
// copies a monochrome bitmap onto a colour device.
struct MonochromeColours {
    uint32_t zero = 0x000000; // 0x00RRGGBB
    uint32_t one = 0xFFFFFF;
    // From GDI's colours (COLORREF, 0x00BBGGRR).
    static MonochromeColours FromColorRefs(uint32_t zero, uint32_t one) {
        auto swap = [](uint32_t c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); };
        return {swap(zero), swap(one)};
    }
};

struct DibRequest {
    std::string_view info; // BITMAPINFO: header, then masks or colour table
    std::string_view bits; // the pixel rows, bottom-up unless the height is negative
    DibAlpha alpha = DibAlpha::Ignored;
    const MonochromeColours* monochrome = nullptr; // set for blits, where GDI recolours 1-bit bitmaps
};

// A device-independent bitmap from a metafile record decoded into a surface:
// 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed, with bit-field masks or
// run-length encoded, and embedded JPEG or PNG. Never reads outside `info` and
// `bits`: rows the record does not hold are left transparent. Returns null for
// a header it cannot read (unknown size, compression or depth, absurd size).
// Bitmaps beyond kLargestBitmapSide or kLargestBitmapPixels are decoded with
// every n-th pixel in both directions.
Surface DecodeDib(const DibRequest& request);

// The width and height a bitmap header declares (the height made positive),
// and whether its rows are stored top-down. False for a header it cannot read.
struct DibShape {
    int64_t width = 0;
    int64_t height = 0;
    bool topDown = false;
    int bitCount = 0;
};
bool ReadDibShape(std::string_view info, DibShape& shape);

} // namespace metafile

#pragma once

#include "ByteReader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace metafile {

// A pen as GDI keeps it: widths in logical units (0 for a cosmetic pen, one
// device pixel wide), the style word with its dash, cap and join bits.
struct GdiPen {
    uint32_t style = 0;  // PS_* bits
    double width = 0;    // logical units
    uint32_t colour = 0; // COLORREF
    bool cosmetic = true;
    std::vector<double> userDashes; // PS_USERSTYLE: logical units (device pixels when cosmetic)
};

struct GdiBrush {
    enum class Kind { Solid, Null, Hatched, Pattern };
    Kind kind = Kind::Solid;
    uint32_t colour = 0xFFFFFF;
    int hatch = 0;
    // A pattern brush keeps its bitmap record bytes; a monochrome one takes
    // the text and background colours in force when it is used.
    std::string info;
    std::string bits;
    bool monochrome = false;
};

struct GdiFont {
    int32_t height = 0; // logical units; negative: em height, positive: cell height
    int32_t width = 0;
    int32_t escapement = 0; // tenths of a degree
    int32_t weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    uint8_t charset = 1; // DEFAULT_CHARSET
    std::string face;    // UTF-8
};

// Palettes, colour spaces and the like: selected and deleted, never drawn.
struct GdiOtherObject {};

using GdiObject = std::variant<GdiPen, GdiBrush, GdiFont, GdiOtherObject>;

// The objects that GDI's stock object numbers (0x80000000 | n) stand for, and
// the defaults a device context starts with: a black pen, a white brush and
// the system font.
bool StockObject(uint32_t index, GdiObject& object);
GdiPen DefaultPen();
GdiBrush DefaultBrush();
GdiFont DefaultFont();

// Readers for the object-creating records; each takes the whole record and
// returns false when it is too short to hold what it claims.
bool ReadCreatePen(ByteReader in, GdiPen& pen);
bool ReadExtCreatePen(ByteReader in, GdiPen& pen, GdiBrush& patternBrush);
bool ReadCreateBrush(ByteReader in, GdiBrush& brush);
bool ReadPatternBrush(ByteReader in, bool monochrome, GdiBrush& brush);
bool ReadCreateFont(ByteReader in, GdiFont& font);

// UTF-16 code units read from `in`, `count` of them at most, up to a NUL when
// `stopAtNul`, as UTF-32 (surrogate pairs joined).
std::u32string ReadUtf16(ByteReader& in, size_t count, bool stopAtNul);
std::string ToUtf8(const std::u32string& text);

} // namespace metafile

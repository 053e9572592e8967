#include "GdiObjects.h"

#include <glib.h>

namespace metafile {
namespace {

constexpr uint32_t kBsSolid = 0, kBsNull = 1, kBsHatched = 2, kBsPattern = 3, kBsDibPatternPt = 6;
constexpr uint32_t kPsStyleMask = 0x0F, kPsNull = 5, kPsUserStyle = 7, kPsGeometric = 0x10000;
constexpr size_t kMostDashEntries = 16;

} // namespace

GdiPen DefaultPen() {
    return GdiPen{};
}
GdiBrush DefaultBrush() {
    return GdiBrush{};
}

GdiFont DefaultFont() {
    GdiFont font;
    font.height = 16; // the system font's cell on a common screen
    font.weight = 700;
    font.face = "sans-serif";
    return font;
}

bool StockObject(uint32_t index, GdiObject& object) {
    auto brush = [&](GdiBrush::Kind kind, uint32_t colour) {
        GdiBrush b;
        b.kind = kind;
        b.colour = colour;
        object = b;
    };
    auto pen = [&](uint32_t style, uint32_t colour) {
        GdiPen p;
        p.style = style;
        p.colour = colour;
        object = p;
    };
    switch (index & 0x7FFFFFFF) {
    case 0:
        brush(GdiBrush::Kind::Solid, 0xFFFFFF);
        return true;
    case 1:
        brush(GdiBrush::Kind::Solid, 0xC0C0C0);
        return true;
    case 2:
        brush(GdiBrush::Kind::Solid, 0x808080);
        return true;
    case 3:
        brush(GdiBrush::Kind::Solid, 0x404040);
        return true;
    case 4:
        brush(GdiBrush::Kind::Solid, 0x000000);
        return true;
    case 5:
        brush(GdiBrush::Kind::Null, 0);
        return true;
    case 6:
        pen(0, 0xFFFFFF);
        return true;
    case 7:
        pen(0, 0x000000);
        return true;
    case 8:
        pen(kPsNull, 0);
        return true;
    case 10:
    case 11:
    case 16: { // fixed-pitch fonts
        GdiFont font = DefaultFont();
        font.face = "monospace";
        font.weight = 400;
        object = font;
        return true;
    }
    case 12:
    case 13:
    case 14:
    case 17: {
        GdiFont font = DefaultFont();
        if ((index & 0x7FFFFFFF) != 13) {
            font.weight = 400;
            font.height = -11;
        }
        object = font;
        return true;
    }
    case 18:
        brush(GdiBrush::Kind::Solid, 0xFFFFFF);
        return true; // DC_BRUSH
    case 19:
        pen(0, 0x000000);
        return true; // DC_PEN
    case 15:
        object = GdiOtherObject{};
        return true; // DEFAULT_PALETTE
    default:
        return false;
    }
}

bool ReadCreatePen(ByteReader in, GdiPen& pen) {
    in.Seek(12);
    pen.style = in.U32();
    const int32_t width = in.I32();
    in.I32();
    pen.colour = in.U32() & 0xFFFFFF;
    // Only width 0 means one pixel whatever the mapping; a pen of width 1 is
    // one logical unit and grows with the picture, as GDI draws it.
    pen.width = width < 0 ? -static_cast<double>(width) : width;
    pen.cosmetic = pen.width == 0;
    return in.ok();
}

bool ReadExtCreatePen(ByteReader in, GdiPen& pen, GdiBrush& patternBrush) {
    in.Seek(12);
    const uint32_t offBmi = in.U32(), cbBmi = in.U32(), offBits = in.U32(), cbBits = in.U32();
    pen.style = in.U32();
    pen.width = in.U32();
    const uint32_t brushStyle = in.U32();
    pen.colour = in.U32() & 0xFFFFFF;
    in.U32(); // hatch
    const uint32_t entries = in.U32();
    if (!in.ok()) {
        return false;
    }
    pen.cosmetic = (pen.style & kPsGeometric) == 0;
    if (pen.cosmetic) {
        pen.width = 0;
    }
    if ((pen.style & kPsStyleMask) == kPsUserStyle && in.Holds(entries, 4)) {
        for (uint32_t i = 0; i < entries && i < kMostDashEntries; ++i) {
            pen.userDashes.push_back(in.U32());
        }
    }
    if (brushStyle == kBsNull) {
        pen.style = (pen.style & ~kPsStyleMask) | kPsNull;
    }
    if ((brushStyle == kBsDibPatternPt || brushStyle == kBsPattern) && cbBmi > 0) {
        patternBrush.kind = GdiBrush::Kind::Pattern;
        patternBrush.info = std::string(in.Slice(offBmi, cbBmi));
        patternBrush.bits = std::string(in.Slice(offBits, cbBits));
    }
    return true;
}

bool ReadCreateBrush(ByteReader in, GdiBrush& brush) {
    in.Seek(12);
    const uint32_t style = in.U32();
    brush.colour = in.U32() & 0xFFFFFF;
    brush.hatch = static_cast<int>(in.U32());
    switch (style) {
    case kBsSolid:
        brush.kind = GdiBrush::Kind::Solid;
        break;
    case kBsNull:
        brush.kind = GdiBrush::Kind::Null;
        break;
    case kBsHatched:
        brush.kind = GdiBrush::Kind::Hatched;
        break;
    default:
        brush.kind = GdiBrush::Kind::Solid;
        break; // a pattern without its bitmap: its colour
    }
    if (brush.kind == GdiBrush::Kind::Hatched && (brush.hatch < 0 || brush.hatch > 5)) {
        brush.kind = GdiBrush::Kind::Solid;
    }
    return in.ok();
}

bool ReadPatternBrush(ByteReader in, bool monochrome, GdiBrush& brush) {
    in.Seek(12);
    in.U32(); // usage
    const uint32_t offBmi = in.U32(), cbBmi = in.U32(), offBits = in.U32(), cbBits = in.U32();
    if (!in.ok()) {
        return false;
    }
    brush.kind = GdiBrush::Kind::Pattern;
    brush.monochrome = monochrome;
    brush.info = std::string(in.Slice(offBmi, cbBmi));
    brush.bits = std::string(in.Slice(offBits, cbBits));
    return !brush.info.empty();
}

bool ReadCreateFont(ByteReader in, GdiFont& font) {
    in.Seek(12);
    font.height = in.I32();
    font.width = in.I32();
    font.escapement = in.I32();
    in.I32(); // orientation
    font.weight = in.I32();
    font.italic = in.U8() != 0;
    font.underline = in.U8() != 0;
    font.strikeOut = in.U8() != 0;
    font.charset = in.U8();
    in.Skip(4); // precision, quality, pitch and family
    font.face = ToUtf8(ReadUtf16(in, 32, true));
    return in.ok();
}

std::u32string ReadUtf16(ByteReader& in, size_t count, bool stopAtNul) {
    std::u32string text;
    for (size_t i = 0; i < count && in.remaining() >= 2; ++i) {
        char32_t unit = in.U16();
        if (unit == 0 && stopAtNul) {
            break;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && in.remaining() >= 2) {
            const char32_t low = in.U16();
            ++i;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            } else {
                text += 0xFFFD;
                unit = low;
            }
        }
        text += unit;
    }
    return text;
}

std::string ToUtf8(const std::u32string& text) {
    // GLib refuses the whole text for one bad character: replace those first.
    std::u32string valid = text;
    for (char32_t& c : valid) {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            c = 0xFFFD;
        }
    }
    gchar* utf8 = g_ucs4_to_utf8(reinterpret_cast<const gunichar*>(valid.data()),
                                 static_cast<glong>(valid.size()), nullptr, nullptr, nullptr);
    std::string result = utf8 != nullptr ? utf8 : "";
    g_free(utf8);
    return result;
}

} // namespace metafile

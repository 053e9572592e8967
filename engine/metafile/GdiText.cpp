// The text records of the GDI player: ExtTextOut (wide and 8-bit),
// PolyTextOut and SmallTextOut.
#include "GdiPlayer.h"

#include "RecordTypes.h"
#include "SymbolFonts.h"
#include "TextPainter.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace metafile {
namespace {

constexpr uint32_t kEtoOpaque = 0x2, kEtoClipped = 0x4, kEtoGlyphIndex = 0x10, kEtoRtlReading = 0x80,
                   kEtoNoRect = 0x100, kEtoSmallChars = 0x200, kEtoPdy = 0x2000;
constexpr uint32_t kTaUpdateCp = 1, kTaHorizontalMask = 6, kTaRight = 2, kTaCenter = 6, kTaVerticalMask = 24,
                   kTaBottom = 8, kTaBaseline = 24, kTaRtlReading = 256;
constexpr uint8_t kSymbolCharset = 2;
// Far more than any line of text; what a hostile count could ask beyond it is ignored.
constexpr uint32_t kMostCharacters = 65536;
constexpr double kPi = 3.14159265358979323846;

// Windows-1252, the code page of 8-bit text from Western systems, for 0x80..0x9F.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::u32string ReadNarrow(ByteReader& in, size_t count, bool symbol) {
    std::u32string text;
    for (size_t i = 0; i < count && in.remaining() > 0; ++i) {
        const uint8_t c = in.U8();
        text += !symbol && c >= 0x80 && c <= 0x9F ? kCp1252High[c - 0x80] : char32_t{c};
    }
    return text;
}

// The symbol font a GDI font stands for: one named as such, or any face asked
// for in the symbol character set.
SymbolFont SymbolFontOfGdi(const GdiFont& font) {
    return font.charset == kSymbolCharset && SymbolFontOf(font.face) == SymbolFont::None
               ? SymbolFont::Symbol
               : SymbolFontOf(font.face);
}

// The record's characters: text, with symbol fonts mapped to the pictures
// they show, or glyph indices when the record gives those instead.
void ReadCharacters(std::string_view record, uint32_t offString, uint32_t count, bool wide, SymbolFont symbol,
                    bool glyphIndices, GdiText& draw) {
    ByteReader chars(record);
    chars.Seek(offString);
    draw.text = wide ? ReadUtf16(chars, count, false) : ReadNarrow(chars, count, symbol != SymbolFont::None);
    if (glyphIndices) {
        ByteReader raw(record);
        raw.Seek(offString);
        for (uint32_t i = 0; i < count && raw.remaining() >= 2; ++i) {
            draw.glyphs.push_back(wide ? raw.U16() : raw.U8());
        }
        draw.text.clear();
    } else if (symbol != SymbolFont::None) {
        for (char32_t& c : draw.text) {
            c = SymbolToUnicode(symbol, c);
        }
    }
}

// The face and size to draw with. A negative height is the em size, a
// positive one the height of the character cell.
FontSpec GdiFontSpec(const GdiFont& font, SymbolFont symbol, bool glyphIndices, double scaleY,
                     double outputPerDevice) {
    FontSpec spec;
    spec.face = symbol != SymbolFont::None && !glyphIndices ? "DejaVu Sans" : font.face;
    spec.weight = font.weight == 0 ? 400 : font.weight;
    spec.italic = font.italic;
    spec.underline = font.underline;
    spec.strikeOut = font.strikeOut;
    if (font.height < 0) {
        spec.emSize = -static_cast<double>(font.height) * scaleY;
    } else {
        const double cell = font.height > 0 ? font.height * scaleY : 16 * outputPerDevice;
        spec.emSize = EmSizeForCellHeight(spec, cell);
    }
    return spec;
}

void AlignText(uint32_t textAlign, GdiText& draw) {
    switch (textAlign & kTaHorizontalMask) {
    case kTaRight:
        draw.hAlign = GdiText::HAlign::Right;
        break;
    case kTaCenter:
        draw.hAlign = GdiText::HAlign::Center;
        break;
    default:
        break;
    }
    switch (textAlign & kTaVerticalMask) {
    case kTaBottom:
        draw.vAlign = GdiText::VAlign::Bottom;
        break;
    case kTaBaseline:
        draw.vAlign = GdiText::VAlign::Baseline;
        break;
    default:
        break;
    }
}

// The advance of every character, in logical units along the baseline, when
// the record gives them all.
void ReadAdvances(std::string_view record, uint32_t offDx, uint32_t options, size_t count, double scaleX,
                  bool glyphIndices, GdiText& draw) {
    ByteReader dx(record);
    dx.Seek(offDx);
    const size_t stride = (options & kEtoPdy) ? 8 : 4;
    if (!dx.Holds(count, stride)) {
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        draw.advances.push_back(dx.I32() * scaleX);
        if (stride == 8) {
            dx.I32();
        }
    }
    // Surrogate pairs take two advances but one character.
    if (!glyphIndices && draw.advances.size() > draw.text.size()) {
        draw.advances.clear();
    }
}

} // namespace

bool GdiPlayer::PlayText(uint32_t type, ByteReader in) {
    switch (type) {
    case kEmrExtTextOutW:
    case kEmrExtTextOutA:
        DrawTextRecord(in, 36, type == kEmrExtTextOutW);
        return true;
    case kEmrPolyTextOutW:
    case kEmrPolyTextOutA: {
        in.Seek(36);
        const uint32_t count = in.U32();
        for (uint32_t i = 0; i < count && in.Holds(1, 40); ++i) {
            DrawTextRecord(in, 40 + size_t{i} * 40, type == kEmrPolyTextOutW);
            in.Seek(40 + (size_t{i} + 1) * 40);
        }
        return true;
    }
    case kEmrSmallTextOut: {
        // A compact ExtTextOut: reference point, count, options, then the
        // clipping rectangle unless ETO_NO_RECT, then 8- or 16-bit characters.
        in.Seek(8);
        const double x = in.I32(), y = in.I32();
        const uint32_t count = std::min(in.U32(), kMostCharacters);
        const uint32_t options = in.U32();
        const uint32_t graphicsMode = in.U32();
        in.Skip(8); // scales
        if (!(options & kEtoNoRect)) {
            in.Skip(16);
        }
        if (!in.ok()) {
            target_.report.Undrawn();
            return true;
        }
        // Re-expressed as an ExtTextOut record so that one path draws both.
        const size_t textAt = in.offset();
        std::string record(36 + 40, '\0');
        auto put = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i) {
                record[at + i] = static_cast<char>(v >> (8 * i));
            }
        };
        put(24, graphicsMode);
        put(36, static_cast<uint32_t>(static_cast<int32_t>(x)));
        put(40, static_cast<uint32_t>(static_cast<int32_t>(y)));
        put(44, count);
        put(48, 76);
        put(52, (options & ~(kEtoClipped | kEtoOpaque)) | kEtoNoRect);
        record += std::string(in.bytes().substr(textAt));
        ByteReader rewritten(record);
        DrawTextRecord(rewritten, 36, !(options & kEtoSmallChars));
        return true;
    }
    default:
        return false;
    }
}

void GdiPlayer::DrawTextRecord(ByteReader& in, size_t at, bool wide) {
    in.Seek(at);
    const double refX = in.I32(), refY = in.I32();
    const uint32_t count = std::min(in.U32(), kMostCharacters);
    const uint32_t offString = in.U32();
    const uint32_t options = in.U32();
    // A rectangle given right to left or bottom to top is the same rectangle.
    double rl = in.I32(), rt = in.I32(), rr = in.I32(), rb = in.I32();
    if (rl > rr) {
        std::swap(rl, rr);
    }
    if (rt > rb) {
        std::swap(rt, rb);
    }
    const uint32_t offDx = in.U32();
    if (!in.ok()) {
        target_.report.Undrawn();
        return;
    }
    if (inBracket_) {
        return; // text in a path bracket becomes outlines; rare enough to leave
    }
    const GdiFont& font = state_.font;
    const SymbolFont symbol = SymbolFontOfGdi(font);
    const bool glyphIndices = (options & kEtoGlyphIndex) != 0;
    // In the compatible graphics mode a world transform moves text but does
    // not turn it; in the advanced mode it turns it too.
    ByteReader modeField(in.bytes());
    modeField.Seek(24);
    const bool advanced = modeField.U32() == 2;
    GdiText draw;
    ReadCharacters(in.bytes(), offString, count, wide, symbol, glyphIndices, draw);

    const cairo_matrix_t toOutput = LogicalToOutput();
    const double scaleX = LogicalScaleX(), scaleY = LogicalScaleY();
    const FontSpec spec = GdiFontSpec(font, symbol, glyphIndices, scaleY, target_.outputPerDevice);
    const bool updateCp = (state_.textAlign & kTaUpdateCp) != 0;
    const Point reference = updateCp ? state_.position : Point{refX, refY};
    draw.origin = Apply(toOutput, reference);
    // The escapement turns the line counterclockwise as seen on the page; in
    // the advanced mode a world transform that turns adds its own angle (a
    // mirroring one does not turn text over).
    const Point xAxis = Apply(toOutput, {reference.x + 1, reference.y});
    const double worldAngle = std::atan2(-(xAxis.y - draw.origin.y), xAxis.x - draw.origin.x);
    const bool mirrored = xAxis.x < draw.origin.x;
    draw.angle = font.escapement / 10.0 * kPi / 180 + (mirrored || !advanced ? 0 : worldAngle);
    AlignText(state_.textAlign, draw);
    draw.rightToLeft = (options & kEtoRtlReading) || (state_.textAlign & kTaRtlReading);
    if (offDx != 0) {
        ReadAdvances(in.bytes(), offDx, options, glyphIndices ? draw.glyphs.size() : count, scaleX,
                     glyphIndices, draw);
    }
    draw.colour = FromColorRef(state_.textColour);
    if (state_.backgroundMode == 2) {
        draw.background = FromColorRef(state_.backgroundColour);
    }
    Clip clip = state_.clip;
    const bool hasRect = !(options & kEtoNoRect) && rr > rl && rb > rt;
    if (hasRect && (options & kEtoOpaque)) {
        target_.canvas.Fill(RectPath(rl, rt, rr, rb), CAIRO_FILL_RULE_WINDING,
                            Paint::Solid(FromColorRef(state_.backgroundColour)), clip);
    }
    if (hasRect && (options & kEtoClipped)) {
        clip.shapes.push_back({RectPath(rl, rt, rr, rb), CAIRO_FILL_RULE_WINDING});
    }
    const std::optional<double> advance = DrawGdiText(target_.canvas, clip, spec, draw);
    if (!advance) {
        target_.report.Undrawn(); // glyph indices of a face that is not installed
        return;
    }
    if (updateCp && scaleX > 0) {
        state_.position.x += *advance / scaleX;
    }
}

} // namespace metafile

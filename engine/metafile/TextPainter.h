#pragma once

#include "Canvas.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace metafile {

// A font as a metafile asks for it. Fontconfig picks the installed font that
// comes closest to the face (Liberation for Arial and Times New Roman, Carlito
// for Calibri, ...); characters it lacks come from fallback fonts.
struct FontSpec {
    std::string face;   // UTF-8
    double emSize = 12; // output pixels
    int weight = 400;   // 100 .. 900
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

// The em size of a font whose cell (ascent plus descent) is `cellHeight`
// pixels: GDI fonts are often given by their cell rather than their em.
double EmSizeForCellHeight(const FontSpec& font, double cellHeight);

// One line of text placed as GDI places it: at a reference point, turned by
// an angle, aligned to the point horizontally and vertically, and optionally
// with each character's advance given.
struct GdiText {
    std::u32string text;          // characters (already mapped for symbol fonts)
    std::vector<uint16_t> glyphs; // instead of characters: glyph indices of the face
    Point origin;                 // output pixels
    double angle = 0;             // radians, counterclockwise as seen on the page
    enum class HAlign { Left, Center, Right } hAlign = HAlign::Left;
    enum class VAlign { Top, Baseline, Bottom } vAlign = VAlign::Top;
    std::vector<double> advances; // output pixels, one per character, or empty
    Rgba colour;
    std::optional<Rgba> background; // a filled box behind the text
    bool rightToLeft = false;
};

// Draws `text` and returns its advance in output pixels (for TA_UPDATECP), or
// nothing when the text could not be drawn (glyph indices of a face that is
// not installed).
std::optional<double> DrawGdiText(Canvas& canvas, const Clip& clip, const FontSpec& font,
                                  const GdiText& text);

// Text set in a box, as GDI+ draws strings: wrapped to the box's width unless
// `noWrap`, aligned in it, and drawn through `boxToOutput`, which maps the
// box's units onto the page (rotation and scale included).
struct BoxText {
    std::string utf8;
    double left = 0;
    double top = 0;
    double width = 0; // 0: no box, the text starts at (left, top)
    double height = 0;
    enum class Align { Near, Center, Far } align = Align::Near, lineAlign = Align::Near;
    bool noWrap = false;
    bool rightToLeft = false;
    bool vertical = false;
};
void DrawBoxText(Canvas& canvas, const Clip& clip, const FontSpec& font, double emSizeInBoxUnits,
                 const cairo_matrix_t& boxToOutput, const BoxText& text, Rgba colour);

// Text placed glyph by glyph at given points (in box units), as GDI+'s driver
// strings are.
void DrawPlacedText(Canvas& canvas, const Clip& clip, const FontSpec& font, double emSizeInBoxUnits,
                    const cairo_matrix_t& boxToOutput, const std::u32string& text,
                    const std::vector<Point>& at, Rgba colour);

} // namespace metafile

#pragma once

#include "Bitmap.h"
#include "ByteReader.h"
#include "Canvas.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace metafile {

// GDI+'s units: what a width, a font size or a page is measured in.
enum class PlusUnit : uint32_t {
    World = 0,
    Display = 1,
    Pixel = 2,
    Point = 3,
    Inch = 4,
    Document = 5,
    Millimetre = 6
};
// Device pixels per unit at `dpi` (World and Pixel count as one pixel).
double PixelsPerUnit(uint32_t unit, double dpi);

// A path in the units it was recorded in (world units), with its figures.
struct PlusPath {
    struct Figure {
        std::vector<Point> points;
        std::vector<bool> bezier; // per point after the first: reached by a Bézier segment
        bool closed = false;
    };
    std::vector<Figure> figures;
    // The path through `m`, as the canvas draws it.
    Path Transformed(const cairo_matrix_t& m) const;
};

struct PlusBrush {
    enum class Kind { Solid, Hatch, Texture, PathGradient, LinearGradient };
    Kind kind = Kind::Solid;
    uint32_t colour = 0xFF000000; // ARGB; hatch foreground
    uint32_t background = 0;      // hatch background
    int hatchStyle = 0;
    // Gradients: in world units, with their own transform.
    Point from, to; // linear: along the rectangle's width; path: the centre
    std::vector<std::pair<double, uint32_t>>
        stops;    // linear: start to end; path: preset colours, centre to rim
    int wrap = 0; // 0 tile, 1 tile flipped in x, 2 in y, 3 in both, 4 clamp
    // Path gradients: the rim, its colours, and how much of the rim's colour
    // shows from the centre (0) to the rim (1).
    std::vector<Point> boundary;
    std::vector<uint32_t> surround;
    std::vector<std::pair<double, double>> blend;
    cairo_matrix_t transform{1, 0, 0, 1, 0, 0};
    std::shared_ptr<cairo_surface_t> texture;
    bool tiled = true;
};

// A shape a pen draws at a line's end: in units of the pen's width (times
// widthScale), the end at the origin, the y axis pointing along the line out
// of its end, so a shape at negative y lies over the line. The line stops
// `inset` widths short of its end, under the shape.
struct PlusLineCap {
    PlusPath fill;    // filled with the pen's brush
    PlusPath outline; // stroked with the pen
    double widthScale = 1;
    double inset = 0;
};

struct PlusPen {
    double width = 1;
    uint32_t unit = 0;
    cairo_matrix_t transform{1, 0, 0, 1, 0, 0};
    int startCap = 0, endCap = 0, join = 0;
    double miterLimit = 10;
    int dashStyle = 0;
    std::vector<double> dashes; // in widths
    double dashOffset = 0;
    std::optional<PlusLineCap> customStartCap, customEndCap; // for caps of type 0xFF
    PlusBrush brush;
};

// A region as the intersection of shapes (in world units) or one of the
// two trivial regions.
struct PlusRegion {
    bool infinite = false;
    bool empty = false;
    struct Part {
        PlusPath path;
        bool evenOdd = false;
        bool outside = false; // everything but the path
    };
    std::vector<Part> parts; // intersected
};

struct PlusImage {
    std::shared_ptr<cairo_surface_t> surface;
    double width = 0; // in pixels of the picture (a metafile: its frame in its device pixels)
    double height = 0;
};

struct PlusFont {
    double emSize = 12;
    uint32_t unit = 3;
    bool bold = false, italic = false, underline = false, strikeOut = false;
    std::string family;
};

struct PlusStringFormat {
    uint32_t flags = 0;
    uint32_t align = 0;
    uint32_t lineAlign = 0;
};

struct PlusOtherObject {};

using PlusObject = std::variant<PlusOtherObject, PlusBrush, PlusPen, PlusPath, PlusRegion, PlusImage,
                                PlusFont, PlusStringFormat>;

// Reads one object of `type` (1 brush, 2 pen, 3 path, 4 region, 5 image,
// 6 font, 7 string format, 8 image attributes, 9 custom line cap) from its
// bytes. Returns nothing for an object it cannot read; never reads past the
// bytes. `depth` limits metafiles nested inside images.
std::optional<PlusObject> ReadPlusObject(uint32_t type, std::string_view bytes, int depth);

// The readers the drawing records share.
bool ReadPlusPath(ByteReader& in, PlusPath& path);
bool ReadPlusBrush(ByteReader& in, PlusBrush& brush);
// Points as the drawing records store them: 16-bit integers (C), relative
// (P) or floats; `count` of them, fewer when the record is short.
std::vector<Point> ReadPlusPoints(ByteReader& in, uint32_t count, bool compressed, bool relative);
// A rectangle as 16-bit integers or floats: left, top, width, height.
bool ReadPlusRect(ByteReader& in, bool compressed, double rect[4]);

} // namespace metafile

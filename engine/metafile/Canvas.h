#pragma once

#include "Bitmap.h"

#include <array>
#include <cairo.h>
#include <memory>
#include <vector>

namespace metafile {

struct Point {
    double x = 0;
    double y = 0;
};

struct Rgba {
    double r = 0;
    double g = 0;
    double b = 0;
    double a = 1;
};
// GDI's COLORREF (0x00BBGGRR) and GDI+'s ARGB (0xAARRGGBB).
Rgba FromColorRef(uint32_t colorRef);
Rgba FromArgb(uint32_t argb);

// A path in output pixels, built from the records' points once they are
// transformed, kept so that a path bracket can be filled, stroked or made the
// clip later.
class Path {
  public:
    void MoveTo(Point p);
    void LineTo(Point p);
    void CurveTo(Point c1, Point c2, Point p);
    void Close();
    void Append(const Path& other);
    bool empty() const { return ops_.empty(); }
    size_t size() const { return ops_.size(); }
    // Whether a figure is open, so that LineTo has somewhere to start.
    bool HasCurrentPoint() const { return hasCurrent_; }
    bool operator==(const Path& other) const;
    void Translate(double dx, double dy);
    void Transform(const cairo_matrix_t& m);
    Point CurrentPoint() const { return current_; }
    // The length of its lines and control polygons: how long a dash pattern runs.
    double Length() const;
    void AppendTo(cairo_t* cr) const;

    // Where an open figure ends, and a point before it on its line: the
    // direction a line cap at that end points in.
    struct End {
        Point at;
        Point before;
    };
    // The two ends (start, then end) of every open figure that has a length.
    std::vector<std::array<End, 2>> OpenEnds() const;
    // Shortens the straight first and last segments of every open figure by
    // these lengths (never past the segment's other end), so that a line
    // stops short of a cap drawn at its end.
    void TrimOpenEnds(double atStart, double atEnd);

  private:
    enum class Kind { Move, Line, Curve, Close };
    struct Op {
        Kind kind;
        Point p[3];
    };
    std::vector<Op> ops_;
    Point current_;
    Point figureStart_;
    bool hasCurrent_ = false;
};

// What fills an area: nothing, a colour, a hatch, a tiled picture or a gradient.
struct Paint {
    enum class Kind { None, Solid, Hatch, Pattern, LinearGradient, RadialGradient, PathGradient };
    Kind kind = Kind::None;
    Rgba colour;     // solid colour, hatch lines
    Rgba background; // behind hatch lines when opaque
    bool opaqueBackground = false;
    int hatchStyle = 0;                               // HS_HORIZONTAL .. HS_DIAGCROSS
    std::shared_ptr<cairo_surface_t> picture;         // tiled picture
    cairo_matrix_t pictureToOutput{1, 0, 0, 1, 0, 0}; // also places the 8 x 8 hatch cell
    // Gradients are laid out in their own space, placed by pictureToOutput.
    Point from, to; // linear: the gradient's axis; radial and path: centre (and a point on the rim)
    std::vector<std::pair<double, Rgba>> stops;
    // Path gradients: `colour` at the centre, blending into the rim's colours
    // (one for the whole rim, or one a rim point). `blend` says, from the
    // centre (0) to the rim (1), how much of the rim's colour shows; `stops`,
    // when given, set the colours from centre to rim instead.
    std::vector<Point> rim;
    std::vector<Rgba> rimColours;
    std::vector<std::pair<double, double>> blend;
    cairo_extend_t extend = CAIRO_EXTEND_PAD;
    cairo_operator_t op = CAIRO_OPERATOR_OVER; // raster operations, approximated

    static Paint Solid(Rgba colour) {
        Paint paint;
        paint.kind = Kind::Solid;
        paint.colour = colour;
        return paint;
    }
};

struct StrokeStyle {
    Paint paint;
    double width = 1;           // output pixels
    std::vector<double> dashes; // output pixels, on and off in turn
    cairo_line_cap_t cap = CAIRO_LINE_CAP_ROUND;
    cairo_line_join_t join = CAIRO_LINE_JOIN_ROUND;
    double miterLimit = 10;
};

// The clip: the intersection of its shapes, or everything when there are none.
struct Clip {
    struct Shape {
        Path path;
        cairo_fill_rule_t rule = CAIRO_FILL_RULE_WINDING;
        bool operator==(const Shape& other) const { return rule == other.rule && path == other.path; }
    };
    std::vector<Shape> shapes;
    bool operator==(const Clip& other) const { return shapes == other.shapes; }
};

// Combines `region` into `clip` as GDI's region modes do: 1 intersect, 2
// union, 3 exclusive or, 4 difference (clip without region), 5 replace.
// Unions of shapes that overlap the wrong way are approximate. `width` and
// `height` bound the page, which "everything but a shape" needs. Returns
// false, leaving the clip as it was, when the clip would grow beyond what
// any real drawing needs (every later shape would be clipped against it).
bool CombineClip(Clip& clip, const Path& region, cairo_fill_rule_t rule, uint32_t mode, double width,
                 double height);

// The page the metafile is drawn on: a white, opaque cairo surface in output
// pixels, with anti-aliasing as GDI+ draws metafiles. Every drawing call takes
// the clip in force; none of them fails, a shape cairo cannot draw is skipped.
class Canvas {
  public:
    // A page of pixels in memory.
    Canvas(int width, int height);
    // A page on `surface` (a PDF page, say), width x height of its units,
    // which the canvas owns from then on. The players draw on it as on
    // pixels; only what becomes of the drawing differs.
    Canvas(cairo_surface_t* surface, int width, int height);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas();

    int width() const { return width_; }
    int height() const { return height_; }
    cairo_t* cr() const { return cr_; }
    // The pixels of a page in memory, 0x00RRGGBB per pixel, `stride` bytes per row.
    const unsigned char* data() const;
    int stride() const;

    void Fill(const Path& path, cairo_fill_rule_t rule, const Paint& paint, const Clip& clip);
    void Stroke(const Path& path, const StrokeStyle& stroke, const Clip& clip);
    // Strokes `path` and fills `endFill` and strokes `endOutline` (the caps
    // at its ends) as one shape, so that a translucent pen does not show
    // darker where a cap lies over its line.
    void StrokeWithEnds(const Path& path, const StrokeStyle& stroke, const Path& endFill,
                        const Path& endOutline, const Clip& clip);
    // Draws `picture` with `pictureToOutput` mapping its pixels onto the page,
    // limited to `area` (a path in output pixels), with `op` as the operator.
    void DrawPicture(cairo_surface_t* picture, const cairo_matrix_t& pictureToOutput, const Path& area,
                     cairo_operator_t op, double opacity, bool smooth, const Clip& clip);
    // Fills `area` with `paint` where `mask` (its alpha, placed by
    // maskToOutput, smoothed when stretched or its pixels repeated) lets it through.
    void MaskedFill(const Paint& paint, cairo_surface_t* mask, const cairo_matrix_t& maskToOutput,
                    const Path& area, bool smooth, const Clip& clip);
    // Sets the clip on the cairo context, outside any cairo_save of the
    // caller's (drawing done outside this class calls it before its save).
    // The clip stays set while it does not change, so that cairo rasterises a
    // clip once, not once a shape.
    void ApplyClip(const Clip& clip);

  private:
    bool SetSource(const Paint& paint);
    // Strokes `path` with the source already set.
    void StrokeOutline(const Path& path, const StrokeStyle& stroke);

    int width_;
    int height_;
    cairo_surface_t* surface_;
    cairo_t* cr_;
    Clip applied_;
};

} // namespace metafile

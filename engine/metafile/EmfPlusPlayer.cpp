#include "EmfPlusPlayer.h"

#include "ByteReader.h"
#include "EmfPlusObjects.h"
#include "GdiObjects.h"
#include "LineCaps.h"
#include "RecordTypes.h"
#include "SymbolFonts.h"
#include "TextPainter.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace metafile {
namespace {

constexpr uint32_t kEmfPlusIdentifier = 0x2B464D45; // "EMF+"
constexpr uint16_t kSolidColour = 0x8000, kCompressed = 0x4000, kRelative = 0x0800, kAppend = 0x2000,
                   kClosed = 0x2000, kWinding = 0x2000, kContinued = 0x8000;
// Objects split over several records are put together up to this size.
constexpr uint64_t kLargestObject = 64u << 20;
constexpr double kPi = 3.14159265358979323846;
constexpr size_t kDeepestSave = 10000;

bool Draws(uint16_t type) {
    switch (type) {
    case kPlusClear:
    case kPlusFillRects:
    case kPlusDrawRects:
    case kPlusFillPolygon:
    case kPlusDrawLines:
    case kPlusFillEllipse:
    case kPlusDrawEllipse:
    case kPlusFillPie:
    case kPlusDrawPie:
    case kPlusDrawArc:
    case kPlusFillRegion:
    case kPlusFillPath:
    case kPlusDrawPath:
    case kPlusFillClosedCurve:
    case kPlusDrawClosedCurve:
    case kPlusDrawCurve:
    case kPlusDrawBeziers:
    case kPlusDrawImage:
    case kPlusDrawImagePoints:
    case kPlusDrawString:
    case kPlusDrawDriverString:
    case kPlusStrokeFillPath:
        return true;
    default:
        return false;
    }
}

bool Known(uint16_t type) {
    return type >= kPlusHeader && type <= kPlusSetTsClip;
}

// Walks the EMF+ records inside one comment record, calling `visit(type,
// flags, data)` for each whole one; stops at the first record whose size
// does not fit.
template <typename Visit> bool WalkComment(const EmfRecord& record, Visit visit) {
    ByteReader in(record.bytes);
    in.Seek(8);
    const uint32_t dataSize = in.U32();
    if (in.U32() != kEmfPlusIdentifier || !in.ok()) {
        return false;
    }
    const size_t end = std::min<size_t>(record.bytes.size(), 12 + static_cast<size_t>(dataSize));
    size_t at = 16;
    while (at + 12 <= end) {
        ByteReader head(record.bytes.substr(at, 12));
        const uint16_t type = head.U16();
        const uint16_t flags = head.U16();
        const uint32_t size = head.U32();
        const uint32_t length = head.U32();
        if (size < 12 || size > end - at || length > size - 12) {
            break;
        }
        visit(type, flags, record.bytes.substr(at + 12, length));
        at += size;
    }
    return true;
}

// A cardinal spline through `points` as Bézier segments, as GDI+ draws curves.
void AppendCurve(Path& path, const std::vector<Point>& points, double tension, bool closed, size_t first,
                 size_t segments) {
    const size_t n = points.size();
    if (n < 2) {
        return;
    }
    auto at = [&](long i) {
        if (closed) {
            return points[static_cast<size_t>((i % static_cast<long>(n) + static_cast<long>(n)) %
                                              static_cast<long>(n))];
        }
        return points[static_cast<size_t>(std::clamp<long>(i, 0, static_cast<long>(n) - 1))];
    };
    const double k = tension / 3;
    const size_t last = closed ? n : std::min(first + segments, n - 1);
    path.MoveTo(at(static_cast<long>(first)));
    for (size_t i = first; i < last; ++i) {
        const long j = static_cast<long>(i);
        const Point p0 = at(j - 1), p1 = at(j), p2 = at(j + 1), p3 = at(j + 2);
        path.CurveTo({p1.x + k * (p2.x - p0.x), p1.y + k * (p2.y - p0.y)},
                     {p2.x - k * (p3.x - p1.x), p2.y - k * (p3.y - p1.y)}, p2);
    }
    if (closed) {
        path.Close();
    }
}

} // namespace

class EmfPlusState {
  public:
    std::map<uint32_t, PlusObject> objects;
    struct Pending {
        uint32_t id = 0;
        uint32_t type = 0;
        uint64_t total = 0;
        std::string data;
    };
    std::optional<Pending> pending;
    cairo_matrix_t world = Identity();
    uint32_t pageUnit = 2;
    double pageScale = 1;
    double dpiX = 96, dpiY = 96;
    bool video = true;
    Clip clip;
    struct Saved {
        cairo_matrix_t world;
        uint32_t pageUnit;
        double pageScale;
        Clip clip;
    };
    std::map<uint32_t, Saved> saved;
};

namespace {

// Everything a record needs to draw: the state, the page, and the record's flags.
class RecordPlayer {
  public:
    RecordPlayer(EmfPlusState& s, PlaybackTarget& t, uint16_t flags) : s_(s), t_(t), flags_(flags) {}

    double PageUnitPixels(double dpi) const {
        if (s_.pageUnit == 1) { // display: pixels on a screen, 1/100 inch on a printer
            return s_.video ? 1.0 : dpi / 100.0;
        }
        return PixelsPerUnit(s_.pageUnit, dpi);
    }
    cairo_matrix_t WorldToOutput() const {
        cairo_matrix_t page;
        cairo_matrix_init_scale(&page, s_.pageScale * PageUnitPixels(s_.dpiX),
                                s_.pageScale * PageUnitPixels(s_.dpiY));
        return Then(Then(s_.world, page), t_.deviceToOutput);
    }

    template <typename T> const T* Object(uint32_t id) const {
        auto found = s_.objects.find(id & 0xFF);
        return found == s_.objects.end() ? nullptr : std::get_if<T>(&found->second);
    }

    Paint PaintOf(const PlusBrush& brush) const {
        const cairo_matrix_t m = Then(brush.transform, WorldToOutput());
        Paint paint;
        auto stops = [&] {
            for (const auto& [offset, argb] : brush.stops) {
                paint.stops.push_back({offset, FromArgb(argb)});
            }
        };
        switch (brush.kind) {
        case PlusBrush::Kind::Solid:
            return Paint::Solid(FromArgb(brush.colour));
        case PlusBrush::Kind::Hatch:
            paint.kind = Paint::Kind::Hatch;
            paint.colour = FromArgb(brush.colour);
            paint.background = FromArgb(brush.background);
            paint.opaqueBackground = (brush.background >> 24) != 0;
            paint.hatchStyle = brush.hatchStyle <= 5 ? brush.hatchStyle : 5;
            cairo_matrix_init_identity(&paint.pictureToOutput);
            return paint;
        case PlusBrush::Kind::Texture:
            paint.kind = Paint::Kind::Pattern;
            paint.picture = brush.texture;
            paint.pictureToOutput = m;
            paint.extend = brush.tiled ? CAIRO_EXTEND_REPEAT : CAIRO_EXTEND_NONE;
            return paint;
        case PlusBrush::Kind::LinearGradient:
            // Laid out in the brush's own space, so that a turned or sheared
            // brush keeps its bands parallel to the rectangle's sides.
            paint.kind = Paint::Kind::LinearGradient;
            paint.from = brush.from;
            paint.to = brush.to;
            paint.pictureToOutput = m;
            // Beyond its rectangle a GDI+ gradient repeats, mirrored when flipped along its axis.
            paint.extend = brush.wrap == 4                      ? CAIRO_EXTEND_PAD
                           : brush.wrap == 1 || brush.wrap == 3 ? CAIRO_EXTEND_REFLECT
                                                                : CAIRO_EXTEND_REPEAT;
            stops();
            return paint;
        case PlusBrush::Kind::PathGradient:
            paint.kind = Paint::Kind::PathGradient;
            paint.from = brush.from;
            paint.pictureToOutput = m;
            paint.colour = FromArgb(brush.colour);
            paint.rim = brush.boundary;
            // Rim points past the last colour given take that colour.
            for (size_t i = 0; i < brush.boundary.size() && !brush.surround.empty(); ++i) {
                paint.rimColours.push_back(FromArgb(brush.surround[std::min(i, brush.surround.size() - 1)]));
            }
            paint.blend = brush.blend;
            stops();
            return paint;
        }
        return paint;
    }

    // The brush of a fill record: a colour in the record, or a brush object.
    std::optional<Paint> RecordBrush(uint32_t brushId) const {
        if (flags_ & kSolidColour) {
            return Paint::Solid(FromArgb(brushId));
        }
        if (const auto* brush = Object<PlusBrush>(brushId)) {
            return PaintOf(*brush);
        }
        return std::nullopt;
    }

    Rgba TextColour(uint32_t brushId) const {
        if (flags_ & kSolidColour) {
            return FromArgb(brushId);
        }
        if (const auto* brush = Object<PlusBrush>(brushId)) {
            return FromArgb(brush->stops.empty() ? brush->colour : brush->stops.front().second);
        }
        return {0, 0, 0, 1};
    }

    std::optional<StrokeStyle> PenStroke(uint32_t penId) const {
        const PlusPen* pen = Object<PlusPen>(penId);
        if (pen == nullptr) {
            return std::nullopt;
        }
        StrokeStyle stroke;
        stroke.paint = PaintOf(pen->brush);
        const cairo_matrix_t m = WorldToOutput();
        double width = pen->width * ScaleOf(pen->transform);
        if (pen->unit == 0 || pen->unit == s_.pageUnit) {
            width *= ScaleOf(m); // world or page units: transformed with the drawing
        } else {
            width *= PixelsPerUnit(pen->unit, (s_.dpiX + s_.dpiY) / 2) * t_.outputPerDevice;
        }
        stroke.width = std::max(1.0, width); // a pen of width 0 is one pixel wide
        switch (pen->join) {
        case 1:
            stroke.join = CAIRO_LINE_JOIN_BEVEL;
            break;
        case 2:
            stroke.join = CAIRO_LINE_JOIN_ROUND;
            break;
        default:
            stroke.join = CAIRO_LINE_JOIN_MITER;
            break;
        }
        stroke.miterLimit = pen->miterLimit;
        std::vector<double> units;
        switch (pen->dashStyle) {
        case 1:
            units = {3, 1};
            break;
        case 2:
            units = {1, 1};
            break;
        case 3:
            units = {3, 1, 1, 1};
            break;
        case 4:
            units = {3, 1, 1, 1, 1, 1};
            break;
        case 5:
            units = pen->dashes;
            break;
        default:
            break;
        }
        for (double unit : units) {
            stroke.dashes.push_back(unit * stroke.width);
        }
        if (!stroke.dashes.empty()) {
            stroke.cap = CAIRO_LINE_CAP_BUTT; // GDI+ dashes end flat unless told otherwise
        }
        return stroke;
    }

    void Fill(const Path& path, const Paint& paint, bool winding = false) {
        t_.canvas.Fill(path, winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD, paint, s_.clip);
    }
    void Stroke(const Path& path, uint32_t penId) {
        std::optional<StrokeStyle> stroke = PenStroke(penId);
        if (!stroke) {
            t_.report.Undrawn();
            return;
        }
        const LineEnds ends = PenLineEnds(path, *Object<PlusPen>(penId), stroke->width);
        if (stroke->dashes.empty()) {
            stroke->cap = ends.strokeCap;
        }
        Path line = path;
        line.TrimOpenEnds(ends.startInset, ends.endInset);
        t_.canvas.StrokeWithEnds(line, *stroke, ends.fill, ends.outline, s_.clip);
    }

    Path RectPath(const double r[4]) const {
        const cairo_matrix_t m = WorldToOutput();
        Path path;
        path.MoveTo(Apply(m, {r[0], r[1]}));
        path.LineTo(Apply(m, {r[0] + r[2], r[1]}));
        path.LineTo(Apply(m, {r[0] + r[2], r[1] + r[3]}));
        path.LineTo(Apply(m, {r[0], r[1] + r[3]}));
        path.Close();
        return path;
    }

    // An arc of the ellipse in `r`, angles in degrees clockwise from the x axis.
    Path ArcPath(const double r[4], double start, double sweep, bool pie) const {
        const cairo_matrix_t m = WorldToOutput();
        const double rx = r[2] / 2, ry = r[3] / 2, cx = r[0] + rx, cy = r[1] + ry;
        Path path;
        if (!(std::fabs(rx) > 0 && std::fabs(ry) > 0) || !std::isfinite(start) || !std::isfinite(sweep)) {
            return path;
        }
        sweep = std::clamp(sweep, -360.0, 360.0);
        auto param = [&](double degrees) {
            const double a = degrees * kPi / 180;
            return std::atan2(rx * std::sin(a),
                              ry * std::cos(a)); // the ray's angle as the ellipse's parameter
        };
        const double t0 = param(start);
        double t1 = param(start + sweep);
        if (sweep >= 0) {
            while (t1 < t0)
                t1 += 2 * kPi;
            if (sweep >= 360)
                t1 = t0 + 2 * kPi;
        } else {
            while (t1 > t0)
                t1 -= 2 * kPi;
            if (sweep <= -360)
                t1 = t0 - 2 * kPi;
        }
        auto at = [&](double t) { return Point{cx + rx * std::cos(t), cy + ry * std::sin(t)}; };
        if (pie) {
            path.MoveTo(Apply(m, {cx, cy}));
            path.LineTo(Apply(m, at(t0)));
        } else {
            path.MoveTo(Apply(m, at(t0)));
        }
        const int segments = std::max(1, static_cast<int>(std::ceil(std::fabs(t1 - t0) / (kPi / 2) - 1e-9)));
        const double step = (t1 - t0) / segments, k = 4.0 / 3.0 * std::tan(step / 4);
        for (int i = 0; i < segments; ++i) {
            const double a = t0 + i * step, b = a + step;
            path.CurveTo(Apply(m, {cx + rx * (std::cos(a) - k * std::sin(a)),
                                   cy + ry * (std::sin(a) + k * std::cos(a))}),
                         Apply(m, {cx + rx * (std::cos(b) + k * std::sin(b)),
                                   cy + ry * (std::sin(b) - k * std::cos(b))}),
                         Apply(m, at(b)));
        }
        if (pie) {
            path.Close();
        }
        return path;
    }

    Path PointsPath(const std::vector<Point>& points, bool close, bool bezier) const {
        const cairo_matrix_t m = WorldToOutput();
        Path path;
        if (points.empty()) {
            return path;
        }
        path.MoveTo(Apply(m, points[0]));
        if (bezier) {
            for (size_t i = 1; i + 2 < points.size(); i += 3) {
                path.CurveTo(Apply(m, points[i]), Apply(m, points[i + 1]), Apply(m, points[i + 2]));
            }
        } else {
            for (size_t i = 1; i < points.size(); ++i) {
                path.LineTo(Apply(m, points[i]));
            }
        }
        if (close) {
            path.Close();
        }
        return path;
    }

    bool ReadRectInto(ByteReader& in, bool compressed, double r[4]) const {
        return ReadPlusRect(in, compressed, r);
    }

    FontSpec FontOf(const PlusFont& font, SymbolFont symbol) const {
        FontSpec spec;
        spec.face = symbol != SymbolFont::None ? "DejaVu Sans" : font.family;
        spec.weight = font.bold ? 700 : 400;
        spec.italic = font.italic;
        spec.underline = font.underline;
        spec.strikeOut = font.strikeOut;
        return spec;
    }

    // The font's em in world units: sizes in other units are page sizes,
    // carried into the world through the page transformation.
    double EmInWorld(const PlusFont& font) const {
        if (font.unit == 0) {
            return font.emSize;
        }
        const double page = s_.pageScale * PageUnitPixels(s_.dpiY);
        return page > 0 ? font.emSize * PixelsPerUnit(font.unit, s_.dpiY) / page : font.emSize;
    }

    void ClipWith(const Path& path, cairo_fill_rule_t rule, uint32_t plusMode) {
        // GDI+ modes: replace, intersect, union, xor, exclude, complement.
        static const uint32_t gdiMode[] = {5, 1, 2, 3, 4, 5};
        if (!CombineClip(s_.clip, path, rule, gdiMode[std::min<uint32_t>(plusMode, 5)], t_.canvas.width(),
                         t_.canvas.height())) {
            t_.report.Undrawn();
        }
    }

    void ClipWithRegion(const PlusRegion& region, uint32_t plusMode) {
        if (region.infinite) {
            if (plusMode == 0) {
                s_.clip.shapes.clear();
            }
            return;
        }
        if (region.empty) {
            ClipWith(Path(), CAIRO_FILL_RULE_WINDING, plusMode == 0 ? 0 : 1);
            return;
        }
        const cairo_matrix_t m = WorldToOutput();
        bool first = true;
        for (const PlusRegion::Part& part : region.parts) {
            const Path path = part.path.Transformed(m);
            const cairo_fill_rule_t rule = part.evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING;
            uint32_t mode = first ? plusMode : 1;
            if (part.outside) {
                mode = mode == 0 ? 4 : mode == 1 ? 4 : mode; // everything but: an exclusion
                if (first && plusMode == 0) {
                    s_.clip.shapes.clear();
                }
            }
            ClipWith(path, rule, mode);
            first = false;
        }
    }

    // The records, by family. Each returns whether it knows the record.
    bool PlayObjectRecord(uint16_t type, std::string_view data, ByteReader& in);
    bool PlayStateRecord(uint16_t type, ByteReader& in);
    bool PlayClipRecord(uint16_t type, ByteReader& in);
    bool PlayShapeRecord(uint16_t type, ByteReader& in);
    bool PlayLineRecord(uint16_t type, ByteReader& in);
    bool PlayTextRecord(uint16_t type, ByteReader& in);
    bool PlayImageRecord(uint16_t type, ByteReader& in);

  private:
    bool compressed() const { return (flags_ & kCompressed) != 0; }
    bool relative() const { return (flags_ & kRelative) != 0; }
    // Fills with the record's brush, or strokes with the pen its flags name.
    void FillOrStroke(bool fill, const Path& path, uint32_t brushId, bool winding = false);

    void PlayHeader(ByteReader& in);
    void PlayObject(std::string_view data, ByteReader& in);
    void StoreObject(uint32_t id, uint32_t objectType, std::string_view bytes);

  public:
    // An object whose pieces stopped coming before they added up to its
    // size is read from what came, before any other record is played.
    void FinishPendingObject();

  private:
    void PlaySave(uint16_t type, ByteReader& in);
    void PlayRestore(ByteReader& in);
    void PlayWorldTransform(uint16_t type, ByteReader& in);
    void PlayOffsetClip(ByteReader& in);
    void PlayClear(ByteReader& in);
    void PlayRects(uint16_t type, ByteReader& in);
    void PlayEllipseOrArc(uint16_t type, ByteReader& in);
    void PlayPath(uint16_t type, ByteReader& in);
    void PlayRegionFill(ByteReader& in);
    void PlayPoints(uint16_t type, ByteReader& in);
    void PlayCurve(uint16_t type, ByteReader& in);
    void PlayString(ByteReader& in);
    void PlayDriverString(ByteReader& in);
    void PlayImage(uint16_t type, ByteReader& in);
    Path PageArea(double margin) const;

  public:
    EmfPlusState& s_;
    PlaybackTarget& t_;
    uint16_t flags_;
};

void RecordPlayer::FillOrStroke(bool fill, const Path& path, uint32_t brushId, bool winding) {
    if (!fill) {
        Stroke(path, flags_ & 0xFF);
    } else if (auto paint = RecordBrush(brushId)) {
        Fill(path, *paint, winding);
    }
}

// ---- objects -------------------------------------------------------------------

bool RecordPlayer::PlayObjectRecord(uint16_t type, std::string_view data, ByteReader& in) {
    switch (type) {
    case kPlusHeader:
        PlayHeader(in);
        return true;
    case kPlusObject:
        PlayObject(data, in);
        return true;
    default:
        return false;
    }
}

void RecordPlayer::PlayHeader(ByteReader& in) {
    in.U32(); // version
    const uint32_t plusFlags = in.U32();
    const double dpiX = in.U32(), dpiY = in.U32();
    s_.video = (plusFlags & 1) != 0;
    if (in.ok() && dpiX >= 1 && dpiX <= 100000 && dpiY >= 1 && dpiY <= 100000) {
        s_.dpiX = dpiX;
        s_.dpiY = dpiY;
    }
}

void RecordPlayer::PlayObject(std::string_view data, ByteReader& in) {
    const uint32_t id = flags_ & 0xFF;
    const uint32_t objectType = (flags_ >> 8) & 0x7F;
    if (flags_ & kContinued) {
        // A large object comes in pieces, each saying the whole size.
        const uint64_t total = in.U32();
        if (s_.pending && s_.pending->id != id) {
            FinishPendingObject();
        }
        if (!s_.pending) {
            s_.pending = EmfPlusState::Pending{id, objectType, std::min(total, kLargestObject), {}};
        }
        const std::string_view piece = data.substr(std::min<size_t>(4, data.size()));
        if (s_.pending->data.size() + piece.size() <= kLargestObject) {
            s_.pending->data += piece;
        }
        if (s_.pending->data.size() >= s_.pending->total) {
            FinishPendingObject();
        }
        return;
    }
    if (s_.pending && s_.pending->id == id) {
        // The last piece, without the flag; some writers still put the whole
        // size before its bytes.
        std::string_view piece = data;
        ByteReader size(piece);
        const size_t missing =
            s_.pending->total - std::min(s_.pending->total, uint64_t{s_.pending->data.size()});
        if (piece.size() == missing + 4 && size.U32() == s_.pending->total) {
            piece.remove_prefix(4);
        }
        s_.pending->data += piece;
        FinishPendingObject();
        return;
    }
    FinishPendingObject();
    StoreObject(id, objectType, data);
}

void RecordPlayer::FinishPendingObject() {
    if (!s_.pending) {
        return;
    }
    const EmfPlusState::Pending pending = std::move(*s_.pending);
    s_.pending.reset();
    StoreObject(pending.id, pending.type, pending.data);
}

void RecordPlayer::StoreObject(uint32_t id, uint32_t objectType, std::string_view bytes) {
    if (auto object = ReadPlusObject(objectType, bytes, 0)) {
        s_.objects[id] = std::move(*object);
    } else {
        s_.objects.erase(id);
        t_.report.Undrawn();
    }
}

// ---- state and transforms ------------------------------------------------------

bool RecordPlayer::PlayStateRecord(uint16_t type, ByteReader& in) {
    switch (type) {
    case kPlusSave:
    case kPlusBeginContainer:
    case kPlusBeginContainerNoParams:
        PlaySave(type, in);
        return true;
    case kPlusRestore:
    case kPlusEndContainer:
        PlayRestore(in);
        return true;
    case kPlusSetWorldTransform:
    case kPlusMultiplyWorldTransform:
    case kPlusTranslateWorldTransform:
    case kPlusScaleWorldTransform:
    case kPlusRotateWorldTransform:
        PlayWorldTransform(type, in);
        return true;
    case kPlusResetWorldTransform:
        s_.world = Identity();
        return true;
    case kPlusSetPageTransform: {
        const double scale = in.F32();
        if (in.ok() && std::isfinite(scale) && scale > 0 && scale < 1e6) {
            s_.pageUnit = flags_ & 0xFF;
            s_.pageScale = scale;
        }
        return true;
    }
    default:
        return false;
    }
}

void RecordPlayer::PlaySave(uint16_t type, ByteReader& in) {
    double dest[4] = {0, 0, 1, 1}, src[4] = {0, 0, 1, 1};
    if (type == kPlusBeginContainer) {
        ReadPlusRect(in, false, dest);
        ReadPlusRect(in, false, src);
    }
    const uint32_t index = in.U32();
    if (!in.ok()) {
        return;
    }
    if (s_.saved.size() < kDeepestSave) {
        s_.saved[index] = {s_.world, s_.pageUnit, s_.pageScale, s_.clip};
    }
    if (type == kPlusBeginContainer && src[2] != 0 && src[3] != 0) {
        cairo_matrix_t fit;
        const double sx = dest[2] / src[2], sy = dest[3] / src[3];
        cairo_matrix_init(&fit, sx, 0, 0, sy, dest[0] - src[0] * sx, dest[1] - src[1] * sy);
        s_.world = Then(fit, s_.world);
    }
}

void RecordPlayer::PlayRestore(ByteReader& in) {
    const uint32_t index = in.U32();
    auto found = s_.saved.find(index);
    if (found != s_.saved.end()) {
        s_.world = found->second.world;
        s_.pageUnit = found->second.pageUnit;
        s_.pageScale = found->second.pageScale;
        s_.clip = found->second.clip;
        s_.saved.erase(found, s_.saved.end());
    }
}

void RecordPlayer::PlayWorldTransform(uint16_t type, ByteReader& in) {
    cairo_matrix_t change = Identity();
    if (type == kPlusSetWorldTransform || type == kPlusMultiplyWorldTransform) {
        ReadMatrix(in, change);
    } else if (type == kPlusTranslateWorldTransform) {
        const double dx = in.F32();
        cairo_matrix_init_translate(&change, dx, in.F32());
    } else if (type == kPlusScaleWorldTransform) {
        const double sx = in.F32();
        cairo_matrix_init_scale(&change, sx, in.F32());
    } else {
        cairo_matrix_init_rotate(&change, in.F32() * kPi / 180);
    }
    if (!in.ok() || !std::isfinite(change.xx + change.yx + change.xy + change.yy + change.x0 + change.y0)) {
        t_.report.Undrawn();
        return;
    }
    if (type == kPlusSetWorldTransform) {
        s_.world = change;
    } else {
        // Prepended (the change acts first) unless the record says to append.
        s_.world = (flags_ & kAppend) ? Then(s_.world, change) : Then(change, s_.world);
    }
}

// ---- clipping ------------------------------------------------------------------

bool RecordPlayer::PlayClipRecord(uint16_t type, ByteReader& in) {
    const uint32_t mode = (flags_ >> 8) & 0x0F;
    switch (type) {
    case kPlusResetClip:
        s_.clip.shapes.clear();
        return true;
    case kPlusSetClipRect: {
        double r[4];
        if (ReadPlusRect(in, false, r)) {
            ClipWith(RectPath(r), CAIRO_FILL_RULE_WINDING, mode);
        }
        return true;
    }
    case kPlusSetClipPath:
        if (const PlusPath* path = Object<PlusPath>(flags_ & 0xFF)) {
            ClipWith(path->Transformed(WorldToOutput()), CAIRO_FILL_RULE_EVEN_ODD, mode);
        }
        return true;
    case kPlusSetClipRegion:
        if (const PlusRegion* region = Object<PlusRegion>(flags_ & 0xFF)) {
            ClipWithRegion(*region, mode);
        }
        return true;
    case kPlusOffsetClip:
        PlayOffsetClip(in);
        return true;
    default:
        return false;
    }
}

void RecordPlayer::PlayOffsetClip(ByteReader& in) {
    const double dx = in.F32(), dy = in.F32();
    if (in.ok() && std::isfinite(dx) && std::isfinite(dy)) {
        const cairo_matrix_t m = WorldToOutput();
        const Point o = Apply(m, {0, 0}), d = Apply(m, {dx, dy});
        for (Clip::Shape& shape : s_.clip.shapes) {
            shape.path.Translate(d.x - o.x, d.y - o.y);
        }
    }
}

// ---- fills and shapes ----------------------------------------------------------

bool RecordPlayer::PlayShapeRecord(uint16_t type, ByteReader& in) {
    switch (type) {
    case kPlusClear:
        PlayClear(in);
        return true;
    case kPlusFillRects:
    case kPlusDrawRects:
        PlayRects(type, in);
        return true;
    case kPlusFillEllipse:
    case kPlusDrawEllipse:
    case kPlusFillPie:
    case kPlusDrawPie:
    case kPlusDrawArc:
        PlayEllipseOrArc(type, in);
        return true;
    case kPlusFillPath:
    case kPlusDrawPath:
        PlayPath(type, in);
        return true;
    case kPlusFillRegion:
        PlayRegionFill(in);
        return true;
    default:
        return false;
    }
}

// The whole page, grown by `margin` pixels on every side.
Path RecordPlayer::PageArea(double margin) const {
    const double right = t_.canvas.width() + margin, bottom = t_.canvas.height() + margin;
    Path all;
    all.MoveTo({-margin, -margin});
    all.LineTo({right, -margin});
    all.LineTo({right, bottom});
    all.LineTo({-margin, bottom});
    all.Close();
    return all;
}

void RecordPlayer::PlayClear(ByteReader& in) {
    const uint32_t colour = in.U32();
    Paint paint = Paint::Solid(FromArgb(colour));
    paint.op = CAIRO_OPERATOR_SOURCE;
    Fill(PageArea(0), paint);
}

void RecordPlayer::PlayRects(uint16_t type, ByteReader& in) {
    const bool fill = type == kPlusFillRects;
    const uint32_t brushId = fill ? in.U32() : 0;
    const uint32_t count = in.U32();
    Path path;
    double r[4];
    for (uint32_t i = 0; i < count && ReadRectInto(in, compressed(), r); ++i) {
        path.Append(RectPath(r));
    }
    FillOrStroke(fill, path, brushId, true);
}

void RecordPlayer::PlayEllipseOrArc(uint16_t type, ByteReader& in) {
    const bool fill = type == kPlusFillEllipse || type == kPlusFillPie;
    const uint32_t brushId = fill ? in.U32() : 0;
    double start = 0, sweep = 360;
    if (type == kPlusFillPie || type == kPlusDrawPie || type == kPlusDrawArc) {
        start = in.F32();
        sweep = in.F32();
    }
    double r[4];
    if (!ReadPlusRect(in, compressed(), r)) {
        t_.report.Undrawn();
        return;
    }
    const bool pie = type == kPlusFillPie || type == kPlusDrawPie;
    Path path = ArcPath(r, start, sweep, pie);
    if (type == kPlusFillEllipse || type == kPlusDrawEllipse) {
        path.Close();
    }
    FillOrStroke(fill, path, brushId);
}

void RecordPlayer::PlayPath(uint16_t type, ByteReader& in) {
    const PlusPath* path = Object<PlusPath>(flags_ & 0xFF);
    const uint32_t id = in.U32();
    if (path == nullptr || !in.ok()) {
        t_.report.Undrawn();
        return;
    }
    const Path drawn = path->Transformed(WorldToOutput());
    if (type == kPlusFillPath) {
        if (auto paint = RecordBrush(id)) {
            Fill(drawn, *paint);
        }
    } else {
        Stroke(drawn, id); // the pen's id is in the record, the path's in the flags
    }
}

void RecordPlayer::PlayRegionFill(ByteReader& in) {
    const PlusRegion* region = Object<PlusRegion>(flags_ & 0xFF);
    const uint32_t brushId = in.U32();
    const auto paint = RecordBrush(brushId);
    if (region == nullptr || !paint) {
        t_.report.Undrawn();
        return;
    }
    // Filled as the page seen through the region.
    const Clip saved = s_.clip;
    ClipWithRegion(*region, 1);
    if (!region->empty) {
        Fill(PageArea(1), *paint);
    }
    s_.clip = saved;
}

// ---- lines and curves ----------------------------------------------------------

bool RecordPlayer::PlayLineRecord(uint16_t type, ByteReader& in) {
    switch (type) {
    case kPlusFillPolygon:
    case kPlusDrawLines:
    case kPlusDrawBeziers:
        PlayPoints(type, in);
        return true;
    case kPlusFillClosedCurve:
    case kPlusDrawClosedCurve:
    case kPlusDrawCurve:
        PlayCurve(type, in);
        return true;
    default:
        return false;
    }
}

void RecordPlayer::PlayPoints(uint16_t type, ByteReader& in) {
    const bool fill = type == kPlusFillPolygon;
    const uint32_t brushId = fill ? in.U32() : 0;
    const uint32_t count = in.U32();
    const std::vector<Point> points = ReadPlusPoints(in, count, compressed(), relative());
    const bool close = fill || (type == kPlusDrawLines && (flags_ & kClosed));
    FillOrStroke(fill, PointsPath(points, close, type == kPlusDrawBeziers), brushId);
}

void RecordPlayer::PlayCurve(uint16_t type, ByteReader& in) {
    const bool fill = type == kPlusFillClosedCurve;
    const uint32_t brushId = fill ? in.U32() : 0;
    const double tension = in.F32();
    uint32_t offset = 0, segments = 0;
    if (type == kPlusDrawCurve) {
        offset = in.U32();
        segments = in.U32();
    }
    const uint32_t count = in.U32();
    const std::vector<Point> points = ReadPlusPoints(in, count, compressed(), relative());
    if (!std::isfinite(tension) || points.size() < 2) {
        t_.report.Undrawn();
        return;
    }
    Path drawn;
    AppendCurve(drawn, points, tension, type != kPlusDrawCurve, std::min<size_t>(offset, points.size() - 1),
                type == kPlusDrawCurve ? segments : points.size());
    drawn.Transform(WorldToOutput());
    FillOrStroke(fill, drawn, brushId, (flags_ & kWinding) != 0);
}

// ---- text ----------------------------------------------------------------------

bool RecordPlayer::PlayTextRecord(uint16_t type, ByteReader& in) {
    switch (type) {
    case kPlusDrawString:
        PlayString(in);
        return true;
    case kPlusDrawDriverString:
        PlayDriverString(in);
        return true;
    default:
        return false;
    }
}

void RecordPlayer::PlayString(ByteReader& in) {
    const PlusFont* font = Object<PlusFont>(flags_ & 0xFF);
    const uint32_t brushId = in.U32();
    const uint32_t formatId = in.U32();
    const uint32_t length = in.U32();
    double box[4];
    if (font == nullptr || !ReadPlusRect(in, false, box)) {
        t_.report.Undrawn();
        return;
    }
    std::u32string text = ReadUtf16(in, std::min<uint32_t>(length, 65536), false);
    const PlusStringFormat* format = Object<PlusStringFormat>(formatId);
    BoxText layout;
    const SymbolFont symbol = SymbolFontOf(font->family);
    for (char32_t& c : text) {
        c = SymbolToUnicode(symbol, c);
    }
    layout.utf8 = ToUtf8(text);
    layout.left = box[0];
    layout.top = box[1];
    layout.width = box[2];
    layout.height = box[3];
    if (format != nullptr) {
        auto align = [](uint32_t a) {
            return a == 1 ? BoxText::Align::Center : a == 2 ? BoxText::Align::Far : BoxText::Align::Near;
        };
        layout.align = align(format->align);
        layout.lineAlign = align(format->lineAlign);
        layout.noWrap = (format->flags & 0x1000) != 0;
        layout.rightToLeft = (format->flags & 0x1) != 0;
        layout.vertical = (format->flags & 0x2) != 0;
    }
    DrawBoxText(t_.canvas, s_.clip, FontOf(*font, symbol), EmInWorld(*font), WorldToOutput(), layout,
                TextColour(brushId));
}

void RecordPlayer::PlayDriverString(ByteReader& in) {
    const PlusFont* font = Object<PlusFont>(flags_ & 0xFF);
    const uint32_t brushId = in.U32();
    const uint32_t options = in.U32();
    const uint32_t hasMatrix = in.U32();
    const uint32_t count = std::min<uint32_t>(in.U32(), 65536);
    if (font == nullptr || !in.Holds(count, 10)) {
        t_.report.Undrawn();
        return;
    }
    std::u32string text;
    for (uint32_t i = 0; i < count; ++i) {
        text += static_cast<char32_t>(in.U16());
    }
    const std::vector<Point> at = ReadPlusPoints(in, count, false, false);
    cairo_matrix_t extra = Identity();
    if (hasMatrix && !ReadMatrix(in, extra)) {
        extra = Identity();
    }
    if (!(options & 1)) {
        t_.report.Undrawn(); // glyph indices of a font we may not have
        return;
    }
    const SymbolFont symbol = SymbolFontOf(font->family);
    for (char32_t& c : text) {
        c = SymbolToUnicode(symbol, c);
    }
    // With realized advances only the first position counts.
    const std::vector<Point> placed = (options & 4) && !at.empty() ? std::vector<Point>{at[0]} : at;
    DrawPlacedText(t_.canvas, s_.clip, FontOf(*font, symbol), EmInWorld(*font), Then(extra, WorldToOutput()),
                   text, placed, TextColour(brushId));
}

// ---- images --------------------------------------------------------------------

bool RecordPlayer::PlayImageRecord(uint16_t type, ByteReader& in) {
    if (type != kPlusDrawImage && type != kPlusDrawImagePoints) {
        return false;
    }
    PlayImage(type, in);
    return true;
}

void RecordPlayer::PlayImage(uint16_t type, ByteReader& in) {
    const PlusImage* image = Object<PlusImage>(flags_ & 0xFF);
    in.U32(); // image attributes
    in.I32(); // source unit
    double src[4];
    if (image == nullptr || !image->surface || !ReadPlusRect(in, false, src) || src[2] == 0 || src[3] == 0) {
        t_.report.Undrawn();
        return;
    }
    Point corners[3];
    if (type == kPlusDrawImage) {
        double dest[4];
        if (!ReadPlusRect(in, compressed(), dest)) {
            t_.report.Undrawn();
            return;
        }
        corners[0] = {dest[0], dest[1]};
        corners[1] = {dest[0] + dest[2], dest[1]};
        corners[2] = {dest[0], dest[1] + dest[3]};
    } else {
        const uint32_t count = in.U32();
        const std::vector<Point> points = ReadPlusPoints(in, count, compressed(), relative());
        if (points.size() < 3) {
            t_.report.Undrawn();
            return;
        }
        std::copy(points.begin(), points.begin() + 3, corners);
    }
    // Picture pixels -> the source rectangle -> the parallelogram -> the page.
    const cairo_matrix_t m = WorldToOutput();
    const double pixelsX = cairo_image_surface_get_width(image->surface.get()) / image->width;
    const double pixelsY = cairo_image_surface_get_height(image->surface.get()) / image->height;
    cairo_matrix_t unsample, pick, place;
    cairo_matrix_init_scale(&unsample, 1 / pixelsX, 1 / pixelsY);
    cairo_matrix_init_translate(&pick, -src[0], -src[1]);
    cairo_matrix_init(&place, (corners[1].x - corners[0].x) / src[2], (corners[1].y - corners[0].y) / src[2],
                      (corners[2].x - corners[0].x) / src[3], (corners[2].y - corners[0].y) / src[3],
                      corners[0].x, corners[0].y);
    const cairo_matrix_t pictureToOutput = Then(Then(Then(unsample, pick), place), m);
    // A source rectangle reaching past the picture shows nothing there: only
    // the part of it the picture covers is painted, not its edges stretched.
    const double left = std::max(std::min(src[0], src[0] + src[2]), 0.0);
    const double right = std::min(std::max(src[0], src[0] + src[2]), image->width);
    const double top = std::max(std::min(src[1], src[1] + src[3]), 0.0);
    const double bottom = std::min(std::max(src[1], src[1] + src[3]), image->height);
    if (!(left < right && top < bottom)) {
        return;
    }
    const cairo_matrix_t sourceToOutput = Then(Then(pick, place), m);
    Path area;
    area.MoveTo(Apply(sourceToOutput, {left, top}));
    area.LineTo(Apply(sourceToOutput, {right, top}));
    area.LineTo(Apply(sourceToOutput, {right, bottom}));
    area.LineTo(Apply(sourceToOutput, {left, bottom}));
    area.Close();
    t_.canvas.DrawPicture(image->surface.get(), pictureToOutput, area, CAIRO_OPERATOR_OVER, 1.0, true,
                          s_.clip);
}

// Records with nothing to draw, or with settings the page does not need.
bool NeedsNothing(uint16_t type) {
    switch (type) {
    case kPlusStrokeFillPath:
    case kPlusEndOfFile:
    case kPlusComment:
    case kPlusGetDc:
    case kPlusMultiFormatStart:
    case kPlusMultiFormatSection:
    case kPlusMultiFormatEnd:
    case kPlusSetRenderingOrigin:
    case kPlusSetAntiAliasMode:
    case kPlusSetTextRenderingHint:
    case kPlusSetTextContrast:
    case kPlusSetInterpolationMode:
    case kPlusSetPixelOffsetMode:
    case kPlusSetCompositingMode:
    case kPlusSetCompositingQuality:
    case kPlusSerializableObject:
    case kPlusSetTsGraphics:
    case kPlusSetTsClip:
        return true;
    default:
        return false;
    }
}
} // namespace

EmfPlusPlayer::EmfPlusPlayer(PlaybackTarget& target)
    : target_(target), state_(std::make_unique<EmfPlusState>()) {}
EmfPlusPlayer::~EmfPlusPlayer() = default;

EmfPlusPlayer::CommentResult EmfPlusPlayer::Inspect(const EmfRecord& record) {
    CommentResult result;
    result.isEmfPlus = WalkComment(record, [&](uint16_t type, uint16_t, std::string_view) {
        result.drew = result.drew || Draws(type);
        result.getDc = result.getDc || type == kPlusGetDc;
    });
    return result;
}

bool EmfPlusPlayer::CanDraw(const EmfFile& file) {
    bool draws = false;
    bool unknown = false;
    bool dual = true;
    for (const EmfRecord& record : file.records) {
        if (record.type != kEmrComment) {
            continue;
        }
        WalkComment(record, [&](uint16_t type, uint16_t flags, std::string_view) {
            draws = draws || Draws(type);
            unknown = unknown || !Known(type);
            if (type == kPlusHeader) {
                dual = (flags & 1) != 0;
            }
        });
    }
    // A file drawn only in EMF+ has nothing else to fall back on.
    return draws && (!unknown || !dual);
}

EmfPlusPlayer::CommentResult EmfPlusPlayer::PlayComment(const EmfRecord& record) {
    CommentResult result;
    result.isEmfPlus = WalkComment(record, [&](uint16_t type, uint16_t flags, std::string_view data) {
        result.drew = result.drew || Draws(type);
        result.getDc = result.getDc || type == kPlusGetDc;
        RecordPlayer p(*state_, target_, flags);
        if (type != kPlusObject) {
            p.FinishPendingObject();
        }
        ByteReader in(data);
        const bool known = p.PlayObjectRecord(type, data, in) || p.PlayStateRecord(type, in) ||
                           p.PlayClipRecord(type, in) || p.PlayShapeRecord(type, in) ||
                           p.PlayLineRecord(type, in) || p.PlayTextRecord(type, in) ||
                           p.PlayImageRecord(type, in) || NeedsNothing(type);
        if (!known) {
            target_.report.Unknown(type);
        }
    });
    return result;
}

} // namespace metafile

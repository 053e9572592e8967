#include "Canvas.h"

#include "PathGradient.h"

#include <algorithm>
#include <cmath>

namespace metafile {
namespace {

// Cairo keeps coordinates in 24.8 fixed point: far beyond the page, points
// are pulled in so that they cannot wrap around and land on it.
constexpr double kFarthest = 4e6;
// A dash pattern that would cut a path into more pieces than this is drawn
// solid: the pieces would be far below a pixel, and a hostile file could make
// cairo work for hours.
constexpr double kMostDashes = 200000;
// A clip made of more shapes or points than these is a hostile file's, not a
// drawing's: every shape drawn afterwards would be clipped against all of it.
constexpr size_t kMostClipShapes = 256;
constexpr size_t kMostClipOps = 200000;

Point Clamp(Point p) {
    auto clamp = [](double v) { return std::isfinite(v) ? std::clamp(v, -kFarthest, kFarthest) : 0.0; };
    return {clamp(p.x), clamp(p.y)};
}

uint8_t HatchBits(int style, int row) {
    switch (style) {
    case 0:
        return row == 3 ? 0xFF : 0x00; // HS_HORIZONTAL
    case 1:
        return 0x08; // HS_VERTICAL
    case 2:
        return static_cast<uint8_t>(0x80 >> row); // HS_FDIAGONAL
    case 3:
        return static_cast<uint8_t>(0x01 << row); // HS_BDIAGONAL
    case 4:
        return row == 3 ? 0xFF : 0x08; // HS_CROSS
    default:
        return static_cast<uint8_t>((0x80 >> row) | (0x01 << row)); // HS_DIAGCROSS
    }
}

} // namespace

bool CombineClip(Clip& clip, const Path& region, cairo_fill_rule_t rule, uint32_t mode, double width,
                 double height) {
    size_t size = region.size();
    for (const Clip::Shape& shape : clip.shapes) {
        size += shape.path.size();
    }
    if (clip.shapes.size() >= kMostClipShapes || (mode != 5 && size > kMostClipOps)) {
        return false;
    }
    auto everythingBut = [&](const Path& hole) {
        Path outside;
        outside.MoveTo({-10, -10});
        outside.LineTo({width + 10, -10});
        outside.LineTo({width + 10, height + 10});
        outside.LineTo({-10, height + 10});
        outside.Close();
        outside.Append(hole);
        return Clip::Shape{outside, CAIRO_FILL_RULE_EVEN_ODD};
    };
    switch (mode) {
    case 5:
        clip.shapes = {Clip::Shape{region, rule}};
        break;
    case 1:
        clip.shapes.push_back({region, rule});
        break;
    case 4:
        clip.shapes.push_back(everythingBut(region));
        break;
    case 2:
    case 3:
        // A union with "everything" is everything; with one shape, both
        // shapes filled together (rectangles turn the same way, so the
        // winding rule makes their union).
        if (clip.shapes.size() == 1) {
            Clip::Shape merged = clip.shapes.front();
            merged.path.Append(region);
            merged.rule = mode == 3 ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING;
            clip.shapes = {merged};
        } else if (!clip.shapes.empty()) {
            clip.shapes = {Clip::Shape{region, rule}};
        }
        break;
    default:
        break;
    }
    return true;
}

Rgba FromColorRef(uint32_t colorRef) {
    return {(colorRef & 0xFF) / 255.0, ((colorRef >> 8) & 0xFF) / 255.0, ((colorRef >> 16) & 0xFF) / 255.0,
            1.0};
}

Rgba FromArgb(uint32_t argb) {
    return {((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
            ((argb >> 24) & 0xFF) / 255.0};
}

void Path::MoveTo(Point p) {
    p = Clamp(p);
    ops_.push_back({Kind::Move, {p}});
    current_ = figureStart_ = p;
    hasCurrent_ = true;
}

void Path::LineTo(Point p) {
    if (!hasCurrent_) {
        MoveTo(p);
        return;
    }
    p = Clamp(p);
    ops_.push_back({Kind::Line, {p}});
    current_ = p;
}

void Path::CurveTo(Point c1, Point c2, Point p) {
    if (!hasCurrent_) {
        MoveTo(c1);
    }
    p = Clamp(p);
    ops_.push_back({Kind::Curve, {Clamp(c1), Clamp(c2), p}});
    current_ = p;
}

void Path::Close() {
    if (hasCurrent_) {
        ops_.push_back({Kind::Close, {}});
        current_ = figureStart_;
    }
}

void Path::Append(const Path& other) {
    ops_.insert(ops_.end(), other.ops_.begin(), other.ops_.end());
    if (other.hasCurrent_) {
        current_ = other.current_;
        figureStart_ = other.figureStart_;
        hasCurrent_ = true;
    }
}

bool Path::operator==(const Path& other) const {
    return std::equal(
        ops_.begin(), ops_.end(), other.ops_.begin(), other.ops_.end(), [](const Op& a, const Op& b) {
            return a.kind == b.kind && a.p[0].x == b.p[0].x && a.p[0].y == b.p[0].y && a.p[1].x == b.p[1].x &&
                   a.p[1].y == b.p[1].y && a.p[2].x == b.p[2].x && a.p[2].y == b.p[2].y;
        });
}

void Path::Translate(double dx, double dy) {
    for (Op& op : ops_) {
        for (Point& p : op.p) {
            p = Clamp({p.x + dx, p.y + dy});
        }
    }
    current_ = {current_.x + dx, current_.y + dy};
    figureStart_ = {figureStart_.x + dx, figureStart_.y + dy};
}

void Path::Transform(const cairo_matrix_t& m) {
    auto apply = [&](Point& p) {
        double x = p.x, y = p.y;
        cairo_matrix_transform_point(&m, &x, &y);
        p = Clamp({x, y});
    };
    for (Op& op : ops_) {
        for (Point& p : op.p) {
            apply(p);
        }
    }
    apply(current_);
    apply(figureStart_);
}

double Path::Length() const {
    double length = 0;
    Point at, start;
    for (const Op& op : ops_) {
        auto step = [&](Point to) {
            length += std::hypot(to.x - at.x, to.y - at.y);
            at = to;
        };
        switch (op.kind) {
        case Kind::Move:
            at = start = op.p[0];
            break;
        case Kind::Line:
            step(op.p[0]);
            break;
        case Kind::Curve:
            step(op.p[0]);
            step(op.p[1]);
            step(op.p[2]);
            break;
        case Kind::Close:
            step(start);
            break;
        }
    }
    return length;
}

namespace {

bool Same(Point a, Point b) {
    return std::fabs(a.x - b.x) < 1e-9 && std::fabs(a.y - b.y) < 1e-9;
}

} // namespace

std::vector<std::array<Path::End, 2>> Path::OpenEnds() const {
    std::vector<std::array<End, 2>> ends;
    size_t first = 0;
    while (first < ops_.size()) {
        size_t last = first + 1;
        while (last < ops_.size() && ops_[last].kind != Kind::Move) {
            ++last;
        }
        // ops_[first, last) is one figure; a closed one has no ends.
        const bool closed = ops_[last - 1].kind == Kind::Close;
        if (ops_[first].kind == Kind::Move && !closed && last - first > 1) {
            // The points of the figure in order, control points included:
            // the first one away from an end gives the direction there.
            std::vector<Point> points{ops_[first].p[0]};
            for (size_t i = first + 1; i < last; ++i) {
                const int n = ops_[i].kind == Kind::Curve ? 3 : 1;
                for (int k = 0; k < n; ++k) {
                    points.push_back(ops_[i].p[k]);
                }
            }
            const Point start = points.front(), end = points.back();
            auto away = [&](auto begin, auto stop, Point from) -> const Point* {
                for (auto it = begin; it != stop; ++it) {
                    if (!Same(*it, from)) {
                        return &*it;
                    }
                }
                return nullptr;
            };
            const Point* afterStart = away(points.begin(), points.end(), start);
            const Point* beforeEnd = away(points.rbegin(), points.rend(), end);
            if (afterStart != nullptr && beforeEnd != nullptr) {
                ends.push_back({End{start, *afterStart}, End{end, *beforeEnd}});
            }
        }
        first = last;
    }
    return ends;
}

void Path::TrimOpenEnds(double atStart, double atEnd) {
    auto pull = [](Point& moved, Point fixed, double by) {
        const double length = std::hypot(moved.x - fixed.x, moved.y - fixed.y);
        if (length > 0 && by > 0) {
            const double f = std::min(by, length) / length;
            moved = {moved.x + (fixed.x - moved.x) * f, moved.y + (fixed.y - moved.y) * f};
        }
    };
    size_t first = 0;
    while (first < ops_.size()) {
        size_t last = first + 1;
        while (last < ops_.size() && ops_[last].kind != Kind::Move) {
            ++last;
        }
        const bool closed = ops_[last - 1].kind == Kind::Close;
        if (ops_[first].kind == Kind::Move && !closed && last - first > 1) {
            if (ops_[first + 1].kind == Kind::Line) {
                pull(ops_[first].p[0], ops_[first + 1].p[0], atStart);
            }
            if (ops_[last - 1].kind == Kind::Line) {
                const Point before =
                    ops_[last - 2].kind == Kind::Curve ? ops_[last - 2].p[2] : ops_[last - 2].p[0];
                pull(ops_[last - 1].p[0], before, atEnd);
            }
        }
        first = last;
    }
}

void Path::AppendTo(cairo_t* cr) const {
    for (const Op& op : ops_) {
        switch (op.kind) {
        case Kind::Move:
            cairo_move_to(cr, op.p[0].x, op.p[0].y);
            break;
        case Kind::Line:
            cairo_line_to(cr, op.p[0].x, op.p[0].y);
            break;
        case Kind::Curve:
            cairo_curve_to(cr, op.p[0].x, op.p[0].y, op.p[1].x, op.p[1].y, op.p[2].x, op.p[2].y);
            break;
        case Kind::Close:
            cairo_close_path(cr);
            break;
        }
    }
}

Canvas::Canvas(int width, int height)
    : Canvas(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), width, height) {}

Canvas::Canvas(cairo_surface_t* surface, int width, int height)
    : width_(width), height_(height), surface_(surface), cr_(cairo_create(surface_)) {
    cairo_set_source_rgb(cr_, 1, 1, 1);
    cairo_paint(cr_);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_GOOD);
    cairo_set_tolerance(cr_, 0.1);
}

Canvas::~Canvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

const unsigned char* Canvas::data() const {
    cairo_surface_flush(surface_);
    return cairo_image_surface_get_data(surface_);
}

int Canvas::stride() const {
    return cairo_image_surface_get_stride(surface_);
}

void Canvas::ApplyClip(const Clip& clip) {
    if (clip == applied_) {
        return;
    }
    cairo_reset_clip(cr_);
    for (const Clip::Shape& shape : clip.shapes) {
        cairo_new_path(cr_);
        shape.path.AppendTo(cr_);
        cairo_set_fill_rule(cr_, shape.rule);
        cairo_clip(cr_);
    }
    cairo_new_path(cr_);
    applied_ = clip;
}

bool Canvas::SetSource(const Paint& paint) {
    cairo_set_operator(cr_, paint.op);
    switch (paint.kind) {
    case Paint::Kind::None:
        return false;
    case Paint::Kind::Solid:
        cairo_set_source_rgba(cr_, paint.colour.r, paint.colour.g, paint.colour.b, paint.colour.a);
        return true;
    case Paint::Kind::Hatch: {
        // Hatches are 8 x 8 pixels of the device they are drawn on.
        Surface tile = NewSurface(8, 8);
        if (!tile) {
            return false;
        }
        cairo_t* t = cairo_create(tile.get());
        if (paint.opaqueBackground) {
            cairo_set_source_rgba(t, paint.background.r, paint.background.g, paint.background.b, 1);
            cairo_paint(t);
        }
        cairo_set_source_rgba(t, paint.colour.r, paint.colour.g, paint.colour.b, paint.colour.a);
        for (int row = 0; row < 8; ++row) {
            const uint8_t bits = HatchBits(paint.hatchStyle, row);
            for (int column = 0; column < 8; ++column) {
                if ((bits >> (7 - column)) & 1) {
                    cairo_rectangle(t, column, row, 1, 1);
                }
            }
        }
        cairo_fill(t);
        cairo_destroy(t);
        cairo_matrix_t outputToCell = paint.pictureToOutput;
        if (cairo_matrix_invert(&outputToCell) != CAIRO_STATUS_SUCCESS) {
            return false;
        }
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(tile.get());
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
        cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
        cairo_pattern_set_matrix(pattern, &outputToCell);
        cairo_set_source(cr_, pattern);
        cairo_pattern_destroy(pattern);
        return true;
    }
    case Paint::Kind::Pattern: {
        if (!paint.picture) {
            return false;
        }
        cairo_matrix_t outputToPicture = paint.pictureToOutput;
        if (cairo_matrix_invert(&outputToPicture) != CAIRO_STATUS_SUCCESS) {
            return false;
        }
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(paint.picture.get());
        cairo_pattern_set_extend(pattern,
                                 paint.extend == CAIRO_EXTEND_PAD ? CAIRO_EXTEND_REPEAT : paint.extend);
        cairo_pattern_set_matrix(pattern, &outputToPicture);
        cairo_set_source(cr_, pattern);
        cairo_pattern_destroy(pattern);
        return true;
    }
    case Paint::Kind::LinearGradient:
    case Paint::Kind::RadialGradient:
    case Paint::Kind::PathGradient: {
        cairo_matrix_t outputToGradient = paint.pictureToOutput;
        if (cairo_matrix_invert(&outputToGradient) != CAIRO_STATUS_SUCCESS) {
            return false;
        }
        cairo_pattern_t* pattern = nullptr;
        if (paint.kind == Paint::Kind::PathGradient) {
            pattern = NewPathGradientPattern(paint);
            if (pattern == nullptr) {
                return false;
            }
        } else {
            pattern = paint.kind == Paint::Kind::LinearGradient
                          ? cairo_pattern_create_linear(paint.from.x, paint.from.y, paint.to.x, paint.to.y)
                          : cairo_pattern_create_radial(
                                paint.from.x, paint.from.y, 0, paint.from.x, paint.from.y,
                                std::hypot(paint.to.x - paint.from.x, paint.to.y - paint.from.y));
            for (const auto& [offset, colour] : paint.stops) {
                cairo_pattern_add_color_stop_rgba(pattern, std::clamp(offset, 0.0, 1.0), colour.r, colour.g,
                                                  colour.b, colour.a);
            }
            cairo_pattern_set_extend(pattern, paint.extend);
        }
        cairo_pattern_set_matrix(pattern, &outputToGradient);
        cairo_set_source(cr_, pattern);
        const bool ok = cairo_pattern_status(pattern) == CAIRO_STATUS_SUCCESS;
        cairo_pattern_destroy(pattern);
        return ok;
    }
    }
    return false;
}

void Canvas::Fill(const Path& path, cairo_fill_rule_t rule, const Paint& paint, const Clip& clip) {
    if (path.empty()) {
        return;
    }
    ApplyClip(clip);
    cairo_save(cr_);
    if (SetSource(paint)) {
        path.AppendTo(cr_);
        cairo_set_fill_rule(cr_, rule);
        cairo_fill(cr_);
    }
    cairo_restore(cr_);
    cairo_new_path(cr_);
}

void Canvas::Stroke(const Path& path, const StrokeStyle& stroke, const Clip& clip) {
    if (path.empty() || !(stroke.width > 0) || !std::isfinite(stroke.width)) {
        return;
    }
    ApplyClip(clip);
    cairo_save(cr_);
    if (SetSource(stroke.paint)) {
        StrokeOutline(path, stroke);
    }
    cairo_restore(cr_);
    cairo_new_path(cr_);
}

void Canvas::StrokeOutline(const Path& path, const StrokeStyle& stroke) {
    path.AppendTo(cr_);
    cairo_set_line_width(cr_, std::min(stroke.width, kFarthest));
    cairo_set_line_cap(cr_, stroke.cap);
    cairo_set_line_join(cr_, stroke.join);
    cairo_set_miter_limit(cr_, std::max(1.0, stroke.miterLimit));
    double period = 0;
    for (double dash : stroke.dashes) {
        period += dash;
    }
    if (!stroke.dashes.empty() && period > 0 && path.Length() / period < kMostDashes) {
        cairo_set_dash(cr_, stroke.dashes.data(), static_cast<int>(stroke.dashes.size()), 0);
    }
    cairo_stroke(cr_);
    cairo_set_dash(cr_, nullptr, 0, 0);
}

void Canvas::StrokeWithEnds(const Path& path, const StrokeStyle& stroke, const Path& endFill,
                            const Path& endOutline, const Clip& clip) {
    if (endFill.empty() && endOutline.empty()) {
        Stroke(path, stroke, clip);
        return;
    }
    if (!(stroke.width > 0) || !std::isfinite(stroke.width)) {
        return;
    }
    ApplyClip(clip);
    cairo_save(cr_);
    // The coverage of line and ends together first, then the pen's paint
    // through it once.
    cairo_push_group_with_content(cr_, CAIRO_CONTENT_ALPHA);
    cairo_set_source_rgba(cr_, 0, 0, 0, 1);
    if (!path.empty()) {
        StrokeOutline(path, stroke);
    }
    endFill.AppendTo(cr_);
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr_);
    if (!endOutline.empty()) {
        StrokeStyle solid = stroke;
        solid.dashes.clear();
        StrokeOutline(endOutline, solid);
    }
    cairo_pattern_t* coverage = cairo_pop_group(cr_);
    if (SetSource(stroke.paint)) {
        cairo_mask(cr_, coverage);
    }
    cairo_pattern_destroy(coverage);
    cairo_restore(cr_);
    cairo_new_path(cr_);
}

void Canvas::DrawPicture(cairo_surface_t* picture, const cairo_matrix_t& pictureToOutput, const Path& area,
                         cairo_operator_t op, double opacity, bool smooth, const Clip& clip) {
    cairo_matrix_t outputToPicture = pictureToOutput;
    if (picture == nullptr || cairo_matrix_invert(&outputToPicture) != CAIRO_STATUS_SUCCESS) {
        return;
    }
    ApplyClip(clip);
    cairo_save(cr_);
    area.AppendTo(cr_);
    cairo_clip(cr_);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(picture);
    cairo_pattern_set_matrix(pattern, &outputToPicture);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, smooth ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
    cairo_set_source(cr_, pattern);
    cairo_set_operator(cr_, op);
    cairo_paint_with_alpha(cr_, std::clamp(opacity, 0.0, 1.0));
    cairo_pattern_destroy(pattern);
    cairo_restore(cr_);
    cairo_new_path(cr_);
}

void Canvas::MaskedFill(const Paint& paint, cairo_surface_t* mask, const cairo_matrix_t& maskToOutput,
                        const Path& area, bool smooth, const Clip& clip) {
    cairo_matrix_t outputToMask = maskToOutput;
    if (mask == nullptr || cairo_matrix_invert(&outputToMask) != CAIRO_STATUS_SUCCESS) {
        return;
    }
    ApplyClip(clip);
    cairo_save(cr_);
    area.AppendTo(cr_);
    cairo_clip(cr_);
    if (SetSource(paint)) {
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(mask);
        cairo_pattern_set_matrix(pattern, &outputToMask);
        cairo_pattern_set_filter(pattern, smooth ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
        cairo_mask(cr_, pattern);
        cairo_pattern_destroy(pattern);
    }
    cairo_restore(cr_);
    cairo_new_path(cr_);
}

} // namespace metafile

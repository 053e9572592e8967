#include "GdiPlayer.h"

#include "Dib.h"
#include "RecordTypes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace metafile {
namespace {

constexpr uint32_t kPsStyleMask = 0x0F, kPsDash = 1, kPsDot = 2, kPsDashDot = 3, kPsDashDotDot = 4,
                   kPsNull = 5, kPsUserStyle = 7, kPsAlternate = 8;
constexpr uint32_t kPsEndCapMask = 0xF00, kPsEndCapSquare = 0x100, kPsEndCapFlat = 0x200;
constexpr uint32_t kPsJoinMask = 0xF000, kPsJoinBevel = 0x1000, kPsJoinMiter = 0x2000;
constexpr uint32_t kRgnAnd = 1, kRgnDiff = 4, kRgnCopy = 5;
// No metafile nests its saved states this deep; a hostile one could try.
constexpr size_t kDeepestSave = 10000;
constexpr double kPi = 3.14159265358979323846;

double Sign(double v) {
    return v < 0 ? -1 : 1;
}

} // namespace

GdiPlayer::GdiPlayer(PlaybackTarget& target) : target_(target) {}

// ---- transformations -------------------------------------------------------

cairo_matrix_t GdiPlayer::PageToDevice() const {
    double sx = 1, sy = 1;
    const double mmX = target_.pixelsPerMmX, mmY = target_.pixelsPerMmY;
    switch (state_.mapMode) {
    case 2:
        sx = 0.1 * mmX, sy = -0.1 * mmY;
        break; // MM_LOMETRIC
    case 3:
        sx = 0.01 * mmX, sy = -0.01 * mmY;
        break; // MM_HIMETRIC
    case 4:
        sx = 0.254 * mmX, sy = -0.254 * mmY;
        break; // MM_LOENGLISH
    case 5:
        sx = 0.0254 * mmX, sy = -0.0254 * mmY;
        break; // MM_HIENGLISH
    case 6:
        sx = 25.4 / 1440 * mmX, sy = -25.4 / 1440 * mmY;
        break; // MM_TWIPS
    case 7:    // MM_ISOTROPIC
    case 8: {  // MM_ANISOTROPIC
        const Point& w = state_.windowExt;
        const Point& v = state_.viewportExt;
        sx = w.x != 0 ? v.x / w.x : 1;
        sy = w.y != 0 ? v.y / w.y : 1;
        if (state_.mapMode == 7) {
            const double m = std::min(std::fabs(sx), std::fabs(sy));
            sx = Sign(sx) * m;
            sy = Sign(sy) * m;
        }
        break;
    }
    default:
        break;
    }
    if (!std::isfinite(sx) || sx == 0) {
        sx = 1;
    }
    if (!std::isfinite(sy) || sy == 0) {
        sy = 1;
    }
    cairo_matrix_t m;
    cairo_matrix_init(&m, sx, 0, 0, sy, state_.viewportOrg.x - state_.windowOrg.x * sx,
                      state_.viewportOrg.y - state_.windowOrg.y * sy);
    return m;
}

cairo_matrix_t GdiPlayer::LogicalToOutput() const {
    return Then(Then(state_.world, PageToDevice()), target_.deviceToOutput);
}

double GdiPlayer::LogicalScaleX() const {
    const cairo_matrix_t m = LogicalToOutput();
    return std::hypot(m.xx, m.yx);
}

double GdiPlayer::LogicalScaleY() const {
    const cairo_matrix_t m = LogicalToOutput();
    return std::hypot(m.xy, m.yy);
}

// ---- pens and brushes --------------------------------------------------------

namespace {

// A cosmetic pen's dashes, counted in pixels of the page.
std::vector<double> CosmeticDashes(const GdiPen& pen) {
    switch (pen.style & kPsStyleMask) {
    case kPsDash:
        return {18, 6};
    case kPsDot:
        return {3, 3};
    case kPsDashDot:
        return {9, 6, 3, 6};
    case kPsDashDotDot:
        return {9, 3, 3, 3, 3, 3};
    case kPsAlternate:
        return {1, 1};
    case kPsUserStyle:
        return pen.userDashes;
    default:
        return {};
    }
}

cairo_line_cap_t GeometricCap(uint32_t style) {
    switch (style & kPsEndCapMask) {
    case kPsEndCapSquare:
        return CAIRO_LINE_CAP_SQUARE;
    case kPsEndCapFlat:
        return CAIRO_LINE_CAP_BUTT;
    default:
        return CAIRO_LINE_CAP_ROUND;
    }
}

cairo_line_join_t GeometricJoin(uint32_t style) {
    switch (style & kPsJoinMask) {
    case kPsJoinBevel:
        return CAIRO_LINE_JOIN_BEVEL;
    case kPsJoinMiter:
        return CAIRO_LINE_JOIN_MITER;
    default:
        return CAIRO_LINE_JOIN_ROUND;
    }
}

// A geometric pen's dashes: the styles in multiples of the line's width, a
// user style in logical units.
std::vector<double> GeometricDashes(const GdiPen& pen, double width, double scale, cairo_line_cap_t cap) {
    std::vector<double> units;
    switch (pen.style & kPsStyleMask) {
    case kPsDash:
        units = {3, 1};
        break;
    case kPsDot:
    case kPsAlternate:
        units = {1, 1};
        break;
    case kPsDashDot:
        units = {3, 1, 1, 1};
        break;
    case kPsDashDotDot:
        units = {3, 1, 1, 1, 1, 1};
        break;
    default:
        break;
    }
    std::vector<double> dashes;
    for (double unit : units) {
        dashes.push_back(unit * width);
    }
    if ((pen.style & kPsStyleMask) == kPsUserStyle) {
        for (double dash : pen.userDashes) {
            dashes.push_back(dash * scale);
        }
    }
    if (dashes.size() % 2 == 0 && cap != CAIRO_LINE_CAP_BUTT) {
        // Round and square caps grow every dash by the width; GDI keeps the
        // pattern's rhythm, so take it from the dashes and give it to the gaps.
        for (size_t i = 0; i + 1 < dashes.size(); i += 2) {
            const double taken = std::min(dashes[i], width);
            dashes[i] -= taken;
            dashes[i + 1] += taken;
        }
    }
    return dashes;
}

} // namespace

std::optional<StrokeStyle> GdiPlayer::CurrentStroke() const {
    const GdiPen& pen = state_.pen;
    if ((pen.style & kPsStyleMask) == kPsNull) {
        return std::nullopt;
    }
    StrokeStyle stroke;
    stroke.paint = Paint::Solid(FromColorRef(pen.colour));
    ApplyRop2(stroke.paint);
    if (stroke.paint.kind == Paint::Kind::None) {
        return std::nullopt;
    }
    stroke.miterLimit = state_.miterLimit;
    if (pen.cosmetic) {
        // One pixel of the page whatever the scale.
        stroke.width = 1;
        stroke.cap = CAIRO_LINE_CAP_BUTT;
        stroke.join = CAIRO_LINE_JOIN_MITER;
        stroke.dashes = CosmeticDashes(pen);
        return stroke;
    }
    const double scale = (LogicalScaleX() + LogicalScaleY()) / 2;
    // GDI never draws a line thinner than a pixel.
    stroke.width = std::max(1.0, pen.width * scale);
    stroke.cap = GeometricCap(pen.style);
    stroke.join = GeometricJoin(pen.style);
    stroke.dashes = GeometricDashes(pen, stroke.width, scale, stroke.cap);
    return stroke;
}

Paint GdiPlayer::BrushPaint(const GdiBrush& brush) const {
    Paint paint;
    const double scale = std::max(target_.outputPerDevice, 0.125);
    cairo_matrix_t place;
    const Point origin = Apply(target_.deviceToOutput, state_.brushOrigin);
    cairo_matrix_init(&place, scale, 0, 0, scale, origin.x, origin.y);
    switch (brush.kind) {
    case GdiBrush::Kind::Null:
        return paint;
    case GdiBrush::Kind::Solid:
        paint = Paint::Solid(FromColorRef(brush.colour));
        break;
    case GdiBrush::Kind::Hatched:
        paint.kind = Paint::Kind::Hatch;
        paint.colour = FromColorRef(brush.colour);
        paint.hatchStyle = brush.hatch;
        paint.opaqueBackground = state_.backgroundMode == 2;
        paint.background = FromColorRef(state_.backgroundColour);
        paint.pictureToOutput = place;
        break;
    case GdiBrush::Kind::Pattern: {
        MonochromeColours colours =
            MonochromeColours::FromColorRefs(state_.textColour, state_.backgroundColour);
        DibRequest request;
        request.info = brush.info;
        request.bits = brush.bits;
        request.monochrome = brush.monochrome ? &colours : nullptr;
        Surface picture = DecodeDib(request);
        if (!picture) {
            paint = Paint::Solid(FromColorRef(brush.colour));
            break;
        }
        paint.kind = Paint::Kind::Pattern;
        paint.picture = std::shared_ptr<cairo_surface_t>(picture.release(), cairo_surface_destroy);
        paint.pictureToOutput = place;
        paint.extend = CAIRO_EXTEND_REPEAT;
        break;
    }
    }
    ApplyRop2(paint);
    return paint;
}

void GdiPlayer::ApplyRop2(Paint& paint) const {
    switch (state_.rop2) {
    case 1:
        paint = Paint::Solid({0, 0, 0, 1});
        break; // R2_BLACK
    case 16:
        paint = Paint::Solid({1, 1, 1, 1});
        break; // R2_WHITE
    case 11:
        paint = Paint();
        break; // R2_NOP
    case 6:    // R2_NOT
        paint = Paint::Solid({1, 1, 1, 1});
        paint.op = CAIRO_OPERATOR_DIFFERENCE;
        break;
    case 4: // R2_NOTCOPYPEN
        if (paint.kind == Paint::Kind::Solid) {
            paint.colour = {1 - paint.colour.r, 1 - paint.colour.g, 1 - paint.colour.b, paint.colour.a};
        }
        break;
    case 7:
        paint.op = CAIRO_OPERATOR_DIFFERENCE;
        break; // R2_XORPEN
    case 9:
        paint.op = CAIRO_OPERATOR_MULTIPLY;
        break; // R2_MASKPEN
    case 15:
        paint.op = CAIRO_OPERATOR_LIGHTEN;
        break; // R2_MERGEPEN
    default:
        break;
    }
}

cairo_fill_rule_t GdiPlayer::FillRule() const {
    return state_.polyFillMode == 2 ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD;
}

// ---- drawing -----------------------------------------------------------------

void GdiPlayer::AddToBracket(const Path& path) {
    bracket_.Append(path);
}

void GdiPlayer::DrawShape(const Path& path, bool fill, bool stroke) {
    if (inBracket_) {
        AddToBracket(path);
        return;
    }
    if (fill) {
        target_.canvas.Fill(path, FillRule(), CurrentFill(), state_.clip);
    }
    if (stroke) {
        if (const auto style = CurrentStroke()) {
            target_.canvas.Stroke(path, *style, state_.clip);
        }
    }
}

Path GdiPlayer::RectPath(double left, double top, double right, double bottom) const {
    Path path;
    path.MoveTo(ToOutput({left, top}));
    path.LineTo(ToOutput({right, top}));
    path.LineTo(ToOutput({right, bottom}));
    path.LineTo(ToOutput({left, bottom}));
    path.Close();
    return path;
}

void GdiPlayer::ReadPoints(ByteReader& in, uint32_t count, bool small, std::vector<Point>& points) const {
    if (!in.Holds(count, small ? 4 : 8)) {
        count = static_cast<uint32_t>(in.remaining() / (small ? 4 : 8));
    }
    points.reserve(points.size() + count);
    for (uint32_t i = 0; i < count; ++i) {
        if (small) {
            const double x = in.I16();
            points.push_back({x, static_cast<double>(in.I16())});
        } else {
            const double x = in.I32();
            points.push_back({x, static_cast<double>(in.I32())});
        }
    }
}

void GdiPlayer::ArcPath(Path& path, const IntRect& box, Point start, Point end, bool connect) const {
    const double left = std::min(box.left, box.right), right = std::max(box.left, box.right);
    const double top = std::min(box.top, box.bottom), bottom = std::max(box.top, box.bottom);
    const double cx = (left + right) / 2, cy = (top + bottom) / 2;
    const double rx = (right - left) / 2, ry = (bottom - top) / 2;
    if (rx <= 0 || ry <= 0) {
        return;
    }
    const double a0 = std::atan2((start.y - cy) / ry, (start.x - cx) / rx);
    double a1 = std::atan2((end.y - cy) / ry, (end.x - cx) / rx);
    // Counterclockwise as seen on the page: with y growing downwards that is
    // toward smaller angles, unless the mapping turns the page over.
    const cairo_matrix_t m = LogicalToOutput();
    const bool flipped = m.xx * m.yy - m.xy * m.yx < 0;
    const bool decreasing = state_.clockwiseArcs == flipped;
    if (decreasing) {
        if (a1 >= a0) {
            a1 -= 2 * kPi;
        }
    } else if (a1 <= a0) {
        a1 += 2 * kPi;
    }
    const int segments = std::max(1, static_cast<int>(std::ceil(std::fabs(a1 - a0) / (kPi / 2) - 1e-9)));
    const double step = (a1 - a0) / segments;
    const double k = 4.0 / 3.0 * std::tan(step / 4);
    auto at = [&](double a) { return Point{cx + rx * std::cos(a), cy + ry * std::sin(a)}; };
    const Point first = ToOutput(at(a0));
    if (connect && path.HasCurrentPoint()) {
        path.LineTo(first);
    } else {
        path.MoveTo(first);
    }
    for (int i = 0; i < segments; ++i) {
        const double s = a0 + i * step, e = s + step;
        const Point p1{cx + rx * (std::cos(s) - k * std::sin(s)), cy + ry * (std::sin(s) + k * std::cos(s))};
        const Point p2{cx + rx * (std::cos(e) + k * std::sin(e)), cy + ry * (std::sin(e) - k * std::cos(e))};
        path.CurveTo(ToOutput(p1), ToOutput(p2), ToOutput(at(e)));
    }
}

void GdiPlayer::PolyDraw(const std::vector<Point>& points, const std::vector<uint8_t>& kinds) {
    Path path;
    path.MoveTo(ToOutput(state_.position));
    for (size_t i = 0; i < points.size() && i < kinds.size(); ++i) {
        const uint8_t kind = kinds[i] & 0x06;
        if (kind == 0x06) {
            path.MoveTo(ToOutput(points[i]));
        } else if (kind == 0x04 && i + 2 < points.size()) {
            path.CurveTo(ToOutput(points[i]), ToOutput(points[i + 1]), ToOutput(points[i + 2]));
            i += 2;
        } else {
            path.LineTo(ToOutput(points[i]));
        }
        if (kinds[std::min(i, kinds.size() - 1)] & 0x01) {
            path.Close();
        }
        state_.position = points[std::min(i, points.size() - 1)];
    }
    DrawShape(path, false, true);
}

// ---- records -----------------------------------------------------------------

void GdiPlayer::PlayObjectsOnly(const EmfRecord& record) {
    PlayObjects(record.type, ByteReader(record.bytes));
}

void GdiPlayer::Play(const EmfRecord& record) {
    const ByteReader in(record.bytes);
    const uint32_t type = record.type;
    if (PlayState(type, in) || PlayObjects(type, in) || PlayLines(type, in) || PlayShapes(type, in) ||
        PlayPathRecords(type, in) || PlayClip(type, in) || PlayText(type, in) || PlayBitmaps(type, in)) {
        return;
    }
    switch (type) {
    // Records that change nothing on a page drawn once, in colour, at one resolution.
    case kEmrHeader:
    case kEmrEof:
    case kEmrComment:
    case kEmrSetMapperFlags:
    case kEmrSetColorAdjustment:
    case kEmrSetMetaRgn:
    case kEmrSelectPalette:
    case kEmrCreatePalette:
    case kEmrSetPaletteEntries:
    case kEmrResizePalette:
    case kEmrRealizePalette:
    case kEmrSetIcmMode:
    case kEmrCreateColorSpace:
    case kEmrSetColorSpace:
    case kEmrDeleteColorSpace:
    case kEmrGlsRecord:
    case kEmrGlsBoundedRecord:
    case kEmrPixelFormat:
    case kEmrDrawEscape:
    case kEmrExtEscape:
    case kEmrNamedEscape:
    case kEmrForceUfiMapping:
    case kEmrColorCorrectPalette:
    case kEmrSetIcmProfileA:
    case kEmrSetIcmProfileW:
    case kEmrSetLayout:
    case kEmrSetLinkedUfis:
    case kEmrSetTextJustification:
    case kEmrColorMatchToTargetW:
    case kEmrCreateColorSpaceW:
    case kEmrFlattenPath:
        return;
    default:
        target_.report.Unknown(type);
    }
}

bool GdiPlayer::PlayState(uint32_t type, ByteReader in) {
    in.Seek(8);
    return PlayMapping(type, in) || PlayWorldTransform(type, in) || PlaySavedStates(type, in) ||
           PlayModes(type, in);
}

bool GdiPlayer::PlayMapping(uint32_t type, ByteReader in) {
    switch (type) {
    case kEmrSetMapMode: {
        const uint32_t mode = in.U32();
        if (mode >= 1 && mode <= 8) {
            state_.mapMode = static_cast<int>(mode);
        }
        return true;
    }
    case kEmrSetWindowExtEx:
    case kEmrSetViewportExtEx: {
        const double x = in.I32(), y = in.I32();
        if (!in.ok() || x == 0 || y == 0) {
            return true;
        }
        // Extents only count in the scalable mapping modes.
        if (state_.mapMode == 7 || state_.mapMode == 8) {
            (type == kEmrSetWindowExtEx ? state_.windowExt : state_.viewportExt) = {x, y};
        }
        return true;
    }
    case kEmrSetWindowOrgEx:
    case kEmrSetViewportOrgEx: {
        const double x = in.I32(), y = in.I32();
        if (in.ok()) {
            (type == kEmrSetWindowOrgEx ? state_.windowOrg : state_.viewportOrg) = {x, y};
        }
        return true;
    }
    case kEmrScaleWindowExtEx:
    case kEmrScaleViewportExtEx: {
        const double xNum = in.I32(), xDen = in.I32(), yNum = in.I32(), yDen = in.I32();
        if (in.ok() && xDen != 0 && yDen != 0 && xNum != 0 && yNum != 0 &&
            (state_.mapMode == 7 || state_.mapMode == 8)) {
            Point& ext = type == kEmrScaleWindowExtEx ? state_.windowExt : state_.viewportExt;
            ext = {ext.x * xNum / xDen, ext.y * yNum / yDen};
        }
        return true;
    }
    default:
        return false;
    }
}

bool GdiPlayer::PlayWorldTransform(uint32_t type, ByteReader in) {
    if (type != kEmrSetWorldTransform && type != kEmrModifyWorldTransform) {
        return false;
    }
    cairo_matrix_t m;
    const bool read = ReadMatrix(in, m);
    const uint32_t mode = type == kEmrSetWorldTransform ? 4 : in.U32();
    if (!read || !in.ok()) {
        target_.report.Undrawn();
        return true;
    }
    switch (mode) {
    case 1:
        state_.world = Identity();
        break; // MWT_IDENTITY
    case 2:
        state_.world = Then(m, state_.world);
        break; // MWT_LEFTMULTIPLY
    case 3:
        state_.world = Then(state_.world, m);
        break; // MWT_RIGHTMULTIPLY
    case 4:
        state_.world = m;
        break; // MWT_SET
    default:
        break;
    }
    return true;
}

bool GdiPlayer::PlaySavedStates(uint32_t type, ByteReader in) {
    if (type == kEmrSaveDc) {
        if (saved_.size() < kDeepestSave) {
            saved_.push_back(state_);
        }
        return true;
    }
    if (type != kEmrRestoreDc) {
        return false;
    }
    const int32_t which = in.I32();
    // Negative: that many states back; positive: the n-th saved state.
    size_t keep = saved_.size();
    if (which < 0 && static_cast<size_t>(-static_cast<int64_t>(which)) <= saved_.size()) {
        keep = saved_.size() - static_cast<size_t>(-static_cast<int64_t>(which));
    } else if (which > 0 && static_cast<size_t>(which) <= saved_.size()) {
        keep = static_cast<size_t>(which) - 1;
    } else {
        return true;
    }
    state_ = saved_[keep];
    saved_.resize(keep);
    return true;
}

bool GdiPlayer::PlayModes(uint32_t type, ByteReader in) {
    switch (type) {
    case kEmrSetBkMode:
        state_.backgroundMode = static_cast<int>(in.U32());
        return true;
    case kEmrSetBkColor:
        state_.backgroundColour = in.U32() & 0xFFFFFF;
        return true;
    case kEmrSetTextColor:
        state_.textColour = in.U32() & 0xFFFFFF;
        return true;
    case kEmrSetTextAlign:
        state_.textAlign = in.U32();
        return true;
    case kEmrSetPolyFillMode:
        state_.polyFillMode = static_cast<int>(in.U32());
        return true;
    case kEmrSetRop2:
        state_.rop2 = static_cast<int>(in.U32());
        return true;
    case kEmrSetStretchBltMode:
        state_.stretchMode = static_cast<int>(in.U32());
        return true;
    case kEmrSetArcDirection:
        state_.clockwiseArcs = in.U32() == 2;
        return true;
    case kEmrSetMiterLimit: {
        // Written as a float by some programs and as an integer by others.
        const uint32_t raw = in.U32();
        float asFloat;
        std::memcpy(&asFloat, &raw, sizeof asFloat);
        const double limit = raw > 0 && raw < 1000 ? static_cast<double>(raw) : asFloat;
        state_.miterLimit = std::isfinite(limit) && limit >= 1 ? std::min(limit, 1000.0) : 10.0;
        return true;
    }
    case kEmrSetBrushOrgEx: {
        const double x = in.I32();
        state_.brushOrigin = {x, static_cast<double>(in.I32())};
        return true;
    }
    default:
        return false;
    }
}

bool GdiPlayer::PlayObjects(uint32_t type, ByteReader in) {
    ByteReader head = in;
    head.Seek(8);
    const uint32_t index = head.U32();
    switch (type) {
    case kEmrCreatePen: {
        GdiPen pen;
        if (ReadCreatePen(in, pen) && (index & 0x80000000u) == 0) {
            objects_[index] = pen;
        }
        return true;
    }
    case kEmrExtCreatePen: {
        GdiPen pen;
        GdiBrush unused;
        if (ReadExtCreatePen(in, pen, unused) && (index & 0x80000000u) == 0) {
            objects_[index] = pen;
        }
        return true;
    }
    case kEmrCreateBrushIndirect: {
        GdiBrush brush;
        if (ReadCreateBrush(in, brush) && (index & 0x80000000u) == 0) {
            objects_[index] = brush;
        }
        return true;
    }
    case kEmrCreateMonoBrush:
    case kEmrCreateDibPatternBrushPt: {
        GdiBrush brush;
        if (ReadPatternBrush(in, type == kEmrCreateMonoBrush, brush) && (index & 0x80000000u) == 0) {
            objects_[index] = brush;
        }
        return true;
    }
    case kEmrExtCreateFontIndirectW: {
        GdiFont font;
        if (ReadCreateFont(in, font) && (index & 0x80000000u) == 0) {
            objects_[index] = font;
        }
        return true;
    }
    case kEmrCreatePalette:
        if ((index & 0x80000000u) == 0) {
            objects_[index] = GdiOtherObject{};
        }
        return true;
    case kEmrSelectObject: {
        GdiObject stock;
        const GdiObject* object = nullptr;
        if (index & 0x80000000u) {
            object = StockObject(index, stock) ? &stock : nullptr;
        } else if (auto found = objects_.find(index); found != objects_.end()) {
            object = &found->second;
        }
        if (object == nullptr) {
            return true;
        }
        if (const auto* pen = std::get_if<GdiPen>(object)) {
            state_.pen = *pen;
        } else if (const auto* brush = std::get_if<GdiBrush>(object)) {
            state_.brush = *brush;
        } else if (const auto* font = std::get_if<GdiFont>(object)) {
            state_.font = *font;
        }
        return true;
    }
    case kEmrDeleteObject:
        objects_.erase(index);
        return true;
    default:
        return false;
    }
}

bool GdiPlayer::PlayLines(uint32_t type, ByteReader in) {
    in.Seek(8);
    switch (type) {
    case kEmrMoveToEx: {
        const double x = in.I32();
        state_.position = {x, static_cast<double>(in.I32())};
        if (inBracket_) {
            bracket_.MoveTo(ToOutput(state_.position));
        }
        return true;
    }
    case kEmrLineTo:
        PlayLineTo(in);
        return true;
    case kEmrPolylineTo:
    case kEmrPolylineTo16:
    case kEmrPolyBezierTo:
    case kEmrPolyBezierTo16:
        PlayPolyTo(type, in);
        return true;
    case kEmrArcTo:
        PlayArcTo(in);
        return true;
    case kEmrAngleArc:
        PlayAngleArc(in);
        return true;
    case kEmrPolyDraw:
    case kEmrPolyDraw16: {
        in.Skip(16);
        const uint32_t count = in.U32();
        const bool small = type == kEmrPolyDraw16;
        if (!in.Holds(count, small ? 5 : 9)) {
            target_.report.Undrawn();
            return true;
        }
        std::vector<Point> points;
        ReadPoints(in, count, small, points);
        const std::string_view kinds = in.Bytes(count);
        PolyDraw(points, std::vector<uint8_t>(kinds.begin(), kinds.end()));
        return true;
    }
    default:
        return false;
    }
}

void GdiPlayer::PlayLineTo(ByteReader& in) {
    const double x = in.I32();
    const Point to{x, static_cast<double>(in.I32())};
    if (inBracket_) {
        if (!bracket_.HasCurrentPoint()) {
            bracket_.MoveTo(ToOutput(state_.position));
        }
        bracket_.LineTo(ToOutput(to));
    } else {
        Path path;
        path.MoveTo(ToOutput(state_.position));
        path.LineTo(ToOutput(to));
        DrawShape(path, false, true);
    }
    state_.position = to;
}

Path& GdiPlayer::LineFromPosition(Path& own) {
    Path& into = inBracket_ ? bracket_ : own;
    if (!into.HasCurrentPoint() || !inBracket_) {
        into.MoveTo(ToOutput(state_.position));
    }
    return into;
}

void GdiPlayer::PlayPolyTo(uint32_t type, ByteReader& in) {
    in.Skip(16); // bounds
    const uint32_t count = in.U32();
    std::vector<Point> points;
    ReadPoints(in, count, type == kEmrPolylineTo16 || type == kEmrPolyBezierTo16, points);
    const bool bezier = type == kEmrPolyBezierTo || type == kEmrPolyBezierTo16;
    Path path;
    Path& into = LineFromPosition(path);
    size_t used = 0;
    if (bezier) {
        for (; used + 3 <= points.size(); used += 3) {
            into.CurveTo(ToOutput(points[used]), ToOutput(points[used + 1]), ToOutput(points[used + 2]));
        }
    } else {
        for (; used < points.size(); ++used) {
            into.LineTo(ToOutput(points[used]));
        }
    }
    if (used > 0) {
        state_.position = points[used - 1];
    }
    if (!inBracket_) {
        DrawShape(path, false, true);
    }
}

void GdiPlayer::PlayArcTo(ByteReader& in) {
    Path path;
    Path& into = LineFromPosition(path);
    const IntRect box{in.I32(), in.I32(), in.I32(), in.I32()};
    Point start, end;
    start.x = in.I32();
    start.y = in.I32();
    end.x = in.I32();
    end.y = in.I32();
    if (!in.ok()) {
        target_.report.Undrawn();
        return;
    }
    ArcPath(into, box, start, end, true);
    // The current position ends where the arc does: on the ellipse, along
    // the line from the centre through the end point.
    const double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0;
    const double rx = std::fabs(box.right - box.left) / 2.0, ry = std::fabs(box.bottom - box.top) / 2.0;
    if (rx > 0 && ry > 0) {
        const double a = std::atan2((end.y - cy) / ry, (end.x - cx) / rx);
        state_.position = {cx + rx * std::cos(a), cy + ry * std::sin(a)};
    }
    if (!inBracket_) {
        DrawShape(path, false, true);
    }
}

void GdiPlayer::PlayAngleArc(ByteReader& in) {
    Path path;
    Path& into = LineFromPosition(path);
    const double cx = in.I32(), cy = in.I32();
    const double radius = in.U32();
    const double from = in.F32() * kPi / 180, sweep = in.F32() * kPi / 180;
    if (!in.ok() || !std::isfinite(from) || !std::isfinite(sweep) || radius > 1e9) {
        target_.report.Undrawn();
        return;
    }
    const int32_t r = static_cast<int32_t>(radius);
    const IntRect box{static_cast<int32_t>(cx) - r, static_cast<int32_t>(cy) - r,
                      static_cast<int32_t>(cx) + r, static_cast<int32_t>(cy) + r};
    // Angles run counterclockwise on the page, from the x axis.
    const Point start{cx + radius * std::cos(from), cy - radius * std::sin(from)};
    const Point end{cx + radius * std::cos(from + sweep), cy - radius * std::sin(from + sweep)};
    const bool saved = state_.clockwiseArcs;
    state_.clockwiseArcs = sweep < 0;
    if (std::fabs(sweep) >= 2 * kPi - 1e-9) {
        ArcPath(into, box, start, {start.x, start.y + (sweep < 0 ? 1e-6 : -1e-6)}, true);
    } else if (sweep != 0) {
        ArcPath(into, box, start, end, true);
    } else {
        into.LineTo(ToOutput(start));
    }
    state_.clockwiseArcs = saved;
    state_.position = end;
    if (!inBracket_) {
        DrawShape(path, false, true);
    }
}

bool GdiPlayer::PlayShapes(uint32_t type, ByteReader in) {
    in.Seek(8);
    switch (type) {
    case kEmrPolyline:
    case kEmrPolyline16:
    case kEmrPolygon:
    case kEmrPolygon16:
    case kEmrPolyBezier:
    case kEmrPolyBezier16:
        PlayPolyShape(type, in);
        return true;
    case kEmrPolyPolyline:
    case kEmrPolyPolyline16:
    case kEmrPolyPolygon:
    case kEmrPolyPolygon16:
        PlayPolyPolyShape(type, in);
        return true;
    case kEmrRectangle:
    case kEmrEllipse:
    case kEmrRoundRect:
    case kEmrArc:
    case kEmrChord:
    case kEmrPie:
        PlayBoxShape(type, in);
        return true;
    case kEmrSetPixelV:
        PlaySetPixel(in);
        return true;
    case kEmrFillRgn:
    case kEmrFrameRgn:
    case kEmrPaintRgn:
    case kEmrInvertRgn:
        PlayRegionPaint(type, in);
        return true;
    case kEmrGradientFill:
        PlayGradientFill(in);
        return true;
    default:
        return false;
    }
}

void GdiPlayer::PlayPolyShape(uint32_t type, ByteReader& in) {
    in.Skip(16);
    const uint32_t count = in.U32();
    const bool small = type == kEmrPolyline16 || type == kEmrPolygon16 || type == kEmrPolyBezier16;
    std::vector<Point> points;
    ReadPoints(in, count, small, points);
    if (points.empty()) {
        return;
    }
    Path path;
    path.MoveTo(ToOutput(points[0]));
    if (type == kEmrPolyBezier || type == kEmrPolyBezier16) {
        for (size_t i = 1; i + 2 < points.size(); i += 3) {
            path.CurveTo(ToOutput(points[i]), ToOutput(points[i + 1]), ToOutput(points[i + 2]));
        }
    } else {
        for (size_t i = 1; i < points.size(); ++i) {
            path.LineTo(ToOutput(points[i]));
        }
    }
    const bool polygon = type == kEmrPolygon || type == kEmrPolygon16;
    if (polygon) {
        path.Close();
    }
    DrawShape(path, polygon, true);
}

void GdiPlayer::PlayPolyPolyShape(uint32_t type, ByteReader& in) {
    in.Skip(16);
    const uint32_t figures = in.U32();
    const uint32_t total = in.U32();
    const bool small = type == kEmrPolyPolyline16 || type == kEmrPolyPolygon16;
    if (!in.Holds(figures, 4)) {
        target_.report.Undrawn();
        return;
    }
    std::vector<uint32_t> counts;
    uint64_t sum = 0;
    for (uint32_t i = 0; i < figures; ++i) {
        counts.push_back(in.U32());
        sum += counts.back();
    }
    if (sum > total || !in.Holds(sum, small ? 4 : 8)) {
        target_.report.Undrawn();
        return;
    }
    const bool polygon = type == kEmrPolyPolygon || type == kEmrPolyPolygon16;
    Path path;
    for (uint32_t count : counts) {
        std::vector<Point> points;
        ReadPoints(in, count, small, points);
        for (size_t i = 0; i < points.size(); ++i) {
            if (i == 0) {
                path.MoveTo(ToOutput(points[i]));
            } else {
                path.LineTo(ToOutput(points[i]));
            }
        }
        if (polygon && !points.empty()) {
            path.Close();
        }
    }
    DrawShape(path, polygon, true);
}

// Rectangles, ellipses, rounded rectangles and the three arc shapes, all drawn
// within a bounding box.
void GdiPlayer::PlayBoxShape(uint32_t type, ByteReader& in) {
    const IntRect box{in.I32(), in.I32(), in.I32(), in.I32()};
    if (!in.ok()) {
        target_.report.Undrawn();
        return;
    }
    const double left = std::min(box.left, box.right), right = std::max(box.left, box.right);
    const double top = std::min(box.top, box.bottom), bottom = std::max(box.top, box.bottom);
    Path path;
    if (type == kEmrRectangle) {
        DrawShape(RectPath(left, top, right, bottom), true, true);
        return;
    }
    if (type == kEmrEllipse) {
        const double cy = (top + bottom) / 2;
        ArcPath(path, box, {right, cy}, {right, cy}, false);
        path.Close();
        DrawShape(path, true, true);
        return;
    }
    if (type == kEmrRoundRect) {
        const double w = std::min(std::fabs(static_cast<double>(in.I32())), right - left);
        const double h = std::min(std::fabs(static_cast<double>(in.I32())), bottom - top);
        DrawShape(RoundRectPath(left, top, right, bottom, w / 2, h / 2), true, true);
        return;
    }
    const double sx = in.I32(), sy = in.I32(), ex = in.I32(), ey = in.I32();
    if (!in.ok()) {
        target_.report.Undrawn();
        return;
    }
    if (type == kEmrPie) {
        path.MoveTo(ToOutput({(left + right) / 2, (top + bottom) / 2}));
    }
    ArcPath(path, box, {sx, sy}, {ex, ey}, type == kEmrPie);
    if (type != kEmrArc) {
        path.Close();
    }
    DrawShape(path, type != kEmrArc, true);
}

Path GdiPlayer::RoundRectPath(double left, double top, double right, double bottom, double rx,
                              double ry) const {
    constexpr double k = 0.5522847498;
    Path path;
    auto corner = [&](Point from, Point control1, Point control2, Point to) {
        path.LineTo(ToOutput(from));
        path.CurveTo(ToOutput(control1), ToOutput(control2), ToOutput(to));
    };
    path.MoveTo(ToOutput({left + rx, top}));
    corner({right - rx, top}, {right - rx + k * rx, top}, {right, top + ry - k * ry}, {right, top + ry});
    corner({right, bottom - ry}, {right, bottom - ry + k * ry}, {right - rx + k * rx, bottom},
           {right - rx, bottom});
    corner({left + rx, bottom}, {left + rx - k * rx, bottom}, {left, bottom - ry + k * ry},
           {left, bottom - ry});
    corner({left, top + ry}, {left, top + ry - k * ry}, {left + rx - k * rx, top}, {left + rx, top});
    path.Close();
    return path;
}

void GdiPlayer::PlaySetPixel(ByteReader& in) {
    const double x = in.I32(), y = in.I32();
    const uint32_t colour = in.U32();
    if (!in.ok() || inBracket_) {
        return;
    }
    const Point at = ToOutput({x, y});
    const double side = std::max(1.0, target_.outputPerDevice);
    Path pixel;
    pixel.MoveTo(at);
    pixel.LineTo({at.x + side, at.y});
    pixel.LineTo({at.x + side, at.y + side});
    pixel.LineTo({at.x, at.y + side});
    pixel.Close();
    target_.canvas.Fill(pixel, CAIRO_FILL_RULE_WINDING, Paint::Solid(FromColorRef(colour)), state_.clip);
}

// The brush a region record names: a stock brush or one the file made, or
// the selected brush when the index names neither.
GdiBrush GdiPlayer::NamedBrush(uint32_t index) const {
    if (index & 0x80000000u) {
        GdiObject stock;
        if (StockObject(index, stock) && std::holds_alternative<GdiBrush>(stock)) {
            return std::get<GdiBrush>(stock);
        }
    } else if (auto found = objects_.find(index);
               found != objects_.end() && std::holds_alternative<GdiBrush>(found->second)) {
        return std::get<GdiBrush>(found->second);
    }
    return state_.brush;
}

void GdiPlayer::PlayRegionPaint(uint32_t type, ByteReader& in) {
    in.Skip(16); // bounds
    const uint32_t size = in.U32();
    uint32_t brushIndex = 0;
    if (type == kEmrFillRgn || type == kEmrFrameRgn) {
        brushIndex = in.U32();
    }
    if (type == kEmrFrameRgn) {
        in.Skip(8); // frame width and height
    }
    const Path region = RegionPath(in, size, false);
    const GdiBrush brush =
        type != kEmrPaintRgn && type != kEmrInvertRgn ? NamedBrush(brushIndex) : state_.brush;
    if (type == kEmrInvertRgn) {
        Paint invert = Paint::Solid({1, 1, 1, 1});
        invert.op = CAIRO_OPERATOR_DIFFERENCE;
        target_.canvas.Fill(region, CAIRO_FILL_RULE_WINDING, invert, state_.clip);
    } else if (type == kEmrFrameRgn) {
        StrokeStyle frame;
        frame.paint = BrushPaint(brush);
        frame.width = std::max(1.0, target_.outputPerDevice);
        frame.join = CAIRO_LINE_JOIN_MITER;
        target_.canvas.Stroke(region, frame, state_.clip);
    } else {
        target_.canvas.Fill(region, CAIRO_FILL_RULE_WINDING, BrushPaint(brush), state_.clip);
    }
}

void GdiPlayer::PlayGradientFill(ByteReader& in) {
    in.Skip(16);
    const uint32_t vertexCount = in.U32(), meshCount = in.U32(), mode = in.U32();
    if (!in.Holds(vertexCount, 16)) {
        target_.report.Undrawn();
        return;
    }
    std::vector<GradientVertex> vertices;
    for (uint32_t i = 0; i < vertexCount; ++i) {
        GradientVertex v;
        v.at.x = in.I32();
        v.at.y = in.I32();
        v.colour.r = in.U16() / 65535.0;
        v.colour.g = in.U16() / 65535.0;
        v.colour.b = in.U16() / 65535.0;
        in.U16(); // alpha: GDI ignores it here
        vertices.push_back(v);
    }
    const bool triangles = mode == 2;
    if (!in.Holds(meshCount, triangles ? 12 : 8)) {
        target_.report.Undrawn();
        return;
    }
    for (uint32_t i = 0; i < meshCount; ++i) {
        if (triangles) {
            const uint32_t a = in.U32(), b = in.U32(), c = in.U32();
            if (a < vertices.size() && b < vertices.size() && c < vertices.size()) {
                FillGradientTriangle(vertices[a], vertices[b], vertices[c]);
            }
            continue;
        }
        const uint32_t a = in.U32(), b = in.U32();
        if (a >= vertices.size() || b >= vertices.size()) {
            continue;
        }
        const Point& p = vertices[a].at;
        const Point& q = vertices[b].at;
        Paint paint;
        paint.kind = Paint::Kind::LinearGradient;
        paint.from = ToOutput(p);
        paint.to = mode == 1 ? ToOutput({p.x, q.y}) : ToOutput({q.x, p.y});
        paint.stops = {{0.0, vertices[a].colour}, {1.0, vertices[b].colour}};
        target_.canvas.Fill(RectPath(p.x, p.y, q.x, q.y), CAIRO_FILL_RULE_WINDING, paint, state_.clip);
    }
}

void GdiPlayer::FillGradientTriangle(const GradientVertex& a, const GradientVertex& b,
                                     const GradientVertex& c) {
    cairo_pattern_t* mesh = cairo_pattern_create_mesh();
    cairo_mesh_pattern_begin_patch(mesh);
    const Point pa = ToOutput(a.at), pb = ToOutput(b.at), pc = ToOutput(c.at);
    cairo_mesh_pattern_move_to(mesh, pa.x, pa.y);
    cairo_mesh_pattern_line_to(mesh, pb.x, pb.y);
    cairo_mesh_pattern_line_to(mesh, pc.x, pc.y);
    int corner = 0;
    for (const GradientVertex* v : {&a, &b, &c}) {
        cairo_mesh_pattern_set_corner_color_rgb(mesh, corner++, v->colour.r, v->colour.g, v->colour.b);
    }
    cairo_mesh_pattern_end_patch(mesh);
    cairo_t* cr = target_.canvas.cr();
    target_.canvas.ApplyClip(state_.clip);
    cairo_save(cr);
    cairo_move_to(cr, pa.x, pa.y);
    cairo_line_to(cr, pb.x, pb.y);
    cairo_line_to(cr, pc.x, pc.y);
    cairo_close_path(cr);
    cairo_set_source(cr, mesh);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_pattern_destroy(mesh);
}

bool GdiPlayer::PlayPathRecords(uint32_t type, ByteReader in) {
    in.Seek(8);
    auto takePath = [&]() {
        if (inBracket_) { // a bracket never closed: use what it has
            inBracket_ = false;
            finishedPath_ = bracket_;
        }
        Path path = finishedPath_;
        finishedPath_ = Path();
        return path;
    };
    switch (type) {
    case kEmrBeginPath:
        inBracket_ = true;
        bracket_ = Path();
        return true;
    case kEmrEndPath:
        if (inBracket_) {
            inBracket_ = false;
            finishedPath_ = bracket_;
        }
        return true;
    case kEmrCloseFigure:
        if (inBracket_) {
            bracket_.Close();
        }
        return true;
    case kEmrAbortPath:
        inBracket_ = false;
        bracket_ = Path();
        finishedPath_ = Path();
        return true;
    case kEmrWidenPath:
        widened_ = true;
        return true;
    case kEmrFillPath:
    case kEmrStrokePath:
    case kEmrStrokeAndFillPath: {
        const Path path = takePath();
        if (widened_ && type == kEmrFillPath) {
            // The widened path is the pen's outline: fill it as the pen
            // would draw, with the brush.
            if (auto stroke = CurrentStroke()) {
                stroke->paint = CurrentFill();
                target_.canvas.Stroke(path, *stroke, state_.clip);
            }
        } else {
            if (type != kEmrStrokePath) {
                target_.canvas.Fill(path, FillRule(), CurrentFill(), state_.clip);
            }
            if (type != kEmrFillPath) {
                if (const auto stroke = CurrentStroke()) {
                    target_.canvas.Stroke(path, *stroke, state_.clip);
                }
            }
        }
        widened_ = false;
        return true;
    }
    case kEmrSelectClipPath: {
        const uint32_t mode = in.U32();
        const Path path = takePath();
        CombineClip(path, FillRule(), mode);
        return true;
    }
    default:
        return false;
    }
}

Path GdiPlayer::RegionPath(ByteReader& in, size_t size, bool device) const {
    Path path;
    const size_t start = in.offset();
    const uint32_t headerSize = in.U32();
    in.U32(); // type
    const uint32_t count = in.U32();
    if (!in.ok() || headerSize < 32 || headerSize > size) {
        return path;
    }
    in.Seek(start + headerSize);
    const uint64_t fits = std::min<uint64_t>(count, (size - headerSize) / 16);
    const cairo_matrix_t m = device ? target_.deviceToOutput : LogicalToOutput();
    for (uint64_t i = 0; i < fits && in.remaining() >= 16; ++i) {
        const double left = in.I32(), top = in.I32(), right = in.I32(), bottom = in.I32();
        path.MoveTo(Apply(m, {left, top}));
        path.LineTo(Apply(m, {right, top}));
        path.LineTo(Apply(m, {right, bottom}));
        path.LineTo(Apply(m, {left, bottom}));
        path.Close();
    }
    return path;
}

void GdiPlayer::CombineClip(const Path& region, cairo_fill_rule_t rule, uint32_t mode) {
    if (!metafile::CombineClip(state_.clip, region, rule, mode, target_.canvas.width(),
                               target_.canvas.height())) {
        target_.report.Undrawn();
    }
}

bool GdiPlayer::PlayClip(uint32_t type, ByteReader in) {
    in.Seek(8);
    switch (type) {
    case kEmrIntersectClipRect:
    case kEmrExcludeClipRect: {
        const double left = in.I32(), top = in.I32(), right = in.I32(), bottom = in.I32();
        if (!in.ok()) {
            return true;
        }
        CombineClip(RectPath(left, top, right, bottom), CAIRO_FILL_RULE_WINDING,
                    type == kEmrIntersectClipRect ? kRgnAnd : kRgnDiff);
        return true;
    }
    case kEmrExtSelectClipRgn: {
        const uint32_t size = in.U32();
        const uint32_t mode = in.U32();
        if (size == 0 || !in.Holds(size, 1)) {
            if (mode == kRgnCopy) {
                state_.clip.shapes.clear(); // back to the whole page
            }
            return true;
        }
        CombineClip(RegionPath(in, size, true), CAIRO_FILL_RULE_WINDING, mode);
        return true;
    }
    case kEmrOffsetClipRgn: {
        const double dx = in.I32(), dy = in.I32();
        const cairo_matrix_t m = LogicalToOutput();
        const Point o = Apply(m, {0, 0}), d = Apply(m, {dx, dy});
        for (Clip::Shape& shape : state_.clip.shapes) {
            shape.path.Translate(d.x - o.x, d.y - o.y);
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace metafile

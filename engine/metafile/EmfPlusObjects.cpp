#include "EmfPlusObjects.h"

#include "EmfFile.h"
#include "GdiObjects.h"
#include "MetafileRenderer.h"
#include "Playback.h"

#include <algorithm>
#include <cmath>

namespace metafile {
namespace {

constexpr uint32_t kPathCompressed = 0x4000, kPathRleTypes = 0x1000, kPathRelative = 0x0800;
constexpr uint32_t kMostPoints = 1u << 22;
// Metafiles inside metafiles, each drawn as a picture: a hostile file could
// nest them without end.
constexpr int kDeepestNesting = 3;
// The size a metafile inside a metafile is drawn at before it is placed.
constexpr int kNestedMetafileSide = 2048;

bool Finite(double v) {
    return std::isfinite(v);
}

// A signed 7- or 15-bit integer, as relative points store their steps.
double ReadCompactInteger(ByteReader& in) {
    const uint8_t first = in.U8();
    if ((first & 0x80) == 0) {
        return static_cast<int8_t>(static_cast<uint8_t>(first << 1)) >> 1;
    }
    const uint8_t second = in.U8();
    int value = ((first & 0x7F) << 8) | second;
    if (value & 0x4000) {
        value -= 0x8000;
    }
    return value;
}

// A custom line cap: its own paths, or an arrow head made from its sizes.
// A cap it cannot read draws nothing; the line is still drawn.
std::optional<PlusLineCap> ReadLineCap(ByteReader& in) {
    in.U32(); // version
    const uint32_t type = in.U32();
    PlusLineCap cap;
    if (type == 1) {
        const double width = in.F32(), height = in.F32(), middleInset = in.F32();
        const bool filled = in.U32() != 0;
        in.Skip(12); // the arrow's own line caps and join
        in.F32();    // miter limit
        cap.widthScale = in.F32();
        if (!in.ok() || !Finite(width) || !Finite(height) || !Finite(middleInset) ||
            !Finite(cap.widthScale)) {
            return std::nullopt;
        }
        PlusPath::Figure head;
        head.points = {{0, 0}, {-width / 2, -height}, {0, -height + middleInset}, {width / 2, -height}};
        head.bezier.assign(3, false);
        head.closed = true;
        (filled ? cap.fill : cap.outline).figures.push_back(head);
        cap.inset = filled ? height : 0;
        return cap;
    }
    const uint32_t flags = in.U32();
    in.U32(); // base cap
    cap.inset = in.F32();
    in.Skip(12); // the cap's own line caps and join
    in.F32();    // miter limit
    cap.widthScale = in.F32();
    in.Skip(16); // hot spots
    if (!in.ok() || !Finite(cap.inset) || !Finite(cap.widthScale)) {
        return std::nullopt;
    }
    for (uint32_t part : {1u, 2u}) {
        if (flags & part) {
            const uint32_t size = in.U32();
            ByteReader pathBytes(in.Bytes(std::min<size_t>(size, in.remaining())));
            if (!ReadPlusPath(pathBytes, part == 1 ? cap.fill : cap.outline)) {
                return std::nullopt;
            }
        }
    }
    return cap;
}

bool ReadPen(ByteReader& in, PlusPen& pen) {
    in.U32(); // version
    in.U32(); // type
    const uint32_t flags = in.U32();
    pen.unit = in.U32();
    pen.width = in.F32();
    if (!in.ok() || !Finite(pen.width)) {
        return false;
    }
    if (flags & 0x0001 && !ReadMatrix(in, pen.transform)) {
        return false;
    }
    if (flags & 0x0002)
        pen.startCap = in.I32();
    if (flags & 0x0004)
        pen.endCap = in.I32();
    if (flags & 0x0008)
        pen.join = in.I32();
    if (flags & 0x0010)
        pen.miterLimit = in.F32();
    if (flags & 0x0020)
        pen.dashStyle = in.I32();
    if (flags & 0x0040)
        in.I32(); // dash cap
    if (flags & 0x0080)
        pen.dashOffset = in.F32();
    if (flags & 0x0100) {
        const uint32_t count = in.U32();
        if (!in.Holds(count, 4)) {
            return false;
        }
        for (uint32_t i = 0; i < count; ++i) {
            const double dash = in.F32();
            if (i < 16 && Finite(dash) && dash >= 0) {
                pen.dashes.push_back(dash);
            }
        }
    }
    if (flags & 0x0200)
        in.I32();         // alignment
    if (flags & 0x0400) { // compound lines: drawn as one
        const uint32_t count = in.U32();
        in.Skip(static_cast<size_t>(std::min<uint64_t>(uint64_t{count} * 4, in.remaining())));
    }
    if (flags & 0x0800) {
        const uint32_t size = in.U32();
        ByteReader cap(in.Bytes(std::min<size_t>(size, in.remaining())));
        pen.customStartCap = ReadLineCap(cap);
    }
    if (flags & 0x1000) {
        const uint32_t size = in.U32();
        ByteReader cap(in.Bytes(std::min<size_t>(size, in.remaining())));
        pen.customEndCap = ReadLineCap(cap);
    }
    if (!in.ok()) {
        return false;
    }
    if (!Finite(pen.miterLimit)) {
        pen.miterLimit = 10;
    }
    // Dashes given without a line style are a custom dash: the dashes are the style.
    if ((flags & 0x0100) && !(flags & 0x0020) && !pen.dashes.empty()) {
        pen.dashStyle = 5;
    }
    return ReadPlusBrush(in, pen.brush);
}

bool ReadRegionNode(ByteReader& in, PlusRegion& region, int depth);

// Combines two regions as well as intersections of shapes can express them.
PlusRegion Combine(PlusRegion left, PlusRegion right, uint32_t op) {
    auto single = [](const PlusRegion& r) { return !r.infinite && !r.empty && r.parts.size() == 1; };
    switch (op) {
    case 1: // intersect
        if (left.empty || right.empty) {
            return PlusRegion{false, true, {}};
        }
        if (left.infinite)
            return right;
        if (right.infinite)
            return left;
        left.parts.insert(left.parts.end(), right.parts.begin(), right.parts.end());
        return left;
    case 2: // union
    case 3: // xor
        if (left.infinite || right.infinite)
            return PlusRegion{true, false, {}};
        if (left.empty)
            return right;
        if (right.empty)
            return left;
        if (single(left) && single(right) && !left.parts[0].outside && !right.parts[0].outside) {
            for (auto& figure : right.parts[0].path.figures) {
                left.parts[0].path.figures.push_back(figure);
            }
            left.parts[0].evenOdd = op == 3;
            return left;
        }
        return left;
    case 4: // exclude: left without right
    case 5: // complement: right without left
    {
        PlusRegion& keep = op == 4 ? left : right;
        PlusRegion& take = op == 4 ? right : left;
        if (keep.empty || take.infinite)
            return PlusRegion{false, true, {}};
        if (take.empty)
            return keep;
        if (single(take)) {
            PlusRegion::Part hole = take.parts[0];
            hole.outside = !hole.outside;
            if (keep.infinite) {
                keep.infinite = false;
            }
            keep.parts.push_back(hole);
        }
        return keep;
    }
    default:
        return left;
    }
}

bool ReadRegionNode(ByteReader& in, PlusRegion& region, int depth) {
    if (depth > 64) {
        return false;
    }
    const uint32_t type = in.U32();
    switch (type) {
    case 0x10000000: { // rectangle
        double r[4];
        if (!ReadPlusRect(in, false, r)) {
            return false;
        }
        PlusRegion::Part part;
        part.path.figures.push_back(
            {{{r[0], r[1]}, {r[0] + r[2], r[1]}, {r[0] + r[2], r[1] + r[3]}, {r[0], r[1] + r[3]}},
             {false, false, false},
             true});
        region.parts.push_back(part);
        return true;
    }
    case 0x10000001: { // path
        const uint32_t size = in.U32();
        ByteReader inner(in.Bytes(size));
        PlusRegion::Part part;
        if (!in.ok() || !ReadPlusPath(inner, part.path)) {
            return false;
        }
        region.parts.push_back(part);
        return true;
    }
    case 0x10000002:
        region.empty = true;
        return true;
    case 0x10000003:
        region.infinite = true;
        return true;
    case 1:
    case 2:
    case 3:
    case 4:
    case 5: {
        PlusRegion left, right;
        if (!ReadRegionNode(in, left, depth + 1) || !ReadRegionNode(in, right, depth + 1)) {
            return false;
        }
        region = Combine(left, right, type);
        return true;
    }
    default:
        return false;
    }
}

std::shared_ptr<cairo_surface_t> Share(Surface surface) {
    return std::shared_ptr<cairo_surface_t>(surface.release(), cairo_surface_destroy);
}

// A compressed picture (PNG, JPEG, GIF, TIFF...) stored whole in the object.
bool ReadCompressedBitmap(ByteReader& in, PlusImage& image) {
    Surface surface = DecodeEmbeddedPicture(in.Bytes(in.remaining()));
    if (!surface) {
        return false;
    }
    image.width = cairo_image_surface_get_width(surface.get());
    image.height = cairo_image_surface_get_height(surface.get());
    image.surface = Share(std::move(surface));
    return true;
}

// The palette of an indexed pixel format, padded to 256 opaque black entries
// so that no index can reach past it.
bool ReadBitmapPalette(ByteReader& in, std::vector<uint32_t>& palette) {
    in.U32(); // palette flags
    const uint32_t count = in.U32();
    if (!in.Holds(count, 4) || count > 256) {
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        palette.push_back(in.U32());
    }
    palette.resize(256, 0xFF000000u);
    return true;
}

// Pixel x of one row in a GDI+ pixel format, as premultiplied ARGB. False for
// 48- and 64-bit pixels: not written by the programs we meet.
bool ReadPlusPixel(const uint8_t* row, int x, int bits, uint32_t format, const std::vector<uint32_t>& palette,
                   uint32_t& pixel) {
    const bool premultiplied = format == 0x000E200B;
    const bool hasAlpha = format == 0x0026200A || premultiplied || format == 0x00061007;
    uint32_t a = 255, r = 0, g = 0, b = 0;
    const size_t bit = static_cast<size_t>(x) * bits;
    if (!palette.empty()) {
        const uint32_t index = bits == 8   ? row[x]
                               : bits == 4 ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F
                                           : (row[x / 8] >> (7 - x % 8)) & 1;
        const uint32_t argb = palette[index];
        a = argb >> 24, r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    } else if (bits == 16) {
        const uint32_t v = row[bit / 8] | (row[bit / 8 + 1] << 8);
        if (format == 0x00021006) { // RGB 565
            r = ((v >> 11) & 0x1F) * 255 / 31, g = ((v >> 5) & 0x3F) * 255 / 63, b = (v & 0x1F) * 255 / 31;
        } else {
            r = ((v >> 10) & 0x1F) * 255 / 31, g = ((v >> 5) & 0x1F) * 255 / 31, b = (v & 0x1F) * 255 / 31;
            if (format == 0x00061007) {
                a = (v & 0x8000) ? 255 : 0;
            }
        }
    } else if (bits == 24) {
        b = row[bit / 8], g = row[bit / 8 + 1], r = row[bit / 8 + 2];
    } else if (bits == 32) {
        b = row[bit / 8], g = row[bit / 8 + 1], r = row[bit / 8 + 2];
        a = hasAlpha ? row[bit / 8 + 3] : 255;
    } else {
        return false;
    }
    if (!premultiplied) {
        r = r * a / 255, g = g * a / 255, b = b * a / 255;
    } else {
        r = std::min(r, a), g = std::min(g, a), b = std::min(b, a);
    }
    pixel = (a << 24) | (r << 16) | (g << 8) | b;
    return true;
}

bool ReadBitmap(ByteReader& in, PlusImage& image) {
    const int32_t width = in.I32(), height = in.I32(), stride = in.I32();
    const uint32_t format = in.U32();
    const uint32_t type = in.U32();
    if (!in.ok()) {
        return false;
    }
    if (type == 1) {
        return ReadCompressedBitmap(in, image);
    }
    const int bits = static_cast<int>((format >> 8) & 0xFF);
    if (width < 1 || height < 1 || stride < 1 || width > kLargestBitmapSide || height > kLargestBitmapSide ||
        static_cast<long long>(width) * height > kLargestBitmapPixels) {
        return false;
    }
    std::vector<uint32_t> palette;
    if ((format & 0x00010000) != 0 && !ReadBitmapPalette(in, palette)) {
        return false;
    }
    if (!in.Holds(static_cast<uint64_t>(stride), static_cast<uint64_t>(height))) {
        return false;
    }
    Surface surface = NewSurface(width, height);
    if (!surface) {
        return false;
    }
    cairo_surface_flush(surface.get());
    unsigned char* out = cairo_image_surface_get_data(surface.get());
    const int outStride = cairo_image_surface_get_stride(surface.get());
    const std::string_view rows = in.Bytes(static_cast<size_t>(stride) * height);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint8_t*>(rows.data()) + static_cast<size_t>(y) * stride;
        auto* to = reinterpret_cast<uint32_t*>(out + static_cast<size_t>(y) * outStride);
        for (int x = 0; x < width; ++x) {
            if (static_cast<size_t>(x) * bits / 8 + (bits + 7) / 8 > static_cast<size_t>(stride)) {
                break;
            }
            if (!ReadPlusPixel(row, x, bits, format, palette, to[x])) {
                return false;
            }
        }
    }
    cairo_surface_mark_dirty(surface.get());
    image.width = width;
    image.height = height;
    image.surface = Share(std::move(surface));
    return true;
}

thread_local int nesting = 0;

bool ReadImage(ByteReader& in, PlusImage& image) {
    in.U32(); // version
    const uint32_t type = in.U32();
    if (type == 1) {
        return ReadBitmap(in, image);
    }
    if (type != 2) {
        return false;
    }
    const uint32_t metafileType = in.U32();
    const uint32_t size = in.U32();
    const std::string_view data = in.Bytes(size);
    // Only enhanced metafiles (with or without EMF+); old Windows metafiles are not drawn.
    if (!in.ok() || metafileType < 3 || metafileType > 5 || nesting >= kDeepestNesting) {
        return false;
    }
    ++nesting;
    try {
        // A drawing record's source rectangle counts a metafile in the pixels
        // of the device it was made on, whatever size it is drawn at here.
        const DeviceFrame frame = FrameInDevicePixels(ReadEmfFile(data));
        const RenderedMetafile inner = DrawMetafileToFit(data, kNestedMetafileSide, kNestedMetafileSide);
        --nesting;
        Surface surface = NewSurface(inner.width, inner.height);
        if (!surface) {
            return false;
        }
        cairo_surface_flush(surface.get());
        unsigned char* out = cairo_image_surface_get_data(surface.get());
        const int stride = cairo_image_surface_get_stride(surface.get());
        for (int y = 0; y < inner.height; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(out + static_cast<size_t>(y) * stride);
            const uint8_t* rgb = inner.rgb.data() + static_cast<size_t>(y) * inner.width * 3;
            for (int x = 0; x < inner.width; ++x, rgb += 3) {
                row[x] = 0xFF000000u | (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
            }
        }
        cairo_surface_mark_dirty(surface.get());
        image.width = frame.width;
        image.height = frame.height;
        image.surface = Share(std::move(surface));
        return true;
    } catch (const std::exception&) {
        --nesting;
        return false;
    }
}

} // namespace

double PixelsPerUnit(uint32_t unit, double dpi) {
    switch (static_cast<PlusUnit>(unit)) {
    case PlusUnit::Point:
        return dpi / 72.0;
    case PlusUnit::Inch:
        return dpi;
    case PlusUnit::Document:
        return dpi / 300.0;
    case PlusUnit::Millimetre:
        return dpi / 25.4;
    case PlusUnit::Display:
        return dpi / 96.0;
    default:
        return 1.0;
    }
}

Path PlusPath::Transformed(const cairo_matrix_t& m) const {
    Path path;
    for (const Figure& figure : figures) {
        if (figure.points.empty()) {
            continue;
        }
        path.MoveTo(Apply(m, figure.points[0]));
        for (size_t i = 1; i < figure.points.size(); ++i) {
            if (figure.bezier[i - 1] && i + 2 < figure.points.size()) {
                path.CurveTo(Apply(m, figure.points[i]), Apply(m, figure.points[i + 1]),
                             Apply(m, figure.points[i + 2]));
                i += 2;
            } else {
                path.LineTo(Apply(m, figure.points[i]));
            }
        }
        if (figure.closed) {
            path.Close();
        }
    }
    return path;
}

std::vector<Point> ReadPlusPoints(ByteReader& in, uint32_t count, bool compressed, bool relative) {
    std::vector<Point> points;
    const size_t smallest = relative ? 2 : compressed ? 4 : 8;
    count = static_cast<uint32_t>(std::min<uint64_t>({count, in.remaining() / smallest, kMostPoints}));
    points.reserve(count);
    Point at;
    for (uint32_t i = 0; i < count && in.ok(); ++i) {
        if (relative) {
            at.x += ReadCompactInteger(in);
            at.y += ReadCompactInteger(in);
        } else if (compressed) {
            at.x = in.I16();
            at.y = in.I16();
        } else {
            at.x = in.F32();
            at.y = in.F32();
            if (!Finite(at.x) || !Finite(at.y)) {
                at = {0, 0};
            }
        }
        if (in.ok()) {
            points.push_back(at);
        }
    }
    return points;
}

bool ReadPlusRect(ByteReader& in, bool compressed, double rect[4]) {
    for (int i = 0; i < 4; ++i) {
        rect[i] = compressed ? in.I16() : in.F32();
        if (!Finite(rect[i])) {
            return false;
        }
    }
    return in.ok();
}

bool ReadPlusPath(ByteReader& in, PlusPath& path) {
    in.U32(); // version
    const uint32_t count = in.U32();
    const uint32_t flags = in.U32();
    if (!in.ok() || count > kMostPoints) {
        return false;
    }
    const std::vector<Point> points =
        ReadPlusPoints(in, count, (flags & kPathCompressed) != 0, (flags & kPathRelative) != 0);
    if (points.size() != count) {
        return false;
    }
    std::vector<uint8_t> types;
    types.reserve(count);
    while (types.size() < count && in.remaining() > 0) {
        if (flags & kPathRleTypes) {
            const uint8_t type = in.U8();
            const uint8_t run = in.U8() & 0x3F;
            for (int i = 0; i < run && types.size() < count; ++i) {
                types.push_back(type);
            }
            if (!in.ok()) {
                break;
            }
        } else {
            types.push_back(in.U8());
        }
    }
    if (types.size() != count) {
        return false;
    }
    PlusPath::Figure figure;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t kind = types[i] & 0x07;
        if (kind == 0 && !figure.points.empty()) {
            path.figures.push_back(figure);
            figure = {};
        }
        if (!figure.points.empty()) {
            figure.bezier.push_back(kind == 3);
        }
        figure.points.push_back(points[i]);
        if (types[i] & 0x80) {
            figure.closed = true;
            path.figures.push_back(figure);
            figure = {};
        }
    }
    if (!figure.points.empty()) {
        path.figures.push_back(figure);
    }
    return true;
}

namespace {

bool ReadTextureBrush(ByteReader& in, PlusBrush& brush) {
    brush.kind = PlusBrush::Kind::Texture;
    const uint32_t flags = in.U32();
    brush.tiled = in.I32() != 4; // WrapModeClamp
    if ((flags & 0x02) && !ReadMatrix(in, brush.transform)) {
        return false;
    }
    PlusImage image;
    if (!ReadImage(in, image)) {
        brush.kind = PlusBrush::Kind::Solid;
        brush.colour = 0xFF808080; // a texture it cannot read: grey shows the area
        return true;
    }
    brush.texture = image.surface;
    return true;
}

// The boundary of a path gradient: a path object or a list of points.
std::vector<Point> ReadGradientBoundary(ByteReader& in, uint32_t flags) {
    std::vector<Point> boundary;
    if (flags & 0x01) {
        const uint32_t size = in.U32();
        ByteReader inner(in.Bytes(size));
        PlusPath path;
        if (ReadPlusPath(inner, path)) {
            for (const auto& figure : path.figures) {
                boundary.insert(boundary.end(), figure.points.begin(), figure.points.end());
            }
        }
        return boundary;
    }
    const uint32_t count = in.U32();
    return ReadPlusPoints(in, count, false, false);
}

// Preset colours: positions, then a colour for each.
void ReadPresetColours(ByteReader& in, PlusBrush& brush) {
    const uint32_t count = in.U32();
    if (!in.Holds(count, 8) || count < 2 || count > 256) {
        return;
    }
    std::vector<double> positions;
    for (uint32_t i = 0; i < count; ++i) {
        positions.push_back(in.F32());
    }
    brush.stops.clear();
    for (uint32_t i = 0; i < count; ++i) {
        brush.stops.push_back({Finite(positions[i]) ? positions[i] : 0.0, in.U32()});
    }
}

// A path gradient: a centre colour blending into the colours of the rim.
// GDI+ counts blend positions and preset colours from the rim (0) inwards;
// they are kept here from the centre out.
bool ReadPathGradientBrush(ByteReader& in, PlusBrush& brush) {
    brush.kind = PlusBrush::Kind::PathGradient;
    const uint32_t flags = in.U32();
    brush.wrap = in.I32();
    const uint32_t centre = in.U32();
    brush.from = {in.F32(), 0};
    brush.from.y = in.F32();
    const uint32_t surrounding = in.U32();
    if (!in.Holds(surrounding, 4) || !Finite(brush.from.x) || !Finite(brush.from.y)) {
        return false;
    }
    for (uint32_t i = 0; i < surrounding; ++i) {
        brush.surround.push_back(in.U32());
    }
    brush.colour = centre;
    brush.boundary = ReadGradientBoundary(in, flags);
    if ((flags & 0x02) && !ReadMatrix(in, brush.transform)) {
        brush.transform = cairo_matrix_t{1, 0, 0, 1, 0, 0};
    }
    if (flags & 0x04) {
        PlusBrush preset;
        ReadPresetColours(in, preset);
        for (const auto& [position, colour] : preset.stops) {
            brush.stops.push_back({1 - position, colour});
        }
    } else if (flags & 0x08) {
        const uint32_t count = in.U32();
        if (in.Holds(count, 8) && count >= 2 && count <= 4096) {
            std::vector<double> positions;
            for (uint32_t i = 0; i < count; ++i) {
                positions.push_back(in.F32());
            }
            for (uint32_t i = 0; i < count; ++i) {
                const double factor = in.F32();
                if (Finite(positions[i]) && Finite(factor)) {
                    brush.blend.push_back({1 - positions[i], 1 - std::clamp(factor, 0.0, 1.0)});
                }
            }
        }
    }
    return true;
}

// Blend factors: positions, then how far each lies from the start colour to the end colour.
void ReadBlendFactors(ByteReader& in, uint32_t start, uint32_t end, PlusBrush& brush) {
    const uint32_t count = in.U32();
    if (!in.Holds(count, 8) || count < 2 || count > 256) {
        return;
    }
    std::vector<double> positions, factors;
    for (uint32_t i = 0; i < count; ++i) {
        positions.push_back(in.F32());
    }
    for (uint32_t i = 0; i < count; ++i) {
        factors.push_back(in.F32());
    }
    brush.stops.clear();
    for (uint32_t i = 0; i < count; ++i) {
        const double f = Finite(factors[i]) ? std::clamp(factors[i], 0.0, 1.0) : 0.0;
        uint32_t mixed = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const double a = (start >> shift) & 0xFF, b = (end >> shift) & 0xFF;
            mixed |= static_cast<uint32_t>(std::lround(a + (b - a) * f)) << shift;
        }
        brush.stops.push_back({Finite(positions[i]) ? positions[i] : 0.0, mixed});
    }
}

bool ReadLinearGradientBrush(ByteReader& in, PlusBrush& brush) {
    brush.kind = PlusBrush::Kind::LinearGradient;
    const uint32_t flags = in.U32();
    brush.wrap = in.I32();
    double rect[4];
    if (!ReadPlusRect(in, false, rect)) {
        return false;
    }
    const uint32_t start = in.U32(), end = in.U32();
    in.U32();
    in.U32();
    brush.from = {rect[0], rect[1]};
    brush.to = {rect[0] + rect[2], rect[1]};
    brush.stops = {{0.0, start}, {1.0, end}};
    if ((flags & 0x02) && !ReadMatrix(in, brush.transform)) {
        return false;
    }
    if (flags & 0x04) {
        ReadPresetColours(in, brush);
    } else if (flags & 0x08) {
        ReadBlendFactors(in, start, end, brush);
    }
    return true;
}

} // namespace

bool ReadPlusBrush(ByteReader& in, PlusBrush& brush) {
    in.U32(); // version
    const uint32_t type = in.U32();
    if (!in.ok()) {
        return false;
    }
    switch (type) {
    case 0:
        brush.kind = PlusBrush::Kind::Solid;
        brush.colour = in.U32();
        return in.ok();
    case 1:
        brush.kind = PlusBrush::Kind::Hatch;
        brush.hatchStyle = static_cast<int>(in.U32());
        brush.colour = in.U32();
        brush.background = in.U32();
        return in.ok();
    case 2:
        return ReadTextureBrush(in, brush);
    case 3:
        return ReadPathGradientBrush(in, brush);
    case 4:
        return ReadLinearGradientBrush(in, brush);
    default:
        return false;
    }
}

std::optional<PlusObject> ReadPlusObject(uint32_t type, std::string_view bytes, int) {
    ByteReader in(bytes);
    switch (type) {
    case 1: {
        PlusBrush brush;
        return ReadPlusBrush(in, brush) ? std::optional<PlusObject>(brush) : std::nullopt;
    }
    case 2: {
        PlusPen pen;
        return ReadPen(in, pen) ? std::optional<PlusObject>(pen) : std::nullopt;
    }
    case 3: {
        PlusPath path;
        return ReadPlusPath(in, path) ? std::optional<PlusObject>(path) : std::nullopt;
    }
    case 4: {
        in.U32(); // version
        in.U32(); // node count: the tree says it again
        PlusRegion region;
        return ReadRegionNode(in, region, 0) ? std::optional<PlusObject>(region) : std::nullopt;
    }
    case 5: {
        PlusImage image;
        return ReadImage(in, image) ? std::optional<PlusObject>(image) : std::nullopt;
    }
    case 6: {
        PlusFont font;
        in.U32(); // version
        font.emSize = in.F32();
        font.unit = in.U32();
        const int32_t style = in.I32();
        in.U32();
        const uint32_t length = in.U32();
        font.family = ToUtf8(ReadUtf16(in, std::min<uint32_t>(length, 256), true));
        font.bold = style & 1;
        font.italic = style & 2;
        font.underline = style & 4;
        font.strikeOut = style & 8;
        if (!in.ok() || !Finite(font.emSize) || font.emSize <= 0) {
            return std::nullopt;
        }
        return font;
    }
    case 7: {
        PlusStringFormat format;
        in.U32(); // version
        format.flags = in.U32();
        in.U32(); // language
        format.align = in.U32();
        format.lineAlign = in.U32();
        return in.ok() ? std::optional<PlusObject>(format) : std::nullopt;
    }
    case 8:
    case 9:
        return PlusOtherObject{}; // image attributes, custom line caps: not drawn
    default:
        return std::nullopt;
    }
}

} // namespace metafile

#include "LineCaps.h"

#include <cmath>
#include <optional>

namespace metafile {
namespace {

constexpr double kPi = 3.14159265358979323846;

// GDI+'s line caps.
constexpr int kFlat = 0, kSquare = 1, kRound = 2, kTriangle = 3, kSquareAnchor = 0x11, kRoundAnchor = 0x12,
              kDiamondAnchor = 0x13, kArrowAnchor = 0x14, kCustom = 0xFF;

PlusPath::Figure Polygon(std::vector<Point> points) {
    PlusPath::Figure figure;
    figure.points = std::move(points);
    figure.bezier.assign(figure.points.size() - 1, false);
    figure.closed = true;
    return figure;
}

PlusPath::Figure Circle(double radius) {
    std::vector<Point> points;
    for (int i = 0; i < 32; ++i) {
        points.push_back({radius * std::cos(i * kPi / 16), radius * std::sin(i * kPi / 16)});
    }
    return Polygon(points);
}

// The shape of a cap of `type`, in widths of the pen. Anchors are twice as
// wide as the pen, so that they show around the line.
std::optional<PlusLineCap> CapShape(int type, const std::optional<PlusLineCap>& custom) {
    PlusLineCap cap;
    switch (type) {
    case kSquare:
        cap.fill.figures.push_back(Polygon({{-0.5, 0}, {0.5, 0}, {0.5, 0.5}, {-0.5, 0.5}}));
        return cap;
    case kRound:
        cap.fill.figures.push_back(Circle(0.5));
        return cap;
    case kTriangle:
        cap.fill.figures.push_back(Polygon({{-0.5, 0}, {0.5, 0}, {0, 0.5}}));
        return cap;
    case kSquareAnchor:
        cap.fill.figures.push_back(Polygon({{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}));
        return cap;
    case kRoundAnchor:
        cap.fill.figures.push_back(Circle(1));
        return cap;
    case kDiamondAnchor:
        cap.fill.figures.push_back(Polygon({{0, 1}, {1, 0}, {0, -1}, {-1, 0}}));
        return cap;
    case kArrowAnchor:
        cap.fill.figures.push_back(Polygon({{0, 0}, {1, -2}, {-1, -2}}));
        cap.inset = 1;
        return cap;
    case kCustom:
        return custom;
    default: // flat, no anchor, and caps we do not know
        return std::nullopt;
    }
}

// Adds `cap` at `end`, `width` pixels a unit.
void Place(const PlusLineCap& cap, const Path::End& end, double width, LineEnds& ends, double& inset) {
    const double dx = end.at.x - end.before.x, dy = end.at.y - end.before.y;
    const double length = std::hypot(dx, dy);
    if (!(length > 0)) {
        return;
    }
    const double scale = width * (cap.widthScale > 0 ? cap.widthScale : 1);
    // The cap's y axis runs out of the line's end; its x axis across it.
    const cairo_matrix_t capToOutput{-dy / length * scale,
                                     dx / length * scale,
                                     dx / length * scale,
                                     dy / length * scale,
                                     end.at.x,
                                     end.at.y};
    ends.fill.Append(cap.fill.Transformed(capToOutput));
    ends.outline.Append(cap.outline.Transformed(capToOutput));
    inset = std::max(inset, cap.inset * scale);
}

cairo_line_cap_t CairoCap(int type) {
    return type == kSquare  ? CAIRO_LINE_CAP_SQUARE
           : type == kRound ? CAIRO_LINE_CAP_ROUND
                            : CAIRO_LINE_CAP_BUTT;
}

} // namespace

LineEnds PenLineEnds(const Path& path, const PlusPen& pen, double width) {
    LineEnds ends;
    const int start = pen.startCap & 0xFF, end = pen.endCap & 0xFF;
    auto plain = [](int type) { return type == kFlat || type == kSquare || type == kRound; };
    if (start == end && plain(start)) {
        ends.strokeCap = CairoCap(start); // cairo draws both ends alike
        return ends;
    }
    const std::optional<PlusLineCap> startShape = CapShape(start, pen.customStartCap);
    const std::optional<PlusLineCap> endShape = CapShape(end, pen.customEndCap);
    for (const auto& figure : path.OpenEnds()) {
        if (startShape) {
            Place(*startShape, figure[0], width, ends, ends.startInset);
        }
        if (endShape) {
            Place(*endShape, figure[1], width, ends, ends.endInset);
        }
    }
    return ends;
}

} // namespace metafile

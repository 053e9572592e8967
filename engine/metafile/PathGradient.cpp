#include "PathGradient.h"

#include <algorithm>
#include <cmath>

namespace metafile {
namespace {

// Rims past this many points are drawn with every n-th point: the mesh grows
// with rim points times rings, and a rim of thousands adds nothing visible.
constexpr size_t kMostRimPoints = 512;
constexpr size_t kMostRings = 64;

Rgba Mix(const Rgba& a, const Rgba& b, double f) {
    return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f, a.a + (b.a - a.a) * f};
}

// The value of a piecewise-linear curve of (position, value) pairs at t.
template <typename T, typename MixFn>
T Along(const std::vector<std::pair<double, T>>& curve, double t, MixFn mix) {
    if (t <= curve.front().first) {
        return curve.front().second;
    }
    for (size_t i = 1; i < curve.size(); ++i) {
        if (t <= curve[i].first) {
            const double span = curve[i].first - curve[i - 1].first;
            const double f = span > 0 ? (t - curve[i - 1].first) / span : 1;
            return mix(curve[i - 1].second, curve[i].second, f);
        }
    }
    return curve.back().second;
}

} // namespace

cairo_pattern_t* NewPathGradientPattern(const Paint& paint) {
    std::vector<Point> rim;
    std::vector<Rgba> rimColours;
    const size_t step = paint.rim.size() / kMostRimPoints + 1;
    for (size_t i = 0; i < paint.rim.size(); i += step) {
        rim.push_back(paint.rim[i]);
        rimColours.push_back(paint.rimColours.empty()                      ? paint.colour
                             : paint.rimColours.size() == paint.rim.size() ? paint.rimColours[i]
                                                                           : paint.rimColours.front());
    }
    if (rim.size() < 3) {
        return nullptr;
    }
    // The rings: where the colour curve bends, from the centre (0) to the rim (1).
    std::vector<std::pair<double, double>> blend = paint.blend;
    std::vector<std::pair<double, Rgba>> stops = paint.stops;
    auto byPosition = [](const auto& a, const auto& b) { return a.first < b.first; };
    std::stable_sort(blend.begin(), blend.end(), byPosition);
    std::stable_sort(stops.begin(), stops.end(), byPosition);
    if (blend.empty()) {
        blend = {{0.0, 0.0}, {1.0, 1.0}};
    }
    std::vector<double> rings{0.0, 1.0};
    auto addRing = [&](double t) {
        if (t > 0 && t < 1 && rings.size() < kMostRings) {
            rings.push_back(t);
        }
    };
    for (const auto& stop : stops) {
        addRing(stop.first);
    }
    if (stops.empty()) {
        for (const auto& point : blend) {
            addRing(point.first);
        }
    }
    std::sort(rings.begin(), rings.end());
    rings.erase(std::unique(rings.begin(), rings.end()), rings.end());

    auto colourAt = [&](size_t point, double t) {
        if (!stops.empty()) {
            return Along(stops, t, Mix);
        }
        const double f = Along(blend, t, [](double a, double b, double f) { return a + (b - a) * f; });
        return Mix(paint.colour, rimColours[point], std::clamp(f, 0.0, 1.0));
    };
    auto placed = [&](size_t point, double t) {
        return Point{paint.from.x + (rim[point].x - paint.from.x) * t,
                     paint.from.y + (rim[point].y - paint.from.y) * t};
    };

    cairo_pattern_t* mesh = cairo_pattern_create_mesh();
    for (size_t r = 0; r + 1 < rings.size(); ++r) {
        const double inner = rings[r], outer = rings[r + 1];
        for (size_t i = 0; i < rim.size(); ++i) {
            const size_t j = (i + 1) % rim.size();
            const Point corners[4] = {placed(i, inner), placed(j, inner), placed(j, outer), placed(i, outer)};
            const Rgba colours[4] = {colourAt(i, inner), colourAt(j, inner), colourAt(j, outer),
                                     colourAt(i, outer)};
            cairo_mesh_pattern_begin_patch(mesh);
            cairo_mesh_pattern_move_to(mesh, corners[0].x, corners[0].y);
            for (int k = 1; k < 4; ++k) {
                cairo_mesh_pattern_line_to(mesh, corners[k].x, corners[k].y);
            }
            for (int k = 0; k < 4; ++k) {
                cairo_mesh_pattern_set_corner_color_rgba(mesh, k, colours[k].r, colours[k].g, colours[k].b,
                                                         colours[k].a);
            }
            cairo_mesh_pattern_end_patch(mesh);
        }
    }
    return mesh;
}

} // namespace metafile

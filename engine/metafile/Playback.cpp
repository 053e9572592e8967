#include "Playback.h"

#include <cmath>

namespace metafile {

std::string PlaybackReport::Describe() const {
    auto records = [](int n) { return std::to_string(n) + (n == 1 ? " record" : " records"); };
    std::string text;
    if (unknownRecords > 0) {
        text = "drawn without " + records(unknownRecords) + " it does not know";
    }
    if (undrawnRecords > 0) {
        text += (text.empty() ? "drawn without " : " and ") + records(undrawnRecords) + " it could not draw";
    }
    return text;
}

cairo_matrix_t Identity() {
    cairo_matrix_t m;
    cairo_matrix_init_identity(&m);
    return m;
}

Point Apply(const cairo_matrix_t& m, Point p) {
    double x = p.x, y = p.y;
    cairo_matrix_transform_point(&m, &x, &y);
    return {x, y};
}

double ScaleOf(const cairo_matrix_t& m) {
    return std::sqrt(std::fabs(m.xx * m.yy - m.xy * m.yx));
}

bool ReadMatrix(ByteReader& in, cairo_matrix_t& m) {
    m.xx = in.F32();
    m.yx = in.F32();
    m.xy = in.F32();
    m.yy = in.F32();
    m.x0 = in.F32();
    m.y0 = in.F32();
    return in.ok() && std::isfinite(m.xx) && std::isfinite(m.yx) && std::isfinite(m.xy) &&
           std::isfinite(m.yy) && std::isfinite(m.x0) && std::isfinite(m.y0);
}

cairo_matrix_t Then(const cairo_matrix_t& first, const cairo_matrix_t& second) {
    cairo_matrix_t result;
    cairo_matrix_multiply(&result, &first, &second);
    return result;
}

} // namespace metafile

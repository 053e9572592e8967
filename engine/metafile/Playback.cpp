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

cairo_matrix_t Then(const cairo_matrix_t& first, const cairo_matrix_t& second) {
    cairo_matrix_t result;
    cairo_matrix_multiply(&result, &first, &second);
    return result;
}

} // namespace metafile

#pragma once

#include "Canvas.h"

#include <cairo.h>

namespace metafile {

// A path gradient as a cairo mesh: colour runs from the centre straight out
// to every point of the rim, so the lines of one colour are smaller copies of
// the rim (a rectangle's gradient has rectangular rings, not round ones), and
// nothing is painted outside the rim. The rings follow `paint.blend` or
// `paint.stops`. The pattern is in gradient space; the caller places it.
// Returns nullptr for a rim of fewer than three points.
cairo_pattern_t* NewPathGradientPattern(const Paint& paint);

} // namespace metafile

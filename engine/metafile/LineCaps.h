#pragma once

#include "Canvas.h"
#include "EmfPlusObjects.h"

namespace metafile {

// What a GDI+ pen draws at the ends of open lines beyond the line itself:
// arrow heads and anchors (squares, circles, diamonds centred on the end),
// custom caps, and flat, square, round or triangular ends where the two ends
// of a line differ.
struct LineEnds {
    cairo_line_cap_t strokeCap = CAIRO_LINE_CAP_BUTT; // the cap cairo draws itself
    Path fill;                                        // shapes filled with the pen's brush
    Path outline;                                     // shapes stroked with the pen
    double startInset = 0, endInset = 0;              // how far the line stops short of each end, in pixels
};

// The ends of `path` (in output pixels) drawn with `pen`, `width` output
// pixels wide.
LineEnds PenLineEnds(const Path& path, const PlusPen& pen, double width);

} // namespace metafile

#pragma once

#include <QRect>

class QFont;

// The window's layout is given in dialog units: a quarter of the dialog font's
// average character width across, an eighth of its height down.
struct DialogBaseUnits {
    double x = 0; // pixels per 4 horizontal units
    double y = 0; // pixels per 8 vertical units
};

// The base units of the 9-point dialog font the layout was drawn with, scaled
// to the pixel size that `font` has on this screen.
DialogBaseUnits BaseUnitsFor(const QFont& font);

// A rectangle in dialog units as pixels. Edges are converted, not sizes, so
// neighbouring controls neither overlap nor leave gaps through rounding.
QRect UnitsToPixels(const QRect& units, const DialogBaseUnits& base);

// The window's font: the Windows dialog face at 9 points where it exists, else
// a face that has the Chinese captions.
QFont DialogFont();

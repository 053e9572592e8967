#pragma once

#include <QSize>

// The page size a fresh window proposes: an A2 sheet (420 × 594 mm) in pixels
// of the screen, both sides from its horizontal resolution, truncated.
// 96 dpi gives 1587 × 2245.
inline QSize DefaultPageSize(double dotsPerInch) {
    return {static_cast<int>(420.0 * dotsPerInch / 25.4), static_cast<int>(594.0 * dotsPerInch / 25.4)};
}

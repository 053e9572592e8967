#pragma once

#include <QColor>
#include <QRect>
#include <QString>

class QPainter;

// A one-pixel 3-D frame along the inside of `area`: `topLeft` on the top and
// left edges, `bottomRight` on the others. Raised with a light top-left colour,
// sunken with a dark one.
void DrawFrame3d(QPainter& painter, const QRect& area, const QColor& topLeft, const QColor& bottomRight);

// Text centred in `area` in the system's disabled look: a light copy one pixel
// lower right under a dark one, so it seems pressed into the surface.
void DrawEmbossedText(QPainter& painter, const QRect& area, const QString& text, const QColor& light,
                      const QColor& dark);

// Draws `text` with the top-left corner of its line at `topLeft`; the window's
// positions are given that way, while Qt's drawText places the baseline.
void DrawTextAt(QPainter& painter, QPoint topLeft, const QString& text);

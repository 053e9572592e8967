#pragma once

#include <QRect>
#include <QString>

class QPainter;

// The progress display of a running job: three 20-pixel squares and a word,
// near the bottom left of the window. One square is black, the others magenta;
// the black one moves one place right at every step.
struct ProgressGeometry {
    QRect squares[3];
    QPoint textTopLeft;
    QPoint countTopLeft; // the count of pictures or documents, under the text
    QRect area;          // everything the display covers
};
ProgressGeometry ProgressGeometryFor(const QRect& client);

// `marked` is the black square, 1 to 3; 0 means the job has not shown a step yet
// and nothing is drawn. `count` ("12 / 300") goes under the text, in a smaller
// face, where it has room however many pictures the job has.
void PaintProgress(QPainter& painter, const QRect& client, int marked, const QString& text,
                   const QString& count = {});

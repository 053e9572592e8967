#include "ProgressIndicator.h"

#include "Painting.h"

#include <QPainter>

ProgressGeometry ProgressGeometryFor(const QRect& client) {
    const int x0 = client.width() * 10 / 100;
    const int y0 = client.y() + client.height() - 40;
    ProgressGeometry geometry;
    for (int i = 0; i < 3; ++i) {
        geometry.squares[i] = QRect(x0 + 5 + 25 * i, y0 + 10, 20, 20);
    }
    geometry.textTopLeft = QPoint(x0 + 80, y0 + 10);
    geometry.countTopLeft = QPoint(x0 + 80, y0 + 26);
    geometry.area = QRect(x0, y0, 160, 45);
    return geometry;
}

void PaintProgress(QPainter& painter, const QRect& client, int marked, const QString& text,
                   const QString& count) {
    if (marked < 1 || marked > 3) {
        return;
    }
    const ProgressGeometry at = ProgressGeometryFor(client);
    painter.save();
    for (int i = 0; i < 3; ++i) {
        painter.fillRect(at.squares[i], i + 1 == marked ? QColor(Qt::black) : QColor(255, 0, 255));
    }
    painter.setPen(Qt::black);
    DrawTextAt(painter, at.textTopLeft, text);
    if (!count.isEmpty()) {
        QFont small = painter.font();
        small.setPointSizeF(small.pointSizeF() * 0.8);
        painter.setFont(small);
        DrawTextAt(painter, at.countTopLeft, count);
    }
    painter.restore();
}

#include "Painting.h"

#include <QFontMetrics>
#include <QPainter>

void DrawFrame3d(QPainter& painter, const QRect& area, const QColor& topLeft, const QColor& bottomRight) {
    const int right = area.x() + area.width() - 1;
    const int bottom = area.y() + area.height() - 1;
    painter.fillRect(QRect(area.x(), area.y(), area.width() - 1, 1), topLeft);
    painter.fillRect(QRect(area.x(), area.y(), 1, area.height() - 1), topLeft);
    painter.fillRect(QRect(right, area.y(), 1, area.height()), bottomRight);
    painter.fillRect(QRect(area.x(), bottom, area.width(), 1), bottomRight);
}

void DrawEmbossedText(QPainter& painter, const QRect& area, const QString& text, const QColor& light,
                      const QColor& dark) {
    painter.setPen(light);
    painter.drawText(area.translated(1, 1), Qt::AlignCenter, text);
    painter.setPen(dark);
    painter.drawText(area, Qt::AlignCenter, text);
}

void DrawTextAt(QPainter& painter, QPoint topLeft, const QString& text) {
    painter.drawText(topLeft + QPoint(0, painter.fontMetrics().ascent()), text);
}

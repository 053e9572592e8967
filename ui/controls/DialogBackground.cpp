#include "DialogBackground.h"

#include "Painting.h"

#include <QFont>
#include <QPainter>
#include <QStringList>

namespace {

// The banner's face is Microsoft YaHei; where it is missing, the nearest
// CJK faces that Linux desktops install.
QFont BannerFont(double points) {
    QFont font;
    font.setFamilies({QStringLiteral("Microsoft YaHei"), QStringLiteral("微软雅黑"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Source Han Sans SC")});
    font.setPointSizeF(points);
    return font;
}

// A maker line set to fit keeps this much of the band clear at the window's
// edge, and is never set smaller than this.
constexpr int kMakerLineMargin = 4;
constexpr double kSmallestMakerLine = 8.0;

} // namespace

BannerGeometry BannerGeometryFor(QSize size) {
    const int w = size.width();
    const int h = size.height();
    return {
        13 * h / 100,
        {5 * w / 100, 5 * h / 100},
        {85 * w / 100, 5 * h / 100},
        {73 * w / 100, h / 100},
        {42 * w / 100, 95 * h / 100},
    };
}

void PaintDialogBackground(QPainter& painter, QSize size, const BannerTexts& texts, const QImage& logo) {
    const BannerGeometry at = BannerGeometryFor(size);
    painter.save();
    painter.fillRect(QRect(QPoint(0, 0), size), kWindowGrey);
    painter.fillRect(QRect(0, 0, size.width(), at.bandHeight), kBandTeal);

    painter.setFont(BannerFont(15.0));
    painter.setPen(Qt::white);
    DrawTextAt(painter, at.productLine, texts.productLine);
    if (texts.fitMakerLine) {
        const int room = size.width() - at.makerLine.x() - kMakerLineMargin;
        double points = 15.0;
        while (points > kSmallestMakerLine && painter.fontMetrics().horizontalAdvance(texts.makerLine) > room) {
            points -= 0.5;
            painter.setFont(BannerFont(points));
        }
    }
    DrawTextAt(painter, at.makerLine, texts.makerLine);

    painter.setFont(BannerFont(10.0));
    painter.setPen(kBottomLineRed);
    DrawTextAt(painter, at.bottomLine, texts.bottomLine);

    painter.drawImage(at.logo, logo);
    painter.restore();
}

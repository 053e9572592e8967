#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

class QPainter;

// The main window's painted background: light grey, a teal band across the top
// carrying the product line, the maker line and the logo, and a dark red line of
// text near the bottom. Every position is a share of the client size, so the
// picture follows the window's size.
struct BannerTexts {
    QString productLine;
    QString makerLine;
    QString bottomLine;
    // A translated maker line is longer than the room the band was drawn
    // with: it is then set smaller, so that it ends inside the window.
    bool fitMakerLine = false;
};

inline const QColor kWindowGrey{240, 240, 240};
inline const QColor kBandTeal{0, 128, 128};
inline const QColor kBottomLineRed{150, 0, 0};

// Band height, text and logo positions for a client area of `size`.
struct BannerGeometry {
    int bandHeight;
    QPoint productLine;
    QPoint makerLine;
    QPoint logo;
    QPoint bottomLine;
};
BannerGeometry BannerGeometryFor(QSize size);

// Paints the whole background; the logo is drawn at its own size, never scaled.
void PaintDialogBackground(QPainter& painter, QSize size, const BannerTexts& texts, const QImage& logo);

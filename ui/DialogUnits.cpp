#include "DialogUnits.h"

#include <QFont>
#include <QFontInfo>
#include <QStringList>
#include <cmath>

DialogBaseUnits BaseUnitsFor(const QFont& font) {
    // The layout was measured with the 9-point Windows dialog font, whose base
    // units are 4/7 of its pixel size across and 13/12 down (6.86 and 13 at
    // 12 pixels). The faces we fall back to here are wider and taller; measuring
    // them would stretch the window and the painted band with it, so the units
    // follow the font's size on this screen and keep that face's proportions.
    const int pixels = QFontInfo(font).pixelSize();
    return {pixels * 4.0 / 7.0, pixels * 13.0 / 12.0};
}

QRect UnitsToPixels(const QRect& units, const DialogBaseUnits& base) {
    const auto across = [&](int du) { return static_cast<int>(std::lround(du * base.x / 4.0)); };
    const auto down = [&](int du) { return static_cast<int>(std::lround(du * base.y / 8.0)); };
    const int left = across(units.x());
    const int top = down(units.y());
    const int right = across(units.x() + units.width());
    const int bottom = down(units.y() + units.height());
    return QRect(left, top, right - left, bottom - top);
}

QFont DialogFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Shell Dlg 2"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Source Han Sans SC")});
    font.setPointSize(9);
    return font;
}

#include "DropTest.h"

#include <array>

bool PassesDropTest(const QString& path) {
    static const std::array<QString, 12> kThreeLetter = {
        QStringLiteral("jpg"), QStringLiteral("JPG"), QStringLiteral("png"), QStringLiteral("PNG"),
        QStringLiteral("bmp"), QStringLiteral("BMP"), QStringLiteral("tif"), QStringLiteral("TIF"),
        QStringLiteral("emf"), QStringLiteral("EMF"), QStringLiteral("gif"), QStringLiteral("GIF"),
    };
    static const std::array<QString, 4> kFourLetter = {QStringLiteral("jpeg"), QStringLiteral("JPEG"),
                                                       QStringLiteral("tiff"), QStringLiteral("TIFF")};
    // A path shorter than the ending is compared whole, and so never matches.
    const QString last3 = path.right(3);
    const QString last4 = path.right(4);
    for (const QString& ending : kThreeLetter) {
        if (last3 == ending) {
            return true;
        }
    }
    for (const QString& ending : kFourLetter) {
        if (last4 == ending) {
            return true;
        }
    }
    return false;
}

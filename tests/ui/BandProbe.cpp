// Looks at a real X screen for the main window: waits until the window's teal
// band appears across its full width at 13% of its height, and saves the
// window's picture. Usage: band_probe <output.png> <client width> <client height>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QScreen>
#include <QThread>
#include <cstdio>

namespace {

QRect FindColour(const QImage& image, QRgb colour) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == (colour & 0xFFFFFF)) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: band_probe <output.png> <client width> <client height>\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const int width = QByteArray(argv[2]).toInt();
    const int clientHeight = QByteArray(argv[3]).toInt();
    const int height = 13 * clientHeight / 100;
    const QDeadlineTimer deadline(15000);
    QRect band;
    QImage screen;
    while (!deadline.hasExpired()) {
        QThread::msleep(300);
        app.processEvents();
        screen =
            QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
        band = FindColour(screen, qRgb(0, 128, 128));
        if (band.width() == width && band.height() == height) {
            const QRect window(band.topLeft(), QSize(width, clientHeight));
            screen.copy(window.intersected(screen.rect())).save(QString::fromLocal8Bit(argv[1]));
            std::printf("band %dx%d at %d,%d\n", band.width(), band.height(), band.x(), band.y());
            return 0;
        }
    }
    screen.save(QString::fromLocal8Bit(argv[1]));
    std::fprintf(stderr, "no %dx%d teal band found; last seen %dx%d at %d,%d\n", width, height, band.width(),
                 band.height(), band.x(), band.y());
    return 1;
}

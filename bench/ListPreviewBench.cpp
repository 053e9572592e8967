// How the window's list of 10,000 pictures answers while the user scrolls it
// and rests the mouse on its rows, with previews being made: the time each
// scroll step and each hover takes on the UI thread, and the longest the
// event loop was kept from running (what a user feels as a stall). Runs on
// the offscreen platform unless told otherwise; prints figures, judges nothing.
#include "DialogTemplate.h"
#include "JobState.h"
#include "ListPreviews.h"
#include "QuillmarkDlg.h"
#include "FakeShell.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHelpEvent>
#include <QImage>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRows = 10000;
constexpr int kPhotos = 50;

// Notes the longest gap between ticks of a 5 ms timer: how long the event
// loop could not run.
class StallMeter : public QObject {
  public:
    StallMeter() {
        clock.start();
        connect(&timer, &QTimer::timeout, this, [this] { longest = std::max(longest, clock.restart()); });
        timer.start(5);
    }
    qint64 Longest() const { return longest; }
    void Reset() {
        longest = 0;
        clock.restart();
    }

  private:
    QTimer timer;
    QElapsedTimer clock;
    qint64 longest = 0;
};

struct Figures {
    std::vector<double> ms;
    void Add(double value) { ms.push_back(value); }
    double Mean() const {
        double sum = 0;
        for (double v : ms) {
            sum += v;
        }
        return ms.empty() ? 0 : sum / ms.size();
    }
    double Max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

void RunEventsFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The offscreen platform cannot raise the preview's window, and says so each time.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type != QtWarningMsg || !message.contains(QLatin1String("does not support raise"))) {
            std::fprintf(stderr, "%s\n", qPrintable(message));
        }
    });
    QApplication application(argc, argv);
    QTemporaryDir folder;
    // 50 photos of 12 megapixels, listed 200 times each under other names.
    for (int i = 0; i < kPhotos; ++i) {
        QImage photo(4000, 3000, QImage::Format_RGB32);
        photo.fill(QColor::fromHsv(i * 7 % 360, 200, 200));
        photo.save(folder.filePath(QStringLiteral("photo%1.jpg").arg(i)), "JPEG", 85);
    }
    QStringList paths;
    for (int i = 0; i < kRows; ++i) {
        const QString link = folder.filePath(QStringLiteral("IMG_%1.jpg").arg(i, 5, 10, QLatin1Char('0')));
        QFile::link(folder.filePath(QStringLiteral("photo%1.jpg").arg(i % kPhotos)), link);
        paths << link;
    }

    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    dlg.show();
    dlg.OpenFiles(paths);
    RunEventsFor(200);
    auto* list = dlg.Control<QTreeWidget>(ControlId::SourceList);
    StallMeter stalls;

    // Scrolling: one page at a time from the top to the bottom, painted each time.
    Figures scroll;
    QScrollBar* bar = list->verticalScrollBar();
    stalls.Reset();
    for (int value = 0; value <= bar->maximum(); value += std::max(1, bar->pageStep())) {
        QElapsedTimer step;
        step.start();
        bar->setValue(value);
        list->viewport()->repaint();
        scroll.Add(step.nsecsElapsed() / 1e6);
        QApplication::processEvents(); // the user's next wheel turn comes through the event loop
    }
    RunEventsFor(50);
    std::printf("scroll %d rows, %zu pages:  %6.3f ms per page (longest %6.3f ms), longest stall %lld ms\n",
                list->topLevelItemCount(), scroll.ms.size(), scroll.Mean(), scroll.Max(),
                static_cast<long long>(stalls.Longest()));

    // Hovering: rest on a random visible row 60 ms at a time, as a hand moving
    // down the list, while the decoder makes previews in the background.
    Figures hover;
    QRandomGenerator random(7);
    int shown = 0;
    QObject::connect(&dlg.Previews().Maker(), &PreviewMaker::previewReady, [&] { ++shown; });
    stalls.Reset();
    QElapsedTimer total;
    total.start();
    constexpr int kHovers = 200;
    for (int i = 0; i < kHovers; ++i) {
        bar->setValue(random.bounded(bar->maximum() + 1));
        const QPoint at(40, random.bounded(list->viewport()->height()));
        QHelpEvent event(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
        QElapsedTimer step;
        step.start();
        QApplication::sendEvent(list->viewport(), &event);
        hover.Add(step.nsecsElapsed() / 1e6);
        RunEventsFor(60);
    }
    std::printf("hover  %d rows at random:  %6.3f ms per hover (longest %6.3f ms), longest stall %lld ms, "
                "%d previews made in %.1f s\n",
                kHovers, hover.Mean(), hover.Max(), static_cast<long long>(stalls.Longest()), shown,
                total.elapsed() / 1000.0);
    return 0;
}

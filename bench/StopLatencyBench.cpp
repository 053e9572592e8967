// How soon a job stops while an 18000 x 18000 PNG is being decoded: the
// command line after Ctrl-C sent to it alone (as `kill -INT` does), and the
// window after "Yes" to the exit question. Prints figures beside the time the
// picture takes to convert; judges nothing. Runs on the offscreen platform
// unless told otherwise.
// libvips brings GLib, whose headers must come before Qt defines "signals".
#include <vips/vips8>

#include "DialogTemplate.h"
#include "JobState.h"
#include "QuillmarkDlg.h"
#include "FakeShell.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <cstdio>
#include <csignal>

namespace {

constexpr int kSide = 18000;
constexpr int kStopAfterMs = 1000;

QStringList CliArguments(const QString& save, const QString& picture) {
    return {QStringLiteral("-q"), QStringLiteral("-j"), QStringLiteral("1"), QStringLiteral("-o"), save, picture};
}

double ConvertWholly(const QString& cli, const QString& save, const QString& picture) {
    QElapsedTimer clock;
    clock.start();
    QProcess process;
    process.start(cli, CliArguments(save, picture));
    process.waitForFinished(-1);
    return clock.elapsed();
}

double StopCommandLine(const QString& cli, const QString& save, const QString& picture) {
    QProcess process;
    process.start(cli, CliArguments(save, picture));
    process.waitForStarted();
    QThread::msleep(kStopAfterMs);
    QElapsedTimer clock;
    clock.start();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    process.waitForFinished(-1);
    return clock.nsecsElapsed() / 1e6;
}

double CloseWindow(const QString& save, const QString& picture) {
    FakeShell shell;
    shell.answers << Shell::Answer::Yes; // to the exit question
    JobState job;
    CQuillmarkDlg dialog(shell, job, 96);
    dialog.Control<QLineEdit>(ControlId::SaveFolder)->setText(save);
    dialog.Control<QTreeWidget>(ControlId::SourceList)->addTopLevelItem(new QTreeWidgetItem({picture}));
    dialog.show();
    dialog.OnStartConversion();
    QThread::msleep(kStopAfterMs);
    QElapsedTimer clock;
    clock.start();
    dialog.OnCancelCommand();
    const double windowGone = clock.nsecsElapsed() / 1e6;
    while (dialog.IsConverting()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    std::printf("   window hidden %.1f ms after Yes\n", windowGone);
    return clock.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: stop_latency_bench QUILLMARK_CLI\n");
        return 2;
    }
    const QString cli = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir folder;
    const QString picture = folder.filePath(QStringLiteral("big.png"));
    VIPS_INIT(argv[0]);
    vips::VImage::black(kSide, kSide, vips::VImage::option()->set("bands", 3))
        .pngsave(picture.toLocal8Bit().constData());
    const QString save = folder.path();

    std::printf("stop latency with a %d x %d PNG being decoded, stopped %d ms into it:\n", kSide, kSide,
                kStopAfterMs);
    std::printf("   the picture alone converts in %.0f ms\n", ConvertWholly(cli, save, picture));
    std::printf("   command line, Ctrl-C to the converter alone: ended after %.1f ms\n",
                StopCommandLine(cli, save, picture));
    std::printf("   window, \"Yes\" to the exit question: job ended after %.1f ms\n", CloseWindow(save, picture));
    return 0;
}

// How long the window takes to add 10,000 pictures to a list that holds
// 10,000 already, by the file picker and by dropping files, and to skip 10,000
// that are listed already. Runs on the offscreen platform unless told
// otherwise; prints figures, judges nothing.
#include "JobState.h"
#include "QuillmarkDlg.h"
#include "FakeShell.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QList>
#include <QUrl>
#include <cstdio>

namespace {

constexpr int kBatch = 10000;

QStringList Pictures(const QString& folder) {
    QStringList paths;
    for (int i = 0; i < kBatch; ++i) {
        paths << QStringLiteral("/home/user/%1/IMG_%2.jpg").arg(folder).arg(i, 5, 10, QLatin1Char('0'));
    }
    return paths;
}

QList<QUrl> Urls(const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls << QUrl::fromLocalFile(path);
    }
    return urls;
}

template <typename Add> double Milliseconds(Add add) {
    QElapsedTimer timer;
    timer.start();
    add();
    QApplication::processEvents();
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const QStringList earlier = Pictures(QStringLiteral("earlier"));
    const QStringList added = Pictures(QStringLiteral("added"));

    {
        FakeShell shell;
        JobState job;
        CQuillmarkDlg dlg(shell, job, 96);
        dlg.show();
        shell.pickedFiles << earlier << added << added;
        const double first = Milliseconds([&] { dlg.OnAddFiles(); });
        const double second = Milliseconds([&] { dlg.OnAddFiles(); });
        const double again = Milliseconds([&] { dlg.OnAddFiles(); });
        std::printf("file picker: %d to an empty list %8.1f ms\n", kBatch, first);
        std::printf("file picker: %d to a list of %d %8.1f ms (%d rows)\n", kBatch, kBatch, second,
                    dlg.FileCount());
        std::printf("file picker: %d listed already %8.1f ms (%d rows)\n", kBatch, again, dlg.FileCount());
    }
    {
        FakeShell shell;
        JobState job;
        CQuillmarkDlg dlg(shell, job, 96);
        dlg.show();
        dlg.OnDropFiles(Urls(earlier));
        const QList<QUrl> urls = Urls(added);
        const double drop = Milliseconds([&] { dlg.OnDropFiles(urls); });
        std::printf("drop:        %d to a list of %d %8.1f ms (%d rows)\n", kBatch, kBatch, drop,
                    dlg.FileCount());
    }
    return 0;
}

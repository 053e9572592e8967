#include "PreviewMaker.h"

#include "PathText.h"
#include "WorkerProgram.h"
#include "UiTexts.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <cstring>

namespace {

// Enough for a few hundred previews; the cache counts kilobytes.
constexpr int kCacheKilobytes = 64 * 1024;
// A hovered row is the one wanted; older wishes past this are dropped.
constexpr int kMaxWaiting = 8;
constexpr int kMaxReason = 200;

QString CacheKey(const QString& path) {
    const QFileInfo info(path);
    return path + QLatin1Char('\n') + QString::number(info.size()) + QLatin1Char('\n') +
           QString::number(info.lastModified().toMSecsSinceEpoch());
}

// One line a person can read: the first line of what the decoder said.
QString Shortened(const QString& text) {
    QString line = text.section(QLatin1Char('\n'), 0, 0).trimmed();
    if (line.size() > kMaxReason) {
        line = line.left(kMaxReason - 1) + QChar(0x2026);
    }
    return line;
}

} // namespace

PreviewMaker::PreviewMaker(QObject* parent) : QObject(parent), made(kCacheKilobytes) {}

PreviewMaker::~PreviewMaker() {
    if (running) {
        running->disconnect(this);
        running->kill();
        running->waitForFinished(1000);
    }
}

std::optional<Preview> PreviewMaker::Request(const QString& path) {
    if (const Preview* known = made.object(CacheKey(path))) {
        return *known;
    }
    if (path != runningPath) {
        waiting.removeAll(path);
        waiting.prepend(path);
        while (waiting.size() > kMaxWaiting) {
            waiting.removeLast();
        }
        StartNext();
    }
    return std::nullopt;
}

void PreviewMaker::StartNext() {
    if (running || waiting.isEmpty()) {
        return;
    }
    runningPath = waiting.takeFirst();
    timedOut = false;
    const std::filesystem::path program = FindRenderWorkerProgram().found;
    if (program.empty()) {
        Keep(runningPath, {QImage(), UiTexts::PreviewNoDecoder()});
        return;
    }
    if (!scratch.isValid()) {
        Keep(runningPath, {QImage(), UiTexts::PreviewNoFolder().arg(scratch.errorString())});
        return;
    }
    const QString destination = scratch.filePath(QStringLiteral("preview.jpg"));
    QFile::remove(destination);
    running = new QProcess(this);
    running->setProcessChannelMode(QProcess::SeparateChannels);
    running->setStandardInputFile(QProcess::nullDevice());
    connect(running, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        OnFinished(exitCode, status == QProcess::CrashExit);
    });
    connect(running, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            OnFinished(-1, false);
        }
    });
    if (!timeout) {
        timeout = new QTimer(this);
        timeout->setSingleShot(true);
        connect(timeout, &QTimer::timeout, this, [this] {
            timedOut = true;
            running->kill();
        });
    }
    timeout->start(timeLimitMs);
    running->start(FromPath(program),
                   {QStringLiteral("--preview"), QString::number(kPreviewSide), runningPath, destination});
}

void PreviewMaker::OnFinished(int exitCode, bool crashed) {
    timeout->stop();
    QProcess* process = running;
    running = nullptr;
    process->deleteLater();
    const QString said = Shortened(QString::fromUtf8(process->readAllStandardOutput()));
    Preview preview;
    if (timedOut) {
        preview.reason = UiTexts::PreviewTimedOut().arg(timeLimitMs / 1000);
    } else if (exitCode == -1 && !crashed) {
        preview.reason = UiTexts::PreviewCannotStart().arg(process->errorString());
    } else if (crashed) {
        const QString signal = QString::fromLocal8Bit(strsignal(process->exitCode()));
        preview.reason = UiTexts::PreviewCrashed().arg(signal);
    } else {
        preview.reason = said;
        if (exitCode == 0) {
            preview.image = QImage(scratch.filePath(QStringLiteral("preview.jpg")), "JPEG");
            if (preview.image.isNull() && preview.reason.isEmpty()) {
                preview.reason = UiTexts::PreviewUnreadable();
            }
        } else if (preview.reason.isEmpty()) {
            preview.reason = UiTexts::PreviewExitCode().arg(exitCode);
        }
    }
    Keep(runningPath, preview);
}

void PreviewMaker::Keep(QString path, const Preview& preview) {
    // `path` is a copy: callers pass runningPath itself, which is cleared here.
    runningPath.clear();
    // A time limit may be the machine's busy moment, not the picture's fault:
    // that one is tried again when the row is hovered again.
    if (!timedOut) {
        const int kilobytes = 1 + static_cast<int>(preview.image.sizeInBytes() / 1024);
        made.insert(CacheKey(path), new Preview(preview), kilobytes);
    }
    emit previewReady(path, preview);
    QTimer::singleShot(0, this, &PreviewMaker::StartNext);
}

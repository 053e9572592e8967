#pragma once

#include <QCache>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <optional>

class QProcess;
class QTimer;

// A picture's preview: the picture at most kPreviewSide pixels on its longer
// side, turned as its EXIF orientation says; or, when it cannot be read, the
// reason. A damaged picture has both.
struct Preview {
    QImage image;
    QString reason;
};

inline constexpr int kPreviewSide = 256;

// Makes previews of listed pictures with the decoder program, one picture at
// a time in a process of its own, so a hostile file can crash or stall only
// that process, never the window; nothing is decoded on the UI thread. Made
// previews are kept (a changed file is made again).
class PreviewMaker : public QObject {
    Q_OBJECT
  public:
    explicit PreviewMaker(QObject* parent = nullptr);
    ~PreviewMaker() override;

    // The preview when it is made already. Otherwise empty, and the preview
    // is made next (before any asked for earlier and not begun); previewReady
    // brings it.
    std::optional<Preview> Request(const QString& path);

    // How long one picture may take before its process is ended.
    void SetTimeLimit(int milliseconds) { timeLimitMs = milliseconds; }

  signals:
    void previewReady(const QString& path, const Preview& preview);

  private:
    void StartNext();
    void OnFinished(int exitCode, bool crashed);
    void Keep(QString path, const Preview& preview);

    QCache<QString, Preview> made; // by path and the file's size and time
    QStringList waiting;           // newest first
    QProcess* running = nullptr;
    QString runningPath;
    QTimer* timeout = nullptr;
    bool timedOut = false;
    int timeLimitMs = 30000;
    QTemporaryDir scratch; // private to the user, like every page we make
};

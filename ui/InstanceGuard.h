#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QLocalServer;

// Keeps the program to one copy per user and desktop session. The first copy
// holds a lock file and listens on a local socket; a later copy finds the lock
// held, tells the first copy through the socket to come forward (handing over
// the files it was started with), and ends. A lock or socket left by a copy
// that crashed is recognised and taken over.
class InstanceGuard : public QObject {
    Q_OBJECT
  public:
    // `key` names the lock and the socket; it includes the user's name and display.
    explicit InstanceGuard(const QString& key);
    ~InstanceGuard() override;

    // The key for this user on this display ($WAYLAND_DISPLAY, else $DISPLAY),
    // so a copy started on another display opens a window of its own; or
    // $QUILLMARK_INSTANCE_KEY when set (so tests can keep apart).
    static QString DefaultKey();

    // Where the lock for `key` lives: the user's runtime folder, else the temporary folder.
    static QString LockPath(const QString& key);

    // True when this process is now the one copy. Needs no application object.
    bool TryBecomeFirst();

    // For the first copy, once the application object exists: start answering
    // later copies. False when the socket cannot be opened; the program still runs.
    bool Listen();

    // For a later copy: ask the first copy to come forward and to take `files`
    // (absolute paths). Waits up to `timeoutMs` for the first copy to be
    // listening (it may be starting up), then up to `answerMs` for its answer.
    // True once the first copy confirmed; false when it did not answer in time
    // (it is busy or hung), and then it does not take the files later either.
    bool HandOver(const QStringList& files = {}, int timeoutMs = 3000, int answerMs = 5000);

  signals:
    // A later copy asked to come forward; `files` are the ones it was started with.
    void activationRequested(const QStringList& files);

  private:
    void OnNewConnection();

    QString key;
    QLockFile lock;
    std::unique_ptr<QLocalServer> server;
};

#include "InstanceGuard.h"

#include <QDataStream>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <unistd.h>

namespace {

// The request: this tag, the time (milliseconds since 1970) at which the
// later copy stops waiting for the answer, and the list of files, in Qt's data
// stream format.
const QByteArray kActivate = "quillmark-activate-until";
constexpr auto kStreamVersion = QDataStream::Qt_6_0;

// How long before the later copy gives up the first copy stops taking its
// files: the answer must have time to arrive, or both copies would list them.
constexpr qint64 kAnswerMarginMs = 1000;

// Socket names become file names: keep what a display name may hold to
// letters, digits and a few safe marks.
QString SafeForFileName(const QString& text) {
    QString safe;
    for (const QChar c : text) {
        safe += c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('.') ? c : QLatin1Char('_');
    }
    return safe;
}

} // namespace

QString InstanceGuard::LockPath(const QString& key) {
    // Without XDG_RUNTIME_DIR Qt would warn and invent a folder; the lock's name
    // already carries the user, so the temporary folder serves as well.
    const QString folder = qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")
                               ? QDir::tempPath()
                               : QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(folder).filePath(key + QStringLiteral(".lock"));
}

InstanceGuard::InstanceGuard(const QString& key) : key(key), lock(LockPath(key)) {
    // Age is no sign of a dead copy: the lock is stale only when its process is gone.
    lock.setStaleLockTime(0);
}

InstanceGuard::~InstanceGuard() = default;

QString InstanceGuard::DefaultKey() {
    const QString override = qEnvironmentVariable("QUILLMARK_INSTANCE_KEY");
    if (!override.isEmpty()) {
        return override;
    }
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) {
        user = QString::number(getuid());
    }
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("DISPLAY");
        // ":0" and ":0.0" are one X server, and one session on it.
        const qsizetype colon = display.lastIndexOf(QLatin1Char(':'));
        const qsizetype dot = display.indexOf(QLatin1Char('.'), colon + 1);
        if (colon >= 0 && dot > colon) {
            display.truncate(dot);
        }
    }
    QString key = QStringLiteral("quillmark-") + SafeForFileName(user);
    if (!display.isEmpty()) {
        key += QLatin1Char('-') + SafeForFileName(display);
    }
    return key;
}

bool InstanceGuard::TryBecomeFirst() {
    return lock.tryLock(0);
}

bool InstanceGuard::Listen() {
    server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket file under our name is a crashed copy's.
    QLocalServer::removeServer(key);
    connect(server.get(), &QLocalServer::newConnection, this, &InstanceGuard::OnNewConnection);
    return server->listen(key);
}

void InstanceGuard::OnNewConnection() {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // The request may come in pieces: read it once it is whole.
            QDataStream in(socket);
            in.setVersion(kStreamVersion);
            in.startTransaction();
            QByteArray tag;
            qint64 until = 0;
            QStringList files;
            in >> tag >> until >> files;
            if (!in.commitTransaction()) {
                return;
            }
            // A request read too late (this copy was busy) has been given up
            // by its sender, which opens its files in a window of its own.
            const bool inTime = QDateTime::currentMSecsSinceEpoch() + kAnswerMarginMs < until;
            if (tag == kActivate && inTime) {
                socket->write("ok\n");
                socket->flush();
                emit activationRequested(files);
            } else {
                socket->abort();
            }
        });
    }
}

bool InstanceGuard::HandOver(const QStringList& files, int timeoutMs, int answerMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(key);
        if (socket.waitForConnected(200)) {
            QByteArray request;
            QDataStream out(&request, QIODevice::WriteOnly);
            out.setVersion(kStreamVersion);
            out << kActivate << QDateTime::currentMSecsSinceEpoch() + answerMs << files;
            QElapsedTimer waited;
            waited.start();
            socket.write(request);
            while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(1000)) {
            }
            // The first copy answers once it has taken the files.
            const int left = std::max<int>(answerMs - int(waited.elapsed()), 0);
            return socket.waitForReadyRead(left) && socket.readAll().startsWith("ok");
        }
        QThread::msleep(100);
    }
    return false;
}

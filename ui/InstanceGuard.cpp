#include "InstanceGuard.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <unistd.h>

namespace {

const QByteArray kActivate = "activate\n";

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
    return QStringLiteral("quillmark-") + user;
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
            if (socket->readAll().contains(kActivate)) {
                socket->write("ok\n");
                socket->flush();
                emit activationRequested();
            }
        });
    }
}

bool InstanceGuard::HandOver(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(key);
        if (socket.waitForConnected(200)) {
            socket.write(kActivate);
            return socket.waitForBytesWritten(1000) && socket.waitForReadyRead(1000) &&
                   socket.readAll().startsWith("ok");
        }
        QThread::msleep(100);
    }
    return false;
}

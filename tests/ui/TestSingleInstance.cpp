// One copy per user: a second start hands over to the running copy and ends,
// also when a crashed copy left its lock and socket behind.
#include "InstanceGuard.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace {

// A key of the test's own, so a copy the user is running stays out of it.
QString TestKey(const char* name) {
    return QStringLiteral("quillmark-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(name);
}

void StartCopy(QProcess& process, const QString& key) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUILLMARK_INSTANCE_KEY", key);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(QUILLMARK_BIN), {});
}

// Waits, with the event loop running, until `process` has ended.
bool Ended(QProcess& process, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning && clock.elapsed() < timeoutMs) {
        QTest::qWait(50);
    }
    return process.state() == QProcess::NotRunning;
}

// True once a copy listens on `key`.
bool Listening(const QString& key, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        QLocalSocket socket;
        socket.connectToServer(key);
        if (socket.waitForConnected(100)) {
            return true;
        }
        QTest::qWait(100);
    }
    return false;
}

// Copies killed by the tests leave their lock and socket behind.
void RemoveLeftovers(const QString& key) {
    QFile::remove(InstanceGuard::LockPath(key));
    QLocalServer::removeServer(key);
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT
  private slots:
    void secondStartHandsOverToThisProcess();
    void secondOfTwoRealCopiesEnds();
    void crashedCopyLeavesNothingInTheWay();
};

void TestSingleInstance::secondStartHandsOverToThisProcess() {
    const QString key = TestKey("handover");
    InstanceGuard first(key);
    QVERIFY(first.TryBecomeFirst());
    QVERIFY(first.Listen());
    QSignalSpy asked(&first, &InstanceGuard::activationRequested);

    QProcess second;
    StartCopy(second, key);
    QVERIFY(Ended(second, 10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QTRY_COMPARE(asked.count(), 1);
}

void TestSingleInstance::secondOfTwoRealCopiesEnds() {
    const QString key = TestKey("pair");
    QProcess first;
    StartCopy(first, key);
    QVERIFY(first.waitForStarted());
    QVERIFY(Listening(key, 10000));

    QProcess second;
    StartCopy(second, key);
    QVERIFY(Ended(second, 10000));
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
    RemoveLeftovers(key);
}

void TestSingleInstance::crashedCopyLeavesNothingInTheWay() {
    const QString key = TestKey("crash");
    QProcess crashed;
    StartCopy(crashed, key);
    QVERIFY(Listening(key, 10000));
    crashed.kill(); // no clean-up: the lock file and the socket file stay
    crashed.waitForFinished();

    QProcess next;
    StartCopy(next, key);
    QVERIFY(next.waitForStarted());
    // It takes over: it keeps running instead of handing over to no one...
    QVERIFY(!Ended(next, 2500));
    // ...and later starts hand over to it.
    QProcess later;
    StartCopy(later, key);
    QVERIFY(Ended(later, 10000));
    QCOMPARE(later.exitCode(), 0);
    QCOMPARE(next.state(), QProcess::Running);
    next.kill();
    next.waitForFinished();
    RemoveLeftovers(key);
}

QTEST_MAIN(TestSingleInstance)
#include "TestSingleInstance.moc"

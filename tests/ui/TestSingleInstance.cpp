// One copy per user and display: a second start hands over to the running
// copy (with the files it was started with) and ends, also when a crashed copy
// left its lock and socket behind; a start on another display runs on its own,
// and so does one whose files a busy copy does not take.
#include "CommandLineFiles.h"
#include "DialogTemplate.h"
#include "FakeShell.h"
#include "InstanceGuard.h"
#include "JobState.h"
#include "QuillmarkDlg.h"

#include <QTemporaryDir>
#include <QTreeWidget>
#include <unistd.h>

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

void StartCopy(QProcess& process, const QString& key, const QStringList& arguments = {},
               QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUILLMARK_INSTANCE_KEY", key);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(channels);
    process.start(QStringLiteral(QUILLMARK_BIN), arguments);
}

// A copy that takes its key from the display it was started on; its lock and
// socket live in `scratch`, away from any copy the user runs.
void StartCopyOnDisplay(QProcess& process, const QString& display, const QString& scratch) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QUILLMARK_INSTANCE_KEY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("DISPLAY", display);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", scratch);
    environment.insert("TMPDIR", scratch);
    environment.insert("XDG_CONFIG_HOME", scratch); // its settings too
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
    void filesFromTheCommandLine_data();
    void filesFromTheCommandLine();
    void filesHandedToTheRunningCopyAreListed();
    void filesABusyCopyDoesNotTakeGetAWindowOfTheirOwn();
    void keyNamesUserAndDisplay_data();
    void keyNamesUserAndDisplay();
    void anotherDisplayGetsItsOwnCopy();
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
    QCOMPARE(asked.first().first().toStringList(), QStringList());
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

void TestSingleInstance::filesFromTheCommandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("none") << QStringList{"quillmark"} << QStringList{};
    QTest::newRow("relative and absolute") << QStringList{"quillmark", "a.jpg", "sub/../b.png", "/pics/c.gif"}
                                           << QStringList{"/home/u/a.jpg", "/home/u/b.png", "/pics/c.gif"};
    QTest::newRow("Qt's options and their values are no files")
        << QStringList{"quillmark", "-platform", "offscreen", "--style=fusion", "-reverse", "a.jpg"}
        << QStringList{"/home/u/a.jpg"};
    QTest::newRow("after -- everything is a file")
        << QStringList{"quillmark", "--", "-odd.jpg", "--"} << QStringList{"/home/u/-odd.jpg", "/home/u/--"};
    QTest::newRow("a folder") << QStringList{"quillmark", "scans/"} << QStringList{"/home/u/scans"};
}

void TestSingleInstance::filesFromTheCommandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, files);
    QCOMPARE(FilesFromArguments(arguments, "/home/u"), files);
}

void TestSingleInstance::filesHandedToTheRunningCopyAreListed() {
    const QString key = TestKey("files");
    InstanceGuard first(key);
    QVERIFY(first.TryBecomeFirst());
    QVERIFY(first.Listen());
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    connect(&first, &InstanceGuard::activationRequested, &dlg, &CQuillmarkDlg::OnHandOver);
    dlg.InsertAtTop("/elsewhere/listed.jpg");

    // Relative names mean the second copy's working folder; what is no
    // picture is left out as a drop leaves it out.
    QTemporaryDir folder;
    QProcess second;
    second.setWorkingDirectory(folder.path());
    StartCopy(second, key, {"b.png", "a.jpg", "notes.txt", "/elsewhere/listed.jpg"});
    QVERIFY(Ended(second, 10000));
    QCOMPARE(second.exitCode(), 0);
    auto* list = dlg.Control<QTreeWidget>(ControlId::SourceList);
    QTRY_COMPARE(list->topLevelItemCount(), 3);
    QStringList rows;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        rows << list->topLevelItem(row)->text(0);
    }
    // In the order given, so a merged document starts with the first file named.
    QCOMPARE(rows,
             (QStringList{folder.filePath("b.png"), folder.filePath("a.jpg"), "/elsewhere/listed.jpg"}));
    QVERIFY(shell.messages.isEmpty());
}

void TestSingleInstance::filesABusyCopyDoesNotTakeGetAWindowOfTheirOwn() {
    const QString key = TestKey("busy");
    InstanceGuard first(key);
    QVERIFY(first.TryBecomeFirst());
    QVERIFY(first.Listen());
    QSignalSpy asked(&first, &InstanceGuard::activationRequested);

    QTemporaryDir folder;
    QProcess second;
    second.setWorkingDirectory(folder.path());
    StartCopy(second, key, {"a.jpg"}, QProcess::SeparateChannels);
    // This copy is busy: no event loop runs here while the second one waits
    // for its answer, and gives up.
    QVERIFY2(!second.waitForFinished(8000), "the second copy ended, and its files with it");
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += second.readAllStandardError()).contains("window of their own"), 5000);
    // Read late, the request is not taken as well: the files are listed once.
    QTest::qWait(500);
    QCOMPARE(asked.count(), 0);
    QCOMPARE(second.state(), QProcess::Running);
    second.kill();
    second.waitForFinished();
}

void TestSingleInstance::keyNamesUserAndDisplay_data() {
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<QString>("x11");
    QTest::addColumn<QString>("display"); // what the key has after the user
    QTest::newRow("X display") << ""
                               << ":1"
                               << "-_1";
    QTest::newRow("X screen of the same display") << ""
                                                  << ":1.0"
                                                  << "-_1";
    QTest::newRow("forwarded X display") << ""
                                         << "localhost:10.0"
                                         << "-localhost_10";
    QTest::newRow("Wayland first") << "wayland-0"
                                   << ":0"
                                   << "-wayland-0";
    QTest::newRow("no display") << ""
                                << ""
                                << "";
}

void TestSingleInstance::keyNamesUserAndDisplay() {
    QFETCH(QString, wayland);
    QFETCH(QString, x11);
    QFETCH(QString, display);
    const QByteArray saved[] = {qgetenv("QUILLMARK_INSTANCE_KEY"), qgetenv("WAYLAND_DISPLAY"),
                                qgetenv("DISPLAY")};
    qunsetenv("QUILLMARK_INSTANCE_KEY");
    qputenv("WAYLAND_DISPLAY", wayland.toUtf8());
    qputenv("DISPLAY", x11.toUtf8());
    const QString key = InstanceGuard::DefaultKey();
    qputenv("QUILLMARK_INSTANCE_KEY", "chosen");
    const QString chosen = InstanceGuard::DefaultKey();
    qputenv("QUILLMARK_INSTANCE_KEY", saved[0]);
    qputenv("WAYLAND_DISPLAY", saved[1]);
    qputenv("DISPLAY", saved[2]);
    const QString user = qEnvironmentVariable("USER", QString::number(getuid()));
    QCOMPARE(key, "quillmark-" + user + display);
    QCOMPARE(chosen, QStringLiteral("chosen"));
}

void TestSingleInstance::anotherDisplayGetsItsOwnCopy() {
    QTemporaryDir scratch;
    QProcess first;
    StartCopyOnDisplay(first, ":71", scratch.path());
    QVERIFY(first.waitForStarted());
    QTest::qWait(1500); // let it take the lock and listen
    QProcess otherDisplay;
    StartCopyOnDisplay(otherDisplay, ":72", scratch.path());
    QProcess sameDisplay;
    StartCopyOnDisplay(sameDisplay, ":71.0", scratch.path());

    QVERIFY(Ended(sameDisplay, 10000));
    QCOMPARE(sameDisplay.exitCode(), 0);
    QVERIFY(!Ended(otherDisplay, 2500)); // a window of its own
    for (QProcess* copy : {&first, &otherDisplay}) {
        QCOMPARE(copy->state(), QProcess::Running);
        copy->kill();
        copy->waitForFinished();
    }
}

QTEST_MAIN(TestSingleInstance)
#include "TestSingleInstance.moc"

// Jobs started from the window: refusals, whole jobs to readable PDFs, the
// end-of-job account, the locked buttons, the progress state and closing
// during a job.
#include "Conversion.h"
#include "DialogTemplate.h"
#include "EndlessDecoding.h"
#include "FakeShell.h"
#include "JobState.h"
#include "PdfProbe.h"
#include "PdfReadBack.h"
#include "QuillmarkDlg.h"
#include "ReadOnlyFolder.h"

#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <optional>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kJobTimeoutMs = 120000;

const int kLockedButtons[] = {1000, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1014, 1015};

// A window with its save folder in a temporary folder and a small page size.
struct Fixture {
    QTemporaryDir folder;
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg{shell, job, 96};

    explicit Fixture(QSize page = {120, 160}) {
        dlg.Control<QLineEdit>(ControlId::SaveFolder)->setText(saveFolder());
        dlg.Control<QCheckBox>(ControlId::CustomSizeBox)->click();
        dlg.Control<QLineEdit>(ControlId::PageWidth)->setText(QString::number(page.width()));
        dlg.Control<QLineEdit>(ControlId::PageHeight)->setText(QString::number(page.height()));
        QDir(folder.path()).mkdir("save");
        QDir(folder.path()).mkdir("pictures");
    }
    QString saveFolder() const { return folder.filePath("save"); }

    QString picture(const QString& name, QColor colour, QSize size = {40, 30}) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = folder.filePath("pictures/" + name);
        if (!image.save(path)) {
            qFatal("cannot write %s", qPrintable(path));
        }
        return path;
    }
    // A picture that compresses badly, so its page takes real time to write.
    QString noise(const QString& name, QSize size, int seed) {
        QImage image(size, QImage::Format_RGB32);
        QRandomGenerator random(seed);
        for (int y = 0; y < size.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < size.width(); ++x) {
                line[x] = random.generate() | 0xFF000000;
            }
        }
        const QString path = folder.filePath("pictures/" + name);
        image.save(path);
        return path;
    }
    QString broken(const QString& name) {
        const QString path = folder.filePath("pictures/" + name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("this is no picture at all");
        return path;
    }
    void list(const QStringList& paths) {
        auto* list = dlg.Control<QTreeWidget>(ControlId::SourceList);
        for (const QString& path : paths) {
            list->addTopLevelItem(new QTreeWidgetItem({path}));
        }
    }
    // The job's output folder: the one folder Start made in the save folder.
    QStringList outputFolders() const {
        return QDir(saveFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }
    QString outputFolder() const {
        const QStringList made = outputFolders();
        return made.size() == 1 ? QDir(saveFolder()).filePath(made.first()) : QString();
    }
    // Everything below the save folder, relative to it.
    QStringList everything() const {
        QStringList found;
        QDirIterator it(saveFolder(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            found << QDir(saveFolder()).relativeFilePath(it.next());
        }
        found.sort();
        return found;
    }
};

} // namespace

// Runs the event loop until the job has ended and the window has said so.
#define WAIT_FOR_END(f) QTRY_VERIFY_WITH_TIMEOUT(!(f).dlg.IsConverting(), kJobTimeoutMs)

class TestConversion : public QObject {
    Q_OBJECT
  private slots:
    void emptyListStartsNothing();
    void pageSizeOutsideTheLimitsIsRefused_data();
    void pageSizeOutsideTheLimitsIsRefused();
    void typedSaveFolderIsCheckedAtStart_data();
    void typedSaveFolderIsCheckedAtStart();
    void saveFolderThatCannotBeWrittenIsRefused();
    void progressShowsCounts();
    void mergedJobWritesOneDocument();
    void separateJobWritesOneDocumentPerPicture();
    void encryptionIsChosenBesideThePassword();
    void failedPicturesAreReported();
    void folderJobKeepsAddFilesLocked();
    void buttonsLockDuringAJobAndProgressSteps();
    void closingDuringAJob_data();
    void closingDuringAJob();
    void answeringNoLetsTheJobFinish();
    void jobLivesOnItsOwnThread_data();
    void jobLivesOnItsOwnThread();
};

void TestConversion::emptyListStartsNothing() {
    Fixture f;
    f.dlg.OnStartConversion();
    QCOMPARE(f.shell.messages, QStringList{QStringLiteral("无可转换的文件")});
    QVERIFY(!f.dlg.IsConverting());
    QVERIFY(f.outputFolders().isEmpty());
    for (int id : kLockedButtons) {
        QVERIFY(f.dlg.Control(id)->isEnabled());
    }
}

void TestConversion::pageSizeOutsideTheLimitsIsRefused_data() {
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::newRow("letters give 0") << "abc"
                                    << "100";
    QTest::newRow("too narrow") << "2"
                                << "100";
    QTest::newRow("negative") << "-5"
                              << "100";
    QTest::newRow("too tall") << "100"
                              << "14401";
    QTest::newRow("beyond 32 bits") << "100"
                                    << "99999999999";
}

void TestConversion::pageSizeOutsideTheLimitsIsRefused() {
    QFETCH(QString, width);
    QFETCH(QString, height);
    Fixture f;
    f.list({f.picture("a.png", Qt::red)});
    f.dlg.Control<QLineEdit>(ControlId::PageWidth)->setText(width);
    f.dlg.Control<QLineEdit>(ControlId::PageHeight)->setText(height);
    f.dlg.OnStartConversion();
    // The job is refused at its beginning, on the job's thread.
    WAIT_FOR_END(f);
    QCOMPARE(f.shell.messages.size(), 1);
    QVERIFY2(f.shell.messages.first().contains("3 到 14400"), qPrintable(f.shell.messages.first()));
    QVERIFY(f.outputFolders().isEmpty());
    QVERIFY(f.dlg.Control(ControlId::Start)->isEnabled());
}

void TestConversion::typedSaveFolderIsCheckedAtStart_data() {
    QTest::addColumn<QString>("typed"); // {} stands for the fixture's folder
    QTest::addColumn<bool>("starts");
    QTest::newRow("missing") << "{}/gone/away" << false;
    QTest::newRow("a file, not a folder") << "{}/pictures/a.png" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("pasted with blanks") << "  {}/save\n" << true;
}

void TestConversion::typedSaveFolderIsCheckedAtStart() {
    QFETCH(QString, typed);
    QFETCH(bool, starts);
    Fixture f;
    f.list({f.picture("a.png", Qt::red)});
    typed.replace("{}", f.folder.path());
    f.dlg.Control<QLineEdit>(ControlId::SaveFolder)->setText(typed);
    f.dlg.OnStartConversion();
    QCOMPARE(f.dlg.IsConverting(), starts);
    if (!starts) {
        QCOMPARE(f.shell.messages.size(), 1);
        QVERIFY2(f.shell.messages.first().startsWith(QStringLiteral("保存目录不存在：")),
                 qPrintable(f.shell.messages.first()));
        QVERIFY(f.dlg.Control(ControlId::Start)->isEnabled());
        QVERIFY(!QFileInfo::exists(f.folder.filePath("gone")));
        return;
    }
    QCOMPARE(f.dlg.Control<QLineEdit>(ControlId::SaveFolder)->text(), f.saveFolder());
    WAIT_FOR_END(f);
    QCOMPARE(f.shell.messages, QStringList{QStringLiteral("转换完成")});
    QVERIFY(QFileInfo::exists(QDir(f.outputFolder()).filePath("result.pdf")));
}

// Refused before anything is made, in the window's words, naming the folder.
void TestConversion::saveFolderThatCannotBeWrittenIsRefused() {
    Fixture f;
    f.list({f.picture("a.png", Qt::red)});
    const ReadOnlyFolder locked(f.folder.filePath("locked").toStdString());
    if (!locked.whyNot().empty()) {
        QSKIP(locked.whyNot().c_str());
    }
    const QString folder = QString::fromStdString(locked.path().string());
    f.dlg.Control<QLineEdit>(ControlId::SaveFolder)->setText(folder);
    f.dlg.OnStartConversion();
    // The refusal comes from the job's own beginning, as the job's end.
    WAIT_FOR_END(f);
    QCOMPARE(f.shell.messages,
             QStringList{QStringLiteral("无法写入保存目录：%1\n请选择另一个目录。").arg(folder)});
    QVERIFY(f.dlg.Control(ControlId::Start)->isEnabled());
    QVERIFY(QDir(folder).isEmpty());
}

// The count beside the squares follows the job: pictures first, then documents.
void TestConversion::progressShowsCounts() {
    Fixture f({1200, 1600});
    QStringList pictures;
    for (int i = 0; i < 4; ++i) {
        pictures << f.noise(QStringLiteral("n%1.png").arg(i), {900, 700}, i);
    }
    f.list(pictures);
    QCOMPARE(f.dlg.ProgressCount(), QString());
    f.dlg.OnStartConversion();
    QSet<QString> seen;
    QElapsedTimer clock;
    clock.start();
    while (f.dlg.IsConverting() && clock.elapsed() < kJobTimeoutMs) {
        seen << f.dlg.ProgressCount();
        QTest::qWait(5);
    }
    QVERIFY(!f.dlg.IsConverting());
    const QRegularExpression pictureCount(QStringLiteral("^[0-4] / 4$"));
    const QRegularExpression documentCount(QStringLiteral("^PDF [01] / 1$"));
    bool sawPictures = false;
    for (const QString& count : seen) {
        QVERIFY2(count.isEmpty() || pictureCount.match(count).hasMatch() ||
                     documentCount.match(count).hasMatch(),
                 qPrintable(count));
        sawPictures = sawPictures || pictureCount.match(count).hasMatch();
    }
    QVERIFY2(sawPictures, qPrintable(QStringList(seen.values()).join(", ")));
}

void TestConversion::mergedJobWritesOneDocument() {
    Fixture f;
    f.list({f.picture("a.png", Qt::red), f.picture("b.jpg", Qt::blue), f.picture("c.bmp", Qt::green)});
    f.dlg.Control<QCheckBox>(ControlId::PasswordBox)->click();
    f.dlg.Control<QLineEdit>(ControlId::Password)->setText("秘密1");
    f.dlg.OnStartConversion();
    WAIT_FOR_END(f);

    QCOMPARE(f.shell.messages, QStringList{QStringLiteral("转换完成")});
    QVERIFY(QDir(f.outputFolder()).dirName().startsWith(QStringLiteral("转换结果")));
    const QString result = QDir(f.outputFolder()).filePath("result.pdf");
    QVERIFY(PdfNeedsPassword(result));
    QCOMPARE(PdfPageCount(result, QStringLiteral("秘密1")), 3);
    QCOMPARE(f.everything(), (QStringList{QDir(f.saveFolder()).relativeFilePath(f.outputFolder()),
                                          QDir(f.saveFolder()).relativeFilePath(result)}));
}

void TestConversion::separateJobWritesOneDocumentPerPicture() {
    Fixture f;
    f.list({f.picture("a.png", Qt::red), f.picture("b.png", Qt::blue)});
    f.dlg.Control<QRadioButton>(ControlId::OnePerPicture)->click();
    f.dlg.OnStartConversion();
    WAIT_FOR_END(f);
    QCOMPARE(f.shell.messages, QStringList{QStringLiteral("转换完成")});
    const QDir output(f.outputFolder());
    QCOMPARE(output.entryList(QDir::Files | QDir::Hidden), (QStringList{"0.pdf", "1.pdf"}));
    QCOMPARE(PdfPageCount(output.filePath("0.pdf")), 1);
    QCOMPARE(PdfPageCount(output.filePath("1.pdf")), 1);
}

void TestConversion::failedPicturesAreReported() {
    Fixture f;
    const QString bad = f.broken("bad.jpg");
    f.list({f.picture("a.png", Qt::red), bad});
    f.dlg.OnStartConversion();
    WAIT_FOR_END(f);

    // The document is written, with a white page for the picture that failed,
    // and the user is told which picture and why.
    QCOMPARE(f.shell.messages.size(), 1);
    const QString said = f.shell.messages.first();
    QVERIFY2(said.startsWith(QStringLiteral("转换完成\n")), qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("已生成 1 个PDF文件")), qPrintable(said));
    QVERIFY2(f.shell.reportDetails.first().contains(QDir::toNativeSeparators(bad)),
             qPrintable(f.shell.reportDetails.first()));
    QCOMPARE(PdfPageCount(QDir(f.outputFolder()).filePath("result.pdf")), 2);

    // The box can open this job's own folder.
    QCOMPARE(f.shell.offeredFolder, QList<bool>{true});
    f.shell.reportAnswer = Shell::Answer::OpenFolder;
    f.dlg.OnStartConversion();
    WAIT_FOR_END(f);
    QCOMPARE(f.shell.opened.size(), 1);
    QVERIFY(f.shell.opened.first().startsWith(f.saveFolder() + QStringLiteral("/转换结果")));
    QVERIFY(QFileInfo(f.shell.opened.first()).isDir());
    // The box names that folder, whether or not the user opens it.
    QCOMPARE(f.shell.reportPlaces.last(), QStringLiteral("PDF文件保存在：") + f.shell.opened.first());

    // Where no file manager answers, the user is told so, with the path.
    f.shell.folderOpens = false;
    f.dlg.OnStartConversion();
    WAIT_FOR_END(f);
    QCOMPARE(f.shell.opened.size(), 2);
    QCOMPARE(f.shell.kinds.last(), Shell::Buttons::Ok);
    QVERIFY2(f.shell.messages.last().endsWith(QLatin1Char('\n') + f.shell.opened.last()),
             qPrintable(f.shell.messages.last()));
}

void TestConversion::folderJobKeepsAddFilesLocked() {
    Fixture f;
    f.picture("a.png", Qt::red);
    f.picture("b.png", Qt::blue);
    f.dlg.Control<QCheckBox>(ControlId::TraverseBox)->click();
    f.list({f.folder.filePath("pictures")});
    f.dlg.OnStartConversion();
    WAIT_FOR_END(f);
    QCOMPARE(f.shell.messages, QStringList{QStringLiteral("转换完成")});
    QVERIFY(!f.dlg.Control(ControlId::AddFiles)->isEnabled());
    QVERIFY(f.dlg.Control(ControlId::AddFolder)->isEnabled());
    QCOMPARE(PdfPageCount(QDir(f.outputFolder()).filePath("pictures/result.pdf")), 2);
}

void TestConversion::buttonsLockDuringAJobAndProgressSteps() {
    Fixture f;
    f.list({f.picture("a.png", Qt::red)});
    f.dlg.OnStartConversion();
    // Nothing reaches the window before the event loop runs, so the job is
    // certainly still running here.
    QVERIFY(f.dlg.IsConverting());
    for (int id : kLockedButtons) {
        QVERIFY2(!f.dlg.Control(id)->isEnabled(), qPrintable(QString::number(id)));
    }
    for (int id : {1001, 1010, 1012, 1016, 1019, 1020, 1021, 1027, 1028}) {
        QVERIFY2(f.dlg.Control(id)->isEnabled(), qPrintable(QString::number(id)));
    }
    QCOMPARE(f.dlg.ProgressStep(), 0);
    QList<int> steps;
    for (int tick = 0; tick < 4; ++tick) {
        f.dlg.OnTimer();
        steps << f.dlg.ProgressStep();
    }
    QCOMPARE(steps, (QList<int>{1, 2, 3, 1}));
    WAIT_FOR_END(f);
    for (int id : kLockedButtons) {
        QVERIFY2(f.dlg.Control(id)->isEnabled(), qPrintable(QString::number(id)));
    }
    QCOMPARE(f.dlg.ProgressStep(), 0);

    // A second job starts its animation afresh.
    f.dlg.OnStartConversion();
    f.dlg.OnTimer();
    QCOMPARE(f.dlg.ProgressStep(), 1);
    WAIT_FOR_END(f);
    QCOMPARE(f.shell.messages, (QStringList{QStringLiteral("转换完成"), QStringLiteral("转换完成")}));
}

void TestConversion::closingDuringAJob_data() {
    QTest::addColumn<int>("waitMs");
    QTest::addColumn<bool>("merge");
    QTest::addColumn<bool>("endlessPicture");
    // At once: the preparation stage is stopped. After a pause without the
    // event loop: the job has ended on its own thread and its notice waits unread.
    // While PDFs are written: the PDF stage is stopped. While a picture that
    // never finishes decoding is under way: only stopping its decoder ends it.
    QTest::newRow("at once") << 0 << true << false;
    QTest::newRow("job ended, notice unread") << 3000 << true << false;
    QTest::newRow("while writing documents") << -1 << false << false;
    QTest::newRow("while a picture decodes") << 300 << true << true;
}

void TestConversion::closingDuringAJob() {
    QFETCH(int, waitMs);
    QFETCH(bool, merge);
    QFETCH(bool, endlessPicture);
    const bool small = waitMs > 0;
    Fixture f(small ? QSize(120, 160) : QSize(1500, 1500));
    QStringList pictures;
    for (int i = 0; i < (small ? 2 : 16); ++i) {
        pictures << f.noise(QString("p%1.png").arg(i), small ? QSize(40, 30) : QSize(400, 400), i);
    }
    std::optional<EndlessDecoding> endlessDecoding; // its decoder waits for ever
    if (endlessPicture) {
        endlessDecoding.emplace();
        pictures.prepend(f.picture("endless.png", Qt::green));
    }
    f.list(pictures);
    if (!merge) {
        f.dlg.Control<QRadioButton>(ControlId::OnePerPicture)->click();
    }
    f.shell.answers << Shell::Answer::Yes;
    f.dlg.show();
    f.dlg.OnStartConversion();
    if (waitMs > 0) {
        QThread::msleep(waitMs);
    } else if (waitMs < 0) {
        // Poll closely: the documents are written much faster than the pages.
        QElapsedTimer clock;
        clock.start();
        while (f.dlg.IsConverting() && QDir(f.outputFolder()).entryList({"*.pdf"}).isEmpty() &&
               clock.elapsed() < kJobTimeoutMs) {
            QCoreApplication::processEvents();
            QThread::msleep(1);
        }
    }
    QVERIFY2(f.dlg.IsConverting(), "the job ended before the test could close the window");
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(5);
    QSignalSpy ended(&f.dlg, &CQuillmarkDlg::jobEnded);
    f.dlg.OnCancelCommand();

    // The window goes at once; the job stops on its own thread while the
    // event loop goes on.
    QCOMPARE(f.shell.questions, QStringList{QStringLiteral("您确定要退出吗 ?")});
    QVERIFY(!f.dlg.isVisible());
    if (endlessPicture) {
        QVERIFY2(f.dlg.IsConverting(), "the window waited for the job on its own thread");
    }
    QTRY_VERIFY_WITH_TIMEOUT(!f.dlg.IsConverting(), 30000);
    QCOMPARE(ended.count(), 1);
    if (endlessPicture) {
        QVERIFY2(ticks > 0, "the event loop stood still while the job stopped");
    }
    // No scratch folder, no half-written file: only complete documents remain.
    for (const QString& entry : f.everything()) {
        const QString path = QDir(f.saveFolder()).filePath(entry);
        if (QFileInfo(path).isDir()) {
            QVERIFY2(!entry.contains('/'), qPrintable("left behind: " + entry));
            continue;
        }
        QVERIFY2(entry.endsWith(".pdf"), qPrintable("left behind: " + entry));
        QVERIFY2(PdfPageCount(path) > 0, qPrintable("unreadable: " + entry));
    }
    // Nothing arrives after the window has closed.
    QTest::qWait(300);
    QCOMPARE(f.shell.messages.size(), 1);
}

void TestConversion::answeringNoLetsTheJobFinish() {
    Fixture f;
    f.list({f.picture("a.png", Qt::red)});
    f.shell.answers << Shell::Answer::No;
    f.dlg.show();
    f.dlg.OnStartConversion();
    f.dlg.OnCancelCommand();
    QVERIFY(f.dlg.isVisible());
    WAIT_FOR_END(f);
    QCOMPARE(f.shell.messages.last(), QStringLiteral("转换完成"));
    QCOMPARE(PdfPageCount(QDir(f.outputFolder()).filePath("result.pdf")), 1);
}

void TestConversion::jobLivesOnItsOwnThread_data() {
    QTest::addColumn<bool>("closeDuringTheJob");
    QTest::newRow("to its end") << false;
    QTest::newRow("window closed during the job") << true;
}

// The whole job, its beginning and end included, runs off the UI thread, at a
// nice value on the normal scheduling class (SCHED_IDLE starves beside busy
// programs), which the threads it starts inherit.
void TestConversion::jobLivesOnItsOwnThread() {
    QFETCH(bool, closeDuringTheJob);
    Fixture f;
    QStringList pictures{f.picture("a.png", Qt::red), f.picture("b.png", Qt::blue)};
    // A picture that never finishes decoding holds the job until the window closes.
    std::optional<EndlessDecoding> endlessDecoding;
    if (closeDuringTheJob) {
        endlessDecoding.emplace();
        pictures << f.picture("endless.png", Qt::green);
    }
    f.list(pictures);
    errno = 0;
    const int ownNice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    const int expectedNice = std::max(ownNice, 10);

    struct Watch {
        QThread* thread = nullptr;
        bool begunBefore = true;    // an output folder existed before the job procedure ran
        QStringList leftAtEnd{"?"}; // the save folder once the job procedure returned
        std::atomic<bool> scratchSeen{false};
        std::mutex lock; // for the figures taken on the stage's threads
        QSet<int> policies;
        QSet<int> niceValues;
    } watch;
    const auto takePriority = [&watch] {
        const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
        const std::lock_guard hold(watch.lock);
        watch.policies << ::sched_getscheduler(0);
        watch.niceValues << nice;
    };
    f.dlg.SetJobProcedure([&](JobState& job, const std::filesystem::path& save, std::time_t start,
                              const StageObserver& observer) {
        watch.thread = QThread::currentThread();
        watch.begunBefore = !f.outputFolders().isEmpty();
        takePriority();
        StageObserver watching = observer;
        watching.progress = [&](const StageProgress& report) {
            takePriority();
            if (report.stage == Stage::Prepare && std::filesystem::is_directory(job.workFolderPath)) {
                watch.scratchSeen = true;
            }
            observer.progress(report);
        };
        const bool began = RunJob(job, save, start, watching);
        watch.leftAtEnd = f.everything();
        return began;
    });
    QSignalSpy ended(&f.dlg, &CQuillmarkDlg::jobEnded);
    f.dlg.show();
    f.dlg.OnStartConversion();
    QTRY_VERIFY_WITH_TIMEOUT(watch.scratchSeen, kJobTimeoutMs);
    if (closeDuringTheJob) {
        f.shell.answers << Shell::Answer::Yes;
        f.dlg.OnCancelCommand();
        QVERIFY(!f.dlg.isVisible());
    }
    QTRY_VERIFY_WITH_TIMEOUT(!f.dlg.IsConverting(), kJobTimeoutMs);
    QCOMPARE(ended.count(), 1);

    QVERIFY(watch.thread != nullptr);
    QVERIFY(watch.thread != QThread::currentThread());
    QVERIFY2(!watch.begunBefore, "the job was begun before its own thread ran");
    // The job had ended, its scratch folder gone, before the window heard of
    // it, and the window added nothing to that.
    QCOMPARE(f.everything(), watch.leftAtEnd);
    for (const QString& entry : watch.leftAtEnd) {
        QVERIFY2(!entry.contains(QStringLiteral(".quillmark-work")), qPrintable("left behind: " + entry));
    }
    if (closeDuringTheJob) {
        QCOMPARE(f.shell.messages, QStringList{QStringLiteral("您确定要退出吗 ?")});
    } else {
        QCOMPARE(f.shell.messages.size(), 1);
        QCOMPARE(PdfPageCount(QDir(f.outputFolder()).filePath("result.pdf")), 2);
    }
    QVERIFY(!watch.policies.contains(SCHED_IDLE));
    QCOMPARE(watch.policies, QSet<int>{SCHED_OTHER});
    QCOMPARE(watch.niceValues, QSet<int>{expectedNice});
}

QTEST_MAIN(TestConversion)
#include "TestConversion.moc"

void TestConversion::encryptionIsChosenBesideThePassword() {
    Fixture f;
    auto* choice = f.dlg.Control<QToolButton>(kEncryptionChoiceId);
    QVERIFY(choice != nullptr);
    // In the gap between the password field and the custom-size box.
    QVERIFY(choice->geometry().left() > f.dlg.Control(ControlId::Password)->geometry().right());
    QVERIFY(choice->geometry().right() < f.dlg.Control(ControlId::CustomSizeBox)->geometry().left());
    QCOMPARE(f.dlg.ChosenEncryption(), Encryption::Rc4);
    choice->menu()->actions().at(1)->trigger();
    QCOMPARE(f.dlg.ChosenEncryption(), Encryption::Aes256);

    f.list({f.picture("a.png", Qt::red)});
    f.dlg.Control<QCheckBox>(ControlId::PasswordBox)->click();
    f.dlg.Control<QLineEdit>(ControlId::Password)->setText(QStringLiteral("geheim"));
    f.dlg.OnStartConversion();
    WAIT_FOR_END(f);
    const QString document = QDir(f.outputFolder()).filePath("result.pdf");
    const PdfProbe probe = ProbePdf(document.toStdString(), "geheim");
    QVERIFY2(probe.opened, probe.error.c_str());
    QCOMPARE(probe.encryption->R, 6);
    QVERIFY(ProbePdf(document.toStdString(), "").passwordRejected);
}

// Filling the list: the file picker, the folder scan (pictures, or sub-folders
// in traverse mode) and dropped files; duplicates, order and the count label.
#include "DialogTemplate.h"
#include "FakeShell.h"
#include "JobState.h"
#include "PictureTest.h"
#include "QuillmarkDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>

namespace {

struct Fixture {
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg{shell, job, 96};

    QTreeWidget* list() { return dlg.Control<QTreeWidget>(ControlId::SourceList); }
    QString label() { return dlg.Control<QLabel>(ControlId::FileCount)->text(); }
    void click(int id) { dlg.Control<QPushButton>(id)->click(); }
    QStringList rows() {
        QStringList texts;
        for (int row = 0; row < list()->topLevelItemCount(); ++row) {
            texts << list()->topLevelItem(row)->text(0);
        }
        return texts;
    }
    // Files dragged from a file manager, as file URLs, dropped at `where` on
    // `target` (the window unless given).
    void drop(const QStringList& paths, QPoint where = {300, 300}) { drop(paths, &dlg, where); }
    void drop(const QStringList& paths, QWidget* target, QPoint where = {1, 1}) {
        QList<QUrl> urls;
        for (const QString& path : paths) {
            urls << (path.contains("://") ? QUrl(path) : QUrl::fromLocalFile(path));
        }
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(QPointF(where), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
    }
};

// An empty file whose last write lies `days` days in the past.
QString Touch(const QString& path, int days = 0) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qFatal("cannot write %s", qPrintable(path));
    }
    file.close();
    std::filesystem::last_write_time(path.toStdString(),
                                     std::filesystem::file_time_type::clock::now() - std::chrono::days(days));
    return path;
}

} // namespace

class TestAddingSources : public QObject {
    Q_OBJECT
  private slots:
    void startedWithFiles();
    void pickerBatchesGoOnTopOnce();
    void folderScanTakesPicturesOldestFirst();
    void traverseModeListsSubFolders();
    void dropTakesWhatEndsLikeAPicture();
    void newKindsEnterByEveryWay();
    void dropsReachTheWindowFromEveryControl();
    void duplicateTestFollowsEveryChange();
};

void TestAddingSources::pickerBatchesGoOnTopOnce() {
    Fixture f;
    QVERIFY(f.label().isEmpty());
    f.click(ControlId::AddFiles); // cancelled
    QCOMPARE(f.label(), QStringLiteral("0"));
    QCOMPARE(f.shell.filters,
             QStringList{QStringLiteral("图片文件(*.jpg *.jpeg *.png *.bmp *.emf *.tif *.tiff *.gif "
                                        "*.heic *.heif *.avif *.webp *.jxl *.jp2 *.j2k)")});

    f.shell.pickedFiles << QStringList{"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"};
    f.click(ControlId::AddFiles);
    QCOMPARE(f.rows(), (QStringList{"/p/c.jpg", "/p/b.jpg", "/p/a.jpg"}));

    // Case counts; a path twice in one batch is taken once.
    f.shell.pickedFiles << QStringList{"/p/a.jpg", "/p/A.jpg", "/p/d.jpg", "/p/d.jpg"};
    f.click(ControlId::AddFiles);
    QCOMPARE(f.rows(), (QStringList{"/p/d.jpg", "/p/A.jpg", "/p/c.jpg", "/p/b.jpg", "/p/a.jpg"}));
    QCOMPARE(f.label(), QStringLiteral("5"));

    // Only listed files: nothing changes, but the label is written afresh.
    f.dlg.Control<QLabel>(ControlId::FileCount)->clear();
    f.shell.pickedFiles << QStringList{"/p/a.jpg"};
    f.click(ControlId::AddFiles);
    QCOMPARE(f.rows().size(), 5);
    QCOMPARE(f.label(), QStringLiteral("5"));
    QVERIFY(f.shell.messages.isEmpty());
}

void TestAddingSources::folderScanTakesPicturesOldestFirst() {
    QTemporaryDir dir;
    const QString x = Touch(dir.filePath("x.jpg"), 3);
    const QString y = Touch(dir.filePath("y.png"), 2);
    const QString mixed = Touch(dir.filePath("photo.Jpg"), 4);
    Touch(dir.filePath("photo.jpg.bak"), 1);
    Touch(dir.filePath("IMG_0001.JPG.xmp"), 1);
    Touch(dir.filePath("z.txt"), 4);
    QDir(dir.path()).mkdir("folder.jpg"); // a folder is never taken
    QDir(dir.path()).mkdir("shots.png");
    Touch(dir.filePath("shots.png/scan.raw"));

    Fixture f;
    f.shell.pickedFiles << QStringList{"/p/p.bmp"};
    f.click(ControlId::AddFiles);
    f.shell.pickedFolders << dir.path() << dir.path() << dir.filePath("shots.png");
    f.click(ControlId::AddFolder);
    QCOMPARE(f.shell.folderTitles, QStringList{QStringLiteral("请选择路径: ")});
    QCOMPARE(f.rows(), (QStringList{mixed, x, y, "/p/p.bmp"}));
    f.click(ControlId::AddFolder); // the same folder again adds nothing
    QCOMPARE(f.rows().size(), 4);
    // A folder's name does not make its files pictures.
    f.click(ControlId::AddFolder);
    QCOMPARE(f.rows().size(), 4);
    QCOMPARE(f.label(), QStringLiteral("4"));

    // Equal times (an unpacked archive) keep name order; by name, numbers count.
    QTemporaryDir unpacked;
    for (const char* name : {"img10.jpg", "img2.jpg", "img1.jpg"}) {
        Touch(unpacked.filePath(name), 1);
    }
    std::filesystem::last_write_time(
        unpacked.filePath("img10.jpg").toStdString(),
        std::filesystem::last_write_time(unpacked.filePath("img1.jpg").toStdString()));
    std::filesystem::last_write_time(
        unpacked.filePath("img2.jpg").toStdString(),
        std::filesystem::last_write_time(unpacked.filePath("img1.jpg").toStdString()));
    Fixture byTime;
    byTime.shell.pickedFolders << unpacked.path();
    byTime.click(ControlId::AddFolder);
    QCOMPARE(byTime.rows(), (QStringList{unpacked.filePath("img1.jpg"), unpacked.filePath("img10.jpg"),
                                         unpacked.filePath("img2.jpg")}));
    Fixture byName;
    byName.shell.pageChoices << PageChoice{.order = FolderOrder::Name};
    byName.click(ControlId::MoreSettings);
    byName.shell.pickedFolders << unpacked.path();
    byName.click(ControlId::AddFolder);
    QCOMPARE(byName.rows(), (QStringList{unpacked.filePath("img1.jpg"), unpacked.filePath("img2.jpg"),
                                         unpacked.filePath("img10.jpg")}));

    // A folder that cannot be read changes nothing, the label included; a
    // cancelled picker refreshes it.
    Fixture g;
    g.shell.pickedFolders << dir.filePath("missing");
    g.click(ControlId::AddFolder);
    QVERIFY(g.label().isEmpty());
    // ...but the user is told why the folder added nothing.
    QCOMPARE(g.shell.messages.size(), 1);
    QVERIFY2(g.shell.messages[0].contains(dir.filePath("missing")), qPrintable(g.shell.messages[0]));
    g.click(ControlId::AddFolder);
    QCOMPARE(g.label(), QStringLiteral("0"));
}

void TestAddingSources::traverseModeListsSubFolders() {
    QTemporaryDir dir;
    for (const char* name : {"b", ".hidden", "a"}) {
        QDir(dir.path()).mkdir(name);
    }
    Touch(dir.filePath("c.jpg"));

    Fixture f;
    f.dlg.Control<QCheckBox>(ControlId::TraverseBox)->click();
    f.shell.pickedFolders << dir.path() << dir.path();
    f.click(ControlId::AddFolder);
    const QStringList once{dir.filePath("b"), dir.filePath("a"), dir.filePath(".hidden")};
    QCOMPARE(f.rows(), once);
    f.click(ControlId::AddFolder);
    QCOMPARE(f.rows(), once + once);
    QCOMPARE(f.label(), QStringLiteral("6"));
    f.shell.pickedFolders << dir.filePath("missing");
    f.click(ControlId::AddFolder);
    QCOMPARE(f.rows().size(), 6);
    QCOMPARE(f.shell.messages.size(), 1);
    QVERIFY2(f.shell.messages[0].contains(dir.filePath("missing")), qPrintable(f.shell.messages[0]));

    // Dropped files are not taken while the list holds folders.
    f.dlg.Control<QLabel>(ControlId::FileCount)->setText("untouched");
    f.drop({dir.filePath("c.jpg")});
    QCOMPARE(f.rows().size(), 6);
    QCOMPARE(f.label(), QStringLiteral("untouched"));
}

void TestAddingSources::dropTakesWhatEndsLikeAPicture() {
    Fixture f;
    f.drop({"/d/photojpg", "/d/photo.jpg.bak", "/d/photo.Jpg", "/d/scan.JPEG", "/d/b.tiff", "/d/c.gif",
            "/d/doc.txt", "https://example.org/web.jpg"});
    QCOMPARE(f.rows(), (QStringList{"/d/c.gif", "/d/b.tiff", "/d/scan.JPEG", "/d/photo.Jpg", "/d/photojpg"}));
    QCOMPARE(f.label(), QStringLiteral("5"));

    // The first is listed already; the other two are added. A path far beyond
    // 260 characters is taken whole.
    const QString longPath = "/d/" + QString(300, QLatin1Char('n')) + "/deep.png";
    f.drop({"/d/c.gif", "/d/e.bmp", longPath});
    QCOMPARE(f.rows().mid(0, 3), (QStringList{longPath, "/d/e.bmp", "/d/c.gif"}));
    QCOMPARE(f.label(), QStringLiteral("7"));
    QVERIFY(f.shell.messages.isEmpty());

    // Dropping stays possible while a job has the buttons locked.
    for (int id : {ControlId::AddFiles, ControlId::AddFolder, ControlId::Start}) {
        f.dlg.Control(id)->setEnabled(false);
    }
    f.drop({"/d/during.jpg"});
    QCOMPARE(f.rows().first(), QStringLiteral("/d/during.jpg"));
}

// Phone, web, archive and scanner pictures come in by the picker, the folder
// scan and a drop, named in any letter case; their lookalikes do not.
void TestAddingSources::newKindsEnterByEveryWay() {
    Fixture f;
    f.click(ControlId::AddFiles);
    for (std::string_view extension : PictureExtensions()) {
        const QString pattern = QStringLiteral("*.") + QString::fromUtf8(extension.data(), extension.size());
        QVERIFY2(f.shell.filters.value(0).split(QRegularExpression("[( )]")).contains(pattern),
                 qPrintable(pattern + " is missing from the picker"));
    }

    const QStringList pictures = {"IMG_0042.HEIC", "b.heif", "c.Avif", "d.webp", "e.JXL", "f.jp2", "g.J2k"};
    QTemporaryDir dir;
    for (const QString& name : pictures + QStringList{"clip.webm", "IMG_0042.HEIC.aae", "notes.jp2.txt"}) {
        Touch(dir.filePath(name));
    }
    f.shell.pickedFolders << dir.path();
    f.click(ControlId::AddFolder);
    QStringList scanned = f.rows();
    for (QString& path : scanned) {
        path = QFileInfo(path).fileName();
    }
    scanned.sort();
    QCOMPARE(scanned, pictures);

    Fixture dropped;
    QStringList paths;
    for (const QString& name : pictures + QStringList{"clip.webm", "notes.jp2.txt"}) {
        paths << "/d/" + name;
    }
    dropped.drop(paths);
    QCOMPARE(dropped.rows().size(), pictures.size());
}

void TestAddingSources::dropsReachTheWindowFromEveryControl() {
    // A drag goes to the innermost widget under the pointer that takes drops;
    // for every part of the window that must end at the window itself. The
    // list takes drags of its own rows only and passes files on.
    Fixture f;
    QVERIFY(f.dlg.acceptDrops());
    int n = 0;
    for (QWidget* child : f.dlg.findChildren<QWidget*>()) {
        if (child->window() != &f.dlg) {
            continue; // a window of its own (the preview) is not part of this one
        }
        const QString file = QStringLiteral("/d/%1.jpg").arg(n++);
        f.drop({file}, child);
        QVERIFY2(f.dlg.IsListed(file),
                 qPrintable(child->metaObject()->className() + (" " + child->objectName())));
    }
}

void TestAddingSources::duplicateTestFollowsEveryChange() {
    Fixture f;
    f.shell.answers << Shell::Answer::Ok << Shell::Answer::Ok;
    f.drop({"/d/a.jpg", "/d/b.jpg"});

    // Moved rows are still listed.
    f.list()->topLevelItem(1)->setSelected(true);
    f.click(ControlId::MoveToTop);
    f.drop({"/d/a.jpg", "/d/b.jpg"});
    QCOMPARE(f.rows(), (QStringList{"/d/a.jpg", "/d/b.jpg"}));

    // Removed or cleared rows can be added again.
    f.click(ControlId::RemoveFile);
    f.drop({"/d/a.jpg"});
    QCOMPARE(f.rows(), (QStringList{"/d/a.jpg", "/d/b.jpg"}));
    f.click(ControlId::ClearList);
    f.drop({"/d/b.jpg"});
    QCOMPARE(f.rows(), QStringList{"/d/b.jpg"});

    // So can rows that a mode change swept away.
    f.dlg.Control<QCheckBox>(ControlId::TraverseBox)->click();
    f.dlg.Control<QCheckBox>(ControlId::TraverseBox)->click();
    f.drop({"/d/b.jpg"});
    QCOMPARE(f.rows(), QStringList{"/d/b.jpg"});
    QVERIFY(f.dlg.IsListed("/d/b.jpg"));
    QVERIFY(!f.dlg.IsListed("/d/B.jpg"));
}

// "quillmark FILE..." lists the files as a drop would, but in the order given
// (a merged document starts with the first), also in a window that was last
// used in folder mode.
void TestAddingSources::startedWithFiles() {
    Fixture f;
    f.dlg.Control<QCheckBox>(ControlId::TraverseBox)->click();
    f.dlg.StartWithFiles({"/p/a.jpg", "/p/b.JPEG", "/p/notes.txt", "/p/a.jpg", "/p/scans"});
    QVERIFY(!f.dlg.Control<QCheckBox>(ControlId::TraverseBox)->isChecked());
    QVERIFY(f.dlg.Control(ControlId::AddFiles)->isEnabled());
    QCOMPARE(f.rows(), (QStringList{"/p/a.jpg", "/p/b.JPEG"}));
    QCOMPARE(f.label(), QStringLiteral("2"));
    QVERIFY(f.shell.messages.isEmpty());
}

QTEST_MAIN(TestAddingSources)
#include "TestAddingSources.moc"

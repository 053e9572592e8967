// Previews of the listed pictures: turned and scaled down, the reason for a
// file that cannot be read, a decoder that crashes or hangs costing nothing
// but its preview, and a file that changes being shown afresh.
#include "DialogTemplate.h"
#include "FakeShell.h"
#include "JobState.h"
#include "ListPreviews.h"
#include "QuillmarkDlg.h"

#include <QApplication>
#include <QFile>
#include <QHelpEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

struct Fixture {
    QTemporaryDir folder;
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg{shell, job, 96};

    Fixture() {
        dlg.show();
        if (!QTest::qWaitForWindowExposed(&dlg)) {
            qFatal("the window did not show");
        }
    }
    QTreeWidget* list() { return dlg.Control<QTreeWidget>(ControlId::SourceList); }
    PreviewPopup& popup() { return dlg.Previews().Popup(); }

    // The mouse rests on the row that lists `path`.
    void hover(const QString& path) {
        if (!dlg.IsListed(path)) {
            dlg.InsertAtTop(path);
        }
        const auto found = list()->findItems(path, Qt::MatchExactly);
        const QPoint at = list()->visualItemRect(found.first()).center();
        QHelpEvent event(QEvent::ToolTip, at, list()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list()->viewport(), &event);
    }
    QString file(const QString& name, const QByteArray& bytes) {
        QFile out(folder.filePath(name));
        out.open(QIODevice::WriteOnly);
        out.write(bytes);
        return out.fileName();
    }
    QString picture(const QString& name, QSize size, QColor colour) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        image.save(folder.filePath(name));
        return folder.filePath(name);
    }
};

// A decoder program that misbehaves, named in QUILLMARK_RENDER while it lives.
struct StandInDecoder {
    QString path;
    StandInDecoder(const QTemporaryDir& folder, const QByteArray& script)
        : path(folder.filePath("decoder.sh")) {
        QFile out(path);
        out.open(QIODevice::WriteOnly);
        out.write("#!/bin/sh\n" + script + "\n");
        out.setPermissions(out.permissions() | QFileDevice::ExeOwner);
        qputenv("QUILLMARK_RENDER", path.toLocal8Bit());
    }
    ~StandInDecoder() { qunsetenv("QUILLMARK_RENDER"); }
};

} // namespace

class TestPreviews : public QObject {
    Q_OBJECT
  private slots:
    void picturesAreTurnedAndScaledDown_data();
    void picturesAreTurnedAndScaledDown();
    void unreadableFileShowsItsReason();
    void misbehavingDecoderCostsOnlyThePreview_data();
    void misbehavingDecoderCostsOnlyThePreview();
    void changedFileIsShownAfresh();
};

void TestPreviews::picturesAreTurnedAndScaledDown_data() {
    QTest::addColumn<QString>("source"); // a corpus file, or WxH for a picture made here
    QTest::addColumn<QSize>("shown");
    QTest::newRow("wide, scaled down") << "1000x500" << QSize(256, 128);
    QTest::newRow("tall, scaled down") << "300x900" << QSize(85, 256);
    QTest::newRow("small, kept") << "40x30" << QSize(40, 30);
    // Stored 2 × 1, EXIF orientation 8: shown standing.
    QTest::newRow("EXIF orientation")
        << QStringLiteral(QUILLMARK_CORPUS "/exif-orientation/orientation_rectangle.jpg") << QSize(1, 2);
}

void TestPreviews::picturesAreTurnedAndScaledDown() {
    QFETCH(QString, source);
    QFETCH(QSize, shown);
    Fixture f;
    QString path = source;
    if (!source.startsWith('/')) {
        const QStringList sides = source.split('x');
        path = f.picture(source + ".png", QSize(sides[0].toInt(), sides[1].toInt()), Qt::darkGreen);
    }
    f.hover(path);
    QVERIFY(f.popup().isVisible());
    QCOMPARE(f.popup().Path(), path);
    QTRY_VERIFY_WITH_TIMEOUT(!f.popup().Image().isNull(), 20000);
    QCOMPARE(f.popup().Image().size(), shown);
    QVERIFY(f.popup().Text().contains(path));
}

void TestPreviews::unreadableFileShowsItsReason() {
    Fixture f;
    const QString path = f.file("letter.jpg", "Dear reader, this is no picture.");
    f.hover(path);
    QTRY_VERIFY_WITH_TIMEOUT(f.popup().Text().startsWith(QStringLiteral("无法预览：")), 20000);
    QVERIFY2(f.popup().Text().contains("not a JPEG"), qPrintable(f.popup().Text()));
    QVERIFY(f.popup().Image().isNull());
}

void TestPreviews::misbehavingDecoderCostsOnlyThePreview_data() {
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("reason");
    QTest::newRow("crash") << QByteArray("kill -SEGV $$") << "解码程序崩溃（Segmentation fault）";
    QTest::newRow("hang") << QByteArray("exec sleep 60") << "超过 1 秒仍未完成，已放弃";
}

void TestPreviews::misbehavingDecoderCostsOnlyThePreview() {
    QFETCH(QByteArray, script);
    QFETCH(QString, reason);
    Fixture f;
    const StandInDecoder decoder(f.folder, script);
    f.dlg.Previews().Maker().SetTimeLimit(1000);
    const QString path = f.picture("a.png", {40, 30}, Qt::red);
    f.hover(path);
    QTRY_VERIFY_WITH_TIMEOUT(f.popup().Text().contains(reason), 20000);
    QVERIFY(f.dlg.isVisible());
    QVERIFY(f.shell.messages.isEmpty());
}

void TestPreviews::changedFileIsShownAfresh() {
    Fixture f;
    const QString path = f.picture("changing.png", {60, 40}, Qt::red);
    f.hover(path);
    QTRY_VERIFY_WITH_TIMEOUT(!f.popup().Image().isNull(), 20000);
    QVERIFY(f.dlg.Previews().Maker().Request(path).has_value()); // kept

    QTest::qWait(1100); // a new write time, also on file systems that count whole seconds
    f.picture("changing.png", {30, 90}, Qt::blue);
    f.popup().hide();
    f.hover(path);
    QTRY_VERIFY_WITH_TIMEOUT(f.popup().Image().size() == QSize(30, 90), 20000);
}

QTEST_MAIN(TestPreviews)
#include "TestPreviews.moc"

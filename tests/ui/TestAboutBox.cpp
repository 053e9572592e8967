// The About box: its text, its picture, its two links, and how the main window
// opens it.
#include "AboutDlg.h"
#include "DialogTemplate.h"
#include "FakeShell.h"
#include "UiTexts.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

class TestAboutBox : public QObject {
    Q_OBJECT
  private slots:
    void textAndPicture();
    void linksLeaveTheBoxOpen();
    void enterOpensTheSiteAndEscCloses();
};

void TestAboutBox::textAndPicture() {
    const QStringList lines = UiTexts::AboutText().split('\n');
    QCOMPARE(lines.size(), 7);
    QCOMPARE(lines[0], QStringLiteral("Brivane"));
    QCOMPARE(lines[1], QStringLiteral("版本：V8.4"));
    QVERIFY(lines[3].contains(UiTexts::kWebsiteUrl));
    QCOMPARE(lines[4], QStringLiteral("Harrowin科技出品"));
    QCOMPARE(lines[5], QStringLiteral("官方正版，安全放心"));

    FakeShell shell;
    CAboutDlg box(shell);
    QCOMPARE(box.windowTitle(), QStringLiteral("关于 Quillmark"));
    QCOMPARE(box.size(), QSize(348, 224)); // 203 × 138 dialog units at 96 dpi
    QVERIFY(box.Control(AboutControlId::Ok)->isHidden());

    // The logo at its own size, and text beside it and below it.
    const QImage picture = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage logo = QImage(":/logo.png").convertToFormat(QImage::Format_RGB32);
    QCOMPARE(picture.copy(QRect(CAboutDlg::kLogoAt, logo.size())), logo);
    const auto inked = [&](QRect area) {
        int dark = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                dark += qGray(picture.pixel(x, y)) < 128;
            }
        }
        return dark;
    };
    QVERIFY(inked(QRect(CAboutDlg::kMakerLineAt, QSize(60, 16))) > 20);
    QVERIFY(inked(CAboutDlg::kTextArea.intersected(box.rect()).adjusted(0, 0, 0, -60)) > 200);
}

void TestAboutBox::linksLeaveTheBoxOpen() {
    FakeShell shell;
    CAboutDlg box(shell);
    box.show();
    qobject_cast<QPushButton*>(box.Control(AboutControlId::VisitWebsite))->click();
    qobject_cast<QPushButton*>(box.Control(AboutControlId::VisitShop))->click();
    QCOMPARE(shell.opened, (QStringList{UiTexts::kWebsiteUrl, UiTexts::kShopUrl}));
    QVERIFY(box.isVisible());
    QVERIFY(shell.messages.isEmpty());
}

void TestAboutBox::enterOpensTheSiteAndEscCloses() {
    FakeShell shell;
    CAboutDlg box(shell);
    box.show();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    QCOMPARE(QApplication::focusWidget(), box.Control(AboutControlId::VisitWebsite));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(shell.opened, QStringList{UiTexts::kWebsiteUrl});
    QVERIFY(box.isVisible());
    QTest::keyClick(&box, Qt::Key_Escape);
    QVERIFY(!box.isVisible());
    QVERIFY(shell.messages.isEmpty());
}

QTEST_MAIN(TestAboutBox)
#include "TestAboutBox.moc"

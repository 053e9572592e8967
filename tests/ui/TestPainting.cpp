// The window's picture: background, band, texts, logo, progress squares, and
// the flat buttons' looks.
#include "DialogTemplate.h"
#include "FakeShell.h"
#include "JobState.h"
#include "ProgressIndicator.h"
#include "QuillmarkDlg.h"
#include "TransParentButton.h"

#include <QImage>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

const QRgb kTeal = qRgb(0, 128, 128);
const QRgb kGrey = qRgb(240, 240, 240);

QImage Picture(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Pixels in `area` for which `test` holds.
template <typename Test> int Count(const QImage& image, const QRect& area, Test test) {
    int found = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            found += test(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return found;
}

// The bounding box of whatever is drawn on the window's grey in `area`.
QRect Drawn(const QImage& image, const QRect& area) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixel(x, y) != kGrey) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

} // namespace

class TestPainting : public QObject {
    Q_OBJECT
  private slots:
    void bandTextsAndLogo();
    void progressSquaresArePartOfThePicture();
    void flatButtonStates();
};

void TestPainting::bandTextsAndLogo() {
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    const QImage image = Picture(dlg);
    QCOMPARE(image.size(), QSize(600, 570));

    // A band of 13% of 570 = 74 rows, then the grey background.
    for (int y = 0; y < 74; ++y) {
        QCOMPARE(image.pixel(2, y), kTeal);
    }
    QCOMPARE(image.pixel(2, 74), kGrey);
    QCOMPARE(image.pixel(599, 75), kGrey);

    // The logo at (438, 5), at its own size.
    const QImage logo = QImage(":/logo.png").convertToFormat(QImage::Format_RGB32);
    QCOMPARE(logo.size(), QSize(64, 64));
    QCOMPARE(image.copy(438, 5, 64, 64), logo);

    // White text in the band where the product and maker lines start, none
    // between them; dark red text from (252, 541).
    const auto white = [](QRgb p) { return qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200; };
    QVERIFY(Count(image, QRect(30, 28, 150, 30), white) > 50);
    QVERIFY(Count(image, QRect(510, 28, 85, 30), white) > 30);
    QCOMPARE(Count(image, QRect(0, 0, 30, 74), white), 0);
    const auto red = [](QRgb p) { return qRed(p) > qGreen(p) + 60 && qRed(p) > qBlue(p) + 60; };
    QVERIFY(Count(image, QRect(252, 541, 160, 20), red) > 30);
    QCOMPARE(Count(image, QRect(0, 541, 250, 29), red), 0);
}

void TestPainting::progressSquaresArePartOfThePicture() {
    QTemporaryDir folder;
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    dlg.Control<QLineEdit>(ControlId::SaveFolder)->setText(folder.path());
    dlg.Control<QTreeWidget>(ControlId::SourceList)
        ->addTopLevelItem(new QTreeWidgetItem({"/no/such/picture.png"}));
    const ProgressGeometry at = ProgressGeometryFor(dlg.rect());
    QCOMPARE(at.squares[0], QRect(65, 540, 20, 20));

    dlg.OnStartConversion();
    QVERIFY(dlg.IsConverting());
    // Before the first step nothing is shown.
    QCOMPARE(Picture(dlg).pixel(at.squares[0].center()), kGrey);

    // Every full repaint, as when the window is uncovered, shows the squares.
    for (int step = 1; step <= 3; ++step) {
        dlg.OnTimer();
        const QImage image = Picture(dlg);
        for (int square = 0; square < 3; ++square) {
            const QRgb expected = square + 1 == step ? qRgb(0, 0, 0) : qRgb(255, 0, 255);
            QCOMPARE(image.pixel(at.squares[square].topLeft()), expected);
            QCOMPARE(image.pixel(at.squares[square].bottomRight()), expected);
        }
        QCOMPARE(image.pixel(at.squares[0].right() + 1, at.squares[0].center().y()), kGrey);
        QVERIFY(Drawn(image, QRect(at.textTopLeft, QSize(70, 20))).isValid());
    }

    QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsConverting(), 60000);
    const QImage after = Picture(dlg);
    const QRect squaresAndText(at.squares[0].topLeft(), at.squares[2].bottomRight() + QPoint(90, 0));
    QCOMPARE(Count(after, squaresAndText, [](QRgb p) { return p != kGrey; }), 0);
}

void TestPainting::flatButtonStates() {
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto* button = dlg.Control<CTransParentButton>(ControlId::MoveUp);
    QVERIFY(button);
    const QRect area = button->geometry();
    const QRect inside = area.adjusted(2, 2, -2, -2);
    const QRgb light = button->palette().color(QPalette::Light).rgb();
    const QRgb shadow = button->palette().color(QPalette::Dark).rgb();

    // Normal: only the window's grey and the caption, no frame.
    QImage image = Picture(dlg);
    QCOMPARE(button->State(), CTransParentButton::ButtonState::Normal);
    QCOMPARE(image.pixel(area.topLeft()), kGrey);
    QCOMPARE(image.pixel(area.bottomRight()), kGrey);
    const QRect normalCaption = Drawn(image, inside);
    QVERIFY(normalCaption.isValid());

    // Hover: raised frame, caption in the highlight colour.
    QTest::mouseMove(button, button->rect().center());
    QTRY_COMPARE(button->State(), CTransParentButton::ButtonState::Hover);
    image = Picture(dlg);
    QCOMPARE(image.pixel(area.topLeft()), light);
    QCOMPARE(image.pixel(area.bottomRight()), shadow);

    // Pressed: sunken frame, caption one pixel lower right; moving with the
    // button held changes nothing.
    QTest::mousePress(button, Qt::LeftButton, {}, button->rect().center());
    QTest::mouseMove(button, button->rect().center() + QPoint(3, 0));
    QCOMPARE(button->State(), CTransParentButton::ButtonState::Pressed);
    image = Picture(dlg);
    QCOMPARE(image.pixel(area.topLeft()), shadow);
    QCOMPARE(image.pixel(area.bottomRight()), light);
    QCOMPARE(Drawn(image, inside), normalCaption.translated(1, 1));

    // Released: the hover look stays while the mouse is over it.
    QTest::mouseRelease(button, Qt::LeftButton, {}, button->rect().center());
    QCOMPARE(button->State(), CTransParentButton::ButtonState::Released);
    QCOMPARE(Picture(dlg).pixel(area.topLeft()), light);

    // Disabled: no frame, whatever the mouse does.
    button->setEnabled(false);
    QCOMPARE(button->State(), CTransParentButton::ButtonState::Normal);
    image = Picture(dlg);
    QCOMPARE(image.pixel(area.topLeft()), kGrey);
    QVERIFY(Drawn(image, inside).isValid());

    // The keyboard never gives it a pressed look, and focus draws no frame.
    button->setEnabled(true);
    button->setFocus();
    QCOMPARE(Picture(dlg).pixel(area.topLeft()), kGrey);
    QTest::keyPress(button, Qt::Key_Space);
    QVERIFY(button->State() != CTransParentButton::ButtonState::Pressed);
    QTest::keyRelease(button, Qt::Key_Space);
}

QTEST_MAIN(TestPainting)
#include "TestPainting.moc"

// The window's languages: which one a user gets, the captions in each, and
// that every caption fits its control at the window's fixed size.
#include "AboutDlg.h"
#include "DialogBackground.h"
#include "DialogTemplate.h"
#include "FakeShell.h"
#include "JobState.h"
#include "QuillmarkDlg.h"
#include "Translation.h"
#include "UiTexts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTreeWidget>

namespace {

QStringList LabelTexts(const QWidget& window) {
    QStringList texts;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        texts << label->text();
    }
    return texts;
}

// How much of a caption the control cannot show, in pixels; 0 when it fits.
int CutOff(const QWidget* widget, ControlKind kind) {
    const auto* button = qobject_cast<const QAbstractButton*>(widget);
    const QString text = button ? button->text() : qobject_cast<const QLabel*>(widget)->text();
    const int textWidth = widget->fontMetrics().horizontalAdvance(text);
    switch (kind) {
    case ControlKind::CheckBox:
    case ControlKind::RadioButton: {
        // The caption is drawn right of the indicator, up to the control's edge.
        QStyleOptionButton option;
        option.initFrom(widget);
        option.text = text;
        const auto element =
            kind == ControlKind::CheckBox ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents;
        return std::max(0, textWidth - widget->style()->subElementRect(element, &option, widget).width());
    }
    case ControlKind::Button:
        return std::max(0, textWidth + 6 - widget->width()); // the frame and a little air
    case ControlKind::FlatButton:
        return std::max(0, textWidth + 2 - widget->width());
    case ControlKind::Label:
        return std::max(0, textWidth - widget->width());
    default:
        return 0;
    }
}

} // namespace

class TestTranslation : public QObject {
    Q_OBJECT
  private slots:
    void languageFollowsThePreferences_data();
    void languageFollowsThePreferences();
    void captionsInEachLanguage_data();
    void captionsInEachLanguage();
    void englishCaptionsFitTheirControls();
    void cleanup() { InstallTranslation(QStringLiteral("zh")); }
};

void TestTranslation::languageFollowsThePreferences_data() {
    QTest::addColumn<QStringList>("preferences");
    QTest::addColumn<QString>("language");
    QTest::newRow("Simplified Chinese") << QStringList{"zh-CN"} << "zh";
    QTest::newRow("Traditional Chinese") << QStringList{"zh-Hant-TW"} << "zh";
    QTest::newRow("English") << QStringList{"en-US"} << "en";
    QTest::newRow("C locale") << QStringList{"C"} << "en";
    QTest::newRow("German only") << QStringList{"de-DE", "de"} << "en";
    QTest::newRow("German, then Chinese") << QStringList{"de-DE", "zh-CN"} << "zh";
    QTest::newRow("English before Chinese") << QStringList{"en-GB", "zh-CN"} << "en";
    QTest::newRow("nothing known") << QStringList{} << "en";
}

void TestTranslation::languageFollowsThePreferences() {
    QFETCH(QStringList, preferences);
    QFETCH(QString, language);
    QCOMPARE(ChooseUiLanguage(preferences), language);
}

void TestTranslation::captionsInEachLanguage_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("buttons"); // About, Add Files, Add Folder, Start
    QTest::addColumn<QString>("countLabel");
    QTest::addColumn<QString>("aboutCaption");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("maker");
    QTest::newRow("en") << "en" << QStringList{"About", "Add Files", "Add Folder", "Start"} << "Files:"
                        << "About Quillmark"
                        << "Brivane V8.4   – batch pictures to PDF"
                        << "Harrowin Tech";
    QTest::newRow("zh") << "zh" << QStringList{"关于我们", "添加文件", "添加目录", "开始转换"} << "文件数："
                        << "关于 Quillmark"
                        << "Brivane V8.4   <支持图片文件批量转PDF"
                        << "Harrowin科技";
}

void TestTranslation::captionsInEachLanguage() {
    QFETCH(QString, language);
    QFETCH(QStringList, buttons);
    QFETCH(QString, countLabel);
    QFETCH(QString, aboutCaption);
    QFETCH(QString, title);
    QFETCH(QString, maker);
    InstallTranslation(language);
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);

    QStringList shown;
    for (int id : {ControlId::About, ControlId::AddFiles, ControlId::AddFolder, ControlId::Start}) {
        shown << dlg.Control<QAbstractButton>(id)->text();
    }
    QCOMPARE(shown, buttons);
    dlg.RefreshFileCount();
    QVERIFY(LabelTexts(dlg).contains(countLabel));
    QCOMPARE(dlg.Control<QLabel>(ControlId::FileCount)->text(), QStringLiteral("0"));
    // An English user reads no Chinese in the title, the banner or the About box.
    QCOMPARE(dlg.windowTitle(), title);
    QCOMPARE(UiTexts::MakerLine(), maker);
    CAboutDlg about(shell);
    QCOMPARE(about.windowTitle(), aboutCaption);
    QVERIFY(UiTexts::AboutText().contains(maker));
    QCOMPARE(UiTexts::AboutText().split('\n').size(), 7);
}

// The layout was drawn for the Chinese captions; the English ones must fit it.
void TestTranslation::englishCaptionsFitTheirControls() {
    InstallTranslation(QStringLiteral("en"));
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    dlg.show();
    // Controls without an identifier are found by their caption.
    const QList<QWidget*> children = dlg.findChildren<QWidget*>();
    QStringList cut;
    for (const ControlTemplate& control : MainDialogTemplate()) {
        if (!*control.caption || control.kind == ControlKind::DefaultButton ||
            control.kind == ControlKind::HiddenButton || control.kind == ControlKind::GroupBox) {
            continue;
        }
        QWidget* widget = dlg.Control(control.id);
        const QString caption = QCoreApplication::translate("DialogTemplate", control.caption);
        for (QWidget* child : children) {
            const auto* label = qobject_cast<QLabel*>(child);
            if (!widget && label && label->text() == caption) {
                widget = child;
            }
        }
        QVERIFY2(widget, qPrintable(caption));
        if (const int missing = CutOff(widget, control.kind); missing > 0) {
            cut << QStringLiteral("\"%1\" by %2 px").arg(caption).arg(missing);
        }
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(", ")));

    // The painted texts too: the banner's maker line inside the window, every
    // line of the About text inside the box.
    const QImage window = dlg.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int band = BannerGeometryFor(dlg.size()).bandHeight;
    for (int y = 0; y < band; ++y) {
        QVERIFY2(window.pixel(window.width() - 1, y) == kBandTeal.rgb(), "the maker line runs off the window");
    }
    CAboutDlg about(shell);
    const int room = std::min(CAboutDlg::kTextArea.right() + 1, about.width()) - CAboutDlg::kTextArea.left();
    for (const QString& line : UiTexts::AboutText().split('\n')) {
        QVERIFY2(about.fontMetrics().horizontalAdvance(line) <= room, qPrintable(line));
    }
}

QTEST_MAIN(TestTranslation)
#include "TestTranslation.moc"

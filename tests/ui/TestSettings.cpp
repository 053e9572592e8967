// What the window remembers between runs: kept across two windows, never the
// password, the defaults on a first start, and a save folder that has gone.
#include "DialogTemplate.h"
#include "FakeShell.h"
#include "JobState.h"
#include "QuillmarkDlg.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The state of every remembered control, in one comparable line.
QStringList Choices(const CQuillmarkDlg& dlg) {
    const auto checked = [&](int id) {
        return QString::number(dlg.Control<QAbstractButton>(id)->isChecked());
    };
    return {dlg.Control<QLineEdit>(ControlId::SaveFolder)->text(),
            checked(ControlId::TraverseBox),
            checked(ControlId::MergeIntoOne),
            checked(ControlId::OnePerPicture),
            checked(ControlId::ForbidPrint),
            QString::number(static_cast<int>(dlg.ChosenEncryption())),
            checked(ControlId::CustomSizeBox),
            QString::number(dlg.Control(ControlId::PageWidth)->isEnabled()),
            dlg.Control<QLineEdit>(ControlId::PageWidth)->text(),
            dlg.Control<QLineEdit>(ControlId::PageHeight)->text(),
            QString::number(dlg.Control(ControlId::AddFiles)->isEnabled())};
}

const PageChoice kPage{.paper = PaperSize::A4,
                       .dpi = 300,
                       .orientation = PageOrientation::Auto,
                       .margin = 12.5,
                       .fit = PictureFit::Shrink,
                       .order = FolderOrder::Name,
                       .recognizeText = true,
                       .ocrLanguages = QStringLiteral("chi_sim+eng"),
                       .bookmarks = true,
                       .pdfa = PdfA::A2b,
                       .scans = {.deskew = true, .skipBlank = true, .bilevel = true},
                       .title = QStringLiteral("Akten 第一"),
                       .author = QStringLiteral("Zoë"),
                       .keywords = QStringLiteral("a, b"),
                       .lossless = true};

// Closes the window as the user does, answering Yes.
void Close(CQuillmarkDlg& dlg, FakeShell& shell) {
    shell.answers << Shell::Answer::Yes;
    dlg.OnCancelCommand();
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
  private slots:
    void keptAcrossTwoWindows();
    void firstStartShowsTheDefaults();
    void pageSettingsThatMeanNothingKeepTheirDefaults();
    void goneSaveFolderFallsBackQuietly();
    void pickersOpenWhereTheyWereLast();

  private:
    QTemporaryDir scratch;
    QString SettingsFile(const char* name) const { return scratch.filePath(name); }
};

void TestSettings::keptAcrossTwoWindows() {
    QSettings settings(SettingsFile("kept.conf"), QSettings::IniFormat);
    FakeShell shell;
    JobState job;
    QStringList chosen;
    {
        CQuillmarkDlg first(shell, job, 96, &settings);
        first.Control<QLineEdit>(ControlId::SaveFolder)->setText(scratch.path());
        first.Control<QCheckBox>(ControlId::TraverseBox)->click();
        first.Control<QRadioButton>(ControlId::OnePerPicture)->click();
        first.Control<QCheckBox>(ControlId::ForbidPrint)->click();
        first.ChooseEncryption(Encryption::Aes256);
        first.Control<QCheckBox>(ControlId::CustomSizeBox)->click();
        first.Control<QLineEdit>(ControlId::PageWidth)->setText("800");
        first.Control<QLineEdit>(ControlId::PageHeight)->setText("600");
        first.Control<QCheckBox>(ControlId::PasswordBox)->click();
        first.Control<QLineEdit>(ControlId::Password)->setText("geheim-秘密");
        shell.pageChoices << kPage;
        first.Control<QPushButton>(ControlId::MoreSettings)->click();
        chosen = Choices(first);
        Close(first, shell);
    }
    CQuillmarkDlg second(shell, job, 96, &settings);
    QCOMPARE(Choices(second), chosen);
    QCOMPARE(second.CurrentPageChoice(), kPage);
    // Never the password, nor that one was asked for.
    QVERIFY(!second.Control<QCheckBox>(ControlId::PasswordBox)->isChecked());
    QFile file(SettingsFile("kept.conf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    QVERIFY(!stored.contains("geheim"));
    QVERIFY(!stored.contains("\\x79d8")); // 秘 as QSettings would escape it
}

void TestSettings::firstStartShowsTheDefaults() {
    QSettings settings(SettingsFile("fresh.conf"), QSettings::IniFormat);
    FakeShell shell;
    JobState job;
    CQuillmarkDlg remembering(shell, job, 96, &settings);
    CQuillmarkDlg forgetting(shell, job, 96);
    QCOMPARE(Choices(remembering), Choices(forgetting));
    QCOMPARE(remembering.CurrentPageChoice(), PageChoice{});

    // Closing with the defaults keeps the screen's page size out of the file,
    // so a window on another screen starts with that screen's default.
    Close(remembering, shell);
    CQuillmarkDlg otherScreen(shell, job, 144, &settings);
    QCOMPARE(otherScreen.Control<QLineEdit>(ControlId::PageWidth)->text(), QStringLiteral("2381"));
}

void TestSettings::pageSettingsThatMeanNothingKeepTheirDefaults() {
    QSettings settings(SettingsFile("edited.conf"), QSettings::IniFormat);
    const std::pair<const char*, const char*> entries[] = {
        {"page/paper", "A6"},
        {"page/dpi", "9000"},
        {"page/orientation", "sideways"},
        {"page/margin", "-3"},
        {"page/fit", ""},
        {"list/folderOrder", "size"},
        {"page/recognizeText", "true"},
        {"page/ocrLanguages", "../eng"},
    };
    for (const auto& [key, value] : entries) {
        settings.setValue(key, value);
    }
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96, &settings);
    QCOMPARE(dlg.CurrentPageChoice(), PageChoice{});
    settings.setValue("page/paper", "letter");
    settings.setValue("page/dpi", "300");
    CQuillmarkDlg again(shell, job, 96, &settings);
    QCOMPARE(again.CurrentPageChoice().paper, PaperSize::Letter);
    QCOMPARE(again.CurrentPageChoice().dpi, 300);
}

void TestSettings::goneSaveFolderFallsBackQuietly() {
    const QString gone = scratch.filePath("gone");
    QVERIFY(QDir().mkpath(gone));
    QSettings settings(SettingsFile("gone.conf"), QSettings::IniFormat);
    FakeShell shell;
    JobState job;
    {
        CQuillmarkDlg first(shell, job, 96, &settings);
        first.Control<QLineEdit>(ControlId::SaveFolder)->setText(gone);
        Close(first, shell);
    }
    QVERIFY(QDir(gone).removeRecursively());
    CQuillmarkDlg second(shell, job, 96, &settings);
    QCOMPARE(second.Control<QLineEdit>(ControlId::SaveFolder)->text(),
             QDir::toNativeSeparators(QDir::currentPath()));
    QCOMPARE(shell.messages, QStringList{QStringLiteral("您确定要退出吗 ?")});
}

void TestSettings::pickersOpenWhereTheyWereLast() {
    QSettings settings(SettingsFile("pickers.conf"), QSettings::IniFormat);
    FakeShell shell;
    JobState job;
    const QString pictures = scratch.filePath("pictures");
    const QString album = scratch.filePath("album");
    {
        CQuillmarkDlg first(shell, job, 96, &settings);
        shell.pickedFiles << QStringList{pictures + "/a.jpg", pictures + "/b.jpg"};
        first.Control<QPushButton>(ControlId::AddFiles)->click();
        shell.pickedFolders << album;
        first.Control<QPushButton>(ControlId::AddFolder)->click();
        Close(first, shell);
    }
    shell.startFolders.clear();
    CQuillmarkDlg second(shell, job, 96, &settings);
    second.Control<QPushButton>(ControlId::AddFiles)->click();
    second.Control<QPushButton>(ControlId::AddFolder)->click();
    QCOMPARE(shell.startFolders, (QStringList{pictures, album}));
}

QTEST_MAIN(TestSettings)
#include "TestSettings.moc"

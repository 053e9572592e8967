// The window as it opens, its option rules and the ways of closing it.
#include "AboutDlg.h"
#include "DialogTemplate.h"
#include "FakeShell.h"
#include "JobState.h"
#include "OcrLanguages.h"
#include "PageOrientation.h"
#include "PageSettingsDlg.h"
#include "QtShell.h"
#include "QuillmarkDlg.h"
#include "Translation.h"
#include "UiTexts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

class TestMainDialog : public QObject {
    Q_OBJECT
  private slots:
    void defaultsFollowTheScreen_data();
    void defaultsFollowTheScreen();
    void layoutFitsTheWindow();
    void tabOrderFollowsTheTemplate();
    void customSizeBoxOnlyLocksTheFields();
    void passwordBoxClearsAndSetsTheFlag();
    void traverseBoxEmptiesTheList();
    void pageSettingsReachTheJobAndShowBesideTheSize();
    void pageSettingsDialogEditsACopy();
    void paperSizeShowsInTheSizeFields();
    void pageSettingsFitTheScreenInTabs_data();
    void pageSettingsFitTheScreenInTabs();
    void textRecognitionIsChosenFromTheInstalledLanguages();
    void closingAsksFirst_data();
    void closingAsksFirst();
    void exitQuestionOnTheDesktop_data();
    void exitQuestionOnTheDesktop();
    void enterOnAPushButtonPressesIt();
    void aboutBoxOpensFromF1AndButton();
    void websiteButton();
    void saveFolderPickerAndView();
};

void TestMainDialog::defaultsFollowTheScreen_data() {
    QTest::addColumn<double>("dpi");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::newRow("96 dpi") << 96.0 << "1587"
                            << "2245";
    QTest::newRow("120 dpi") << 120.0 << "1984"
                             << "2806";
    QTest::newRow("144 dpi") << 144.0 << "2381"
                             << "3367";
}

void TestMainDialog::defaultsFollowTheScreen() {
    QFETCH(double, dpi);
    QFETCH(QString, width);
    QFETCH(QString, height);
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, dpi);

    QCOMPARE(dlg.windowTitle(), QStringLiteral("Brivane V8.4   <支持图片文件批量转PDF"));
    QCOMPARE(dlg.Control<QLineEdit>(ControlId::PageWidth)->text(), width);
    QCOMPARE(dlg.Control<QLineEdit>(ControlId::PageHeight)->text(), height);
    QVERIFY(!dlg.Control(ControlId::PageWidth)->isEnabled());
    QVERIFY(!dlg.Control(ControlId::PageHeight)->isEnabled());
    QVERIFY(dlg.Control<QRadioButton>(ControlId::MergeIntoOne)->isChecked());
    QVERIFY(!dlg.Control<QRadioButton>(ControlId::OnePerPicture)->isChecked());
    for (int box :
         {ControlId::PasswordBox, ControlId::ForbidPrint, ControlId::CustomSizeBox, ControlId::TraverseBox}) {
        QVERIFY2(!dlg.Control<QCheckBox>(box)->isChecked(), qPrintable(QString::number(box)));
    }
    QVERIFY(dlg.Control<QLineEdit>(ControlId::Password)->text().isEmpty());
    QVERIFY(!dlg.Control(ControlId::Password)->isEnabled());
    QCOMPARE(dlg.Control<QLineEdit>(ControlId::Password)->echoMode(), QLineEdit::Password);
    QVERIFY(!dlg.Control<QLineEdit>(ControlId::SaveFolder)->isReadOnly()); // a path may be typed or pasted
    QCOMPARE(dlg.Control<QLineEdit>(ControlId::SaveFolder)->text(),
             QDir::toNativeSeparators(QDir::currentPath()));
    QVERIFY(dlg.Control<QLabel>(ControlId::FileCount)->text().isEmpty());
    QCOMPARE(dlg.Control<QTreeWidget>(ControlId::SourceList)->headerItem()->text(0),
             QStringLiteral("文件路径"));
}

void TestMainDialog::layoutFitsTheWindow() {
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    // 350 × 351 dialog units with the 9-point dialog font at 96 dpi.
    QCOMPARE(dlg.size(), QSize(600, 570));
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());

    // Every control lies inside the window, and no two that take input overlap.
    QList<QWidget*> inputs;
    for (const ControlTemplate& control : MainDialogTemplate()) {
        if (control.id == kNoId) {
            continue;
        }
        QWidget* widget = dlg.Control(control.id);
        QVERIFY2(widget, qPrintable(QString::number(control.id)));
        QCOMPARE(widget->objectName(), QString::number(control.id));
        QVERIFY2(dlg.rect().contains(widget->geometry()), qPrintable(QString::number(control.id)));
        if (control.kind != ControlKind::Label && control.kind != ControlKind::GroupBox &&
            !widget->isHidden()) {
            for (QWidget* other : inputs) {
                QVERIFY2(!other->geometry().intersects(widget->geometry()),
                         qPrintable(other->objectName() + " overlaps " + widget->objectName()));
            }
            inputs << widget;
        }
    }
    QVERIFY(dlg.Control(ControlId::Ok)->isHidden());
    QVERIFY(dlg.Control(ControlId::Cancel)->isHidden());
}

void TestMainDialog::tabOrderFollowsTheTemplate() {
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    QList<int> expected;
    for (const ControlTemplate& control : MainDialogTemplate()) {
        QWidget* widget = dlg.Control(control.id);
        if (widget && widget->focusPolicy() & Qt::TabFocus && !widget->isHidden()) {
            expected << control.id;
        }
    }
    QList<int> seen;
    QWidget* widget = dlg.Control(expected.first());
    while (seen.size() < expected.size()) {
        if (widget->focusPolicy() & Qt::TabFocus && !widget->isHidden() && !widget->objectName().isEmpty()) {
            seen << widget->objectName().toInt();
        }
        widget = widget->nextInFocusChain();
    }
    QCOMPARE(seen, expected);
}

void TestMainDialog::customSizeBoxOnlyLocksTheFields() {
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    auto* box = dlg.Control<QCheckBox>(ControlId::CustomSizeBox);
    box->click();
    QVERIFY(dlg.Control(ControlId::PageWidth)->isEnabled());
    QVERIFY(dlg.Control(ControlId::PageHeight)->isEnabled());
    dlg.Control<QLineEdit>(ControlId::PageWidth)->setText("800");
    dlg.Control<QLineEdit>(ControlId::PageHeight)->setText("600");
    box->click();
    QVERIFY(!dlg.Control(ControlId::PageWidth)->isEnabled());
    QCOMPARE(dlg.Control<QLineEdit>(ControlId::PageWidth)->text(), QStringLiteral("800"));

    // The fields count even with the box clear; an empty list stops the job
    // but not the capture.
    dlg.OnStartConversion();
    QCOMPARE(job.options.pageWidth, 800);
    QCOMPARE(job.options.pageHeight, 600);
    QCOMPARE(shell.messages, QStringList{QStringLiteral("无可转换的文件")});
}

void TestMainDialog::passwordBoxClearsAndSetsTheFlag() {
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    auto* box = dlg.Control<QCheckBox>(ControlId::PasswordBox);
    auto* password = dlg.Control<QLineEdit>(ControlId::Password);
    box->click();
    QVERIFY(password->isEnabled());
    QCOMPARE(job.options.usePassword.load(), 1);
    password->setText("secret");
    dlg.OnStartConversion();
    QCOMPARE(job.options.password, std::u16string(u"secret"));

    box->click();
    QVERIFY(!password->isEnabled());
    QVERIFY(password->text().isEmpty());
    QCOMPARE(job.options.usePassword.load(), 0);
    box->click();
    QVERIFY(password->text().isEmpty());
}

void TestMainDialog::traverseBoxEmptiesTheList() {
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    auto* list = dlg.Control<QTreeWidget>(ControlId::SourceList);
    list->addTopLevelItem(new QTreeWidgetItem({"/tmp/a.jpg"}));
    list->addTopLevelItem(new QTreeWidgetItem({"/tmp/b.jpg"}));
    auto* box = dlg.Control<QCheckBox>(ControlId::TraverseBox);

    box->click();
    QCOMPARE(list->topLevelItemCount(), 0);
    QCOMPARE(dlg.Control<QLabel>(ControlId::FileCount)->text(), QStringLiteral("0"));
    QVERIFY(!dlg.Control(ControlId::AddFiles)->isEnabled());
    QVERIFY(shell.messages.isEmpty());
    box->click();
    QVERIFY(dlg.Control(ControlId::AddFiles)->isEnabled());
}

void TestMainDialog::pageSettingsReachTheJobAndShowBesideTheSize() {
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    auto* more = dlg.Control<QPushButton>(ControlId::MoreSettings);
    QCOMPARE(more->text(), QStringLiteral("更多…"));
    QVERIFY(
        dlg.Control(ControlId::PageWidth)->toolTip().contains(QStringLiteral("纸张：自定义尺寸（像素）")));

    // Cancelled: nothing changes, and the job keeps the pixel size.
    more->click();
    QCOMPARE(shell.pageSettingsShown, QList<PageChoice>{PageChoice{}});
    dlg.OnStartConversion();
    QCOMPARE(job.options.paper, PaperSize::Custom);
    QCOMPARE(job.options.ocrLanguages, std::string());

    const PageChoice chosen{
        PaperSize::A4, 200,  PageOrientation::Auto,        10, PictureFit::Shrink, FolderOrder::Name,
        false,         true, QStringLiteral("chi_sim+eng")};
    shell.pageChoices << chosen;
    more->click();
    QCOMPARE(dlg.CurrentPageChoice(), chosen);
    QCOMPARE(more->text(), QStringLiteral("A4…"));
    const QString tip = dlg.Control(ControlId::CustomSizeBox)->toolTip();
    for (const char* part :
         {"A4，200 dpi", "自动（随图片方向）", "10 毫米", "只缩小", "按文件名", "文字识别：简体中文、英语"}) {
        QVERIFY2(tip.contains(QString::fromUtf8(part)), qPrintable(tip));
    }
    dlg.OnStartConversion(); // an empty list: the options are still taken
    QCOMPARE(job.options.paper, PaperSize::A4);
    QCOMPARE(job.options.dpi, 200);
    QCOMPARE(job.options.orientation, PageOrientation::Auto);
    QCOMPARE(job.options.margin, 10.0);
    QCOMPARE(job.options.fit, PictureFit::Shrink);
    QCOMPARE(job.options.folderOrder, FolderOrder::Name);
    QCOMPARE(job.options.ocrLanguages, std::string("chi_sim+eng"));

    // A margin wider than the sheet is refused in the window's words; the
    // dialog opens again on what was chosen.
    shell.pageChoices << PageChoice{PaperSize::A5, 150, PageOrientation::AsSized, 80};
    more->click();
    QCOMPARE(shell.pageSettingsShown.last(), chosen);
    dlg.InsertAtTop(QStringLiteral("/tmp/a.jpg"));
    shell.messages.clear();
    dlg.OnStartConversion();
    QTRY_COMPARE(shell.messages.size(), 1);
    QVERIFY2(shell.messages.first().startsWith(QStringLiteral("页边距无效")),
             qPrintable(shell.messages.first()));
    QVERIFY(shell.messages.first().contains(QStringLiteral("80 毫米")));
    QVERIFY(!dlg.IsConverting());
}

// The size fields never contradict a chosen paper: they show its pixels,
// greyed, and the typed size comes back with the custom size.
void TestMainDialog::paperSizeShowsInTheSizeFields() {
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    auto* box = dlg.Control<QCheckBox>(ControlId::CustomSizeBox);
    auto* width = dlg.Control<QLineEdit>(ControlId::PageWidth);
    auto* height = dlg.Control<QLineEdit>(ControlId::PageHeight);
    box->click();
    width->setText("800");
    height->setText("600");
    const auto fields = [&] { return QStringList{width->text(), height->text()}; };
    const auto choose = [&](PageChoice choice) {
        shell.pageChoices << choice;
        dlg.Control<QPushButton>(ControlId::MoreSettings)->click();
    };

    choose(PageChoice{PaperSize::A4, 200});
    QCOMPARE(fields(), (QStringList{"1654", "2339"})); // 210 × 297 mm at 200 dpi
    QVERIFY(!width->isEnabled() && !height->isEnabled());
    box->click();
    box->click();
    QVERIFY(!width->isEnabled());
    choose(PageChoice{PaperSize::A4, 150, PageOrientation::Landscape});
    QCOMPARE(fields(), (QStringList{"1754", "1240"}));
    choose(PageChoice{PaperSize::Picture, 150});
    QCOMPARE(fields(), (QStringList{"", ""})); // each page is as large as its picture

    choose(PageChoice{});
    QCOMPARE(fields(), (QStringList{"800", "600"}));
    QVERIFY(width->isEnabled() && height->isEnabled());
}

void TestMainDialog::pageSettingsDialogEditsACopy() {
    const PageChoice chosen{PaperSize::Letter,      300, PageOrientation::Landscape, 12.5, PictureFit::Shrink,
                            FolderOrder::WriteTime, true};
    PageSettingsDlg dialog(chosen);
    QCOMPARE(dialog.Choice(), chosen);
    auto* dpi = dialog.findChild<QSpinBox*>("dpi");
    auto* margin = dialog.findChild<QDoubleSpinBox*>("margin");
    QVERIFY(dpi->isEnabled());
    QCOMPARE(margin->suffix(), QStringLiteral(" 毫米"));
    // A pixel size has no resolution, and its margin is in pixels.
    dialog.findChild<QComboBox*>("paper")->setCurrentIndex(0);
    QVERIFY(!dpi->isEnabled());
    QCOMPARE(margin->suffix(), QStringLiteral(" 像素"));
    QCOMPARE(dialog.Choice().paper, PaperSize::Custom);
}

void TestMainDialog::pageSettingsFitTheScreenInTabs_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("zh") << "zh" << QStringList{"页面", "图片", "文档", "扫描件", "文字识别"};
    QTest::newRow("en") << "en" << QStringList{"Page", "Pictures", "Document", "Scans", "Text Recognition"};
}

// Every setting the dialog has is on the tab of its subject, the dialog fits a
// 1280 x 800 screen in either language, and what it opens on it gives back.
void TestMainDialog::pageSettingsFitTheScreenInTabs() {
    QFETCH(QString, language);
    QFETCH(QStringList, titles);
    InstallTranslation(language);
    const std::vector<std::string> installed = InstalledOcrLanguages();
    PageChoice chosen{PaperSize::Letter,      300, PageOrientation::Landscape, 12.5, PictureFit::Shrink,
                      FolderOrder::WriteTime, true};
    chosen.bookmarks = true;
    chosen.lossless = true;
    chosen.pdfa = PdfA::A1b;
    chosen.scans = {.deskew = true, .autoRotate = !CheckOrientationData(), .bilevel = true};
    chosen.title = QStringLiteral("Title");
    chosen.subject = QStringLiteral("Subject");
    if (!installed.empty()) {
        chosen.recognizeText = true;
        chosen.ocrLanguages = QString::fromStdString(installed.back());
    }
    PageSettingsDlg dialog(chosen);
    dialog.show();
    InstallTranslation(QStringLiteral("zh")); // the dialog keeps its texts; the other tests want Chinese
    QVERIFY2(dialog.frameGeometry().width() <= 1280 && dialog.frameGeometry().height() <= 800,
             qPrintable(QStringLiteral("%1 x %2")
                            .arg(dialog.frameGeometry().width())
                            .arg(dialog.frameGeometry().height())));

    auto* tabs = dialog.findChild<QTabWidget*>("tabs");
    QVERIFY(tabs);
    QStringList shown;
    for (int tab = 0; tab < tabs->count(); ++tab) {
        shown << tabs->tabText(tab);
    }
    QCOMPARE(shown, titles);
    const std::pair<const char*, const char*> fields[] = {
        {"paper", "pageTab"},        {"dpi", "pageTab"},           {"orientation", "pageTab"},
        {"margin", "pageTab"},       {"fit", "picturesTab"},       {"order", "picturesTab"},
        {"lossless", "picturesTab"},
        {"keepJpeg", "documentTab"}, {"bookmarks", "documentTab"}, {"pdfa", "documentTab"},
        {"title", "documentTab"},    {"author", "documentTab"},    {"subject", "documentTab"},
        {"keywords", "documentTab"}, {"deskew", "scansTab"},       {"autoRotate", "scansTab"},
        {"skipBlank", "scansTab"},   {"bilevel", "scansTab"},      {"ocr", "textTab"},
        {"ocrLanguages", "textTab"}};
    for (const auto& [name, tabName] : fields) {
        auto* field = dialog.findChild<QWidget*>(name);
        auto* tab = dialog.findChild<QWidget*>(tabName);
        QVERIFY2(field && tab && tab->isAncestorOf(field), name);
        tabs->setCurrentWidget(tab);
        QVERIFY2(field->isVisible(), name);
        QVERIFY2(dialog.rect().contains(field->mapTo(&dialog, field->rect().bottomRight())), name);
    }
    QCOMPARE(dialog.Choice(), chosen);
}

void TestMainDialog::textRecognitionIsChosenFromTheInstalledLanguages() {
    const std::vector<std::string> installed = InstalledOcrLanguages();
    if (DefaultOcrLanguages(installed) != "chi_sim+eng") {
        QSKIP("the Chinese and English recognition data are not installed");
    }
    PageSettingsDlg dialog{PageChoice{}};
    auto* ocr = dialog.findChild<QCheckBox*>("ocr");
    auto* languages = dialog.findChild<QListWidget*>("ocrLanguages");
    QCOMPARE(languages->count(), static_cast<int>(installed.size()));
    QVERIFY(!ocr->isChecked());
    QVERIFY(!languages->isEnabled());
    QCOMPARE(dialog.Choice().recognizeText, false);
    // Off by default; once on, Chinese and English are what it reads.
    ocr->click();
    QVERIFY(languages->isEnabled());
    QCOMPARE(dialog.Choice().recognizeText, true);
    QCOMPARE(dialog.Choice().ocrLanguages, QStringLiteral("chi_sim+eng"));
    // With every language unchecked there is nothing to recognise.
    for (int row = 0; row < languages->count(); ++row) {
        languages->item(row)->setCheckState(Qt::Unchecked);
    }
    QCOMPARE(dialog.Choice().recognizeText, false);
    PageChoice english;
    english.recognizeText = true;
    english.ocrLanguages = QStringLiteral("eng");
    QCOMPARE(PageSettingsDlg(english).Choice(), english);
}

void TestMainDialog::closingAsksFirst_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("listed");
    for (const char* how : {"escape", "close box", "enter in an edit", "enter in the list"}) {
        QTest::newRow(qPrintable(QString(how) + ", no")) << QString(how) << false << false;
        QTest::newRow(qPrintable(QString(how) + ", yes")) << QString(how) << true << false;
        QTest::newRow(qPrintable(QString(how) + ", yes, with a list")) << QString(how) << true << true;
    }
}

void TestMainDialog::closingAsksFirst() {
    QFETCH(QString, how);
    QFETCH(bool, yes);
    QFETCH(bool, listed);
    FakeShell shell;
    shell.answers << (yes ? Shell::Answer::Yes : Shell::Answer::No);
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    if (listed) {
        dlg.InsertAtTop("/tmp/a.jpg");
    }
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));

    if (how == "escape") {
        QTest::keyClick(&dlg, Qt::Key_Escape);
    } else if (how == "close box") {
        dlg.close();
    } else if (how == "enter in an edit") {
        dlg.Control<QCheckBox>(ControlId::PasswordBox)->click();
        auto* edit = dlg.Control(ControlId::Password);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
    } else {
        auto* list = dlg.Control(ControlId::SourceList);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
    }
    QCOMPARE(shell.questions, QStringList{QStringLiteral("您确定要退出吗 ?")});
    // With pictures listed, Enter on the question keeps them.
    QCOMPARE(shell.kinds,
             QList<Shell::Buttons>{listed ? Shell::Buttons::YesNoDefaultNo : Shell::Buttons::YesNo});
    QCOMPARE(dlg.isVisible(), !yes);
}

void TestMainDialog::exitQuestionOnTheDesktop_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("enterAnswers");
    QTest::newRow("default No") << int(Shell::Buttons::YesNoDefaultNo) << int(Shell::Answer::No);
    QTest::newRow("default Yes") << int(Shell::Buttons::YesNo) << int(Shell::Answer::Yes);
}

void TestMainDialog::exitQuestionOnTheDesktop() {
    QFETCH(int, buttons);
    QFETCH(int, enterAnswers);
    QtShell shell;
    QWidget parent;
    parent.show();
    // Enter on the real message box, from inside its own loop.
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    QCOMPARE(int(shell.ShowMessage(&parent, "?", Shell::Buttons(buttons))), enterAnswers);
}

void TestMainDialog::enterOnAPushButtonPressesIt() {
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    auto* start = dlg.Control(ControlId::Start);
    start->setFocus();
    QTest::keyClick(start, Qt::Key_Return);
    QCOMPARE(shell.messages, QStringList{QStringLiteral("无可转换的文件")});
    QVERIFY(shell.questions.isEmpty());
    QVERIFY(dlg.isVisible());
}

void TestMainDialog::aboutBoxOpensFromF1AndButton() {
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    // The box is modal: note it and close it from inside its own loop.
    QStringList opened;
    const auto closeWhenOpen = [&] {
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
                opened << box->windowTitle();
                box->reject();
            }
        });
    };
    closeWhenOpen();
    QTest::keyClick(&dlg, Qt::Key_F1);
    closeWhenOpen();
    dlg.Control<QPushButton>(ControlId::About)->click();
    QCOMPARE(opened, (QStringList{"关于 Quillmark", "关于 Quillmark"}));
    QVERIFY(dlg.isVisible());
    QVERIFY(shell.messages.isEmpty());
}

void TestMainDialog::websiteButton() {
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    dlg.Control<QPushButton>(ControlId::VisitWebsite)->click();
    QCOMPARE(shell.opened, QStringList{UiTexts::kWebsiteUrl});
}

void TestMainDialog::saveFolderPickerAndView() {
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg(shell, job, 96);
    auto* saveFolder = dlg.Control<QLineEdit>(ControlId::SaveFolder);
    shell.pickedFolders << "/srv/pdf";
    dlg.Control<QPushButton>(ControlId::ChangeSaveFolder)->click();
    QCOMPARE(saveFolder->text(), QStringLiteral("/srv/pdf"));
    dlg.Control<QPushButton>(ControlId::ChangeSaveFolder)->click(); // cancelled
    QCOMPARE(saveFolder->text(), QStringLiteral("/srv/pdf"));
    QCOMPARE(shell.folderTitles, (QStringList{"请选择一个文件夹", "请选择一个文件夹"}));

    dlg.Control<QPushButton>(ControlId::ViewResult)->click();
    QCOMPARE(shell.opened, QStringList{"/srv/pdf"});
    QVERIFY(shell.messages.isEmpty());
}

QTEST_MAIN(TestMainDialog)
#include "TestMainDialog.moc"

#include "QuillmarkDlg.h"

#include "AboutDlg.h"
#include "ControlFactory.h"
#include "Conversion.h"
#include "DialogBackground.h"
#include "DialogUnits.h"
#include "ListPreviews.h"
#include "ListedPaths.h"
#include "PageDefaults.h"
#include "PagePlacement.h"
#include "ProgressIndicator.h"
#include "Shell.h"
#include "Translation.h"
#include "UiTexts.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QToolButton>
#include <QTreeWidget>

CQuillmarkDlg::CQuillmarkDlg(Shell& shell, JobState& job, double screenDpi, QSettings* settings,
                             QWidget* parent)
    : QDialog(parent), shell(shell), job(job), settings(settings), logo(QStringLiteral(":/logo.png")),
      jobProcedure(RunJob), runner(job, {[this](Stage finished) { OnStageDone(finished); },
                                         [this](bool began) { OnJobDone(began); }}) {
    // A normal top-level window with a minimise box, but not resizable.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    setFont(DialogFont());
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kWindowGrey);
    setPalette(colours);

    CreateControls();
    // Files dropped on any part of the window reach the window itself.
    setAcceptDrops(true);
    SetDefaults(screenDpi);
    ApplyRememberedSettings();
    ConnectHandlers();
    setWindowTitle(UiTexts::WindowTitle());
}

CQuillmarkDlg::~CQuillmarkDlg() {
    StopJobAndWait();
}

void CQuillmarkDlg::CreateControls() {
    const DialogBaseUnits base = BaseUnitsFor(font());
    setFixedSize(UnitsToPixels(QRect(0, 0, kDialogWidthUnits, kDialogHeightUnits), base).size());
    for (const ControlTemplate& control : MainDialogTemplate()) {
        QWidget* widget = CreateControl(control, this);
        widget->setGeometry(UnitsToPixels(control.units, base));
        // An edit would take a dropped file's name as text.
        widget->setAcceptDrops(false);
        if (control.id != kNoId) {
            controls.insert(control.id, widget);
        }
    }
    CreateEncryptionChoice(base);
    // The frame is drawn around controls made before it; kept beneath them it
    // does not swallow their clicks.
    Control(ControlId::SettingsGroup)->lower();

    auto* list = Control<QTreeWidget>(ControlId::SourceList);
    list->setHeaderLabels({UiTexts::ListHeading()});
    list->header()->resizeSection(0, list->viewport()->width());
    // Paths of one folder differ at their end: keep the end in sight.
    list->setTextElideMode(Qt::ElideMiddle);
    // Rows are dragged to a new place within the list; files dragged in from
    // outside are passed on to the window, which adds them.
    list->setDragDropMode(QAbstractItemView::InternalMove);
    list->setDefaultDropAction(Qt::MoveAction);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    listed = new ListedPaths(list->model());
    previews = new ListPreviews(list);
}

void CQuillmarkDlg::CreateEncryptionChoice(const DialogBaseUnits& base) {
    auto* button = new QToolButton(this);
    button->setObjectName(QString::number(kEncryptionChoiceId));
    button->setArrowType(Qt::DownArrow);
    button->setToolTip(UiTexts::EncryptionChoice());
    button->setAccessibleName(UiTexts::EncryptionChoice());
    button->setPopupMode(QToolButton::InstantPopup);
    button->setGeometry(UnitsToPixels(kEncryptionChoiceUnits, base));
    button->setAcceptDrops(false);
    auto* menu = new QMenu(button);
    encryptionChoice = new QActionGroup(menu);
    for (const auto& [text, value] : {std::pair{UiTexts::EncryptionRc4(), Encryption::Rc4},
                                      std::pair{UiTexts::EncryptionAes256(), Encryption::Aes256}}) {
        QAction* action = menu->addAction(text);
        action->setCheckable(true);
        action->setData(static_cast<int>(value));
        encryptionChoice->addAction(action);
    }
    button->setMenu(menu);
    // Made after the template's controls, it comes after them in the Tab
    // order, which stays as the template has it.
    controls.insert(kEncryptionChoiceId, button);
}

Encryption CQuillmarkDlg::ChosenEncryption() const {
    const QAction* chosen = encryptionChoice->checkedAction();
    return chosen != nullptr ? static_cast<Encryption>(chosen->data().toInt()) : Encryption::Rc4;
}

void CQuillmarkDlg::ChooseEncryption(Encryption encryption) {
    for (QAction* action : encryptionChoice->actions()) {
        action->setChecked(static_cast<Encryption>(action->data().toInt()) == encryption);
    }
}

void CQuillmarkDlg::SetDefaults(double screenDpi) {
    fileCount = 0;
    Control<QLineEdit>(ControlId::SaveFolder)->setText(QDir::toNativeSeparators(QDir::currentPath()));
    Control<QRadioButton>(ControlId::MergeIntoOne)->setChecked(true);
    Control(ControlId::Password)->setEnabled(false);
    ChooseEncryption(Encryption::Rc4);
    Control(ControlId::PageWidth)->setEnabled(false);
    Control(ControlId::PageHeight)->setEnabled(false);
    defaultPage = DefaultPageSize(screenDpi);
    Control<QLineEdit>(ControlId::PageWidth)->setText(QString::number(defaultPage.width()));
    Control<QLineEdit>(ControlId::PageHeight)->setText(QString::number(defaultPage.height()));
    ShowPageChoice();
    Control(ControlId::AddFiles)->setFocus();
}

void CQuillmarkDlg::ConnectHandlers() {
    const auto onClick = [this](int id, void (CQuillmarkDlg::*handler)()) {
        connect(Control<QAbstractButton>(id), &QAbstractButton::clicked, this, handler);
    };
    onClick(ControlId::Ok, &CQuillmarkDlg::OnOkCommand);
    onClick(ControlId::Cancel, &CQuillmarkDlg::OnCancelCommand);
    onClick(ControlId::Start, &CQuillmarkDlg::OnStartConversion);
    onClick(ControlId::CustomSizeBox, &CQuillmarkDlg::OnCustomSizeBox);
    onClick(ControlId::PasswordBox, &CQuillmarkDlg::OnPasswordBox);
    onClick(ControlId::TraverseBox, &CQuillmarkDlg::OnTraverseBox);
    onClick(ControlId::About, &CQuillmarkDlg::OnAbout);
    onClick(ControlId::VisitWebsite, &CQuillmarkDlg::OnVisitWebsite);
    onClick(ControlId::AddFiles, &CQuillmarkDlg::OnAddFiles);
    onClick(ControlId::AddFolder, &CQuillmarkDlg::OnAddFolder);
    onClick(ControlId::RemoveFile, &CQuillmarkDlg::OnRemoveFile);
    onClick(ControlId::ClearList, &CQuillmarkDlg::OnClearList);
    onClick(ControlId::MoveToTop, &CQuillmarkDlg::OnMoveToTop);
    onClick(ControlId::MoveUp, &CQuillmarkDlg::OnMoveUp);
    onClick(ControlId::MoveDown, &CQuillmarkDlg::OnMoveDown);
    onClick(ControlId::MoveToBottom, &CQuillmarkDlg::OnMoveToBottom);
    onClick(ControlId::ChangeSaveFolder, &CQuillmarkDlg::OnChangeSaveFolder);
    onClick(ControlId::ViewResult, &CQuillmarkDlg::OnViewResult);
    onClick(ControlId::MoreSettings, &CQuillmarkDlg::OnPageSettings);
    QTreeWidget* list = List();
    connect(list, &QWidget::customContextMenuRequested, this, &CQuillmarkDlg::OnListMenu);
    new QShortcut(QKeySequence::Delete, list, this, &CQuillmarkDlg::OnRemoveSelected, Qt::WidgetShortcut);
    // Linux window managers take no entries of ours in the window menu, so the
    // About box is on F1 there.
    new QShortcut(QKeySequence(Qt::Key_F1), this, this, &CQuillmarkDlg::OnAbout);
}

void CQuillmarkDlg::OnCustomSizeBox() {
    // Start reads the size fields either way; the box only decides whether they can be edited.
    // A chosen paper size fills them itself, and they stay greyed while it does.
    const bool custom = Control<QCheckBox>(ControlId::CustomSizeBox)->isChecked() && !fieldsShowPaper;
    Control(ControlId::PageWidth)->setEnabled(custom);
    Control(ControlId::PageHeight)->setEnabled(custom);
}

void CQuillmarkDlg::OnPageSettings() {
    PageChoice choice = pageChoice;
    if (shell.EditPageSettings(this, choice)) {
        pageChoice = choice;
        ShowPageChoice();
    }
}

void CQuillmarkDlg::ShowPageChoice() {
    // The choice shows at a glance on the button, and whole in the tooltips of
    // the controls that give the page its size.
    const QString summary = DescribePageChoice(pageChoice);
    for (int id :
         {ControlId::CustomSizeBox, ControlId::PageWidth, ControlId::PageHeight, ControlId::MoreSettings}) {
        Control(id)->setToolTip(summary);
    }
    Control<QAbstractButton>(ControlId::MoreSettings)
        ->setText(pageChoice.paper == PaperSize::Custom
                      ? QCoreApplication::translate("DialogTemplate", "更多…")
                      : UiTexts::MoreSettingsWithPaper().arg(PaperText(pageChoice.paper)));
    ShowPageSizeFields();
}

void CQuillmarkDlg::ShowPageSizeFields() {
    // With a paper size the fields show the pixels its sheet and resolution
    // give, so they never contradict the choice; the size the user typed is
    // kept aside and comes back with the custom size.
    auto* width = Control<QLineEdit>(ControlId::PageWidth);
    auto* height = Control<QLineEdit>(ControlId::PageHeight);
    if (pageChoice.paper == PaperSize::Custom) {
        if (fieldsShowPaper) {
            width->setText(typedWidth);
            height->setText(typedHeight);
            fieldsShowPaper = false;
        }
    } else {
        if (!fieldsShowPaper) {
            typedWidth = width->text();
            typedHeight = height->text();
            fieldsShowPaper = true;
        }
        ConvertOptions options;
        ApplyPageChoice(pageChoice, options);
        const PageGeometry page = LayOutPage(PageSetupOf(options), 0, 0);
        // Pages of each picture's own size have no one size to show.
        const bool perPicture = pageChoice.paper == PaperSize::Picture;
        width->setText(perPicture ? QString() : QString::number(page.widthPx));
        height->setText(perPicture ? QString() : QString::number(page.heightPx));
    }
    OnCustomSizeBox();
}

QString CQuillmarkDlg::TypedPageWidth() const {
    return fieldsShowPaper ? typedWidth : Control<QLineEdit>(ControlId::PageWidth)->text();
}

QString CQuillmarkDlg::TypedPageHeight() const {
    return fieldsShowPaper ? typedHeight : Control<QLineEdit>(ControlId::PageHeight)->text();
}

void CQuillmarkDlg::OnPasswordBox() {
    const bool protect = Control<QCheckBox>(ControlId::PasswordBox)->isChecked();
    auto* password = Control<QLineEdit>(ControlId::Password);
    password->setEnabled(protect);
    if (!protect) {
        password->clear();
    }
    // A running job reads this flag afresh for every document it begins.
    job.options.usePassword = protect ? 1 : 0;
}

void CQuillmarkDlg::OnTraverseBox() {
    // A list holds pictures or folders, never both: changing the mode empties it.
    Control(ControlId::AddFiles)->setEnabled(!Control<QCheckBox>(ControlId::TraverseBox)->isChecked());
    List()->clear();
    RefreshFileCount();
}

void CQuillmarkDlg::OnAbout() {
    CAboutDlg about(shell, this);
    about.exec();
}

void CQuillmarkDlg::OnVisitWebsite() {
    shell.OpenUrl(UiTexts::kWebsiteUrl);
}

void CQuillmarkDlg::OnCancelCommand() {
    // With pictures listed, a second Enter after the one that asked must not
    // throw the list away.
    const auto buttons =
        List()->topLevelItemCount() > 0 ? Shell::Buttons::YesNoDefaultNo : Shell::Buttons::YesNo;
    if (closing || shell.ShowMessage(this, UiTexts::ConfirmExit(), buttons) != Shell::Answer::Yes) {
        return;
    }
    RememberSettings();
    if (converting) {
        CloseDuringJob();
        return;
    }
    QDialog::done(QDialog::Rejected);
}

void CQuillmarkDlg::OnOkCommand() {
    // Enter in an edit or the list must not end the program unasked.
    OnCancelCommand();
}

void CQuillmarkDlg::reject() {
    OnCancelCommand();
}

void CQuillmarkDlg::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    if (enter && plain) {
        OnOkCommand();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CQuillmarkDlg::BringToFront() {
    // A minimised window stays minimised; its taskbar entry asks for attention.
    if (!isMinimized()) {
        show();
        raise();
        activateWindow();
    }
    QApplication::alert(this);
}

void CQuillmarkDlg::OnHandOver(const QStringList& files) {
    OpenFiles(files);
    BringToFront();
}

void CQuillmarkDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintDialogBackground(
        painter, size(),
        {UiTexts::Subtitle(), UiTexts::MakerLine(), UiTexts::BottomLine(), !SpeaksSourceLanguage()}, logo);
    // The progress display is part of the window's picture, so uncovering the
    // window during a job does not wipe it.
    if (converting) {
        painter.setFont(font());
        PaintProgress(painter, rect(), progressStep, UiTexts::Working(), ProgressCount());
    }
}

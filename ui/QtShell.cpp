#include "QtShell.h"

#include "PageSettingsDlg.h"
#include "UiTexts.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace {

// Paths and reasons in a message are what the user may need to paste
// elsewhere (a file manager, a search, a report).
constexpr Qt::TextInteractionFlags kCopyableText = Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard;

constexpr const char* kOpenFolderRole = "opensFolder";

} // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& text, Shell::Buttons buttons) {
    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    if (buttons == Shell::Buttons::YesNo || buttons == Shell::Buttons::YesNoDefaultNo) {
        standard = QMessageBox::Yes | QMessageBox::No;
    } else if (buttons == Shell::Buttons::OkCancel) {
        standard = QMessageBox::Ok | QMessageBox::Cancel;
    }
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, UiTexts::kAppName, text, standard, parent);
    box->setTextInteractionFlags(kCopyableText);
    if (buttons == Shell::Buttons::YesNoDefaultNo) {
        box->setDefaultButton(QMessageBox::No);
    }
    return box;
}

Shell::Answer QtShell::ShowMessage(QWidget* parent, const QString& text, Buttons buttons) {
    const int pressed = MakeMessageBox(parent, text, buttons)->exec();
    // Closing a question by its title bar must never count as agreement.
    switch (buttons) {
    case Buttons::YesNo:
    case Buttons::YesNoDefaultNo:
        return pressed == QMessageBox::Yes ? Answer::Yes : Answer::No;
    case Buttons::OkCancel:
        return pressed == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
    case Buttons::Ok:
        break;
    }
    return Answer::Ok;
}

std::unique_ptr<QMessageBox> MakeReportBox(QWidget* parent, const QString& summary, const QString& place,
                                           const QString& details, bool offerOpenFolder) {
    auto box = MakeMessageBox(parent, summary, Shell::Buttons::Ok);
    box->setInformativeText(place);
    // The folder's line is a label of its own, which the box's flags miss.
    for (auto* label : box->findChildren<QLabel*>()) {
        label->setTextInteractionFlags(kCopyableText);
    }
    // The per-picture lines go into the scrollable details, so the box keeps
    // its size (and its button on the screen) however many pictures failed.
    if (!details.isEmpty()) {
        box->setDetailedText(details);
    }
    if (offerOpenFolder) {
        box->addButton(UiTexts::OpenResultFolder(), QMessageBox::ActionRole)
            ->setProperty(kOpenFolderRole, true);
    }
    box->setDefaultButton(QMessageBox::Ok);
    return box;
}

Shell::Answer QtShell::ShowReport(QWidget* parent, const QString& summary, const QString& place,
                                  const QString& details, bool offerOpenFolder) {
    const std::unique_ptr<QMessageBox> box = MakeReportBox(parent, summary, place, details, offerOpenFolder);
    box->exec();
    const QAbstractButton* pressed = box->clickedButton();
    return pressed != nullptr && pressed->property(kOpenFolderRole).toBool() ? Answer::OpenFolder
                                                                             : Answer::Ok;
}

QStringList QtShell::PickFiles(QWidget* parent, const QString& filter, const QString& startFolder) {
    return QFileDialog::getOpenFileNames(parent, QString(), startFolder, filter);
}

QString QtShell::PickFolder(QWidget* parent, const QString& title, const QString& startFolder) {
    return QFileDialog::getExistingDirectory(parent, title, startFolder);
}

bool QtShell::EditPageSettings(QWidget* parent, PageChoice& choice) {
    PageSettingsDlg dialog(choice, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    choice = dialog.Choice();
    return true;
}

bool QtShell::OpenUrl(const QString& address) {
    return QDesktopServices::openUrl(QUrl(address));
}

bool QtShell::OpenFolder(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

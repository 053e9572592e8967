#include "QtShell.h"

#include "UiTexts.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

Shell::Answer QtShell::ShowMessage(QWidget* parent, const QString& text, Buttons buttons) {
    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    if (buttons == Buttons::YesNo) {
        standard = QMessageBox::Yes | QMessageBox::No;
    } else if (buttons == Buttons::OkCancel) {
        standard = QMessageBox::Ok | QMessageBox::Cancel;
    }
    QMessageBox box(QMessageBox::NoIcon, UiTexts::kAppName, text, standard, parent);
    const int pressed = box.exec();
    // Closing a question by its title bar must never count as agreement.
    switch (buttons) {
    case Buttons::YesNo:
        return pressed == QMessageBox::Yes ? Answer::Yes : Answer::No;
    case Buttons::OkCancel:
        return pressed == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
    case Buttons::Ok:
        break;
    }
    return Answer::Ok;
}

QStringList QtShell::PickFiles(QWidget* parent, const QString& filter) {
    return QFileDialog::getOpenFileNames(parent, QString(), QString(), filter);
}

QString QtShell::PickFolder(QWidget* parent, const QString& title) {
    return QFileDialog::getExistingDirectory(parent, title);
}

bool QtShell::OpenUrl(const QString& address) {
    return QDesktopServices::openUrl(QUrl(address));
}

bool QtShell::OpenFolder(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

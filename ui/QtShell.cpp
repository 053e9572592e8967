#include "QtShell.h"

#include "UiTexts.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

Shell::Answer QtShell::ShowMessage(QWidget* parent, const QString& text, Buttons buttons) {
    const auto standard = buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
    QMessageBox box(QMessageBox::NoIcon, UiTexts::kAppName, text, standard, parent);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        // Closing a Yes/No box by its title bar must not count as Yes.
        return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
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

// The save folder: choosing it, and opening it so the user can reach the
// time-stamped folders of the jobs.
#include "QuillmarkDlg.h"

#include "DialogTemplate.h"
#include "Shell.h"
#include "UiTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

void CQuillmarkDlg::OnChangeSaveFolder() {
    // A cancelled picker keeps the folder chosen before.
    auto* field = Control<QLineEdit>(ControlId::SaveFolder);
    const QString folder = shell.PickFolder(this, UiTexts::PickSaveFolder(), field->text().trimmed());
    if (!folder.isEmpty()) {
        field->setText(QDir::toNativeSeparators(folder));
    }
}

bool CQuillmarkDlg::CheckSaveFolder() {
    // The field takes a typed or pasted path: take it as a user means it,
    // without the blanks a paste brings and with ~ for the home folder.
    auto* field = Control<QLineEdit>(ControlId::SaveFolder);
    QString folder = field->text().trimmed();
    if (folder == QLatin1String("~") || folder.startsWith(QLatin1String("~/"))) {
        folder = QDir::homePath() + folder.mid(1);
    }
    if (folder != field->text()) {
        field->setText(folder);
    }
    if (!QFileInfo(folder).isDir()) {
        shell.ShowMessage(this, UiTexts::NoSuchSaveFolder().arg(folder), Shell::Buttons::Ok);
        field->setFocus();
        return false;
    }
    return true;
}

void CQuillmarkDlg::OnViewResult() {
    // The save folder, not the last job's output: the user picks the job there.
    // A folder that is gone opens nothing, and says nothing.
    shell.OpenFolder(Control<QLineEdit>(ControlId::SaveFolder)->text());
}

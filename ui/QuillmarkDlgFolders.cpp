// The save folder: choosing it, and opening it so the user can reach the
// time-stamped folders of the jobs.
#include "QuillmarkDlg.h"

#include "DialogTemplate.h"
#include "Shell.h"
#include "UiTexts.h"

#include <QDir>
#include <QLineEdit>

void CQuillmarkDlg::OnChangeSaveFolder() {
    // A cancelled picker keeps the folder chosen before.
    const QString folder = shell.PickFolder(this, UiTexts::PickSaveFolder());
    if (!folder.isEmpty()) {
        Control<QLineEdit>(ControlId::SaveFolder)->setText(QDir::toNativeSeparators(folder));
    }
}

void CQuillmarkDlg::OnViewResult() {
    // The save folder, not the last job's output: the user picks the job there.
    // A folder that is gone opens nothing, and says nothing.
    shell.OpenFolder(Control<QLineEdit>(ControlId::SaveFolder)->text());
}

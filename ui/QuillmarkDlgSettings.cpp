// The choices the window remembers from one run to the next.
#include "QuillmarkDlg.h"

#include "DialogTemplate.h"
#include "RememberedSettings.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>

void CQuillmarkDlg::ApplyRememberedSettings() {
    if (settings == nullptr) {
        return;
    }
    const RememberedSettings remembered = LoadRememberedSettings(*settings);
    // A save folder that has gone since is forgotten quietly: the default holds.
    if (!remembered.saveFolder.isEmpty() && QFileInfo(remembered.saveFolder).isDir()) {
        Control<QLineEdit>(ControlId::SaveFolder)->setText(remembered.saveFolder);
    }
    Control<QCheckBox>(ControlId::TraverseBox)->setChecked(remembered.listFolders);
    Control(ControlId::AddFiles)->setEnabled(!remembered.listFolders);
    Control<QRadioButton>(remembered.mergeIntoOne ? ControlId::MergeIntoOne : ControlId::OnePerPicture)
        ->setChecked(true);
    Control<QCheckBox>(ControlId::ForbidPrint)->setChecked(remembered.forbidPrint);
    ChooseEncryption(remembered.aes256 ? Encryption::Aes256 : Encryption::Rc4);
    Control<QCheckBox>(ControlId::CustomSizeBox)->setChecked(remembered.customSize);
    OnCustomSizeBox();
    if (!remembered.pageWidth.isEmpty()) {
        Control<QLineEdit>(ControlId::PageWidth)->setText(remembered.pageWidth);
    }
    if (!remembered.pageHeight.isEmpty()) {
        Control<QLineEdit>(ControlId::PageHeight)->setText(remembered.pageHeight);
    }
    filesFolder = remembered.filesFolder;
    sourceFolder = remembered.sourceFolder;
    pageChoice = remembered.page;
    ShowPageChoice();
}

void CQuillmarkDlg::RememberSettings() {
    if (settings == nullptr) {
        return;
    }
    RememberedSettings remembered;
    remembered.saveFolder = Control<QLineEdit>(ControlId::SaveFolder)->text().trimmed();
    remembered.listFolders = Control<QCheckBox>(ControlId::TraverseBox)->isChecked();
    remembered.mergeIntoOne = Control<QRadioButton>(ControlId::MergeIntoOne)->isChecked();
    remembered.forbidPrint = Control<QCheckBox>(ControlId::ForbidPrint)->isChecked();
    remembered.aes256 = ChosenEncryption() == Encryption::Aes256;
    remembered.customSize = Control<QCheckBox>(ControlId::CustomSizeBox)->isChecked();
    // The screen's own default is not kept, so a new screen brings its own.
    const QString width = TypedPageWidth();
    const QString height = TypedPageHeight();
    if (width != QString::number(defaultPage.width()) || height != QString::number(defaultPage.height())) {
        remembered.pageWidth = width;
        remembered.pageHeight = height;
    }
    remembered.filesFolder = filesFolder;
    remembered.sourceFolder = sourceFolder;
    remembered.page = pageChoice;
    SaveRememberedSettings(*settings, remembered);
}

// Filling the source list: the file picker, the folder scan and dropped files,
// and the list operations they share.
#include "QuillmarkDlg.h"

#include "DialogTemplate.h"
#include "DropTest.h"
#include "FileFilter.h"
#include "FolderScan.h"
#include "ListedPaths.h"
#include "PathText.h"
#include "Shell.h"
#include "UiTexts.h"

#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QTreeWidget>

QTreeWidget* CQuillmarkDlg::List() const {
    return Control<QTreeWidget>(ControlId::SourceList);
}

bool CQuillmarkDlg::IsListed(const QString& path) const {
    return listed->Contains(path);
}

QTreeWidgetItem* CQuillmarkDlg::NewListRow(const QString& path) const {
    auto* row = new QTreeWidgetItem(QStringList{path});
    // A row can be dragged between others, never dropped onto one (it would
    // become a child row, which the list does not have). Its whole path shows
    // with its preview when the mouse rests on it.
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled);
    return row;
}

void CQuillmarkDlg::InsertAtTop(const QString& path) {
    List()->insertTopLevelItem(0, NewListRow(path));
}

void CQuillmarkDlg::RefreshFileCount() {
    fileCount = List()->topLevelItemCount();
    Control<QLabel>(ControlId::FileCount)->setText(QString::number(fileCount));
}

void CQuillmarkDlg::OnAddFiles() {
    // Each file goes to the top, so a batch stands above the earlier rows in the
    // reverse of the order the picker gave it.
    const QStringList picked = shell.PickFiles(this, QtFileFilter(UiTexts::PictureFilter()), filesFolder);
    if (!picked.isEmpty()) {
        filesFolder = QFileInfo(picked.first()).absolutePath();
    }
    for (const QString& path : picked) {
        const QString native = QDir::toNativeSeparators(path);
        if (!IsListed(native)) {
            InsertAtTop(native);
        }
    }
    RefreshFileCount();
}

// The list stays as it was: the user is told why the folder added nothing.
void CQuillmarkDlg::ShowFolderError(const std::string& why) {
    shell.ShowMessage(this, UiTexts::FolderNotAdded().arg(QString::fromStdString(why)), Shell::Buttons::Ok);
}

void CQuillmarkDlg::OnAddFolder() {
    const QString folder = shell.PickFolder(this, UiTexts::PickSourceFolder(), sourceFolder);
    if (folder.isEmpty()) {
        RefreshFileCount();
        return;
    }
    sourceFolder = folder;
    const bool folders = Control<QCheckBox>(ControlId::TraverseBox)->isChecked();
    if (folders) {
        // Sub-folders are listed as found, each at the top, a second time if
        // the folder is added again.
        const FolderListing found = ListSubFolders(ToPath(folder));
        if (!found.error.empty()) {
            ShowFolderError(found.error);
            return;
        }
        for (const auto& entry : found.entries) {
            InsertAtTop(FromPath(entry));
        }
    } else {
        // The pictures come in the order they are to stand in; put at the top
        // last first, they stand above the earlier rows in that order.
        const FolderListing found = ScanFolderForPictures(ToPath(folder), pageChoice.order);
        if (!found.error.empty()) {
            ShowFolderError(found.error);
            return;
        }
        for (auto entry = found.entries.rbegin(); entry != found.entries.rend(); ++entry) {
            const QString path = FromPath(*entry);
            if (!IsListed(path)) {
                InsertAtTop(path);
            }
        }
    }
    RefreshFileCount();
}

void CQuillmarkDlg::OnDropFiles(const QList<QUrl>& dropped) {
    if (Control<QCheckBox>(ControlId::TraverseBox)->isChecked()) {
        return;
    }
    for (const QUrl& url : dropped) {
        // Only files of this machine can be converted; a web link dragged from
        // a browser is not one. Long paths are taken whole.
        if (!url.isLocalFile()) {
            continue;
        }
        const QString path = QDir::toNativeSeparators(url.toLocalFile());
        if (!PassesDropTest(path) || IsListed(path)) {
            continue;
        }
        InsertAtTop(path);
        RefreshFileCount();
    }
}

void CQuillmarkDlg::OpenFiles(const QStringList& paths) {
    // Files named on a command line come in the order the user wants them:
    // handed to the drop last first, each at the top, the batch stands above
    // the earlier rows in that order and a merged document starts with the first.
    // A file named twice stands where it was first named.
    QStringList named = paths;
    named.removeDuplicates();
    QList<QUrl> files;
    for (auto path = named.rbegin(); path != named.rend(); ++path) {
        files << QUrl::fromLocalFile(*path);
    }
    OnDropFiles(files);
}

void CQuillmarkDlg::StartWithFiles(const QStringList& paths) {
    auto* traverse = Control<QCheckBox>(ControlId::TraverseBox);
    if (!paths.isEmpty() && traverse->isChecked()) {
        traverse->setChecked(false);
        OnTraverseBox();
    }
    OpenFiles(paths);
}

void CQuillmarkDlg::dragEnterEvent(QDragEnterEvent* event) {
    // In traverse mode the list holds folders, and dropped files are not taken.
    if (event->mimeData()->hasUrls() && !Control<QCheckBox>(ControlId::TraverseBox)->isChecked()) {
        event->acceptProposedAction();
    }
}

void CQuillmarkDlg::dropEvent(QDropEvent* event) {
    OnDropFiles(event->mimeData()->urls());
    event->acceptProposedAction();
}

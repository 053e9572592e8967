// Editing the source list: removing a row, clearing the list, and moving the
// first selected row to the top, up, down or to the bottom.
#include "QuillmarkDlg.h"

#include "DialogTemplate.h"
#include "Shell.h"
#include "UiTexts.h"

#include <QTreeWidget>

int CQuillmarkDlg::FirstSelectedRow() const {
    const QTreeWidget* list = List();
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        if (list->topLevelItem(row)->isSelected()) {
            return row;
        }
    }
    return -1;
}

void CQuillmarkDlg::OnRemoveFile() {
    const int row = FirstSelectedRow();
    if (row < 0) {
        shell.ShowMessage(this, UiTexts::SelectOne(), Shell::Buttons::Ok);
    } else if (shell.ShowMessage(this, UiTexts::ConfirmRemove(), Shell::Buttons::OkCancel) ==
               Shell::Answer::Ok) {
        // The row takes its selection with it; the other selected rows keep theirs.
        delete List()->takeTopLevelItem(row);
        shell.ShowMessage(this, UiTexts::Removed(), Shell::Buttons::Ok);
    }
    RefreshFileCount();
}

void CQuillmarkDlg::OnClearList() {
    if (List()->topLevelItemCount() == 0) {
        shell.ShowMessage(this, UiTexts::NothingToClear(), Shell::Buttons::Ok);
    } else if (shell.ShowMessage(this, UiTexts::ConfirmClear(), Shell::Buttons::OkCancel) ==
               Shell::Answer::Ok) {
        List()->clear();
        shell.ShowMessage(this, UiTexts::Removed(), Shell::Buttons::Ok);
    }
    RefreshFileCount();
}

void CQuillmarkDlg::MoveFirstSelected(Move move) {
    QTreeWidget* list = List();
    // The list takes the focus even when nothing moves, so the keyboard can go
    // on from there.
    list->setFocus();
    const int row = FirstSelectedRow();
    if (row < 0) {
        return;
    }
    const int count = list->topLevelItemCount();
    const bool upwards = move == Move::ToTop || move == Move::Up;
    if (upwards ? row == 0 : row + 1 == count) {
        shell.ShowMessage(this, upwards ? UiTexts::AlreadyFirst() : UiTexts::AlreadyLast(),
                          Shell::Buttons::Ok);
        return;
    }
    // The target row counts in the list without the moved row, so moving down
    // lands after the former successor and moving to the bottom appends.
    int target = 0;
    switch (move) {
    case Move::ToTop:
        target = 0;
        break;
    case Move::Up:
        target = row - 1;
        break;
    case Move::Down:
        target = row + 1;
        break;
    case Move::ToBottom:
        target = count - 1;
        break;
    }
    const QString path = list->topLevelItem(row)->text(0);
    delete list->takeTopLevelItem(row);
    auto* moved = new QTreeWidgetItem(QStringList{path});
    list->insertTopLevelItem(target, moved);
    // Selected and focused; the other selected rows stay selected.
    list->setCurrentItem(moved, 0, QItemSelectionModel::Select);
}

void CQuillmarkDlg::OnMoveToTop() {
    MoveFirstSelected(Move::ToTop);
}

void CQuillmarkDlg::OnMoveUp() {
    MoveFirstSelected(Move::Up);
}

void CQuillmarkDlg::OnMoveDown() {
    MoveFirstSelected(Move::Down);
}

void CQuillmarkDlg::OnMoveToBottom() {
    MoveFirstSelected(Move::ToBottom);
}

// Editing the source list: removing a row, clearing the list, and moving the
// first selected row to the top, up, down or to the bottom; removing every
// selected row and sorting the list from its context menu.
#include "QuillmarkDlg.h"

#include "DialogTemplate.h"
#include "NaturalOrder.h"
#include "PathText.h"
#include "Shell.h"
#include "UiTexts.h"
#include "WriteTimeOrder.h"

#include <QMenu>
#include <QTreeWidget>
#include <algorithm>

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
    QTreeWidgetItem* moved = NewListRow(path);
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

void CQuillmarkDlg::OnRemoveSelected() {
    if (converting) {
        return;
    }
    const QList<QTreeWidgetItem*> selected = List()->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const QString question =
        selected.size() == 1 ? UiTexts::ConfirmRemove() : UiTexts::ConfirmRemoveMany().arg(selected.size());
    if (shell.ShowMessage(this, question, Shell::Buttons::OkCancel) == Shell::Answer::Ok) {
        qDeleteAll(selected);
    }
    RefreshFileCount();
}

namespace {

// A row with what it is sorted by, worked out once per row.
struct SortedRow {
    QTreeWidgetItem* item;
    std::filesystem::path path;
    int64_t writeTime = 0;
};

} // namespace

void CQuillmarkDlg::OnSortList(ListSort sort) {
    if (converting) {
        return;
    }
    QTreeWidget* list = List();
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    const bool byTime = sort == ListSort::OldestFirst || sort == ListSort::NewestFirst;
    std::vector<SortedRow> rows;
    for (QTreeWidgetItem* item : list->invisibleRootItem()->takeChildren()) {
        SortedRow row{item, ToPath(item->text(0))};
        if (byTime) {
            row.writeTime = WriteTimeKey(row.path);
        }
        rows.push_back(std::move(row));
    }
    // Equal times fall back on the name, so the order does not depend on
    // where the rows stood before.
    auto ascending = [byTime](const SortedRow& a, const SortedRow& b) {
        if (byTime && a.writeTime != b.writeTime) {
            return a.writeTime < b.writeTime;
        }
        return NaturallyBefore(a.path, b.path);
    };
    if (sort == ListSort::NameAscending || sort == ListSort::OldestFirst) {
        std::stable_sort(rows.begin(), rows.end(), ascending);
    } else {
        std::stable_sort(rows.begin(), rows.end(),
                         [&](const auto& a, const auto& b) { return ascending(b, a); });
    }
    QList<QTreeWidgetItem*> items;
    for (const SortedRow& row : rows) {
        items << row.item;
    }
    list->addTopLevelItems(items);
    for (QTreeWidgetItem* item : selected) {
        item->setSelected(true);
    }
}

std::unique_ptr<QMenu> CQuillmarkDlg::MakeListMenu() {
    auto menu = std::make_unique<QMenu>(this);
    const bool editable = !converting;
    QAction* remove = menu->addAction(UiTexts::RemoveSelected(), this, &CQuillmarkDlg::OnRemoveSelected);
    remove->setShortcut(QKeySequence::Delete);
    remove->setEnabled(editable && !List()->selectedItems().isEmpty());
    menu->addSeparator();
    const std::pair<QString, ListSort> sorts[] = {
        {UiTexts::SortNameAscending(), ListSort::NameAscending},
        {UiTexts::SortNameDescending(), ListSort::NameDescending},
        {UiTexts::SortOldestFirst(), ListSort::OldestFirst},
        {UiTexts::SortNewestFirst(), ListSort::NewestFirst},
    };
    for (const auto& [text, sort] : sorts) {
        QAction* action = menu->addAction(text, this, [this, sort = sort] { OnSortList(sort); });
        action->setEnabled(editable && List()->topLevelItemCount() > 1);
    }
    return menu;
}

void CQuillmarkDlg::OnListMenu(const QPoint& where) {
    const std::unique_ptr<QMenu> menu = MakeListMenu();
    menu->exec(List()->viewport()->mapToGlobal(where));
}

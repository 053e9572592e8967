#include "ListedPaths.h"

#include <QAbstractItemModel>

ListedPaths::ListedPaths(QAbstractItemModel* model) : QObject(model), model(model) {
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) { Count(parent, first, last, +1); });
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex& parent, int first, int last) { Count(parent, first, last, -1); });
    connect(model, &QAbstractItemModel::modelReset, this, &ListedPaths::Rebuild);
    connect(model, &QAbstractItemModel::dataChanged, this, &ListedPaths::Rebuild);
    Rebuild();
}

void ListedPaths::Count(const QModelIndex& parent, int first, int last, int step) {
    if (parent.isValid()) {
        return;
    }
    for (int row = first; row <= last; ++row) {
        const QString text = model->index(row, 0).data().toString();
        const int left = counts.value(text) + step;
        if (left > 0) {
            counts.insert(text, left);
        } else {
            counts.remove(text);
        }
    }
}

void ListedPaths::Rebuild() {
    counts.clear();
    Count(QModelIndex(), 0, model->rowCount() - 1, +1);
}

#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QAbstractItemModel;
class QModelIndex;

// Answers "is this exact text in column 0 of the list?" without scanning the
// rows. It follows the list's model, so every way the list changes (rows
// inserted, removed, moved, the whole list cleared, a text edited) keeps it in
// step, whoever makes the change. The comparison is exact: case and separators
// count. Only top-level rows are followed.
class ListedPaths : public QObject {
    Q_OBJECT
  public:
    explicit ListedPaths(QAbstractItemModel* model);

    bool Contains(const QString& path) const { return counts.contains(path); }

  private:
    void Count(const QModelIndex& parent, int first, int last, int step);
    void Rebuild();

    QAbstractItemModel* model;
    // A text may stand in several rows (a folder added twice in traverse mode),
    // so removing one row must not forget the others.
    QHash<QString, int> counts;
};

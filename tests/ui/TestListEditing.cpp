// The six buttons beside the list: which row they act on, their questions and
// messages, and where selection and focus end up.
#include "DialogTemplate.h"
#include "FakeShell.h"
#include "JobState.h"
#include "QuillmarkDlg.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>

namespace {

struct Fixture {
    FakeShell shell;
    JobState job;
    CQuillmarkDlg dlg{shell, job, 96};

    // Rows named by letters, "abcd" gives a, b, c, d from the top.
    Fixture(const QString& letters, const QList<int>& selected) {
        for (qsizetype i = letters.size() - 1; i >= 0; --i) {
            dlg.InsertAtTop(letters.mid(i, 1));
        }
        dlg.RefreshFileCount();
        for (int row : selected) {
            list()->topLevelItem(row)->setSelected(true);
        }
    }
    QTreeWidget* list() { return dlg.Control<QTreeWidget>(ControlId::SourceList); }
    QString label() { return dlg.Control<QLabel>(ControlId::FileCount)->text(); }
    void click(int id) { dlg.Control<QPushButton>(id)->click(); }
    QString rows() {
        QString letters;
        for (int row = 0; row < list()->topLevelItemCount(); ++row) {
            letters += list()->topLevelItem(row)->text(0);
        }
        return letters;
    }
    QList<int> selected() {
        QList<int> rows;
        for (int row = 0; row < list()->topLevelItemCount(); ++row) {
            if (list()->topLevelItem(row)->isSelected()) {
                rows << row;
            }
        }
        return rows;
    }
};

const QString kFirst = QStringLiteral("已经位于第一行!");
const QString kLast = QStringLiteral("已经位于最后一行!");

} // namespace

class TestListEditing : public QObject {
    Q_OBJECT
  private slots:
    void moves_data();
    void moves();
    void removeAsksAndTakesTheFirstSelected();
    void clearAsksFirst();
    void deleteKeyRemovesEverySelectedRowAfterOneQuestion();
    void sortCommands_data();
    void sortCommands();
    void movedRowsAreDraggedOnlyBetweenRows();
};

void TestListEditing::moves_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QList<int>>("selectedAfter");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("focused"); // the row with the focus mark; -1: nothing moved

    using L = QList<int>;
    QTest::newRow("one row, to top") << "a" << L{0} << 1006 << "a" << L{0} << kFirst << -1;
    QTest::newRow("one row, up") << "a" << L{0} << 1007 << "a" << L{0} << kFirst << -1;
    QTest::newRow("one row, down") << "a" << L{0} << 1008 << "a" << L{0} << kLast << -1;
    QTest::newRow("one row, to bottom") << "a" << L{0} << 1009 << "a" << L{0} << kLast << -1;
    QTest::newRow("last row, down") << "abcd" << L{3} << 1008 << "abcd" << L{3} << kLast << -1;
    QTest::newRow("nothing selected") << "abcd" << L{} << 1007 << "abcd" << L{} << QString() << -1;
    QTest::newRow("up, rows 2 and 5 selected")
        << "abcdef" << L{2, 5} << 1007 << "acbdef" << L{1, 5} << QString() << 1;
    QTest::newRow("down") << "abcd" << L{1} << 1008 << "acbd" << L{2} << QString() << 2;
    QTest::newRow("to top") << "abcd" << L{2} << 1006 << "cabd" << L{0} << QString() << 0;
    QTest::newRow("to bottom") << "abcd" << L{0} << 1009 << "bcda" << L{3} << QString() << 3;
    QTest::newRow("to bottom, first of two selected")
        << "abcd" << L{1, 2} << 1009 << "acdb" << L{1, 3} << QString() << 3;
}

void TestListEditing::moves() {
    QFETCH(QString, before);
    QFETCH(QList<int>, selected);
    QFETCH(int, button);
    QFETCH(QString, after);
    QFETCH(QList<int>, selectedAfter);
    QFETCH(QString, message);
    QFETCH(int, focused);
    Fixture f(before, selected);
    f.dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&f.dlg));

    f.click(button);
    QCOMPARE(f.rows(), after);
    QCOMPARE(f.selected(), selectedAfter);
    QCOMPARE(f.shell.messages, message.isEmpty() ? QStringList() : QStringList{message});
    // The list takes the keyboard focus in every case; a moved row takes the focus mark.
    QCOMPARE(QApplication::focusWidget(), f.list());
    if (focused >= 0) {
        QCOMPARE(f.list()->currentItem(), f.list()->topLevelItem(focused));
    }
}

void TestListEditing::removeAsksAndTakesTheFirstSelected() {
    Fixture empty("", {});
    empty.click(ControlId::RemoveFile);
    QCOMPARE(empty.shell.messages, QStringList{QStringLiteral("请选择一项")});
    QCOMPARE(empty.label(), QStringLiteral("0"));

    Fixture f("abcdef", {2, 5});
    f.dlg.Control<QLabel>(ControlId::FileCount)->clear();
    f.shell.answers << Shell::Answer::Cancel << Shell::Answer::Ok;
    f.click(ControlId::RemoveFile);
    QCOMPARE(f.rows(), QStringLiteral("abcdef"));
    QCOMPARE(f.selected(), (QList<int>{2, 5}));
    QCOMPARE(f.label(), QStringLiteral("6")); // refreshed even after Cancel

    f.click(ControlId::RemoveFile);
    QCOMPARE(f.rows(), QStringLiteral("abdef"));
    QCOMPARE(f.selected(), QList<int>{4}); // the selection does not pass to a neighbour
    QCOMPARE(f.label(), QStringLiteral("5"));
    QCOMPARE(f.shell.questions, (QStringList{"确定删除吗", "确定删除吗"}));
    QCOMPARE(f.shell.messages.last(), QStringLiteral("删除成功"));
}

void TestListEditing::clearAsksFirst() {
    Fixture empty("", {});
    empty.click(ControlId::ClearList);
    QCOMPARE(empty.shell.messages, QStringList{QStringLiteral("无可清理文件")});
    QVERIFY(empty.shell.questions.isEmpty());

    Fixture f("abc", {});
    f.shell.answers << Shell::Answer::Cancel << Shell::Answer::Ok;
    f.click(ControlId::ClearList);
    QCOMPARE(f.rows(), QStringLiteral("abc"));
    f.click(ControlId::ClearList);
    QCOMPARE(f.rows(), QString());
    QCOMPARE(f.label(), QStringLiteral("0"));
    QCOMPARE(f.shell.messages, (QStringList{"确定清空列表吗", "确定清空列表吗", "删除成功"}));
}

void TestListEditing::deleteKeyRemovesEverySelectedRowAfterOneQuestion() {
    Fixture f("abcdef", {1, 3, 4});
    f.dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&f.dlg));
    f.list()->setFocus();
    f.shell.answers << Shell::Answer::Cancel << Shell::Answer::Ok;
    QTest::keyClick(f.list(), Qt::Key_Delete);
    QCOMPARE(f.rows(), QStringLiteral("abcdef"));
    QTest::keyClick(f.list(), Qt::Key_Delete);
    QCOMPARE(f.rows(), QStringLiteral("acf"));
    QCOMPARE(f.label(), QStringLiteral("3"));
    QCOMPARE(f.shell.questions, (QStringList{"确定删除选中的 3 项吗", "确定删除选中的 3 项吗"}));
    QVERIFY(!f.dlg.IsListed("b")); // the duplicate test forgets them

    // The menu offers it only with a selection; nothing selected, nothing asked.
    QVERIFY(!f.dlg.MakeListMenu()->actions().first()->isEnabled());
    QTest::keyClick(f.list(), Qt::Key_Delete);
    QCOMPARE(f.shell.questions.size(), 2);
    // One row selected: the button's question.
    f.list()->topLevelItem(0)->setSelected(true);
    QVERIFY(f.dlg.MakeListMenu()->actions().first()->isEnabled());
    f.shell.answers << Shell::Answer::Ok;
    f.dlg.MakeListMenu()->actions().first()->trigger();
    QCOMPARE(f.rows(), QStringLiteral("cf"));
    QCOMPARE(f.shell.questions.last(), QStringLiteral("确定删除吗"));
}

void TestListEditing::sortCommands_data() {
    QTest::addColumn<int>("action"); // its place in the context menu
    QTest::addColumn<QStringList>("after");
    // Written in the order b/img10, a/img2, img1, a/IMG3; b/img1 and a/img1 at one time.
    QTest::newRow("name, ascending") << 2 << QStringList{"a/img1", "a/img2", "a/IMG3", "b/img1", "b/img10"};
    QTest::newRow("name, descending") << 3 << QStringList{"b/img10", "b/img1", "a/IMG3", "a/img2", "a/img1"};
    QTest::newRow("oldest first") << 4 << QStringList{"b/img10", "a/img2", "a/img1", "b/img1", "a/IMG3"};
    QTest::newRow("newest first") << 5 << QStringList{"a/IMG3", "b/img1", "a/img1", "a/img2", "b/img10"};
}

void TestListEditing::sortCommands() {
    QFETCH(int, action);
    QFETCH(QStringList, after);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("a");
    QDir(dir.path()).mkpath("b");
    const std::pair<const char*, int> files[] = {
        {"b/img10", 0}, {"a/img2", 1}, {"a/img1", 2}, {"b/img1", 2}, {"a/IMG3", 3}};
    Fixture f("", {});
    for (const auto& [name, minute] : files) {
        const QString path = dir.filePath(name);
        QFile(path).open(QIODevice::WriteOnly);
        std::filesystem::last_write_time(path.toStdString(), std::filesystem::file_time_type::clock::now() -
                                                                 std::chrono::hours(1) +
                                                                 std::chrono::minutes(minute));
        f.dlg.InsertAtTop(path);
    }
    f.list()->topLevelItem(2)->setSelected(true);
    const QString selectedPath = f.list()->topLevelItem(2)->text(0);

    f.dlg.MakeListMenu()->actions().at(action)->trigger();
    QStringList rows;
    for (int row = 0; row < f.list()->topLevelItemCount(); ++row) {
        rows << QDir(dir.path()).relativeFilePath(f.list()->topLevelItem(row)->text(0));
    }
    QCOMPARE(rows, after);
    QCOMPARE(f.list()->selectedItems().size(), 1); // the selection goes with its row
    QCOMPARE(f.list()->selectedItems().first()->text(0), selectedPath);
    QVERIFY(f.dlg.IsListed(selectedPath));
}

void TestListEditing::movedRowsAreDraggedOnlyBetweenRows() {
    Fixture f("abc", {0});
    f.click(ControlId::MoveToBottom);
    QTreeWidgetItem* moved = f.list()->topLevelItem(2);
    QVERIFY(moved->flags() & Qt::ItemIsDragEnabled);
    QVERIFY(!(moved->flags() & Qt::ItemIsDropEnabled)); // a drop on it would make it a parent
    QCOMPARE(f.list()->dragDropMode(), QAbstractItemView::InternalMove);
}

QTEST_MAIN(TestListEditing)
#include "TestListEditing.moc"

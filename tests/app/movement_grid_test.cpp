// The grid's keys and row moves, over an in-memory data set and over a real table file.
#include "app/movement_grid.h"
#include "app_test_support.h"
#include "data/data_source.h"
#include "data/statement.h"
#include "data/table.h"

#include <gtest/gtest.h>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace etb::app {
namespace {

using data::DataSetState;
using testing::BoxRecorder;
using testing::MemoryDataSet;

class MovementGridTest : public ::testing::Test {
protected:
    void SetUp() override { bind(dataSet); }

    void bind(data::TDataSet& set) {
        source.dataSet = &set;
        if (!set.active())
            set.open();
        grid = new MovementGrid(&window);
        other = new QPushButton(QStringLiteral("other"), &window);
        auto* layout = new QHBoxLayout(&window);
        layout->addWidget(grid);
        layout->addWidget(other);
        grid->setDataSource(&source);
        window.resize(500, 300);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        grid->setFocus();
        QCoreApplication::processEvents();
    }

    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = grid->openEditor() ? grid->openEditor() : grid;
        QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
        QCoreApplication::processEvents();  // Enter stores the text through a queued call
    }

    // Goes to the cell, opens its editor with F2, replaces its text and presses Enter.
    void typeInto(int row, int column, const QString& text) {
        grid->setCurrentIndex(grid->model()->index(row, column));
        key(Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(grid->openEditor());
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        key(Qt::Key_Return);
    }

    int viewRow() const { return grid->currentIndex().row(); }

    MemoryDataSet dataSet{testing::sampleMovements()};
    data::TDataSource source;
    QWidget window;
    MovementGrid* grid = nullptr;
    QPushButton* other = nullptr;
    BoxRecorder recorder;
    ScopedMessageBoxHandler scope{recorder.handler()};
};

TEST_F(MovementGridTest, LayoutOfColumnsAndRows) {
    grid->setColumnWidths({44, 44, 83, 102});
    EXPECT_EQ(grid->columnWidth(0), 44);
    EXPECT_EQ(grid->columnWidth(2), 83);
    EXPECT_EQ(grid->columnWidth(3), 102);
    // Widths survive the reset of closing and opening the data set.
    dataSet.close();
    dataSet.open();
    EXPECT_EQ(grid->columnWidth(3), 102);
    EXPECT_EQ(grid->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_TRUE(grid->horizontalHeader()->sectionsMovable());
    EXPECT_TRUE(grid->showGrid());
    EXPECT_TRUE(grid->tabKeyNavigation());
    EXPECT_EQ(viewRow(), 0);
}

TEST_F(MovementGridTest, F2AndEnterStoreTheTextAndMovingToAnotherRowPosts) {
    typeInto(1, 0, QStringLiteral("777"));
    EXPECT_EQ(grid->openEditor(), nullptr);
    EXPECT_EQ(dataSet.state(), DataSetState::Edit);
    EXPECT_EQ(dataSet.rows[1][0].toString(), QStringLiteral("900"));
    key(Qt::Key_Down);
    EXPECT_EQ(dataSet.state(), DataSetState::Browse);
    EXPECT_EQ(dataSet.recNo(), 2);
    EXPECT_EQ(viewRow(), 2);
    EXPECT_EQ(dataSet.rows[1][0].toString(), QStringLiteral("777"));
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(MovementGridTest, EditorsLimitTextFieldsAndStartAmountsWithoutSeparators) {
    const int expectedMaxLength[] = {3, 3, 8};
    for (int column = 0; column < 3; ++column) {
        grid->setCurrentIndex(grid->model()->index(0, column));
        key(Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(grid->openEditor());
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->maxLength(), expectedMaxLength[column]);
        key(Qt::Key_Escape);
    }
    dataSet.rows[0][3] = 1234.5;
    grid->setCurrentIndex(grid->model()->index(0, 3));
    key(Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(grid->openEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), dataSet.montant->editTextOf(1234.5));
    EXPECT_FALSE(editor->text().contains(QLocale::system().groupSeparator()));
    key(Qt::Key_Return);
    EXPECT_EQ(dataSet.state(), DataSetState::Browse);  // unchanged text stores nothing
}

TEST_F(MovementGridTest, TypingOpensTheEditorWithTheTypedText) {
    grid->setCurrentIndex(grid->model()->index(2, 2));
    QTest::keyClick(grid, 'A');  // replaces the cell's text
    auto* editor = qobject_cast<QLineEdit*>(grid->openEditor());
    ASSERT_NE(editor, nullptr);
    // The row is in edit as soon as the text changes.
    EXPECT_EQ(dataSet.state(), DataSetState::Edit);
    EXPECT_EQ(grid->model()->headerData(2, Qt::Vertical).toString(), QStringLiteral("I"));
    QTest::keyClicks(editor, QStringLiteral("UTRE"));
    EXPECT_EQ(editor->text(), QStringLiteral("AUTRE"));
    key(Qt::Key_Return);
    EXPECT_EQ(dataSet.type->asString(), QStringLiteral("AUTRE"));
    EXPECT_EQ(grid->openEditor(), nullptr);
    key(Qt::Key_Return);  // Enter on a cell opens its editor
    EXPECT_NE(grid->openEditor(), nullptr);
}

TEST_F(MovementGridTest, EscUndoesTheCellThenCancelsTheRow) {
    typeInto(0, 0, QStringLiteral("111"));
    grid->setCurrentIndex(grid->model()->index(0, 1));
    key(Qt::Key_F2);
    QTest::keyClicks(grid->openEditor(), QStringLiteral("9"));
    key(Qt::Key_Escape);  // the cell's change
    EXPECT_EQ(grid->openEditor(), nullptr);
    EXPECT_EQ(dataSet.state(), DataSetState::Edit);
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), QStringLiteral("111"));
    EXPECT_EQ(grid->model()->index(0, 1).data().toString(), QStringLiteral("900"));
    key(Qt::Key_Escape);  // the row's changes
    EXPECT_EQ(dataSet.state(), DataSetState::Browse);
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), QStringLiteral("900"));
    EXPECT_EQ(dataSet.stores, 0);
}

TEST_F(MovementGridTest, InsertAddsARowBeforeTheCurrentOneAndLeavingItUnchangedDropsIt) {
    grid->setCurrentIndex(grid->model()->index(1, 0));
    key(Qt::Key_Insert);
    EXPECT_EQ(dataSet.state(), DataSetState::Insert);
    EXPECT_EQ(grid->model()->rowCount(), 4);
    EXPECT_EQ(viewRow(), 1);
    EXPECT_EQ(grid->model()->index(1, 2).data().toString(), QString());
    key(Qt::Key_Up);
    EXPECT_EQ(dataSet.state(), DataSetState::Browse);
    EXPECT_EQ(grid->model()->rowCount(), 3);
    EXPECT_EQ(viewRow(), 0);

    grid->setCurrentIndex(grid->model()->index(1, 0));
    key(Qt::Key_Insert);
    typeInto(1, 2, QStringLiteral("RECETTE"));
    key(Qt::Key_Down);
    ASSERT_EQ(dataSet.rows.size(), 4u);
    EXPECT_EQ(dataSet.rows[1][2].toString(), QStringLiteral("RECETTE"));
}

TEST_F(MovementGridTest, DownOnTheLastRowAppendsOneRow) {
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(dataSet.recNo(), 2);
    EXPECT_EQ(viewRow(), 2);
    key(Qt::Key_Down);
    EXPECT_EQ(dataSet.state(), DataSetState::Insert);
    EXPECT_EQ(grid->model()->rowCount(), 4);
    EXPECT_EQ(viewRow(), 3);
    key(Qt::Key_Down);  // an unchanged new row is not followed by another
    EXPECT_EQ(grid->model()->rowCount(), 4);
    typeInto(3, 0, QStringLiteral("905"));
    key(Qt::Key_Down);  // posts, then appends the next
    ASSERT_EQ(dataSet.rows.size(), 4u);
    EXPECT_EQ(dataSet.rows[3][0].toString(), QStringLiteral("905"));
    EXPECT_EQ(dataSet.state(), DataSetState::Insert);
    key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(dataSet.recNo(), 0);
    EXPECT_EQ(viewRow(), 0);
    EXPECT_EQ(grid->model()->rowCount(), 4);
}

TEST_F(MovementGridTest, TabAndShiftTabMoveBetweenCells) {
    grid->setCurrentIndex(grid->model()->index(1, 0));
    key(Qt::Key_Tab);
    EXPECT_EQ(grid->currentIndex(), grid->model()->index(1, 1));
    key(Qt::Key_Tab);
    key(Qt::Key_Tab);
    EXPECT_EQ(grid->currentIndex(), grid->model()->index(1, 3));
    key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(grid->currentIndex(), grid->model()->index(1, 2));
    EXPECT_EQ(grid, QApplication::focusWidget());
}

TEST_F(MovementGridTest, CtrlDeleteAsksFirst) {
    struct Case {
        QMessageBox::StandardButton answer;
        std::size_t rowsLeft;
    };
    for (const Case c : {Case{QMessageBox::Cancel, 3}, Case{QMessageBox::Ok, 2}}) {
        recorder.boxes.clear();
        recorder.answers = {c.answer};
        grid->setCurrentIndex(grid->model()->index(1, 0));
        key(Qt::Key_Delete, Qt::ControlModifier);
        ASSERT_EQ(recorder.boxes.size(), 1u);
        EXPECT_EQ(recorder.boxes[0].text, QStringLiteral("Supprimer l'enregistrement ?"));
        EXPECT_EQ(recorder.boxes[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
        EXPECT_EQ(dataSet.rows.size(), c.rowsLeft);
        EXPECT_EQ(grid->model()->rowCount(), static_cast<int>(c.rowsLeft));
    }
    EXPECT_EQ(dataSet.rows[1][2].toString(), QStringLiteral("RECETTE"));
}

TEST_F(MovementGridTest, FailedPostKeepsTheRowInEditAndTheViewOnIt) {
    typeInto(0, 1, QStringLiteral("333"));
    dataSet.failPosts = true;
    key(Qt::Key_Down);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, QStringLiteral("Erreur d'écriture sur le disque."));
    EXPECT_EQ(dataSet.state(), DataSetState::Edit);
    EXPECT_EQ(dataSet.recNo(), 0);
    EXPECT_EQ(viewRow(), 0);
    EXPECT_EQ(grid->model()->index(0, 1).data().toString(), QStringLiteral("333"));

    dataSet.failPosts = false;  // the disk has room again
    key(Qt::Key_Down);
    EXPECT_EQ(dataSet.rows[0][1].toString(), QStringLiteral("333"));
    EXPECT_EQ(viewRow(), 1);
}

TEST_F(MovementGridTest, RefusedAmountKeepsItsEditorAndTheRow) {
    typeInto(0, 3, QStringLiteral("12abc"));
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_TRUE(recorder.boxes[0].text.startsWith(QStringLiteral("'12abc' n'est pas")));
    auto* editor = qobject_cast<QLineEdit*>(grid->openEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("12abc"));
    // Moving away is refused too: the view stays on the cell being corrected.
    key(Qt::Key_Down);
    EXPECT_EQ(viewRow(), 0);
    EXPECT_EQ(dataSet.recNo(), 0);
    editor = qobject_cast<QLineEdit*>(grid->openEditor());
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("12"));
    key(Qt::Key_Return);
    EXPECT_EQ(grid->openEditor(), nullptr);
    EXPECT_EQ(dataSet.montant->asFloat(), 12.0);
}

// The same with boxes that really open and take the focus from the editor.
TEST_F(MovementGridTest, RefusedAmountWithShownBoxesKeepsTheViewOnTheRow) {
    recorder.showBoxes = true;
    typeInto(1, 3, QStringLiteral("12abc"));
    // The desktop activates the window again once the box has gone.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), grid->openEditor());
    EXPECT_EQ(recorder.boxes.size(), 1u);
    ASSERT_NE(grid->openEditor(), nullptr);
    key(Qt::Key_Down);
    EXPECT_EQ(recorder.boxes.size(), 2u);
    EXPECT_EQ(dataSet.recNo(), 1);
    EXPECT_EQ(viewRow(), 1);
    EXPECT_EQ(grid->selectionModel()->selectedIndexes(),
              QModelIndexList{grid->model()->index(1, 3)});
    ASSERT_NE(grid->openEditor(), nullptr);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), grid->openEditor());
    key(Qt::Key_Escape);
    EXPECT_EQ(grid->openEditor(), nullptr);
    EXPECT_EQ(dataSet.state(), DataSetState::Edit);
    key(Qt::Key_Escape);
    EXPECT_EQ(dataSet.state(), DataSetState::Browse);
    EXPECT_EQ(recorder.boxes.size(), 2u);
}

TEST_F(MovementGridTest, UnchangedInsertedRowIsDroppedWhenTheGridLosesTheFocus) {
    key(Qt::Key_Insert);
    ASSERT_EQ(dataSet.state(), DataSetState::Insert);
    other->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(dataSet.state(), DataSetState::Browse);
    EXPECT_EQ(grid->model()->rowCount(), 3);

    // A changed one stays.
    grid->setFocus();
    key(Qt::Key_Insert);
    typeInto(0, 0, QStringLiteral("1"));
    other->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(dataSet.state(), DataSetState::Insert);
}

TEST_F(MovementGridTest, PostPendingRowPostsOrCancels) {
    typeInto(2, 0, QStringLiteral("42"));
    EXPECT_TRUE(grid->postPendingRow());
    EXPECT_EQ(dataSet.rows[2][0].toString(), QStringLiteral("42"));
    key(Qt::Key_Insert);
    EXPECT_TRUE(grid->postPendingRow());
    EXPECT_EQ(dataSet.rows.size(), 3u);
    typeInto(1, 0, QStringLiteral("43"));
    dataSet.failPosts = true;
    EXPECT_FALSE(grid->postPendingRow());
    EXPECT_EQ(dataSet.state(), DataSetState::Edit);
    EXPECT_EQ(recorder.boxes.size(), 1u);
}

// A read-only data set of computed rows that counts the values read.
class GeneratedDataSet : public data::TDataSet {
public:
    explicit GeneratedDataSet(qint64 rows) : m_rows(rows) {
        addField<data::TStringField>(QStringLiteral("Chp"), 3);
        addField<data::TFloatField>(QStringLiteral("Montant"));
    }
    bool canModify() const override { return false; }
    mutable qint64 reads = 0;

protected:
    void doOpen() override {}
    void doClose() override {}
    qint64 storedRowCount() const override { return m_rows; }
    QVariant storedValue(qint64 row, int field) const override {
        ++reads;
        return field == 0 ? QVariant(QString::number(row % 1000)) : QVariant(double(row));
    }

private:
    qint64 m_rows;
};

TEST(MovementGridLargeTest, MillionRowsShowAndGoToTheLastRowReadingOnlyVisibleRows) {
    constexpr qint64 kRows = 1'000'000;
    GeneratedDataSet dataSet(kRows);
    dataSet.open();
    data::TDataSource source{&dataSet};
    MovementGrid grid;
    grid.resize(385, 193);
    grid.setDataSource(&source);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    EXPECT_EQ(grid.model()->rowCount(), kRows);

    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(dataSet.recNo(), kRows - 1);
    EXPECT_EQ(grid.currentIndex().row(), kRows - 1);
    EXPECT_EQ(grid.rowAt(grid.viewport()->height() - 2), kRows - 1);
    QTest::keyClick(&grid, Qt::Key_PageUp);
    QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(grid.currentIndex().row(), 0);
    // Only what was painted has been read: a few screens of rows, not the table.
    EXPECT_LT(dataSet.reads, 10'000);
}

// The same keys over the movement table file: every post reaches the file at once.
TEST(MovementGridTableTest, RowsTypedInTheGridReachTheTableFile) {
    testing::WorkDir dir;
    dir.createMovements(testing::sampleMovements());
    data::TTable table;
    data::configureMovementTable(table, data::defaultDatabaseName());
    table.open();
    data::TDataSource source{&table};
    MovementGrid grid;
    grid.setDataSource(&source);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    BoxRecorder recorder;
    ScopedMessageBoxHandler scope(recorder.handler());

    grid.setCurrentIndex(grid.model()->index(0, 3));
    QTest::keyClick(&grid, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(grid.openEditor());
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("15"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    QTest::keyClick(&grid, Qt::Key_Down);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(recorder.boxes.size() == 1u);

    const auto rows = dir.readRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][3].toDouble(), 15.0);
    EXPECT_EQ(rows[1][2].toString(), QStringLiteral("RECETTE"));
    table.close();
}

}  // namespace
}  // namespace etb::app

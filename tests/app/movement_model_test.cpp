// The grid's model over a data set: what it shows, what it stores, and that it keeps Qt's
// model contract through every change the data set makes.
#include "app/movement_model.h"
#include "app_test_support.h"

#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace etb::app {
namespace {

using testing::BoxRecorder;
using testing::MemoryDataSet;

TEST(MovementModelTest, ShowsFieldsTextsAndAlignments) {
    MemoryDataSet dataSet(testing::sampleMovements());
    dataSet.open();
    MovementModel model;
    model.setDataSet(&dataSet);

    ASSERT_EQ(model.rowCount(), 3);
    ASSERT_EQ(model.columnCount(), 4);
    const QStringList titles{QStringLiteral("Chp"), QStringLiteral("Art"), QStringLiteral("Type"),
                             QStringLiteral("Montant")};
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(model.headerData(column, Qt::Horizontal).toString(), titles[column]);
        EXPECT_EQ(
            model.headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(),
            Qt::AlignCenter);
    }
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), QStringLiteral("901"));
    EXPECT_EQ(model.data(model.index(1, 2)).toString(), QStringLiteral("DEPENSE"));
    EXPECT_EQ(model.data(model.index(1, 3)).toString(), dataSet.montant->displayTextOf(350000.0));
    EXPECT_EQ(model.data(model.index(1, 3), Qt::EditRole).toString(),
              dataSet.montant->editTextOf(350000.0));
    EXPECT_EQ(model.data(model.index(0, 0), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignCenter | Qt::AlignVCenter);
    EXPECT_EQ(model.data(model.index(0, 3), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_TRUE(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsEditable));

    // The row indicator marks the current row and its state.
    EXPECT_EQ(model.headerData(0, Qt::Vertical).toString(), QString(QChar(0x25B6)));
    EXPECT_EQ(model.headerData(1, Qt::Vertical).toString(), QString());
    dataSet.edit();
    EXPECT_EQ(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("I"));
    dataSet.insert();
    EXPECT_EQ(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("*"));
}

TEST(MovementModelTest, ClosedDataSetShowsTitlesAndNoRows) {
    MemoryDataSet dataSet(testing::sampleMovements());
    MovementModel model;
    model.setDataSet(&dataSet);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 4);
    dataSet.open();
    EXPECT_EQ(model.rowCount(), 3);
    dataSet.close();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(MovementModelTest, SetDataEditsTheRowAndSignalsOnlyTheCell) {
    MemoryDataSet dataSet(testing::sampleMovements());
    dataSet.open();
    MovementModel model;
    model.setDataSet(&dataSet);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    ASSERT_TRUE(model.setData(model.index(1, 0), QStringLiteral("777")));
    EXPECT_EQ(dataSet.state(), data::DataSetState::Edit);
    EXPECT_EQ(dataSet.recNo(), 1);
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), QStringLiteral("777"));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex(), model.index(1, 0));
    EXPECT_EQ(changed[0][1].toModelIndex(), model.index(1, 0));
    EXPECT_EQ(dataSet.rows[1][0].toString(), QStringLiteral("900"));  // not posted yet

    // The same text again stores nothing and leaves a browsed row in browse state.
    dataSet.post();
    changed.clear();
    EXPECT_TRUE(model.setData(model.index(2, 1), QStringLiteral("900")));
    EXPECT_EQ(dataSet.state(), data::DataSetState::Browse);
    EXPECT_EQ(changed.count(), 0);
}

TEST(MovementModelTest, RefusedTextIsReportedAndTheRowStaysInEdit) {
    MemoryDataSet dataSet(testing::sampleMovements());
    dataSet.open();
    MovementModel model;
    model.setDataSet(&dataSet);
    BoxRecorder recorder;
    ScopedMessageBoxHandler scope(recorder.handler());

    ASSERT_TRUE(model.setData(model.index(0, 2), QStringLiteral("RECETTE")));
    EXPECT_FALSE(model.setData(model.index(0, 3), QStringLiteral("1x")));
    EXPECT_TRUE(model.lastWriteFailed());
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text,
              QStringLiteral("'1x' n'est pas une valeur en virgule flottante correcte pour le "
                             "champ 'Montant'"));
    EXPECT_EQ(recorder.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(dataSet.state(), data::DataSetState::Edit);
    EXPECT_EQ(model.data(model.index(0, 2)).toString(), QStringLiteral("RECETTE"));
    EXPECT_EQ(dataSet.montant->asFloat(), 20000.0);

    // A text longer than the field is refused too.
    EXPECT_FALSE(model.setData(model.index(0, 0), QStringLiteral("1234")));
    EXPECT_EQ(recorder.boxes.size(), 2u);
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), QStringLiteral("900"));
}

TEST(MovementModelTest, KeepsTheModelContractThroughEveryChange) {
    MemoryDataSet dataSet(testing::sampleMovements());
    MovementModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    BoxRecorder recorder;
    ScopedMessageBoxHandler scope(recorder.handler());
    model.setDataSet(&dataSet);

    dataSet.open();
    dataSet.moveTo(1);
    model.setData(model.index(1, 0), QStringLiteral("123"));
    dataSet.moveTo(2);  // posts
    dataSet.insert();
    model.setData(model.index(2, 2), QStringLiteral("RECETTE"));
    dataSet.post();
    dataSet.insert();
    dataSet.cancel();
    dataSet.append();
    dataSet.moveTo(0);  // an unchanged appended row goes away
    dataSet.last();
    dataSet.deleteRow();
    dataSet.first();
    dataSet.deleteRow();
    dataSet.failPosts = true;
    model.setData(model.index(0, 1), QStringLiteral("555"));
    EXPECT_THROW(dataSet.post(), data::DataError);
    dataSet.cancel();
    dataSet.close();
    dataSet.open();
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(dataSet.stores, 4);
    EXPECT_TRUE(recorder.boxes.empty());
}

}  // namespace
}  // namespace etb::app

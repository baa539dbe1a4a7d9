// The data set's cursor, edit buffer, notifications and field binding, over rows held in
// memory by a small data set written for these tests.
#include "data/data_set.h"
#include "data/data_error.h"
#include "print_qt.h"

#include <gtest/gtest.h>
#include <QStringList>

using namespace etb::data;

namespace {

// Rows in a vector, columns named and typed by the test; every store call can be made to fail.
class MemoryDataSet : public TDataSet {
public:
    std::vector<ColumnInfo> columns;
    std::vector<std::vector<QVariant>> rows;  // one value per column
    bool failStores = false;
    bool writable = true;

    bool canModify() const override { return writable; }

protected:
    void doOpen() override { m_columnOfField = bindFields(columns); }
    void doClose() override { m_columnOfField.clear(); }
    qint64 storedRowCount() const override { return static_cast<qint64>(rows.size()); }
    QVariant storedValue(qint64 row, int fieldIndex) const override {
        return rows[row][m_columnOfField[fieldIndex]];
    }
    void storeUpdate(qint64 row, const std::vector<QVariant>& values,
                     const std::vector<bool>& changed) override {
        fail();
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (changed[i])
                rows[row][m_columnOfField[i]] = values[i];
        }
    }
    void storeInsert(qint64 beforeRow, const std::vector<QVariant>& values) override {
        fail();
        std::vector<QVariant> row(columns.size());
        for (std::size_t i = 0; i < values.size(); ++i)
            row[m_columnOfField[i]] = values[i];
        rows.insert(rows.begin() + beforeRow, row);
    }
    void storeDelete(qint64 row) override {
        fail();
        rows.erase(rows.begin() + row);
    }

private:
    void fail() const {
        if (failStores)
            throw DataError(DataError::Kind::Io, QStringLiteral("Écriture refusée"));
    }
    std::vector<int> m_columnOfField;
};

// A movement-like data set: Code (String 3) and Amount (Float) over three rows.
struct Fixture {
    MemoryDataSet set;
    TStringField* code = nullptr;
    TFloatField* amount = nullptr;

    Fixture() {
        set.columns = {{QStringLiteral("CODE"), FieldType::String},
                       {QStringLiteral("Amount"), FieldType::Float}};
        set.rows = {
            {QStringLiteral("a"), 1.0}, {QStringLiteral("b"), 2.0}, {QStringLiteral("c"), 3.0}};
        code = set.addField<TStringField>(QStringLiteral("Code"), 3);
        amount = set.addField<TFloatField>(QStringLiteral("Amount"));
        amount->setSeparators({QLatin1Char(','), QLatin1Char('.')});
    }
    QStringList codes() const {
        QStringList list;
        for (qint64 r = 0; r < set.rowCount(); ++r)
            list.append(set.rowValue(r, 0).toString());
        return list;
    }
};

// Records the notifications as short words, checking the row count a view would see.
struct SignalLog {
    QStringList events;
    explicit SignalLog(TDataSet& set) {
        QObject::connect(&set, &TDataSet::rowsAboutToBeInserted, [this, &set](qint64 row) {
            events.append(QStringLiteral("+?%1/%2").arg(row).arg(set.rowCount()));
        });
        QObject::connect(&set, &TDataSet::rowsInserted, [this, &set](qint64 row) {
            events.append(QStringLiteral("+%1/%2").arg(row).arg(set.rowCount()));
        });
        QObject::connect(&set, &TDataSet::rowsAboutToBeRemoved, [this, &set](qint64 row) {
            events.append(QStringLiteral("-?%1/%2").arg(row).arg(set.rowCount()));
        });
        QObject::connect(&set, &TDataSet::rowsRemoved, [this, &set](qint64 row) {
            events.append(QStringLiteral("-%1/%2").arg(row).arg(set.rowCount()));
        });
    }
};

}  // namespace

TEST(DataSet, WalksRowsWithEofAndBof) {
    Fixture f;
    f.set.open();
    EXPECT_EQ(f.set.state(), DataSetState::Browse);
    EXPECT_TRUE(f.set.bof());
    QStringList seen;
    for (f.set.first(); !f.set.eof(); f.set.next())
        seen.append(f.code->asString());
    EXPECT_EQ(seen, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(f.set.recNo(), 2);
    f.set.prior();
    f.set.prior();
    EXPECT_FALSE(f.set.bof());
    f.set.prior();
    EXPECT_TRUE(f.set.bof());
    EXPECT_EQ(f.code->asString(), QStringLiteral("a"));
    f.set.last();
    EXPECT_TRUE(f.set.eof());
    EXPECT_EQ(f.amount->asFloat(), 3.0);
    f.set.moveTo(1);
    EXPECT_EQ(f.code->asString(), QStringLiteral("b"));
    f.set.moveTo(99);
    EXPECT_EQ(f.set.recNo(), 2);
}

TEST(DataSet, EmptyAndClosedSetsReadBlank) {
    Fixture f;
    EXPECT_EQ(f.amount->asFloat(), 0.0);  // closed
    EXPECT_EQ(f.code->asString(), QString());
    f.set.rows.clear();
    f.set.open();
    EXPECT_TRUE(f.set.eof());
    EXPECT_TRUE(f.set.isEmpty());
    EXPECT_EQ(f.set.recNo(), -1);
    EXPECT_EQ(f.amount->asInteger(), 0);
    EXPECT_EQ(f.amount->displayText(), QString());
    EXPECT_TRUE(f.code->isNull());
    f.set.first();
    f.set.next();
    EXPECT_TRUE(f.set.eof());
    EXPECT_THROW(f.set.deleteRow(), DataError);
}

TEST(DataSet, OpenTwiceDoesNothingAndCloseDropsTheEdit) {
    Fixture f;
    f.set.open();
    f.set.moveTo(1);
    f.set.open();
    EXPECT_EQ(f.set.recNo(), 1);
    f.set.edit();
    f.code->setText(QStringLiteral("zz"));
    EXPECT_EQ(f.code->asString(), QStringLiteral("zz"));
    f.set.close();
    EXPECT_FALSE(f.set.active());
    EXPECT_EQ(f.set.rows[1][0].toString(), QStringLiteral("b"));
    EXPECT_THROW(f.set.next(), DataError);
}

TEST(DataSet, EditPostWritesOnlyTheChangedFields) {
    Fixture f;
    f.set.open();
    f.set.moveTo(1);
    f.set.edit();
    EXPECT_EQ(f.set.state(), DataSetState::Edit);
    EXPECT_FALSE(f.set.modified());
    f.amount->setText(QStringLiteral("12,5"));
    EXPECT_TRUE(f.set.modified());
    EXPECT_EQ(f.set.rowValue(1, 1).toDouble(), 12.5);  // views see the buffer
    f.set.rows[1][0] = QStringLiteral("B");            // changed under us, not by the edit
    f.set.post();
    EXPECT_EQ(f.set.state(), DataSetState::Browse);
    EXPECT_EQ(f.set.rows[1][1].toDouble(), 12.5);
    EXPECT_EQ(f.set.rows[1][0].toString(), QStringLiteral("B"));
}

TEST(DataSet, MovingAwayPostsAModifiedRowAndCancelsAnUnmodifiedOne) {
    Fixture f;
    f.set.open();
    f.set.edit();
    f.code->setText(QStringLiteral("x"));
    f.set.next();
    EXPECT_EQ(f.set.rows[0][0].toString(), QStringLiteral("x"));
    EXPECT_EQ(f.set.state(), DataSetState::Browse);
    EXPECT_EQ(f.set.recNo(), 1);

    // An inserted row left untouched goes away; the cursor lands on the row after it.
    SignalLog log(f.set);
    f.set.insert();
    EXPECT_EQ(f.set.rowCount(), 4);
    EXPECT_EQ(f.codes(), (QStringList{QStringLiteral("x"), QString(), QStringLiteral("b"),
                                      QStringLiteral("c")}));
    f.set.next();
    EXPECT_EQ(f.set.rowCount(), 3);
    EXPECT_EQ(f.code->asString(), QStringLiteral("b"));
    EXPECT_EQ(log.events, (QStringList{QStringLiteral("+?1/3"), QStringLiteral("+1/4"),
                                       QStringLiteral("-?1/4"), QStringLiteral("-1/3")}));
    f.set.insert();
    f.set.prior();
    EXPECT_EQ(f.code->asString(), QStringLiteral("x"));
    f.set.insert();   // before row 0
    f.set.moveTo(2);  // the pending row goes, "b" was view row 2 and is row 1 again
    EXPECT_EQ(f.code->asString(), QStringLiteral("b"));
    EXPECT_EQ(f.set.rows.size(), 3u);
}

TEST(DataSet, InsertAndAppendPlaceTheNewRow) {
    Fixture f;
    f.set.open();
    f.set.moveTo(1);
    f.set.insert();
    f.code->setText(QStringLiteral("new"));
    f.amount->setText(QString());
    f.set.post();
    EXPECT_EQ(f.codes(), (QStringList{QStringLiteral("a"), QStringLiteral("new"),
                                      QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_FALSE(f.set.rows[1][1].isValid());
    EXPECT_EQ(f.set.recNo(), 1);

    SignalLog log(f.set);
    f.set.append();
    EXPECT_TRUE(f.set.eof());
    EXPECT_EQ(f.set.recNo(), 4);
    f.amount->setValue(7.0);
    f.set.first();  // posts
    EXPECT_EQ(f.set.rows.size(), 5u);
    EXPECT_EQ(f.set.rows[4][1].toDouble(), 7.0);
    EXPECT_EQ(log.events, (QStringList{QStringLiteral("+?4/4"), QStringLiteral("+4/5")}));

    // Edit on an empty set appends.
    Fixture empty;
    empty.set.rows.clear();
    empty.set.open();
    empty.set.edit();
    EXPECT_EQ(empty.set.state(), DataSetState::Insert);
    EXPECT_EQ(empty.set.rowCount(), 1);
    empty.set.cancel();
    EXPECT_EQ(empty.set.rowCount(), 0);
    EXPECT_EQ(empty.set.recNo(), -1);
}

TEST(DataSet, CancelRestoresAndRemovesThePendingRow) {
    Fixture f;
    f.set.open();
    f.set.edit();
    f.code->setText(QStringLiteral("q"));
    f.set.cancel();
    EXPECT_EQ(f.code->asString(), QStringLiteral("a"));
    SignalLog log(f.set);
    f.set.last();
    f.set.append();
    f.code->setText(QStringLiteral("d"));
    f.set.cancel();
    EXPECT_EQ(f.set.rowCount(), 3);
    EXPECT_EQ(f.set.recNo(), 2);
    EXPECT_EQ(log.events, (QStringList{QStringLiteral("+?3/3"), QStringLiteral("+3/4"),
                                       QStringLiteral("-?3/4"), QStringLiteral("-3/3")}));
}

TEST(DataSet, DeleteRowTellsViewsWhileTheRowStillShows) {
    Fixture f;
    f.set.open();
    f.set.moveTo(1);
    QStringList seenAtRemoval;
    QObject::connect(&f.set, &TDataSet::rowsAboutToBeRemoved,
                     [&](qint64) { seenAtRemoval = f.codes(); });
    f.set.deleteRow();
    EXPECT_EQ(seenAtRemoval,
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(f.codes(), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
    EXPECT_EQ(f.code->asString(), QStringLiteral("c"));
    f.set.deleteRow();
    EXPECT_EQ(f.code->asString(), QStringLiteral("a"));  // the last row went: back one
    f.set.insert();
    f.set.deleteRow();  // deleting a pending row only cancels it
    EXPECT_EQ(f.codes(), (QStringList{QStringLiteral("a")}));
}

TEST(DataSet, AFailingStoreKeepsTheEditAndRethrows) {
    Fixture f;
    f.set.open();
    f.set.edit();
    f.amount->setText(QStringLiteral("99"));
    f.set.failStores = true;
    EXPECT_THROW(f.set.post(), DataError);
    EXPECT_EQ(f.set.state(), DataSetState::Edit);
    EXPECT_TRUE(f.set.modified());
    EXPECT_EQ(f.amount->asFloat(), 99.0);
    EXPECT_THROW(f.set.next(), DataError);  // moving away posts, which fails again
    EXPECT_EQ(f.set.recNo(), 0);
    f.set.failStores = false;
    f.set.next();
    EXPECT_EQ(f.set.rows[0][1].toDouble(), 99.0);

    f.set.append();
    f.code->setText(QStringLiteral("z"));
    f.set.failStores = true;
    EXPECT_THROW(f.set.post(), DataError);
    EXPECT_EQ(f.set.state(), DataSetState::Insert);
    EXPECT_EQ(f.set.rowCount(), 4);
    EXPECT_EQ(f.code->asString(), QStringLiteral("z"));
    f.set.cancel();
    EXPECT_THROW(f.set.deleteRow(), DataError);
    EXPECT_EQ(f.set.rowCount(), 3);
}

TEST(DataSet, ReadOnlySetRefusesChanges) {
    Fixture f;
    f.set.writable = false;
    f.set.open();
    for (auto change :
         {&TDataSet::edit, &TDataSet::insert, &TDataSet::append, &TDataSet::deleteRow}) {
        try {
            (f.set.*change)();
            ADD_FAILURE() << "a read-only set accepted a change";
        } catch (const DataError& error) {
            EXPECT_EQ(error.kind(), DataError::Kind::ReadOnly);
        }
    }
    EXPECT_THROW(f.amount->setValue(1.0), DataError);  // browse state
}

TEST(DataSet, FieldsParseAndFormat) {
    Fixture f;
    f.set.open();
    f.amount->setDisplayFormat(QStringLiteral("##,##0.00"));
    f.set.edit();
    f.amount->setText(QStringLiteral("1234,5"));
    EXPECT_EQ(f.amount->displayText(), QStringLiteral("1.234,50"));
    EXPECT_EQ(f.amount->text(), QStringLiteral("1234,50"));
    try {
        f.amount->setText(QStringLiteral("1.234,50"));
        FAIL();
    } catch (const DataError& error) {
        EXPECT_EQ(error.message(),
                  QStringLiteral("'1.234,50' n'est pas une valeur en virgule flottante correcte "
                                 "pour le champ 'Amount'"));
        EXPECT_EQ(error.kind(), DataError::Kind::Convert);
        EXPECT_STREQ(error.className(), "EConvertError");
    }
    EXPECT_EQ(f.amount->asFloat(), 1234.5);  // the refused text changed nothing
    f.amount->setText(QString());
    EXPECT_TRUE(f.amount->isNull());
    EXPECT_EQ(f.amount->displayText(), QString());

    try {
        f.code->setText(QStringLiteral("abcd"));
        FAIL();
    } catch (const DataError& error) {
        EXPECT_EQ(error.kind(), DataError::Kind::Convert);
        EXPECT_TRUE(error.message().contains(QStringLiteral("Code")));
    }
    f.code->setText(QStringLiteral("abc"));
    EXPECT_EQ(f.code->displayText(), QStringLiteral("abc"));

    // Without a display format the general format shows.
    f.amount->setDisplayFormat(QString());
    f.amount->setValue(35400.5);
    EXPECT_EQ(f.amount->displayText(), QStringLiteral("35400,5"));
    EXPECT_EQ(f.amount->displayTextOf(660400.0), QStringLiteral("660400"));
}

TEST(DataSet, AsIntegerRoundsHalfToEven) {
    const std::pair<double, qint64> cases[] = {{0.0, 0},  {0.5, 0},   {1.5, 2},  {2.5, 2},
                                               {-0.5, 0}, {-1.5, -2}, {0.49, 0}, {0.51, 1},
                                               {1.0, 1},  {-2.7, -3}};
    Fixture f;
    f.set.open();
    f.set.edit();
    for (const auto& [value, expected] : cases) {
        f.amount->setValue(value);
        EXPECT_EQ(f.amount->asInteger(), expected) << value;
    }
}

TEST(DataSet, BindingNamesMissingFieldsAndWrongTypes) {
    Fixture missing;
    missing.set.addField<TStringField>(QStringLiteral("Chp"), 3);
    try {
        missing.set.open();
        FAIL();
    } catch (const DataError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Champ 'Chp' non trouvé"));
        EXPECT_EQ(error.kind(), DataError::Kind::NotFound);
    }
    EXPECT_FALSE(missing.set.active());

    Fixture wrongType;
    wrongType.set.columns[1].type = FieldType::Integer;
    try {
        wrongType.set.open();
        FAIL();
    } catch (const DataError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Type inadéquat pour le champ 'Amount', "
                                                  "attendu : Float actuel : Integer"));
        EXPECT_EQ(error.kind(), DataError::Kind::FieldType);
    }

    Fixture f;
    EXPECT_EQ(f.set.findField(QStringLiteral("amount")), f.amount);
    EXPECT_EQ(f.set.findField(QStringLiteral("nope")), nullptr);
    try {
        f.set.fieldByName(QStringLiteral("Nope"));
        FAIL();
    } catch (const DataError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Champ 'Nope' non trouvé"));
    }
}

TEST(DataSet, FieldTypeNames) {
    const std::pair<FieldType, const char*> cases[] = {
        {FieldType::String, "String"},
        {FieldType::SmallInt, "SmallInt"},
        {FieldType::Integer, "Integer"},
        {FieldType::Word, "Word"},
        {FieldType::Boolean, "Boolean"},
        {FieldType::Float, "Float"},
        {FieldType::Currency, "Currency"},
        {FieldType::BCD, "BCD"},
        {FieldType::Date, "Date"},
        {FieldType::Time, "Time"},
        {FieldType::DateTime, "DateTime"},
        {FieldType::Bytes, "Bytes"},
        {FieldType::AutoInc, "AutoInc"},
        {FieldType::Memo, "Memo"},
        {FieldType::Blob, "Blob"},
        {FieldType::FmtMemo, "FmtMemo"},
        {FieldType::ParadoxOle, "ParadoxOle"},
        {FieldType::Graphic, "Graphic"},
    };
    for (const auto& [type, name] : cases)
        EXPECT_EQ(fieldTypeName(type), QString::fromUtf8(name));
}

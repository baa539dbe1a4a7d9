// Reading a table through ParadoxRowCursor: the same values as ParadoxTable::value() for
// every field type, blanks, texts past the text cache's limits; moving, seeking, errors,
// and carrying on after a change to the table.
#include "data/data_error.h"
#include "data/paradox_table.h"
#include "data/paradox_text_cache.h"
#include "paradox_fixture.h"

#include <functional>

#include <gtest/gtest.h>

using etb::data::DataError;
using etb::data::ParadoxRowChange;
using etb::data::ParadoxRowCursor;
using etb::data::ParadoxTable;
using etb::data::ParadoxTextCache;
using etb::data::ParadoxType;
using namespace etb::test;

namespace {

// A table file holding records in blocks chained in file order.
QByteArray tableFile(const TableSpec& shape, const std::vector<QByteArray>& records) {
    const int cap = shape.capacity();
    const unsigned blocks = unsigned((records.size() + std::size_t(cap) - 1) / std::size_t(cap));
    QByteArray file = buildHeader(
        shape, {std::uint32_t(records.size()), blocks, blocks, blocks ? 1u : 0u, blocks, 0});
    for (unsigned b = 0; b < blocks; ++b) {
        const auto first = records.begin() + std::ptrdiff_t(b) * cap;
        const auto last = b + 1 == blocks ? records.end() : first + cap;
        file +=
            buildBlock(shape, b + 1 < blocks ? b + 2 : 0, b, std::vector<QByteArray>(first, last));
    }
    return file;
}

QByteArray alphaText(const QByteArray& text, int size, char after = '\0') {
    QByteArray out = alpha(text, size);
    if (text.size() + 1 < size)
        out[text.size() + 1] = after;  // bytes after the ending NUL are not part of the text
    return out;
}

struct TableCase {
    const char* name;
    std::function<void(TableSpec&, std::vector<QByteArray>&)> build;
};

// Every field type: values, negative and edge values, and a blank row.
void everyFieldType(TableSpec& shape, std::vector<QByteArray>& records) {
    shape.fields = {{0x02, 4, "D"}, {0x03, 2, "S"}, {0x04, 4, "I"},  {0x05, 8, "C"},
                   {0x09, 1, "L"}, {0x14, 4, "T"}, {0x15, 8, "TS"}, {0x16, 4, "Id"},
                   {0x17, 2, "B"}, {0x18, 3, "Y"}, {0x0C, 15, "M"}, {0x01, 5, "A"},
                   {0x06, 8, "N"}, {0x01, 1, "A1"}};
    records.push_back(integer(736695, 4) + integer(-2, 2) + integer(256, 4) + number(0.17) +
                      fromHex("81") + integer(3601000, 4) + number(63716202001000.0) +
                      integer(3, 4) + fromHex("C2 0000000000000000 0000000000000123") +
                      fromHex("00 41 42") + fromHex("4141414141 00000000 05000000 0000") +
                      alpha("x\xC9", 5) + number(-1e300) + alpha("Z", 1));
    records.push_back(integer(1, 4) + integer(32767, 2) + integer(-2147483647, 4) + number(-1.0) +
                      fromHex("80") + integer(0, 4) + number(0.0) + integer(1, 4) +
                      fromHex("42 FFFFFFFFFFFFFFFF FFFFFFFFFFFFFEDC") + fromHex("000000") +
                      QByteArray(15, '\0') + alpha("", 5) + number(0.0) + alpha("", 1));
    records.push_back(QByteArray(shape.recordSize(), '\0'));
    // An out-of-range time and a date past QDate's range read as blank.
    records.push_back(integer(2147483647, 4) + integer(-32767, 2) + integer(7, 4) + number(1e-300) +
                      fromHex("01") + integer(86400000, 4) + number(-5.0) + integer(2147483647, 4) +
                      fromHex("80 0000000000000000 0000000000000000") + fromHex("FFFFFF") +
                      QByteArray(15, '\0') + alphaText("AB", 5, 'q') + number(12.5) +
                      alpha("\xE9", 1));
}

// The movement table over several blocks, repeated and varying texts, blanks here and there.
void movements(TableSpec& shape, std::vector<QByteArray>& records) {
    shape.fields = {{0x01, 3, "Chp"}, {0x01, 3, "Art"}, {0x01, 8, "Type"}, {0x06, 8, "Montant"}};
    for (int i = 0; i < 700; ++i) {
        records.push_back(alpha(i % 37 == 0 ? QByteArray() : QByteArray::number(100 + i % 90), 3) +
                          alphaText(QByteArray::number(i % 7), 3, char(i % 5)) +
                          alpha(i % 3 ? "D\xC9PENSE" : "RECETTE", 8) +
                          (i % 11 == 0 ? QByteArray(8, '\0') : number(i * -1.25)));
    }
}

// More different texts than the cache keeps, texts longer than a key, texts of exactly 8
// bytes in a wider field, and bytes after the ending NUL that differ from row to row.
void pastTheCache(TableSpec& shape, std::vector<QByteArray>& records) {
    shape.fields = {{0x01, 6, "Code"}, {0x01, 20, "Label"}, {0x01, 9, "Nine"}};
    const int rows = ParadoxTextCache::kMaxEntries + 1500;
    for (int i = 0; i < rows; ++i) {
        const QByteArray code = "c" + QByteArray::number(i);
        const QByteArray label = i % 4 == 0   ? QByteArray("libell\xE9 ") + QByteArray::number(i)
                                 : i % 4 == 1 ? QByteArray("court")
                                 : i % 4 == 2 ? QByteArray("12345678")
                                              : QByteArray();
        const QByteArray nine = i % 3 == 0   ? QByteArray("ABCDEFGHI")
                                : i % 3 == 1 ? QByteArray("ABCDEFGH")
                                             : QByteArray("ABC");
        records.push_back(alphaText(code, 6, char(i % 3)) + alphaText(label, 20, 'x') +
                          alphaText(nine, 9, char(i % 2)));
    }
}

const TableCase kTables[] = {
    {"every field type", everyFieldType},
    {"movements", movements},
    {"past the cache", pastTheCache},
};

void expectSameAsValue(ParadoxRowCursor& cursor, const ParadoxTable& table, qint64 row) {
    for (int f = 0; f < int(table.fields().size()); ++f) {
        const QVariant expected = table.value(row, f);
        SCOPED_TRACE(testing::Message() << "row " << row << ", field " << f);
        EXPECT_EQ(cursor.value(f), expected);
        switch (table.fields()[std::size_t(f)].type) {
            case ParadoxType::Alpha:
                EXPECT_EQ(cursor.text(f), expected.toString());
                EXPECT_EQ(cursor.text(f).isNull(), !expected.isValid());
                break;
            case ParadoxType::Number:
            case ParadoxType::Currency:
            case ParadoxType::Bcd:
            case ParadoxType::Short:
            case ParadoxType::Long:
            case ParadoxType::AutoIncrement: {
                const std::optional<double> number = cursor.number(f);
                ASSERT_EQ(number.has_value(), expected.isValid());
                if (number) {
                    EXPECT_EQ(*number, expected.toDouble());
                }
                break;
            }
            default:
                break;
        }
    }
}

}  // namespace

TEST(ParadoxCursor, ReadsTheSameValuesAsValue) {
    for (const TableCase& c : kTables) {
        SCOPED_TRACE(c.name);
        TableSpec shape;
        std::vector<QByteArray> records;
        c.build(shape, records);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("T.db"));
        writeFile(path, tableFile(shape, records));

        // Once with the cursor reading each text first, once with value() first: both fill
        // the same text cache.
        for (const bool cursorFirst : {true, false}) {
            const auto table = ParadoxTable::open(path, ParadoxTable::Access::Read);
            ASSERT_EQ(table->rowCount(), qint64(records.size()));
            qint64 row = 0;
            for (ParadoxRowCursor cursor(*table); !cursor.atEnd(); cursor.next(), ++row) {
                ASSERT_EQ(cursor.row(), row);
                if (cursorFirst) {
                    for (int f = 0; f < int(shape.fields.size()); ++f)
                        cursor.value(f);
                }
                expectSameAsValue(cursor, *table, row);
                if (HasFailure())
                    return;
            }
            EXPECT_EQ(row, table->rowCount());
        }
    }
}

TEST(ParadoxCursor, TextsAfterTheEndingNulDoNotMatter) {
    TableSpec shape;
    shape.fields = {{0x01, 4, "A"}, {0x01, 12, "B"}};
    const std::vector<QByteArray> records = {
        alpha("AB", 4) + alpha("ABCDEFGH", 12),
        fromHex("41 42 00 58") + fromHex("4142434445464748 00 595959"),
        fromHex("41 42 00 59") + fromHex("4142434445464748 49 000000"),
        fromHex("00 42 43 44") + fromHex("00 4142434445464748 0000 00"),
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("T.db"));
    writeFile(path, tableFile(shape, records));
    const auto table = ParadoxTable::open(path, ParadoxTable::Access::Read);
    const QString expected[][2] = {
        {QStringLiteral("AB"), QStringLiteral("ABCDEFGH")},
        {QStringLiteral("AB"), QStringLiteral("ABCDEFGH")},
        {QStringLiteral("AB"), QStringLiteral("ABCDEFGHI")},
        {QString(), QString()},
    };
    for (ParadoxRowCursor cursor(*table); !cursor.atEnd(); cursor.next()) {
        for (int f = 0; f < 2; ++f) {
            EXPECT_EQ(cursor.text(f), expected[cursor.row()][f]) << "row " << cursor.row();
            EXPECT_EQ(table->value(cursor.row(), f).toString(), expected[cursor.row()][f]);
        }
    }
    EXPECT_TRUE(ParadoxRowCursor(*table, 3).text(0).isNull());
}

TEST(ParadoxCursor, SeeksAndRefusesWhatValueRefuses) {
    TableSpec shape;
    std::vector<QByteArray> records;
    movements(shape, records);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("T.db"));
    writeFile(path, tableFile(shape, records));
    const auto table = ParadoxTable::open(path, ParadoxTable::Access::Read);

    ParadoxRowCursor cursor(*table, 650);
    EXPECT_EQ(cursor.text(0), table->value(650, 0).toString());
    cursor.seek(3);
    EXPECT_EQ(cursor.row(), 3);
    EXPECT_EQ(cursor.number(3), table->value(3, 3).toDouble());

    auto kindOf = [](const std::function<void()>& read) {
        try {
            read();
        } catch (const DataError& error) {
            return int(error.kind());
        }
        return -1;
    };
    EXPECT_EQ(kindOf([&] { cursor.text(3); }), int(DataError::Kind::State)) << "a number field";
    EXPECT_EQ(kindOf([&] { cursor.number(0); }), int(DataError::Kind::State)) << "a text field";
    EXPECT_EQ(kindOf([&] { cursor.text(4); }), int(DataError::Kind::NotFound));
    EXPECT_EQ(kindOf([&] { cursor.value(-1); }), int(DataError::Kind::NotFound));
    cursor.seek(table->rowCount() - 1);
    cursor.next();
    EXPECT_TRUE(cursor.atEnd());
    EXPECT_EQ(kindOf([&] { cursor.text(0); }), int(DataError::Kind::State)) << "past the end";
    cursor.seek(-1);
    EXPECT_EQ(kindOf([&] { cursor.number(3); }), int(DataError::Kind::State));
    cursor.next();
    EXPECT_EQ(cursor.row(), 0);
    EXPECT_EQ(cursor.text(2), table->value(0, 2).toString());

    QTemporaryDir emptyDir;
    const QString emptyPath = emptyDir.filePath(QStringLiteral("E.db"));
    writeFile(emptyPath, tableFile(shape, {}));
    const auto empty = ParadoxTable::open(emptyPath, ParadoxTable::Access::Read);
    EXPECT_TRUE(ParadoxRowCursor(*empty).atEnd());
}

// Changes move rows between blocks and may move the whole image: a cursor goes on from its
// row number with the new contents.
TEST(ParadoxCursor, CarriesOnAfterAChange) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("DozorDb.db"));
    ParadoxTable::createMovementTable(path);
    const auto table = ParadoxTable::open(path, ParadoxTable::Access::Write);
    std::vector<ParadoxRowChange> rows;
    for (int i = 0; i < 300; ++i)
        rows.push_back(
            {QString::number(i), QStringLiteral("1"), QStringLiteral("DEPENSE"), double(i)});
    table->appendRows(rows);

    ParadoxRowCursor cursor(*table, 100);
    EXPECT_EQ(cursor.text(0), QStringLiteral("100"));
    table->insertRow(50, {QStringLiteral("new"), {}, {}, {}});
    EXPECT_EQ(cursor.row(), 100);
    EXPECT_EQ(cursor.text(0), QStringLiteral("99"));
    cursor.next();
    EXPECT_EQ(cursor.text(0), QStringLiteral("100"));
    for (int i = 0; i < 150; ++i)
        table->deleteRow(table->rowCount() - 1);
    EXPECT_EQ(cursor.number(3), 100.0);
    table->appendRows(rows);  // grows the file
    for (int i = 0; i < 2; ++i)
        cursor.next();
    EXPECT_EQ(cursor.row(), 103);
    for (; !cursor.atEnd(); cursor.next())
        expectSameAsValue(cursor, *table, cursor.row());
    EXPECT_EQ(cursor.row(), 451);
}

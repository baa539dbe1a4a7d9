// Writing non-keyed Paradox tables: creation, the worked example's bytes, round trips of
// every writable type, block splits, free-list reuse, deletes, refusals and failed writes.
#include "data/data_error.h"
#include "data/file_journal.h"
#include "data/paradox_table.h"
#include "paradox_fixture.h"

#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QTime>

#include <unistd.h>
#include <cerrno>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

using etb::data::DataError;
using etb::data::FileFaults;
using etb::data::ParadoxField;
using etb::data::ParadoxRowChange;
using etb::data::ParadoxTable;
using etb::data::ParadoxType;
using namespace etb::test;

namespace {

using Access = ParadoxTable::Access;

ParadoxRowChange movement(const QString& chp, const QString& art, const QString& type,
                          double amount) {
    return {QVariant(chp), QVariant(art), QVariant(type), QVariant(amount)};
}

ParadoxRowChange numbered(int i) {
    return movement(QString::number(i % 1000), QStringLiteral("A"), QStringLiteral("T"), double(i));
}

// Amounts of every row, in order.
std::vector<int> amounts(const ParadoxTable& table) {
    std::vector<int> out;
    for (qint64 r = 0; r < table.rowCount(); ++r)
        out.push_back(int(table.value(r, 3).toDouble()));
    return out;
}

class ParadoxWrite : public ::testing::Test {
protected:
    void TearDown() override { FileFaults::clear(); }
    QString path(const char* name = "DozorDb.db") const {
        return m_dir.filePath(QString::fromLatin1(name));
    }
    // A movement table holding numbered(0 ... rows - 1), written by the test-side builder
    // (blocks filled in order, as the engine leaves a loaded table).
    std::unique_ptr<ParadoxTable> newMovementTable(int rows) {
        TableSpec shape;
        shape.fields = {{0x01, 3, "Chp"}, {0x01, 3, "Art"}, {0x01, 8, "Type"}, {0x06, 8, "Montant"}};
        const int cap = shape.capacity();
        const unsigned blocks = unsigned((rows + cap - 1) / cap);
        QByteArray file =
            buildHeader(shape, {std::uint32_t(rows), blocks, blocks, blocks ? 1u : 0u, blocks, 0});
        put16(file, 0x12, 0);
        for (unsigned b = 1; b <= blocks; ++b) {
            std::vector<QByteArray> records;
            for (int i = int(b - 1) * cap; i < std::min(rows, int(b) * cap); ++i)
                records.push_back(alpha(QByteArray::number(i % 1000), 3) + alpha("A", 3) +
                                  alpha("T", 8) + number(i));
            file += buildBlock(shape, b == blocks ? 0 : b + 1, b - 1, records);
        }
        writeFile(path(), file);
        return ParadoxTable::open(path(), Access::Write);
    }
    QTemporaryDir m_dir;
};

}  // namespace

TEST_F(ParadoxWrite, CreatesTheWorkedExampleBytes) {
    ParadoxTable::createMovementTable(path("EXEMPLE.DB"));
    EXPECT_EQ(QFileInfo(path("EXEMPLE.DB")).size(), 0x800) << "an empty table is its header alone";
    {
        auto table = ParadoxTable::open(path("EXEMPLE.DB"), Access::Write);
        table->appendRow(movement(QStringLiteral("601"), QStringLiteral("100"),
                                  QStringLiteral("DÉPENSE"), 1234.56));
        table->appendRow(movement(QStringLiteral("706"), QStringLiteral("200"),
                                  QStringLiteral("RECETTE"), -50.25));
    }
    QByteArray written = readFile(path("EXEMPLE.DB"));
    ASSERT_EQ(written.size(), 0x1000);
    EXPECT_NE(get32(written, 0x60), 0u) << "update time set";
    put32(written, 0x60, 0);
    const QByteArray expected = movementExample(true);
    for (int i = 0; i < expected.size(); ++i)
        ASSERT_EQ(uint8_t(written[i]), uint8_t(expected[i])) << "byte 0x" << std::hex << i;
}

TEST_F(ParadoxWrite, RefusesToCreateOverAnExistingFile) {
    writeFile(path(), "keep me");
    EXPECT_THROW(ParadoxTable::createMovementTable(path()), DataError);
    EXPECT_EQ(readFile(path()), QByteArray("keep me"));
    EXPECT_THROW(
        ParadoxTable::createMovementTable(m_dir.filePath(QStringLiteral("missing/DozorDb.db"))),
        DataError);
}

TEST_F(ParadoxWrite, RoundTripsEveryWritableType) {
    const std::vector<ParadoxField> fields = {
        {QStringLiteral("Texte"), ParadoxType::Alpha, 10},
        {QStringLiteral("Jour"), ParadoxType::Date, 4},
        {QStringLiteral("Petit"), ParadoxType::Short, 2},
        {QStringLiteral("Long"), ParadoxType::Long, 4},
        {QStringLiteral("Argent"), ParadoxType::Currency, 8},
        {QStringLiteral("Nombre"), ParadoxType::Number, 8},
        {QStringLiteral("Vrai"), ParadoxType::Logical, 1},
        {QStringLiteral("Heure"), ParadoxType::Time, 4},
        {QStringLiteral("Moment"), ParadoxType::Timestamp, 8},
        {QStringLiteral("Id"), ParadoxType::AutoIncrement, 4},
        {QStringLiteral("Décimal"), ParadoxType::Bcd, 2},
        {QStringLiteral("Octets"), ParadoxType::Bytes, 4},
    };
    ParadoxTable::create(path(), fields);
    const std::vector<std::vector<QVariant>> rows = {
        {QStringLiteral("Crème brûl"), QDate(2018, 1, 1), -32767, 2147483647, 0.17, -1e300, true,
         QTime(23, 59, 59, 999), QDateTime(QDate(2020, 2, 1), QTime(1, 0, 1)), QVariant(),
         -12345.67, QByteArray("\x01\x00\x02\x00", 4)},
        {QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), false, QTime(0, 0),
         QVariant(), QVariant(), 0.0, QVariant()},
    };
    {
        auto table = ParadoxTable::open(path(), Access::Write);
        for (const auto& row : rows) {
            ParadoxRowChange change(row.begin(), row.end());
            change[9] = std::nullopt;  // handed out by the table
            table->appendRow(change);
        }
    }
    const auto table = ParadoxTable::open(path(), Access::Read);
    EXPECT_EQ(table->fields()[10].name, QStringLiteral("Décimal"));
    ASSERT_EQ(table->rowCount(), 2);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto got = table->row(qint64(r));
        for (std::size_t f = 0; f < fields.size(); ++f) {
            if (f == 9)
                EXPECT_EQ(got[f], QVariant(int(r + 1))) << "autoincrement of row " << r;
            else if (f == 10)
                EXPECT_DOUBLE_EQ(got[f].toDouble(), rows[r][f].toDouble());
            else
                EXPECT_EQ(got[f], rows[r][f]) << "row " << r << " field " << f;
        }
    }
    EXPECT_EQ(get32(readFile(path()), 0x49), 2u) << "last autoincrement value in the header";
}

TEST_F(ParadoxWrite, StoresNegativeZeroAsPositiveZero) {
    auto table = newMovementTable(0);
    table->appendRow(movement({}, {}, {}, -0.0));
    const QByteArray file = readFile(path());
    EXPECT_EQ(file.mid(0x800 + 6 + 14, 8), fromHex("8000000000000000"));
}

TEST_F(ParadoxWrite, RefusesValuesThatDoNotFitBeforeWriting) {
    auto table = newMovementTable(1);
    const QByteArray before = readFile(path());
    struct Case {
        int field;
        QVariant value;
    };
    const Case cases[] = {
        {0, QStringLiteral("1234")}, {2, QStringLiteral("DEPENSES!")},
        {2, QStringLiteral("Ω")},    {2, QStringLiteral("日本")},
        {3, std::nan("")},           {3, std::numeric_limits<double>::infinity()},
        {3, QStringLiteral("12")},   {0, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.toString().toStdString());
        try {
            table->checkValue(c.field, c.value);
            ADD_FAILURE() << "accepted";
        } catch (const DataError& error) {
            EXPECT_EQ(error.kind(), DataError::Kind::Convert);
            EXPECT_TRUE(error.message().contains(QStringLiteral("DozorDb.db")));
        }
        ParadoxRowChange change(4);
        change[std::size_t(c.field)] = c.value;
        EXPECT_THROW(table->updateRow(0, change), DataError);
        EXPECT_THROW(table->appendRow(change), DataError);
    }
    EXPECT_EQ(readFile(path()), before);
    EXPECT_EQ(table->rowCount(), 1);
    table->checkValue(2, QStringLiteral("DÉPENSE€"));  // 8 characters, all in 1252
    table->checkValue(3, QVariant());
}

TEST_F(ParadoxWrite, UpdatesInPlaceKeepingUntouchedFields) {
    auto table = newMovementTable(3);
    ParadoxRowChange change(4);
    change[2] = QStringLiteral("RECETTE");
    table->updateRow(1, change);
    const auto reread = ParadoxTable::open(path(), Access::Read);
    EXPECT_EQ(reread->row(1), (etb::data::ParadoxRow{QStringLiteral("1"), QStringLiteral("A"),
                                                     QStringLiteral("RECETTE"), 1.0}));
    EXPECT_EQ(amounts(*reread), (std::vector<int>{0, 1, 2}));
}

TEST_F(ParadoxWrite, InsertSplitsAFullBlockAndKeepsTheOrder) {
    auto table = newMovementTable(92 * 2);  // two full blocks of 92
    table->insertRow(10, numbered(1000));
    table->insertRow(150, numbered(1001));
    std::vector<int> expected;
    for (int i = 0; i < 184; ++i)
        expected.push_back(i);
    expected.insert(expected.begin() + 10, 1000);
    expected.insert(expected.begin() + 150, 1001);
    EXPECT_EQ(amounts(*table), expected);
    const QByteArray file = readFile(path());
    expectConsistent(file);
    EXPECT_EQ(get16(file, 0x0C), 4u);
    EXPECT_EQ(get16(file, 0x800), 3u) << "the new block follows block 1 in the chain";
    EXPECT_EQ(amounts(*ParadoxTable::open(path(), Access::Read)), expected);
}

TEST_F(ParadoxWrite, DeleteFreesAMiddleBlockAndAppendReusesIt) {
    auto table = newMovementTable(92 * 2 + 5);  // blocks 1, 2 full, block 3 with 5
    for (int i = 0; i < 92; ++i)
        table->deleteRow(92);
    QByteArray file = readFile(path());
    expectConsistent(file);
    EXPECT_EQ(get16(file, 0x4D), 2u) << "block 2 on the free list";
    EXPECT_EQ(get16(file, 0x0A), 2u);
    EXPECT_EQ(get16(file, 0x0C), 3u);
    EXPECT_EQ(file.mid(0x1000 + 6, 22), QByteArray(22, '\0')) << "freed records are wiped";
    for (int i = 0; i < 87 + 1; ++i)
        table->appendRow(numbered(500 + i));
    file = readFile(path());
    expectConsistent(file);
    EXPECT_EQ(get16(file, 0x0C), 3u) << "no block appended to the file";
    EXPECT_EQ(get16(file, 0x4D), 0u);
    EXPECT_EQ(get16(file, 0x10), 2u) << "block 2 reused as the last block";
    EXPECT_EQ(table->rowCount(), 92 + 5 + 88);
    EXPECT_EQ(amounts(*ParadoxTable::open(path(), Access::Read)), amounts(*table));
}

TEST_F(ParadoxWrite, EmptiedBlockOneTakesOverTheNextBlock) {
    auto table = newMovementTable(92 + 3);
    for (int i = 0; i < 92; ++i)
        table->deleteRow(0);
    const QByteArray file = readFile(path());
    expectConsistent(file);
    EXPECT_EQ(get16(file, 0x0E), 1u);
    EXPECT_EQ(get16(file, 0x4D), 2u);
    EXPECT_EQ(amounts(*table), (std::vector<int>{92, 93, 94}));
    for (int i = 0; i < 3; ++i)
        table->deleteRow(0);
    EXPECT_EQ(readFile(path()).size(), 0x800) << "an emptied table is its header alone";
    expectConsistent(readFile(path()));
    table->appendRow(numbered(7));
    expectConsistent(readFile(path()));
    EXPECT_EQ(amounts(*ParadoxTable::open(path(), Access::Read)), (std::vector<int>{7}));
}

TEST_F(ParadoxWrite, RandomEditsMatchAModel) {
    auto table = newMovementTable(50);
    std::vector<int> model = amounts(*table);
    unsigned seed = 12345;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (int step = 0; step < 300; ++step) {
        const unsigned kind = next() % 10;
        const int value = 10000 + step;
        if (kind < 4 || model.empty()) {
            const int at = int(next() % (model.size() + 1));
            table->insertRow(at, numbered(value));
            model.insert(model.begin() + at, value);
        } else if (kind < 8) {
            const int at = int(next() % model.size());
            table->deleteRow(at);
            model.erase(model.begin() + at);
        } else {
            const int at = int(next() % model.size());
            ParadoxRowChange change(4);
            change[3] = double(value);
            table->updateRow(at, change);
            model[std::size_t(at)] = value;
        }
    }
    EXPECT_EQ(amounts(*table), model);
    expectConsistent(readFile(path()));
    EXPECT_EQ(amounts(*ParadoxTable::open(path(), Access::Read)), model);
}

// Older formats take changes too, and every header byte outside the counts, links and
// update time stays as it was (unknown counters, pointer garbage, names).
TEST_F(ParadoxWrite, KeepsTheHeaderBytesItDoesNotOwn) {
    for (const int version : {3, 4, 9, 0x0B, 0x0C}) {
        SCOPED_TRACE(version);
        TableSpec shape;
        shape.version = version;
        shape.codePage = 850;
        shape.fields = {{0x01, 3, "Chp"}, {0x01, 3, "Art"}, {0x01, 8, "Type"}, {0x06, 8, "Montant"}};
        QByteArray file = buildHeader(shape, {1, 1, 1, 1, 1, 0});
        file[0x16] = char(0xAB);  // pointer garbage
        file[0x2E] = 9;           // unknown counter
        file += buildBlock(shape, 0, 0,
                           {alpha("601", 3) + alpha("1", 3) + alpha("\x90T\xE9", 8) + number(5)});
        QFile::remove(path());
        writeFile(path(), file);
        {
            auto table = ParadoxTable::open(path(), Access::Write);
            ASSERT_TRUE(table->canWrite()) << table->readOnlyReason().toStdString();
            EXPECT_EQ(table->value(0, 2), QVariant(QStringLiteral("ÉTÚ")));
            std::vector<ParadoxRowChange> rows;
            for (int i = 0; i < 99; ++i)
                rows.push_back(numbered(i));
            table->appendRows(rows);
            table->appendRow(numbered(99));
            table->updateRow(0, movement(QStringLiteral("ÀÉ"), {}, QStringLiteral("Ü"), 1.5));
            table->deleteRow(50);
        }
        const QByteArray after = readFile(path());
        expectConsistent(after);
        const int headerSize = int(get16(file, 2));
        auto owned = [](int off) {
            return (off >= 0x06 && off < 0x12) || (off >= 0x3A && off < 0x3C) ||
                   (off >= 0x49 && off < 0x4F) || (off >= 0x60 && off < 0x64);
        };
        for (int off = 0; off < headerSize; ++off) {
            if (!owned(off) || (version < 5 && off >= 0x60 && off < 0x64)) {
                ASSERT_EQ(after[off], file[off]) << "header byte 0x" << std::hex << off;
            }
        }
        const auto table = ParadoxTable::open(path(), Access::Read);
        ASSERT_EQ(table->rowCount(), 100);
        EXPECT_EQ(table->row(0), (etb::data::ParadoxRow{QStringLiteral("ÀÉ"), QVariant(),
                                                        QStringLiteral("Ü"), 1.5}));
        EXPECT_EQ(after.mid(headerSize + 6, 3), QByteArray("\xB7\x90\0", 3))
            << "written in code page 850";
    }
}

TEST_F(ParadoxWrite, AppendsManyRowsAsOneChange) {
    auto table = newMovementTable(3);
    std::vector<ParadoxRowChange> rows;
    for (int i = 0; i < 500; ++i)
        rows.push_back(numbered(3 + i));
    table->appendRows(rows);
    std::vector<int> expected;
    for (int i = 0; i < 503; ++i)
        expected.push_back(i);
    EXPECT_EQ(amounts(*ParadoxTable::open(path(), Access::Read)), expected);
    expectConsistent(readFile(path()));

    const QByteArray before = readFile(path());
    rows[250][2] = QStringLiteral("TROP LONG POUR A8");
    EXPECT_THROW(table->appendRows(rows), DataError);
    EXPECT_EQ(readFile(path()), before) << "one bad row: nothing appended";
    EXPECT_EQ(table->rowCount(), 503);
}

TEST_F(ParadoxWrite, RefusesChangesToTablesItMayNotWrite) {
    struct Case {
        const char* name;
        std::function<void(QByteArray&)> patch;
        Access access;
    };
    const Case cases[] = {
        {"opened for reading", [](QByteArray&) {}, Access::Read},
        {"keyed",
         [](QByteArray& b) {
             b[4] = 0;
             put16(b, 0x23, 1);
         },
         Access::Write},
        {"write-protected", [](QByteArray& b) { b[0x38] = 1; }, Access::Write},
        {"rebuild flag", [](QByteArray& b) { b[0x14] = 1; }, Access::Write},
        {"second rebuild flag", [](QByteArray& b) { b[0x2A] = 1; }, Access::Write},
        {"free list loops into the chain", [](QByteArray& b) { put16(b, 0x4D, 1); }, Access::Write},
        {"double-byte code page", [](QByteArray& b) { put16(b, 0x6A, 936); }, Access::Write},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = movementExample(true);
        c.patch(bytes);
        writeFile(path(), bytes);
        auto table = ParadoxTable::open(path(), c.access);
        EXPECT_FALSE(table->canWrite());
        EXPECT_FALSE(table->readOnlyReason().isEmpty());
        EXPECT_EQ(table->rowCount(), 2);
        const std::function<void()> changes[] = {
            [&] { table->updateRow(0, numbered(1)); }, [&] { table->appendRow(numbered(1)); },
            [&] { table->insertRow(0, numbered(1)); }, [&] { table->deleteRow(0); }};
        for (const auto& change : changes) {
            try {
                change();
                ADD_FAILURE() << "changed";
            } catch (const DataError& error) {
                EXPECT_EQ(error.kind(), DataError::Kind::ReadOnly);
                EXPECT_TRUE(error.message().contains(QStringLiteral("DozorDb.db")));
            }
        }
        table.reset();
        EXPECT_EQ(readFile(path()), bytes);
    }
}

TEST_F(ParadoxWrite, ReadOnlyFileOpensButRefusesChanges) {
    if (::geteuid() == 0)
        GTEST_SKIP()
            << "permissions do not bind root; the failing-call cases below cover the write errors";
    auto table = newMovementTable(2);
    table.reset();
    QFile::setPermissions(path(), QFileDevice::ReadOwner);
    auto readOnly = ParadoxTable::open(path(), Access::Write);
    EXPECT_FALSE(readOnly->canWrite());
    EXPECT_THROW(readOnly->appendRow(numbered(3)), DataError);
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    readOnly.reset();

    // A read-only directory: no journal can be made there, so no change is possible.
    const QFileDevice::Permissions dirPermissions = QFile::permissions(m_dir.path());
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    auto inReadOnlyDir = ParadoxTable::open(path(), Access::Write);
    EXPECT_FALSE(inReadOnlyDir->canWrite());
    EXPECT_THROW(inReadOnlyDir->deleteRow(0), DataError);
    inReadOnlyDir.reset();
    QFile::setPermissions(m_dir.path(), dirPermissions);
    EXPECT_EQ(ParadoxTable::open(path(), Access::Read)->rowCount(), 2);
}

// Every system call of a change fails in turn (disk full, refused, read-only medium): the
// change reports an error naming the file, and the file and the open table keep the old rows.
TEST_F(ParadoxWrite, FailedWritesLeaveTheTableAsItWas) {
    auto table = newMovementTable(92 + 1);
    table.reset();
    const std::function<void(ParadoxTable&)> changes[] = {
        [](ParadoxTable& t) { t.updateRow(5, numbered(777)); },
        [](ParadoxTable& t) { t.appendRow(numbered(777)); },
        [](ParadoxTable& t) { t.insertRow(3, numbered(777)); },
        [](ParadoxTable& t) { t.deleteRow(92); },
    };
    for (const int error : {ENOSPC, EACCES, EROFS, EIO}) {
        for (const auto& change : changes) {
            for (int call = 0; call < 12; ++call) {
                const QByteArray before = readFile(path());
                auto t = ParadoxTable::open(path(), Access::Write);
                const std::vector<int> rowsBefore = amounts(*t);
                FileFaults::failCall(call, error);
                bool failed = false;
                try {
                    change(*t);
                } catch (const DataError& e) {
                    failed = true;
                    EXPECT_EQ(e.kind(), DataError::Kind::Io);
                    EXPECT_TRUE(e.message().contains(QStringLiteral("DozorDb.db")))
                        << e.message().toStdString();
                }
                FileFaults::clear();
                if (!failed) {
                    t.reset();
                    // The failing call came after the change: undo it for the next case.
                    writeFile(path(), before);
                    break;
                }
                EXPECT_EQ(amounts(*t), rowsBefore);
                EXPECT_EQ(readFile(path()), before) << "call " << call << " errno " << error;
                t->updateRow(0, numbered(0));  // the table still takes changes
                t.reset();
                EXPECT_FALSE(QFileInfo::exists(path() + QStringLiteral("-journal")));
                writeFile(path(), before);
            }
        }
    }
}

TEST_F(ParadoxWrite, TornJournalIsDroppedWithoutTouchingTheTable) {
    auto table = newMovementTable(3);
    table.reset();
    const QByteArray before = readFile(path());
    writeFile(path() + QStringLiteral("-journal"), QByteArray("ETBJRNL1 and then garbage"));
    EXPECT_EQ(amounts(*ParadoxTable::open(path(), Access::Read)), (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(QFileInfo::exists(path() + QStringLiteral("-journal")));
    EXPECT_EQ(readFile(path()), before);
}

// Reading Paradox tables: the worked movement example, every format version and block
// size, keyed tables, chain order, field types, code pages, damaged files.
#include "data/data_error.h"
#include "data/paradox_table.h"
#include "paradox_fixture.h"

#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QTime>

#include <functional>

#include <gtest/gtest.h>

using etb::data::DataError;
using etb::data::ParadoxTable;
using etb::data::ParadoxType;
using namespace etb::test;

namespace {

QString tablePath(const QTemporaryDir& dir, const char* name = "DozorDb.db") {
    return dir.filePath(QString::fromLatin1(name));
}

TableSpec movementSpec() {
    TableSpec shape;
    shape.fields = {{0x01, 3, "Chp"}, {0x01, 3, "Art"}, {0x01, 8, "Type"}, {0x06, 8, "Montant"}};
    return shape;
}

QByteArray movementRecord(int i) {
    return alpha(QByteArray::number(100 + i % 900), 3) + alpha(QByteArray::number(i % 1000), 3) +
           alpha(i % 2 ? "RECETTE" : "DEPENSE", 8) + number(i * 1.5);
}

}  // namespace

TEST(ParadoxRead, DecodesTheWorkedMovementExample) {
    for (const bool windowsDriver : {false, true}) {
        QTemporaryDir dir;
        writeFile(tablePath(dir), movementExample(windowsDriver));
        const auto table = ParadoxTable::open(tablePath(dir), ParadoxTable::Access::Read);
        EXPECT_EQ(table->fileVersion(), 12);
        EXPECT_EQ(table->codePage(), windowsDriver ? 1252 : 850);
        EXPECT_FALSE(table->isKeyed());
        ASSERT_EQ(table->fields().size(), 4u);
        EXPECT_EQ(table->fields()[3].name, QStringLiteral("Montant"));
        EXPECT_EQ(table->fields()[3].type, ParadoxType::Number);
        EXPECT_EQ(table->fieldIndex(QStringLiteral("MONTANT")), 3);
        EXPECT_EQ(table->fieldIndex(QStringLiteral("Nope")), -1);
        ASSERT_EQ(table->rowCount(), 2);
        EXPECT_EQ(table->row(0),
                  (etb::data::ParadoxRow{QStringLiteral("601"), QStringLiteral("100"),
                                         QStringLiteral("DÉPENSE"), 1234.56}));
        EXPECT_EQ(table->row(1),
                  (etb::data::ParadoxRow{QStringLiteral("706"), QStringLiteral("200"),
                                         QStringLiteral("RECETTE"), -50.25}));
        EXPECT_TRUE(table->warnings().isEmpty());
        EXPECT_FALSE(table->canWrite());
    }
}

// One table per format version and block size: three blocks chained 1 -> 3 -> 2 (so chain
// order differs from file order), a fourth block free and full of stale records.
struct LayoutCase {
    int version;
    int blockCode;
    int fileType;
    int codePage;
};

class ParadoxReadLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ParadoxReadLayout, WalksTheChainInOrderAndSkipsFreeBlocks) {
    const LayoutCase c = GetParam();
    TableSpec shape = movementSpec();
    shape.version = c.version;
    shape.blockCode = c.blockCode;
    shape.fileType = c.fileType;
    shape.codePage = c.codePage;
    const int cap = shape.capacity();
    std::vector<std::vector<QByteArray>> chunks(3);
    int next = 0;
    for (int b = 0; b < 3; ++b) {
        const int count = b == 2 ? 5 : cap;
        for (int i = 0; i < count; ++i)
            chunks[std::size_t(b)].push_back(movementRecord(next++));
    }
    std::vector<QByteArray> stale(std::size_t(cap), movementRecord(99999));
    ChainState state{std::uint32_t(next), 3, 4, 1, 2, 4};
    QByteArray file = buildHeader(shape, state);
    file += buildBlock(shape, 3, 0, chunks[0]);
    file += buildBlock(shape, 0, 3, chunks[2]);
    file += buildBlock(shape, 2, 1, chunks[1]);
    QByteArray freeBlock = buildBlock(shape, 0, 2, stale);
    put16(freeBlock, 4, unsigned(std::uint16_t(std::int16_t(-shape.recordSize()))));
    file += freeBlock;
    QTemporaryDir dir;
    writeFile(tablePath(dir), file);

    const auto table = ParadoxTable::open(tablePath(dir), ParadoxTable::Access::Read);
    EXPECT_EQ(table->fileVersion(), c.version);
    EXPECT_EQ(table->isKeyed(), c.fileType == 0);
    EXPECT_EQ(table->codePage(), c.version < 5 ? 850 : c.codePage);
    ASSERT_EQ(table->rowCount(), next);
    for (int i = 0; i < next; i += std::max(1, next / 40)) {
        ASSERT_EQ(table->value(i, 0).toString(), QString::number(100 + i % 900)) << "row " << i;
        ASSERT_EQ(table->value(i, 3).toDouble(), i * 1.5) << "row " << i;
    }
    EXPECT_EQ(table->value(next - 1, 3).toDouble(), (next - 1) * 1.5);
    EXPECT_TRUE(table->warnings().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Versions, ParadoxReadLayout,
    ::testing::Values(LayoutCase{3, 1, 2, 0}, LayoutCase{4, 2, 2, 0}, LayoutCase{9, 4, 2, 437},
                      LayoutCase{0x0B, 2, 0, 850}, LayoutCase{0x0C, 2, 2, 1252},
                      LayoutCase{0x0C, 8, 0, 1252}, LayoutCase{0x0C, 16, 2, 1252},
                      LayoutCase{0x0C, 32, 2, 1252}, LayoutCase{0x0B, 3, 2, 1252}));

TEST(ParadoxRead, DecodesEveryFieldType) {
    TableSpec shape;
    shape.fields = {{0x02, 4, "D"}, {0x03, 2, "S"}, {0x04, 4, "I"},  {0x05, 8, "C"},
                   {0x09, 1, "L"}, {0x14, 4, "T"}, {0x15, 8, "TS"}, {0x16, 4, "Id"},
                   {0x17, 2, "B"}, {0x18, 3, "Y"}, {0x0C, 15, "M"}, {0x01, 5, "A"}};
    const QByteArray full = integer(736695, 4) + integer(-2, 2) + integer(256, 4) + number(0.17) +
                            fromHex("81") + integer(3601000, 4) + number(63716202001000.0) +
                            integer(3, 4) + fromHex("C2 0000000000000000 0000000000000123") +
                            fromHex("00 41 42") + fromHex("4141414141 00000000 05000000 0000") +
                            alpha("x", 5);
    const QByteArray negatives = integer(1, 4) + integer(32767, 2) + integer(-2147483647, 4) +
                                 number(-1.0) + fromHex("80") + integer(0, 4) + number(0.0) +
                                 integer(1, 4) + fromHex("42 FFFFFFFFFFFFFFFF FFFFFFFFFFFFFEDC") +
                                 fromHex("000000") + QByteArray(15, '\0') + alpha("", 5);
    const QByteArray blank(shape.recordSize(), '\0');
    QTemporaryDir dir;
    writeFile(tablePath(dir), buildHeader(shape, {3, 1, 1, 1, 1, 0}) +
                                  buildBlock(shape, 0, 0, {full, negatives, blank}));

    const auto table = ParadoxTable::open(tablePath(dir), ParadoxTable::Access::Read);
    const auto a = table->row(0);
    EXPECT_EQ(a[0], QVariant(QDate(2018, 1, 1)));
    EXPECT_EQ(a[1], QVariant(-2));
    EXPECT_EQ(a[2], QVariant(256));
    EXPECT_EQ(a[3], QVariant(0.17));
    EXPECT_EQ(a[4], QVariant(true));
    EXPECT_EQ(a[5], QVariant(QTime(1, 0, 1)));
    EXPECT_EQ(a[6], QVariant(QDateTime(QDate(2020, 2, 1), QTime(1, 0, 1))));
    EXPECT_EQ(a[7], QVariant(3));
    EXPECT_DOUBLE_EQ(a[8].toDouble(), 1.23);
    EXPECT_EQ(a[9], QVariant(QByteArray("\0AB", 3)));
    EXPECT_FALSE(a[10].isValid()) << "blobs read as blank";
    EXPECT_EQ(a[11], QVariant(QStringLiteral("x")));

    const auto b = table->row(1);
    EXPECT_EQ(b[0], QVariant(QDate(1, 1, 1)));
    EXPECT_EQ(b[1], QVariant(32767));
    EXPECT_EQ(b[2], QVariant(-2147483647));
    EXPECT_EQ(b[3], QVariant(-1.0));
    EXPECT_EQ(b[4], QVariant(false));
    EXPECT_EQ(b[5], QVariant(QTime(0, 0)));
    EXPECT_EQ(b[6].typeId(), QMetaType::QDateTime);
    EXPECT_DOUBLE_EQ(b[8].toDouble(), -1.23);
    EXPECT_FALSE(b[9].isValid());
    EXPECT_FALSE(b[11].isValid()) << "an empty text is blank";

    for (const QVariant& v : table->row(2))
        EXPECT_FALSE(v.isValid());
}

TEST(ParadoxRead, DecodesTextInTheTableCodePage) {
    struct Case {
        int codePage;
        const char* hex;
        QString text;
    };
    const Case cases[] = {
        {437, "82 9A E1", QStringLiteral("éÜß")},  {850, "90 B5 D0", QStringLiteral("ÉÁð")},
        {852, "A5 E7 9F", QStringLiteral("ąšč")},  {1250, "8A 9E B3", QStringLiteral("Šžł")},
        {1251, "C0 DF E6", QStringLiteral("АЯж")}, {1252, "C9 80 E9", QStringLiteral("É€é")},
        {0, "C9 80 E9", QStringLiteral("É€é")},    {4242, "C9 80 E9", QStringLiteral("É€é")},
    };
    for (const Case& c : cases) {
        TableSpec shape;
        shape.codePage = c.codePage;
        shape.fields = {{0x01, 3, "A"}};
        QTemporaryDir dir;
        writeFile(tablePath(dir),
                  buildHeader(shape, {1, 1, 1, 1, 1, 0}) + buildBlock(shape, 0, 0, {fromHex(c.hex)}));
        const auto table = ParadoxTable::open(tablePath(dir), ParadoxTable::Access::Read);
        EXPECT_EQ(table->value(0, 0).toString(), c.text) << "code page " << c.codePage;
    }
}

TEST(ParadoxRead, CodePageCanBeOverridden) {
    TableSpec shape;
    shape.codePage = 437;  // marked OEM, but holding Windows text
    shape.fields = {{0x01, 3, "A"}};
    QTemporaryDir dir;
    writeFile(tablePath(dir), buildHeader(shape, {1, 1, 1, 1, 1, 0}) +
                                  buildBlock(shape, 0, 0, {fromHex("C9 E9 00")}));
    EXPECT_EQ(ParadoxTable::open(tablePath(dir), ParadoxTable::Access::Read, 1252)
                  ->value(0, 0)
                  .toString(),
              QStringLiteral("Éé"));
    EXPECT_THROW(ParadoxTable::open(tablePath(dir), ParadoxTable::Access::Read, 7), DataError);
}

TEST(ParadoxRead, AcceptsACutShortFinalBlock) {
    TableSpec shape = movementSpec();
    shape.version = 9;
    QByteArray file = buildHeader(shape, {2, 1, 1, 1, 1, 0}) +
                      buildBlock(shape, 0, 0, {movementRecord(1), movementRecord(2)});
    file.truncate(file.size() - shape.blockSize() + 1024);  // ends at the next 1 KB boundary
    QTemporaryDir dir;
    writeFile(tablePath(dir), file);
    const auto table = ParadoxTable::open(tablePath(dir), ParadoxTable::Access::Read);
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->value(1, 3).toDouble(), 3.0);
}

TEST(ParadoxRead, TrustsTheChainWhenTheHeaderCountDiffers) {
    TableSpec shape = movementSpec();
    QTemporaryDir dir;
    // Far more records claimed than the blocks hold: nothing is sized by the claim.
    for (const std::uint32_t claimed : {7u, 0xFFFFFFFFu}) {
        writeFile(tablePath(dir), buildHeader(shape, {claimed, 1, 1, 1, 1, 0}) +
                                      buildBlock(shape, 0, 0, {movementRecord(1)}));
        const auto table = ParadoxTable::open(tablePath(dir), ParadoxTable::Access::Read);
        EXPECT_EQ(table->rowCount(), 1);
        ASSERT_EQ(table->warnings().size(), 1);
        EXPECT_TRUE(table->warnings()[0].contains(QStringLiteral("DozorDb.db")));
    }
}

TEST(ParadoxRead, MentionsTheLegacyLockFilesWithoutTouchingThem) {
    QTemporaryDir dir;
    writeFile(tablePath(dir), movementExample(true));
    writeFile(dir.filePath(QStringLiteral("PDOXUSRS.LCK")), "lock");
    const auto table = ParadoxTable::open(tablePath(dir), ParadoxTable::Access::Write);
    ASSERT_EQ(table->warnings().size(), 1);
    EXPECT_TRUE(table->warnings()[0].contains(QStringLiteral("PDOXUSRS.LCK")));
    EXPECT_TRUE(table->canWrite());
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("PDOXUSRS.LCK"))), QByteArray("lock"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("PARADOX.LCK"))));
}

TEST(ParadoxRead, ReadsAnEmptyTable) {
    TableSpec shape = movementSpec();
    QTemporaryDir dir;
    writeFile(tablePath(dir), buildHeader(shape, {}));
    const auto table = ParadoxTable::open(tablePath(dir), ParadoxTable::Access::Read);
    EXPECT_EQ(table->rowCount(), 0);
    EXPECT_THROW(table->value(0, 0), DataError);
}

// Damaged and foreign files: each gives a DataError of the expected kind naming the file,
// never a crash, and the file stays as it was.
TEST(ParadoxRead, RejectsDamagedFiles) {
    const TableSpec shape = movementSpec();
    const QByteArray good = buildHeader(shape, {3, 2, 2, 1, 2, 0}) +
                            buildBlock(shape, 2, 0, {movementRecord(1), movementRecord(2)}) +
                            buildBlock(shape, 0, 1, {movementRecord(3)});
    const int h = 0x800;
    struct Case {
        const char* name;
        std::function<QByteArray()> make;
        DataError::Kind kind;
    };
    auto patched = [&](std::function<void(QByteArray&)> patch) {
        return [=] {
            QByteArray b = good;
            patch(b);
            return b;
        };
    };
    const std::vector<Case> cases = {
        {"empty file", [] { return QByteArray(); }, DataError::Kind::Corrupt},
        {"text file", [] { return QByteArray("Chp;Art;Type;Montant\n601;100;DEPENSE;12\n"); },
         DataError::Kind::Corrupt},
        {"truncated header", [&] { return good.left(0x300); }, DataError::Kind::Corrupt},
        {"index file type", patched([](QByteArray& b) { b[4] = 1; }), DataError::Kind::Corrupt},
        {"unknown version", patched([](QByteArray& b) { b[0x39] = 0x0D; }),
         DataError::Kind::Corrupt},
        {"bad block code", patched([](QByteArray& b) { b[5] = 5; }), DataError::Kind::Corrupt},
        {"zero block code", patched([](QByteArray& b) { b[5] = 0; }), DataError::Kind::Corrupt},
        {"no fields", patched([](QByteArray& b) { put16(b, 0x21, 0); }), DataError::Kind::Corrupt},
        {"many fields", patched([](QByteArray& b) { put16(b, 0x21, 300); }),
         DataError::Kind::Corrupt},
        {"255 fields", patched([](QByteArray& b) { put16(b, 0x21, 255); }),
         DataError::Kind::Corrupt},
        {"record size mismatch", patched([](QByteArray& b) { put16(b, 0, 23); }),
         DataError::Kind::Corrupt},
        {"record size zero", patched([](QByteArray& b) { put16(b, 0, 0); }),
         DataError::Kind::Corrupt},
        {"unknown field type", patched([](QByteArray& b) { b[0x78] = 0x07; }),
         DataError::Kind::Corrupt},
        {"bad number size", patched([](QByteArray& b) { b[0x7F] = 4; }), DataError::Kind::Corrupt},
        {"header past the end", patched([](QByteArray& b) { put16(b, 2, 0xF000); }),
         DataError::Kind::Corrupt},
        {"header too small", patched([](QByteArray& b) { put16(b, 2, 0x60); }),
         DataError::Kind::Corrupt},
        {"real header size past header", patched([](QByteArray& b) { put16(b, 0x51, 0x900); }),
         DataError::Kind::Corrupt},
        {"encrypted", patched([](QByteArray& b) { put32(b, 0x5C, 0xDEADBEEF); }),
         DataError::Kind::Corrupt},
        {"loop", patched([&](QByteArray& b) { put16(b, h + 0x800, 1); }), DataError::Kind::Corrupt},
        {"self loop", patched([&](QByteArray& b) { put16(b, h, 1); }), DataError::Kind::Corrupt},
        {"block past the end", patched([&](QByteArray& b) { put16(b, h, 9); }),
         DataError::Kind::Corrupt},
        {"first block past the end", patched([](QByteArray& b) { put16(b, 0x0E, 40000); }),
         DataError::Kind::Corrupt},
        {"block past file blocks", patched([](QByteArray& b) { put16(b, 0x0C, 1); }),
         DataError::Kind::Corrupt},
        {"count past capacity", patched([&](QByteArray& b) { put16(b, h + 4, 93 * 22); }),
         DataError::Kind::Corrupt},
        {"count not a multiple", patched([&](QByteArray& b) { put16(b, h + 4, 23); }),
         DataError::Kind::Corrupt},
        {"negative count", patched([&](QByteArray& b) { put16(b, h + 4, 0xFFF0); }),
         DataError::Kind::Corrupt},
        {"field names cut",
         [&] {
             QByteArray b = good;
             std::memset(b.data() + 0x199, 'x', 0x800 - 0x199);
             return b;
         },
         DataError::Kind::Corrupt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QByteArray bytes = c.make();
        writeFile(tablePath(dir), bytes);
        for (const auto access : {ParadoxTable::Access::Read, ParadoxTable::Access::Write}) {
            try {
                ParadoxTable::open(tablePath(dir), access);
                ADD_FAILURE() << "opened";
            } catch (const DataError& error) {
                EXPECT_EQ(error.kind(), c.kind);
                EXPECT_TRUE(error.message().contains(QStringLiteral("DozorDb.db")))
                    << error.message().toStdString();
            }
        }
        EXPECT_EQ(readFile(tablePath(dir)), bytes);
    }
}

TEST(ParadoxRead, MissingFileIsNotFound) {
    QTemporaryDir dir;
    try {
        ParadoxTable::open(tablePath(dir), ParadoxTable::Access::Read);
        ADD_FAILURE();
    } catch (const DataError& error) {
        EXPECT_EQ(error.kind(), DataError::Kind::NotFound);
        EXPECT_TRUE(error.message().contains(QStringLiteral("DozorDb.db")));
    }
}

// Random damage anywhere in the header or the blocks: opening and reading either works or
// gives a DataError; nothing crashes or reads out of bounds (run under the sanitizers).
TEST(ParadoxRead, SurvivesRandomDamage) {
    TableSpec shape;
    shape.fields = {{0x01, 5, "A"}, {0x06, 8, "N"},  {0x02, 4, "D"}, {0x15, 8, "TS"},
                   {0x17, 3, "B"}, {0x0C, 12, "M"}, {0x09, 1, "L"}, {0x14, 4, "T"}};
    shape.blockCode = 1;
    std::vector<QByteArray> records;
    for (int i = 0; i < 30; ++i) {
        QByteArray r = alpha("abc", 5) + number(i) + integer(730000 + i, 4) + number(6.3e13 + i) +
                       fromHex("C3 0000000000000000 0000000000012345") + QByteArray(12, '\0') +
                       fromHex("81") + integer(i * 1000, 4);
        records.push_back(r);
    }
    const int cap = shape.capacity();
    ASSERT_LT(int(records.size()), 2 * cap);
    QByteArray good = buildHeader(shape, {30, 2, 3, 1, 3, 2});
    good += buildBlock(shape, 3, 0, {records.begin(), records.begin() + cap});
    good += buildBlock(shape, 0, 0, {});
    good += buildBlock(shape, 0, 1, {records.begin() + cap, records.end()});
    QTemporaryDir dir;
    const QString path = tablePath(dir);
    std::uint32_t seed = 7;
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    int opened = 0;
    for (int round = 0; round < 1500; ++round) {
        QByteArray bytes = good;
        const int flips = 1 + int(next() % 4);
        for (int f = 0; f < flips; ++f) {
            // Mostly the fixed header and block headers, where the structure lives.
            const unsigned where = next() % 4;
            int at = where == 0   ? int(next() % 0x80)
                     : where == 1 ? 0x800 + int(next() % 3) * shape.blockSize() + int(next() % 6)
                                  : int(next() % unsigned(bytes.size()));
            bytes[at] = char(next());
        }
        if (next() % 10 == 0)
            bytes.truncate(int(next() % unsigned(bytes.size())));
        writeFile(path, bytes);
        try {
            const auto table = ParadoxTable::open(path, ParadoxTable::Access::Read);
            for (qint64 r = 0; r < table->rowCount(); ++r)
                table->row(r);
            ++opened;
        } catch (const DataError& error) {
            ASSERT_TRUE(error.message().contains(QStringLiteral("DozorDb.db")))
                << error.message().toStdString();
        }
    }
    EXPECT_GT(opened, 100) << "some damage leaves a readable table";
}

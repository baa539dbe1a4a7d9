// Reading the movement table and running the statement at 1,000 to 1,000,000 movements,
// against the same statement in plain SQLite on rows already in an in-memory table.
//
// The large tables are made by repeating one full data block of a seed table written through
// ParadoxTable (appending a million rows one durable change at a time would take hours).
#include "data/paradox_table.h"
#include "data/query.h"
#include "data/statement.h"
#include "data/table.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <random>

using namespace etb::data;

namespace {

unsigned getU16(const QByteArray& bytes, int offset) {
    return static_cast<unsigned char>(bytes[offset]) |
           (static_cast<unsigned char>(bytes[offset + 1]) << 8);
}

void putU16(QByteArray& bytes, qsizetype offset, unsigned value) {
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void putU32(QByteArray& bytes, qsizetype offset, quint32 value) {
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// One data directory per size, made once per run.
struct Fixture {
    QTemporaryDir root;
    QString dataDir;
};

const char* const kTypes[] = {"DEPENSE", "RECETTE", "AUTRE", "REPORT"};

Fixture& fixture(qint64 rows) {
    static std::map<qint64, std::unique_ptr<Fixture>> fixtures;
    auto& slot = fixtures[rows];
    if (slot)
        return *slot;
    slot = std::make_unique<Fixture>();
    slot->dataDir = slot->root.path();
    const QString seedPath = slot->root.filePath(QStringLiteral("seed.db"));
    ParadoxTable::createMovementTable(seedPath);
    std::mt19937 random(42);
    int perBlock = 0;
    {
        auto seed = ParadoxTable::open(seedPath, ParadoxTable::Access::Write);
        // Fill exactly one 2 KB block: capacity = (2048 - 6) / record size.
        const QByteArray header = [&] {
            QFile f(seedPath);
            f.open(QIODevice::ReadOnly);
            return f.read(0x60);
        }();
        perBlock = static_cast<int>((2048 - 6) / getU16(header, 0));
        for (int i = 0; i < perBlock; ++i) {
            seed->appendRow({QString::number(900 + random() % 100),
                             QString::number(random() % 1000).rightJustified(3, QLatin1Char('0')),
                             QString::fromLatin1(kTypes[random() % 4]),
                             static_cast<double>(random() % 10000000) / 100.0});
        }
    }
    QFile seedFile(seedPath);
    seedFile.open(QIODevice::ReadOnly);
    QByteArray seedBytes = seedFile.readAll();
    const unsigned recordSize = getU16(seedBytes, 0x00);
    const unsigned headerSize = getU16(seedBytes, 0x02);
    const unsigned blockSize = static_cast<unsigned char>(seedBytes[0x05]) * 1024u;
    const QByteArray block = seedBytes.mid(headerSize, blockSize);

    const qint64 blocks = (rows + perBlock - 1) / perBlock;
    QByteArray header = seedBytes.left(headerSize);
    putU32(header, 0x06, static_cast<quint32>(rows));
    putU16(header, 0x0A, static_cast<unsigned>(blocks));
    putU16(header, 0x0C, static_cast<unsigned>(blocks));
    putU16(header, 0x0E, blocks > 0 ? 1 : 0);
    putU16(header, 0x10, static_cast<unsigned>(blocks));
    putU16(header, 0x3A, static_cast<unsigned>(blocks));
    QFile out(QDir(slot->dataDir).filePath(movementTableName()));
    out.open(QIODevice::WriteOnly);
    out.write(header);
    for (qint64 b = 1; b <= blocks; ++b) {
        QByteArray copy = block;
        const qint64 count = std::min<qint64>(perBlock, rows - (b - 1) * perBlock);
        putU16(copy, 0, b < blocks ? static_cast<unsigned>(b + 1) : 0);
        putU16(copy, 2, static_cast<unsigned>(b - 1));
        putU16(copy, 4, static_cast<unsigned>((count - 1) * recordSize) & 0xFFFF);
        out.write(copy);
    }
    out.close();
    QFile::remove(seedPath);
    return *slot;
}

void TableReadAll(benchmark::State& state) {
    const Fixture& f = fixture(state.range(0));
    for (auto _ : state) {
        TTable table;
        configureMovementTable(table, f.dataDir);
        table.readOnly = true;
        table.open();
        double sum = 0;
        qint64 characters = 0;
        for (qint64 r = 0; r < table.rowCount(); ++r) {
            characters += table.rowValue(r, 0).toString().size() +
                          table.rowValue(r, 1).toString().size() +
                          table.rowValue(r, 2).toString().size();
            sum += table.rowValue(r, 3).toDouble();
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(characters);
        table.close();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void StatementQuery(benchmark::State& state) {
    const Fixture& f = fixture(state.range(0));
    qint64 rows = 0;
    double resultMb = 0;
    for (auto _ : state) {
        TQuery query;
        const StatementFields fields = configureStatementQuery(query, f.dataDir);
        query.open();
        resultMb = static_cast<double>(query.resultBytes()) / (1024.0 * 1024.0);
        double sum = 0;
        rows = 0;
        for (query.first(); !query.eof(); query.next()) {
            sum += fields.Q1SUMOFmontant->asFloat() + static_cast<double>(fields.Q1N->asInteger());
            benchmark::DoNotOptimize(fields.Q1type->asString());
            benchmark::DoNotOptimize(fields.Q1MINOFchp->asString());
            benchmark::DoNotOptimize(fields.Q1MINOFart->asString());
            ++rows;
        }
        benchmark::DoNotOptimize(sum);
        query.close();
    }
    state.counters["result_rows"] = static_cast<double>(rows);
    state.counters["result_mb"] = resultMb;  // the result's columns and texts
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The statement's open alone: reading the table, running the statement, keeping the result.
void StatementOpen(benchmark::State& state) {
    const Fixture& f = fixture(state.range(0));
    for (auto _ : state) {
        TQuery query;
        configureStatementQuery(query, f.dataDir);
        query.open();
        benchmark::DoNotOptimize(query.rowCount());
        query.close();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The statement in SQLite alone: the rows are already in an in-memory table.
void SqliteOnly(benchmark::State& state) {
    const Fixture& f = fixture(state.range(0));
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db, "CREATE TABLE testedb (Chp TEXT, Art TEXT, Type TEXT, Montant REAL)", nullptr,
                 nullptr, nullptr);
    {
        const auto file = ParadoxTable::open(QDir(f.dataDir).filePath(movementTableName()),
                                             ParadoxTable::Access::Read);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO testedb VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        for (qint64 r = 0; r < file->rowCount(); ++r) {
            const ParadoxRow row = file->row(r);
            for (int c = 0; c < 3; ++c) {
                const QByteArray text = row[c].toString().toUtf8();
                sqlite3_bind_text(insert, c + 1, text.constData(), static_cast<int>(text.size()),
                                  SQLITE_TRANSIENT);
            }
            sqlite3_bind_double(insert, 4, row[3].toDouble());
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_finalize(insert);
    }
    const QByteArray sql = statementSql().join(QLatin1Char('\n')).toUtf8();
    for (auto _ : state) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr);
        double sum = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            sum += sqlite3_column_double(stmt, 0) + sqlite3_column_double(stmt, 4);
            benchmark::DoNotOptimize(sqlite3_column_text(stmt, 1));
            benchmark::DoNotOptimize(sqlite3_column_text(stmt, 2));
            benchmark::DoNotOptimize(sqlite3_column_text(stmt, 3));
        }
        sqlite3_finalize(stmt);
        benchmark::DoNotOptimize(sum);
    }
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(TableReadAll)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(StatementQuery)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(StatementOpen)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(SqliteOnly)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Speed of the table file: open and read every row's four values (through value() and
// through a row cursor), post one changed row (with its syncs), insert one row in the
// middle; and reading the bare file for comparison.
#include "data/paradox_table.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>
#include <map>

using etb::data::ParadoxRowChange;
using etb::data::ParadoxRowCursor;
using etb::data::ParadoxTable;

namespace {

ParadoxRowChange movement(qint64 i) {
    return {QVariant(QString::number(100 + i % 900)), QVariant(QString::number(i % 1000)),
            QVariant(i % 2 ? QStringLiteral("RECETTE") : QStringLiteral("DEPENSE")),
            QVariant(double(i) * 1.25)};
}

// One movement table per size, made once per run in a temporary directory.
QString tableWithRows(qint64 rows) {
    static QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/table_bench-XXXXXX"));
    static std::map<qint64, QString> made;
    if (auto it = made.find(rows); it != made.end())
        return it->second;
    const QString path = dir.filePath(QStringLiteral("DozorDb%1.db").arg(rows));
    ParadoxTable::createMovementTable(path);
    auto table = ParadoxTable::open(path, ParadoxTable::Access::Write);
    std::vector<ParadoxRowChange> batch;
    for (qint64 i = 0; i < rows; ++i)
        batch.push_back(movement(i));
    table->appendRows(batch);
    table.reset();
    ::sync();  // let the write-back of the new file settle before anything is timed
    made[rows] = path;
    return path;
}

void BM_OpenAndReadAllRows(benchmark::State& state) {
    const QString path = tableWithRows(state.range(0));
    for (auto _ : state) {
        const auto table = ParadoxTable::open(path, ParadoxTable::Access::Read);
        double sum = 0;
        qint64 chars = 0;
        for (qint64 r = 0; r < table->rowCount(); ++r) {
            chars += table->value(r, 0).toString().size() + table->value(r, 1).toString().size() +
                     table->value(r, 2).toString().size();
            sum += table->value(r, 3).toDouble();
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(chars);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_OpenAndReadAllRowsWithCursor(benchmark::State& state) {
    const QString path = tableWithRows(state.range(0));
    for (auto _ : state) {
        const auto table = ParadoxTable::open(path, ParadoxTable::Access::Read);
        double sum = 0;
        qint64 chars = 0;
        for (ParadoxRowCursor c(*table); !c.atEnd(); c.next()) {
            chars += c.text(0).size() + c.text(1).size() + c.text(2).size();
            sum += c.number(3).value_or(0.0);
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(chars);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_OpenOnly(benchmark::State& state) {
    const QString path = tableWithRows(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(ParadoxTable::open(path, ParadoxTable::Access::Read)->rowCount());
}

void BM_PostOneChangedRow(benchmark::State& state) {
    const QString path = tableWithRows(state.range(0));
    auto table = ParadoxTable::open(path, ParadoxTable::Access::Write);
    qint64 i = 0;
    for (auto _ : state) {
        ParadoxRowChange change(4);
        change[3] = double(++i);
        table->updateRow(table->rowCount() / 2, change);
    }
}

void BM_InsertOneRowInTheMiddle(benchmark::State& state) {
    const QString path = tableWithRows(state.range(0));
    auto table = ParadoxTable::open(path, ParadoxTable::Access::Write);
    qint64 i = 0;
    for (auto _ : state)
        table->insertRow(table->rowCount() / 2, movement(++i));
}

// What `cat FILE > /dev/null` does: read the file through a buffer.
void BM_ReadFileBytes(benchmark::State& state) {
    const QByteArray path = QFile::encodeName(tableWithRows(state.range(0)));
    std::vector<char> buffer(128 * 1024);
    for (auto _ : state) {
        const int fd = ::open(path.constData(), O_RDONLY);
        ssize_t n = 0;
        qint64 total = 0;
        while ((n = ::read(fd, buffer.data(), buffer.size())) > 0)
            total += n;
        ::close(fd);
        benchmark::DoNotOptimize(total);
    }
}

}  // namespace

BENCHMARK(BM_OpenAndReadAllRows)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndReadAllRowsWithCursor)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenOnly)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PostOneChangedRow)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_InsertOneRowInTheMiddle)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ReadFileBytes)->Arg(1000000)->Unit(benchmark::kMillisecond);

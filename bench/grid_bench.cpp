// Speed of the main window's grid over a large movement table: binding the grid to an open
// table of a million rows and painting the first screen, going to the last row and back
// (Ctrl+End, Ctrl+Home), and paging down. Runs headless (offscreen platform).
#include "app/movement_grid.h"
#include "data/data_source.h"
#include "data/paradox_table.h"
#include "data/statement.h"
#include "data/table.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

using etb::data::ParadoxRowChange;
using etb::data::ParadoxTable;

namespace {

// One data directory per size holding DozorDb.db, made once per run.
QString dataDirectoryWithRows(qint64 rows) {
    static QTemporaryDir root(QDir::currentPath() + QStringLiteral("/grid_bench-XXXXXX"));
    static std::map<qint64, QString> made;
    if (auto it = made.find(rows); it != made.end())
        return it->second;
    const QString directory = root.filePath(QString::number(rows));
    QDir().mkpath(directory);
    ParadoxTable::createMovementTable(directory + QStringLiteral("/DozorDb.db"));
    auto table =
        ParadoxTable::open(directory + QStringLiteral("/DozorDb.db"), ParadoxTable::Access::Write);
    std::vector<ParadoxRowChange> batch;
    batch.reserve(static_cast<std::size_t>(rows));
    for (qint64 i = 0; i < rows; ++i)
        batch.push_back({QVariant(QString::number(100 + i % 900)),
                         QVariant(QString::number(i % 1000)),
                         QVariant(i % 2 ? QStringLiteral("RECETTE") : QStringLiteral("DEPENSE")),
                         QVariant(double(i) * 1.25)});
    table->appendRows(batch);
    made[rows] = directory;
    return directory;
}

// The movement table opened and shown in a grid of the main window's size.
struct OpenGrid {
    explicit OpenGrid(qint64 rows) {
        etb::data::configureMovementTable(table, dataDirectoryWithRows(rows));
        table.open();
        source.dataSet = &table;
        grid.resize(385, 193);
        grid.setDataSource(&source);
        grid.show();
        QCoreApplication::processEvents();
    }
    void key(int key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(&grid, &press);
        grid.repaint();
    }

    etb::data::TTable table;
    etb::data::TDataSource source;
    etb::app::MovementGrid grid;
};

void BM_OpenTableAndShowGrid(benchmark::State& state) {
    dataDirectoryWithRows(state.range(0));
    for (auto _ : state) {
        OpenGrid open(state.range(0));
        open.grid.repaint();
        benchmark::DoNotOptimize(open.grid.currentIndex());
    }
}
BENCHMARK(BM_OpenTableAndShowGrid)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_CtrlEndThenCtrlHome(benchmark::State& state) {
    OpenGrid open(state.range(0));
    for (auto _ : state) {
        open.key(Qt::Key_End, Qt::ControlModifier);
        open.key(Qt::Key_Home, Qt::ControlModifier);
    }
}
BENCHMARK(BM_CtrlEndThenCtrlHome)->Arg(1000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

void BM_PageDown(benchmark::State& state) {
    OpenGrid open(state.range(0));
    for (auto _ : state) {
        open.key(Qt::Key_PageDown, Qt::NoModifier);
        if (open.grid.currentIndex().row() >= state.range(0) - 1)
            open.key(Qt::Key_Home, Qt::ControlModifier);
    }
}
BENCHMARK(BM_PageDown)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

}  // namespace

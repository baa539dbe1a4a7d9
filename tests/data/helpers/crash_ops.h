// The deterministic sequence of row changes shared by the crash-test child (which
// performs them on the table) and the test (which replays them on a model).
#pragma once

#include "data/paradox_table.h"

#include <QString>
#include <QVariant>

#include <cstdint>

namespace etb::test {

struct CrashOp {
    enum Kind { Update, Append, Insert, Delete } kind;
    qint64 row;  // row changed, inserted before or deleted
    int value;   // the row's new contents, see crashRow()
};

inline std::uint64_t crashMix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

inline CrashOp crashOp(std::uint64_t index, qint64 rowCount) {
    const std::uint64_t h = crashMix(index);
    unsigned roll = unsigned(h % 100);
    if (rowCount < 60)
        roll = 40 + roll % 40;  // grow: append or insert
    else if (rowCount > 300)
        roll = 80 + roll % 20;  // shrink: delete
    const int value = int(100000 + index % 800000);
    const qint64 pick = rowCount > 0 ? qint64((h >> 20) % std::uint64_t(rowCount)) : 0;
    if (roll < 40)
        return {CrashOp::Update, pick, value};
    if (roll < 60)
        return {CrashOp::Append, rowCount, value};
    if (roll < 80)
        return {CrashOp::Insert, pick, value};
    return {CrashOp::Delete, pick, value};
}

// Every field of a row follows from one number, so a half-written record shows.
inline etb::data::ParadoxRowChange crashRow(int value) {
    return {QVariant(QString::number(value % 1000)), QVariant(QString::number(value / 1000 % 1000)),
            QVariant(QStringLiteral("T%1").arg(value % 7)), QVariant(value + 0.25)};
}

}  // namespace etb::test

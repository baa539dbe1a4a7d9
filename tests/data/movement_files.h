// Movement tables on disk for tests: a fresh DozorDb.db in a temporary data directory.
#pragma once

#include "data/paradox_table.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <optional>
#include <vector>

namespace etb::testing {

struct Movement {
    QString type;
    QString chp;
    QString art;
    std::optional<double> amount;
};

inline QVariant textOrBlank(const QString& text) {
    return text.isEmpty() ? QVariant() : QVariant(text);
}

// Appends movements to the table file, in order.
inline void appendMovements(const QString& filePath, const std::vector<Movement>& movements) {
    auto table = data::ParadoxTable::open(filePath, data::ParadoxTable::Access::Write);
    for (const Movement& m : movements) {
        table->appendRow({textOrBlank(m.chp), textOrBlank(m.art), textOrBlank(m.type),
                          m.amount ? QVariant(*m.amount) : QVariant()});
    }
}

// A temporary directory holding the data directory "Dozor/Data_Db" with a movement table.
struct MovementDirectory {
    QTemporaryDir root;
    QString dataDir() const { return root.filePath(QStringLiteral("Dozor/Data_Db")); }
    QString tablePath() const { return dataDir() + QStringLiteral("/DozorDb.db"); }

    explicit MovementDirectory(const std::vector<Movement>& movements = {}) {
        QDir().mkpath(dataDir());
        data::ParadoxTable::createMovementTable(tablePath());
        appendMovements(tablePath(), movements);
    }
};

}  // namespace etb::testing

// An in-memory statement result for report tests and benchmarks: the five columns of the
// statement query, read through the same field objects, without a table file or SQL.
#pragma once

#include "data/data_set.h"
#include "data/field.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <utility>
#include <vector>

namespace etb::testing {

struct StatementRow {
    double n = 0;
    QString type;
    QString chp;
    QString art;
    QVariant amount;  // a double, or null for an empty amount
};

class FakeStatement : public data::TDataSet {
public:
    enum Column { N, Type, Chp, Art, Amount };

    // withN false leaves out the field object of "N", as a broken configuration would.
    explicit FakeStatement(std::vector<StatementRow> rows, bool withN = true)
        : m_rows(std::move(rows)) {
        addFields(withN);
    }

    // count rows made on demand by rowAt, for statements too large to hold.
    FakeStatement(qint64 count, std::function<StatementRow(qint64)> rowAt)
        : m_count(count), m_rowAt(std::move(rowAt)) {
        addFields(true);
    }

    bool canModify() const override { return false; }
    int reads() const { return m_reads; }

protected:
    void doOpen() override {}
    void doClose() override {}
    qint64 storedRowCount() const override {
        return m_rowAt ? m_count : static_cast<qint64>(m_rows.size());
    }
    QVariant storedValue(qint64 row, int fieldIndex) const override {
        ++m_reads;
        const StatementRow value = m_rowAt ? m_rowAt(row) : m_rows[static_cast<size_t>(row)];
        switch (m_columns[static_cast<size_t>(fieldIndex)]) {
            case N:
                return value.n;
            case Type:
                return value.type;
            case Chp:
                return value.chp;
            case Art:
                return value.art;
            case Amount:
                return value.amount;
        }
        return {};
    }

private:
    void addFields(bool withN) {
        if (withN) {
            addField<data::TFloatField>(QStringLiteral("N"));
            m_columns.push_back(N);
        }
        addField<data::TStringField>(QStringLiteral("type"), 8);
        addField<data::TStringField>(QStringLiteral("MIN OF chp"), 3);
        addField<data::TStringField>(QStringLiteral("MIN OF art"), 3);
        addField<data::TFloatField>(QStringLiteral("SUM OF montant"));
        m_columns.insert(m_columns.end(), {Type, Chp, Art, Amount});
    }

    std::vector<StatementRow> m_rows;
    qint64 m_count = 0;
    std::function<StatementRow(qint64)> m_rowAt;
    std::vector<Column> m_columns;
    mutable int m_reads = 0;
};

// The statement of movements (DEPENSE, 900, 900, 20000), (DEPENSE, 900, 901, 350000) and
// (RECETTE, 900, 900, 100000).
inline std::vector<StatementRow> fiveLineStatement() {
    return {
        {0, QStringLiteral("DEPENSE"), QStringLiteral("900"), QStringLiteral("900"), 370000.0},
        {1, QStringLiteral("DEPENSE"), QStringLiteral("900"), QStringLiteral("900"), 20000.0},
        {1, QStringLiteral("DEPENSE"), QStringLiteral("900"), QStringLiteral("901"), 350000.0},
        {0, QStringLiteral("RECETTE"), QStringLiteral("900"), QStringLiteral("900"), 100000.0},
        {1, QStringLiteral("RECETTE"), QStringLiteral("900"), QStringLiteral("900"), 100000.0},
    };
}

// A statement of count rows: a total line, then detail lines, in types of 50 lines.
inline StatementRow generatedRow(qint64 row) {
    const bool total = row % 50 == 0;
    const QString type = QStringLiteral("T%1").arg(row / 50);
    return {total ? 0.0 : 1.0, type, QStringLiteral("900"), QStringLiteral("%1").arg(row % 50),
            total ? 49.0 * 100 : 100.0};
}

}  // namespace etb::testing

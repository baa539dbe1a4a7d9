// TQuery: the read-only result of a statement run over the Paradox tables of a data
// directory by embedded SQLite. A table name in the statement names a table file of the
// directory (".db" added, matched case-blind) unless tableFiles maps it to another file.
// The result is held compactly in memory and can be read in any order.
#pragma once

#include "data_set.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>

namespace etb::data {

class TQuery : public TDataSet {
    Q_OBJECT
public:
    explicit TQuery(QObject* parent = nullptr);
    ~TQuery() override;

    QString databaseName;                // data directory, as for TTable
    QStringList sql;                     // the statement, one line per entry
    QHash<QString, QString> tableFiles;  // table name in the statement -> file name

    bool canModify() const override { return false; }

    // The result's column names in order ("N", "type", "MIN OF chp", ...).
    QStringList columnNames() const;

    // Bytes the result's columns and texts take in memory (0 when closed).
    qint64 resultBytes() const;

protected:
    void doOpen() override;
    void doClose() override;
    qint64 storedRowCount() const override;
    QVariant storedValue(qint64 row, int fieldIndex) const override;

private:
    struct Result;
    std::unique_ptr<Result> m_result;
};

}  // namespace etb::data

// TTable: an editable data set over one Paradox table file in a data directory.
#pragma once

#include "data_set.h"

#include <QString>
#include <memory>

namespace etb::data {

class ParadoxTable;

class TTable : public TDataSet {
    Q_OBJECT
public:
    explicit TTable(QObject* parent = nullptr);
    ~TTable() override;

    // Data directory ("..\Dozor\Data_Db": backslashes are separators, names matched
    // case-blind) and table file name ("DozorDb.db").
    QString databaseName;
    QString tableName;
    bool readOnly = false;

    bool canModify() const override;

protected:
    void doOpen() override;
    void doClose() override;
    qint64 storedRowCount() const override;
    QVariant storedValue(qint64 row, int fieldIndex) const override;
    void storeUpdate(qint64 row, const std::vector<QVariant>& values,
                     const std::vector<bool>& changed) override;
    void storeInsert(qint64 beforeRow, const std::vector<QVariant>& values) override;
    void storeDelete(qint64 row) override;
    QString readOnlyMessage() const override;

private:
    std::unique_ptr<ParadoxTable> m_file;
    std::vector<int> m_columnOfField;  // table column of each field object
};

}  // namespace etb::data

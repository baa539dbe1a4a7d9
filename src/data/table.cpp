// TTable: field objects over a Paradox table file. Values are read from the file when asked
// for; every post, insert and delete is written to the file at once.
#include "table.h"

#include "data_error.h"
#include "data_path.h"
#include "paradox_table.h"

namespace etb::data {

namespace {

FieldType fieldTypeOf(ParadoxType type) {
    switch (type) {
        case ParadoxType::Alpha:
            return FieldType::String;
        case ParadoxType::Date:
            return FieldType::Date;
        case ParadoxType::Short:
            return FieldType::SmallInt;
        case ParadoxType::Long:
            return FieldType::Integer;
        case ParadoxType::Currency:
            return FieldType::Currency;
        case ParadoxType::Number:
            return FieldType::Float;
        case ParadoxType::Logical:
            return FieldType::Boolean;
        case ParadoxType::Memo:
            return FieldType::Memo;
        case ParadoxType::Blob:
            return FieldType::Blob;
        case ParadoxType::FormattedMemo:
            return FieldType::FmtMemo;
        case ParadoxType::Ole:
            return FieldType::ParadoxOle;
        case ParadoxType::Graphic:
            return FieldType::Graphic;
        case ParadoxType::Time:
            return FieldType::Time;
        case ParadoxType::Timestamp:
            return FieldType::DateTime;
        case ParadoxType::AutoIncrement:
            return FieldType::AutoInc;
        case ParadoxType::Bcd:
            return FieldType::BCD;
        case ParadoxType::Bytes:
            return FieldType::Bytes;
    }
    return FieldType::Unknown;
}

bool isBlank(const QVariant& value) {
    return !value.isValid() || value.isNull();
}

}  // namespace

TTable::TTable(QObject* parent) : TDataSet(parent) {}

TTable::~TTable() = default;

bool TTable::canModify() const {
    return m_file && !readOnly && m_file->canWrite();
}

QString TTable::readOnlyMessage() const {
    if (m_file && !readOnly && !m_file->canWrite())
        return QStringLiteral("La table « %1 » ne peut pas être modifiée : %2.")
            .arg(tableName, m_file->readOnlyReason());
    return TDataSet::readOnlyMessage();
}

void TTable::doOpen() {
    const QString directory = resolveDirectory(databaseName);
    const QString path = resolveFile(directory, tableName, databaseName);
    auto file = ParadoxTable::open(
        path, readOnly ? ParadoxTable::Access::Read : ParadoxTable::Access::Write);
    std::vector<ColumnInfo> columns;
    columns.reserve(file->fields().size());
    for (const ParadoxField& field : file->fields())
        columns.push_back({field.name, fieldTypeOf(field.type)});
    m_columnOfField = bindFields(columns);  // throws before the file is kept
    m_file = std::move(file);
}

void TTable::doClose() {
    m_file.reset();
    m_columnOfField.clear();
}

qint64 TTable::storedRowCount() const {
    return m_file ? m_file->rowCount() : 0;
}

QVariant TTable::storedValue(qint64 row, int fieldIndex) const {
    if (!m_file)
        return {};
    return m_file->value(row, m_columnOfField[fieldIndex]);
}

// Values of the edit buffer are QString or double; the file wants the column's own kind.
static QVariant fileValue(ParadoxType type, const QVariant& value) {
    if (isBlank(value))
        return {};
    switch (type) {
        case ParadoxType::Alpha:
            return value.toString();
        case ParadoxType::Short:
        case ParadoxType::Long:
        case ParadoxType::AutoIncrement:
            return static_cast<int>(value.toDouble());
        case ParadoxType::Number:
        case ParadoxType::Currency:
        case ParadoxType::Bcd:
            return value.toDouble();
        default:
            return value;
    }
}

void TTable::storeUpdate(qint64 row, const std::vector<QVariant>& values,
                         const std::vector<bool>& changed) {
    if (!canModify())
        TDataSet::storeUpdate(row, values, changed);
    ParadoxRowChange change(m_file->fields().size());  // unbound columns keep their bytes
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!changed[i])
            continue;
        const int column = m_columnOfField[i];
        change[column] = fileValue(m_file->fields()[column].type, values[i]);
    }
    m_file->updateRow(row, change);
}

void TTable::storeInsert(qint64 beforeRow, const std::vector<QVariant>& values) {
    if (!canModify())
        TDataSet::storeInsert(beforeRow, values);
    ParadoxRowChange change(m_file->fields().size());  // unbound columns stay blank
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int column = m_columnOfField[i];
        change[column] = fileValue(m_file->fields()[column].type, values[i]);
    }
    if (beforeRow >= m_file->rowCount())
        m_file->appendRow(change);
    else
        m_file->insertRow(beforeRow, change);
}

void TTable::storeDelete(qint64 row) {
    if (!canModify())
        TDataSet::storeDelete(row);
    m_file->deleteRow(row);
}

}  // namespace etb::data

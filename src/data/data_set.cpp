// TDataSet: cursor, edit buffer and notifications shared by the table and the query.
//
// Rows as views see them ("view rows") are the stored rows with, while a row is inserted,
// the pending row at the current position. The signals are emitted so that a view that
// mirrors rowCount() and rowValue() stays consistent: a row appears after
// rowsAboutToBeInserted and before rowsInserted, and disappears between
// rowsAboutToBeRemoved and rowsRemoved.
#include "data_set.h"

#include "data_error.h"

#include <algorithm>

namespace etb::data {

namespace {

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

TDataSet::TDataSet(QObject* parent) : QObject(parent) {}

TDataSet::~TDataSet() = default;

void TDataSet::adoptField(std::unique_ptr<TField> field) {
    field->m_index = static_cast<int>(m_fields.size());
    m_fields.push_back(std::move(field));
}

TField* TDataSet::findField(const QString& name) const {
    for (const auto& field : m_fields) {
        if (sameName(field->fieldName(), name))
            return field.get();
    }
    return nullptr;
}

TField* TDataSet::fieldByName(const QString& name) const {
    if (TField* field = findField(name))
        return field;
    throw DataError(DataError::Kind::NotFound, QStringLiteral("Champ '%1' non trouvé").arg(name));
}

std::vector<int> TDataSet::bindFields(const std::vector<ColumnInfo>& columns) const {
    std::vector<int> columnOfField;
    columnOfField.reserve(m_fields.size());
    for (const auto& field : m_fields) {
        const auto found = std::find_if(columns.begin(), columns.end(), [&](const ColumnInfo& c) {
            return sameName(c.name, field->fieldName());
        });
        if (found == columns.end())
            throw DataError(DataError::Kind::NotFound,
                            QStringLiteral("Champ '%1' non trouvé").arg(field->fieldName()));
        if (found->type != FieldType::Unknown && found->type != field->dataType())
            throw DataError(
                DataError::Kind::FieldType,
                QStringLiteral("Type inadéquat pour le champ '%1', attendu : %2 actuel : %3")
                    .arg(field->fieldName(), fieldTypeName(field->dataType()),
                         fieldTypeName(found->type)));
        columnOfField.push_back(static_cast<int>(found - columns.begin()));
    }
    return columnOfField;
}

void TDataSet::open() {
    if (active())
        return;
    Q_EMIT aboutToReset();
    try {
        doOpen();
    } catch (...) {
        Q_EMIT reset();
        throw;
    }
    dropEditBuffer();
    m_state = DataSetState::Browse;
    const qint64 count = storedRowCount();
    m_row = count > 0 ? 0 : -1;
    m_bof = true;
    m_eof = count == 0;
    Q_EMIT reset();
    Q_EMIT stateChanged(m_state);
    Q_EMIT currentRowChanged(m_row);
}

void TDataSet::close() {
    if (!active())
        return;
    Q_EMIT aboutToReset();
    // An edited row that was not posted is dropped, never written.
    dropEditBuffer();
    m_state = DataSetState::Inactive;
    m_row = -1;
    m_bof = true;
    m_eof = true;
    doClose();
    Q_EMIT reset();
    Q_EMIT stateChanged(m_state);
    Q_EMIT currentRowChanged(m_row);
}

qint64 TDataSet::rowCount() const {
    if (!active())
        return 0;
    return storedRowCount() + (m_state == DataSetState::Insert ? 1 : 0) + (m_ghostRow >= 0 ? 1 : 0);
}

qint64 TDataSet::storedRowOf(qint64 viewRow) const {
    if (m_state != DataSetState::Insert)
        return viewRow;
    if (viewRow == m_row)
        return -1;
    return viewRow > m_row ? viewRow - 1 : viewRow;
}

QVariant TDataSet::rowValue(qint64 row, int fieldIndex) const {
    if (!active() || fieldIndex < 0 || fieldIndex >= static_cast<int>(m_fields.size()) || row < 0)
        return {};
    if (m_ghostRow >= 0) {
        if (row == m_ghostRow)
            return m_ghost[fieldIndex];
        if (row > m_ghostRow)
            --row;
    }
    if ((m_state == DataSetState::Edit || m_state == DataSetState::Insert) && row == m_row)
        return m_buffer[fieldIndex];
    const qint64 stored = storedRowOf(row);
    if (stored < 0 || stored >= storedRowCount())
        return {};
    return storedValue(stored, fieldIndex);
}

QVariant TDataSet::currentValue(int fieldIndex) const {
    if (m_row < 0)
        return {};
    return rowValue(m_row, fieldIndex);
}

void TDataSet::setCurrentValue(int fieldIndex, const QVariant& value) {
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        throw DataError(DataError::Kind::State,
                        QStringLiteral("Ensemble de données pas en mode édition ou insertion"));
    if (fieldIndex < 0 || fieldIndex >= static_cast<int>(m_buffer.size()))
        return;
    m_buffer[fieldIndex] = value;
    m_bufferChanged[fieldIndex] = true;
    m_modified = true;
    Q_EMIT rowValuesChanged(m_row);
}

void TDataSet::checkActive() const {
    if (!active())
        throw DataError(DataError::Kind::State,
                        QStringLiteral("Opération non applicable à un ensemble de données fermé"));
}

QString TDataSet::readOnlyMessage() const {
    return QStringLiteral("Impossible de modifier un ensemble de données en lecture seule");
}

void TDataSet::checkCanModify() const {
    if (!canModify())
        throw DataError(DataError::Kind::ReadOnly, readOnlyMessage());
}

void TDataSet::setState(DataSetState state) {
    if (state == m_state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

void TDataSet::setRow(qint64 row, bool bof, bool eof) {
    const bool changed = row != m_row;
    m_row = row;
    m_bof = bof;
    m_eof = eof;
    if (changed)
        Q_EMIT currentRowChanged(row);
}

void TDataSet::leaveEditing() {
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    if (m_modified)
        post();
    else
        cancel();
}

void TDataSet::first() {
    checkActive();
    leaveEditing();
    const qint64 count = rowCount();
    setRow(count > 0 ? 0 : -1, true, count == 0);
}

void TDataSet::last() {
    checkActive();
    leaveEditing();
    const qint64 count = rowCount();
    setRow(count - 1, count == 0, true);
}

void TDataSet::next() {
    checkActive();
    if (m_state == DataSetState::Insert && !m_modified) {
        // The blank row goes away; the row that followed it takes its number.
        const qint64 pending = m_row;
        const bool appended = m_appending;
        cancel();
        const qint64 count = rowCount();
        if (!appended && pending < count)
            setRow(pending, false, false);
        else
            setRow(count - 1, count == 0, true);
        return;
    }
    leaveEditing();
    if (m_row + 1 >= rowCount()) {
        m_eof = true;
        return;
    }
    setRow(m_row + 1, false, false);
}

void TDataSet::prior() {
    checkActive();
    if (m_state == DataSetState::Insert && !m_modified) {
        const qint64 pending = m_row;
        cancel();
        const qint64 count = rowCount();
        if (pending - 1 >= 0 && pending - 1 < count)
            setRow(pending - 1, false, false);
        else
            setRow(count > 0 ? 0 : -1, true, count == 0);
        return;
    }
    leaveEditing();
    if (m_row <= 0) {
        m_bof = true;
        return;
    }
    setRow(m_row - 1, false, false);
}

void TDataSet::moveTo(qint64 row) {
    checkActive();
    const bool editing = m_state == DataSetState::Edit || m_state == DataSetState::Insert;
    if (editing && row == m_row)
        return;
    if (m_state == DataSetState::Insert && !m_modified) {
        const qint64 pending = m_row;
        cancel();
        if (row > pending)
            --row;
    } else {
        leaveEditing();
    }
    const qint64 count = rowCount();
    if (count == 0) {
        setRow(-1, true, true);
        return;
    }
    setRow(std::clamp<qint64>(row, 0, count - 1), false, false);
}

void TDataSet::edit() {
    checkActive();
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return;
    checkCanModify();
    if (rowCount() == 0 || m_row < 0) {
        append();
        return;
    }
    m_buffer.resize(m_fields.size());
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        m_buffer[i] = storedValue(m_row, static_cast<int>(i));
    m_bufferChanged.assign(m_fields.size(), false);
    m_modified = false;
    m_appending = false;
    setState(DataSetState::Edit);
}

// Forgets the row being edited or inserted; the caller sets the state.
void TDataSet::dropEditBuffer() {
    m_buffer.clear();
    m_bufferChanged.clear();
    m_modified = false;
    m_appending = false;
}

void TDataSet::insert() {
    checkActive();
    checkCanModify();
    leaveEditing();
    beginPendingRow(m_row < 0 ? 0 : m_row, false);
}

void TDataSet::append() {
    checkActive();
    checkCanModify();
    leaveEditing();
    beginPendingRow(storedRowCount(), true);
}

// Shows a new blank row at position, in insert state, for insert() and append().
void TDataSet::beginPendingRow(qint64 position, bool appending) {
    Q_EMIT rowsAboutToBeInserted(position);
    m_buffer.assign(m_fields.size(), QVariant());
    m_bufferChanged.assign(m_fields.size(), false);
    m_modified = false;
    m_appending = appending;
    m_state = DataSetState::Insert;
    m_row = position;
    m_bof = false;
    m_eof = appending;
    Q_EMIT rowsInserted(position);
    Q_EMIT stateChanged(m_state);
    Q_EMIT currentRowChanged(position);
}

void TDataSet::post() {
    checkActive();
    if (m_state == DataSetState::Browse)
        return;
    // A store that throws leaves the state and the buffer as they are: nothing typed is lost.
    if (m_state == DataSetState::Edit) {
        if (m_modified)
            storeUpdate(m_row, m_buffer, m_bufferChanged);
    } else {
        storeInsert(m_row, m_buffer);
    }
    dropEditBuffer();
    setState(DataSetState::Browse);
    Q_EMIT rowValuesChanged(m_row);
}

void TDataSet::cancel() {
    if (m_state == DataSetState::Edit) {
        dropEditBuffer();
        setState(DataSetState::Browse);
        Q_EMIT rowValuesChanged(m_row);
        return;
    }
    if (m_state != DataSetState::Insert)
        return;
    const qint64 pending = m_row;
    Q_EMIT rowsAboutToBeRemoved(pending);
    dropEditBuffer();
    m_state = DataSetState::Browse;
    const qint64 count = storedRowCount();
    m_row = count == 0 ? -1 : std::min(pending, count - 1);
    m_bof = count == 0;
    m_eof = count == 0;
    Q_EMIT rowsRemoved(pending);
    Q_EMIT stateChanged(m_state);
    Q_EMIT currentRowChanged(m_row);
}

void TDataSet::deleteRow() {
    checkActive();
    if (m_state == DataSetState::Insert) {
        cancel();
        return;
    }
    checkCanModify();
    cancel();
    if (m_row < 0 || storedRowCount() == 0)
        throw DataError(DataError::Kind::State,
                        QStringLiteral("Opération impossible sur un ensemble de données vide"));
    const qint64 row = m_row;
    std::vector<QVariant> values(m_fields.size());
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        values[i] = storedValue(row, static_cast<int>(i));
    storeDelete(row);  // throws before any view is told
    // The store has dropped the row; views still see it until rowsRemoved.
    m_ghostRow = row;
    m_ghost = std::move(values);
    Q_EMIT rowsAboutToBeRemoved(row);
    m_ghostRow = -1;
    m_ghost.clear();
    const qint64 count = storedRowCount();
    m_row = count == 0 ? -1 : std::min(row, count - 1);
    m_bof = count == 0;
    m_eof = count == 0;
    Q_EMIT rowsRemoved(row);
    Q_EMIT currentRowChanged(m_row);
}

// A data set that does not override these cannot change its rows.
void TDataSet::storeUpdate(qint64, const std::vector<QVariant>&, const std::vector<bool>&) {
    throw DataError(
        DataError::Kind::ReadOnly,
        QStringLiteral("Impossible de modifier un ensemble de données en lecture seule"));
}

void TDataSet::storeInsert(qint64, const std::vector<QVariant>&) {
    throw DataError(DataError::Kind::ReadOnly, readOnlyMessage());
}

void TDataSet::storeDelete(qint64) {
    throw DataError(DataError::Kind::ReadOnly, readOnlyMessage());
}

}  // namespace etb::data

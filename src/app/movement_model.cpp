// The grid's model over a data set (the movement table through DS1).
#include "movement_model.h"

#include "data/data_set.h"
#include "data/field.h"
#include "message_box.h"

#include <exception>

namespace etb::app {

MovementModel::MovementModel(QObject* parent) : QAbstractTableModel(parent) {}

void MovementModel::setDataSet(data::TDataSet* dataSet) {
    beginResetModel();
    for (const auto& connection : m_connections)
        disconnect(connection);
    m_connections.clear();
    m_dataSet = dataSet;
    m_resetting = false;
    connectDataSet();
    m_indicatorRow = m_dataSet ? static_cast<int>(m_dataSet->recNo()) : -1;
    endResetModel();
}

void MovementModel::connectDataSet() {
    if (!m_dataSet)
        return;
    using data::TDataSet;
    m_connections << connect(m_dataSet, &TDataSet::currentRowChanged, this,
                             &MovementModel::onCurrentRowChanged);
    m_connections << connect(m_dataSet, &TDataSet::stateChanged, this,
                             &MovementModel::onStateChanged);
    m_connections << connect(m_dataSet, &TDataSet::rowValuesChanged, this,
                             &MovementModel::onRowValuesChanged);
    m_connections << connect(m_dataSet, &TDataSet::rowsAboutToBeInserted, this, [this](qint64 row) {
        const int r = static_cast<int>(row);
        beginInsertRows({}, r, r);
    });
    m_connections << connect(m_dataSet, &TDataSet::rowsInserted, this,
                             [this](qint64) { endInsertRows(); });
    m_connections << connect(m_dataSet, &TDataSet::rowsAboutToBeRemoved, this, [this](qint64 row) {
        const int r = static_cast<int>(row);
        if (m_indicatorRow == r)
            m_indicatorRow = -1;
        beginRemoveRows({}, r, r);
    });
    m_connections << connect(m_dataSet, &TDataSet::rowsRemoved, this,
                             [this](qint64) { endRemoveRows(); });
    m_connections << connect(m_dataSet, &TDataSet::aboutToReset, this,
                             &MovementModel::onAboutToReset);
    m_connections << connect(m_dataSet, &TDataSet::reset, this, &MovementModel::onReset);
    m_connections << connect(m_dataSet, &QObject::destroyed, this, [this] {
        beginResetModel();
        m_dataSet = nullptr;
        m_connections.clear();
        m_resetting = false;
        m_indicatorRow = -1;
        endResetModel();
    });
}

data::TField* MovementModel::fieldAt(int column) const {
    if (!m_dataSet || column < 0 || column >= static_cast<int>(m_dataSet->fields().size()))
        return nullptr;
    return m_dataSet->fields()[static_cast<std::size_t>(column)].get();
}

int MovementModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_dataSet || m_resetting || !m_dataSet->active())
        return 0;
    return static_cast<int>(m_dataSet->rowCount());
}

int MovementModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_dataSet)
        return 0;
    return static_cast<int>(m_dataSet->fields().size());
}

QVariant MovementModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const data::TField* field = fieldAt(index.column());
    if (!field)
        return {};
    switch (role) {
        case Qt::DisplayRole:
            return field->displayTextOf(m_dataSet->rowValue(index.row(), index.column()));
        case Qt::EditRole:
            return field->editTextOf(m_dataSet->rowValue(index.row(), index.column()));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(field->alignment() | Qt::AlignVCenter));
        case Qt::FontRole:
            return m_cellFont;
        default:
            return {};
    }
}

QVariant MovementModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        const data::TField* field = fieldAt(section);
        if (!field)
            return {};
        switch (role) {
            case Qt::DisplayRole:
                return field->fieldName();
            case Qt::TextAlignmentRole:
                return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
            case Qt::FontRole:
                return m_titleFont;
            default:
                return {};
        }
    }
    if (section < 0 || section >= rowCount())
        return {};
    switch (role) {
        case Qt::DisplayRole:
            return section == m_indicatorRow ? indicatorText() : QString();
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        default:
            return {};
    }
}

Qt::ItemFlags MovementModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_dataSet && m_dataSet->canModify())
        result |= Qt::ItemIsEditable;
    return result;
}

bool MovementModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    m_lastWriteFailed = false;
    if (role != Qt::EditRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    data::TField* field = fieldAt(index.column());
    if (!field || !m_dataSet->canModify())
        return false;
    const QString text = value.toString();
    // An editor left with the text it started from stores nothing, so that opening and
    // leaving an editor does not put the row in edit state.
    if (text == field->editTextOf(m_dataSet->rowValue(index.row(), index.column())))
        return true;
    m_writingRow = index.row();
    const bool stored = runHandler([&] {
        if (m_dataSet->recNo() != index.row())
            m_dataSet->moveTo(index.row());
        if (m_dataSet->state() == data::DataSetState::Browse)
            m_dataSet->edit();
        field->setText(text);
    });
    m_writingRow = -1;
    m_lastWriteFailed = !stored;
    settle();
    if (stored)
        Q_EMIT dataChanged(index, index);
    return stored;
}

void MovementModel::beginRowEdit(int row) {
    if (!m_dataSet || m_dataSet->state() != data::DataSetState::Browse ||
        m_dataSet->recNo() != row || !m_dataSet->canModify())
        return;
    runHandler([this] { m_dataSet->edit(); });
}

QString MovementModel::indicatorText() const {
    if (!m_dataSet)
        return {};
    switch (m_dataSet->state()) {
        case data::DataSetState::Browse:
            return QString(QChar(0x25B6));  // a black right-pointing triangle
        case data::DataSetState::Edit:
            return QStringLiteral("I");
        case data::DataSetState::Insert:
            return QStringLiteral("*");
        case data::DataSetState::Inactive:
            break;
    }
    return {};
}

void MovementModel::settle() {
    if (m_resetting)
        onReset();
}

void MovementModel::onCurrentRowChanged(qint64 row) {
    updateIndicator(static_cast<int>(row));
    Q_EMIT currentRowChanged(static_cast<int>(row));
}

void MovementModel::onStateChanged() {
    const int row = m_indicatorRow;
    if (row >= 0 && row < rowCount())
        Q_EMIT headerDataChanged(Qt::Vertical, row, row);
}

void MovementModel::onRowValuesChanged(qint64 row) {
    if (row == m_writingRow || m_resetting || row < 0 || row >= rowCount() || columnCount() == 0)
        return;
    const int r = static_cast<int>(row);
    Q_EMIT dataChanged(index(r, 0), index(r, columnCount() - 1));
}

void MovementModel::onAboutToReset() {
    if (m_resetting)
        return;
    m_resetting = true;
    beginResetModel();
}

void MovementModel::onReset() {
    if (!m_resetting)
        return;
    m_resetting = false;
    m_indicatorRow = m_dataSet ? static_cast<int>(m_dataSet->recNo()) : -1;
    endResetModel();
}

void MovementModel::updateIndicator(int row) {
    const int previous = m_indicatorRow;
    m_indicatorRow = row;
    const int count = rowCount();
    if (previous >= 0 && previous < count && previous != row)
        Q_EMIT headerDataChanged(Qt::Vertical, previous, previous);
    if (row >= 0 && row < count)
        Q_EMIT headerDataChanged(Qt::Vertical, row, row);
}

}  // namespace etb::app

// TDataSet: a cursor over rows with field objects, an edit buffer and change notifications.
// TTable (a table file, editable) and TQuery (a statement's read-only result) derive from it.
//
// Rows are numbered from 0. The current row is the one field objects read. While a row is
// edited or inserted its values live in an edit buffer until post() writes them or cancel()
// drops them. An inserted or appended row is visible to views as a row of its own (rowCount()
// counts it) until it is posted or cancelled.
#pragma once

#include "field.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace etb::data {

enum class DataSetState { Inactive, Browse, Edit, Insert };

class TDataSet : public QObject {
    Q_OBJECT
public:
    ~TDataSet() override;

    // Field objects are declared before open(); open() binds them to columns by name,
    // case-blind, and checks their types ("Champ '%s' non trouvé", "Type inadéquat ...").
    template <class F, class... Args>
    F* addField(Args&&... args) {
        auto field = std::make_unique<F>(this, std::forward<Args>(args)...);
        F* raw = field.get();
        adoptField(std::move(field));
        return raw;
    }
    const std::vector<std::unique_ptr<TField>>& fields() const { return m_fields; }
    TField* findField(const QString& name) const;    // case-blind; nullptr when missing
    TField* fieldByName(const QString& name) const;  // throws "Champ '%s' non trouvé"

    void open();   // no effect when already open
    void close();  // drops an unposted row; never posts
    bool active() const { return m_state != DataSetState::Inactive; }
    void setActive(bool active) { active ? open() : close(); }
    DataSetState state() const { return m_state; }
    bool modified() const { return m_modified; }
    virtual bool canModify() const = 0;

    // Navigation. Moving away from an edited or inserted row posts it when it was modified
    // and cancels it otherwise.
    qint64 rowCount() const;                // includes a pending inserted row
    qint64 recNo() const { return m_row; }  // current row, -1 when there is none
    bool isEmpty() const { return rowCount() == 0; }
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    void first();
    void last();
    void next();
    void prior();
    void moveTo(qint64 row);

    // Reads any row without moving the cursor (the edit buffer for the row being edited).
    QVariant rowValue(qint64 row, int fieldIndex) const;

    void edit();
    void insert();  // a new blank row before the current one
    void append();  // a new blank row after the last
    void post();    // no effect in browse state
    void cancel();
    void deleteRow();  // deletes the current row (cancels a pending insert)

Q_SIGNALS:
    void stateChanged(etb::data::DataSetState state);
    void currentRowChanged(qint64 row);
    void rowValuesChanged(qint64 row);  // edit buffer or stored values of one row
    void rowsAboutToBeInserted(qint64 row);
    void rowsInserted(qint64 row);
    void rowsAboutToBeRemoved(qint64 row);
    void rowsRemoved(qint64 row);
    void aboutToReset();  // before open, close, or a change too large to describe row by row
    void reset();

protected:
    explicit TDataSet(QObject* parent = nullptr);

    // What derived classes supply: the stored rows and how to change them.
    virtual void doOpen() = 0;  // throws DataError
    virtual void doClose() = 0;
    virtual qint64 storedRowCount() const = 0;
    virtual QVariant storedValue(qint64 row, int fieldIndex) const = 0;
    virtual void storeUpdate(qint64 row, const std::vector<QVariant>& values,
                             const std::vector<bool>& changed);
    virtual void storeInsert(qint64 beforeRow, const std::vector<QVariant>& values);
    virtual void storeDelete(qint64 row);
    // The sentence of the error a change of a data set that cannot be modified throws.
    virtual QString readOnlyMessage() const;

    // A column of the stored rows as doOpen() finds it. Unknown matches any field object
    // (a result column whose type no value shows).
    struct ColumnInfo {
        QString name;
        FieldType type = FieldType::Unknown;
    };
    // The column of each field object, matched by name case-blind; throws DataError
    // "Champ '%s' non trouvé" (NotFound) or "Type inadéquat pour le champ ..." (FieldType).
    std::vector<int> bindFields(const std::vector<ColumnInfo>& columns) const;

private:
    friend class TField;
    void adoptField(std::unique_ptr<TField> field);
    void beginPendingRow(qint64 position, bool appending);
    void dropEditBuffer();
    QVariant currentValue(int fieldIndex) const;
    void setCurrentValue(int fieldIndex, const QVariant& value);

    std::vector<std::unique_ptr<TField>> m_fields;
    DataSetState m_state = DataSetState::Inactive;
    qint64 m_row = -1;
    bool m_eof = true;
    bool m_bof = true;
    bool m_modified = false;
    std::vector<QVariant> m_buffer;
    std::vector<bool> m_bufferChanged;
    bool m_appending = false;
    // While views are told of a deleted row, the row's values stand in for it.
    qint64 m_ghostRow = -1;
    std::vector<QVariant> m_ghost;

    void checkActive() const;
    void checkCanModify() const;
    void leaveEditing();  // posts a modified row, cancels an unmodified one
    void setRow(qint64 row, bool bof, bool eof);
    void setState(DataSetState state);
    qint64 storedRowOf(qint64 viewRow) const;  // -1 for the pending inserted row
};

}  // namespace etb::data

// The grid's model: a thin adapter that shows a data set's rows and field objects to a Qt
// item view and hands edits back to the data set.
#pragma once

#include <QAbstractTableModel>
#include <QFont>

namespace etb::data {
class TDataSet;
class TField;
}  // namespace etb::data

namespace etb::app {

class MovementModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit MovementModel(QObject* parent = nullptr);

    // The data set whose rows are shown; nullptr shows nothing. Columns are the data set's
    // field objects, in order; titles are their field names.
    void setDataSet(data::TDataSet* dataSet);
    data::TDataSet* dataSet() const { return m_dataSet; }
    data::TField* fieldAt(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Stores an edited text: moves the data set to the row (posting another row being
    // edited), puts it in edit state if needed and parses the text into the field. A data
    // error is reported in a box, leaves the row as it was and returns false.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Puts the data set in edit state when the user starts typing in a cell of its current
    // row, so that the row indicator shows the row is being edited.
    void beginRowEdit(int row);

    // True when the last setData() was refused.
    bool lastWriteFailed() const { return m_lastWriteFailed; }
    void clearWriteStatus() { m_lastWriteFailed = false; }

    // The mark shown in the row indicator for the data set's current row.
    QString indicatorText() const;

    void setCellFont(const QFont& font) { m_cellFont = font; }
    void setTitleFont(const QFont& font) { m_titleFont = font; }

    // Ends a reset the data set began but did not finish (an open that failed).
    void settle();

Q_SIGNALS:
    // The data set's current row moved (-1: no row).
    void currentRowChanged(int row);

private:
    void connectDataSet();
    void onCurrentRowChanged(qint64 row);
    void onStateChanged();
    void onRowValuesChanged(qint64 row);
    void onAboutToReset();
    void onReset();
    void updateIndicator(int row);

    data::TDataSet* m_dataSet = nullptr;
    QList<QMetaObject::Connection> m_connections;
    QFont m_cellFont;
    QFont m_titleFont;
    int m_indicatorRow = -1;
    bool m_resetting = false;
    int m_writingRow = -1;  // inside setData: the cell's own dataChanged is enough
    bool m_lastWriteFailed = false;
};

}  // namespace etb::app

// The data grid: a table view over a data source's data set, with the keys of a database
// grid (F2 or typing edits, Esc undoes, Insert inserts, Down on the last row appends,
// Ctrl+Delete deletes after a prompt, Ctrl+Home/End go to the first/last row).
//
// The data set's current row follows the view's current row: moving to another row posts
// a changed row (the data set does it) and a failed post leaves the view on the row being
// edited. Rows are never turned into widgets, so a very large table scrolls as a small one.
#pragma once

#include "movement_model.h"

#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

namespace etb::data {
struct TDataSource;
}

namespace etb::app {

// Cell editors: a line edit limited to a text field's width, starting from the field's
// edit text.
class MovementDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit MovementDelegate(MovementModel* model, QObject* parent = nullptr);
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

    // The editor made last; null once it is gone.
    QWidget* lastEditor() const { return m_lastEditor.data(); }

private:
    MovementModel* m_model;
    mutable QPointer<QWidget> m_lastEditor;
};

class MovementGrid : public QTableView {
    Q_OBJECT
public:
    explicit MovementGrid(QWidget* parent = nullptr);
    ~MovementGrid() override;

    // Shows the data source's data set; call again after changing the source's data set.
    void setDataSource(data::TDataSource* source);
    MovementModel* movementModel() const { return m_model; }
    MovementDelegate* movementDelegate() const { return m_delegate; }
    data::TDataSet* dataSet() const;
    // The open cell editor, if any.
    QWidget* openEditor() const;
    // Column widths in pixels, kept when the data set is opened or closed.
    void setColumnWidths(const QList<int>& widthsPx);

    // Posts the row being edited if it was changed and cancels it otherwise, as leaving the
    // row would; a cell editor still open is stored first. An error is reported in a box,
    // the row stays in edit (nothing is lost) and the result is false.
    bool postPendingRow();

    // Asks "Supprimer l'enregistrement ?" and deletes the current row on OK.
    void deleteCurrentRow();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void followDataSet(int row);
    void selectCurrentLater();
    void applyColumnWidths();
    void appendOrStay();

    void onFocusChanged(QWidget* old, QWidget* now);

    MovementModel* m_model;
    MovementDelegate* m_delegate;
    QList<int> m_columnWidthsPx;
    bool m_following = false;           // the view is being moved to the data set's row
    bool m_committing = false;          // an editor's text is being stored
    bool m_commitFailed = false;        // the last store was refused: keep the editor open
    QPointer<QWidget> m_refusedEditor;  // the editor whose text was refused, and that text
    QString m_refusedText;
};

}  // namespace etb::app

// The data grid DBGrid2 and its cell editors.
#include "movement_grid.h"

#include "data/data_set.h"
#include "data/data_source.h"
#include "data/field.h"
#include "message_box.h"
#include "ui_font.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QTimer>

namespace etb::app {

namespace {

constexpr int kRowHeightPx = 17;
constexpr int kIndicatorWidthPx = 12;

bool isEditing(const data::TDataSet* dataSet) {
    return dataSet && (dataSet->state() == data::DataSetState::Edit ||
                       dataSet->state() == data::DataSetState::Insert);
}

}  // namespace

MovementDelegate::MovementDelegate(MovementModel* model, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model) {}

QWidget* MovementDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex& index) const {
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setFont(sansSerifFont(true));
    if (const data::TField* field = m_model->fieldAt(index.column())) {
        if (field->size() > 0)
            editor->setMaxLength(field->size());
        editor->setAlignment(field->alignment() | Qt::AlignVCenter);
    }
    const int row = index.row();
    connect(editor, &QLineEdit::textEdited, m_model,
            [model = m_model, row] { model->beginRowEdit(row); });
    m_lastEditor = editor;
    return editor;
}

MovementGrid::MovementGrid(QWidget* parent)
    : QTableView(parent),
      m_model(new MovementModel(this)),
      m_delegate(new MovementDelegate(m_model, this)) {
    m_model->setCellFont(sansSerifFont(true));
    m_model->setTitleFont(sansSerifFont(true));
    setModel(m_model);
    setItemDelegate(m_delegate);
    setFont(sansSerifFont(false));

    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked);
    setTabKeyNavigation(true);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);

    // Fixed row heights: the view computes positions instead of measuring every row.
    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(kRowHeightPx);
    rows->setMinimumSectionSize(kRowHeightPx);
    rows->setFixedWidth(kIndicatorWidthPx);
    rows->setFont(sansSerifFont(false));

    QHeaderView* titles = horizontalHeader();
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setSectionsMovable(true);
    titles->setDefaultAlignment(Qt::AlignCenter);
    titles->setFixedHeight(kRowHeightPx + 1);
    titles->setHighlightSections(false);
    titles->setStretchLastSection(false);
    titles->setFont(sansSerifFont(false));

    connect(m_model, &MovementModel::currentRowChanged, this, &MovementGrid::followDataSet);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        applyColumnWidths();
        if (const data::TDataSet* dataSet = this->dataSet())
            followDataSet(static_cast<int>(dataSet->recNo()));
    });
    connect(qApp, &QApplication::focusChanged, this, &MovementGrid::onFocusChanged);
}

MovementGrid::~MovementGrid() {
    // The focus leaves the grid while its widgets are destroyed; this grid is gone by then.
    disconnect(qApp, &QApplication::focusChanged, this, &MovementGrid::onFocusChanged);
}

void MovementGrid::setDataSource(data::TDataSource* source) {
    m_model->setDataSet(source ? source->dataSet : nullptr);
}

void MovementGrid::setColumnWidths(const QList<int>& widthsPx) {
    m_columnWidthsPx = widthsPx;
    applyColumnWidths();
}

void MovementGrid::applyColumnWidths() {
    for (int column = 0; column < m_columnWidthsPx.size() && column < m_model->columnCount();
         ++column)
        setColumnWidth(column, m_columnWidthsPx[column]);
}

data::TDataSet* MovementGrid::dataSet() const {
    return m_model->dataSet();
}

QWidget* MovementGrid::openEditor() const {
    QWidget* editor = m_delegate->lastEditor();
    if (editor && state() == QAbstractItemView::EditingState && editor->isVisible())
        return editor;
    return nullptr;
}

bool MovementGrid::postPendingRow() {
    if (QWidget* editor = openEditor()) {
        commitData(editor);
        if (m_commitFailed)
            return false;
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    data::TDataSet* dataSet = this->dataSet();
    if (!isEditing(dataSet))
        return true;
    const bool done = runHandler([dataSet] {
        if (dataSet->modified())
            dataSet->post();
        else
            dataSet->cancel();
    });
    m_model->settle();
    return done;
}

void MovementGrid::deleteCurrentRow() {
    data::TDataSet* dataSet = this->dataSet();
    if (!dataSet || !dataSet->active() || dataSet->recNo() < 0 || !dataSet->canModify())
        return;
    const auto answer = showMessageBox(
        {QStringLiteral("Confirmation"), QStringLiteral("Supprimer l'enregistrement ?"),
         QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel, false});
    if (answer != QMessageBox::Ok)
        return;
    runHandler([dataSet] { dataSet->deleteRow(); });
    m_model->settle();
}

void MovementGrid::keyPressEvent(QKeyEvent* event) {
    data::TDataSet* dataSet = this->dataSet();
    if (!dataSet || !dataSet->active()) {
        QTableView::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool plain = modifiers == Qt::NoModifier;
    const bool control = modifiers == Qt::ControlModifier;
    switch (event->key()) {
        case Qt::Key_Escape:
            // An open editor has taken the first Esc (it undoes the cell); this one cancels the
            // changes to the row.
            if (plain && isEditing(dataSet)) {
                runHandler([dataSet] { dataSet->cancel(); });
                event->accept();
                return;
            }
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter opens the cell's editor, as F2 does; in the editor it stores the text (the
            // editor passes the key on to the grid then, which must not open it again).
            if (plain && state() != EditingState && currentIndex().isValid() &&
                edit(currentIndex(), EditKeyPressed, event)) {
                event->accept();
                return;
            }
            break;
        case Qt::Key_Insert:
            if (plain && dataSet->canModify()) {
                if (postPendingRow())
                    runHandler([dataSet] { dataSet->insert(); });
                event->accept();
                return;
            }
            break;
        case Qt::Key_Down:
            if (plain && dataSet->recNo() >= dataSet->rowCount() - 1) {
                appendOrStay();
                event->accept();
                return;
            }
            break;
        case Qt::Key_Delete:
            if (control) {
                deleteCurrentRow();
                event->accept();
                return;
            }
            break;
        case Qt::Key_Home:
        case Qt::Key_End:
            if (control) {
                const bool toFirst = event->key() == Qt::Key_Home;
                runHandler([dataSet, toFirst] { toFirst ? dataSet->first() : dataSet->last(); });
                event->accept();
                return;
            }
            break;
        default:
            break;
    }
    QTableView::keyPressEvent(event);
}

void MovementGrid::appendOrStay() {
    data::TDataSet* dataSet = this->dataSet();
    if (!dataSet->canModify())
        return;
    // A new row left unchanged at the end is not followed by another one.
    if (dataSet->state() == data::DataSetState::Insert && !dataSet->modified())
        return;
    if (postPendingRow())
        runHandler([dataSet] { dataSet->append(); });
}

void MovementGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // The base class stores an editor still open on the previous cell.
    QTableView::currentChanged(current, previous);
    if (m_following)
        return;
    data::TDataSet* dataSet = this->dataSet();
    if (!dataSet || !dataSet->active() || !current.isValid())
        return;
    if (m_commitFailed && previous.isValid()) {
        // The previous cell's text was refused: stay on it with its editor open.
        {
            QScopedValueRollback guard(m_following, true);
            setCurrentIndex(previous);
        }
        selectCurrentLater();
        return;
    }
    if (current.row() == dataSet->recNo())
        return;
    const bool moved = runHandler([dataSet, &current] { dataSet->moveTo(current.row()); });
    m_model->settle();
    followDataSet(static_cast<int>(dataSet->recNo()));
    if (!moved)
        selectCurrentLater();
}

void MovementGrid::selectCurrentLater() {
    // The key or click that asked for the move selects its target after this returns; the
    // cell that stayed current is selected again once it has.
    QTimer::singleShot(0, this, [this] {
        const QModelIndex current = currentIndex();
        if (current.isValid() && !selectionModel()->isSelected(current))
            selectionModel()->select(current, QItemSelectionModel::ClearAndSelect);
    });
}

void MovementGrid::followDataSet(int row) {
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() == row)
        return;
    const int column = current.isValid() ? current.column() : horizontalHeader()->logicalIndex(0);
    QScopedValueRollback guard(m_following, true);
    setCurrentIndex(m_model->index(row, column < 0 ? 0 : column));
}

void MovementGrid::commitData(QWidget* editor) {
    // A box shown while a text is stored takes the focus from the editor, which would store
    // the same text again.
    if (m_committing)
        return;
    const auto* line = qobject_cast<QLineEdit*>(editor);
    const QString text = line ? line->text() : QString();
    // The focus leaving an editor whose text was just refused (to a box, or back to the
    // grid) does not report the same error again; pressing Enter or moving away does.
    if (m_commitFailed && editor == m_refusedEditor && text == m_refusedText && !editor->hasFocus())
        return;
    QScopedValueRollback guard(m_committing, true);
    m_model->clearWriteStatus();
    QTableView::commitData(editor);
    m_commitFailed = m_model->lastWriteFailed();
    m_refusedEditor = m_commitFailed ? editor : nullptr;
    m_refusedText = m_commitFailed ? text : QString();
}

void MovementGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (m_committing)
        return;
    if (m_commitFailed && hint != QAbstractItemDelegate::RevertModelCache) {
        // Keep the refused text in its editor so that the user can correct it or press Esc.
        editor->setFocus();
        return;
    }
    m_commitFailed = false;
    QTableView::closeEditor(editor, hint);
}

void MovementGrid::onFocusChanged(QWidget* old, QWidget* now) {
    // A new row left unchanged is dropped when the focus goes to another control of the
    // window (not to the cell editor, not to a box or another window).
    if (!old || !now || (old != this && !isAncestorOf(old)))
        return;
    if (now == this || isAncestorOf(now) || now->window() != window())
        return;
    data::TDataSet* dataSet = this->dataSet();
    if (dataSet && dataSet->state() == data::DataSetState::Insert && !dataSet->modified()) {
        if (QWidget* editor = openEditor()) {
            commitData(editor);
            if (m_commitFailed || dataSet->modified())
                return;
        }
        runHandler([dataSet] { dataSet->cancel(); });
        m_model->settle();
    }
}

}  // namespace etb::app

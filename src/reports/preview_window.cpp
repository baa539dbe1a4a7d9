// The preview window of one report.
#include "preview_window.h"

#include "preview_output.h"
#include "preview_page_cache.h"
#include "preview_page_view.h"
#include "preview_thumbnails.h"
#include "report_model.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>
#include <exception>

namespace etb::reports {

namespace {

constexpr int kOuterSizePx = 500;
constexpr int kSearchSliceMs = 30;
constexpr double kMinScale = 0.05;
constexpr int kZoomPercents[] = {25, 50, 75, 100, 150, 200, 400};

}  // namespace

PreviewWindow::PreviewWindow(ReportTemplate& report, QWidget* parent)
    : QMainWindow(parent), m_report(report) {
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(titleFor());

    m_thumbnailModel = new ThumbnailModel(this);
    m_thumbnails = new QListView;
    m_thumbnails->setObjectName(QStringLiteral("thumbnails"));
    m_thumbnails->setModel(m_thumbnailModel);
    m_thumbnails->setItemDelegate(new ThumbnailDelegate(m_thumbnails));
    m_thumbnails->setViewMode(QListView::IconMode);  // the page number under its picture
    m_thumbnails->setFlow(QListView::TopToBottom);
    m_thumbnails->setWrapping(false);
    m_thumbnails->setMovement(QListView::Static);
    m_thumbnails->setUniformItemSizes(true);  // only the visible rows are asked for
    m_thumbnails->setIconSize(m_thumbnailModel->thumbnailSize());
    m_thumbnails->setSpacing(4);
    m_thumbnails->setSelectionMode(QAbstractItemView::SingleSelection);
    m_thumbnails->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_thumbnails->setFixedWidth(m_thumbnailModel->thumbnailSize().width() + 36);
    connect(m_thumbnails->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!m_syncing && current.isValid())
                    goToPage(current.row());
            });
    connect(m_thumbnailModel, &ThumbnailModel::layoutFailed, this, &PreviewWindow::fail);

    m_view = new PreviewPageView;
    m_view->setObjectName(QStringLiteral("page"));
    m_scroll = new QScrollArea;
    m_scroll->setObjectName(QStringLiteral("pageArea"));
    m_scroll->setWidget(m_view);
    m_scroll->setWidgetResizable(false);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);

    auto* splitter = new QSplitter;
    splitter->addWidget(m_thumbnails);
    splitter->addWidget(m_scroll);
    splitter->setStretchFactor(1, 1);
    splitter->setCollapsible(1, false);
    setCentralWidget(splitter);

    createActions();
    createToolBars();

    m_pageStatus = new QLabel;
    m_searchStatus = new QLabel;
    statusBar()->addWidget(m_searchStatus, 1);
    statusBar()->addPermanentWidget(m_pageStatus);

    m_searchTimer = new QTimer(this);
    m_searchTimer->setInterval(0);
    connect(m_searchTimer, &QTimer::timeout, this, &PreviewWindow::searchStep);

    // The paging keys work wherever the focus is in the page area or the thumbnails.
    for (QObject* target :
         {static_cast<QObject*>(m_scroll), static_cast<QObject*>(m_view),
          static_cast<QObject*>(m_scroll->viewport()), static_cast<QObject*>(m_thumbnails),
          static_cast<QObject*>(m_thumbnails->viewport()), static_cast<QObject*>(m_findEdit)})
        target->installEventFilter(this);

    updatePageControls();
}

PreviewWindow::~PreviewWindow() {
    // The thumbnails refer to the page cache; let them go first.
    m_thumbnailModel->setPages(nullptr);
}

QString PreviewWindow::titleFor(const QString& reportTitle) {
    return QStringLiteral("Report Preview : ") + reportTitle;
}

void PreviewWindow::createActions() {
    QStyle* look = style();
    m_firstAction = new QAction(look->standardIcon(QStyle::SP_MediaSkipBackward),
                                QStringLiteral("Première page (Début)"), this);
    m_previousAction = new QAction(look->standardIcon(QStyle::SP_MediaSeekBackward),
                                   QStringLiteral("Page précédente (Pg préc.)"), this);
    m_nextAction = new QAction(look->standardIcon(QStyle::SP_MediaSeekForward),
                               QStringLiteral("Page suivante (Pg suiv.)"), this);
    m_lastAction = new QAction(look->standardIcon(QStyle::SP_MediaSkipForward),
                               QStringLiteral("Dernière page (Fin)"), this);
    connect(m_firstAction, &QAction::triggered, this, &PreviewWindow::firstPage);
    connect(m_previousAction, &QAction::triggered, this, &PreviewWindow::previousPage);
    connect(m_nextAction, &QAction::triggered, this, &PreviewWindow::nextPage);
    connect(m_lastAction, &QAction::triggered, this, &PreviewWindow::lastPage);

    m_printAction = new QAction(QStringLiteral("Imprimer"), this);
    m_printAction->setToolTip(QStringLiteral("Imprimer (Ctrl+P)"));
    m_printAction->setShortcut(QKeySequence::Print);
    connect(m_printAction, &QAction::triggered, this, &PreviewWindow::print);
    addAction(m_printAction);

    m_pdfAction = new QAction(QStringLiteral("PDF"), this);
    m_pdfAction->setToolTip(QStringLiteral("Enregistrer en PDF"));
    connect(m_pdfAction, &QAction::triggered, this, &PreviewWindow::savePdf);

    m_closeAction = new QAction(QStringLiteral("Fermer"), this);
    m_closeAction->setToolTip(QStringLiteral("Fermer l'aperçu (Échap)"));
    connect(m_closeAction, &QAction::triggered, this, &QWidget::close);

    m_findAction = new QAction(QStringLiteral("Chercher"), this);
    m_findAction->setToolTip(QStringLiteral("Chercher le texte à partir de la page affichée"));
    connect(m_findAction, &QAction::triggered, this, &PreviewWindow::startFind);
}

void PreviewWindow::createToolBars() {
    QToolBar* pages = addToolBar(QStringLiteral("Pages"));
    pages->setObjectName(QStringLiteral("pagesToolBar"));
    pages->setMovable(false);
    pages->addAction(m_firstAction);
    pages->addAction(m_previousAction);
    m_pageBox = new QSpinBox;
    m_pageBox->setObjectName(QStringLiteral("pageNumber"));
    m_pageBox->setPrefix(QStringLiteral("page "));
    m_pageBox->setKeyboardTracking(false);
    m_pageBox->setRange(1, 1);
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int number) {
        if (!m_syncing)
            goToPage(number - 1);
    });
    pages->addWidget(m_pageBox);
    m_pageTotal = new QLabel;
    m_pageTotal->setObjectName(QStringLiteral("pageTotal"));
    pages->addWidget(m_pageTotal);
    pages->addAction(m_nextAction);
    pages->addAction(m_lastAction);
    pages->addSeparator();

    m_zoomBox = new QComboBox;
    m_zoomBox->setObjectName(QStringLiteral("zoom"));
    m_zoomBox->addItem(QStringLiteral("Page entière"), -1);
    m_zoomBox->addItem(QStringLiteral("Largeur de page"), -2);
    for (int percent : kZoomPercents)
        m_zoomBox->addItem(QStringLiteral("%1 %").arg(percent), percent);
    connect(m_zoomBox, &QComboBox::activated, this, [this](int item) {
        const int choice = m_zoomBox->itemData(item).toInt();
        if (choice == -1)
            zoomWholePage();
        else if (choice == -2)
            zoomPageWidth();
        else
            setZoomPercent(choice);
    });
    pages->addWidget(m_zoomBox);

    addToolBarBreak();
    QToolBar* commands = addToolBar(QStringLiteral("Commandes"));
    commands->setObjectName(QStringLiteral("commandsToolBar"));
    commands->setMovable(false);
    m_findEdit = new QLineEdit;
    m_findEdit->setObjectName(QStringLiteral("findText"));
    m_findEdit->setPlaceholderText(QStringLiteral("Texte à chercher"));
    m_findEdit->setClearButtonEnabled(true);
    m_findEdit->setMaximumWidth(180);
    connect(m_findEdit, &QLineEdit::returnPressed, this, &PreviewWindow::startFind);
    commands->addWidget(m_findEdit);
    commands->addAction(m_findAction);
    commands->addSeparator();
    commands->addAction(m_printAction);
    commands->addAction(m_pdfAction);
    commands->addSeparator();
    commands->addAction(m_closeAction);
}

void PreviewWindow::showAtOrigin() {
    setWindowState(Qt::WindowNoState);
    resize(kOuterSizePx, kOuterSizePx);
    move(0, 0);
    show();
    fitOuterSize();
    // Some window managers tell the frame's size only after the window is mapped.
    QTimer::singleShot(150, this, &PreviewWindow::fitOuterSize);
}

void PreviewWindow::fitOuterSize() {
    if (m_closed || !isVisible())
        return;
    const QSize frameExtra = frameGeometry().size() - geometry().size();
    const QSize inner(kOuterSizePx - frameExtra.width(), kOuterSizePx - frameExtra.height());
    if (size() != inner)
        resize(inner);
    if (frameGeometry().topLeft() != QPoint(0, 0))
        move(0, 0);
}

void PreviewWindow::build() {
    releasePages();
    m_failed = false;
    m_current = 0;
    m_match = PageSearch::Position{-1, -1};
    try {
        m_pages = std::make_unique<PageCache>(m_report);
        std::shared_ptr<const Page> first = m_pages->page(0);
        m_thumbnailModel->setPages(m_pages.get());
        m_view->setPage(std::move(first), m_pages->sheetWidthPx(), m_pages->sheetHeightPx());
    } catch (...) {
        releasePages();
        throw;
    }
    applyZoom();
    updatePageControls();
    m_view->setFocus();
}

bool PreviewWindow::built() const {
    return m_pages != nullptr;
}

int PreviewWindow::pageCount() const {
    return m_pages ? m_pages->pageCount() : 0;
}

double PreviewWindow::zoomPercent() const {
    const double screenPerDesignPx = m_view->logicalDpiX() / 96.0;
    return m_view->scale() / screenPerDesignPx * 100.0;
}

void PreviewWindow::firstPage() {
    goToPage(0);
}
void PreviewWindow::previousPage() {
    goToPage(m_current - 1);
}
void PreviewWindow::nextPage() {
    goToPage(m_current + 1);
}
void PreviewWindow::lastPage() {
    goToPage(pageCount() - 1);
}

void PreviewWindow::goToPage(int index) {
    if (!m_pages || m_failed)
        return;
    index = std::clamp(index, 0, pageCount() - 1);
    if (index == m_current && m_view->page())
        return;
    m_current = index;
    showCurrentPage();
    m_scroll->verticalScrollBar()->setValue(0);
}

void PreviewWindow::showCurrentPage() {
    if (!m_pages)
        return;
    try {
        m_view->setPage(m_pages->page(m_current), m_pages->sheetWidthPx(),
                        m_pages->sheetHeightPx());
    } catch (const std::exception&) {
        fail();
        return;
    }
    if (m_match.page == m_current && m_view->page() &&
        m_match.box < int(m_view->page()->boxes.size())) {
        const Box& box = m_view->page()->boxes[size_t(m_match.box)];
        m_view->setHighlight(QRect(box.leftPx, box.topPx, box.widthPx, box.heightPx));
    }
    updatePageControls();
    Q_EMIT currentPageChanged(m_current);
}

void PreviewWindow::zoomWholePage() {
    m_zoomMode = ZoomMode::WholePage;
    applyZoom();
}

void PreviewWindow::zoomPageWidth() {
    m_zoomMode = ZoomMode::PageWidth;
    applyZoom();
}

void PreviewWindow::setZoomPercent(int percent) {
    m_zoomMode = ZoomMode::Percent;
    m_percent = std::clamp(percent, 10, 800);
    applyZoom();
}

void PreviewWindow::applyZoom() {
    const double sheetWidthPx = m_pages ? m_pages->sheetWidthPx() : 793.7;
    const double sheetHeightPx = m_pages ? m_pages->sheetHeightPx() : 1122.5;
    // The room the page has when no scroll bar is shown.
    const QSize room = m_scroll->maximumViewportSize() -
                       QSize(2 * PreviewPageView::kMarginPx, 2 * PreviewPageView::kMarginPx);
    double scale = 1.0;
    switch (m_zoomMode) {
        case ZoomMode::WholePage:
            scale = std::min(room.width() / sheetWidthPx, room.height() / sheetHeightPx);
            break;
        case ZoomMode::PageWidth:
            scale =
                (room.width() - m_scroll->verticalScrollBar()->sizeHint().width()) / sheetWidthPx;
            break;
        case ZoomMode::Percent:
            scale = m_percent / 100.0 * m_view->logicalDpiX() / 96.0;
            break;
    }
    m_view->setScale(std::max(scale, kMinScale));

    m_syncing = true;
    int item = 0;
    if (m_zoomMode == ZoomMode::PageWidth) {
        item = 1;
    } else if (m_zoomMode == ZoomMode::Percent) {
        item = m_zoomBox->findData(m_percent);
        if (item < 0) {
            // A percentage not in the list joins it, in order, so the box shows what is set.
            item = 2;
            while (item < m_zoomBox->count() && m_zoomBox->itemData(item).toInt() < m_percent)
                ++item;
            m_zoomBox->insertItem(item, QStringLiteral("%1 %").arg(m_percent), m_percent);
        }
    }
    m_zoomBox->setCurrentIndex(item);
    m_syncing = false;
}

void PreviewWindow::updatePageControls() {
    const int count = pageCount();
    m_syncing = true;
    m_pageBox->setRange(1, std::max(1, count));
    m_pageBox->setValue(m_current + 1);
    m_pageBox->setEnabled(count > 1);
    m_pageTotal->setText(QStringLiteral(" / %1 ").arg(count));
    m_pageStatus->setText(count > 0 ? QStringLiteral("Page %1 / %2").arg(m_current + 1).arg(count)
                                    : QString());
    m_firstAction->setEnabled(m_current > 0);
    m_previousAction->setEnabled(m_current > 0);
    m_nextAction->setEnabled(m_current + 1 < count);
    m_lastAction->setEnabled(m_current + 1 < count);
    m_printAction->setEnabled(count > 0);
    m_pdfAction->setEnabled(count > 0);
    m_findAction->setEnabled(count > 0);
    if (count > 0) {
        const QModelIndex index = m_thumbnailModel->index(m_current);
        m_thumbnails->setCurrentIndex(index);
        m_thumbnails->scrollTo(index);
    }
    m_syncing = false;
}

void PreviewWindow::startFind() {
    find(m_findEdit->text());
}

void PreviewWindow::find(const QString& text) {
    stopSearch();
    if (!m_pages || m_failed || text.isEmpty())
        return;
    // The same text again goes on after the match on show; otherwise from the page on show.
    PageSearch::Position from{m_current, 0};
    if (text.compare(m_matchText, Qt::CaseInsensitive) == 0 && m_match.page == m_current)
        from = PageSearch::Position{m_match.page, m_match.box + 1};
    m_matchText = text;
    if (m_findEdit->text() != text)
        m_findEdit->setText(text);
    m_search.start(text, from, pageCount());
    m_searchStatus->setText(QStringLiteral("Recherche de « %1 »…").arg(text));
    m_searchTimer->start();
}

void PreviewWindow::searchStep() {
    if (!m_pages || !m_search.active()) {
        m_searchTimer->stop();
        return;
    }
    bool more = false;
    try {
        more = m_search.step(*m_pages, kSearchSliceMs);
    } catch (const std::exception&) {
        fail();
        return;
    }
    if (more) {
        m_searchStatus->setText(QStringLiteral("Recherche de « %1 »… %2 / %3 pages")
                                    .arg(m_search.text())
                                    .arg(m_search.pagesSearched())
                                    .arg(pageCount()));
        return;
    }
    m_searchTimer->stop();
    const bool found = m_search.found();
    if (found) {
        m_match = m_search.match();
        m_current = m_match.page;
        showCurrentPage();
        if (m_failed)
            return;
        const Box& box = m_view->page()->boxes[size_t(m_match.box)];
        const double scale = m_view->scale();
        m_scroll->ensureVisible(int(PreviewPageView::kMarginPx + box.leftPx * scale),
                                int(PreviewPageView::kMarginPx + box.topPx * scale), 40, 40);
        m_searchStatus->setText(
            QStringLiteral("« %1 » trouvé page %2").arg(m_search.text()).arg(m_match.page + 1));
    } else {
        m_match = PageSearch::Position{-1, -1};
        m_view->setHighlight(QRect());
        m_searchStatus->setText(QStringLiteral("« %1 » introuvable").arg(m_search.text()));
    }
    Q_EMIT searchFinished(found);
}

void PreviewWindow::stopSearch() {
    if (!m_search.active())
        return;
    m_search.stop();
    m_searchTimer->stop();
    m_searchStatus->setText(QStringLiteral("Recherche arrêtée"));
    Q_EMIT searchFinished(false);
}

bool PreviewWindow::searching() const {
    return m_search.active();
}

bool PreviewWindow::printTo(QPrinter& printer) {
    if (!m_pages || m_failed)
        return false;
    const int count = pageCount();
    int first = 0;
    int last = count - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::min(printer.fromPage(), count) - 1;
        last = printer.toPage() > 0 ? std::min(printer.toPage(), count) - 1 : last;
    }
    printer.setFullPage(true);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    bool printed = false;
    try {
        printed =
            paintPages([this](int index) { return m_pages->layOut(index); }, first, last, printer);
    } catch (const std::exception&) {
        QGuiApplication::restoreOverrideCursor();
        fail();
        return false;
    }
    QGuiApplication::restoreOverrideCursor();
    return printed;
}

bool PreviewWindow::saveAsPdf(const QString& fileName) {
    if (!m_pages || m_failed)
        return false;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    bool written = false;
    try {
        written =
            writePdf([this](int index) { return m_pages->layOut(index); }, pageCount(), fileName);
    } catch (const std::exception&) {
        QGuiApplication::restoreOverrideCursor();
        fail();
        return false;
    }
    QGuiApplication::restoreOverrideCursor();
    return written;
}

void PreviewWindow::print() {
    if (!m_pages || m_failed)
        return;
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer);
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, pageCount());
    if (dialog.exec() != QDialog::Accepted || m_closed)
        return;
    if (!printTo(printer) && !m_failed)
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("L'impression n'a pas pu être faite."));
}

void PreviewWindow::savePdf() {
    if (!m_pages || m_failed)
        return;
    QString fileName = QFileDialog::getSaveFileName(this, QStringLiteral("Enregistrer en PDF"),
                                                    m_report.name + QStringLiteral(".pdf"),
                                                    QStringLiteral("Documents PDF (*.pdf)"));
    if (fileName.isEmpty() || m_closed)
        return;
    if (!fileName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        fileName += QStringLiteral(".pdf");
    if (!saveAsPdf(fileName) && !m_failed)
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("Le fichier « %1 » n'a pas pu être écrit.")
                                 .arg(QDir::toNativeSeparators(fileName)));
}

bool PreviewWindow::handleKey(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (modifiers != Qt::NoModifier && modifiers != Qt::ControlModifier)
        return false;
    switch (event->key()) {
        case Qt::Key_PageUp:
            previousPage();
            return true;
        case Qt::Key_PageDown:
            nextPage();
            return true;
        case Qt::Key_Home:
            firstPage();
            return true;
        case Qt::Key_End:
            lastPage();
            return true;
        case Qt::Key_Escape:
            if (searching())
                stopSearch();
            else
                close();
            return true;
        default:
            return false;
    }
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // In the search field only Esc is ours; the other keys edit the text.
        if (watched == m_findEdit && key->key() != Qt::Key_Escape)
            return false;
        if (handleKey(key))
            return true;
    } else if (event->type() == QEvent::Resize && watched == m_scroll->viewport()) {
        if (m_zoomMode != ZoomMode::Percent)
            applyZoom();
    } else if (event->type() == QEvent::Wheel && watched == m_scroll->viewport()) {
        if (wheelTurnsPage(static_cast<QWheelEvent*>(event)))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// The wheel scrolls the page; past its top or bottom it turns to the previous or next page,
// a whole notch at a time so that a touchpad does not race through the report.
bool PreviewWindow::wheelTurnsPage(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    const QScrollBar* bar = m_scroll->verticalScrollBar();
    const bool down = delta < 0;
    if (delta == 0 || (down ? bar->value() < bar->maximum() : bar->value() > bar->minimum())) {
        m_wheelTurn = 0;
        return false;
    }
    if ((m_wheelTurn < 0) != down)
        m_wheelTurn = 0;
    m_wheelTurn += delta;
    if (std::abs(m_wheelTurn) < QWheelEvent::DefaultDeltasPerStep)
        return true;
    m_wheelTurn = 0;
    if (down && m_current + 1 < pageCount()) {
        nextPage();
    } else if (!down && m_current > 0) {
        previousPage();
        m_scroll->verticalScrollBar()->setValue(m_scroll->verticalScrollBar()->maximum());
    }
    return true;
}

void PreviewWindow::keyPressEvent(QKeyEvent* event) {
    if (handleKey(event))
        event->accept();
    else
        QMainWindow::keyPressEvent(event);
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    m_search.stop();
    m_searchTimer->stop();
    releasePages();
    if (!m_closed) {
        m_closed = true;
        Q_EMIT closed();
    }
}

void PreviewWindow::fail() {
    if (m_failed)
        return;
    m_failed = true;
    m_search.stop();
    m_searchTimer->stop();
    // Called from paint events and item views; close once control is back in the event loop.
    QTimer::singleShot(0, this, [this] { close(); });
}

void PreviewWindow::releasePages() {
    m_thumbnailModel->setPages(nullptr);
    m_view->setPage(nullptr, m_pages ? m_pages->sheetWidthPx() : 793.7,
                    m_pages ? m_pages->sheetHeightPx() : 1122.5);
    m_pages.reset();
}

}  // namespace etb::reports

// The preview window of one report: pages through it, zooms, searches its texts, prints it
// and saves it as PDF. Pages are laid out and painted only when shown, so a report of tens of
// thousands of pages opens, pages and jumps to its end at once.
#pragma once

#include "preview_search.h"

#include <QMainWindow>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPrinter;
class QScrollArea;
class QSpinBox;
class QTimer;
class QWheelEvent;

namespace etb::reports {

struct ReportTemplate;
class PageCache;
class PreviewPageView;
class ThumbnailModel;

class PreviewWindow : public QMainWindow {
    Q_OBJECT
public:
    enum class ZoomMode { WholePage, PageWidth, Percent };

    // The template and its data set must outlive the window. Nothing is laid out until
    // build().
    explicit PreviewWindow(ReportTemplate& report, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // "Report Preview : " followed by the report's title, which the templates leave empty.
    static QString titleFor(const QString& reportTitle = {});

    // Shows the window in its normal state at the screen's corner (0,0), 500 x 500 pixels
    // outside its frame where the window system tells the frame's size.
    void showAtOrigin();

    // Lays out the page plan and the first page and shows it. Errors of the layout (a
    // handler, a data read) propagate and leave the window without pages.
    void build();
    bool built() const;

    int pageCount() const;
    int currentPage() const { return m_current; }  // from 0
    ZoomMode zoomMode() const { return m_zoomMode; }
    // The scale in effect, 100 being the sheet's real size at the screen's resolution.
    double zoomPercent() const;
    PreviewPageView* pageView() const { return m_view; }
    QListView* thumbnailView() const { return m_thumbnails; }

    // Searches forward for text (case-blind) from the current page, or from just after the
    // last match when the text is the same; runs in slices from the event loop and ends with
    // searchFinished. Another search or stopSearch() (Esc) stops a running one.
    void find(const QString& text);
    void stopSearch();
    bool searching() const;
    // The page and box of the last match, page -1 when none.
    PageSearch::Position lastMatch() const { return m_match; }

    // Prints the pages in the printer's range (all pages unless it says otherwise) without
    // a dialog; the printer is used as it is set up. False when the printer refused.
    bool printTo(QPrinter& printer);
    // Writes every page to a PDF file, without a dialog. False when it cannot be written.
    bool saveAsPdf(const QString& fileName);

public Q_SLOTS:
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void goToPage(int index);
    void zoomWholePage();
    void zoomPageWidth();
    void setZoomPercent(int percent);
    void print();    // through the print dialog
    void savePdf();  // through a file dialog

Q_SIGNALS:
    // The window was closed (by the user, Esc, or a page that could not be laid out).
    void closed();
    void currentPageChanged(int index);
    void searchFinished(bool found);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createToolBars();
    void fitOuterSize();
    bool handleKey(QKeyEvent* event);
    bool wheelTurnsPage(QWheelEvent* event);
    void showCurrentPage();
    void applyZoom();
    void updatePageControls();
    void searchStep();
    void fail();
    void releasePages();
    void startFind();

    ReportTemplate& m_report;
    std::unique_ptr<PageCache> m_pages;
    ThumbnailModel* m_thumbnailModel = nullptr;
    QListView* m_thumbnails = nullptr;
    QScrollArea* m_scroll = nullptr;
    PreviewPageView* m_view = nullptr;

    QAction* m_firstAction = nullptr;
    QAction* m_previousAction = nullptr;
    QAction* m_nextAction = nullptr;
    QAction* m_lastAction = nullptr;
    QAction* m_printAction = nullptr;
    QAction* m_pdfAction = nullptr;
    QAction* m_closeAction = nullptr;
    QAction* m_findAction = nullptr;
    QSpinBox* m_pageBox = nullptr;
    QLabel* m_pageTotal = nullptr;
    QComboBox* m_zoomBox = nullptr;
    QLineEdit* m_findEdit = nullptr;
    QLabel* m_pageStatus = nullptr;
    QLabel* m_searchStatus = nullptr;

    int m_current = 0;
    ZoomMode m_zoomMode = ZoomMode::WholePage;
    int m_percent = 100;
    bool m_failed = false;
    bool m_closed = false;
    bool m_syncing = false;  // page controls being updated from the current page
    int m_wheelTurn = 0;     // wheel turn gathered past the page's top or bottom

    PageSearch m_search;
    QTimer* m_searchTimer = nullptr;
    PageSearch::Position m_match{-1, -1};
    QString m_matchText;
};

}  // namespace etb::reports

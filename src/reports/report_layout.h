// Band placement: turns a template and its data set into pages of positioned boxes.
//
// Bands have fixed heights, so the page on which each data row lands follows from
// arithmetic; pageCount() needs no handler call, and page(i) runs the handlers only for the
// rows of page i. Nothing is kept per page, so a statement of a million rows costs no more
// memory than one page.
#pragma once

#include "report_model.h"

#include <QString>
#include <vector>

namespace etb::reports {

// One thing to draw, in design pixels from the sheet's top-left corner.
struct Box {
    enum class Kind { Text, Rect };
    Kind kind = Kind::Text;
    QString elementName;
    int leftPx = 0;
    int topPx = 0;
    int widthPx = 0;
    int heightPx = 0;
    // Text boxes.
    QString text;
    FontSpec font;
    HAlign alignment = HAlign::Left;
    bool wordWrap = true;
    bool opaque = true;
    QColor background = Qt::white;
    ReadingOrder readingOrder = ReadingOrder::LeftToRight;
    // Rectangles.
    QColor brushColor = Qt::white;
    QColor penColor = Qt::black;
    int penWidthPx = 1;
};

struct PrintedBand {
    QString bandName;
    int topPx = 0;        // from the sheet's top
    qint64 dataRow = -1;  // the data set's row for a detail band, -1 otherwise
};

struct Page {
    int index = 0;  // from 0
    int widthPx = 0;
    int heightPx = 0;
    double exactWidthPx = 0;  // the sheet's size before rounding (A4: 793.7 x 1122.5)
    double exactHeightPx = 0;
    std::vector<PrintedBand> bands;
    std::vector<Box> boxes;  // in painting order
};

class ReportLayout {
public:
    // Takes the template as it is now; the template and its data set must outlive the
    // layout. Errors of the data set (DataError) or of handlers propagate to the caller.
    // Opens the template's data set when it is closed. The band heights and the data set's
    // row count are taken here; handlers must not change band heights.
    explicit ReportLayout(ReportTemplate& report);

    int pageCount() const;
    // Runs the handlers of the bands on that page, in printing order, and moves the data set
    // to each of the page's rows in turn. index must be in [0, pageCount()).
    Page page(int index);

    // Sheet size in design pixels (A4: 793.7 x 1122.5).
    double sheetWidthPx() const;
    double sheetHeightPx() const;
    // The height between the top and bottom margins (277 mm: 1046.93 px).
    double printableHeightPx() const { return m_printableHeightPx; }

    // Detail printings on the first page and on each further page.
    qint64 linesOnFirstPage() const { return m_firstPageLines; }
    qint64 linesPerFurtherPage() const { return m_furtherPageLines; }
    // The page on which detail printing `line` lands (lines count from 0).
    int pageOfLine(qint64 line) const;

private:
    qint64 firstLineOf(int index) const;
    int placeBand(Page& page, Band& band, int offsetPx, bool runHandler);
    void placeElement(Page& page, Element& element, int bandLeftPx, int bandTopPx);

    ReportTemplate& m_report;
    std::vector<Band*> m_titleBands;
    std::vector<Band*> m_headerBands;
    Band* m_detailBand = nullptr;
    double m_printableHeightPx = 0;
    int m_marginLeftPx = 0;
    int m_marginTopPx = 0;
    int m_bandWidthPx = 0;
    bool m_hasRows = false;  // the data set has rows: one detail line per row
    bool m_headerOnFirstPage = false;
    qint64 m_lineCount = 0;  // detail printings in the whole report
    qint64 m_firstPageLines = 0;
    qint64 m_furtherPageLines = 1;
    int m_pageCount = 1;
};

}  // namespace etb::reports

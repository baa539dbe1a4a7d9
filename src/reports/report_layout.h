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
    std::vector<PrintedBand> bands;
    std::vector<Box> boxes;  // in painting order
};

class ReportLayout {
public:
    // Takes the template as it is now; the template and its data set must outlive the
    // layout. Errors of the data set (DataError) or of handlers propagate to the caller.
    explicit ReportLayout(ReportTemplate& report);

    int pageCount() const;
    Page page(int index);  // runs the handlers of the bands on that page

    // Sheet size in design pixels (A4: 793.7 x 1122.5).
    double sheetWidthPx() const;
    double sheetHeightPx() const;

private:
    ReportTemplate& m_report;
    // (the implementation adds its pagination plan here)
};

}  // namespace etb::reports

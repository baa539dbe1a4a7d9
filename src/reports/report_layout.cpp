// Band placement. The page of every detail line is arithmetic on fixed band heights; only the
// page asked for runs its handlers and reads its rows.
#include "report_layout.h"

#include "data/data_set.h"
#include "data/field.h"
#include "text_metrics.h"

#include <QLocale>
#include <QtMath>
#include <algorithm>
#include <cmath>

namespace etb::reports {

namespace {

int totalHeightPx(const std::vector<Band*>& bands) {
    int total = 0;
    for (const Band* band : bands)
        total += band->heightPx;
    return total;
}

// Lines of heightPx that fit in a page whose bands so far take usedPx. A line that does not
// fit starts a new page, except on a page that holds nothing but its opening bands: a line
// taller than the printable height prints there (a new page would not help), and a line
// that was already moved to a fresh page prints on it whatever its height.
qint64 linesThatFit(double printablePx, int usedPx, int heightPx, bool freshPage) {
    if (usedPx + heightPx > printablePx) {
        if (freshPage || heightPx > printablePx)
            return 1;
        return 0;
    }
    auto lines = static_cast<qint64>(std::floor((printablePx - usedPx) / heightPx));
    while (usedPx + (lines + 1) * heightPx <= printablePx)
        ++lines;
    while (lines > 1 && usedPx + lines * heightPx > printablePx)
        --lines;
    return lines;
}

bool systemIsRightToLeft() {
    return QLocale::system().textDirection() == Qt::RightToLeft;
}

QString columnText(const Element& element) {
    const data::TDataSet* dataSet = element.dataSet;
    if (dataSet == nullptr || !dataSet->active() || dataSet->recNo() < 0)
        return {};
    const data::TField* field = dataSet->findField(element.dataField);
    return field != nullptr ? field->displayText() : QString();
}

}  // namespace

ReportLayout::ReportLayout(ReportTemplate& report) : m_report(report) {
    const PageSetup& setup = report.page;
    m_printableHeightPx =
        (setup.paperHeightMm - setup.topMarginMm - setup.bottomMarginMm) / kMmPerDesignPx;
    m_marginLeftPx = designPxFromMm(setup.leftMarginMm);
    m_marginTopPx = designPxFromMm(setup.topMarginMm);
    m_bandWidthPx = designPxFromMm(setup.paperWidthMm - setup.leftMarginMm - setup.rightMarginMm);

    for (Band& band : report.bands) {
        switch (band.kind) {
            case BandKind::Title:
                m_titleBands.push_back(&band);
                break;
            case BandKind::ColumnHeader:
                m_headerBands.push_back(&band);
                break;
            case BandKind::Detail:
                // A template has one detail band; a further one is ignored.
                if (m_detailBand == nullptr)
                    m_detailBand = &band;
                break;
        }
    }

    qint64 rows = 0;
    if (report.dataSet != nullptr) {
        report.dataSet->open();
        rows = report.dataSet->rowCount();
    }
    m_hasRows = rows > 0;
    m_headerOnFirstPage = m_hasRows;
    if (m_detailBand == nullptr)
        m_lineCount = 0;
    else if (m_hasRows)
        m_lineCount = rows;
    else
        m_lineCount = (report.dataSet == nullptr || setup.printIfEmpty) ? 1 : 0;

    const int firstUsedPx =
        totalHeightPx(m_titleBands) + (m_headerOnFirstPage ? totalHeightPx(m_headerBands) : 0);
    const int furtherUsedPx = totalHeightPx(m_headerBands);
    const int detailPx = m_detailBand != nullptr ? m_detailBand->heightPx : 0;
    if (detailPx <= 0) {
        m_firstPageLines = m_lineCount;
        m_furtherPageLines = 1;
    } else {
        m_firstPageLines = linesThatFit(m_printableHeightPx, firstUsedPx, detailPx, false);
        m_furtherPageLines = linesThatFit(m_printableHeightPx, furtherUsedPx, detailPx, true);
    }
    if (m_lineCount <= m_firstPageLines) {
        m_pageCount = 1;
    } else {
        const qint64 rest = m_lineCount - m_firstPageLines;
        m_pageCount = static_cast<int>(1 + (rest + m_furtherPageLines - 1) / m_furtherPageLines);
    }
}

int ReportLayout::pageCount() const {
    return m_pageCount;
}

double ReportLayout::sheetWidthPx() const {
    return m_report.page.paperWidthMm / kMmPerDesignPx;
}

double ReportLayout::sheetHeightPx() const {
    return m_report.page.paperHeightMm / kMmPerDesignPx;
}

int ReportLayout::pageOfLine(qint64 line) const {
    if (line < m_firstPageLines)
        return 0;
    return static_cast<int>(1 + (line - m_firstPageLines) / m_furtherPageLines);
}

qint64 ReportLayout::firstLineOf(int index) const {
    if (index <= 0)
        return 0;
    return std::min(m_lineCount, m_firstPageLines + (index - 1) * m_furtherPageLines);
}

Page ReportLayout::page(int index) {
    Page result;
    result.index = index;
    result.exactWidthPx = sheetWidthPx();
    result.exactHeightPx = sheetHeightPx();
    result.widthPx = qRound(result.exactWidthPx);
    result.heightPx = qRound(result.exactHeightPx);
    if (index < 0 || index >= m_pageCount)
        return result;

    int offsetPx = 0;
    if (index == 0) {
        for (Band* band : m_titleBands)
            offsetPx = placeBand(result, *band, offsetPx, true);
        if (m_headerOnFirstPage)
            for (Band* band : m_headerBands)
                offsetPx = placeBand(result, *band, offsetPx, true);
    }

    const qint64 first = firstLineOf(index);
    const qint64 end = firstLineOf(index + 1);
    data::TDataSet* dataSet = m_report.dataSet;
    for (qint64 line = first; line < end; ++line) {
        if (m_hasRows)
            dataSet->moveTo(line);
        // The handler runs before the fit test: on a further page it runs before the column
        // header that opens the page.
        if (m_detailBand->beforePrint)
            m_detailBand->beforePrint(*m_detailBand);
        if (index > 0 && line == first)
            for (Band* band : m_headerBands)
                offsetPx = placeBand(result, *band, offsetPx, true);
        offsetPx = placeBand(result, *m_detailBand, offsetPx, false);
        result.bands.back().dataRow = m_hasRows ? line : -1;
    }
    return result;
}

int ReportLayout::placeBand(Page& page, Band& band, int offsetPx, bool runHandler) {
    if (runHandler && band.beforePrint)
        band.beforePrint(band);
    const int topPx = m_marginTopPx + offsetPx;
    page.bands.push_back(PrintedBand{band.name, topPx, -1});
    for (Element& element : band.elements)
        placeElement(page, element, m_marginLeftPx, topPx);
    return offsetPx + band.heightPx;
}

void ReportLayout::placeElement(Page& page, Element& element, int bandLeftPx, int bandTopPx) {
    if (!element.enabled)
        return;
    Box box;
    box.elementName = element.name;
    box.leftPx = bandLeftPx + element.leftPx;
    box.topPx = bandTopPx + element.topPx;
    box.widthPx = element.widthPx;
    box.heightPx = element.heightPx;

    if (element.kind == ElementKind::Shape) {
        box.kind = Box::Kind::Rect;
        box.brushColor = element.brushColor;
        box.penColor = element.penColor;
        box.penWidthPx = element.penWidthPx;
        page.boxes.push_back(std::move(box));
        return;
    }

    box.kind = Box::Kind::Text;
    if (element.kind == ElementKind::Label) {
        box.text = element.caption;
        if (element.onPrint)
            element.onPrint(box.text);
    } else {
        box.text = columnText(element);
    }
    box.font = element.font;
    box.wordWrap = element.wordWrap;
    box.opaque = !element.transparent;
    box.background = element.background;

    int leftPx = element.leftPx;
    int widthPx = element.widthPx;
    if (element.autoSize) {
        const int newWidthPx = qCeil(textWidthPx(element.font, box.text));
        const int changePx = newWidthPx - widthPx;
        if (element.alignment == HAlign::Right)
            leftPx -= changePx;
        else if (element.alignment == HAlign::Center)
            leftPx -= changePx / 2;  // integer division: half the change, toward zero
        widthPx = newWidthPx;
    }
    if (element.alignToBand) {
        if (element.alignment == HAlign::Left)
            leftPx = 0;
        else if (element.alignment == HAlign::Right)
            leftPx = m_bandWidthPx - widthPx;
        else
            leftPx = (m_bandWidthPx - widthPx) / 2;
    }
    box.leftPx = bandLeftPx + leftPx;
    box.widthPx = widthPx;

    // A right-to-left reading order mirrors left and right alignment, and only where the
    // system reads right to left.
    box.alignment = element.alignment;
    box.readingOrder = ReadingOrder::LeftToRight;
    if (element.readingOrder == ReadingOrder::RightToLeft && systemIsRightToLeft()) {
        box.readingOrder = ReadingOrder::RightToLeft;
        if (element.alignment == HAlign::Left)
            box.alignment = HAlign::Right;
        else if (element.alignment == HAlign::Right)
            box.alignment = HAlign::Left;
    }
    page.boxes.push_back(std::move(box));
}

}  // namespace etb::reports

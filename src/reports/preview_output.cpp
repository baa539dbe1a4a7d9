// Printing and PDF output of laid-out pages.
#include "preview_output.h"

#include "page_painter.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

namespace etb::reports {

void setUpPrinter(QPrinter& printer) {
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setFullPage(true);
    printer.setCopyCount(1);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setDuplex(QPrinter::DuplexNone);
    printer.setPaperSource(QPrinter::Auto);
}

bool paintPages(const PageSource& pages, int first, int last, QPagedPaintDevice& device) {
    if (first > last)
        return true;
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const QRectF sheet(0, 0, device.width(), device.height());
    try {
        for (int index = first; index <= last; ++index) {
            if (index > first && !device.newPage()) {
                painter.end();
                return false;
            }
            const Page page = pages(index);
            painter.save();
            paintPage(page, painter, sheet);
            painter.restore();
        }
    } catch (...) {
        painter.end();
        throw;
    }
    return painter.end();
}

bool paintAllPages(ReportLayout& layout, QPagedPaintDevice& device) {
    return paintPages([&layout](int index) { return layout.page(index); }, 0,
                      layout.pageCount() - 1, device);
}

bool writePdf(const PageSource& pages, int pageCount, const QString& fileName) {
    QPdfWriter writer(fileName);
    writer.setCreator(QStringLiteral("etatbudget"));
    writer.setResolution(300);
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    return paintPages(pages, 0, pageCount - 1, writer);
}

bool writePdf(ReportLayout& layout, const QString& fileName) {
    return writePdf([&layout](int index) { return layout.page(index); }, layout.pageCount(),
                    fileName);
}

}  // namespace etb::reports

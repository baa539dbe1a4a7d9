// Printing and PDF output of laid-out pages. Both paint each page with paintPage over the
// whole sheet, as the preview shows it; nothing here opens a dialog.
#pragma once

#include "report_layout.h"

#include <functional>

class QPagedPaintDevice;
class QPrinter;
class QString;

namespace etb::reports {

// Gives the laid-out page for an index from 0. Errors of the layout propagate through it.
using PageSource = std::function<Page(int index)>;

// The reports' print settings: A4 portrait over the full sheet, one copy, all pages, no
// duplex, the printer's automatic paper source. Quality, collation and colour are left at
// the printer's defaults.
void setUpPrinter(QPrinter& printer);

// Paints pages first..last (from 0, inclusive), one per sheet, each filling the device's
// whole page. The device must be set up for a full-sheet page (setUpPrinter, or zero
// margins on a PDF writer). Returns false when the device refuses to be painted on or to
// start a new page; errors of the page source propagate after the painter is ended.
bool paintPages(const PageSource& pages, int first, int last, QPagedPaintDevice& device);
bool paintAllPages(ReportLayout& layout, QPagedPaintDevice& device);

// Writes every page to a PDF file of A4 sheets. Returns false when the file cannot be
// written.
bool writePdf(const PageSource& pages, int pageCount, const QString& fileName);
bool writePdf(ReportLayout& layout, const QString& fileName);

}  // namespace etb::reports

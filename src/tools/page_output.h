// Writing laid-out report pages for the companion: one PDF, or one PNG per page.
#pragma once

#include <QString>
#include <QStringList>

namespace etb::reports {
class ReportLayout;
}

namespace etb::tools {

// Prints message on standard error and returns the failure exit code.
int fail(const QString& message);

// options are {"--pdf", FILE} or {"--png", PREFIX}; checkPageOptions tells whether they are.
bool checkPageOptions(const QStringList& options);

// Writes every page as the preview paints it: FILE as A4 PDF, or PREFIX-1.png, PREFIX-2.png ...
// at 150 dpi. Returns the exit code, with a French message on standard error on failure.
int writePages(reports::ReportLayout& layout, const QStringList& options);

}  // namespace etb::tools

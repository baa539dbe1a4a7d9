// Preview requests: show a template's pages in a preview window and wait for it to close.
#pragma once

namespace etb::reports {

struct ReportTemplate;
class PreviewWindow;

// Opens the template's preview window (not modal), builds its pages and keeps handling the
// application's events until the window closes or the application is ending, then returns.
// Does nothing when this template's window is already open or its pages are being built.
// A template with a data set has it closed and opened again first, so the pages show the
// data as it is now; an error of that reopening propagates (no window opens). An error while
// the pages are built closes the window and is not reported.
void preview(ReportTemplate& report);

// The template's open preview window, nullptr when there is none.
PreviewWindow* previewWindow(const ReportTemplate& report);
// Whether a request for the template has its window open or is building its pages.
bool previewOpen(const ReportTemplate& report);

}  // namespace etb::reports

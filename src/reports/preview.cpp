// Preview requests: one preview window per template at a time, each request waiting in an
// event loop of its own until its window closes or the application ends. A request made
// while another waits nests inside it, so the first returns only after the second.
#include "preview.h"

#include "data/data_set.h"
#include "preview_window.h"
#include "report_model.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHash>
#include <QScopeGuard>
#include <exception>
#include <memory>

namespace etb::reports {

namespace {

// The template's open preview: from the request's start until its window closes.
struct OpenPreview {
    quint64 request = 0;
    PreviewWindow* window = nullptr;  // none while the data set is reopened
};

QHash<const ReportTemplate*, OpenPreview>& openPreviews() {
    static QHash<const ReportTemplate*, OpenPreview> previews;
    return previews;
}

quint64 lastRequest = 0;

// Forgets the template's preview if it is still this request's: a window closed while its
// request waits under another lets a new request for the same template open a window.
void release(const ReportTemplate* report, quint64 request) {
    auto it = openPreviews().find(report);
    if (it != openPreviews().end() && it->request == request)
        openPreviews().erase(it);
}

}  // namespace

PreviewWindow* previewWindow(const ReportTemplate& report) {
    const auto it = openPreviews().constFind(&report);
    return it == openPreviews().constEnd() ? nullptr : it->window;
}

bool previewOpen(const ReportTemplate& report) {
    return openPreviews().contains(&report);
}

void preview(ReportTemplate& report) {
    if (openPreviews().contains(&report))
        return;
    const quint64 request = ++lastRequest;
    openPreviews().insert(&report, OpenPreview{request, nullptr});
    const auto forget = qScopeGuard([&report, request] { release(&report, request); });

    // The statement is read again at each request, so the pages show the table as it is now.
    if (report.dataSet) {
        report.dataSet->close();
        report.dataSet->open();
    }

    // The request owns its window: it is deleted when the request returns, also when the
    // application ends while the window is open.
    auto window = std::make_unique<PreviewWindow>(report);
    openPreviews()[&report].window = window.get();
    QObject::connect(window.get(), &PreviewWindow::closed, window.get(),
                     [&report, request] { release(&report, request); });
    window->showAtOrigin();
    try {
        window->build();
    } catch (const std::exception&) {
        // A handler or a data read failed while the pages were built: the preview closes
        // and the error is not reported.
        window->close();
        return;
    }

    QEventLoop loop;
    QObject::connect(window.get(), &PreviewWindow::closed, &loop, &QEventLoop::quit);
    if (QCoreApplication* application = QCoreApplication::instance()) {
        QObject::connect(application, &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
        if (QCoreApplication::closingDown())
            return;
    }
    if (!window->isVisible())
        return;
    // Returns at once when the application has been told to exit: every loop ends then.
    loop.exec();
}

}  // namespace etb::reports

// Small report templates and an in-memory data set for the preview tests, and helpers to act
// from the event loop while a preview request waits.
#pragma once

#include "data/data_error.h"
#include "data/data_set.h"
#include "data/field.h"
#include "reports/preview_window.h"
#include "reports/report_model.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

namespace etb::testing {

// One text column "v". Every open reads the rows from source, so a test can change what the
// next open finds; failOpen makes open throw as a missing table would.
class TextRows : public data::TDataSet {
public:
    explicit TextRows(std::vector<QString> rows = {}) : source(std::move(rows)) {
        addField<data::TStringField>(QStringLiteral("v"), 40);
    }

    std::vector<QString> source;
    bool failOpen = false;
    int opens = 0;

    bool canModify() const override { return false; }

protected:
    void doOpen() override {
        ++opens;
        if (failOpen)
            throw data::DataError(data::DataError::Kind::NotFound,
                                  QStringLiteral("Table introuvable"));
        m_rows = source;
    }
    void doClose() override { m_rows.clear(); }
    qint64 storedRowCount() const override { return qint64(m_rows.size()); }
    QVariant storedValue(qint64 row, int) const override { return m_rows[size_t(row)]; }

private:
    std::vector<QString> m_rows;
};

// "L0000.", "L0001.", ...: texts no one of which contains another.
inline std::vector<QString> numberedRows(int count) {
    std::vector<QString> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(QStringLiteral("L%1.").arg(i, 4, 10, QLatin1Char('0')));
    return rows;
}

// A title band with one label, and, with a data set, a detail band printing its column "v"
// once per row; detailHeightPx sets how many lines fit a page.
inline reports::ReportTemplate textTemplate(const QString& name, data::TDataSet* rows = nullptr,
                                            int detailHeightPx = 40) {
    using namespace reports;
    ReportTemplate report;
    report.name = name;
    report.dataSet = rows;

    Band title;
    title.name = name + QStringLiteral("Title");
    title.kind = BandKind::Title;
    title.heightPx = 30;
    Element caption;
    caption.name = name + QStringLiteral("Caption");
    caption.kind = ElementKind::Label;
    caption.leftPx = 10;
    caption.topPx = 5;
    caption.widthPx = 300;
    caption.heightPx = 20;
    caption.caption = QStringLiteral("Titre ") + name;
    title.add(caption);
    report.add(std::move(title));

    Band detail;
    detail.name = name + QStringLiteral("Detail");
    detail.kind = BandKind::Detail;
    detail.heightPx = detailHeightPx;
    Element text;
    text.name = name + QStringLiteral("Text");
    text.kind = rows ? ElementKind::DataText : ElementKind::Label;
    text.leftPx = 10;
    text.topPx = 2;
    text.widthPx = 200;
    text.heightPx = 17;
    text.dataSet = rows;
    text.dataField = QStringLiteral("v");
    text.caption = QStringLiteral("sans données");
    detail.add(text);
    report.add(std::move(detail));
    return report;
}

inline std::vector<reports::PreviewWindow*> openPreviewWindows() {
    std::vector<reports::PreviewWindow*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<reports::PreviewWindow*>(widget))
            if (window->isVisible())
                windows.push_back(window);
    return windows;
}

inline void closePreviewWindows() {
    for (reports::PreviewWindow* window : openPreviewWindows())
        window->close();
}

// Runs action once the event loop handles events again (inside a waiting request).
inline void later(std::function<void()> action, int delayMs = 0) {
    QTimer::singleShot(delayMs, std::move(action));
}

// Handles events for up to timeoutMs or until done() holds.
inline bool processEventsUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    if (!done())
        loop.exec();
    return done();
}

// QCoreApplication::exit() also stops event loops started later, until the application's own
// loop has run and ended once; run it for a moment so the next test starts clean.
inline void recoverFromExit() {
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

}  // namespace etb::testing

// Preview speed on the statement report: from the request (data set read again, window made,
// pages planned) to the window with its first page painted, for statements of a thousand and
// a million rows; painting a page near the end of a 27,000-page statement; and a text search
// through all of its pages.
#include "data/data_set.h"
#include "data/field.h"
#include "reports/form2.h"
#include "reports/preview_page_cache.h"
#include "reports/preview_page_view.h"
#include "reports/preview_search.h"
#include "reports/preview_window.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QImage>
#include <QPixmap>

namespace {

using namespace etb;

// A statement result made on demand: a total line, then 49 detail lines, per type.
class GeneratedStatement : public data::TDataSet {
public:
    explicit GeneratedStatement(qint64 rows) : m_rows(rows) {
        addField<data::TFloatField>(QStringLiteral("N"));
        addField<data::TStringField>(QStringLiteral("type"), 8);
        addField<data::TStringField>(QStringLiteral("MIN OF chp"), 3);
        addField<data::TStringField>(QStringLiteral("MIN OF art"), 3);
        addField<data::TFloatField>(QStringLiteral("SUM OF montant"));
    }
    bool canModify() const override { return false; }

protected:
    void doOpen() override {}
    void doClose() override {}
    qint64 storedRowCount() const override { return m_rows; }
    QVariant storedValue(qint64 row, int field) const override {
        const bool total = row % 50 == 0;
        switch (field) {
            case 0:
                return total ? 0.0 : 1.0;
            case 1:
                return (row / 50) % 2 ? QStringLiteral("RECETTE") : QStringLiteral("DEPENSE");
            case 2:
                return QStringLiteral("900");
            case 3:
                return QString::number(row % 50 + 100);
            default:
                return total ? 4900.0 : 100.0 + double(row % 7) / 4;
        }
    }

private:
    qint64 m_rows;
};

// What a preview request does up to its first page on screen, without waiting for the close.
void BM_RequestToFirstPage(benchmark::State& state) {
    GeneratedStatement q1(state.range(0));
    reports::TForm2 form2(&q1);
    for (auto _ : state) {
        q1.close();
        q1.open();
        reports::PreviewWindow window(form2.QuickRep2);
        window.showAtOrigin();
        window.build();
        const QPixmap shown = window.grab();
        benchmark::DoNotOptimize(shown.cacheKey());
        state.counters["pages"] = window.pageCount();
        window.close();
    }
}
BENCHMARK(BM_RequestToFirstPage)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Jumping to a page far into a long statement and painting it; each iteration takes another
// page, so none comes from the window's cache of recent pages.
void BM_PaintPageNearTheEnd(benchmark::State& state) {
    GeneratedStatement q1(1000000);
    q1.open();
    reports::TForm2 form2(&q1);
    reports::PreviewWindow window(form2.QuickRep2);
    window.showAtOrigin();
    window.build();
    const int target = std::min(27000, window.pageCount()) - 1;
    int step = 0;
    for (auto _ : state) {
        window.goToPage(target - (step++ % 500));
        const QPixmap page = window.pageView()->grab();
        benchmark::DoNotOptimize(page.cacheKey());
    }
    state.counters["pages"] = window.pageCount();
    state.counters["page"] = target + 1;
    window.close();
}
BENCHMARK(BM_PaintPageNearTheEnd)->Unit(benchmark::kMillisecond)->UseRealTime();

// Searching the laid-out texts of every page of a 27,000-page statement for a text that is not
// there: the whole work the preview spreads over slices of its event loop.
void BM_SearchEveryPage(benchmark::State& state) {
    GeneratedStatement q1(1000000);
    q1.open();
    reports::TForm2 form2(&q1);
    reports::PageCache pages(form2.QuickRep2);
    for (auto _ : state) {
        reports::PageSearch search;
        search.start(QStringLiteral("introuvable"), {}, pages.pageCount());
        while (search.step(pages, 1000)) {
        }
        benchmark::DoNotOptimize(search.found());
    }
    state.counters["pages"] = pages.pageCount();
}
BENCHMARK(BM_SearchEveryPage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

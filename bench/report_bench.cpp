// Statement report speed: page count, and laying out and painting one page, for statements
// of 1,000 to 1,000,000 rows over an in-memory result. Peak memory is reported as counters
// (ru_maxrss before and after, in MB); run one size per process for clean figures:
//   report_bench --benchmark_filter='/1000000'
#include "../tests/reports/fake_statement.h"
#include "reports/form2.h"
#include "reports/page_painter.h"
#include "reports/report_layout.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

using namespace etb::reports;

namespace {

double maxRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void paintTo96DpiImage(const Page& page) {
    QImage image(794, 1123, QImage::Format_RGB32);
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    QPainter painter(&image);
    paintPage(page, painter, QRectF(0, 0, page.exactWidthPx, page.exactHeightPx));
}

void BM_PageCount(benchmark::State& state) {
    const double before = maxRssMb();
    etb::testing::FakeStatement data(state.range(0), etb::testing::generatedRow);
    TForm2 form(&data);
    int pages = 0;
    for (auto _ : state) {
        ReportLayout layout(form.QuickRep2);
        pages = layout.pageCount();
        benchmark::DoNotOptimize(pages);
    }
    state.counters["pages"] = pages;
    state.counters["rss_before_MB"] = before;
    state.counters["rss_after_MB"] = maxRssMb();
}

// Lays out and paints the first page (first == true) or the last, from a fresh layout.
void pageBenchmark(benchmark::State& state, bool first) {
    const double before = maxRssMb();
    etb::testing::FakeStatement data(state.range(0), etb::testing::generatedRow);
    TForm2 form(&data);
    for (auto _ : state) {
        ReportLayout layout(form.QuickRep2);
        const Page page = layout.page(first ? 0 : layout.pageCount() - 1);
        paintTo96DpiImage(page);
        benchmark::DoNotOptimize(page.boxes.data());
    }
    state.counters["rss_before_MB"] = before;
    state.counters["rss_after_MB"] = maxRssMb();
}

void BM_FirstPage(benchmark::State& state) {
    pageBenchmark(state, true);
}
void BM_LastPage(benchmark::State& state) {
    pageBenchmark(state, false);
}

}  // namespace

BENCHMARK(BM_PageCount)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FirstPage)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LastPage)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

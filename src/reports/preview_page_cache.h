// The preview's access to a report's pages: the layout plan plus a few recently laid-out
// pages, so that paging back and forth and repainting do not lay a page out again. Pages are
// laid out only when asked for, so a report of thousands of pages costs one page at a time.
#pragma once

#include "report_layout.h"

#include <list>
#include <memory>
#include <utility>

namespace etb::reports {

class PageCache {
public:
    // Builds the layout plan of the template as it is now; errors of the layout propagate.
    // The template and its data set must outlive the cache.
    explicit PageCache(ReportTemplate& report, int capacity = 8);

    int pageCount() const { return m_pageCount; }
    double sheetWidthPx() const { return m_layout.sheetWidthPx(); }
    double sheetHeightPx() const { return m_layout.sheetHeightPx(); }

    // The page at index (from 0, clamped to the pages there are), laid out on first use and
    // kept among the most recent. Errors of the layout (a handler, a data read) propagate.
    std::shared_ptr<const Page> page(int index);

    // Lays the page out without keeping it (searching and printing walk every page).
    Page layOut(int index);

private:
    ReportLayout m_layout;
    int m_pageCount = 0;
    int m_capacity;
    std::list<std::pair<int, std::shared_ptr<const Page>>> m_recent;  // most recent first
};

}  // namespace etb::reports

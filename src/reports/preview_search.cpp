// Text search over laid-out pages.
#include "preview_search.h"

#include "preview_page_cache.h"

#include <QElapsedTimer>
#include <algorithm>

namespace etb::reports {

void PageSearch::start(const QString& text, Position from, int pageCount) {
    m_text = text;
    m_pageCount = pageCount;
    m_from = from;
    if (m_from.page < 0 || m_from.page >= pageCount)
        m_from = Position{};
    m_visited = 0;
    m_found = false;
    m_match = Position{};
    m_active = !text.isEmpty() && pageCount > 0;
}

bool PageSearch::step(PageCache& pages, int budgetMs) {
    if (!m_active)
        return false;
    QElapsedTimer clock;
    clock.start();
    try {
        // The start page is looked at first from the start box on, and once more at the end
        // for the boxes before it, so a search goes exactly once round the report.
        while (m_visited <= m_pageCount) {
            const int pageIndex = (m_from.page + m_visited) % m_pageCount;
            const bool head = m_visited == 0;
            const bool tail = m_visited == m_pageCount;
            const Page page = pages.layOut(pageIndex);
            const int firstBox = head ? m_from.box : 0;
            const int endBox =
                tail ? std::min<int>(m_from.box, int(page.boxes.size())) : int(page.boxes.size());
            ++m_visited;
            for (int box = firstBox; box < endBox; ++box) {
                const Box& candidate = page.boxes[size_t(box)];
                if (candidate.kind == Box::Kind::Text &&
                    candidate.text.contains(m_text, Qt::CaseInsensitive)) {
                    m_found = true;
                    m_match = Position{pageIndex, box};
                    m_active = false;
                    return false;
                }
            }
            if (m_visited <= m_pageCount && clock.elapsed() >= budgetMs)
                return true;
        }
    } catch (...) {
        m_active = false;
        throw;
    }
    m_active = false;
    return false;
}

}  // namespace etb::reports

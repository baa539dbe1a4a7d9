// The preview's page cache.
#include "preview_page_cache.h"

#include <algorithm>

namespace etb::reports {

PageCache::PageCache(ReportTemplate& report, int capacity)
    : m_layout(report), m_capacity(std::max(1, capacity)) {
    m_pageCount = m_layout.pageCount();
}

std::shared_ptr<const Page> PageCache::page(int index) {
    index = std::clamp(index, 0, std::max(0, m_pageCount - 1));
    for (auto it = m_recent.begin(); it != m_recent.end(); ++it) {
        if (it->first == index) {
            m_recent.splice(m_recent.begin(), m_recent, it);
            return m_recent.front().second;
        }
    }
    auto laidOut = std::make_shared<const Page>(m_layout.page(index));
    m_recent.emplace_front(index, laidOut);
    if (static_cast<int>(m_recent.size()) > m_capacity)
        m_recent.pop_back();
    return laidOut;
}

Page PageCache::layOut(int index) {
    for (const auto& [cachedIndex, cached] : m_recent)
        if (cachedIndex == index)
            return *cached;
    return m_layout.page(index);
}

}  // namespace etb::reports

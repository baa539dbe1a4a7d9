// Text search over a report's laid-out texts. A search lays pages out one by one, forward
// from where it starts and round to it again, and is advanced a slice at a time so that the
// event loop keeps running on a report of thousands of pages.
#pragma once

#include <QString>

namespace etb::reports {

class PageCache;

class PageSearch {
public:
    struct Position {
        int page = 0;  // from 0
        int box = 0;   // index in the page's boxes
    };

    // Starts a search for text (case-blind) at from, inclusive, over pageCount pages.
    void start(const QString& text, Position from, int pageCount);
    void stop() { m_active = false; }
    bool active() const { return m_active; }

    // Lays out pages until a match, the end of the search or budgetMs milliseconds. Returns
    // true while the search goes on. Errors of the layout propagate and stop the search.
    bool step(PageCache& pages, int budgetMs);

    bool found() const { return m_found; }
    Position match() const { return m_match; }  // valid when found()
    const QString& text() const { return m_text; }
    int pagesSearched() const { return m_visited; }

private:
    QString m_text;
    Position m_from;
    int m_pageCount = 0;
    int m_visited = 0;  // pages looked at so far; the start page counts twice (head, tail)
    bool m_active = false;
    bool m_found = false;
    Position m_match;
};

}  // namespace etb::reports

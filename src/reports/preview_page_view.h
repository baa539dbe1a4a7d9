// The preview's page area: paints the one page on show, at the window's zoom, on a grey
// desk with a small margin, and marks a search match.
#pragma once

#include "report_layout.h"

#include <QRect>
#include <QWidget>
#include <memory>

namespace etb::reports {

class PreviewPageView : public QWidget {
public:
    static constexpr int kMarginPx = 10;  // desk around the sheet, in screen pixels

    explicit PreviewPageView(QWidget* parent = nullptr);

    // The page to show (nullptr: none) on a sheet of the given size in design pixels.
    void setPage(std::shared_ptr<const Page> page, double sheetWidthPx, double sheetHeightPx);
    const Page* page() const { return m_page.get(); }

    // Screen pixels per design pixel; the widget takes the sheet's size at that scale.
    void setScale(double scale);
    double scale() const { return m_scale; }

    // A rectangle in design pixels of the sheet to mark; an empty one marks nothing.
    void setHighlight(const QRect& sheetRectPx);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF sheetRect() const;

    std::shared_ptr<const Page> m_page;
    double m_sheetWidthPx = 793.7;
    double m_sheetHeightPx = 1122.5;
    double m_scale = 1.0;
    QRect m_highlight;
};

}  // namespace etb::reports

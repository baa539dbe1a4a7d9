// The preview's page area.
#include "preview_page_view.h"

#include "page_painter.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace etb::reports {

PreviewPageView::PreviewPageView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(sizeHint());
}

void PreviewPageView::setPage(std::shared_ptr<const Page> page, double sheetWidthPx,
                              double sheetHeightPx) {
    m_page = std::move(page);
    m_sheetWidthPx = sheetWidthPx;
    m_sheetHeightPx = sheetHeightPx;
    m_highlight = QRect();
    setFixedSize(sizeHint());
    update();
}

void PreviewPageView::setScale(double scale) {
    if (scale <= 0 || scale == m_scale)
        return;
    m_scale = scale;
    setFixedSize(sizeHint());
    update();
}

void PreviewPageView::setHighlight(const QRect& sheetRectPx) {
    m_highlight = sheetRectPx;
    update();
}

QSize PreviewPageView::sizeHint() const {
    return QSize(int(std::ceil(m_sheetWidthPx * m_scale)) + 2 * kMarginPx,
                 int(std::ceil(m_sheetHeightPx * m_scale)) + 2 * kMarginPx);
}

QRectF PreviewPageView::sheetRect() const {
    return QRectF(kMarginPx, kMarginPx, m_sheetWidthPx * m_scale, m_sheetHeightPx * m_scale);
}

void PreviewPageView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Dark));
    const QRectF sheet = sheetRect();
    painter.fillRect(sheet.translated(3, 3), QColor(0, 0, 0, 60));
    painter.fillRect(sheet, Qt::white);
    if (!m_page)
        return;
    painter.setRenderHint(QPainter::Antialiasing, m_scale < 1.0);
    painter.save();
    painter.setClipRect(sheet);
    paintPage(*m_page, painter, sheet);
    painter.restore();
    if (!m_highlight.isEmpty()) {
        const QRectF mark(sheet.left() + m_highlight.left() * m_scale,
                          sheet.top() + m_highlight.top() * m_scale, m_highlight.width() * m_scale,
                          m_highlight.height() * m_scale);
        painter.setPen(QPen(QColor(230, 120, 0), 2));
        painter.setBrush(QColor(255, 220, 0, 90));
        painter.drawRect(mark.adjusted(-2, -2, 2, 2));
    }
}

}  // namespace etb::reports

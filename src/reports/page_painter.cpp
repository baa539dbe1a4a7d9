// Paints a laid-out page: design pixels scaled onto whatever device the painter draws on.
#include "page_painter.h"

#include "text_metrics.h"

#include <QFont>
#include <QFontDatabase>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <QTransform>
#include <algorithm>

namespace etb::reports {

namespace {

// The face that stands in for a family missing on this system. Liberation Sans has Arial's
// metrics, so texts keep their widths.
QString availableFamily(const QString& family) {
    static const QStringList families = QFontDatabase::families();
    if (families.contains(family, Qt::CaseInsensitive))
        return family;
    const QString fallback = QStringLiteral("Liberation Sans");
    if (families.contains(fallback, Qt::CaseInsensitive))
        return fallback;
    return family;
}

// Rectangles are drawn in device pixels, their edges snapped to whole pixels, so that two
// shapes that overlap by one design pixel share one outline at any resolution, and an
// outline is at least one device pixel wide.
void paintRect(const Box& box, QPainter& painter) {
    const QTransform toDevice = painter.combinedTransform();
    const QRectF mapped =
        toDevice.mapRect(QRectF(box.leftPx, box.topPx, box.widthPx, box.heightPx));
    const int left = qRound(mapped.left());
    const int top = qRound(mapped.top());
    const int right = std::max(left + 1, qRound(mapped.right()));
    const int bottom = std::max(top + 1, qRound(mapped.bottom()));

    painter.save();
    painter.setViewTransformEnabled(false);
    painter.setWorldTransform(QTransform());
    painter.fillRect(QRect(left, top, right - left, bottom - top), box.brushColor);
    if (box.penWidthPx > 0) {
        const int pen = std::max(1, qRound(box.penWidthPx * toDevice.m11()));
        const int penWidth = std::min(pen, right - left);
        const int penHeight = std::min(pen, bottom - top);
        painter.fillRect(QRect(left, top, penWidth, bottom - top), box.penColor);
        painter.fillRect(QRect(right - penWidth, top, penWidth, bottom - top), box.penColor);
        painter.fillRect(QRect(left, top, right - left, penHeight), box.penColor);
        painter.fillRect(QRect(left, bottom - penHeight, right - left, penHeight), box.penColor);
    }
    painter.restore();
}

void paintText(const Box& box, QPainter& painter) {
    const QRectF outer(box.leftPx, box.topPx, box.widthPx, box.heightPx);
    if (box.opaque)
        painter.fillRect(outer, box.background);
    if (box.text.isEmpty())
        return;
    // Lines are broken against the 96-dpi design device, as the layout measured them; the
    // painter's transform then scales them to its device.
    QTextLayout layout(layoutText(box.text), fontFor(box.font), designDevice());
    layOutText(layout, box.widthPx, box.alignment, box.wordWrap,
               box.readingOrder == ReadingOrder::RightToLeft);
    painter.setPen(box.font.color);
    layout.draw(&painter, outer.topLeft());
}

}  // namespace

QFont fontFor(const FontSpec& fontSpec) {
    QFont font(availableFamily(fontSpec.family));
    font.setPointSizeF(fontSpec.pointSize);
    font.setBold(fontSpec.bold);
    font.setItalic(false);
    font.setUnderline(false);
    font.setKerning(true);
    // Unhinted glyphs scale linearly, so widths measured at 96 dpi hold at any resolution.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

void paintPage(const Page& page, QPainter& painter, const QRectF& target) {
    const double sheetWidthPx = page.exactWidthPx > 0 ? page.exactWidthPx : page.widthPx;
    const double sheetHeightPx = page.exactHeightPx > 0 ? page.exactHeightPx : page.heightPx;
    if (sheetWidthPx <= 0 || sheetHeightPx <= 0 || target.isEmpty())
        return;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.fillRect(target, Qt::white);
    painter.setClipRect(target, Qt::IntersectClip);
    painter.translate(target.topLeft());
    painter.scale(target.width() / sheetWidthPx, target.height() / sheetHeightPx);
    for (const Box& box : page.boxes) {
        if (box.kind == Box::Kind::Rect)
            paintRect(box, painter);
        else
            paintText(box, painter);
    }
    painter.restore();
}

}  // namespace etb::reports

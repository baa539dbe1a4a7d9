// Text measurement and line breaking against a 96-dpi reference device.
#include "text_metrics.h"

#include "page_painter.h"

#include <QImage>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>

namespace etb::reports {

QPaintDevice* designDevice() {
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMeter = qRound(96.0 / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return &device;
}

QString layoutText(const QString& text) {
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    result.replace(QLatin1Char('\n'), QChar::LineSeparator);
    result.replace(QLatin1Char('\r'), QChar::LineSeparator);
    return result;
}

double textWidthPx(const FontSpec& font, const QString& text) {
    QTextLayout layout(layoutText(text), fontFor(font), designDevice());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    double widest = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(1e9);  // no wrapping: each line ends at a line break
        widest = std::max(widest, line.naturalTextWidth());
    }
    layout.endLayout();
    return widest;
}

void layOutText(QTextLayout& layout, double widthPx, HAlign alignment, bool wordWrap,
                bool rightToLeft) {
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (alignment == HAlign::Center)
        horizontal = Qt::AlignHCenter;
    else if (alignment == HAlign::Right)
        horizontal = Qt::AlignRight;
    QTextOption option(horizontal | Qt::AlignAbsolute);
    option.setWrapMode(wordWrap ? QTextOption::WordWrap : QTextOption::NoWrap);
    option.setTextDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    layout.setTextOption(option);
    double y = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(widthPx);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
}

}  // namespace etb::reports

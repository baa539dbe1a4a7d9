// Text measurement in design pixels, shared by the layout (auto-size) and the painter, so that
// a label measured to fit its text paints on one line at any resolution.
#pragma once

#include "report_model.h"

#include <QString>

class QPaintDevice;
class QTextLayout;

namespace etb::reports {

// A 96-dpi device: one of its pixels is one design pixel. Texts are measured and laid out
// against it; the painter scales the result to its own device.
QPaintDevice* designDevice();

// The text as the layout engine reads it: line breaks become line separators.
QString layoutText(const QString& text);

// The width of the widest line of text, in design pixels (unrounded).
double textWidthPx(const FontSpec& font, const QString& text);

// Breaks text into lines inside a box widthPx wide (at word boundaries when wordWrap), each
// line aligned in the box. Positions are design pixels from the box's top-left corner.
void layOutText(QTextLayout& layout, double widthPx, HAlign alignment, bool wordWrap,
                bool rightToLeft);

}  // namespace etb::reports

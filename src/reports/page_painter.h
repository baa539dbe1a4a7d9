// Paints one laid-out page on any QPainter: screen, printer, PDF or image.
#pragma once

#include "report_layout.h"

class QFont;
class QPainter;
class QRectF;

namespace etb::reports {

// Draws the page into target (in the painter's coordinates), scaling design pixels to fit
// the sheet to target. The same function serves the preview, the printer, PDF and PNG.
void paintPage(const Page& page, QPainter& painter, const QRectF& target);

// The font a FontSpec stands for: Arial, or a metric-compatible face where it is missing.
// Its point size is for a 96-dpi device; paintPage adapts it to the painter's device.
QFont fontFor(const FontSpec& fontSpec);

}  // namespace etb::reports

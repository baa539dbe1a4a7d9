// The window font: MS Sans Serif 8 pt, 11 pixels high whatever the screen's resolution, with
// close sans-serif faces where the desktop lacks it.
#pragma once

#include <QFont>

namespace etb::app {

inline constexpr int kFontPixelSize = 11;

QFont sansSerifFont(bool bold = false);

}  // namespace etb::app

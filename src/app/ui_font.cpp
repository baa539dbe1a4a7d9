// The window font and its stand-ins.
#include "ui_font.h"

#include <QStringList>

namespace etb::app {

QFont sansSerifFont(bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kFontPixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace etb::app

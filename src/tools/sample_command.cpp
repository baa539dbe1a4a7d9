// sample --pdf FILE | --png PREFIX: the fixed sample page.
#include "commands.h"

#include <QTextStream>

namespace etb::tools {

int commandSample(const QStringList&) {
    QTextStream(stderr) << QStringLiteral("Page d'exemple : pas encore disponible.\n");
    return 1;
}

}  // namespace etb::tools

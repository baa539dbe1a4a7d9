// statement DIR --pdf FILE | --png PREFIX: the statement's pages.
#include "commands.h"

#include <QTextStream>

namespace etb::tools {

int renderStatement(const QString&, const QStringList&) {
    QTextStream(stderr) << QStringLiteral("Impression de l'état : pas encore disponible.\n");
    return 1;
}

}  // namespace etb::tools

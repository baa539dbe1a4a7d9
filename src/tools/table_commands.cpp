// create, import, export and statement (text): the table commands.
#include "commands.h"

#include <QTextStream>

namespace etb::tools {

namespace {
int notYet() {
    QTextStream(stderr) << QStringLiteral("Commande pas encore disponible.\n");
    return 1;
}
}  // namespace

int commandCreate(const QStringList&) { return notYet(); }
int commandImport(const QStringList&) { return notYet(); }
int commandExport(const QStringList&) { return notYet(); }
int commandStatement(const QStringList&) { return notYet(); }

}  // namespace etb::tools

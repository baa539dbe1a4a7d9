// etatbudget-table: a command-line companion to the program, for users and tests.
#include "commands.h"

#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

namespace {

int usage() {
    QTextStream err(stderr);
    err << QStringLiteral(
        "Utilisation : etatbudget-table COMMANDE ...\n"
        "  create DIR                       crée une table de mouvements vide\n"
        "  import DIR FICHIER.csv           ajoute les lignes d'un fichier CSV\n"
        "  export DIR                       écrit les mouvements en CSV\n"
        "  statement DIR                    écrit les lignes de l'état\n"
        "  statement DIR --pdf FICHIER      imprime l'état en PDF\n"
        "  statement DIR --png PREFIXE      imprime l'état en images PNG\n"
        "  sample --pdf FICHIER | --png PREFIXE   imprime la page d'exemple\n");
    return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Reports need fonts, hence a GUI application object; no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    if (command == QLatin1String("create"))
        return etb::tools::commandCreate(args);
    if (command == QLatin1String("import"))
        return etb::tools::commandImport(args);
    if (command == QLatin1String("export"))
        return etb::tools::commandExport(args);
    if (command == QLatin1String("statement"))
        return etb::tools::commandStatement(args);
    if (command == QLatin1String("sample"))
        return etb::tools::commandSample(args);
    return usage();
}

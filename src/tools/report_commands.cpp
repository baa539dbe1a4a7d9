// statement DIR --pdf FILE | --png PREFIX: the statement's pages, painted as the preview
// paints them.
#include "commands.h"
#include "page_output.h"

#include "data/data_error.h"
#include "data/query.h"
#include "data/statement.h"
#include "reports/form2.h"
#include "reports/report_layout.h"

#include <exception>

namespace etb::tools {

int renderStatement(const QString& directory, const QStringList& options) {
    if (!checkPageOptions(options))
        return fail(QStringLiteral(
            "Utilisation : etatbudget-table statement DIR --pdf FICHIER | --png PREFIXE"));
    try {
        data::TQuery query;
        data::configureStatementQuery(query, directory);
        query.open();
        reports::TForm2 form2(&query);
        reports::ReportLayout layout(form2.QuickRep2);
        return writePages(layout, options);
    } catch (const data::DataError& error) {
        return fail(error.message());
    } catch (const std::exception& error) {
        return fail(QStringLiteral("Erreur : %1").arg(QString::fromUtf8(error.what())));
    }
}

}  // namespace etb::tools

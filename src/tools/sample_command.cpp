// sample --pdf FILE | --png PREFIX: the fixed sample page, painted as the preview paints it.
#include "commands.h"
#include "page_output.h"

#include "reports/form2.h"
#include "reports/report_layout.h"

#include <exception>

namespace etb::tools {

int commandSample(const QStringList& args) {
    if (!checkPageOptions(args))
        return fail(QStringLiteral(
            "Utilisation : etatbudget-table sample --pdf FICHIER | --png PREFIXE"));
    try {
        reports::ReportTemplate sample;
        reports::buildQuickRep1(sample);
        reports::ReportLayout layout(sample);
        return writePages(layout, args);
    } catch (const std::exception& error) {
        return fail(QStringLiteral("Erreur : %1").arg(QString::fromUtf8(error.what())));
    }
}

}  // namespace etb::tools

// statement DIR --pdf FILE | --png PREFIX: the statement's pages, painted as the preview
// paints them.
#include "commands.h"

#include "data/data_error.h"
#include "data/query.h"
#include "data/statement.h"
#include "reports/form2.h"
#include "reports/page_painter.h"
#include "reports/report_layout.h"

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextStream>
#include <exception>

namespace etb::tools {

namespace {

constexpr int kPngDpi = 150;

int fail(const QString& message) {
    QTextStream(stderr) << message << QLatin1Char('\n');
    return 1;
}

bool writePdf(reports::ReportLayout& layout, const QString& fileName) {
    QPdfWriter writer(fileName);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    writer.setCreator(QStringLiteral("etatbudget"));
    writer.setTitle(QStringLiteral("ETAT DE MOUVEMENT BUDGETAIRE"));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    const QRectF sheet(0, 0, writer.width(), writer.height());
    for (int index = 0; index < layout.pageCount(); ++index) {
        if (index > 0)
            writer.newPage();
        reports::paintPage(layout.page(index), painter, sheet);
    }
    return painter.end();
}

// The first page whose image could not be written, or 0 when all were.
int writePngs(reports::ReportLayout& layout, const QString& prefix) {
    const int dotsPerMeter = qRound(kPngDpi / 0.0254);
    const QSize size(qRound(layout.sheetWidthPx() * kPngDpi / 96.0),
                     qRound(layout.sheetHeightPx() * kPngDpi / 96.0));
    for (int index = 0; index < layout.pageCount(); ++index) {
        QImage image(size, QImage::Format_RGB32);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            reports::paintPage(layout.page(index), painter, QRectF(QPointF(0, 0), size));
        }
        const QString fileName = prefix + QStringLiteral("-%1.png").arg(index + 1);
        if (!image.save(fileName, "PNG"))
            return index + 1;
    }
    return 0;
}

}  // namespace

int renderStatement(const QString& directory, const QStringList& options) {
    if (options.size() != 2 ||
        (options[0] != QLatin1String("--pdf") && options[0] != QLatin1String("--png")) ||
        options[1].isEmpty())
        return fail(QStringLiteral(
            "Utilisation : etatbudget-table statement DIR --pdf FICHIER | --png PREFIXE"));
    const bool pdf = options[0] == QLatin1String("--pdf");
    const QString output = options[1];

    try {
        data::TQuery query;
        data::configureStatementQuery(query, directory);
        query.open();
        reports::TForm2 form2(&query);
        reports::ReportLayout layout(form2.QuickRep2);
        if (pdf) {
            if (!writePdf(layout, output))
                return fail(QStringLiteral("Impossible d'écrire le fichier PDF '%1'.").arg(output));
        } else if (const int failed = writePngs(layout, output); failed != 0) {
            return fail(QStringLiteral("Impossible d'écrire l'image de la page %1 ('%2-%1.png').")
                            .arg(failed)
                            .arg(output));
        }
    } catch (const data::DataError& error) {
        return fail(error.message());
    } catch (const std::exception& error) {
        return fail(QStringLiteral("Erreur : %1").arg(QString::fromUtf8(error.what())));
    }
    return 0;
}

}  // namespace etb::tools

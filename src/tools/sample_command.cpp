// sample --pdf FILE | --png PREFIX: the fixed sample page, painted as the preview paints it.
#include "commands.h"

#include "reports/form2.h"
#include "reports/page_painter.h"
#include "reports/preview_output.h"
#include "reports/report_layout.h"

#include <QImage>
#include <QPainter>
#include <QTextStream>
#include <exception>

namespace etb::tools {

namespace {

constexpr int kPngDpi = 150;

int fail(const QString& message) {
    QTextStream(stderr) << message << QLatin1Char('\n');
    return 1;
}

// PREFIX-1.png, PREFIX-2.png, ...; the number of the first page not written, 0 when all were.
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
        if (!image.save(prefix + QStringLiteral("-%1.png").arg(index + 1), "PNG"))
            return index + 1;
    }
    return 0;
}

}  // namespace

int commandSample(const QStringList& args) {
    if (args.size() != 2 ||
        (args[0] != QLatin1String("--pdf") && args[0] != QLatin1String("--png")) ||
        args[1].isEmpty())
        return fail(
            QStringLiteral("Utilisation : etatbudget-table sample --pdf FICHIER | --png "
                           "PREFIXE"));
    const QString output = args[1];
    try {
        reports::ReportTemplate sample;
        reports::buildQuickRep1(sample);
        reports::ReportLayout layout(sample);
        if (args[0] == QLatin1String("--pdf")) {
            if (!reports::writePdf(layout, output))
                return fail(QStringLiteral("Impossible d'écrire le fichier PDF '%1'.").arg(output));
        } else if (const int failed = writePngs(layout, output); failed != 0) {
            return fail(QStringLiteral("Impossible d'écrire l'image de la page %1 ('%2-%1.png').")
                            .arg(failed)
                            .arg(output));
        }
    } catch (const std::exception& error) {
        return fail(QStringLiteral("Erreur : %1").arg(QString::fromUtf8(error.what())));
    }
    return 0;
}

}  // namespace etb::tools

// Writing laid-out report pages for the companion: one PDF, or one PNG per page.
#include "page_output.h"

#include "reports/page_painter.h"
#include "reports/preview_output.h"
#include "reports/report_layout.h"

#include <QImage>
#include <QPainter>
#include <QTextStream>

namespace etb::tools {

namespace {

constexpr int kPngDpi = 150;

// The number of the first page whose image could not be written, or 0 when all were.
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

int fail(const QString& message) {
    QTextStream(stderr) << message << QLatin1Char('\n');
    return 1;
}

bool checkPageOptions(const QStringList& options) {
    return options.size() == 2 &&
           (options[0] == QLatin1String("--pdf") || options[0] == QLatin1String("--png")) &&
           !options[1].isEmpty();
}

int writePages(reports::ReportLayout& layout, const QStringList& options) {
    const QString output = options[1];
    if (options[0] == QLatin1String("--pdf")) {
        if (!reports::writePdf(layout, output))
            return fail(QStringLiteral("Impossible d'écrire le fichier PDF '%1'.").arg(output));
    } else if (const int failed = writePngs(layout, output); failed != 0) {
        return fail(QStringLiteral("Impossible d'écrire l'image de la page %1 ('%2-%1.png').")
                        .arg(failed)
                        .arg(output));
    }
    return 0;
}

}  // namespace etb::tools

// The report host: builds both templates and holds the statement's two line rules.
#include "form2.h"

#include "data/data_set.h"
#include "data/field.h"

namespace etb::reports {

TForm2::TForm2(data::TDataSet* q1) : m_q1(q1) {
    buildQuickRep1(QuickRep1);
    buildQuickRep2(QuickRep2, q1);

    QRDBText1 = QuickRep2.findElement(QStringLiteral("QRDBText1"));
    QRDBText2 = QuickRep2.findElement(QStringLiteral("QRDBText2"));
    QRShape32 = QuickRep2.findElement(QStringLiteral("QRShape32"));
    QRShape33 = QuickRep2.findElement(QStringLiteral("QRShape33"));
    QRShape34 = QuickRep2.findElement(QStringLiteral("QRShape34"));
    QRLabel34 = QuickRep2.findElement(QStringLiteral("QRLabel34"));

    QuickRep2.findBand(QStringLiteral("DetailBand2"))->beforePrint = [this](Band& band) {
        DetailBand2BeforePrint(band);
    };
    QRLabel34->onPrint = [this](QString& text) { QRLabel34Print(text); };
}

// Every line sets all six settings, so nothing carries over from the line before.
void TForm2::DetailBand2BeforePrint(Band&) {
    // Without a query there is no row, and "N" reads as 0: a total line.
    const bool detailLine =
        m_q1 != nullptr && m_q1->fieldByName(QStringLiteral("N"))->asInteger() != 0;
    QRDBText1->enabled = detailLine;
    QRDBText2->enabled = detailLine;
    QRShape33->enabled = detailLine;
    QRLabel34->enabled = !detailLine;
    const QColor fill = detailLine ? QColor(255, 255, 255) : QColor(192, 192, 192);
    QRShape32->brushColor = fill;
    QRShape34->brushColor = fill;
}

void TForm2::QRLabel34Print(QString& text) {
    // The empty statement's single line has no row, hence no type to name.
    if (m_q1 == nullptr || m_q1->recNo() < 0) {
        text.clear();
        return;
    }
    const QString type = m_q1->fieldByName(QStringLiteral("type"))->asString();
    if (type == QLatin1String("DEPENSE"))
        text = QStringLiteral("TOTAL DEPENSE");
    else if (type == QLatin1String("RECETTE"))
        text = QStringLiteral("TOTAL RECETTE");
    else
        text = QStringLiteral("TOTAL ") + type;
}

}  // namespace etb::reports

// The statement template QuickRep2, "ETAT DE MOUVEMENT BUDGETAIRE": a three-column table
// (chapter, article, amount) with one line per row of the statement query.
#include "form2.h"

namespace etb::reports {

namespace {

struct Geometry {
    double leftMm;
    double topMm;
    double widthMm;
    double heightMm;
};

void place(Element& element, const Geometry& geometry) {
    element.leftPx = designPxFromMm(geometry.leftMm);
    element.topPx = designPxFromMm(geometry.topMm);
    element.widthPx = designPxFromMm(geometry.widthMm);
    element.heightPx = designPxFromMm(geometry.heightMm);
}

Element shape(const char* name, const Geometry& geometry) {
    Element element;
    element.name = QLatin1String(name);
    element.kind = ElementKind::Shape;
    place(element, geometry);
    return element;
}

Element label(const char* name, const Geometry& geometry, const QString& caption,
              const FontSpec& font, bool transparent) {
    Element element;
    element.name = QLatin1String(name);
    element.kind = ElementKind::Label;
    place(element, geometry);
    element.caption = caption;
    element.font = font;
    element.alignment = HAlign::Left;
    element.autoSize = true;
    element.transparent = transparent;
    return element;
}

Element dataText(const char* name, const Geometry& geometry, data::TDataSet* dataSet,
                 const char* field, HAlign alignment, bool transparent, ReadingOrder readingOrder) {
    Element element;
    element.name = QLatin1String(name);
    element.kind = ElementKind::DataText;
    place(element, geometry);
    element.dataSet = dataSet;
    element.dataField = QString::fromUtf8(field);
    element.alignment = alignment;
    element.transparent = transparent;
    element.readingOrder = readingOrder;
    return element;
}

Band band(const char* name, BandKind kind, double heightMm) {
    Band result;
    result.name = QLatin1String(name);
    result.kind = kind;
    result.heightPx = designPxFromMm(heightMm);
    return result;
}

}  // namespace

void buildQuickRep2(ReportTemplate& report, data::TDataSet* q1) {
    report.name = QStringLiteral("QuickRep2");
    report.page = PageSetup{};
    report.bands.clear();
    report.dataSet = q1;

    FontSpec bold;  // the data texts keep the report font, Arial 10 pt regular
    bold.bold = true;
    FontSpec titleFont;
    titleFont.pointSize = 14;
    titleFont.bold = true;

    Band& title = report.add(band("TitleBand2", BandKind::Title, 10.58));
    title.add(label("QRLabel30", {52.92, 2.12, 92.08, 6.09},
                    QStringLiteral("ETAT DE MOUVEMENT BUDGETAIRE"), titleFont, false));

    Band& header = report.add(band("ColumnHeaderBand2", BandKind::ColumnHeader, 9.00));
    header.add(shape("QRShape31", {34.40, 0.00, 31.75, 9.00}));
    header.add(shape("QRShape20", {17.46, 0.00, 17.20, 9.00}));
    header.add(shape("QRShape5", {0.53, 0.00, 17.20, 9.00}));
    header.add(
        label("QRLabel31", {1.85, 2.38, 14.55, 4.50}, QStringLiteral("Chapitre"), bold, false));
    header.add(
        label("QRLabel32", {20.64, 2.38, 11.11, 4.50}, QStringLiteral("Article"), bold, false));
    header.add(
        label("QRLabel33", {42.60, 2.38, 13.76, 4.50}, QStringLiteral("Montant"), bold, false));

    Band& detail = report.add(band("DetailBand2", BandKind::Detail, 7.14));
    detail.add(shape("QRShape32", {0.53, 0.00, 34.13, 7.14}));
    detail.add(shape("QRShape34", {34.40, 0.00, 31.75, 7.14}));
    detail.add(dataText("QRDBText2", {20.64, 1.32, 10.85, 4.50}, q1, "MIN OF art", HAlign::Center,
                        false, ReadingOrder::RightToLeft));
    detail.add(dataText("QRDBText3", {37.04, 1.32, 27.25, 4.50}, q1, "SUM OF montant",
                        HAlign::Right, true, ReadingOrder::LeftToRight));
    detail.add(dataText("QRDBText1", {3.18, 1.32, 12.44, 4.50}, q1, "MIN OF chp", HAlign::Center,
                        false, ReadingOrder::RightToLeft));
    detail.add(
        label("QRLabel34", {1.85, 1.32, 18.52, 4.50}, QStringLiteral("QRLabel34"), bold, true));
    detail.add(shape("QRShape33", {17.46, 0.00, 0.26, 7.14}));
}

}  // namespace etb::reports

// The fixed sample page QuickRep1: a one-page picture of the wanted statement, two type
// blocks each opened by its total line, in the statement's three columns. It reads no data,
// so every preview lays out the same single page.
#include "form2.h"

#include <array>
#include <map>

namespace etb::reports {

namespace {

constexpr int kLinePitchPx = 28;   // line k of the grid starts k x 28 px down the band
constexpr int kLineHeightPx = 29;  // so neighbouring lines share their outlines

FontSpec arial10(bool bold) {
    FontSpec font;
    font.family = QStringLiteral("Arial");
    font.pointSize = 10;
    font.bold = bold;
    return font;
}

Element shape(const QString& name, double leftMm, int topPx, double widthMm, int heightPx) {
    Element element;
    element.name = name;
    element.kind = ElementKind::Shape;
    element.leftPx = designPxFromMm(leftMm);
    element.topPx = topPx;
    element.widthPx = designPxFromMm(widthMm);
    element.heightPx = heightPx;
    element.brushColor = Qt::white;
    element.penColor = Qt::black;
    element.penWidthPx = 1;
    return element;
}

// An auto-size, opaque white Arial 10 pt label 4.50 mm high.
Element label(const QString& name, double leftMm, double topMm, double widthMm,
              const QString& caption, bool bold, HAlign alignment) {
    Element element;
    element.name = name;
    element.kind = ElementKind::Label;
    element.leftPx = designPxFromMm(leftMm);
    element.topPx = designPxFromMm(topMm);
    element.widthPx = designPxFromMm(widthMm);
    element.heightPx = designPxFromMm(4.50);
    element.font = arial10(bold);
    element.alignment = alignment;
    element.autoSize = true;
    element.wordWrap = true;
    element.transparent = false;
    element.background = Qt::white;
    element.caption = caption;
    return element;
}

QString numbered(const char* kind, int number) {
    return QLatin1String(kind) + QString::number(number);
}

Band titleBand() {
    Band band;
    band.name = QStringLiteral("TitleBand1");
    band.kind = BandKind::Title;
    band.heightPx = designPxFromMm(22.49);

    Element title;
    title.name = QStringLiteral("QRLabel1");
    title.kind = ElementKind::Label;
    title.leftPx = designPxFromMm(12.96);
    title.topPx = designPxFromMm(2.12);
    title.widthPx = designPxFromMm(164.04);
    title.heightPx = designPxFromMm(15.88);
    title.font.family = QStringLiteral("Arial");
    title.font.pointSize = 12;
    title.font.bold = true;
    title.alignment = HAlign::Center;
    title.alignToBand = true;
    title.autoSize = false;
    title.wordWrap = true;
    title.transparent = false;
    title.background = Qt::white;
    title.caption = QStringLiteral(
        "CE QUICKREP UNIQMENT POUR VOUS VOIR LA RESULTAT QUI JE BESOIN ET PAS POUR "
        "MODIFICATION L'autre quickrep ces pour les modification");
    band.add(title);
    return band;
}

// Held by the template but never printed: the template has no data set.
Band columnHeaderBand() {
    Band band;
    band.name = QStringLiteral("ColumnHeaderBand1");
    band.kind = BandKind::ColumnHeader;
    band.heightPx = designPxFromMm(9.26);
    const int cellHeightPx = designPxFromMm(9.00);
    band.add(shape(QStringLiteral("QRShape1"), 0.53, 0, 17.20, cellHeightPx));
    band.add(shape(QStringLiteral("QRShape2"), 17.46, 0, 17.20, cellHeightPx));
    band.add(shape(QStringLiteral("QRShape3"), 34.40, 0, 31.75, cellHeightPx));
    band.add(label(QStringLiteral("QRLabel2"), 2.12, 2.12, 14.55, QStringLiteral("Chapitre"), true,
                   HAlign::Left));
    band.add(label(QStringLiteral("QRLabel3"), 20.64, 2.12, 11.11, QStringLiteral("Article"), true,
                   HAlign::Left));
    band.add(label(QStringLiteral("QRLabel4"), 42.60, 2.12, 13.76, QStringLiteral("Montant"), true,
                   HAlign::Left));
    return band;
}

// Cells of one line of the grid.
Element chapterCell(int number, int line) {
    return shape(numbered("QRShape", number), 0.53, line * kLinePitchPx, 17.20, kLineHeightPx);
}
Element articleCell(int number, int line) {
    return shape(numbered("QRShape", number), 17.46, line * kLinePitchPx, 17.20, kLineHeightPx);
}
Element amountCell(int number, int line) {
    return shape(numbered("QRShape", number), 34.40, line * kLinePitchPx, 31.75, kLineHeightPx);
}
Element codeCell(int number, int line) {
    return shape(numbered("QRShape", number), 0.53, line * kLinePitchPx, 34.13, kLineHeightPx);
}

struct SampleText {
    int number;  // QRLabel<number>
    double leftMm;
    double topMm;
    double widthMm;
    const char* text;
    bool bold;
    HAlign alignment;
};

// Every text of the detail band, line by line.
constexpr std::array<SampleText, 25> kDetailTexts{{
    {5, 2.12, 1.85, 28.58, "TOTAL DEPENSE", true, HAlign::Left},
    {6, 2.12, 38.63, 28.05, "TOTAL RECETTE", true, HAlign::Left},
    {29, 43.39, 1.85, 17.20, "660.400,00", true, HAlign::Center},
    {7, 6.61, 8.73, 5.82, "900", false, HAlign::Center},
    {14, 22.75, 8.73, 5.82, "900", false, HAlign::Center},
    {21, 44.98, 8.73, 15.35, "20.000,00", false, HAlign::Center},
    {8, 6.61, 16.40, 5.82, "900", false, HAlign::Center},
    {15, 22.75, 16.40, 5.82, "900", false, HAlign::Center},
    {22, 43.39, 16.40, 17.20, "350.000,00", false, HAlign::Center},
    {9, 6.61, 23.55, 5.82, "900", false, HAlign::Center},
    {16, 22.75, 23.55, 5.82, "900", false, HAlign::Center},
    {23, 44.98, 23.55, 15.35, "35.400,00", false, HAlign::Center},
    {10, 6.61, 31.22, 5.82, "900", false, HAlign::Center},
    {17, 22.75, 31.22, 5.82, "900", false, HAlign::Center},
    {24, 43.13, 31.22, 17.20, "255.000,00", false, HAlign::Center},
    {28, 43.39, 38.89, 17.20, "270.000,00", true, HAlign::Center},
    {11, 6.61, 46.57, 5.82, "900", false, HAlign::Center},
    {18, 22.75, 46.57, 5.82, "900", false, HAlign::Center},
    {25, 43.39, 46.04, 17.20, "100.000,00", false, HAlign::Center},
    {12, 6.61, 52.92, 5.82, "900", false, HAlign::Center},
    {19, 22.75, 52.92, 5.82, "900", false, HAlign::Center},
    {26, 44.98, 53.45, 15.35, "50.000,00", false, HAlign::Center},
    {13, 6.61, 60.85, 5.82, "900", false, HAlign::Center},
    {20, 22.75, 60.85, 5.82, "900", false, HAlign::Center},
    {27, 43.39, 60.85, 17.20, "120.000,00", false, HAlign::Center},
}};

Element detailLabel(const SampleText& text) {
    return label(numbered("QRLabel", text.number), text.leftMm, text.topMm, text.widthMm,
                 QString::fromUtf8(text.text), text.bold, text.alignment);
}

Band detailBand() {
    Band band;
    band.name = QStringLiteral("DetailBand1");
    band.kind = BandKind::Detail;
    band.heightPx = designPxFromMm(67.73);

    // Lines 0 and 5 are total lines (code cell and amount), the others chapter, article and
    // amount. The order is the print order, so a later cell paints over the shared outline.
    band.add(amountCell(4, 0));
    band.add(codeCell(6, 0));
    for (int line = 1; line <= 3; ++line) {
        const int first = 7 + (line - 1) * 3;
        band.add(chapterCell(first, line));
        band.add(articleCell(first + 1, line));
        band.add(amountCell(first + 2, line));
    }
    band.add(chapterCell(16, 4));
    band.add(amountCell(18, 4));
    band.add(codeCell(19, 5));
    band.add(amountCell(21, 5));
    for (int line = 6; line <= 8; ++line) {
        const int first = 22 + (line - 6) * 3;
        band.add(chapterCell(first, line));
        band.add(articleCell(first + 1, line));
        band.add(amountCell(first + 2, line));
    }

    std::map<int, const SampleText*> byNumber;
    for (const SampleText& text : kDetailTexts)
        byNumber[text.number] = &text;
    band.add(detailLabel(*byNumber.at(5)));
    band.add(detailLabel(*byNumber.at(6)));
    band.add(articleCell(17, 4));
    for (int number = 7; number <= 29; ++number)
        band.add(detailLabel(*byNumber.at(number)));
    return band;
}

}  // namespace

void buildQuickRep1(ReportTemplate& report) {
    report.name = QStringLiteral("QuickRep1");
    report.page = PageSetup{};
    report.dataSet = nullptr;
    report.bands.clear();
    report.add(titleBand());
    report.add(columnHeaderBand());
    report.add(detailBand());
}

}  // namespace etb::reports

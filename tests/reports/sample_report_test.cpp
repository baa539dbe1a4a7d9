// The fixed sample page QuickRep1: its template's geometry in design pixels, the page it lays
// out, and the title wrapping inside its box.
#include "reports/form2.h"
#include "reports/page_painter.h"
#include "reports/report_layout.h"

#include "data/data_set.h"
#include "data/field.h"

#include <gtest/gtest.h>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <algorithm>

namespace etb::reports {
namespace {

ReportTemplate sampleTemplate() {
    ReportTemplate report;
    buildQuickRep1(report);
    return report;
}

struct ExpectedElement {
    const char* name;
    int leftPx;
    int topPx;
    int widthPx;
    int heightPx;
};

void expectGeometry(const Band& band, const ExpectedElement& expected) {
    SCOPED_TRACE(expected.name);
    const auto it = std::find_if(band.elements.begin(), band.elements.end(), [&](const Element& e) {
        return e.name == QLatin1String(expected.name);
    });
    ASSERT_NE(it, band.elements.end());
    EXPECT_EQ(it->leftPx, expected.leftPx);
    EXPECT_EQ(it->topPx, expected.topPx);
    EXPECT_EQ(it->widthPx, expected.widthPx);
    EXPECT_EQ(it->heightPx, expected.heightPx);
    EXPECT_TRUE(it->enabled);
}

TEST(SampleReport, ThreeBandsWithoutDataSet) {
    ReportTemplate report = sampleTemplate();
    EXPECT_EQ(report.name, QStringLiteral("QuickRep1"));
    EXPECT_EQ(report.dataSet, nullptr);
    ASSERT_EQ(report.bands.size(), 3u);
    const struct {
        const char* name;
        BandKind kind;
        int heightPx;  // 22.49, 9.26 and 67.73 mm
    } bands[] = {{"TitleBand1", BandKind::Title, 85},
                 {"ColumnHeaderBand1", BandKind::ColumnHeader, 35},
                 {"DetailBand1", BandKind::Detail, 256}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(bands[i].name);
        EXPECT_EQ(report.bands[i].name, QLatin1String(bands[i].name));
        EXPECT_EQ(report.bands[i].kind, bands[i].kind);
        EXPECT_EQ(report.bands[i].heightPx, bands[i].heightPx);
        EXPECT_FALSE(report.bands[i].beforePrint);
    }
}

TEST(SampleReport, TitleLabel) {
    ReportTemplate report = sampleTemplate();
    const Band& title = report.bands[0];
    ASSERT_EQ(title.elements.size(), 1u);
    const Element& label = title.elements[0];
    EXPECT_EQ(label.name, QStringLiteral("QRLabel1"));
    EXPECT_EQ(label.kind, ElementKind::Label);
    // 12.96, 2.12, 164.04 x 15.88 mm
    expectGeometry(title, {"QRLabel1", 49, 8, 620, 60});
    EXPECT_EQ(label.font.family, QStringLiteral("Arial"));
    EXPECT_EQ(label.font.pointSize, 12);
    EXPECT_TRUE(label.font.bold);
    EXPECT_EQ(label.alignment, HAlign::Center);
    EXPECT_TRUE(label.alignToBand);
    EXPECT_FALSE(label.autoSize);
    EXPECT_TRUE(label.wordWrap);
    EXPECT_FALSE(label.transparent);
    EXPECT_EQ(label.background, QColor(Qt::white));
    EXPECT_EQ(label.caption,
              QStringLiteral("CE QUICKREP UNIQMENT POUR VOUS VOIR LA RESULTAT QUI JE BESOIN ET "
                             "PAS POUR MODIFICATION L'autre quickrep ces pour les modification"));
}

TEST(SampleReport, ColumnHeaderBandIsHeldWithItsCellsAndHeadings) {
    ReportTemplate report = sampleTemplate();
    const Band& header = report.bands[1];
    QStringList names;
    for (const Element& element : header.elements)
        names << element.name;
    EXPECT_EQ(names, (QStringList{QStringLiteral("QRShape1"), QStringLiteral("QRShape2"),
                                  QStringLiteral("QRShape3"), QStringLiteral("QRLabel2"),
                                  QStringLiteral("QRLabel3"), QStringLiteral("QRLabel4")}));
    const ExpectedElement expected[] = {
        {"QRShape1", 2, 0, 65, 34}, {"QRShape2", 66, 0, 65, 34}, {"QRShape3", 130, 0, 120, 34},
        {"QRLabel2", 8, 8, 55, 17}, {"QRLabel3", 78, 8, 42, 17}, {"QRLabel4", 161, 8, 52, 17},
    };
    for (const ExpectedElement& element : expected)
        expectGeometry(header, element);
    EXPECT_EQ(header.elements[3].caption, QStringLiteral("Chapitre"));
    EXPECT_EQ(header.elements[4].caption, QStringLiteral("Article"));
    EXPECT_EQ(header.elements[5].caption, QStringLiteral("Montant"));
    for (size_t i = 3; i < 6; ++i) {
        EXPECT_TRUE(header.elements[i].font.bold);
        EXPECT_TRUE(header.elements[i].autoSize);
        EXPECT_EQ(header.elements[i].alignment, HAlign::Left);
    }
}

TEST(SampleReport, DetailElementsPrintInTheTemplateOrder) {
    ReportTemplate report = sampleTemplate();
    QStringList names;
    for (const Element& element : report.bands[2].elements)
        names << element.name;
    QStringList expected;
    for (int shape : {4,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                      18, 19, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30})
        expected << QStringLiteral("QRShape%1").arg(shape);
    expected << QStringLiteral("QRLabel5") << QStringLiteral("QRLabel6")
             << QStringLiteral("QRShape17");
    for (int label = 7; label <= 29; ++label)
        expected << QStringLiteral("QRLabel%1").arg(label);
    EXPECT_EQ(names, expected);
}

TEST(SampleReport, DetailGridOfNineLines) {
    ReportTemplate report = sampleTemplate();
    const Band& detail = report.bands[2];
    // Line k at k x 28 px, 29 px high; cells chapter 0.53/17.20, article 17.46/17.20,
    // amount 34.40/31.75, code (total lines) 0.53/34.13 mm.
    struct Line {
        int line;
        int chapterOrCode;  // shape number of the chapter cell, or of the code cell
        int article;        // 0 on total lines
        int amount;
    };
    const Line lines[] = {{0, 6, 0, 4},    {1, 7, 8, 9},    {2, 10, 11, 12},
                          {3, 13, 14, 15}, {4, 16, 17, 18}, {5, 19, 0, 21},
                          {6, 22, 23, 24}, {7, 25, 26, 27}, {8, 28, 29, 30}};
    int shapes = 0;
    for (const Line& line : lines) {
        const int topPx = line.line * 28;
        const bool total = line.article == 0;
        const QByteArray code = QStringLiteral("QRShape%1").arg(line.chapterOrCode).toLatin1();
        expectGeometry(detail, {code.constData(), 2, topPx, total ? 129 : 65, 29});
        if (!total) {
            const QByteArray article = QStringLiteral("QRShape%1").arg(line.article).toLatin1();
            expectGeometry(detail, {article.constData(), 66, topPx, 65, 29});
        }
        const QByteArray amount = QStringLiteral("QRShape%1").arg(line.amount).toLatin1();
        expectGeometry(detail, {amount.constData(), 130, topPx, 120, 29});
        shapes += total ? 2 : 3;
    }
    int counted = 0;
    for (const Element& element : detail.elements) {
        if (element.kind != ElementKind::Shape)
            continue;
        ++counted;
        EXPECT_EQ(element.brushColor, QColor(Qt::white)) << element.name.toStdString();
        EXPECT_EQ(element.penColor, QColor(Qt::black)) << element.name.toStdString();
        EXPECT_EQ(element.penWidthPx, 1) << element.name.toStdString();
    }
    EXPECT_EQ(counted, shapes);
    // The last line ends inside the band.
    EXPECT_LE(8 * 28 + 29, detail.heightPx);
}

TEST(SampleReport, DetailTexts) {
    ReportTemplate report = sampleTemplate();
    const Band& detail = report.bands[2];
    const struct {
        ExpectedElement geometry;
        const char* text;
        bool bold;
        HAlign alignment;
    } texts[] = {
        {{"QRLabel5", 8, 7, 108, 17}, "TOTAL DEPENSE", true, HAlign::Left},
        {{"QRLabel29", 164, 7, 65, 17}, "660.400,00", true, HAlign::Center},
        {{"QRLabel7", 25, 33, 22, 17}, "900", false, HAlign::Center},
        {{"QRLabel14", 86, 33, 22, 17}, "900", false, HAlign::Center},
        {{"QRLabel21", 170, 33, 58, 17}, "20.000,00", false, HAlign::Center},
        {{"QRLabel8", 25, 62, 22, 17}, "900", false, HAlign::Center},
        {{"QRLabel15", 86, 62, 22, 17}, "900", false, HAlign::Center},
        {{"QRLabel22", 164, 62, 65, 17}, "350.000,00", false, HAlign::Center},
        {{"QRLabel9", 25, 89, 22, 17}, "900", false, HAlign::Center},
        {{"QRLabel16", 86, 89, 22, 17}, "900", false, HAlign::Center},
        {{"QRLabel23", 170, 89, 58, 17}, "35.400,00", false, HAlign::Center},
        {{"QRLabel10", 25, 118, 22, 17}, "900", false, HAlign::Center},
        {{"QRLabel17", 86, 118, 22, 17}, "900", false, HAlign::Center},
        {{"QRLabel24", 163, 118, 65, 17}, "255.000,00", false, HAlign::Center},
        {{"QRLabel6", 8, 146, 106, 17}, "TOTAL RECETTE", true, HAlign::Left},
        {{"QRLabel28", 164, 147, 65, 17}, "270.000,00", true, HAlign::Center},
        {{"QRLabel11", 25, 176, 22, 17}, "900", false, HAlign::Center},
        {{"QRLabel18", 86, 176, 22, 17}, "900", false, HAlign::Center},
        {{"QRLabel25", 164, 174, 65, 17}, "100.000,00", false, HAlign::Center},
        {{"QRLabel12", 25, 200, 22, 17}, "900", false, HAlign::Center},
        {{"QRLabel19", 86, 200, 22, 17}, "900", false, HAlign::Center},
        {{"QRLabel26", 170, 202, 58, 17}, "50.000,00", false, HAlign::Center},
        {{"QRLabel13", 25, 230, 22, 17}, "900", false, HAlign::Center},
        {{"QRLabel20", 86, 230, 22, 17}, "900", false, HAlign::Center},
        {{"QRLabel27", 164, 230, 65, 17}, "120.000,00", false, HAlign::Center},
    };
    for (const auto& text : texts) {
        expectGeometry(detail, text.geometry);
        const Element* element = report.findElement(QLatin1String(text.geometry.name));
        ASSERT_NE(element, nullptr);
        SCOPED_TRACE(text.geometry.name);
        EXPECT_EQ(element->kind, ElementKind::Label);
        EXPECT_EQ(element->caption, QString::fromUtf8(text.text));
        EXPECT_EQ(element->font.family, QStringLiteral("Arial"));
        EXPECT_EQ(element->font.pointSize, 10);
        EXPECT_EQ(element->font.bold, text.bold);
        EXPECT_EQ(element->alignment, text.alignment);
        EXPECT_TRUE(element->autoSize);
        EXPECT_FALSE(element->alignToBand);
        EXPECT_FALSE(element->transparent);
        EXPECT_EQ(element->background, QColor(Qt::white));
        EXPECT_FALSE(element->onPrint);
    }
}

// Lays out the single page: the title at the top margin, the grid directly under it.
TEST(SampleReport, OnePageTitleThenGridWithoutColumnHeadings) {
    ReportTemplate report = sampleTemplate();
    ReportLayout layout(report);
    ASSERT_EQ(layout.pageCount(), 1);
    const Page page = layout.page(0);
    ASSERT_EQ(page.bands.size(), 2u);
    EXPECT_EQ(page.bands[0].bandName, QStringLiteral("TitleBand1"));
    EXPECT_EQ(page.bands[1].bandName, QStringLiteral("DetailBand1"));
    EXPECT_EQ(page.bands[0].topPx, designPxFromMm(10.0));
    EXPECT_EQ(page.bands[1].topPx, page.bands[0].topPx + 85);

    QStringList texts;
    for (const Box& box : page.boxes) {
        if (box.kind == Box::Kind::Text)
            texts << box.text;
        EXPECT_NE(box.text, QStringLiteral("Chapitre"));
        EXPECT_NE(box.text, QStringLiteral("Article"));
        EXPECT_NE(box.text, QStringLiteral("Montant"));
    }
    ASSERT_EQ(texts.size(), 26);
    EXPECT_TRUE(texts[0].startsWith(QStringLiteral("CE QUICKREP")));
    const QStringList amounts{
        QStringLiteral("660.400,00"), QStringLiteral("20.000,00"),  QStringLiteral("350.000,00"),
        QStringLiteral("35.400,00"),  QStringLiteral("255.000,00"), QStringLiteral("270.000,00"),
        QStringLiteral("100.000,00"), QStringLiteral("50.000,00"),  QStringLiteral("120.000,00")};
    for (const QString& amount : amounts)
        EXPECT_EQ(texts.count(amount), 1) << amount.toStdString();
    EXPECT_EQ(texts.count(QStringLiteral("900")), 14);

    const auto title = std::find_if(page.boxes.begin(), page.boxes.end(), [](const Box& box) {
        return box.elementName == QLatin1String("QRLabel1");
    });
    ASSERT_NE(title, page.boxes.end());
    // Centred on the 718 px band: (718 - 620) / 2 from the band's left edge.
    EXPECT_EQ(title->leftPx, designPxFromMm(10.0) + 49);
    EXPECT_EQ(title->topPx, page.bands[0].topPx + 8);
    EXPECT_EQ(title->widthPx, 620);
    EXPECT_EQ(title->heightPx, 60);
}

class StatementRows : public data::TDataSet {
public:
    explicit StatementRows(qint64 rows) : m_rows(rows) {
        addField<data::TFloatField>(QStringLiteral("N"));
        addField<data::TStringField>(QStringLiteral("type"), 8);
        addField<data::TStringField>(QStringLiteral("MIN OF chp"), 3);
        addField<data::TStringField>(QStringLiteral("MIN OF art"), 3);
        addField<data::TFloatField>(QStringLiteral("SUM OF montant"));
    }
    bool canModify() const override { return false; }

protected:
    void doOpen() override {}
    void doClose() override {}
    qint64 storedRowCount() const override { return m_rows; }
    QVariant storedValue(qint64 row, int field) const override {
        switch (field) {
            case 0:
                return row == 0 ? 0.0 : 1.0;
            case 1:
                return QStringLiteral("DEPENSE");
            case 4:
                return 100.0;
            default:
                return QStringLiteral("900");
        }
    }

private:
    qint64 m_rows;
};

// The sample reads no data: whatever the statement holds, the host's QuickRep1 lays out the
// same single page as the template built on its own.
TEST(SampleReport, SamePageWhateverTheStatementHolds) {
    const Page alone = [] {
        ReportTemplate report = sampleTemplate();
        return ReportLayout(report).page(0);
    }();
    for (qint64 rows : {0, 1, 500}) {
        SCOPED_TRACE(rows);
        StatementRows q1(rows);
        q1.open();
        TForm2 form2(&q1);
        EXPECT_EQ(form2.QuickRep1.dataSet, nullptr);
        ReportLayout layout(form2.QuickRep1);
        ASSERT_EQ(layout.pageCount(), 1);
        const Page page = layout.page(0);
        ASSERT_EQ(page.boxes.size(), alone.boxes.size());
        for (size_t i = 0; i < page.boxes.size(); ++i) {
            EXPECT_EQ(page.boxes[i].elementName, alone.boxes[i].elementName);
            EXPECT_EQ(page.boxes[i].text, alone.boxes[i].text);
            EXPECT_EQ(page.boxes[i].leftPx, alone.boxes[i].leftPx);
            EXPECT_EQ(page.boxes[i].topPx, alone.boxes[i].topPx);
        }
    }
}

// The title is wider than its box at 12 pt bold: painted, it wraps into lines that all stay
// inside the box, and nothing of it spills into the rest of the band.
TEST(SampleReport, TitleWrapsInsideItsBox) {
    ReportTemplate report = sampleTemplate();
    ReportLayout layout(report);
    const Page page = layout.page(0);
    const auto title = std::find_if(page.boxes.begin(), page.boxes.end(), [](const Box& box) {
        return box.elementName == QLatin1String("QRLabel1");
    });
    ASSERT_NE(title, page.boxes.end());

    constexpr double scale = 2.0;  // image pixels per design pixel
    QImage image(qRound(layout.sheetWidthPx() * scale), qRound(layout.sheetHeightPx() * scale),
                 QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(96 * scale / 0.0254));
    image.setDotsPerMeterY(qRound(96 * scale / 0.0254));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        paintPage(page, painter, QRectF(0, 0, image.width(), image.height()));
    }

    const int bandTop = qRound(page.bands[0].topPx * scale);
    const int bandBottom = qRound(page.bands[1].topPx * scale);
    const int boxLeft = qRound(title->leftPx * scale);
    const int boxRight = qRound((title->leftPx + title->widthPx) * scale);
    const int boxTop = qRound(title->topPx * scale);
    const int boxBottom = qRound((title->topPx + title->heightPx) * scale);

    int outside = 0;
    int firstInk = -1;
    int lastInk = -1;
    for (int y = bandTop; y < bandBottom; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) >= 128)
                continue;
            if (x < boxLeft || x >= boxRight || y < boxTop || y >= boxBottom)
                ++outside;
            if (firstInk < 0)
                firstInk = y;
            lastInk = y;
        }
    }
    EXPECT_EQ(outside, 0);
    EXPECT_GE(firstInk, boxTop);
    EXPECT_LT(lastInk, boxBottom);
    // One line of text is at most a line's height tall; the title spans more than one and a
    // half, so it holds two lines or more.
    QImage designDevice(10, 10, QImage::Format_RGB32);
    designDevice.setDotsPerMeterX(qRound(96 / 0.0254));
    designDevice.setDotsPerMeterY(qRound(96 / 0.0254));
    const double lineHeightPx = QFontMetricsF(fontFor(title->font), &designDevice).height();
    EXPECT_GT(lastInk - firstInk + 1, 1.5 * lineHeightPx * scale);
}

}  // namespace
}  // namespace etb::reports

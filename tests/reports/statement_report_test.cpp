// The statement template QuickRep2 and its line rules, laid out over in-memory statements.
#include "data/data_error.h"
#include "fake_statement.h"
#include "reports/form2.h"
#include "reports/report_layout.h"
#include "reports/text_metrics.h"

#include <gtest/gtest.h>
#include <QStringList>
#include <QtMath>

using namespace etb::reports;
using etb::testing::FakeStatement;
using etb::testing::StatementRow;

namespace {

constexpr int kMarginPx = 38;
constexpr int kTitlePx = 40;
constexpr int kHeaderPx = 34;
constexpr int kLinePx = 27;
const QColor kWhite(255, 255, 255);
const QColor kSilver(192, 192, 192);

// The boxes painted by the band printed at topPx.
std::vector<const Box*> boxesOfBand(const Page& page, const PrintedBand& band, int heightPx) {
    std::vector<const Box*> boxes;
    for (const Box& box : page.boxes)
        if (box.topPx >= band.topPx && box.topPx < band.topPx + heightPx)
            boxes.push_back(&box);
    return boxes;
}

QStringList namesOf(const std::vector<const Box*>& boxes) {
    QStringList names;
    for (const Box* box : boxes)
        names << box->elementName;
    return names;
}

const Box* named(const std::vector<const Box*>& boxes, const char* name) {
    for (const Box* box : boxes)
        if (box->elementName == QLatin1String(name))
            return box;
    return nullptr;
}

const QStringList kTotalLine = {QStringLiteral("QRShape32"), QStringLiteral("QRShape34"),
                                QStringLiteral("QRDBText3"), QStringLiteral("QRLabel34")};
const QStringList kDetailLine = {QStringLiteral("QRShape32"), QStringLiteral("QRShape34"),
                                 QStringLiteral("QRDBText2"), QStringLiteral("QRDBText3"),
                                 QStringLiteral("QRDBText1"), QStringLiteral("QRShape33")};

}  // namespace

TEST(StatementReport, EveryElementAtItsPlace) {
    FakeStatement data({});
    TForm2 form(&data);
    ReportTemplate& report = form.QuickRep2;
    EXPECT_EQ(report.name, QStringLiteral("QuickRep2"));
    EXPECT_EQ(report.dataSet, &data);

    struct BandRow {
        const char* name;
        BandKind kind;
        int heightPx;
        bool handler;
    };
    const BandRow bands[] = {{"TitleBand2", BandKind::Title, kTitlePx, false},
                             {"ColumnHeaderBand2", BandKind::ColumnHeader, kHeaderPx, false},
                             {"DetailBand2", BandKind::Detail, kLinePx, true}};
    ASSERT_EQ(report.bands.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(report.bands[i].name, QLatin1String(bands[i].name));
        EXPECT_EQ(report.bands[i].kind, bands[i].kind);
        EXPECT_EQ(report.bands[i].heightPx, bands[i].heightPx);
        EXPECT_EQ(static_cast<bool>(report.bands[i].beforePrint), bands[i].handler);
    }

    using K = ElementKind;
    using A = HAlign;
    using R = ReadingOrder;
    struct ElementRow {
        int band;
        const char* name;
        K kind;
        int leftPx, topPx, widthPx, heightPx;
        const char* content;  // caption or column
        int pointSize;
        bool bold;
        A alignment;
        bool autoSize;
        bool transparent;
        R readingOrder;
    };
    // Positions in design pixels from the millimetres of the template's table.
    const ElementRow elements[] = {
        {0, "QRLabel30", K::Label, 200, 8, 348, 23, "ETAT DE MOUVEMENT BUDGETAIRE", 14, true,
         A::Left, true, false, R::LeftToRight},
        {1, "QRShape31", K::Shape, 130, 0, 120, 34, "", 10, false, A::Left, false, false,
         R::LeftToRight},
        {1, "QRShape20", K::Shape, 66, 0, 65, 34, "", 10, false, A::Left, false, false,
         R::LeftToRight},
        {1, "QRShape5", K::Shape, 2, 0, 65, 34, "", 10, false, A::Left, false, false,
         R::LeftToRight},
        {1, "QRLabel31", K::Label, 7, 9, 55, 17, "Chapitre", 10, true, A::Left, true, false,
         R::LeftToRight},
        {1, "QRLabel32", K::Label, 78, 9, 42, 17, "Article", 10, true, A::Left, true, false,
         R::LeftToRight},
        {1, "QRLabel33", K::Label, 161, 9, 52, 17, "Montant", 10, true, A::Left, true, false,
         R::LeftToRight},
        {2, "QRShape32", K::Shape, 2, 0, 129, 27, "", 10, false, A::Left, false, false,
         R::LeftToRight},
        {2, "QRShape34", K::Shape, 130, 0, 120, 27, "", 10, false, A::Left, false, false,
         R::LeftToRight},
        {2, "QRDBText2", K::DataText, 78, 5, 41, 17, "MIN OF art", 10, false, A::Center, false,
         false, R::RightToLeft},
        {2, "QRDBText3", K::DataText, 140, 5, 103, 17, "SUM OF montant", 10, false, A::Right, false,
         true, R::LeftToRight},
        {2, "QRDBText1", K::DataText, 12, 5, 47, 17, "MIN OF chp", 10, false, A::Center, false,
         false, R::RightToLeft},
        {2, "QRLabel34", K::Label, 7, 5, 70, 17, "QRLabel34", 10, true, A::Left, true, true,
         R::LeftToRight},
        {2, "QRShape33", K::Shape, 66, 0, 1, 27, "", 10, false, A::Left, false, false,
         R::LeftToRight},
    };
    size_t next[3] = {0, 0, 0};
    for (const ElementRow& row : elements) {
        SCOPED_TRACE(row.name);
        const Band& band = report.bands[static_cast<size_t>(row.band)];
        ASSERT_LT(next[row.band], band.elements.size());
        const Element& e = band.elements[next[row.band]++];
        EXPECT_EQ(e.name, QLatin1String(row.name));
        EXPECT_EQ(e.kind, row.kind);
        EXPECT_EQ(e.leftPx, row.leftPx);
        EXPECT_EQ(e.topPx, row.topPx);
        EXPECT_EQ(e.widthPx, row.widthPx);
        EXPECT_EQ(e.heightPx, row.heightPx);
        EXPECT_TRUE(e.enabled);
        if (row.kind == K::Shape) {
            EXPECT_EQ(e.brushColor, kWhite);
            EXPECT_EQ(e.penColor, QColor(Qt::black));
            EXPECT_EQ(e.penWidthPx, 1);
            continue;
        }
        const QString content = QString::fromUtf8(row.content);
        if (row.kind == K::Label) {
            EXPECT_EQ(e.caption, content);
        } else {
            EXPECT_EQ(e.dataField, content);
            EXPECT_EQ(e.dataSet, &data);
        }
        EXPECT_EQ(e.font.family, QStringLiteral("Arial"));
        EXPECT_EQ(e.font.pointSize, row.pointSize);
        EXPECT_EQ(e.font.bold, row.bold);
        EXPECT_EQ(e.alignment, row.alignment);
        EXPECT_EQ(e.autoSize, row.autoSize);
        EXPECT_EQ(e.transparent, row.transparent);
        EXPECT_EQ(e.readingOrder, row.readingOrder);
        EXPECT_TRUE(e.wordWrap);
        EXPECT_FALSE(e.alignToBand);
        EXPECT_EQ(e.background, kWhite);
    }
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(next[i], report.bands[i].elements.size());
    EXPECT_EQ(static_cast<bool>(report.findElement(QStringLiteral("QRLabel34"))->onPrint), true);

    // Amounts end at 64.29 mm from the band's left edge.
    const Element* amount = report.findElement(QStringLiteral("QRDBText3"));
    EXPECT_EQ(amount->leftPx + amount->widthPx, designPxFromMm(64.29));
}

TEST(StatementReport, FiveLinesOfTwoTypes) {
    FakeStatement data(etb::testing::fiveLineStatement());
    TForm2 form(&data);
    ReportLayout layout(form.QuickRep2);
    ASSERT_EQ(layout.pageCount(), 1);
    const Page page = layout.page(0);

    ASSERT_EQ(page.bands.size(), 7u);
    EXPECT_EQ(page.bands[0].bandName, QStringLiteral("TitleBand2"));
    EXPECT_EQ(page.bands[0].topPx, kMarginPx);
    EXPECT_EQ(page.bands[1].bandName, QStringLiteral("ColumnHeaderBand2"));
    EXPECT_EQ(page.bands[1].topPx, kMarginPx + kTitlePx);

    struct Line {
        bool total;
        const char* words;
        const char* chp;
        const char* art;
        const char* amount;
    };
    const Line lines[] = {
        {true, "TOTAL DEPENSE", nullptr, nullptr, "370000"},
        {false, nullptr, "900", "900", "20000"},
        {false, nullptr, "900", "901", "350000"},
        {true, "TOTAL RECETTE", nullptr, nullptr, "100000"},
        {false, nullptr, "900", "900", "100000"},
    };
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const PrintedBand& band = page.bands[2 + i];
        EXPECT_EQ(band.bandName, QStringLiteral("DetailBand2"));
        EXPECT_EQ(band.topPx, kMarginPx + kTitlePx + kHeaderPx + static_cast<int>(i) * kLinePx);
        EXPECT_EQ(band.dataRow, static_cast<qint64>(i));
        const auto boxes = boxesOfBand(page, band, kLinePx);
        const Line& line = lines[i];
        EXPECT_EQ(namesOf(boxes), line.total ? kTotalLine : kDetailLine);
        const QColor fill = line.total ? kSilver : kWhite;
        EXPECT_EQ(named(boxes, "QRShape32")->brushColor, fill);
        EXPECT_EQ(named(boxes, "QRShape34")->brushColor, fill);

        const Box* amount = named(boxes, "QRDBText3");
        EXPECT_EQ(amount->text, QString::fromUtf8(line.amount));
        EXPECT_EQ(amount->alignment, HAlign::Right);
        EXPECT_EQ(amount->leftPx + amount->widthPx, kMarginPx + 243);
        EXPECT_FALSE(amount->opaque);
        if (line.total) {
            const Box* words = named(boxes, "QRLabel34");
            EXPECT_EQ(words->text, QString::fromUtf8(line.words));
            EXPECT_EQ(words->leftPx, kMarginPx + 7);
            EXPECT_TRUE(words->font.bold);
            EXPECT_FALSE(words->opaque);
        } else {
            EXPECT_EQ(named(boxes, "QRDBText1")->text, QString::fromUtf8(line.chp));
            EXPECT_EQ(named(boxes, "QRDBText2")->text, QString::fromUtf8(line.art));
            EXPECT_TRUE(named(boxes, "QRDBText1")->opaque);
            const Box* rule = named(boxes, "QRShape33");
            EXPECT_EQ(rule->leftPx, kMarginPx + 66);
            EXPECT_EQ(rule->widthPx, 1);
        }
    }
}

// The header's auto-size labels keep their left edges and take their texts' widths.
TEST(StatementReport, HeaderAndTitleLabels) {
    FakeStatement data(etb::testing::fiveLineStatement());
    TForm2 form(&data);
    ReportLayout layout(form.QuickRep2);
    const Page page = layout.page(0);
    const auto title = boxesOfBand(page, page.bands[0], kTitlePx);
    ASSERT_EQ(namesOf(title), QStringList{QStringLiteral("QRLabel30")});
    EXPECT_EQ(title[0]->text, QStringLiteral("ETAT DE MOUVEMENT BUDGETAIRE"));
    EXPECT_EQ(title[0]->leftPx, kMarginPx + 200);
    EXPECT_EQ(title[0]->font.pointSize, 14);
    // Auto-size fits the box to the text: close to the template's 92.08 mm.
    EXPECT_EQ(title[0]->widthPx, qCeil(textWidthPx(title[0]->font, title[0]->text)));
    EXPECT_NEAR(title[0]->widthPx, 348, 15);

    const auto header = boxesOfBand(page, page.bands[1], kHeaderPx);
    EXPECT_EQ(namesOf(header),
              (QStringList{QStringLiteral("QRShape31"), QStringLiteral("QRShape20"),
                           QStringLiteral("QRShape5"), QStringLiteral("QRLabel31"),
                           QStringLiteral("QRLabel32"), QStringLiteral("QRLabel33")}));
    EXPECT_EQ(named(header, "QRLabel31")->text, QStringLiteral("Chapitre"));
    EXPECT_NEAR(named(header, "QRLabel31")->widthPx, 55, 3);
    EXPECT_EQ(named(header, "QRLabel33")->leftPx, kMarginPx + 161);
}

// Amounts print as the field's display text: the general number format, the locale's decimal
// separator, no thousands separator.
TEST(StatementReport, AmountsInTheGeneralNumberFormat) {
    const QVariant amounts[] = {35400.5, 660400.0, 1234567.25, 0.1, QVariant()};
    const QString texts[] = {QStringLiteral("35400,5"), QStringLiteral("660400"),
                             QStringLiteral("1234567,25"), QStringLiteral("0,1"), QString()};
    std::vector<StatementRow> rows;
    for (const QVariant& amount : amounts)
        rows.push_back(
            {1, QStringLiteral("DEPENSE"), QStringLiteral("900"), QStringLiteral("901"), amount});
    FakeStatement data(rows);
    auto* amountField =
        dynamic_cast<etb::data::TFloatField*>(data.findField(QStringLiteral("SUM OF montant")));
    ASSERT_NE(amountField, nullptr);
    amountField->setSeparators({QLatin1Char(','), QLatin1Char('.')});
    TForm2 form(&data);
    ReportLayout layout(form.QuickRep2);
    const Page page = layout.page(0);
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto boxes = boxesOfBand(page, page.bands[2 + i], kLinePx);
        ASSERT_NE(named(boxes, "QRDBText3"), nullptr);
        EXPECT_EQ(named(boxes, "QRDBText3")->text, texts[i]) << i;
        EXPECT_EQ(named(boxes, "QRDBText1")->text, QStringLiteral("900"));
        EXPECT_EQ(named(boxes, "QRDBText2")->text, QStringLiteral("901"));
    }
}

TEST(StatementReport, TotalWordsOfOtherTypes) {
    const QString types[] = {QStringLiteral("AUTRE"), QStringLiteral("depense"), QString()};
    const QString words[] = {QStringLiteral("TOTAL AUTRE"), QStringLiteral("TOTAL depense"),
                             QStringLiteral("TOTAL ")};
    for (size_t i = 0; i < 3; ++i) {
        FakeStatement data({{0, types[i], QStringLiteral("1"), QStringLiteral("2"), 5.0}});
        TForm2 form(&data);
        ReportLayout layout(form.QuickRep2);
        const Page page = layout.page(0);
        const auto boxes = boxesOfBand(page, page.bands[2], kLinePx);
        ASSERT_NE(named(boxes, "QRLabel34"), nullptr);
        EXPECT_EQ(named(boxes, "QRLabel34")->text, words[i]);
    }
}

TEST(StatementReport, PagesOfALongStatement) {
    FakeStatement data(100, etb::testing::generatedRow);
    TForm2 form(&data);
    ReportLayout layout(form.QuickRep2);
    ASSERT_EQ(layout.pageCount(), 3);
    const int linesOnPage[] = {36, 37, 27};
    qint64 row = 0;
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        const Page page = layout.page(index);
        QStringList bandNames;
        for (const PrintedBand& band : page.bands)
            bandNames << band.bandName;
        EXPECT_EQ(bandNames.count(QStringLiteral("TitleBand2")), index == 0 ? 1 : 0);
        EXPECT_EQ(bandNames.count(QStringLiteral("ColumnHeaderBand2")), 1);
        EXPECT_EQ(bandNames.count(QStringLiteral("DetailBand2")), linesOnPage[index]);
        const int headerIndex = index == 0 ? 1 : 0;
        EXPECT_EQ(page.bands[headerIndex].bandName, QStringLiteral("ColumnHeaderBand2"));
        EXPECT_EQ(page.bands[headerIndex].topPx, kMarginPx + (index == 0 ? kTitlePx : 0));
        const int firstLinePx = kMarginPx + kHeaderPx + (index == 0 ? kTitlePx : 0);
        for (size_t b = headerIndex + 1; b < page.bands.size(); ++b) {
            const int line = static_cast<int>(b - headerIndex - 1);
            EXPECT_EQ(page.bands[b].topPx, firstLinePx + line * kLinePx);
            EXPECT_EQ(page.bands[b].dataRow, row++);
        }
        // The header's cells and labels open every page.
        EXPECT_EQ(namesOf(boxesOfBand(page, page.bands[headerIndex], kHeaderPx)).size(), 6);
    }
    EXPECT_EQ(row, 100);
    // The last line of the first page ends 0.93 px (0.25 mm) above the bottom margin.
    EXPECT_NEAR(layout.printableHeightPx() - (kTitlePx + kHeaderPx + 36 * kLinePx), 0.93, 0.01);
}

TEST(StatementReport, AMillionRowsArePagedWithoutReadingThem) {
    FakeStatement data(1'000'000, etb::testing::generatedRow);
    TForm2 form(&data);
    ReportLayout layout(form.QuickRep2);
    // 36 lines, then 37 a page: 999 964 = 27 026 x 37 + 2.
    EXPECT_EQ(layout.pageCount(), 1 + 27026 + 1);
    EXPECT_EQ(data.reads(), 0);
    const Page last = layout.page(layout.pageCount() - 1);
    ASSERT_EQ(last.bands.size(), 3u);
    EXPECT_EQ(last.bands[1].dataRow, 999'998);
    EXPECT_EQ(last.bands[2].dataRow, 999'999);
    EXPECT_LT(data.reads(), 50);
    EXPECT_EQ(data.recNo(), 999'999);
}

TEST(StatementReport, EmptyStatementPrintsTitleAndOneBlankTotalLine) {
    FakeStatement data({});
    TForm2 form(&data);
    TForm2 withoutQuery(nullptr);  // a host built before its query: the same single line
    for (TForm2* host : {&form, &withoutQuery}) {
        ReportLayout layout(host->QuickRep2);
        ASSERT_EQ(layout.pageCount(), 1);
        const Page page = layout.page(0);
        ASSERT_EQ(page.bands.size(), 2u);
        EXPECT_EQ(page.bands[0].bandName, QStringLiteral("TitleBand2"));
        EXPECT_EQ(page.bands[1].bandName, QStringLiteral("DetailBand2"));
        EXPECT_EQ(page.bands[1].topPx, kMarginPx + kTitlePx);
        EXPECT_EQ(page.bands[1].dataRow, -1);
        const auto boxes = boxesOfBand(page, page.bands[1], kLinePx);
        EXPECT_EQ(namesOf(boxes), kTotalLine);
        EXPECT_EQ(named(boxes, "QRShape32")->brushColor, kSilver);
        EXPECT_EQ(named(boxes, "QRShape34")->brushColor, kSilver);
        EXPECT_EQ(named(boxes, "QRDBText3")->text, QString());
        EXPECT_EQ(named(boxes, "QRLabel34")->text, QString());
    }
}

// Every line sets all six settings; a total line after a detail line and the reverse show
// nothing of the line before.
TEST(StatementReport, NothingCarriesOverBetweenLayouts) {
    FakeStatement data(etb::testing::fiveLineStatement());
    TForm2 form(&data);
    for (int run = 0; run < 2; ++run) {
        ReportLayout layout(form.QuickRep2);
        const Page page = layout.page(0);
        EXPECT_EQ(namesOf(boxesOfBand(page, page.bands[2], kLinePx)), kTotalLine);
        EXPECT_EQ(namesOf(boxesOfBand(page, page.bands[3], kLinePx)), kDetailLine);
    }
}

TEST(StatementReport, ErrorOfTheLineRulePropagates) {
    FakeStatement data(etb::testing::fiveLineStatement(), /*withN=*/false);
    TForm2 form(&data);
    ReportLayout layout(form.QuickRep2);
    EXPECT_EQ(layout.pageCount(), 1);
    EXPECT_THROW(layout.page(0), etb::data::DataError);
}

// Band placement and element rules of the report engine, on small hand-built templates.
#include "reports/report_layout.h"
#include "fake_statement.h"
#include "reports/page_painter.h"
#include "reports/text_metrics.h"

#include <gtest/gtest.h>
#include <QLocale>
#include <QtMath>
#include <stdexcept>

using namespace etb::reports;
using etb::testing::FakeStatement;

namespace {

constexpr int kMarginPx = 38;  // 10 mm

Band makeBand(const char* name, BandKind kind, int heightPx) {
    Band band;
    band.name = QString::fromUtf8(name);
    band.kind = kind;
    band.heightPx = heightPx;
    return band;
}

Element makeLabel(const char* name, int leftPx, int widthPx, const QString& caption) {
    Element element;
    element.name = QString::fromUtf8(name);
    element.kind = ElementKind::Label;
    element.leftPx = leftPx;
    element.topPx = 2;
    element.widthPx = widthPx;
    element.heightPx = 17;
    element.caption = caption;
    return element;
}

const Box* findBox(const Page& page, const char* name) {
    for (const Box& box : page.boxes)
        if (box.elementName == QLatin1String(name))
            return &box;
    return nullptr;
}

// Title, column header and detail bands, with one label each.
ReportTemplate threeBands(int titlePx, int headerPx, int detailPx) {
    ReportTemplate report;
    report.name = QStringLiteral("Test");
    report.add(makeBand("Title", BandKind::Title, titlePx))
        .add(makeLabel("TitleLabel", 10, 100, QStringLiteral("Titre")));
    report.add(makeBand("Header", BandKind::ColumnHeader, headerPx))
        .add(makeLabel("HeaderLabel", 10, 100, QStringLiteral("En-tête")));
    report.add(makeBand("Detail", BandKind::Detail, detailPx))
        .add(makeLabel("DetailLabel", 10, 100, QStringLiteral("Ligne")));
    return report;
}

}  // namespace

TEST(ReportLayout, PageSetupInDesignPixels) {
    ReportTemplate report = threeBands(10, 10, 10);
    ReportLayout layout(report);
    EXPECT_NEAR(layout.sheetWidthPx(), 793.70, 0.01);
    EXPECT_NEAR(layout.sheetHeightPx(), 1122.52, 0.01);
    EXPECT_NEAR(layout.printableHeightPx(), 1046.93, 0.01);
    const Page page = layout.page(0);
    EXPECT_EQ(page.widthPx, 794);
    EXPECT_EQ(page.heightPx, 1123);
    ASSERT_FALSE(page.bands.empty());
    EXPECT_EQ(page.bands.front().topPx, kMarginPx);
    const Box* title = findBox(page, "TitleLabel");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->leftPx, kMarginPx + 10);
    EXPECT_EQ(title->topPx, kMarginPx + 2);
}

TEST(ReportLayout, TemplateWithoutDataSetPrintsItsDetailOnceAndNoHeader) {
    ReportTemplate report = threeBands(85, 35, 256);
    int detailHandlerCalls = 0;
    report.findBand(QStringLiteral("Detail"))->beforePrint = [&](Band&) { ++detailHandlerCalls; };
    ReportLayout layout(report);
    ASSERT_EQ(layout.pageCount(), 1);
    EXPECT_EQ(detailHandlerCalls, 0);  // counting pages runs no handler
    const Page page = layout.page(0);
    ASSERT_EQ(page.bands.size(), 2u);
    EXPECT_EQ(page.bands[0].bandName, QStringLiteral("Title"));
    EXPECT_EQ(page.bands[1].bandName, QStringLiteral("Detail"));
    EXPECT_EQ(page.bands[1].topPx, kMarginPx + 85);
    EXPECT_EQ(page.bands[1].dataRow, -1);
    EXPECT_EQ(findBox(page, "HeaderLabel"), nullptr);
    EXPECT_EQ(detailHandlerCalls, 1);
}

TEST(ReportLayout, EmptyDataSetPrintsOneDetailWithoutHeader) {
    FakeStatement data({});
    ReportTemplate report = threeBands(40, 34, 27);
    report.dataSet = &data;
    ReportLayout layout(report);
    ASSERT_EQ(layout.pageCount(), 1);
    const Page page = layout.page(0);
    ASSERT_EQ(page.bands.size(), 2u);
    EXPECT_EQ(page.bands[1].bandName, QStringLiteral("Detail"));
    EXPECT_EQ(page.bands[1].topPx, kMarginPx + 40);

    report.page.printIfEmpty = false;
    ReportLayout withoutEmptyLine(report);
    EXPECT_EQ(withoutEmptyLine.page(0).bands.size(), 1u);
}

// Detail lines fill the space between the margins in whole lines: the fit test compares
// design pixels with the exact printable height.
TEST(ReportLayout, PageBreaksFollowFromBandHeights) {
    struct Case {
        int titlePx, headerPx, detailPx;
        qint64 rows;
        qint64 firstPage, furtherPages;
        int pages;
    };
    const Case cases[] = {
        {40, 34, 27, 100, 36, 37, 3},  // 40 + 34 + 36 x 27 = 1046 <= 1046.93
        {40, 34, 27, 36, 36, 37, 1},      {40, 34, 27, 37, 36, 37, 2},
        {40, 34, 27, 36 + 37, 36, 37, 2}, {40, 34, 27, 36 + 37 + 1, 36, 37, 3},
        {41, 34, 27, 10, 35, 37, 1},  // one pixel more and the 36th line moves on
        {0, 0, 1047, 3, 1, 1, 3},     // taller than the page: one line per page
        {1000, 0, 100, 2, 0, 10, 2},  // the first line does not fit under the title
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        FakeStatement data(c.rows, etb::testing::generatedRow);
        ReportTemplate report = threeBands(c.titlePx, c.headerPx, c.detailPx);
        report.dataSet = &data;
        ReportLayout layout(report);
        EXPECT_EQ(layout.linesOnFirstPage(), c.firstPage);
        EXPECT_EQ(layout.linesPerFurtherPage(), c.furtherPages);
        EXPECT_EQ(layout.pageCount(), c.pages);

        qint64 detailLines = 0;
        for (int index = 0; index < layout.pageCount(); ++index) {
            const Page page = layout.page(index);
            int expectedTopPx = kMarginPx;
            for (const PrintedBand& band : page.bands) {
                EXPECT_EQ(band.topPx, expectedTopPx) << band.bandName.toStdString();
                expectedTopPx += band.bandName == QLatin1String("Title")    ? c.titlePx
                                 : band.bandName == QLatin1String("Header") ? c.headerPx
                                                                            : c.detailPx;
                if (band.bandName == QLatin1String("Detail")) {
                    EXPECT_EQ(band.dataRow, detailLines);
                    EXPECT_EQ(layout.pageOfLine(detailLines), index);
                    ++detailLines;
                }
            }
            // The title opens the first page only; the header opens every page after it.
            const QString opening = index == 0 ? QStringLiteral("Title") : QStringLiteral("Header");
            if (c.titlePx > 0 || index > 0) {
                EXPECT_EQ(page.bands.front().bandName, opening);
            }
        }
        EXPECT_EQ(detailLines, c.rows);
    }
}

TEST(ReportLayout, HandlersRunOnlyForThePageAskedFor) {
    FakeStatement data(1000, etb::testing::generatedRow);
    ReportTemplate report = threeBands(40, 34, 27);
    report.dataSet = &data;
    std::vector<qint64> rowsSeen;
    report.findBand(QStringLiteral("Detail"))->beforePrint = [&](Band&) {
        rowsSeen.push_back(data.recNo());
    };
    ReportLayout layout(report);
    EXPECT_EQ(layout.pageCount(), 28);  // 36 + 26 x 37 = 998, then 2 more lines
    EXPECT_TRUE(rowsSeen.empty());
    const Page last = layout.page(27);
    ASSERT_EQ(rowsSeen.size(), 2u);
    EXPECT_EQ(rowsSeen[0], 998);
    EXPECT_EQ(rowsSeen[1], 999);
    EXPECT_EQ(last.bands.size(), 3u);  // header, two lines
}

TEST(ReportLayout, AutoSizeKeepsTheAlignmentPoint) {
    const QString text = QStringLiteral("Montant des mouvements");
    FontSpec font;
    const int textPx = qCeil(textWidthPx(font, text));
    ASSERT_GT(textPx, 50);

    struct Case {
        HAlign alignment;
        int widthPx;
        int expectedLeftPx;
    };
    const int leftPx = 100;
    const Case cases[] = {
        {HAlign::Left, textPx - 20, leftPx},
        {HAlign::Right, textPx - 21, leftPx - 21},
        {HAlign::Right, textPx + 21, leftPx + 21},
        // Half of an odd change, toward zero: 21 / 2 = 10 either way.
        {HAlign::Center, textPx - 21, leftPx - 10},
        {HAlign::Center, textPx + 21, leftPx + 10},
        {HAlign::Center, textPx - 1, leftPx},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.widthPx);
        ReportTemplate report;
        Element label = makeLabel("Auto", leftPx, c.widthPx, text);
        label.autoSize = true;
        label.alignment = c.alignment;
        report.add(makeBand("Detail", BandKind::Detail, 30)).add(label);
        ReportLayout layout(report);
        const Page page = layout.page(0);
        const Box* box = findBox(page, "Auto");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->widthPx, textPx);
        EXPECT_EQ(box->leftPx, kMarginPx + c.expectedLeftPx);
    }
}

TEST(ReportLayout, AutoSizeTakesTheWidestLineOfThePrintedText) {
    ReportTemplate report;
    Element label = makeLabel("Auto", 0, 10, QStringLiteral("Caption"));
    label.autoSize = true;
    label.onPrint = [](QString& text) { text = QStringLiteral("court\nune ligne plus longue"); };
    report.add(makeBand("Detail", BandKind::Detail, 30)).add(label);
    ReportLayout layout(report);
    const Page page = layout.page(0);
    const Box* box = findBox(page, "Auto");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text, QStringLiteral("court\nune ligne plus longue"));
    EXPECT_EQ(box->widthPx,
              qCeil(textWidthPx(FontSpec{}, QStringLiteral("une ligne plus longue"))));
}

TEST(ReportLayout, LabelAlignedToTheBandIsPlacedByItsAlignment) {
    struct Case {
        HAlign alignment;
        int widthPx;
        int expectedLeftPx;
    };
    // The band is 718 px wide; (718 - 401) / 2 = 158.
    const Case cases[] = {
        {HAlign::Center, 401, 158},
        {HAlign::Center, 400, 159},
        {HAlign::Left, 400, 0},
        {HAlign::Right, 400, 318},
    };
    for (const Case& c : cases) {
        ReportTemplate report;
        Element label = makeLabel("Centred", 49, c.widthPx, QStringLiteral("Titre"));
        label.alignToBand = true;
        label.alignment = c.alignment;
        report.add(makeBand("Title", BandKind::Title, 85)).add(label);
        ReportLayout layout(report);
        const Page page = layout.page(0);
        const Box* box = findBox(page, "Centred");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->leftPx, kMarginPx + c.expectedLeftPx) << c.widthPx;
        EXPECT_EQ(box->alignment, c.alignment);
    }
}

TEST(ReportLayout, DisabledElementsPrintNothingAndTheirHandlerIsNotCalled) {
    ReportTemplate report;
    Band& band = report.add(makeBand("Detail", BandKind::Detail, 30));
    int calls = 0;
    Element hidden = makeLabel("Hidden", 0, 50, QStringLiteral("caché"));
    hidden.enabled = false;
    hidden.onPrint = [&](QString&) { ++calls; };
    band.add(hidden);
    Element shape;
    shape.name = QStringLiteral("HiddenShape");
    shape.kind = ElementKind::Shape;
    shape.enabled = false;
    band.add(shape);
    Element shown = makeLabel("Shown", 0, 50, QStringLiteral("visible"));
    shown.onPrint = [&](QString& text) {
        ++calls;
        text = QStringLiteral("remplacé");
    };
    band.add(shown);

    ReportLayout layout(report);
    const Page page = layout.page(0);
    ASSERT_EQ(page.boxes.size(), 1u);
    EXPECT_EQ(page.boxes[0].elementName, QStringLiteral("Shown"));
    EXPECT_EQ(page.boxes[0].text, QStringLiteral("remplacé"));
    EXPECT_EQ(calls, 1);
    // The replacement holds for one printing: the caption is unchanged.
    EXPECT_EQ(report.findElement(QStringLiteral("Shown"))->caption, QStringLiteral("visible"));
}

TEST(ReportLayout, ElementsPrintInTableOrder) {
    ReportTemplate report;
    Band& band = report.add(makeBand("Detail", BandKind::Detail, 30));
    for (const char* name : {"C", "A", "B"})
        band.add(makeLabel(name, 0, 50, QStringLiteral("x")));
    ReportLayout layout(report);
    const Page page = layout.page(0);
    ASSERT_EQ(page.boxes.size(), 3u);
    EXPECT_EQ(page.boxes[0].elementName, QStringLiteral("C"));
    EXPECT_EQ(page.boxes[1].elementName, QStringLiteral("A"));
    EXPECT_EQ(page.boxes[2].elementName, QStringLiteral("B"));
}

TEST(ReportLayout, DataTextOfAColumnThatCannotBeReadIsEmpty) {
    FakeStatement data(etb::testing::fiveLineStatement());
    ReportTemplate report;
    report.dataSet = &data;
    Band& band = report.add(makeBand("Detail", BandKind::Detail, 30));
    Element known;
    known.name = QStringLiteral("Known");
    known.kind = ElementKind::DataText;
    known.dataSet = &data;
    known.dataField = QStringLiteral("min of CHP");  // names are case-blind
    band.add(known);
    Element unknown = known;
    unknown.name = QStringLiteral("Unknown");
    unknown.dataField = QStringLiteral("no such column");
    band.add(unknown);
    Element unbound = known;
    unbound.name = QStringLiteral("Unbound");
    unbound.dataSet = nullptr;
    band.add(unbound);

    ReportLayout layout(report);
    const Page page = layout.page(0);
    ASSERT_EQ(page.boxes.size(), 15u);
    EXPECT_EQ(page.boxes[0].text, QStringLiteral("900"));
    EXPECT_EQ(page.boxes[1].text, QString());
    EXPECT_EQ(page.boxes[2].text, QString());
}

TEST(ReportLayout, HandlerErrorsPropagate) {
    FakeStatement data(etb::testing::fiveLineStatement());
    ReportTemplate report = threeBands(40, 34, 27);
    report.dataSet = &data;
    report.findBand(QStringLiteral("Detail"))->beforePrint = [&](Band&) {
        if (data.recNo() == 3)
            throw std::runtime_error("ligne 3");
    };
    ReportLayout layout(report);
    EXPECT_THROW(layout.page(0), std::runtime_error);

    ReportTemplate labels = threeBands(40, 34, 27);
    labels.findElement(QStringLiteral("TitleLabel"))->onPrint = [](QString&) {
        throw std::logic_error("titre");
    };
    ReportLayout titleLayout(labels);
    EXPECT_THROW(titleLayout.page(0), std::logic_error);
}

TEST(ReportLayout, RightToLeftReadingOrderNeedsARightToLeftSystem) {
    ReportTemplate report;
    Band& band = report.add(makeBand("Detail", BandKind::Detail, 30));
    for (HAlign alignment : {HAlign::Left, HAlign::Center, HAlign::Right}) {
        Element label = makeLabel("RTL", 0, 50, QStringLiteral("900"));
        label.alignment = alignment;
        label.readingOrder = ReadingOrder::RightToLeft;
        band.add(label);
    }
    const bool rightToLeftSystem = QLocale::system().textDirection() == Qt::RightToLeft;
    ReportLayout layout(report);
    const Page page = layout.page(0);
    ASSERT_EQ(page.boxes.size(), 3u);
    EXPECT_EQ(page.boxes[1].alignment, HAlign::Center);  // centred stays centred
    if (!rightToLeftSystem) {
        EXPECT_EQ(page.boxes[0].alignment, HAlign::Left);
        EXPECT_EQ(page.boxes[0].readingOrder, ReadingOrder::LeftToRight);
        EXPECT_EQ(page.boxes[2].alignment, HAlign::Right);
    } else {
        EXPECT_EQ(page.boxes[0].alignment, HAlign::Right);
        EXPECT_EQ(page.boxes[2].alignment, HAlign::Left);
    }
}

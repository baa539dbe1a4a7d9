// Painting of laid-out pages: checked on pixels of images at 96 and 150 dpi.
#include "reports/page_painter.h"
#include "fake_statement.h"
#include "reports/form2.h"
#include "reports/report_layout.h"

#include <gtest/gtest.h>
#include <QFontInfo>
#include <QImage>
#include <QPainter>

using namespace etb::reports;

namespace {

constexpr int kMarginPx = 38;
constexpr int kFirstLinePx = kMarginPx + 40 + 34;  // under the title and the header
constexpr int kLinePx = 27;

QImage paint(const Page& page, int dpi) {
    const double scale = dpi / 96.0;
    QImage image(qRound(page.exactWidthPx * scale), qRound(page.exactHeightPx * scale),
                 QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::red);  // the painter must cover the sheet
    QPainter painter(&image);
    paintPage(page, painter, QRectF(0, 0, page.exactWidthPx * scale, page.exactHeightPx * scale));
    return image;
}

bool isInk(QRgb pixel) {
    return qGray(pixel) < 96;
}

// The bounding box of dark pixels within area (image pixels).
QRect inkIn(const QImage& image, const QRect& area) {
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (isInk(image.pixel(x, y)))
                ink |= QRect(x, y, 1, 1);
    return ink;
}

class FiveLinePage : public ::testing::Test {
protected:
    etb::testing::FakeStatement data{etb::testing::fiveLineStatement()};
    TForm2 form{&data};
    Page page = ReportLayout(form.QuickRep2).page(0);
};

}  // namespace

TEST(PagePainter, FontIsArialOrItsMetricCompatibleStandIn) {
    FontSpec boldArial;
    boldArial.bold = true;
    const QFont font = fontFor(boldArial);
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(family == QLatin1String("Arial") || family == QLatin1String("Liberation Sans"))
        << family.toStdString();
    EXPECT_TRUE(font.bold());
    EXPECT_EQ(font.pointSizeF(), 10.0);
}

TEST_F(FiveLinePage, CellsRuleAndFillsAt96Dpi) {
    const QImage image = paint(page, 96);
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
    const QRgb silver = qRgb(192, 192, 192);
    const QRgb white = qRgb(255, 255, 255);
    const QRgb black = qRgb(0, 0, 0);
    struct Line {
        int index;
        QRgb fill;
    };
    for (const Line line : {Line{0, silver}, Line{1, white}, Line{3, silver}, Line{4, white}}) {
        SCOPED_TRACE(line.index);
        const int top = kFirstLinePx + line.index * kLinePx;
        const int below = top + 24;                                 // under the texts
        EXPECT_EQ(image.pixel(kMarginPx + 40, below), line.fill);   // chapter column
        EXPECT_EQ(image.pixel(kMarginPx + 100, below), line.fill);  // article column
        EXPECT_EQ(image.pixel(kMarginPx + 200, below), line.fill);  // amount cell
        // Outlines: the cells' left edges, the shared edge at 34.40 mm, the bottom.
        EXPECT_EQ(image.pixel(kMarginPx + 2, below), black);
        EXPECT_EQ(image.pixel(kMarginPx + 130, below), black);
        EXPECT_EQ(image.pixel(kMarginPx + 130 + 119, below), black);
        EXPECT_EQ(image.pixel(kMarginPx + 131, below), line.fill);
        EXPECT_EQ(image.pixel(kMarginPx + 40, top + kLinePx - 1), black);
        // The one-pixel rule between chapter and article shows on detail lines only.
        EXPECT_EQ(image.pixel(kMarginPx + 66, below), line.fill == white ? black : silver);
        EXPECT_EQ(image.pixel(kMarginPx + 65, below), line.fill);
        EXPECT_EQ(image.pixel(kMarginPx + 67, below), line.fill);
    }
}

TEST_F(FiveLinePage, TextsSitInTheirBoxes) {
    const QImage image = paint(page, 96);
    // Amounts end at 64.29 mm from the band's left (243 px), right-aligned.
    for (int index = 0; index < 5; ++index) {
        const int top = kFirstLinePx + index * kLinePx;
        const QRect ink = inkIn(image, QRect(kMarginPx + 131, top + 2, 117, kLinePx - 4));
        ASSERT_FALSE(ink.isEmpty()) << index;
        EXPECT_LE(ink.right(), kMarginPx + 243) << index;
        EXPECT_GE(ink.right(), kMarginPx + 240) << index;
    }
    // The total words start at 1.85 mm and stay on one line, inside the grey cell.
    const QRect words = inkIn(image, QRect(kMarginPx + 3, kFirstLinePx + 2, 126, kLinePx - 4));
    EXPECT_GE(words.left(), kMarginPx + 7);
    EXPECT_LE(words.left(), kMarginPx + 9);
    EXPECT_LT(words.height(), 14);
    EXPECT_GT(words.width(), 80);
    // A detail line's chapter code is centred between 3.18 and 15.61 mm (12 to 59 px).
    const QRect code = inkIn(image, QRect(kMarginPx + 3, kFirstLinePx + kLinePx + 2, 60, 20));
    ASSERT_FALSE(code.isEmpty());
    const double centre = (code.left() + code.right() + 1) / 2.0 - kMarginPx;
    EXPECT_NEAR(centre, (12 + 59) / 2.0, 1.5);
}

// At 150 dpi the page is the same drawing, scaled: texts keep their lines and places, and
// the one-pixel outlines stay visible.
TEST_F(FiveLinePage, ScalesTo150Dpi) {
    const double scale = 150.0 / 96.0;
    const QImage image = paint(page, 150);
    EXPECT_EQ(image.width(), 1240);
    EXPECT_EQ(image.height(), 1754);
    const auto at = [&](double px) { return static_cast<int>(px * scale); };

    for (int index = 0; index < 5; ++index) {
        const int top = kFirstLinePx + index * kLinePx;
        const QRect amount =
            inkIn(image, QRect(at(kMarginPx + 131), at(top + 2), at(117), at(kLinePx - 4)));
        ASSERT_FALSE(amount.isEmpty()) << index;
        EXPECT_NEAR(amount.right(), (kMarginPx + 243) * scale, 4) << index;
    }
    const QRect words =
        inkIn(image, QRect(at(kMarginPx + 4), at(kFirstLinePx + 2), at(124), at(kLinePx - 4)));
    EXPECT_LT(words.height(), 14 * scale);

    // The rule of the first detail line, and the outline under it.
    const int below = at(kFirstLinePx + kLinePx + 24);
    const QRect rule = inkIn(image, QRect(at(kMarginPx + 62), below, at(8), 1));
    ASSERT_FALSE(rule.isEmpty());
    EXPECT_LE(rule.width(), 2);
    EXPECT_NEAR(rule.left(), (kMarginPx + 66) * scale, 1.5);
    EXPECT_EQ(image.pixel(at(kMarginPx + 40), below), qRgb(255, 255, 255));
}

// The preview window on its own: paging keys and controls, zoom, lazy layout, text search,
// and printing and PDF output without dialogs.
#include "reports/preview_window.h"

#include "preview_fixtures.h"
#include "reports/preview_output.h"
#include "reports/preview_page_view.h"
#include "reports/preview_thumbnails.h"

#include <gtest/gtest.h>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <chrono>
#include <thread>

namespace etb::reports {
namespace {

using testing::numberedRows;
using testing::processEventsUntil;
using testing::TextRows;
using testing::textTemplate;

// A report of several pages of numbered lines, its window shown and built.
class PreviewWindowTest : public ::testing::Test {
protected:
    explicit PreviewWindowTest(int rows = 40, int detailHeightPx = 100)
        : m_rows(numberedRows(rows)),
          m_report(textTemplate(QStringLiteral("R"), &m_rows, detailHeightPx)) {}

    void SetUp() override {
        m_rows.open();
        m_window = std::make_unique<PreviewWindow>(m_report);
        m_window->showAtOrigin();
        m_window->build();
    }

    void press(QObject* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(target, &event);
    }

    QStringList textsOnShow() const {
        QStringList texts;
        for (const Box& box : m_window->pageView()->page()->boxes)
            texts << box.text;
        return texts;
    }

    // The results of searchFinished while the returned object lives.
    std::unique_ptr<QObject> recordSearches(std::vector<bool>& results) {
        auto receiver = std::make_unique<QObject>();
        QObject::connect(m_window.get(), &PreviewWindow::searchFinished, receiver.get(),
                         [&results](bool found) { results.push_back(found); });
        return receiver;
    }

    bool waitForSearch() {
        return processEventsUntil([this] { return !m_window->searching(); });
    }

    TextRows m_rows;
    ReportTemplate m_report;
    std::unique_ptr<PreviewWindow> m_window;
};

TEST_F(PreviewWindowTest, PagingKeysAndPageControls) {
    const int last = m_window->pageCount() - 1;
    ASSERT_GE(last, 3);
    const auto* pageNumber = m_window->findChild<QSpinBox*>(QStringLiteral("pageNumber"));
    const auto* pageTotal = m_window->findChild<QLabel*>(QStringLiteral("pageTotal"));
    ASSERT_NE(pageNumber, nullptr);
    ASSERT_NE(pageTotal, nullptr);
    EXPECT_EQ(pageTotal->text().trimmed(), QStringLiteral("/ %1").arg(last + 1));

    const struct {
        int key;
        int from;
        int to;
    } cases[] = {
        {Qt::Key_PageDown, 0, 1}, {Qt::Key_PageDown, last, last}, {Qt::Key_PageUp, 2, 1},
        {Qt::Key_PageUp, 0, 0},   {Qt::Key_End, 1, last},         {Qt::Key_Home, last, 0},
    };
    // The keys work from the page and from the thumbnails.
    QObject* targets[] = {m_window->pageView(), m_window->thumbnailView()};
    for (QObject* target : targets) {
        for (const auto& step : cases) {
            SCOPED_TRACE(
                QStringLiteral("key %1 from page %2").arg(step.key).arg(step.from).toStdString());
            m_window->goToPage(step.from);
            press(target, step.key);
            EXPECT_EQ(m_window->currentPage(), step.to);
            ASSERT_NE(m_window->pageView()->page(), nullptr);
            EXPECT_EQ(m_window->pageView()->page()->index, step.to);
            EXPECT_EQ(pageNumber->value(), step.to + 1);
            EXPECT_EQ(m_window->thumbnailView()->currentIndex().row(), step.to);
        }
    }
}

TEST_F(PreviewWindowTest, GoToPageFromTheNumberAndTheThumbnails) {
    auto* pageNumber = m_window->findChild<QSpinBox*>(QStringLiteral("pageNumber"));
    pageNumber->setValue(3);
    EXPECT_EQ(m_window->currentPage(), 2);
    m_window->thumbnailView()->setCurrentIndex(m_window->thumbnailView()->model()->index(1, 0));
    EXPECT_EQ(m_window->currentPage(), 1);
    m_window->goToPage(1000);  // out of range: the last page
    EXPECT_EQ(m_window->currentPage(), m_window->pageCount() - 1);
    m_window->goToPage(-5);
    EXPECT_EQ(m_window->currentPage(), 0);
}

TEST_F(PreviewWindowTest, WheelPastTheWholePageTurnsIt) {
    m_window->zoomWholePage();
    QWidget* viewport = m_window->findChild<QScrollArea*>(QStringLiteral("pageArea"))->viewport();
    const auto turn = [viewport](int delta) {
        QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(viewport, &wheel);
    };
    turn(-120);
    EXPECT_EQ(m_window->currentPage(), 1);
    turn(-120);
    EXPECT_EQ(m_window->currentPage(), 2);
    turn(60);  // half a notch: not yet
    EXPECT_EQ(m_window->currentPage(), 2);
    turn(60);
    EXPECT_EQ(m_window->currentPage(), 1);
}

TEST_F(PreviewWindowTest, EscapeClosesTheWindow) {
    int closed = 0;
    QObject receiver;
    QObject::connect(m_window.get(), &PreviewWindow::closed, &receiver, [&closed] { ++closed; });
    press(m_window->pageView(), Qt::Key_Escape);
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(m_window->isVisible());
}

TEST_F(PreviewWindowTest, Zoom) {
    m_window->resize(800, 700);
    QCoreApplication::processEvents();
    auto* area = m_window->findChild<QScrollArea*>(QStringLiteral("pageArea"));
    ASSERT_NE(area, nullptr);
    const QSize room = area->maximumViewportSize();
    const PreviewPageView* view = m_window->pageView();

    m_window->zoomWholePage();
    EXPECT_LE(view->width(), room.width());
    EXPECT_LE(view->height(), room.height());
    EXPECT_GE(view->height(), room.height() - 2);  // A4 portrait is limited by the height

    m_window->zoomPageWidth();
    EXPECT_LE(view->width(), room.width());
    EXPECT_GE(view->width(), room.width() - area->verticalScrollBar()->sizeHint().width() - 2);

    const auto* zoomBox = m_window->findChild<QComboBox*>(QStringLiteral("zoom"));
    ASSERT_NE(zoomBox, nullptr);
    for (int percent : {50, 100, 200, 60}) {
        m_window->setZoomPercent(percent);
        EXPECT_EQ(m_window->zoomMode(), PreviewWindow::ZoomMode::Percent);
        EXPECT_NEAR(m_window->zoomPercent(), percent, 0.01);
        EXPECT_EQ(zoomBox->currentText(), QStringLiteral("%1 %").arg(percent));
    }
}

// Only the page on show and the visible thumbnails are laid out, whatever the report's length.
class PreviewWindowLongReport : public PreviewWindowTest {
protected:
    PreviewWindowLongReport() : PreviewWindowTest(20000, 40) {}
};

TEST_F(PreviewWindowLongReport, LaysOutOnlyWhatIsShown) {
    int printed = 0;
    m_report.bands[1].beforePrint = [&printed](Band&) { ++printed; };
    m_window->build();
    m_window->repaint();
    m_window->thumbnailView()->repaint();
    QCoreApplication::processEvents();
    const int linesPerPage = 1100 / 40;
    EXPECT_GT(m_window->pageCount(), 700);
    EXPECT_GT(printed, 0);
    EXPECT_LT(printed, 12 * linesPerPage);

    printed = 0;
    m_window->lastPage();
    EXPECT_LE(printed, linesPerPage);
    EXPECT_TRUE(textsOnShow().contains(QStringLiteral("L19999.")));
}

TEST_F(PreviewWindowTest, SearchGoesForwardFromThePageOnShow) {
    // Every line holds "L00"; the first match from page 2 is its first line.
    m_window->goToPage(2);
    std::vector<bool> finished;
    const auto recording = recordSearches(finished);
    m_window->find(QStringLiteral("l00"));
    ASSERT_TRUE(waitForSearch());
    ASSERT_EQ(finished, std::vector<bool>{true});
    const PageSearch::Position first = m_window->lastMatch();
    EXPECT_EQ(first.page, 2);
    EXPECT_EQ(m_window->currentPage(), 2);
    const QString firstText = m_window->pageView()->page()->boxes[size_t(first.box)].text;
    EXPECT_TRUE(firstText.startsWith(QStringLiteral("L00")));

    // The same text again: the next match after the last one.
    m_window->find(QStringLiteral("l00"));
    ASSERT_TRUE(waitForSearch());
    EXPECT_EQ(m_window->lastMatch().page, 2);
    EXPECT_GT(m_window->lastMatch().box, first.box);

    // A text found only before the page on show: the search goes round to it.
    m_window->find(QStringLiteral("L0000."));
    ASSERT_TRUE(waitForSearch());
    EXPECT_EQ(m_window->lastMatch().page, 0);
    EXPECT_EQ(m_window->currentPage(), 0);

    m_window->goToPage(1);
    m_window->find(QStringLiteral("introuvable"));
    ASSERT_TRUE(waitForSearch());
    EXPECT_FALSE(finished.back());
    EXPECT_EQ(m_window->lastMatch().page, -1);
    EXPECT_EQ(m_window->currentPage(), 1);
}

// A slow report: each line takes a millisecond to lay out, so a search runs over many slices.
class PreviewWindowSlowReport : public PreviewWindowTest {
protected:
    PreviewWindowSlowReport() : PreviewWindowTest(3000, 40) {
        m_report.bands[1].beforePrint = [](Band&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
    }
};

TEST_F(PreviewWindowSlowReport, EscapeOrAnotherSearchStopsARunningSearch) {
    m_window->find(QStringLiteral("introuvable"));
    EXPECT_TRUE(m_window->searching());
    // The window keeps handling events while the search runs.
    bool timerRan = false;
    QTimer::singleShot(50, [&timerRan] { timerRan = true; });
    processEventsUntil([&timerRan] { return timerRan; }, 5000);
    EXPECT_TRUE(timerRan);
    EXPECT_TRUE(m_window->searching());

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(m_window->pageView(), &escape);
    EXPECT_FALSE(m_window->searching());
    EXPECT_TRUE(m_window->isVisible());  // Esc stopped the search, not the window

    m_window->find(QStringLiteral("introuvable"));
    std::vector<bool> finished;
    const auto recording = recordSearches(finished);
    m_window->find(QStringLiteral("L2999."));
    EXPECT_EQ(finished, std::vector<bool>{false});  // the first search, stopped
    EXPECT_TRUE(m_window->searching());
    m_window->stopSearch();
}

// The pages of a PDF file as its page objects say, -1 when it is not a PDF file.
int pdfPageCount(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith("%PDF"))
        return -1;
    static const QRegularExpression pageObject(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    int pages = 0;
    for (auto it = pageObject.globalMatch(QString::fromLatin1(bytes)); it.hasNext(); it.next())
        ++pages;
    return pages;
}

TEST(PreviewOutput, PrinterSettings) {
    QPrinter printer;
    printer.setCopyCount(3);
    printer.setDuplex(QPrinter::DuplexLongSide);
    printer.setPrintRange(QPrinter::PageRange);
    setUpPrinter(printer);
    EXPECT_EQ(printer.copyCount(), 1);
    EXPECT_EQ(printer.duplex(), QPrinter::DuplexNone);
    EXPECT_EQ(printer.printRange(), QPrinter::AllPages);
    EXPECT_EQ(printer.paperSource(), QPrinter::Auto);
    EXPECT_TRUE(printer.fullPage());
    EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A4);
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);
}

TEST_F(PreviewWindowTest, PrintsAndSavesEveryPage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const int pages = m_window->pageCount();

    const QString pdf = dir.filePath(QStringLiteral("apercu.pdf"));
    ASSERT_TRUE(m_window->saveAsPdf(pdf));
    EXPECT_EQ(pdfPageCount(pdf), pages);

    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("imprime.pdf")));
    ASSERT_TRUE(m_window->printTo(printer));
    EXPECT_EQ(pdfPageCount(printer.outputFileName()), pages);

    // A range chosen in the print dialog prints those pages only.
    printer.setOutputFileName(dir.filePath(QStringLiteral("extrait.pdf")));
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 3);
    ASSERT_TRUE(m_window->printTo(printer));
    EXPECT_EQ(pdfPageCount(printer.outputFileName()), 2);

    EXPECT_FALSE(m_window->saveAsPdf(dir.filePath(QStringLiteral("absent/apercu.pdf"))));
    EXPECT_TRUE(m_window->isVisible());
}

}  // namespace
}  // namespace etb::reports

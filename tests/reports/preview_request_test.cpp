// Preview requests: one window per template, nested waiting, closing, application exit,
// page-building errors and the data set read afresh at each request. The tests act from
// timers while a request waits in its event loop.
#include "reports/preview.h"

#include "preview_fixtures.h"
#include "reports/preview_page_view.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QListView>
#include <QTimer>
#include <stdexcept>

namespace etb::reports {
namespace {

using testing::closePreviewWindows;
using testing::later;
using testing::openPreviewWindows;
using testing::TextRows;
using testing::textTemplate;

// Every test ends with no preview open; a request left waiting by a broken test is ended by
// the watchdog instead of hanging the run.
class PreviewRequest : public ::testing::Test {
protected:
    void SetUp() override {
        m_watchdog.setSingleShot(true);
        QObject::connect(&m_watchdog, &QTimer::timeout, [] {
            ADD_FAILURE() << "a preview request was still waiting";
            closePreviewWindows();
        });
        m_watchdog.start(20000);
    }
    void TearDown() override {
        m_watchdog.stop();
        EXPECT_TRUE(openPreviewWindows().empty());
    }

    QTimer m_watchdog;
};

QStringList pageTexts(const PreviewWindow* window) {
    QStringList texts;
    if (const Page* page = window->pageView()->page())
        for (const Box& box : page->boxes)
            texts << box.text;
    return texts;
}

TEST_F(PreviewRequest, WindowOpensAndClosingItEndsTheRequest) {
    ReportTemplate report = textTemplate(QStringLiteral("A"));
    bool sawWindow = false;
    later([&] {
        PreviewWindow* window = previewWindow(report);
        ASSERT_NE(window, nullptr);
        sawWindow = window->isVisible();
        EXPECT_TRUE(previewOpen(report));
        EXPECT_EQ(window->pageCount(), 1);
        window->close();
    });
    preview(report);
    EXPECT_TRUE(sawWindow);
    EXPECT_EQ(previewWindow(report), nullptr);
    EXPECT_FALSE(previewOpen(report));
}

TEST_F(PreviewRequest, EscapeClosesTheWindow) {
    ReportTemplate report = textTemplate(QStringLiteral("A"));
    later([&] {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(previewWindow(report)->pageView(), &escape);
    });
    preview(report);
    EXPECT_EQ(previewWindow(report), nullptr);
}

TEST_F(PreviewRequest, SecondRequestForAnOpenTemplateDoesNothing) {
    TextRows rows({QStringLiteral("un")});
    ReportTemplate report = textTemplate(QStringLiteral("A"), &rows);
    bool secondReturned = false;
    later([&] {
        PreviewWindow* window = previewWindow(report);
        ASSERT_NE(window, nullptr);
        const int opens = rows.opens;
        preview(report);  // returns at once, without reading the data again
        secondReturned = true;
        EXPECT_EQ(rows.opens, opens);
        EXPECT_EQ(openPreviewWindows().size(), 1u);
        EXPECT_EQ(previewWindow(report), window);
        window->close();
    });
    preview(report);
    EXPECT_TRUE(secondReturned);
}

TEST_F(PreviewRequest, RequestWhileThePagesAreBuiltDoesNothing) {
    TextRows rows({QStringLiteral("un")});
    ReportTemplate report = textTemplate(QStringLiteral("A"), &rows);
    int nestedRequests = 0;
    report.bands[1].beforePrint = [&](Band&) {
        ++nestedRequests;
        preview(report);  // must return at once, not open a second window
        EXPECT_LE(openPreviewWindows().size(), 1u);
    };
    later([] { closePreviewWindows(); });
    preview(report);
    EXPECT_GT(nestedRequests, 0);
}

TEST_F(PreviewRequest, TwoTemplatesNestAndTheFirstReturnsAfterTheSecond) {
    ReportTemplate first = textTemplate(QStringLiteral("A"));
    ReportTemplate second = textTemplate(QStringLiteral("B"));
    QStringList events;
    later([&] {
        later([&] {
            EXPECT_EQ(openPreviewWindows().size(), 2u);
            // Closing the window opened first leaves its request waiting under the second.
            previewWindow(first)->close();
            events << QStringLiteral("first closed");
            later([&] {
                EXPECT_FALSE(previewOpen(first));
                previewWindow(second)->close();
                events << QStringLiteral("second closed");
            });
        });
        preview(second);
        events << QStringLiteral("second returned");
    });
    preview(first);
    events << QStringLiteral("first returned");
    EXPECT_EQ(events,
              (QStringList{QStringLiteral("first closed"), QStringLiteral("second closed"),
                           QStringLiteral("second returned"), QStringLiteral("first returned")}));
}

TEST_F(PreviewRequest, TemplateClosedUnderAnotherRequestCanBePreviewedAgain) {
    ReportTemplate first = textTemplate(QStringLiteral("A"));
    ReportTemplate second = textTemplate(QStringLiteral("B"));
    int firstWindows = 0;
    later([&] {
        later([&] {
            previewWindow(first)->close();
            later([&] {
                // A third request, for the first template again, opens a new window.
                later([&] {
                    ++firstWindows;
                    ASSERT_NE(previewWindow(first), nullptr);
                    previewWindow(first)->close();
                    later([&] { previewWindow(second)->close(); });
                });
                preview(first);
            });
        });
        preview(second);
    });
    preview(first);
    EXPECT_EQ(firstWindows, 1);
}

TEST_F(PreviewRequest, ApplicationExitEndsEveryWaitingRequest) {
    ReportTemplate first = textTemplate(QStringLiteral("A"));
    ReportTemplate second = textTemplate(QStringLiteral("B"));
    QStringList returns;
    later([&] {
        later([] { QCoreApplication::exit(0); });
        preview(second);
        returns << QStringLiteral("second");
    });
    preview(first);
    returns << QStringLiteral("first");
    EXPECT_EQ(returns, (QStringList{QStringLiteral("second"), QStringLiteral("first")}));
    // The requests took their windows with them.
    EXPECT_TRUE(openPreviewWindows().empty());
    EXPECT_FALSE(previewOpen(first));
    EXPECT_FALSE(previewOpen(second));

    testing::recoverFromExit();
    bool reopened = false;
    later([&] {
        reopened = previewWindow(first) != nullptr;
        closePreviewWindows();
    });
    preview(first);
    EXPECT_TRUE(reopened);
}

TEST_F(PreviewRequest, ErrorWhileBuildingThePagesClosesTheWindowSilently) {
    TextRows rows({QStringLiteral("un"), QStringLiteral("deux")});
    const std::function<void()> failures[] = {
        [] { throw std::runtime_error("handler failed"); },
        [] {
            throw data::DataError(data::DataError::Kind::Io, QStringLiteral("Erreur de lecture"));
        },
    };
    for (const auto& failure : failures) {
        ReportTemplate report = textTemplate(QStringLiteral("A"), &rows);
        report.bands[1].beforePrint = [&failure](Band&) { failure(); };
        EXPECT_NO_THROW(preview(report));
        EXPECT_FALSE(previewOpen(report));
        EXPECT_TRUE(openPreviewWindows().empty());
    }
}

// Pages are built as they are shown; an error on a later page ends the preview the same way.
TEST_F(PreviewRequest, ErrorOnALaterPageClosesTheWindowSilently) {
    TextRows rows(testing::numberedRows(500));
    ReportTemplate report = textTemplate(QStringLiteral("A"), &rows);
    report.bands[1].beforePrint = [&rows](Band&) {
        if (rows.recNo() >= 450)
            throw std::runtime_error("unreadable row");
    };
    bool pagedToTheEnd = false;
    later([&] {
        PreviewWindow* window = previewWindow(report);
        ASSERT_NE(window, nullptr);
        ASSERT_GT(window->pageCount(), 2);
        pagedToTheEnd = true;
        window->lastPage();
    });
    EXPECT_NO_THROW(preview(report));
    EXPECT_TRUE(pagedToTheEnd);
    EXPECT_FALSE(previewOpen(report));
}

// Each request reads the data set again, so the pages show the data as it is now.
TEST_F(PreviewRequest, EachRequestReadsTheDataSetAgain) {
    TextRows rows({QStringLiteral("avant")});
    ReportTemplate report = textTemplate(QStringLiteral("A"), &rows);
    QStringList shown;
    const auto look = [&] {
        later([&] {
            shown = pageTexts(previewWindow(report));
            closePreviewWindows();
        });
    };
    look();
    preview(report);
    EXPECT_TRUE(shown.contains(QStringLiteral("avant")));
    EXPECT_EQ(rows.opens, 1);

    rows.source = {QStringLiteral("après"), QStringLiteral("encore")};
    look();
    preview(report);
    EXPECT_FALSE(shown.contains(QStringLiteral("avant")));
    EXPECT_TRUE(shown.contains(QStringLiteral("après")));
    EXPECT_TRUE(shown.contains(QStringLiteral("encore")));
    EXPECT_EQ(rows.opens, 2);
}

TEST_F(PreviewRequest, DataSetThatCannotBeReopenedFailsTheRequestWithoutAWindow) {
    TextRows rows({QStringLiteral("un")});
    rows.open();
    ReportTemplate report = textTemplate(QStringLiteral("A"), &rows);
    rows.failOpen = true;
    EXPECT_THROW(preview(report), data::DataError);
    EXPECT_TRUE(openPreviewWindows().empty());
    EXPECT_FALSE(previewOpen(report));

    // Nothing is left behind: once the data can be read, the next request opens its window.
    rows.failOpen = false;
    bool opened = false;
    later([&] {
        opened = previewWindow(report) != nullptr;
        closePreviewWindows();
    });
    preview(report);
    EXPECT_TRUE(opened);
}

TEST_F(PreviewRequest, WindowTitlePlaceAndSize) {
    ReportTemplate report = textTemplate(QStringLiteral("A"));
    later([&] {
        PreviewWindow* window = previewWindow(report);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Report Preview : "));
        EXPECT_TRUE(window->isWindow());
        EXPECT_EQ(window->frameGeometry(), QRect(0, 0, 500, 500));
        EXPECT_EQ(window->windowState(), Qt::WindowNoState);
        EXPECT_EQ(window->windowModality(), Qt::NonModal);
        EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_EQ(window->zoomMode(), PreviewWindow::ZoomMode::WholePage);
        EXPECT_TRUE(window->thumbnailView()->isVisible());
        window->close();
    });
    preview(report);
}

}  // namespace
}  // namespace etb::reports

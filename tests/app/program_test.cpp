// The whole program run in-process: start-up order, start-up failures, the main window's
// layout and focus, the buttons and the two ways of closing.
#include "app/program.h"
#include "app/form1.h"
#include "app/movement_grid.h"
#include "app_test_support.h"
#include "reports/report_model.h"

#include <gtest/gtest.h>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

namespace etb::app {
namespace {

using data::DataSetState;
using testing::BoxRecorder;
using testing::WorkDir;

// Runs the program; `whileRunning` runs once the event loop has started.
struct ProgramRun {
    QStringList steps;
    BoxRecorder recorder;
    QStringList previews;  // the templates previewed, by name
    std::function<void(reports::ReportTemplate&)> onPreview;

    int run(std::function<void(TForm1&)> whileRunning) {
        ProgramHooks hooks;
        hooks.log = [this](const QString& step) { steps << step; };
        hooks.messageBox = recorder.handler();
        hooks.preview = [this](reports::ReportTemplate& report) {
            previews << report.name;
            if (onPreview)
                onPreview(report);
        };
        hooks.started = [whileRunning](TForm1& form) {
            QTimer::singleShot(0, &form, [&form, whileRunning] {
                EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
                whileRunning(form);
            });
        };
        return runProgram(testing::application(), hooks);
    }
};

void typeInto(MovementGrid& grid, int row, int column, const QString& text) {
    grid.setFocus();
    grid.setCurrentIndex(grid.model()->index(row, column));
    QTest::keyClick(&grid, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(grid.openEditor());
    ASSERT_NE(editor, nullptr);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
}

TEST(ProgramTest, StartsInOrderAndEndsWithFermer) {
    WorkDir dir;
    dir.createMovements(testing::sampleMovements());
    ProgramRun program;
    bool checked = false;
    const int code = program.run([&](TForm1& form) {
        EXPECT_TRUE(form.TB1.active());
        EXPECT_TRUE(form.Q1.active());
        EXPECT_EQ(form.Q1.rowCount(), 5);
        EXPECT_EQ(form.DBGrid2->model()->rowCount(), 3);
        EXPECT_EQ(QApplication::focusWidget(), form.BitBtn1);
        checked = true;
        form.BitBtn3->click();
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(code, 0);
    const QStringList expected{
        QStringLiteral("Application.Initialize"),
        QStringLiteral("Form1.create"),
        QStringLiteral("Q1.open"),  // active when loaded, before the create handler
        QStringLiteral("FormCreate"),
        QStringLiteral("TB1.open"),
        QStringLiteral("Q1.open"),
        QStringLiteral("Form2.create"),
        QStringLiteral("Form1.show"),
        QStringLiteral("Application.Run"),
        QStringLiteral("Application.Terminate"),
        QStringLiteral("FormDestroy"),
        QStringLiteral("TB1.close"),
        QStringLiteral("Q1.close")};
    EXPECT_EQ(program.steps, expected);
    EXPECT_TRUE(program.recorder.boxes.empty());
}

TEST(ProgramTest, MainWindowLayoutAndTabOrder) {
    WorkDir dir;
    dir.createMovements(testing::sampleMovements());
    ProgramRun program;
    program.run([&](TForm1& form) {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Form1"));
        EXPECT_EQ(form.client()->size(), QSize(TForm1::kClientWidthPx, TForm1::kClientHeightPx));
        struct Control {
            QWidget* widget;
            QRect geometry;
        };
        const Control controls[] = {{form.BitBtn1, {248, 8, 139, 25}},
                                    {form.BitBtn3, {24, 8, 75, 25}},
                                    {form.DBGrid2, {8, 40, 385, 193}},
                                    {form.BitBtn2, {128, 8, 75, 25}}};
        for (const Control& c : controls)
            EXPECT_EQ(c.widget->geometry(), c.geometry) << c.widget->objectName().toStdString();
        EXPECT_EQ(form.BitBtn1->text(), QStringLiteral("Résultat qui je besoin"));
        EXPECT_EQ(form.BitBtn2->text(), QStringLiteral("Imprimer"));
        EXPECT_EQ(form.BitBtn3->text(), QStringLiteral("FERMER"));
        for (QPushButton* button : {form.BitBtn1, form.BitBtn2, form.BitBtn3}) {
            EXPECT_TRUE(button->font().bold());
            EXPECT_FALSE(button->autoDefault());
            EXPECT_FALSE(button->isDefault());
        }
        const int widths[] = {44, 44, 83, 102};
        for (int column = 0; column < 4; ++column)
            EXPECT_EQ(form.DBGrid2->columnWidth(column), widths[column]);
        EXPECT_EQ(form.palette().color(QPalette::Window), form.palette().color(QPalette::Button));

        // Centred on the screen for a 414 x 280 window.
        const QRect screen = form.screen()->geometry();
        EXPECT_EQ(form.pos(), QPoint(std::max(0, (screen.width() - 414) / 2),
                                     std::max(0, (screen.height() - 280) / 2)));

        // Tab order among the four controls, following the focus chain.
        QList<QWidget*> order;
        const QList<QWidget*> controlsInChain{form.BitBtn1, form.BitBtn3, form.DBGrid2,
                                              form.BitBtn2};
        QWidget* w = form.BitBtn1;
        do {
            if (controlsInChain.contains(w) && !order.contains(w))
                order << w;
            w = w->nextInFocusChain();
        } while (w != form.BitBtn1);
        EXPECT_EQ(order, controlsInChain);
        QTest::keyClick(form.BitBtn1, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), form.BitBtn3);
        QTest::keyClick(form.BitBtn3, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), form.DBGrid2);

        // Smaller than its controls: the client area keeps its size and can be scrolled.
        form.resize(200, 120);
        EXPECT_EQ(form.client()->size(), QSize(TForm1::kClientWidthPx, TForm1::kClientHeightPx));
        form.close();
    });
}

TEST(ProgramTest, StartupFailuresEndWithCodeOneBeforeAnyWindow) {
    struct Case {
        const char* name;
        std::function<void(WorkDir&)> prepare;
        bool dataDirectory;
    };
    const Case cases[] = {
        {"missing table", [](WorkDir&) {}, true},
        {"missing directory", [](WorkDir&) {}, false},
        {"missing column",
         [](WorkDir& dir) {
             dir.createTable({{QStringLiteral("Chp"), data::ParadoxType::Alpha, 3},
                              {QStringLiteral("Type"), data::ParadoxType::Alpha, 8},
                              {QStringLiteral("Montant"), data::ParadoxType::Number, 8}});
         },
         true},
    };
    const QRegularExpression firstLine(
        QStringLiteral("^Exception \\w+ dans le module app_tests dans [0-9A-F]{8}\\.$"));
    for (const Case& c : cases) {
        WorkDir dir(c.dataDirectory);
        c.prepare(dir);
        ProgramRun program;
        bool ran = false;
        EXPECT_EQ(program.run([&](TForm1&) { ran = true; }), 1) << c.name;
        EXPECT_FALSE(ran) << c.name;
        EXPECT_FALSE(program.steps.contains(QStringLiteral("Form1.show"))) << c.name;
        EXPECT_FALSE(program.steps.contains(QStringLiteral("FormCreate"))) << c.name;
        ASSERT_EQ(program.recorder.boxes.size(), 1u) << c.name;
        const MessageBoxRequest& box = program.recorder.boxes[0];
        EXPECT_EQ(box.title, QStringLiteral("Erreur d'application"));
        EXPECT_EQ(box.icon, QMessageBox::Critical);
        EXPECT_TRUE(box.taskModal);
        const QStringList lines = box.text.split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 2) << c.name << ": " << box.text.toStdString();
        EXPECT_TRUE(firstLine.match(lines[0]).hasMatch()) << lines[0].toStdString();
        EXPECT_FALSE(lines[1].isEmpty());
        EXPECT_EQ(lines[1], withFullStop(lines[1].chopped(lines[1].endsWith(QLatin1Char('.')))))
            << lines[1].toStdString();
    }
}

// A second copy of the program holds the table: the statement cannot read it.
TEST(ProgramTest, TableLockedByAnotherCopyEndsStartupWithCodeOne) {
    WorkDir dir;
    dir.createMovements(testing::sampleMovements());
    QProcess other;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    other.setProcessEnvironment(environment);
    other.setWorkingDirectory(QDir::currentPath());
    other.start(QStringLiteral(ETB_APP_EXE), {});
    ASSERT_TRUE(other.waitForStarted());
    bool locked = false;
    for (int attempt = 0; attempt < 200 && !locked; ++attempt) {
        try {
            data::ParadoxTable::open(dir.tablePath(), data::ParadoxTable::Access::Read);
            QTest::qWait(50);
        } catch (const data::DataError& error) {
            locked = error.kind() == data::DataError::Kind::Locked;
        }
    }
    ASSERT_TRUE(locked);

    ProgramRun program;
    EXPECT_EQ(program.run([](TForm1&) {}), 1);
    ASSERT_EQ(program.recorder.boxes.size(), 1u);
    EXPECT_EQ(program.recorder.boxes[0].title, QStringLiteral("Erreur d'application"));
    EXPECT_FALSE(program.steps.contains(QStringLiteral("FormCreate")));
    other.kill();
    other.waitForFinished();
}

TEST(ProgramTest, CreateHandlerErrorIsShownAndTheProgramGoesOnWithAnEmptyGrid) {
    WorkDir dir;
    // Chp as a number: the statement still runs, the table's field object does not match.
    dir.createTable({{QStringLiteral("Chp"), data::ParadoxType::Short, 2},
                     {QStringLiteral("Art"), data::ParadoxType::Alpha, 3},
                     {QStringLiteral("Type"), data::ParadoxType::Alpha, 8},
                     {QStringLiteral("Montant"), data::ParadoxType::Number, 8}});
    ProgramRun program;
    const int code = program.run([&](TForm1& form) {
        EXPECT_FALSE(form.TB1.active());
        EXPECT_TRUE(form.Q1.active());
        EXPECT_EQ(form.DBGrid2->model()->rowCount(), 0);
        EXPECT_EQ(form.DBGrid2->model()->columnCount(), 4);
        QTest::keyClick(form.DBGrid2, Qt::Key_Insert);  // nothing to insert into
        form.BitBtn3->click();
    });
    EXPECT_EQ(code, 0);
    ASSERT_EQ(program.recorder.boxes.size(), 1u);
    const MessageBoxRequest& box = program.recorder.boxes[0];
    EXPECT_EQ(box.title, applicationTitle());
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("Type inadéquat pour le champ 'Chp'")))
        << box.text.toStdString();
    // The rest of the create handler is skipped: the query is not opened a second time.
    EXPECT_EQ(program.steps.count(QStringLiteral("Q1.open")), 1);
}

TEST(ProgramTest, ClosingPostsTheRowBeingEdited) {
    for (const bool byTitleBar : {false, true}) {
        WorkDir dir;
        dir.createMovements(testing::sampleMovements());
        ProgramRun program;
        const int code = program.run([&](TForm1& form) {
            typeInto(*form.DBGrid2, 1, 0, QStringLiteral("777"));
            ASSERT_EQ(form.TB1.state(), DataSetState::Edit);
            if (byTitleBar)
                form.close();
            else
                form.BitBtn3->click();
        });
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(program.recorder.boxes.empty());
        const auto rows = dir.readRows();
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[1][0].toString(), QStringLiteral("777")) << byTitleBar;
    }
}

TEST(ProgramTest, CloseWithAFailingPostIsRefusedOnce) {
    WorkDir dir;
    dir.createMovements(testing::sampleMovements());
    testing::MemoryDataSet memory(testing::sampleMovements());
    ProgramRun program;
    bool stillOpen = false;
    const int code = program.run([&](TForm1& form) {
        // The grid shows a data set whose posts fail.
        memory.open();
        form.DS1.dataSet = &memory;
        form.DBGrid2->setDataSource(&form.DS1);
        typeInto(*form.DBGrid2, 0, 1, QStringLiteral("555"));
        memory.failPosts = true;
        form.BitBtn3->click();
        stillOpen = form.isVisible();
        EXPECT_EQ(memory.state(), DataSetState::Edit);
        EXPECT_EQ(program.recorder.boxes.size(), 1u);
        // Corrected (the disk has room again): the next close posts and ends.
        memory.failPosts = false;
        form.close();
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(memory.rows[0][1].toString(), QStringLiteral("555"));

    // Not corrected: the second close ends the program anyway.
    memory.close();
    ProgramRun second;
    const int secondCode = second.run([&](TForm1& form) {
        memory.open();
        form.DS1.dataSet = &memory;
        form.DBGrid2->setDataSource(&form.DS1);
        typeInto(*form.DBGrid2, 0, 1, QStringLiteral("556"));
        memory.failPosts = true;
        form.close();
        EXPECT_TRUE(form.isVisible());
        form.close();
    });
    EXPECT_EQ(secondCode, 0);
    EXPECT_EQ(memory.rows[0][1].toString(), QStringLiteral("555"));
}

TEST(ProgramTest, ButtonsRequestTheirPreviewsAndImprimerPostsFirst) {
    WorkDir dir;
    dir.createMovements(testing::sampleMovements());
    ProgramRun program;
    std::vector<data::DataSetState> stateAtPreview;
    const int code = program.run([&](TForm1& form) {
        program.onPreview = [&](reports::ReportTemplate&) {
            stateAtPreview.push_back(form.TB1.state());
        };
        form.BitBtn1->click();
        typeInto(*form.DBGrid2, 2, 3, QStringLiteral("5"));
        form.BitBtn2->click();
        form.BitBtn3->click();
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(program.previews,
              QStringList({QStringLiteral("QuickRep1"), QStringLiteral("QuickRep2")}));
    ASSERT_EQ(stateAtPreview.size(), 2u);
    EXPECT_EQ(stateAtPreview[1], DataSetState::Browse);
    EXPECT_EQ(dir.readRows()[2][3].toDouble(), 5.0);
}

TEST(ProgramTest, ImprimerOpensNoPreviewWhenThePendingRowCannotBePosted) {
    WorkDir dir;
    dir.createMovements(testing::sampleMovements());
    testing::MemoryDataSet memory(testing::sampleMovements());
    ProgramRun program;
    program.run([&](TForm1& form) {
        memory.open();
        form.DS1.dataSet = &memory;
        form.DBGrid2->setDataSource(&form.DS1);
        typeInto(*form.DBGrid2, 0, 0, QStringLiteral("1"));
        memory.failPosts = true;
        form.BitBtn2->click();
        EXPECT_EQ(program.recorder.boxes.size(), 1u);
        memory.failPosts = false;
        memory.cancel();
        form.BitBtn3->click();
    });
    EXPECT_TRUE(program.previews.isEmpty());
}

TEST(ProgramTest, PreviewErrorIsShownAndFermerEndsAWaitingPreview) {
    WorkDir dir;
    dir.createMovements(testing::sampleMovements());
    ProgramRun program;
    bool previewReturned = false;
    program.onPreview = [&](reports::ReportTemplate& report) {
        if (report.name == QStringLiteral("QuickRep1"))
            throw data::DataError(data::DataError::Kind::Locked, QStringLiteral("Table occupée"));
        // A preview keeps handling events until the application ends.
        QTimer::singleShot(0, [] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* form = qobject_cast<TForm1*>(w))
                    form->BitBtn3->click();
            }
        });
        QEventLoop loop;
        loop.exec();
        previewReturned = true;
    };
    const int code = program.run([&](TForm1& form) {
        form.BitBtn1->click();
        form.BitBtn2->click();
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(previewReturned);
    ASSERT_EQ(program.recorder.boxes.size(), 1u);
    EXPECT_EQ(program.recorder.boxes[0].text, QStringLiteral("Table occupée."));
}

}  // namespace
}  // namespace etb::app

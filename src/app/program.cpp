// Start-up and shutdown of the program.
#include "program.h"

#include "reports/form2.h"

#include <memory>

namespace etb::app {

namespace {

std::unique_ptr<TForm1> createMainWindow(const TForm1::StepLog& log) {
    return std::make_unique<TForm1>(log);
}

}  // namespace

int runProgram(QApplication& app, const ProgramHooks& hooks) {
    ScopedMessageBoxHandler boxes(hooks.messageBox);
    const auto log = [&hooks](const QString& step) {
        if (hooks.log)
            hooks.log(step);
    };
    log(QStringLiteral("Application.Initialize"));

    std::unique_ptr<TForm1> form1;
    std::unique_ptr<reports::TForm2> form2;
    try {
        log(QStringLiteral("Form1.create"));
        form1 = createMainWindow(hooks.log);
        if (hooks.preview)
            form1->previewRequest = hooks.preview;
        // The statement report's link to Form1.Q1 is resolved now, after Form1 exists.
        log(QStringLiteral("Form2.create"));
        form2 = std::make_unique<reports::TForm2>(&form1->Q1);
        form1->Form2 = form2.get();
    } catch (const std::exception& error) {
        // The address is the code that was creating the windows.
        reportStartupFailure(error, reinterpret_cast<quintptr>(&createMainWindow));
        return 1;
    }

    log(QStringLiteral("Form1.show"));
    form1->showCentred();
    if (hooks.started)
        hooks.started(*form1);
    log(QStringLiteral("Application.Run"));
    const int code = app.exec();

    // Windows go in the reverse order of their creation.
    form1->Form2 = nullptr;
    form2.reset();
    form1.reset();
    return code;
}

}  // namespace etb::app

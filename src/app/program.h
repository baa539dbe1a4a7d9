// The program's start-up and shutdown, callable in-process so that tests can run it.
#pragma once

#include "form1.h"
#include "message_box.h"

#include <QApplication>
#include <functional>

namespace etb::app {

struct ProgramHooks {
    TForm1::StepLog log;                   // steps of start-up and shutdown, in order
    MessageBoxHandler messageBox;          // answers the message boxes instead of the user
    std::function<void(TForm1&)> started;  // Form1 is shown; the event loop is about to run
    std::function<void(reports::ReportTemplate&)> preview;  // replaces preview requests
};

// Creates Form1 (its components load and the statement query runs, then FormCreate opens
// the movement table), then the hidden report host Form2 linked to Form1.Q1; shows Form1
// centred and runs the event loop. Form2 then Form1 are destroyed (FormDestroy closes the
// table, then the query). Returns 0 after a normal end; when Form1's components cannot be
// loaded, reports the failure ("Erreur d'application") and returns 1 before any window is
// shown.
int runProgram(QApplication& app, const ProgramHooks& hooks = {});

}  // namespace etb::app

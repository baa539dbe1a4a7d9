// etatbudget: the budget movements program.
#include "app/program.h"

#include <QApplication>

int main(int argc, char** argv) {
    // The program takes no command-line arguments, not even the toolkit's own options.
    int programNameOnly = argc > 0 ? 1 : 0;
    QApplication app(programNameOnly, argv);
    return etb::app::runProgram(app);
}

// etatbudget: the budget movements program.
#include "app/program.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return etb::app::runProgram(app);
}

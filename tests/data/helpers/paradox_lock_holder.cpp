// Child process for the lock tests. "hold PATH": opens the table for writing, prints
// "ready" and keeps it open until its standard input closes. "probe PATH read|write":
// tries to open the table and prints "ok", "locked" or "error".
#include "data/data_error.h"
#include "data/paradox_table.h"

#include <QString>

#include <cstdio>
#include <cstring>

using etb::data::DataError;
using etb::data::ParadoxTable;

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[2]);
    if (std::strcmp(argv[1], "hold") == 0) {
        try {
            auto table = ParadoxTable::open(path, ParadoxTable::Access::Write);
            std::printf("ready\n");
            std::fflush(stdout);
            char buffer[64];
            while (std::fgets(buffer, sizeof buffer, stdin)) {
            }
        } catch (const DataError& error) {
            std::printf("%s\n", error.kind() == DataError::Kind::Locked ? "locked" : "error");
            return 1;
        }
        return 0;
    }
    if (std::strcmp(argv[1], "probe") == 0 && argc >= 4) {
        const bool write = std::strcmp(argv[3], "write") == 0;
        try {
            ParadoxTable::open(path,
                               write ? ParadoxTable::Access::Write : ParadoxTable::Access::Read);
            std::printf("ok\n");
        } catch (const DataError& error) {
            std::printf("%s\n", error.kind() == DataError::Kind::Locked ? "locked" : "error");
        }
        return 0;
    }
    return 2;
}

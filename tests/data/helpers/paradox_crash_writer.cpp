// Child process for the crash test: "PATH FIRST_OP CRASH_AT_CALL" opens the table and
// performs the shared change sequence from FIRST_OP on, printing "done N" once change N is
// complete. CRASH_AT_CALL >= 0 ends the process at that file system call (a torn write
// lets half its bytes through); otherwise the test kills it at a random moment.
#include "crash_ops.h"
#include "data/data_error.h"
#include "data/file_journal.h"
#include "data/paradox_table.h"

#include <cstdio>
#include <cstdlib>

using etb::data::ParadoxTable;

int main(int argc, char** argv) {
    if (argc < 4)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const std::uint64_t first = std::strtoull(argv[2], nullptr, 10);
    const int crashAt = std::atoi(argv[3]);
    try {
        auto table = ParadoxTable::open(path, ParadoxTable::Access::Write);
        if (crashAt >= 0)
            etb::data::FileFaults::crashAtCall(crashAt);
        for (std::uint64_t index = first; index < first + 100000; ++index) {
            const etb::test::CrashOp op = etb::test::crashOp(index, table->rowCount());
            switch (op.kind) {
                case etb::test::CrashOp::Update:
                    table->updateRow(op.row, etb::test::crashRow(op.value));
                    break;
                case etb::test::CrashOp::Append:
                    table->appendRow(etb::test::crashRow(op.value));
                    break;
                case etb::test::CrashOp::Insert:
                    table->insertRow(op.row, etb::test::crashRow(op.value));
                    break;
                case etb::test::CrashOp::Delete:
                    table->deleteRow(op.row);
                    break;
            }
            std::printf("done %llu\n", static_cast<unsigned long long>(index));
            std::fflush(stdout);
        }
    } catch (const etb::data::DataError& error) {
        std::printf("error %s\n", error.what());
        return 1;
    }
    return 0;
}

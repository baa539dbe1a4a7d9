// Fuzz target: the table-file reader. The input is written to a temporary file that is
// opened for reading, every row walked and every value decoded.
#include "fuzz_entry.h"

#include <unistd.h>
#include <QTemporaryDir>

namespace {
QString g_path;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static QTemporaryDir dir;
    g_path = dir.filePath(QStringLiteral("DozorDb.db"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        etb::fuzz::readTableFile(g_path, data, size);
    } catch (const etb::data::DataError&) {
    }
    return 0;
}

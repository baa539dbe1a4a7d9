// Fuzz target: the movement CSV import's parsing and checking, against an empty movement
// table (nothing is written).
#include "fuzz_entry.h"

#include <QTemporaryDir>
#include <memory>

namespace {
std::unique_ptr<etb::data::ParadoxTable> g_table;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("DozorDb.db"));
    etb::data::ParadoxTable::createMovementTable(path);
    g_table = etb::data::ParadoxTable::open(path, etb::data::ParadoxTable::Access::Read);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        etb::fuzz::readCsv(data, size, *g_table);
    } catch (const etb::data::DataError&) {
    }
    return 0;
}

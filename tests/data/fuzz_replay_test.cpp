// Replays the fuzz targets' seeds (fuzz/corpus/<target>/) and every input that once found a
// fault (tests/data/regressions/<target>/) through the same entry functions, without
// libFuzzer: each must end in success or a DataError, never a crash or sanitizer report.
#include "../../fuzz/fuzz_entry.h"

#include <QDirIterator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The files of both folders for a target.
std::vector<QString> inputs(const char* target) {
    std::vector<QString> files;
    for (const char* root :
         {ETB_SOURCE_DIR "/fuzz/corpus/", ETB_SOURCE_DIR "/tests/data/regressions/"}) {
        QDirIterator it(QString::fromUtf8(root) + QString::fromUtf8(target), QDir::Files);
        while (it.hasNext())
            files.push_back(it.next());
    }
    std::sort(files.begin(), files.end());
    return files;
}

template <typename Feed>
void replay(const char* target, Feed feed) {
    const std::vector<QString> files = inputs(target);
    EXPECT_FALSE(files.empty()) << "no seeds for " << target;
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        try {
            feed(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                 std::size_t(bytes.size()));
        } catch (const etb::data::DataError&) {
        }
    }
}

}  // namespace

TEST(FuzzReplay, TableFiles) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("DozorDb.db"));
    replay("table", [&](const std::uint8_t* data, std::size_t size) {
        etb::fuzz::readTableFile(path, data, size);
    });
}

TEST(FuzzReplay, MovementCsv) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("DozorDb.db"));
    etb::data::ParadoxTable::createMovementTable(path);
    const auto table = etb::data::ParadoxTable::open(path, etb::data::ParadoxTable::Access::Read);
    replay("csv", [&](const std::uint8_t* data, std::size_t size) {
        etb::fuzz::readCsv(data, size, *table);
    });
}

TEST(FuzzReplay, Amounts) {
    replay("amount",
           [](const std::uint8_t* data, std::size_t size) { etb::fuzz::parseAmount(data, size); });
}

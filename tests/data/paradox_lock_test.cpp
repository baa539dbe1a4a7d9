// The write lock as other processes see it, and the same process reading a table it
// holds for writing.
#include "data/data_error.h"
#include "data/paradox_table.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using etb::data::DataError;
using etb::data::ParadoxTable;

namespace {

const QString kHelper = QStringLiteral(ETB_HELPER_DIR "/paradox_lock_holder");

QString probe(const QString& path, const char* access) {
    QProcess child;
    child.start(kHelper, {QStringLiteral("probe"), path, QString::fromLatin1(access)});
    EXPECT_TRUE(child.waitForFinished(10000));
    return QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();
}

DataError::Kind openError(const QString& path, ParadoxTable::Access access,
                          QString* message = nullptr) {
    try {
        ParadoxTable::open(path, access);
    } catch (const DataError& error) {
        if (message)
            *message = error.message();
        return error.kind();
    }
    return DataError::Kind::State;  // "opened", for the comparisons below
}

}  // namespace

TEST(ParadoxLock, AnotherProcessHoldingTheTableLocksUsOut) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("DozorDb.db"));
    ParadoxTable::createMovementTable(path);

    QProcess holder;
    holder.start(kHelper, {QStringLiteral("hold"), path});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    ASSERT_EQ(holder.readLine().trimmed(), QByteArray("ready"));

    QString message;
    EXPECT_EQ(openError(path, ParadoxTable::Access::Write, &message), DataError::Kind::Locked);
    EXPECT_EQ(message,
              QStringLiteral("La table « %1 » est verrouillée par un autre programme.").arg(path));
    EXPECT_EQ(openError(path, ParadoxTable::Access::Read), DataError::Kind::Locked);

    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(10000));
    EXPECT_EQ(holder.exitCode(), 0);
    EXPECT_NO_THROW(ParadoxTable::open(path, ParadoxTable::Access::Write));
}

TEST(ParadoxLock, TheWritingProcessMayAlsoReadTheTable) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("DozorDb.db"));
    ParadoxTable::createMovementTable(path);
    auto writer = ParadoxTable::open(path, ParadoxTable::Access::Write);
    writer->appendRow({QVariant(QStringLiteral("601")), QVariant(QStringLiteral("1")),
                       QVariant(QStringLiteral("DEPENSE")), QVariant(12.5)});
    {
        // Closing this reader must not drop the writer's lock.
        const auto reader = ParadoxTable::open(path, ParadoxTable::Access::Read);
        ASSERT_EQ(reader->rowCount(), 1);
        EXPECT_EQ(reader->value(0, 3), QVariant(12.5));
    }
    EXPECT_EQ(probe(path, "read"), QStringLiteral("locked"));
    EXPECT_EQ(probe(path, "write"), QStringLiteral("locked"));
    EXPECT_EQ(openError(path, ParadoxTable::Access::Write), DataError::Kind::Locked)
        << "one writer per table";
    writer.reset();
    EXPECT_EQ(probe(path, "write"), QStringLiteral("ok"));
}

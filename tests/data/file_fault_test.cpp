// Failing file system calls during every change of a table: each step of a clean run fails
// in turn (or moves only part of its bytes). A failed change must throw DataError with a
// French message naming the file and leave on disk, after the next open, exactly the rows
// the table held before; a change that reports success must hold the new rows. The matrix
// of outcomes is printed. Also a really full disk (a small tmpfs) and a read-only medium.
#include "data/data_error.h"
#include "data/file_journal.h"
#include "data/paradox_table.h"
#include "paradox_fixture.h"

#include <QFileInfo>
#include <QProcess>

#include <sys/mount.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

#include <gtest/gtest.h>

using etb::data::DataError;
using etb::data::FileFaults;
using etb::data::ParadoxRow;
using etb::data::ParadoxRowChange;
using etb::data::ParadoxTable;
using namespace etb::test;

namespace {

using Access = ParadoxTable::Access;

ParadoxRowChange numbered(int i) {
    return {QVariant(QString::number(i % 1000)), QVariant(QStringLiteral("A")),
            QVariant(QStringLiteral("T%1").arg(i % 7)), QVariant(double(i) + 0.5)};
}

// Every row of the file at path, or nullopt when there is no file.
std::optional<std::vector<ParadoxRow>> rowsOnDisk(const QString& path) {
    if (!QFileInfo::exists(path))
        return std::nullopt;
    const auto table = ParadoxTable::open(path, Access::Read);
    std::vector<ParadoxRow> rows;
    for (qint64 r = 0; r < table->rowCount(); ++r)
        rows.push_back(table->row(r));
    return rows;
}

struct Operation {
    const char* name;
    // Runs the change; the table is open for writing, except for create (nullptr).
    std::function<void(ParadoxTable*, const QString& path)> run;
    bool create = false;
};

const Operation kOperations[] = {
    {"update", [](ParadoxTable* t, const QString&) { t->updateRow(40, numbered(777)); }},
    {"insert", [](ParadoxTable* t, const QString&) { t->insertRow(10, numbered(777)); }},
    {"append", [](ParadoxTable* t, const QString&) { t->appendRow(numbered(777)); }},
    {"append many",
     [](ParadoxTable* t, const QString&) {
         std::vector<ParadoxRowChange> rows;
         for (int i = 0; i < 120; ++i)
             rows.push_back(numbered(2000 + i));
         t->appendRows(rows);
     }},
    {"delete", [](ParadoxTable* t, const QString&) { t->deleteRow(91); }},
    {"create", [](ParadoxTable*, const QString& path) { ParadoxTable::createMovementTable(path); },
     true},
};

class FileFaultMatrix : public ::testing::Test {
protected:
    void TearDown() override { FileFaults::clear(); }

    // A movement table of 92 rows (one full block: inserting splits it) plus one.
    QByteArray initialFile() const {
        TableSpec shape;
        shape.fields = {{0x01, 3, "Chp"}, {0x01, 3, "Art"}, {0x01, 8, "Type"}, {0x06, 8, "Montant"}};
        const int rows = 93, cap = shape.capacity();
        QByteArray file = buildHeader(shape, {std::uint32_t(rows), 2, 2, 1, 2, 0});
        for (unsigned b = 1; b <= 2; ++b) {
            std::vector<QByteArray> records;
            for (int i = int(b - 1) * cap; i < std::min(rows, int(b) * cap); ++i)
                records.push_back(alpha(QByteArray::number(i % 1000), 3) + alpha("A", 3) +
                                  alpha("T" + QByteArray::number(i % 7), 8) + number(i + 0.5));
            file += buildBlock(shape, b == 2 ? 0 : b + 1, b - 1, records);
        }
        return file;
    }

    // Puts the starting state on disk: the initial table, or nothing for create.
    void reset(const Operation& op) {
        QFile::remove(m_path);
        QFile::remove(m_path + QStringLiteral("-journal"));
        if (!op.create)
            writeFile(m_path, initialFile());
    }

    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("DozorDb.db"));
};

}  // namespace

TEST_F(FileFaultMatrix, EveryFailingStepLeavesTheOldRowsOrReportsTheNewOnes) {
    std::string matrix;
    int refused = 0, completed = 0;
    for (const Operation& op : kOperations) {
        SCOPED_TRACE(op.name);
        // The steps of a clean run and the states before and after it.
        reset(op);
        const auto before = rowsOnDisk(m_path);
        std::vector<const char*> steps;
        {
            auto table = op.create ? nullptr : ParadoxTable::open(m_path, Access::Write);
            FileFaults::recordCalls();
            op.run(table.get(), m_path);
            steps = FileFaults::recordedCalls();
            FileFaults::clear();
        }
        const auto after = rowsOnDisk(m_path);
        ASSERT_FALSE(steps.empty());
        ASSERT_NE(before, after);

        matrix += std::string(op.name) + ":\n";
        for (std::size_t step = 0; step < steps.size(); ++step) {
            std::map<std::string, int> outcomes;
            // errno 0 stands for a short count.
            for (const int error : {EIO, ENOSPC, EACCES, 0}) {
                SCOPED_TRACE(testing::Message()
                             << "step " << step << " (" << steps[step] << ") errno " << error);
                reset(op);
                bool threw = false;
                {
                    auto table = op.create ? nullptr : ParadoxTable::open(m_path, Access::Write);
                    if (error)
                        FileFaults::failCall(int(step), error);
                    else
                        FileFaults::shortCall(int(step));
                    try {
                        op.run(table.get(), m_path);
                    } catch (const DataError& e) {
                        threw = true;
                        EXPECT_TRUE(e.message().contains(QStringLiteral("DozorDb.db")))
                            << e.message().toStdString();
                        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Impossible")))
                            << e.message().toStdString();
                    }
                    FileFaults::clear();
                }
                const auto found = rowsOnDisk(m_path);
                if (threw) {
                    EXPECT_EQ(found, before) << "a failed change left the file changed";
                    ++refused;
                    outcomes[error ? "refused, old rows" : "refused after a short count"] += 1;
                } else {
                    EXPECT_EQ(found, after) << "a change reported done is not on disk";
                    ++completed;
                    outcomes[error ? "done (failure after the change was safe)"
                                   : "done (short count absorbed)"] += 1;
                }
                EXPECT_FALSE(QFileInfo::exists(m_path + QStringLiteral("-journal")));
                const QStringList leftovers =
                    QDir(m_dir.path()).entryList({QStringLiteral("*.tmp-*")}, QDir::Files);
                EXPECT_TRUE(leftovers.isEmpty()) << leftovers.join(u' ').toStdString();
            }
            matrix += "  step " + std::to_string(step + 1) + " " + steps[step] + ": ";
            for (const auto& [outcome, count] : outcomes)
                matrix += outcome + " x" + std::to_string(count) + "; ";
            matrix += "\n";
        }
    }
    std::printf("%s", matrix.c_str());
    RecordProperty("refused", refused);
    RecordProperty("completed", completed);
}

// A full disk for real: a 64 KB tmpfs. Appends until the disk refuses; the table keeps every
// row appended before, and takes changes again once there is room.
TEST_F(FileFaultMatrix, RealFullDiskKeepsTheRowsAppendedBefore) {
    QTemporaryDir mountPoint;
    if (::geteuid() != 0 || ::mount("tmpfs", QFile::encodeName(mountPoint.path()).constData(),
                                    "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root in a sandbox that allows it)";
    struct Unmount {
        QString path;
        ~Unmount() { ::umount2(QFile::encodeName(path).constData(), MNT_DETACH); }
    } unmount{mountPoint.path()};
    const QString path = mountPoint.filePath(QStringLiteral("DozorDb.db"));
    ParadoxTable::createMovementTable(path);
    auto table = ParadoxTable::open(path, Access::Write);
    int appended = 0;
    bool full = false;
    for (; appended < 20000 && !full; ++appended) {
        try {
            table->appendRow(numbered(appended));
        } catch (const DataError& e) {
            full = true;
            EXPECT_TRUE(e.message().contains(QStringLiteral("le disque est plein")))
                << e.message().toStdString();
            EXPECT_EQ(table->rowCount(), appended);
            --appended;
        }
    }
    ASSERT_TRUE(full) << "the disk never filled";
    table->deleteRow(0);  // frees no space, but must still work or fail cleanly
    table.reset();
    const auto rows = rowsOnDisk(path);
    ASSERT_TRUE(rows);
    EXPECT_EQ(int(rows->size()), appended - 1);
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral("-journal")));
}

// A read-only medium: the table opens for reading and for writing, every change is refused
// and the file keeps its rows.
TEST_F(FileFaultMatrix, ReadOnlyMediumRefusesChanges) {
    QTemporaryDir mountPoint;
    const QByteArray target = QFile::encodeName(mountPoint.path());
    if (::geteuid() != 0 || ::mount("tmpfs", target.constData(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root in a sandbox that allows it)";
    struct Unmount {
        QString path;
        ~Unmount() { ::umount2(QFile::encodeName(path).constData(), MNT_DETACH); }
    } unmount{mountPoint.path()};
    const QString path = mountPoint.filePath(QStringLiteral("DozorDb.db"));
    writeFile(path, initialFile());
    const auto before = rowsOnDisk(path);
    ASSERT_EQ(::mount("tmpfs", target.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=256k"), 0)
        << std::strerror(errno);
    auto table = ParadoxTable::open(path, Access::Write);
    EXPECT_FALSE(table->canWrite());
    EXPECT_FALSE(table->readOnlyReason().isEmpty());
    for (const Operation& op : kOperations) {
        if (op.create) {
            EXPECT_THROW(
                ParadoxTable::createMovementTable(mountPoint.filePath(QStringLiteral("Autre.db"))),
                DataError);
            continue;
        }
        try {
            op.run(table.get(), path);
            ADD_FAILURE() << op.name << " changed a read-only medium";
        } catch (const DataError& e) {
            EXPECT_EQ(e.kind(), DataError::Kind::ReadOnly) << op.name;
            EXPECT_TRUE(e.message().contains(QStringLiteral("DozorDb.db")));
        }
    }
    table.reset();
    EXPECT_EQ(rowsOnDisk(path), before);
}

// An open that finds a complete journal (a writer died after deciding its change) finishes
// the change. Each step of that recovery fails in turn: the open reports an error naming the
// file or succeeds, and the next clean open finds the whole new state, never a mix.
TEST_F(FileFaultMatrix, RecoveryAtOpenSurvivesEachFailingStep) {
    const Operation& insert = kOperations[1];
    reset(insert);
    const QByteArray oldFile = readFile(m_path);
    QByteArray journal;
    {
        auto table = ParadoxTable::open(m_path, Access::Write);
        FileFaults::recordCalls();
        insert.run(table.get(), m_path);
        const std::vector<const char*> steps = FileFaults::recordedCalls();
        FileFaults::clear();
        // Run it again on the old file, this time keeping the journal whole: emptying it
        // is the last step of a change.
        table.reset();
        writeFile(m_path, oldFile);
        table = ParadoxTable::open(m_path, Access::Write);
        ASSERT_STREQ(steps.back(), "truncate");
        FileFaults::failCall(int(steps.size()) - 1, EIO);
        insert.run(table.get(), m_path);
        FileFaults::clear();
        journal = readFile(m_path + QStringLiteral("-journal"));
    }
    const auto newRows = rowsOnDisk(m_path);
    ASSERT_FALSE(journal.isEmpty());

    // A crash just after the journal was synced: old table, complete journal.
    auto crashed = [&] {
        writeFile(m_path, oldFile);
        writeFile(m_path + QStringLiteral("-journal"), journal);
    };
    crashed();
    FileFaults::recordCalls();
    ParadoxTable::open(m_path, Access::Read);
    const std::vector<const char*> steps = FileFaults::recordedCalls();
    FileFaults::clear();
    ASSERT_EQ(rowsOnDisk(m_path), newRows);

    std::string matrix = "recovery at open:\n";
    for (std::size_t step = 0; step < steps.size(); ++step) {
        SCOPED_TRACE(testing::Message() << "step " << step << " (" << steps[step] << ")");
        crashed();
        FileFaults::failCall(int(step), EIO);
        std::string outcome = "opened";
        try {
            ParadoxTable::open(m_path, Access::Read);
        } catch (const DataError& e) {
            outcome = "refused";
            EXPECT_TRUE(e.message().contains(QStringLiteral("DozorDb.db")))
                << e.message().toStdString();
        }
        FileFaults::clear();
        EXPECT_EQ(rowsOnDisk(m_path), newRows);
        EXPECT_FALSE(QFileInfo::exists(m_path + QStringLiteral("-journal")));
        matrix += "  step " + std::to_string(step + 1) + " " + steps[step] + ": " + outcome +
                  ", then the new rows\n";
    }
    std::printf("%s", matrix.c_str());
}

// Legacy paths: backslashes, "." and "..", and names matched case-blind on the disk.
#include "data/data_path.h"
#include "data/data_error.h"
#include "print_qt.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace etb::data;

namespace {

// A tree root/Dozor/Data_Db/DozorDb.db and root/work, with root/work as current directory.
struct Tree {
    QTemporaryDir root;
    QString previous = QDir::currentPath();
    Tree() {
        QDir().mkpath(root.filePath(QStringLiteral("Dozor/Data_Db")));
        QDir().mkpath(root.filePath(QStringLiteral("work")));
        QFile file(root.filePath(QStringLiteral("Dozor/Data_Db/DozorDb.db")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        QDir::setCurrent(root.filePath(QStringLiteral("work")));
    }
    ~Tree() { QDir::setCurrent(previous); }
    QString dataDir() const {
        return QDir(root.filePath(QStringLiteral("Dozor/Data_Db"))).canonicalPath();
    }
};

}  // namespace

TEST(DataPath, ResolvesLegacyPathsCaseBlind) {
    Tree tree;
    const char* spellings[] = {"..\\Dozor\\Data_Db", "..\\DOZOR\\data_db", "../dozor/DATA_DB/",
                               ".\\..\\Dozor\\.\\Data_Db", "..\\Dozor\\Data_Db\\..\\Data_Db"};
    for (const char* spelling : spellings) {
        EXPECT_EQ(QDir(resolveDirectory(QString::fromUtf8(spelling))).canonicalPath(),
                  tree.dataDir())
            << spelling;
    }
    EXPECT_EQ(QDir(resolveDirectory(tree.dataDir())).canonicalPath(), tree.dataDir());
    const QString file = resolveFile(tree.dataDir(), QStringLiteral("dozordb.DB"));
    EXPECT_TRUE(file.endsWith(QStringLiteral("/DozorDb.db"))) << file.toStdString();
    EXPECT_TRUE(QFile::exists(file));
}

TEST(DataPath, PrefersTheExactNameWhenTwoDifferOnlyInCase) {
    Tree tree;
    QDir().mkpath(tree.root.filePath(QStringLiteral("Dozor/DATA_DB")));
    EXPECT_TRUE(resolveDirectory(QStringLiteral("..\\Dozor\\DATA_DB"))
                    .endsWith(QStringLiteral("/DATA_DB")));
    EXPECT_TRUE(resolveDirectory(QStringLiteral("..\\Dozor\\Data_Db"))
                    .endsWith(QStringLiteral("/Data_Db")));
}

TEST(DataPath, MissingDirectoryOrFileIsNamedInFrench) {
    Tree tree;
    try {
        resolveDirectory(QStringLiteral("..\\Dozor\\Absent"));
        FAIL();
    } catch (const DataError& error) {
        EXPECT_EQ(error.kind(), DataError::Kind::NotFound);
        EXPECT_EQ(error.message(),
                  QStringLiteral("Le répertoire « ..\\Dozor\\Absent » est introuvable."));
        EXPECT_TRUE(error.detail().contains(QStringLiteral("Absent")));
    }
    // A file where a directory is expected is no directory.
    EXPECT_THROW(resolveDirectory(QStringLiteral("..\\Dozor\\Data_Db\\DozorDb.db")), DataError);
    try {
        resolveFile(tree.dataDir(), QStringLiteral("Autre.db"),
                    QStringLiteral("..\\Dozor\\Data_Db"));
        FAIL();
    } catch (const DataError& error) {
        EXPECT_EQ(error.kind(), DataError::Kind::NotFound);
        EXPECT_EQ(error.message(), QStringLiteral("La table « Autre.db » est introuvable dans "
                                                  "« ..\\Dozor\\Data_Db »."));
    }
    // A directory is not a table file.
    EXPECT_THROW(resolveFile(tree.root.path(), QStringLiteral("dozor")), DataError);
}

// TTable over real table files: every post, insert and delete reaches the file; cancel, close
// and failing posts leave it as it was.
#include "data/table.h"
#include "data/data_error.h"
#include "data/paradox_table.h"
#include "data/statement.h"
#include "movement_files.h"
#include "print_qt.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

using namespace etb::data;
using etb::testing::Movement;
using etb::testing::MovementDirectory;

namespace {

// The movements of the file as "type/chp/art/amount" lines, read straight from the file.
QStringList fileRows(const QString& path) {
    const auto file = ParadoxTable::open(path, ParadoxTable::Access::Read);
    QStringList rows;
    for (qint64 r = 0; r < file->rowCount(); ++r) {
        const ParadoxRow row = file->row(r);
        rows.append(QStringLiteral("%1/%2/%3/%4")
                        .arg(row[2].toString(), row[0].toString(), row[1].toString(),
                             row[3].isValid() ? QString::number(row[3].toDouble()) : QString()));
    }
    return rows;
}

struct OpenTable {
    TTable table;
    MovementFields fields;
    explicit OpenTable(const QString& dataDir) {
        fields = configureMovementTable(table, dataDir);
        fields.TB1Montant->setSeparators({QLatin1Char(','), QLatin1Char('.')});
        table.open();
    }
};

const std::vector<Movement> kThree = {
    {QStringLiteral("DEPENSE"), QStringLiteral("900"), QStringLiteral("900"), 20000.0},
    {QStringLiteral("DEPENSE"), QStringLiteral("900"), QStringLiteral("901"), 350000.0},
    {QStringLiteral("RECETTE"), QStringLiteral("900"), QStringLiteral("900"), 100000.0},
};

}  // namespace

TEST(Table, ReadsRowsThroughFieldObjects) {
    MovementDirectory dir(kThree);
    OpenTable t(dir.dataDir());
    EXPECT_EQ(t.table.rowCount(), 3);
    EXPECT_TRUE(t.table.canModify());
    EXPECT_EQ(t.fields.TB1Type->asString(), QStringLiteral("DEPENSE"));
    EXPECT_EQ(t.fields.TB1Montant->displayText(), QStringLiteral("20.000,00"));
    EXPECT_EQ(t.fields.TB1Montant->text(), QStringLiteral("20000,00"));
    EXPECT_EQ(t.fields.TB1Chp->alignment(), Qt::AlignCenter);
    t.table.last();
    EXPECT_EQ(t.fields.TB1Type->asString(), QStringLiteral("RECETTE"));
    EXPECT_EQ(t.table.rowValue(1, t.fields.TB1Art->index()).toString(), QStringLiteral("901"));
}

TEST(Table, OpensTheLegacyPathFromTheWorkingDirectory) {
    MovementDirectory dir(kThree);
    QDir().mkpath(dir.root.filePath(QStringLiteral("work")));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.root.filePath(QStringLiteral("work")));
    TTable table;
    configureMovementTable(table, defaultDatabaseName());
    table.tableName = QStringLiteral("dozordb.DB");
    EXPECT_NO_THROW(table.open());
    EXPECT_EQ(table.rowCount(), 3);
    table.close();
    QDir::setCurrent(previous);
}

TEST(Table, EditInsertAppendDeleteReachTheFile) {
    MovementDirectory dir(kThree);
    OpenTable t(dir.dataDir());
    t.table.moveTo(1);
    t.table.edit();
    t.fields.TB1Montant->setText(QStringLiteral("1234,5"));
    t.table.post();
    EXPECT_EQ(fileRows(dir.tablePath())[1], QStringLiteral("DEPENSE/900/901/1234.5"));

    t.table.insert();  // before row 1
    t.fields.TB1Type->setText(QStringLiteral("RECETTE"));
    t.fields.TB1Chp->setText(QStringLiteral("1"));
    t.table.post();
    t.table.append();
    t.fields.TB1Type->setText(QStringLiteral("FIN"));
    t.fields.TB1Montant->setText(QStringLiteral("-5"));
    t.table.first();  // moving away posts
    EXPECT_EQ(fileRows(dir.tablePath()),
              (QStringList{QStringLiteral("DEPENSE/900/900/20000"), QStringLiteral("RECETTE/1//"),
                           QStringLiteral("DEPENSE/900/901/1234.5"),
                           QStringLiteral("RECETTE/900/900/100000"), QStringLiteral("FIN///-5")}));

    t.table.moveTo(1);
    t.table.deleteRow();
    EXPECT_EQ(t.fields.TB1Montant->asFloat(), 1234.5);
    t.table.last();
    t.table.deleteRow();
    EXPECT_EQ(fileRows(dir.tablePath()), (QStringList{QStringLiteral("DEPENSE/900/900/20000"),
                                                      QStringLiteral("DEPENSE/900/901/1234.5"),
                                                      QStringLiteral("RECETTE/900/900/100000")}));
    EXPECT_EQ(t.table.rowCount(), 3);
}

TEST(Table, CancelAndCloseLeaveTheFileAlone) {
    MovementDirectory dir(kThree);
    const QStringList before = fileRows(dir.tablePath());
    {
        OpenTable t(dir.dataDir());
        t.table.edit();
        t.fields.TB1Type->setText(QStringLiteral("AUTRE"));
        t.table.cancel();
        t.table.insert();
        t.fields.TB1Type->setText(QStringLiteral("AUTRE"));
        t.table.cancel();
        t.table.append();
        t.table.next();  // an untouched new row is dropped, not written
        t.table.moveTo(2);
        t.table.edit();
        t.fields.TB1Montant->setText(QStringLiteral("1"));
        t.table.close();  // the edit in progress is dropped
    }
    EXPECT_EQ(fileRows(dir.tablePath()), before);
}

TEST(Table, AFailedPostKeepsTheRowInEdit) {
    MovementDirectory dir(kThree);
    OpenTable t(dir.dataDir());
    t.table.edit();
    t.fields.TB1Type->setText(QStringLiteral("Ж"));  // not in the table's code page
    t.fields.TB1Montant->setText(QStringLiteral("7"));
    EXPECT_THROW(t.table.post(), DataError);
    EXPECT_EQ(t.table.state(), DataSetState::Edit);
    EXPECT_EQ(t.fields.TB1Type->asString(), QStringLiteral("Ж"));
    EXPECT_EQ(t.fields.TB1Montant->asFloat(), 7.0);
    EXPECT_EQ(fileRows(dir.tablePath())[0], QStringLiteral("DEPENSE/900/900/20000"));
    t.fields.TB1Type->setText(QStringLiteral("DEPENSES"));
    t.table.post();
    EXPECT_EQ(fileRows(dir.tablePath())[0], QStringLiteral("DEPENSES/900/900/7"));

    t.table.append();
    t.fields.TB1Chp->setText(QStringLiteral("Ж"));
    EXPECT_THROW(t.table.post(), DataError);
    EXPECT_EQ(t.table.state(), DataSetState::Insert);
    EXPECT_EQ(t.table.rowCount(), 4);
    EXPECT_EQ(fileRows(dir.tablePath()).size(), 3);
}

TEST(Table, KeepsColumnsItDoesNotShow) {
    QTemporaryDir root;
    const ParadoxField fields[] = {
        {QStringLiteral("Chp"), ParadoxType::Alpha, 3},
        {QStringLiteral("Note"), ParadoxType::Alpha, 10},
        {QStringLiteral("Art"), ParadoxType::Alpha, 3},
        {QStringLiteral("Type"), ParadoxType::Alpha, 8},
        {QStringLiteral("Montant"), ParadoxType::Number, 8},
    };
    const QString path = root.filePath(QStringLiteral("DozorDb.db"));
    ParadoxTable::create(path, fields);
    ParadoxTable::open(path, ParadoxTable::Access::Write)
        ->appendRow({QStringLiteral("1"), QStringLiteral("garder"), QStringLiteral("2"),
                     QStringLiteral("DEPENSE"), 3.0});
    {
        OpenTable t(root.path());
        t.table.edit();
        t.fields.TB1Montant->setText(QStringLiteral("4"));
        t.table.post();
        t.table.append();
        t.fields.TB1Chp->setText(QStringLiteral("9"));
        t.table.post();
    }
    const auto file = ParadoxTable::open(path, ParadoxTable::Access::Read);
    EXPECT_EQ(file->value(0, 1).toString(), QStringLiteral("garder"));
    EXPECT_EQ(file->value(0, 4).toDouble(), 4.0);
    EXPECT_FALSE(file->value(1, 1).isValid());
    EXPECT_EQ(file->value(1, 0).toString(), QStringLiteral("9"));
}

TEST(Table, OpenNamesMissingAndMistypedFields) {
    struct Case {
        ParadoxType montantType;
        bool withArt;
        const char* message;
    };
    const Case cases[] = {
        {ParadoxType::Number, false, "Champ 'Art' non trouvé"},
        {ParadoxType::Long, true,
         "Type inadéquat pour le champ 'Montant', attendu : Float actuel : "
         "Integer"},
        {ParadoxType::Currency, true,
         "Type inadéquat pour le champ 'Montant', attendu : Float "
         "actuel : Currency"},
    };
    for (const Case& c : cases) {
        QTemporaryDir root;
        std::vector<ParadoxField> fields = {{QStringLiteral("CHP"), ParadoxType::Alpha, 3}};
        if (c.withArt)
            fields.push_back({QStringLiteral("art"), ParadoxType::Alpha, 3});
        fields.push_back({QStringLiteral("Type"), ParadoxType::Alpha, 8});
        fields.push_back(
            {QStringLiteral("Montant"), c.montantType, c.montantType == ParadoxType::Long ? 4 : 8});
        ParadoxTable::create(root.filePath(QStringLiteral("DozorDb.db")), fields);
        TTable table;
        configureMovementTable(table, root.path());
        try {
            table.open();
            ADD_FAILURE() << c.message;
        } catch (const DataError& error) {
            EXPECT_EQ(error.message(), QString::fromUtf8(c.message));
        }
        EXPECT_FALSE(table.active());
    }
}

TEST(Table, MissingDirectoryOrFileFails) {
    MovementDirectory dir;
    TTable table;
    configureMovementTable(table, dir.root.filePath(QStringLiteral("absent")));
    EXPECT_THROW(table.open(), DataError);
    table.databaseName = dir.dataDir();
    table.tableName = QStringLiteral("Autre.db");
    try {
        table.open();
        FAIL();
    } catch (const DataError& error) {
        EXPECT_EQ(error.kind(), DataError::Kind::NotFound);
        EXPECT_TRUE(error.message().contains(QStringLiteral("« Autre.db »")));
    }
}

TEST(Table, ReadOnlyTableRefusesChanges) {
    MovementDirectory dir(kThree);
    TTable table;
    const MovementFields fields = configureMovementTable(table, dir.dataDir());
    table.readOnly = true;
    table.open();
    EXPECT_FALSE(table.canModify());
    EXPECT_EQ(fields.TB1Type->asString(), QStringLiteral("DEPENSE"));
    EXPECT_THROW(table.edit(), DataError);
    EXPECT_THROW(table.append(), DataError);
    EXPECT_THROW(table.deleteRow(), DataError);
}

TEST(Table, WriteProtectedTableSaysWhyItCannotChange) {
    MovementDirectory dir(kThree);
    {
        QFile file(dir.tablePath());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek(0x38);  // the write-protected flag
        file.write("\x01", 1);
    }
    OpenTable t(dir.dataDir());
    EXPECT_FALSE(t.table.canModify());
    EXPECT_EQ(t.fields.TB1Chp->asString(), QStringLiteral("900"));
    try {
        t.table.edit();
        FAIL();
    } catch (const DataError& error) {
        EXPECT_EQ(error.kind(), DataError::Kind::ReadOnly);
        EXPECT_TRUE(error.message().startsWith(
            QStringLiteral("La table « DozorDb.db » ne peut pas être modifiée : ")))
            << error.message().toStdString();
    }
}

TEST(Table, EmptyTableOpensEmpty) {
    MovementDirectory dir;
    OpenTable t(dir.dataDir());
    EXPECT_TRUE(t.table.isEmpty());
    EXPECT_TRUE(t.table.eof());
    EXPECT_EQ(t.fields.TB1Montant->displayText(), QString());
    t.table.append();
    t.fields.TB1Type->setText(QStringLiteral("DEPENSE"));
    t.table.post();
    EXPECT_EQ(fileRows(dir.tablePath()), QStringList{QStringLiteral("DEPENSE///")});
}

TEST(Table, TextWidthsCountTheTablesCharacters) {
    MovementDirectory dir(kThree);
    OpenTable t(dir.dataDir());
    t.table.edit();
    t.fields.TB1Type->setText(QStringLiteral("Dépensé"));  // 7 characters (9 UTF-8 bytes) in A8
    t.fields.TB1Chp->setText(QStringLiteral("ÉÉÉ"));       // 3 characters in A3
    t.table.post();
    EXPECT_EQ(fileRows(dir.tablePath())[0], QStringLiteral("Dépensé/ÉÉÉ/900/20000"));
    t.table.edit();
    EXPECT_THROW(t.fields.TB1Chp->setText(QStringLiteral("ÉÉÉÉ")), DataError);
    t.fields.TB1Chp->setText(QStringLiteral("Ω"));  // not in code page 1252
    EXPECT_THROW(t.table.post(), DataError);
    t.table.cancel();
    EXPECT_EQ(fileRows(dir.tablePath())[0], QStringLiteral("Dépensé/ÉÉÉ/900/20000"));
}

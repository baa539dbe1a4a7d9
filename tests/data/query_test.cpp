// The statement query over movement tables on disk: its rows, their order, the column names
// and types, reruns, and the errors of a statement that cannot run.
#include "data/query.h"
#include "data/data_error.h"
#include "data/paradox_table.h"
#include "data/statement.h"
#include "data/table.h"
#include "movement_files.h"
#include "print_qt.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace etb::data;
using etb::testing::Movement;
using etb::testing::MovementDirectory;

namespace {

Movement mv(const char* type, const char* chp, const char* art, double amount) {
    return {QString::fromUtf8(type), QString::fromUtf8(chp), QString::fromUtf8(art), amount};
}

struct Statement {
    TQuery query;
    StatementFields fields;
    explicit Statement(const QString& dataDir) {
        fields = configureStatementQuery(query, dataDir);
        fields.Q1SUMOFmontant->setSeparators({QLatin1Char(','), QLatin1Char('.')});
    }
    // Every row as "N type chp art amount" with the fields' display texts.
    QStringList rows() {
        QStringList lines;
        for (query.first(); !query.eof(); query.next()) {
            lines.append(QStringLiteral("%1 %2 %3 %4 %5")
                             .arg(fields.Q1N->asInteger())
                             .arg(fields.Q1type->displayText(), fields.Q1MINOFchp->displayText(),
                                  fields.Q1MINOFart->displayText(),
                                  fields.Q1SUMOFmontant->displayText()));
        }
        return lines;
    }
};

}  // namespace

TEST(Query, GivesATotalRowBeforeEachTypesMovements) {
    MovementDirectory dir({mv("RECETTE", "900", "900", 100000), mv("DEPENSE", "900", "900", 20000),
                           mv("DEPENSE", "900", "901", 350000)});
    Statement s(dir.dataDir());
    s.query.open();
    EXPECT_EQ(
        s.query.columnNames(),
        (QStringList{QStringLiteral("N"), QStringLiteral("type"), QStringLiteral("MIN OF chp"),
                     QStringLiteral("MIN OF art"), QStringLiteral("SUM OF montant")}));
    QStringList rows = s.rows();
    // The order of detail rows within a type is not fixed; compare them as a set.
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0], QStringLiteral("0 DEPENSE 900 900 370000"));
    QStringList details = rows.mid(1, 2);
    details.sort();
    EXPECT_EQ(details, (QStringList{QStringLiteral("1 DEPENSE 900 900 20000"),
                                    QStringLiteral("1 DEPENSE 900 901 350000")}));
    EXPECT_EQ(rows[3], QStringLiteral("0 RECETTE 900 900 100000"));
    EXPECT_EQ(rows[4], QStringLiteral("1 RECETTE 900 900 100000"));
}

TEST(Query, SmallestCodesMayComeFromDifferentMovements) {
    MovementDirectory dir({mv("RECETTE", "902", "010", 5), mv("RECETTE", "901", "020", 7)});
    Statement s(dir.dataDir());
    s.query.open();
    EXPECT_EQ(s.rows().first(), QStringLiteral("0 RECETTE 901 010 12"));
}

TEST(Query, IdenticalMovementsEachGetTheirOwnLine) {
    MovementDirectory dir({mv("DEPENSE", "900", "900", 100), mv("DEPENSE", "900", "900", 100)});
    Statement s(dir.dataDir());
    s.query.open();
    EXPECT_EQ(s.rows(), (QStringList{QStringLiteral("0 DEPENSE 900 900 200"),
                                     QStringLiteral("1 DEPENSE 900 900 100"),
                                     QStringLiteral("1 DEPENSE 900 900 100")}));
}

TEST(Query, OrdersByTypeThenTotalFirstWithBlankTypeFirst) {
    MovementDirectory dir({mv("RECETTE", "1", "1", 1), mv("AUTRE", "1", "1", 2),
                           mv("", "1", "1", 3), mv("DEPENSE", "1", "1", 4.5),
                           mv("AUTRE", "2", "2", 5)});
    Statement s(dir.dataDir());
    s.query.open();
    QStringList types;
    QStringList kinds;
    for (s.query.first(); !s.query.eof(); s.query.next()) {
        types.append(s.fields.Q1type->asString());
        kinds.append(QString::number(s.fields.Q1N->asInteger()));
    }
    EXPECT_EQ(types, (QStringList{QString(), QString(), QStringLiteral("AUTRE"),
                                  QStringLiteral("AUTRE"), QStringLiteral("AUTRE"),
                                  QStringLiteral("DEPENSE"), QStringLiteral("DEPENSE"),
                                  QStringLiteral("RECETTE"), QStringLiteral("RECETTE")}));
    EXPECT_EQ(kinds.join(QString()), QStringLiteral("010110101"));
}

TEST(Query, ColumnTypesAndTexts) {
    MovementDirectory dir(
        {mv("DEPENSE", "900", "900", 35400.5), mv("DEPENSE", "900", "901", 625000)});
    Statement s(dir.dataDir());
    s.query.open();
    EXPECT_EQ(s.fields.Q1N->dataType(), FieldType::Float);
    EXPECT_EQ(s.fields.Q1N->value().typeId(), QMetaType::Double);
    EXPECT_EQ(s.fields.Q1SUMOFmontant->displayText(), QStringLiteral("660400,5"));
    EXPECT_EQ(s.fields.Q1type->value().typeId(), QMetaType::QString);
    EXPECT_FALSE(s.query.canModify());
    EXPECT_THROW(s.query.edit(), DataError);
}

TEST(Query, EmptyTableGivesNoRowsAndBlankReads) {
    MovementDirectory dir;
    Statement s(dir.dataDir());
    s.query.open();
    EXPECT_TRUE(s.query.isEmpty());
    EXPECT_TRUE(s.query.eof());
    EXPECT_EQ(s.fields.Q1N->asInteger(), 0);
    EXPECT_EQ(s.fields.Q1SUMOFmontant->asFloat(), 0.0);
    EXPECT_EQ(s.fields.Q1type->asString(), QString());
    EXPECT_EQ(s.fields.Q1SUMOFmontant->displayText(), QString());
}

TEST(Query, ResultIsASnapshotUntilReopened) {
    MovementDirectory dir({mv("DEPENSE", "900", "900", 10)});
    TTable table;
    const MovementFields movement = configureMovementTable(table, dir.dataDir());
    table.open();  // the grid's table is open for writing while the statement reads
    Statement s(dir.dataDir());
    s.query.open();
    EXPECT_EQ(s.rows().size(), 2);

    table.append();
    movement.TB1Type->setText(QStringLiteral("RECETTE"));
    movement.TB1Montant->setValue(5.0);
    table.post();
    s.query.open();  // already open: nothing happens
    EXPECT_EQ(s.rows().size(), 2);
    s.query.close();
    s.query.open();
    EXPECT_EQ(
        s.rows(),
        (QStringList{QStringLiteral("0 DEPENSE 900 900 10"), QStringLiteral("1 DEPENSE 900 900 10"),
                     QStringLiteral("0 RECETTE   5"), QStringLiteral("1 RECETTE   5")}));
}

TEST(Query, TableNamesResolveToFilesCaseBlind) {
    MovementDirectory dir({mv("DEPENSE", "900", "900", 10)});
    ASSERT_TRUE(QFile::copy(dir.tablePath(), dir.dataDir() + QStringLiteral("/Mouvements.DB")));
    TQuery query;
    query.databaseName = dir.dataDir();
    query.sql = QStringList{QStringLiteral("select TYPE, Montant * 2 as Double"),
                            QStringLiteral("from mouvements")};
    TFloatField* twice = query.addField<TFloatField>(QStringLiteral("double"));
    query.open();
    EXPECT_EQ(twice->asFloat(), 20.0);
    EXPECT_EQ(query.columnNames(), (QStringList{QStringLiteral("TYPE"), QStringLiteral("Double")}));
}

TEST(Query, ErrorsNameWhatIsMissing) {
    MovementDirectory dir({mv("DEPENSE", "900", "900", 10)});
    struct Case {
        QStringList sql;
        QString extraField;
        DataError::Kind kind;
        QString message;
    };
    const Case cases[] = {
        {{QStringLiteral("select montant, autre from testedb")},
         {},
         DataError::Kind::NotFound,
         QStringLiteral("Champ 'autre' non trouvé")},
        {statementSql(), QStringLiteral("Autre"), DataError::Kind::NotFound,
         QStringLiteral("Champ 'Autre' non trouvé")},
        {{QStringLiteral("select from testedb where")},
         {},
         DataError::Kind::Sql,
         QStringLiteral("Erreur dans la requête SQL.")},
        {{QStringLiteral("select * from absente")},
         {},
         DataError::Kind::NotFound,
         QStringLiteral("La table « absente.db » est introuvable dans « %1 ».").arg(dir.dataDir())},
    };
    for (const Case& c : cases) {
        TQuery query;
        query.databaseName = dir.dataDir();
        query.tableFiles.insert(QStringLiteral("TESTEDB"), QStringLiteral("DozorDb.db"));
        query.sql = c.sql;
        if (!c.extraField.isEmpty())
            query.addField<TStringField>(c.extraField, 3);
        try {
            query.open();
            ADD_FAILURE() << c.message.toStdString();
        } catch (const DataError& error) {
            EXPECT_EQ(error.kind(), c.kind) << c.message.toStdString();
            EXPECT_EQ(error.message(), c.message);
        }
        EXPECT_FALSE(query.active());
    }

    Statement missingDir(dir.root.filePath(QStringLiteral("absent")));
    EXPECT_THROW(missingDir.query.open(), DataError);
    QFile::remove(dir.tablePath());
    Statement missingFile(dir.dataDir());
    try {
        missingFile.query.open();
        FAIL();
    } catch (const DataError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("« DozorDb.db »")));
    }
}

TEST(Query, ATableHeldByAnotherProgramFailsAsLocked) {
    MovementDirectory dir({mv("DEPENSE", "900", "900", 10)});
    QProcess holder;
    holder.start(QStringLiteral(ETB_HELPER_DIR "/paradox_lock_holder"),
                 {QStringLiteral("hold"), dir.tablePath()});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    ASSERT_EQ(holder.readLine().trimmed(), QByteArray("ready"));
    Statement s(dir.dataDir());
    try {
        s.query.open();
        ADD_FAILURE() << "a locked table was read";
    } catch (const DataError& error) {
        EXPECT_EQ(error.kind(), DataError::Kind::Locked);
    }
    TTable table;
    configureMovementTable(table, dir.dataDir());
    EXPECT_THROW(table.open(), DataError);
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(10000));
    s.query.open();
    EXPECT_EQ(s.rows().size(), 2);
}

TEST(Query, AColumnMixingNumbersAndTextsReadsAsTexts) {
    MovementDirectory dir({mv("DEPENSE", "900", "900", 10.5), mv("", "901", "", 3)});
    for (const char* order : {"", "desc"}) {
        TQuery query;
        query.databaseName = dir.dataDir();
        query.tableFiles.insert(QStringLiteral("testedb"), QStringLiteral("DozorDb.db"));
        query.sql = QStringList{
            QStringLiteral("select montant as v from testedb union all"),
            QStringLiteral("select type from testedb order by 1 %1").arg(QString::fromUtf8(order))};
        TStringField* v = query.addField<TStringField>(QStringLiteral("V"), 10);
        query.open();
        QStringList values;
        for (query.first(); !query.eof(); query.next())
            values.append(v->isNull() ? QStringLiteral("-") : v->asString());
        values.sort();
        EXPECT_EQ(values, (QStringList{QStringLiteral("-"), QStringLiteral("10.5"),
                                       QStringLiteral("3"), QStringLiteral("DEPENSE")}))
            << order;
    }
}

// Texts longer than a cached one (and so decoded per row), accented ones, and blanks, as an
// aggregate and a sort see them: an aggregate must not keep pointing at a reused buffer.
TEST(Query, LongAndAccentedTextsKeepTheirValuesThroughAggregatesAndSorts) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wide.db"));
    const ParadoxField fields[] = {{QStringLiteral("Nom"), ParadoxType::Alpha, 20},
                                   {QStringLiteral("Code"), ParadoxType::Alpha, 4}};
    ParadoxTable::create(path, fields);
    const QStringList names{QStringLiteral("FONCTIONNEMENT"), QStringLiteral("Équipement rural"),
                            QStringLiteral("INVESTISSEMENT"), QString(),
                            QStringLiteral("AMORTISSEMENTS"), QStringLiteral("Été")};
    {
        auto table = ParadoxTable::open(path, ParadoxTable::Access::Write);
        for (const QString& name : names)
            table->appendRow({name, name.left(4)});
    }
    TQuery query;
    query.databaseName = dir.path();
    query.sql =
        QStringList{QStringLiteral("select 0 as k, min(nom) as nom, max(code) as code "
                                   "from wide union all select 1, nom, code from wide "
                                   "order by k, nom")};
    TStringField* nom = query.addField<TStringField>(QStringLiteral("nom"), 20);
    TStringField* code = query.addField<TStringField>(QStringLiteral("code"), 4);
    query.open();
    QStringList rows;
    for (query.first(); !query.eof(); query.next())
        rows.append((nom->isNull() ? QStringLiteral("-") : nom->asString()) + QLatin1Char('/') +
                    (code->isNull() ? QStringLiteral("-") : code->asString()));
    EXPECT_EQ(
        rows,
        (QStringList{QStringLiteral("AMORTISSEMENTS/Été"), QStringLiteral("-/-"),
                     QStringLiteral("AMORTISSEMENTS/AMOR"), QStringLiteral("FONCTIONNEMENT/FONC"),
                     QStringLiteral("INVESTISSEMENT/INVE"), QStringLiteral("Équipement rural/Équi"),
                     QStringLiteral("Été/Été")}));
}

// etatbudget-table create, import, export and statement, run as a child process on a
// temporary data directory.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun runTool(const QStringList& args) {
    QProcess tool;
    tool.start(QStringLiteral(ETB_TABLE_TOOL), args);
    EXPECT_TRUE(tool.waitForFinished(60000));
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()),
            QString::fromUtf8(tool.readAllStandardError())};
}

QString sample() {
    return QStringLiteral(ETB_SAMPLES_DIR "/movements.csv");
}

QStringList lines(const QString& text) {
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

struct DataDir {
    QTemporaryDir root;
    QString path() const { return root.filePath(QStringLiteral("Data_Db")); }
    DataDir() { EXPECT_EQ(runTool({QStringLiteral("create"), path()}).exitCode, 0); }
    QString writeCsv(const QString& name, const QString& text) const {
        const QString file = root.filePath(name);
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text.toUtf8());
        return file;
    }
};

}  // namespace

TEST(TableCommands, CreateRefusesToReplaceATable) {
    DataDir dir;
    EXPECT_TRUE(QFile::exists(dir.path() + QStringLiteral("/DozorDb.db")));
    ASSERT_EQ(runTool({QStringLiteral("import"), dir.path(), sample()}).exitCode, 0);
    const ToolRun again = runTool({QStringLiteral("create"), dir.path()});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("existe déjà"))) << again.err.toStdString();
    EXPECT_EQ(lines(runTool({QStringLiteral("export"), dir.path()}).out).size(), 8);
}

TEST(TableCommands, ImportThenExportGivesTheSameRows) {
    DataDir dir;
    QString backslashed = dir.path();
    backslashed.replace(QLatin1Char('/'), QLatin1Char('\\'));
    ASSERT_EQ(runTool({QStringLiteral("import"), backslashed, sample()}).exitCode, 0);
    const ToolRun exported = runTool({QStringLiteral("export"), dir.path()});
    EXPECT_EQ(exported.exitCode, 0);
    QFile csv(sample());
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(lines(exported.out),
              lines(QString::fromUtf8(csv.readAll()).remove(QLatin1Char('\r'))));

    // Blanks, quoted texts and amounts that need every digit survive the trip.
    const QString odd = QStringLiteral(
        "Chp,Art,Type,Montant\n"
        ",,,\n"
        "1,\"a,b\",\"x\"\"y\",0.1\n"
        "2,3,É,-1234567.8912345679\n"
        "4,5,6,1e+20\n");
    ASSERT_EQ(runTool({QStringLiteral("import"), dir.path(),
                       dir.writeCsv(QStringLiteral("odd.csv"), odd)})
                  .exitCode,
              0);
    const QStringList all = lines(runTool({QStringLiteral("export"), dir.path()}).out);
    EXPECT_EQ(all.mid(8), lines(odd).mid(1));
}

TEST(TableCommands, ABadRowIsReportedWithItsLineAndNothingIsWritten) {
    struct Case {
        const char* body;
        const char* expected;
    };
    const Case cases[] = {
        {"Chp,Art,Type,Montant\n1,2,X,3\n1234,2,X,3\n", "ligne 3"},
        {"Chp,Art,Type,Montant\n1,2,X,3\n\n1,2,X,1,5\n", "ligne 4"},
        {"Chp,Art,Type,Montant\n1,2,X,\"1,5\"\n", "ligne 2"},
        {"Chp,Art,Type,Montant\n1,2,X,1 000\n", "ligne 2"},
        {"Chp,Art,Type,Montant\n1,2,Ж,1\n", "ligne 2"},
        {"Chp,Art,Type,Montant\n1,2,TROPLONGUE,1\n", "ligne 2"},
        {"Chp,Art,Type,Montant\n1,2,\"X,1\n", "ligne 2"},
        {"Chp;Art;Type;Montant\n1;2;X;1\n", "ligne 1"},
        {"Chp,Art,Type,Montant\n1,2,D\xC3\xA9pens\xC3\xA9,1\n\xC3\x89\xC3\x89\xC3\x89\xC3\x89,2,X,"
         "1\n",
         "ligne 3"},
    };
    for (const Case& c : cases) {
        DataDir dir;
        const ToolRun run =
            runTool({QStringLiteral("import"), dir.path(),
                     dir.writeCsv(QStringLiteral("bad.csv"), QString::fromUtf8(c.body))});
        EXPECT_EQ(run.exitCode, 1) << c.body;
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.expected))) << run.err.toStdString();
        EXPECT_EQ(lines(runTool({QStringLiteral("export"), dir.path()}).out).size(), 1) << c.body;
    }
}

TEST(TableCommands, StatementPrintsTotalsBeforeTheirMovements) {
    DataDir dir;
    ASSERT_EQ(runTool({QStringLiteral("import"), dir.path(), sample()}).exitCode, 0);
    const ToolRun run = runTool({QStringLiteral("statement"), dir.path()});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList rows = lines(run.out);
    ASSERT_EQ(rows.size(), 9);
    EXPECT_EQ(rows[0], QStringLiteral("0\tDEPENSE\t900\t900\t660400"));
    EXPECT_EQ(rows[5], QStringLiteral("0\tRECETTE\t900\t900\t270000"));
    QStringList depense = rows.mid(1, 4);
    depense.sort();
    EXPECT_EQ(depense, (QStringList{QStringLiteral("1\tDEPENSE\t900\t900\t20000"),
                                    QStringLiteral("1\tDEPENSE\t900\t900\t255000"),
                                    QStringLiteral("1\tDEPENSE\t900\t900\t350000"),
                                    QStringLiteral("1\tDEPENSE\t900\t900\t35400")}));
    QStringList recette = rows.mid(6);
    recette.sort();
    EXPECT_EQ(recette, (QStringList{QStringLiteral("1\tRECETTE\t900\t900\t100000"),
                                    QStringLiteral("1\tRECETTE\t900\t900\t120000"),
                                    QStringLiteral("1\tRECETTE\t900\t900\t50000")}));
}

TEST(TableCommands, StatementGivesEqualMovementsALineEach) {
    DataDir dir;
    const QString csv = dir.writeCsv(QStringLiteral("twice.csv"),
                                     QStringLiteral("Chp,Art,Type,Montant\n900,900,DEPENSE,100.5\n"
                                                    "900,900,DEPENSE,100.5\n"));
    ASSERT_EQ(runTool({QStringLiteral("import"), dir.path(), csv}).exitCode, 0);
    EXPECT_EQ(lines(runTool({QStringLiteral("statement"), dir.path()}).out),
              (QStringList{QStringLiteral("0\tDEPENSE\t900\t900\t201"),
                           QStringLiteral("1\tDEPENSE\t900\t900\t100.5"),
                           QStringLiteral("1\tDEPENSE\t900\t900\t100.5")}));
}

TEST(TableCommands, MissingDirectoryOrTableFailsInFrench) {
    QTemporaryDir root;
    const QString absent = root.filePath(QStringLiteral("absent"));
    for (const char* command : {"import", "export", "statement"}) {
        QStringList args{QString::fromUtf8(command), absent};
        if (args[0] == QLatin1String("import"))
            args.append(sample());
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, 1) << command;
        EXPECT_TRUE(run.err.contains(QStringLiteral("introuvable"))) << run.err.toStdString();
    }
    const ToolRun run = runTool({QStringLiteral("export"), root.path()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("« DozorDb.db »"))) << run.err.toStdString();
    EXPECT_EQ(runTool({QStringLiteral("create")}).exitCode, 1);
}

// etatbudget-table statement DIR --pdf / --png, run as a child process: the statement's pages
// written to files, and the French errors of bad requests.
#include <gtest/gtest.h>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct ToolRun {
    int exitCode = -1;
    QString err;
};

ToolRun runTool(const QStringList& args) {
    QProcess tool;
    tool.start(QStringLiteral(ETB_TABLE_TOOL), args);
    EXPECT_TRUE(tool.waitForFinished(60000));
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardError())};
}

// A data directory holding the sample movements, and optionally count more lines.
struct Statement {
    QTemporaryDir root;
    QString dir() const { return root.filePath(QStringLiteral("Data_Db")); }

    explicit Statement(int extraLines = 0) {
        EXPECT_EQ(runTool({QStringLiteral("create"), dir()}).exitCode, 0);
        EXPECT_EQ(runTool({QStringLiteral("import"), dir(),
                           QStringLiteral(ETB_SAMPLES_DIR "/movements.csv")})
                      .exitCode,
                  0);
        if (extraLines > 0) {
            const QString csv = root.filePath(QStringLiteral("more.csv"));
            QFile out(csv);
            EXPECT_TRUE(out.open(QIODevice::WriteOnly));
            out.write("Chp,Art,Type,Montant\n");
            for (int i = 0; i < extraLines; ++i)
                out.write(QStringLiteral("%1,%2,AUTRE,%3\n")
                              .arg(100 + i % 900)
                              .arg(i % 1000, 3, 10, QLatin1Char('0'))
                              .arg(i + 1)
                              .toUtf8());
            out.close();
            EXPECT_EQ(runTool({QStringLiteral("import"), dir(), csv}).exitCode, 0);
        }
    }
};

}  // namespace

TEST(StatementCommand, PngPagesAt150Dpi) {
    // 9 sample lines and 60 more: 36 on the first page, 33 on the second.
    Statement statement(60);
    const QString prefix = statement.root.filePath(QStringLiteral("page"));
    const ToolRun run =
        runTool({QStringLiteral("statement"), statement.dir(), QStringLiteral("--png"), prefix});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    for (int page = 1; page <= 2; ++page) {
        const QImage image(prefix + QStringLiteral("-%1.png").arg(page));
        ASSERT_FALSE(image.isNull()) << page;
        EXPECT_EQ(image.size(), QSize(1240, 1754));
        // The first grey total line lies under the title and the header on the first page.
        if (page == 1) {
            EXPECT_EQ(image.pixel(qRound((38 + 200) * 1.5625), qRound((38 + 74 + 24) * 1.5625)),
                      qRgb(192, 192, 192));
        }
    }
    EXPECT_FALSE(QFile::exists(prefix + QStringLiteral("-3.png")));
}

TEST(StatementCommand, PdfOfAnEmptyTableHasOnePage) {
    QTemporaryDir root;
    const QString dir = root.filePath(QStringLiteral("Data_Db"));
    ASSERT_EQ(runTool({QStringLiteral("create"), dir}).exitCode, 0);
    const QString pdf = root.filePath(QStringLiteral("etat.pdf"));
    const ToolRun run = runTool({QStringLiteral("statement"), dir, QStringLiteral("--pdf"), pdf});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r"), 1);
}

TEST(StatementCommand, BadRequestsFailWithAFrenchMessage) {
    Statement statement;
    QTemporaryDir elsewhere;
    const QString missingDir = elsewhere.filePath(QStringLiteral("absent"));
    const QString unwritable = elsewhere.filePath(QStringLiteral("absent/sub/etat.pdf"));
    struct Case {
        QStringList args;
        const char* message;
    };
    const Case cases[] = {
        {{QStringLiteral("statement"), statement.dir(), QStringLiteral("--pdf")}, "Utilisation"},
        {{QStringLiteral("statement"), statement.dir(), QStringLiteral("--svg"),
          QStringLiteral("x")},
         "Utilisation"},
        {{QStringLiteral("statement"), statement.dir(), QStringLiteral("--pdf"), unwritable},
         "PDF"},
        {{QStringLiteral("statement"), missingDir, QStringLiteral("--png"),
          elsewhere.filePath(QStringLiteral("p"))},
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const ToolRun run = runTool(c.args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_FALSE(run.err.trimmed().isEmpty());
        EXPECT_TRUE(run.err.contains(QLatin1String(c.message))) << run.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(elsewhere.filePath(QStringLiteral("p-1.png"))));
}

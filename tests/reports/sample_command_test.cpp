// etatbudget-table sample: the fixed sample page as PNG and PDF, and its usage errors.
#include <gtest/gtest.h>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

struct ToolRun {
    int exitCode = -1;
    QString errors;
};

ToolRun runSample(const QStringList& args) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(ETB_TABLE_TOOL), QStringList{QStringLiteral("sample")} + args);
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError())};
}

TEST(SampleCommand, PngOfTheOnePageAt150Dpi) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString prefix = dir.filePath(QStringLiteral("exemple"));
    const ToolRun run = runSample({QStringLiteral("--png"), prefix});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_FALSE(QFile::exists(prefix + QStringLiteral("-2.png")));

    QImage page(prefix + QStringLiteral("-1.png"));
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.size(), QSize(1240, 1754));  // A4 at 150 dpi
    // Ink under the top margin (the title and grid) and none in the margin itself.
    const int marginPx = qRound(10 / 25.4 * 150);
    int inMargin = 0;
    int onPage = 0;
    for (int y = 0; y < page.height(); y += 2)
        for (int x = 0; x < page.width(); x += 2)
            if (qGray(page.pixel(x, y)) < 128)
                ++(y < marginPx - 2 || x < marginPx - 2 ? inMargin : onPage);
    EXPECT_EQ(inMargin, 0);
    EXPECT_GT(onPage, 1000);
}

TEST(SampleCommand, PdfOfOnePage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("exemple.pdf"));
    const ToolRun run = runSample({QStringLiteral("--pdf"), pdf});
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    static const QRegularExpression pageObject(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    int pages = 0;
    for (auto it = pageObject.globalMatch(QString::fromLatin1(bytes)); it.hasNext(); it.next())
        ++pages;
    EXPECT_EQ(pages, 1);
}

TEST(SampleCommand, UsageAndWriteErrors) {
    const QStringList bad[] = {
        {},
        {QStringLiteral("--pdf")},
        {QStringLiteral("--svg"), QStringLiteral("x")},
        {QStringLiteral("--png"), QStringLiteral("a"), QStringLiteral("b")},
    };
    for (const QStringList& args : bad) {
        const ToolRun run = runSample(args);
        EXPECT_EQ(run.exitCode, 1) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.errors.contains(QStringLiteral("Utilisation"))) << run.errors.toStdString();
    }
    QTemporaryDir dir;
    const ToolRun unwritable =
        runSample({QStringLiteral("--png"), dir.filePath(QStringLiteral("absent/exemple"))});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_TRUE(unwritable.errors.contains(QStringLiteral("exemple-1.png")))
        << unwritable.errors.toStdString();
}

}  // namespace

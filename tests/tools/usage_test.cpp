// etatbudget-table without a known command explains itself and fails.
#include <QProcess>
#include <gtest/gtest.h>

TEST(TableTool, UnknownCommandPrintsUsageAndFails) {
    QProcess tool;
    tool.start(QStringLiteral(ETB_TABLE_TOOL), {QStringLiteral("bogus")});
    ASSERT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(tool.readAllStandardError()).contains(QStringLiteral("Utilisation")));
}

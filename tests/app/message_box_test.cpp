// Texts of the error boxes: the full stop rule and the start-up failure report.
#include "app/message_box.h"
#include "app_test_support.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFileInfo>

namespace etb::app {
namespace {

TEST(MessageBoxTest, FullStopOnlyAfterCharactersThatSortAfterIt) {
    struct Case {
        const char* message;
        const char* expected;
    };
    const Case cases[] = {
        {"Champ 'Art' non trouvé", "Champ 'Art' non trouvé."},
        {"Table introuvable", "Table introuvable."},
        {"Déjà fini.", "Déjà fini."},
        {"Quoi ?", "Quoi ?."},             // '?' sorts after '.'
        {"Erreur !", "Erreur !"},          // '!' sorts before '.'
        {"valeur 'abc'", "valeur 'abc'"},  // a closing quote sorts before '.'
        {"code 12", "code 12."},
        {"(x)", "(x)"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(withFullStop(QString::fromUtf8(c.message)), QString::fromUtf8(c.expected))
            << c.message;
}

TEST(MessageBoxTest, StartupFailureTextNamesClassModuleAndAddress) {
    EXPECT_EQ(startupFailureText(QStringLiteral("EDBEngineError"), QStringLiteral("etatbudget"),
                                 0x0040A1B2, QStringLiteral("Table introuvable")),
              QStringLiteral("Exception EDBEngineError dans le module etatbudget dans 0040A1B2.\n"
                             "Table introuvable."));
    // Only the low 32 bits of a wider address are written.
    EXPECT_EQ(
        startupFailureText(QStringLiteral("E"), QStringLiteral("m"),
                           static_cast<quintptr>(0x7fabcdef12345678ull), QStringLiteral("x.")),
        QStringLiteral("Exception E dans le module m dans 12345678.\nx."));
}

TEST(MessageBoxTest, ErrorBoxUsesTheApplicationTitleAndAnErrorIcon) {
    testing::BoxRecorder recorder;
    ScopedMessageBoxHandler scope(recorder.handler());
    EXPECT_FALSE(runHandler([] {
        throw data::DataError(data::DataError::Kind::Locked, QStringLiteral("Table verrouillée"));
    }));
    EXPECT_TRUE(runHandler([] {}));
    ASSERT_EQ(recorder.boxes.size(), 1u);
    const MessageBoxRequest& box = recorder.boxes[0];
    EXPECT_EQ(box.title, QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    EXPECT_EQ(box.text, QStringLiteral("Table verrouillée."));
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

}  // namespace
}  // namespace etb::app

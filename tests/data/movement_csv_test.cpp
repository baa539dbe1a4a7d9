// Movement CSV parsing and checking: rows, quoting, line ends, and the first bad line named
// with its number; text widths counted in the table's characters.
#include "data/movement_csv.h"
#include "data/data_error.h"
#include "data/paradox_table.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using etb::data::DataError;
using etb::data::ParadoxTable;
using etb::data::readMovementCsv;

namespace {

class MovementCsv : public ::testing::Test {
protected:
    void SetUp() override {
        const QString path = m_dir.filePath(QStringLiteral("DozorDb.db"));
        ParadoxTable::createMovementTable(path);
        m_table = ParadoxTable::open(path, ParadoxTable::Access::Read);
    }
    std::vector<etb::data::ParadoxRowChange> read(const char* text) const {
        return readMovementCsv(QString::fromUtf8(text), QStringLiteral("m.csv"), *m_table);
    }
    QTemporaryDir m_dir;
    std::unique_ptr<ParadoxTable> m_table;
};

}  // namespace

TEST_F(MovementCsv, ReadsRowsWithQuotesBlanksAndAnyLineEnd) {
    const auto rows = read(
        "\xEF\xBB\xBF"
        "chp, ART ,Type,Montant\r\n"
        "601,100,\"D\xC3\xA9pens\xC3\xA9\",1234.5\r\n"
        "\r\n"
        ",,,\n"
        "\xC3\x89\xC3\x89\xC3\x89,\"a,\"\"\",\"x\",-0.25");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(*rows[0][2], QVariant(QStringLiteral("Dépensé")))  // 7 characters in A8
        << "the Type column";
    EXPECT_EQ(*rows[0][3], QVariant(1234.5));
    for (const auto& value : rows[1])
        EXPECT_FALSE(value->isValid());
    EXPECT_EQ(*rows[2][0], QVariant(QStringLiteral("ÉÉÉ")));  // 3 characters in A3
    EXPECT_EQ(*rows[2][1], QVariant(QStringLiteral("a,\"")));
    EXPECT_EQ(*rows[2][3], QVariant(-0.25));
}

TEST_F(MovementCsv, NamesTheFirstBadLine) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"", "fichier vide"},
        {"\n\n", "fichier vide"},
        {"Chp;Art;Type;Montant\n", "ligne 1 : l'en-tête"},
        {"Chp,Art,Type,Montant\n1,2,X,3\n1234,2,X,3\n", "ligne 3"},
        {"Chp,Art,Type,Montant\n\n1,2,X,1,5\n", "ligne 3 : 4 valeurs attendues, 5 trouvées"},
        {"Chp,Art,Type,Montant\n1,2,X,\"1,5\"\n", "ligne 2 : « 1,5 » n'est pas un montant"},
        {"Chp,Art,Type,Montant\n1,2,X,1e999\n", "ligne 2"},
        {"Chp,Art,Type,Montant\n1,2,\"X,1\n", "ligne 2 : guillemet non fermé"},
        {"Chp,Art,Type,Montant\n1,2,\xCE\xA9,1\n", "ligne 2"},  // Ω: not in 1252
        {"Chp,Art,Type,Montant\n\xC3\x89\xC3\x89\xC3\x89\xC3\x89,2,X,1\n",
         "ligne 2"},                                                              // ÉÉÉÉ in A3
        {"Chp,Art,Type,Montant\n1,2,D\xC3\xA9pens\xC3\xA9\x65s,1\n", "ligne 2"},  // 9 in A8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            read(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const DataError& e) {
            EXPECT_EQ(e.kind(), DataError::Kind::Convert);
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("m.csv")));
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.expected)))
                << e.message().toStdString();
            EXPECT_TRUE(e.message().endsWith(QStringLiteral("Rien n'a été importé.")));
        }
    }
}

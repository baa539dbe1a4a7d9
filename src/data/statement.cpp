// The settings of the movement table TB1 and the statement query Q1.
#include "statement.h"

#include "query.h"
#include "table.h"

namespace etb::data {

QString defaultDatabaseName() {
    return QStringLiteral("..\\Dozor\\Data_Db");
}

QString movementTableName() {
    return QStringLiteral("DozorDb.db");
}

QStringList statementSql() {
    return {
        QStringLiteral("select 0 as N,type,min(chp),min(art),sum(montant) from testedb"),
        QStringLiteral("group by type"),
        // ALL: two equal movements are two lines, as the type's total counts both.
        QStringLiteral("UNION ALL"),
        QStringLiteral("Select 1,type,chp,art,montant from testedb"),
        QStringLiteral("ORDER by Type,n"),
    };
}

MovementFields configureMovementTable(TTable& table, const QString& databaseName) {
    table.databaseName = databaseName;
    table.tableName = movementTableName();
    table.readOnly = false;
    MovementFields fields;
    fields.TB1Chp = table.addField<TStringField>(QStringLiteral("Chp"), 3);
    fields.TB1Chp->setAlignment(Qt::AlignCenter);
    fields.TB1Art = table.addField<TStringField>(QStringLiteral("Art"), 3);
    fields.TB1Art->setAlignment(Qt::AlignCenter);
    fields.TB1Type = table.addField<TStringField>(QStringLiteral("Type"), 8);
    fields.TB1Type->setAlignment(Qt::AlignCenter);
    fields.TB1Montant = table.addField<TFloatField>(QStringLiteral("Montant"));
    fields.TB1Montant->setAlignment(Qt::AlignRight);
    fields.TB1Montant->setDisplayFormat(QStringLiteral("##,##0.00"));
    return fields;
}

StatementFields configureStatementQuery(TQuery& query, const QString& databaseName) {
    query.databaseName = databaseName;
    query.sql = statementSql();
    query.tableFiles.insert(QStringLiteral("testedb"), movementTableName());
    StatementFields fields;
    fields.Q1N = query.addField<TFloatField>(QStringLiteral("N"));
    fields.Q1type = query.addField<TStringField>(QStringLiteral("type"), 8);
    fields.Q1MINOFchp = query.addField<TStringField>(QStringLiteral("MIN OF chp"), 3);
    fields.Q1MINOFart = query.addField<TStringField>(QStringLiteral("MIN OF art"), 3);
    fields.Q1SUMOFmontant = query.addField<TFloatField>(QStringLiteral("SUM OF montant"));
    return fields;
}

}  // namespace etb::data

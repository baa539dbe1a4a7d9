// The program's two data sets as it configures them: the movement table TB1 and the
// statement query Q1, with their field objects. One place for the data directory, the table
// file name and the statement text, shared by the main window and etatbudget-table.
#pragma once

#include <QString>
#include <QStringList>

namespace etb::data {

class TTable;
class TQuery;
class TStringField;
class TFloatField;

// "..\Dozor\Data_Db", relative to the working directory.
QString defaultDatabaseName();
// "DozorDb.db"
QString movementTableName();

// The statement, one line per entry. Its third line is "UNION ALL": every movement gives its
// own detail line, so that the lines of a type always add up to its total.
QStringList statementSql();

struct MovementFields {
    TStringField* TB1Chp = nullptr;
    TStringField* TB1Art = nullptr;
    TStringField* TB1Type = nullptr;
    TFloatField* TB1Montant = nullptr;
};

struct StatementFields {
    TFloatField* Q1N = nullptr;
    TStringField* Q1type = nullptr;
    TStringField* Q1MINOFchp = nullptr;
    TStringField* Q1MINOFart = nullptr;
    TFloatField* Q1SUMOFmontant = nullptr;
};

// Set the data set's settings and add its field objects; the data set stays closed.
MovementFields configureMovementTable(TTable& table, const QString& databaseName);
StatementFields configureStatementQuery(TQuery& query, const QString& databaseName);

}  // namespace etb::data

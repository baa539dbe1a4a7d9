// TQuery: runs the statement in an in-memory SQLite database into which the Paradox tables it
// names are copied on demand, then keeps the result as compact columns.
//
// Table lookup: SQLite reports "no such table: X"; X is then found as a file of the data
// directory (tableFiles first, else X + ".db", case-blind), copied into a table of the same
// name, and the statement prepared again. Text compares with SQLite's BINARY collation
// (code point order); a blank text is NULL, which sorts before every text.
//
// Result columns are named as the first select names them, except that an aggregate without
// an alias is named like "SUM OF montant" rather than SQLite's "sum(montant)".
#include "query.h"

#include "data_error.h"
#include "data_path.h"
#include "number_text.h"
#include "paradox_table.h"

#include <sqlite3.h>
#include <QRegularExpression>

namespace etb::data {

namespace {

// A column of the result. Text columns hold indexes into the result's string pool (0 is a
// blank), number columns hold doubles and a blank flag per row.
struct ResultColumn {
    QString name;
    FieldType type = FieldType::Unknown;
    std::vector<double> numbers;
    std::vector<bool> blank;
    std::vector<quint32> texts;
};

struct Database {
    sqlite3* db = nullptr;
    Database() {
        if (sqlite3_open(":memory:", &db) != SQLITE_OK)
            throw DataError(DataError::Kind::Sql,
                            QStringLiteral("Le moteur de requêtes ne peut pas démarrer."),
                            QString::fromUtf8(sqlite3_errmsg(db)));
    }
    ~Database() { sqlite3_close(db); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db)); }
};

struct Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

DataError sqlError(const QString& sqliteMessage, const QString& statementText) {
    static const QRegularExpression noColumn(QStringLiteral("^no such column: (.+)$"));
    const QRegularExpressionMatch match = noColumn.match(sqliteMessage);
    if (match.hasMatch()) {
        QString name = match.captured(1);
        name = name.mid(name.lastIndexOf(QLatin1Char('.')) + 1);
        return DataError(DataError::Kind::NotFound,
                         QStringLiteral("Champ '%1' non trouvé").arg(name),
                         sqliteMessage + QStringLiteral("\n") + statementText);
    }
    return DataError(DataError::Kind::Sql, QStringLiteral("Erreur dans la requête SQL."),
                     sqliteMessage + QStringLiteral("\n") + statementText);
}

void exec(Database& database, const QByteArray& sql) {
    char* message = nullptr;
    if (sqlite3_exec(database.db, sql.constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : "");
        sqlite3_free(message);
        throw sqlError(text, QString::fromUtf8(sql));
    }
}

QByteArray quoted(const QString& name) {
    QString text = name;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QByteArray("\"") + text.toUtf8() + QByteArray("\"");
}

const char* sqlType(ParadoxType type) {
    switch (type) {
        case ParadoxType::Alpha:
        case ParadoxType::Date:
        case ParadoxType::Time:
        case ParadoxType::Timestamp:
        case ParadoxType::Memo:
        case ParadoxType::FormattedMemo:
            return "TEXT";
        case ParadoxType::Short:
        case ParadoxType::Long:
        case ParadoxType::AutoIncrement:
        case ParadoxType::Logical:
            return "INTEGER";
        case ParadoxType::Number:
        case ParadoxType::Currency:
        case ParadoxType::Bcd:
            return "REAL";
        default:
            return "BLOB";
    }
}

void bindValue(sqlite3_stmt* stmt, int index, const QVariant& value) {
    if (!value.isValid() || value.isNull()) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    switch (value.typeId()) {
        case QMetaType::Double:
            sqlite3_bind_double(stmt, index, value.toDouble());
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::Bool:
            sqlite3_bind_int64(stmt, index, value.toLongLong());
            break;
        case QMetaType::QDate:
        case QMetaType::QTime:
        case QMetaType::QDateTime:
        case QMetaType::QString: {
            const QByteArray text = value.toString().toUtf8();  // dates and times in ISO form
            sqlite3_bind_text(stmt, index, text.constData(), static_cast<int>(text.size()),
                              SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            sqlite3_bind_blob(stmt, index, bytes.constData(), static_cast<int>(bytes.size()),
                              SQLITE_TRANSIENT);
            break;
        }
        default:
            sqlite3_bind_null(stmt, index);
            break;
    }
}

// "min(chp)" -> "MIN OF chp"; other names as they are.
QString resultColumnName(const QString& sqliteName) {
    static const QRegularExpression aggregate(
        QStringLiteral("^\\s*(count|sum|min|max|avg)\\s*\\(\\s*(.*?)\\s*\\)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = aggregate.match(sqliteName);
    if (!match.hasMatch())
        return sqliteName;
    return match.captured(1).toUpper() + QStringLiteral(" OF ") + match.captured(2);
}

// SQLite names a plain column by the table's spelling ("Type"); the result keeps the spelling
// of the statement's column list ("type").
QString spellingInStatement(const QString& name, const QString& statementText) {
    static const QRegularExpression columnList(
        QStringLiteral("^\\s*select\\b(.*?)\\bfrom\\b"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression word(QStringLiteral("[A-Za-z_][A-Za-z0-9_]*"));
    const QRegularExpressionMatch list = columnList.match(statementText);
    if (!list.hasMatch())
        return name;
    auto words = word.globalMatch(list.captured(1));
    while (words.hasNext()) {
        const QString token = words.next().captured();
        if (token.compare(name, Qt::CaseInsensitive) == 0)
            return token;
    }
    return name;
}

}  // namespace

struct TQuery::Result {
    std::vector<ResultColumn> columns;
    std::vector<QString> pool{QString()};
    qint64 rowCount = 0;
    std::vector<int> columnOfField;
};

TQuery::TQuery(QObject* parent) : TDataSet(parent) {}

TQuery::~TQuery() = default;

QStringList TQuery::columnNames() const {
    QStringList names;
    if (m_result) {
        for (const ResultColumn& column : m_result->columns)
            names.append(column.name);
    }
    return names;
}

namespace {

// Copies the rows of one Paradox table into a new SQLite table named tableName.
void loadTable(Database& database, const QString& tableName, const QString& filePath) {
    const auto file = ParadoxTable::open(filePath, ParadoxTable::Access::Read);
    const auto& fields = file->fields();
    QByteArray create = "CREATE TABLE " + quoted(tableName) + " (";
    QByteArray insert = "INSERT INTO " + quoted(tableName) + " VALUES (";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            create += ", ";
            insert += ", ";
        }
        create += quoted(fields[i].name) + ' ' + sqlType(fields[i].type);
        insert += '?';
    }
    create += ")";
    insert += ")";
    exec(database, create);

    Statement statement;
    if (sqlite3_prepare_v2(database.db, insert.constData(), static_cast<int>(insert.size()),
                           &statement.stmt, nullptr) != SQLITE_OK)
        throw sqlError(database.error(), QString::fromUtf8(insert));
    exec(database, "BEGIN");
    const qint64 rows = file->rowCount();
    const int columnCount = static_cast<int>(fields.size());
    for (qint64 r = 0; r < rows; ++r) {
        const ParadoxRow row = file->row(r);
        for (int c = 0; c < columnCount; ++c)
            bindValue(statement.stmt, c + 1,
                      c < static_cast<int>(row.size()) ? row[c] : QVariant());
        if (sqlite3_step(statement.stmt) != SQLITE_DONE)
            throw sqlError(database.error(), QString::fromUtf8(insert));
        sqlite3_reset(statement.stmt);
    }
    exec(database, "COMMIT");
}

QString fileNameFor(const QString& tableName, const QHash<QString, QString>& tableFiles) {
    for (auto it = tableFiles.cbegin(); it != tableFiles.cend(); ++it) {
        if (it.key().compare(tableName, Qt::CaseInsensitive) == 0)
            return it.value();
    }
    return tableName + QStringLiteral(".db");
}

}  // namespace

void TQuery::doOpen() {
    const QString directory = resolveDirectory(databaseName);
    const QString text = sql.join(QLatin1Char('\n'));
    const QByteArray utf8 = text.toUtf8();
    Database database;

    Statement statement;
    QStringList loaded;
    for (;;) {
        if (sqlite3_prepare_v2(database.db, utf8.constData(), static_cast<int>(utf8.size()),
                               &statement.stmt, nullptr) == SQLITE_OK)
            break;
        const QString message = database.error();
        static const QRegularExpression noTable(
            QStringLiteral("^no such table: (?:main\\.)?(.+)$"));
        const QRegularExpressionMatch match = noTable.match(message);
        if (!match.hasMatch() || loaded.contains(match.captured(1), Qt::CaseInsensitive))
            throw sqlError(message, text);
        const QString tableName = match.captured(1);
        const QString path =
            resolveFile(directory, fileNameFor(tableName, tableFiles), databaseName);
        loadTable(database, tableName, path);
        loaded.append(tableName);
    }
    if (!statement.stmt)
        throw DataError(DataError::Kind::Sql, QStringLiteral("La requête est vide."), text);

    auto result = std::make_unique<Result>();
    const int columnCount = sqlite3_column_count(statement.stmt);
    result->columns.resize(columnCount);
    // While reading, a cell is a kind (0 blank, 1 number, 2 text) and a payload (the number
    // or the pool index); columns settle on one type once every row is in.
    std::vector<std::vector<unsigned char>> kinds(columnCount);
    std::vector<std::vector<double>> payloads(columnCount);
    QHash<QByteArray, quint32> interned;
    auto intern = [&](const char* data, int size) -> quint32 {
        const QByteArray key = QByteArray::fromRawData(data, size);
        const auto found = interned.constFind(key);
        if (found != interned.cend())
            return found.value();
        const auto id = static_cast<quint32>(result->pool.size());
        result->pool.push_back(QString::fromUtf8(data, size));
        interned.insert(QByteArray(data, size), id);
        return id;
    };
    for (int c = 0; c < columnCount; ++c)
        result->columns[c].name = spellingInStatement(
            resultColumnName(QString::fromUtf8(sqlite3_column_name(statement.stmt, c))), text);

    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement.stmt)) == SQLITE_ROW) {
        for (int c = 0; c < columnCount; ++c) {
            switch (sqlite3_column_type(statement.stmt, c)) {
                case SQLITE_INTEGER:
                case SQLITE_FLOAT:
                    kinds[c].push_back(1);
                    payloads[c].push_back(sqlite3_column_double(statement.stmt, c));
                    break;
                case SQLITE_TEXT: {
                    const auto* data =
                        reinterpret_cast<const char*>(sqlite3_column_text(statement.stmt, c));
                    const int size = sqlite3_column_bytes(statement.stmt, c);
                    kinds[c].push_back(2);
                    payloads[c].push_back(intern(data, size));
                    break;
                }
                default:
                    kinds[c].push_back(0);
                    payloads[c].push_back(0.0);
                    break;
            }
        }
        ++result->rowCount;
    }
    if (step != SQLITE_DONE)
        throw sqlError(database.error(), text);

    for (int c = 0; c < columnCount; ++c) {
        ResultColumn& column = result->columns[c];
        const auto& kind = kinds[c];
        bool anyText = false;
        bool anyNumber = false;
        for (const unsigned char k : kind) {
            anyText = anyText || k == 2;
            anyNumber = anyNumber || k == 1;
        }
        if (anyText) {
            column.type = FieldType::String;
            column.texts.resize(kind.size());
            for (std::size_t r = 0; r < kind.size(); ++r) {
                if (kind[r] == 2) {
                    column.texts[r] = static_cast<quint32>(payloads[c][r]);
                } else if (kind[r] == 1) {
                    const QByteArray number =
                        formatGeneral(payloads[c][r], NumberSeparators{}).toUtf8();
                    column.texts[r] = intern(number.constData(), static_cast<int>(number.size()));
                }
            }
        } else {
            const char* declared = sqlite3_column_decltype(statement.stmt, c);
            if (anyNumber)
                column.type = FieldType::Float;
            else if (declared && QByteArray(declared).toUpper().contains("TEXT"))
                column.type = FieldType::String;
            column.blank.resize(kind.size());
            for (std::size_t r = 0; r < kind.size(); ++r)
                column.blank[r] = kind[r] == 0;
            column.numbers = std::move(payloads[c]);
            if (column.type == FieldType::String)
                column.texts.assign(kind.size(), 0);
        }
        std::vector<unsigned char>().swap(kinds[c]);
        std::vector<double>().swap(payloads[c]);
    }

    std::vector<ColumnInfo> columns;
    for (const ResultColumn& column : result->columns)
        columns.push_back({column.name, column.type});
    result->columnOfField = bindFields(columns);
    m_result = std::move(result);
}

void TQuery::doClose() {
    m_result.reset();
}

qint64 TQuery::storedRowCount() const {
    return m_result ? m_result->rowCount : 0;
}

QVariant TQuery::storedValue(qint64 row, int fieldIndex) const {
    if (!m_result || row < 0 || row >= m_result->rowCount)
        return {};
    const ResultColumn& column = m_result->columns[m_result->columnOfField[fieldIndex]];
    if (!column.texts.empty()) {
        const quint32 id = column.texts[row];
        return id == 0 ? QVariant() : QVariant(m_result->pool[id]);
    }
    if (column.numbers.empty() || column.blank[row])
        return {};
    return column.numbers[row];
}

}  // namespace etb::data

// TQuery: runs the statement in an in-memory SQLite database in which the Paradox tables it
// names appear as read-only virtual tables, then keeps the result as compact columns.
//
// Table lookup: SQLite reports "no such table: X"; X is then found as a file of the data
// directory (tableFiles first, else X + ".db", case-blind), opened for reading and made the
// virtual table X, and the statement prepared again. Text compares with SQLite's BINARY collation
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
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

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
        if (sqlite3_open_v2(":memory:", &db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK)
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

// The pool ids of short texts, keyed on their bytes and length packed in one word: an
// open-addressing table that a result's millions of texts look up without hashing a string.
class ShortTextIds {
public:
    // 0 when the text is empty or longer than 7 bytes.
    static std::uint64_t keyOf(const char* data, int size) {
        if (size <= 0 || size > 7)
            return 0;
        std::uint64_t key = std::uint64_t(size) << 56;
        std::memcpy(&key, data, std::size_t(size));  // the low bytes, on little-endian
        if constexpr (std::endian::native == std::endian::big) {
            key = std::uint64_t(size) << 56;
            for (int i = 0; i < size; ++i)
                key |= std::uint64_t(static_cast<unsigned char>(data[i])) << (8 * i);
        }
        return key;
    }
    quint32 find(std::uint64_t key) const {
        if (m_slots.empty())
            return 0;
        for (std::size_t at = slotOf(key);; at = (at + 1) & (m_slots.size() - 1)) {
            if (m_slots[at].key == key)
                return m_slots[at].id;
            if (m_slots[at].key == 0)
                return 0;
        }
    }
    void insert(std::uint64_t key, quint32 id) {
        if ((m_size + 1) * 2 > m_slots.size()) {
            std::vector<Slot> old(std::max<std::size_t>(64, m_slots.size() * 2));
            old.swap(m_slots);
            m_size = 0;
            for (const Slot& slot : old) {
                if (slot.key)
                    insert(slot.key, slot.id);
            }
        }
        std::size_t at = slotOf(key);
        while (m_slots[at].key != 0)
            at = (at + 1) & (m_slots.size() - 1);
        m_slots[at] = {key, id};
        ++m_size;
    }

private:
    struct Slot {
        std::uint64_t key = 0;
        quint32 id = 0;
    };
    std::size_t slotOf(std::uint64_t key) const {
        return std::size_t((key * 0x9E3779B97F4A7C15ull) >> 32) & (m_slots.size() - 1);
    }
    std::vector<Slot> m_slots;
    std::size_t m_size = 0;
};

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

qint64 TQuery::resultBytes() const {
    if (!m_result)
        return 0;
    qint64 bytes = 0;
    for (const ResultColumn& column : m_result->columns) {
        bytes += static_cast<qint64>(column.numbers.capacity() * sizeof(double) +
                                     column.texts.capacity() * sizeof(quint32) +
                                     column.blank.capacity() / 8);
    }
    for (const QString& text : m_result->pool)
        bytes += static_cast<qint64>(sizeof(QString) + text.capacity() * 2);
    return bytes;
}

namespace {

// The Paradox tables a statement reads, open for reading while it runs, and the first error
// a table raised while SQLite was reading it (SQLite's C frames must not see exceptions).
struct OpenTables {
    std::vector<std::unique_ptr<ParadoxTable>> tables;
    std::optional<DataError> error;
};

// A read-only virtual table over one Paradox table: SQLite reads the rows in place, in chain
// order through a row cursor, decoding only the values the statement asks for.
struct ParadoxVTab {
    sqlite3_vtab base{};
    const ParadoxTable* table = nullptr;
    OpenTables* owner = nullptr;
};

struct ParadoxCursor {
    sqlite3_vtab_cursor base{};
    std::optional<ParadoxRowCursor> rows;  // made by the first filter
    bool ordered = false;                  // walking `order` rather than the chain
    std::vector<qint64> order;             // the rows in the order SQLite asked for
    std::size_t at = 0;                    // in order
};

// The rows of a table ordered on an Alpha field as SQLite's BINARY collation orders them:
// blanks first, then by UTF-8 bytes; equal texts keep chain order. Rows are grouped by
// their text, so the work is one pass plus a sort of the distinct texts.
std::vector<qint64> rowsOrderedBy(const ParadoxTable& table, int field) {
    struct Group {
        QByteArray text;
        std::vector<qint64> rows;
    };
    std::vector<Group> groups(1);  // groups[0]: blanks
    QHash<const char*, std::size_t> byLastingText;
    QHash<QByteArray, std::size_t> byText;
    for (ParadoxRowCursor rows(table); !rows.atEnd(); rows.next()) {
        const ParadoxRowCursor::Utf8Text text = rows.textUtf8(field);
        std::size_t group = 0;
        if (text.data) {
            const auto found =
                text.lasting ? byLastingText.constFind(text.data) : byLastingText.cend();
            if (found != byLastingText.cend()) {
                group = found.value();
            } else {
                const QByteArray bytes(text.data, text.size);
                group = byText.value(bytes, 0);
                if (group == 0) {
                    group = groups.size();
                    groups.push_back({bytes, {}});
                    byText.insert(bytes, group);
                }
                if (text.lasting)
                    byLastingText.insert(text.data, group);
            }
        }
        groups[group].rows.push_back(rows.row());
    }
    std::sort(groups.begin() + 1, groups.end(),
              [](const Group& a, const Group& b) { return a.text < b.text; });
    std::vector<qint64> order;
    order.reserve(static_cast<std::size_t>(table.rowCount()));
    for (const Group& group : groups)
        order.insert(order.end(), group.rows.begin(), group.rows.end());
    return order;
}

// argv[3] is the index of the table in OpenTables.
int vtabConnect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** vtab,
                char** error) {
    auto* owner = static_cast<OpenTables*>(aux);
    const int index = argc > 3 ? QByteArray(argv[3]).toInt() : -1;
    if (index < 0 || index >= static_cast<int>(owner->tables.size())) {
        *error = sqlite3_mprintf("no table for the virtual table");
        return SQLITE_ERROR;
    }
    const ParadoxTable* table = owner->tables[index].get();
    QByteArray schema = "CREATE TABLE x(";
    const auto& fields = table->fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            schema += ", ";
        schema += quoted(fields[i].name) + ' ' + sqlType(fields[i].type);
    }
    schema += ")";
    const int rc = sqlite3_declare_vtab(db, schema.constData());
    if (rc != SQLITE_OK)
        return rc;
    auto* created = new ParadoxVTab;
    created->table = table;
    created->owner = owner;
    *vtab = &created->base;
    return SQLITE_OK;
}

// A scan of every row. Asked for the rows in the ascending order of one Alpha field (the
// statement's GROUP BY and ORDER BY on the type), the table hands them out in that order
// (idxNum = field + 1), which spares SQLite sorting them.
int vtabBestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
    const ParadoxTable& table = *reinterpret_cast<ParadoxVTab*>(vtab)->table;
    const auto rows = table.rowCount();
    info->estimatedCost = static_cast<double>(rows) + 1.0;
    info->estimatedRows = rows;
    if (info->nOrderBy == 1 && !info->aOrderBy[0].desc) {
        const int column = info->aOrderBy[0].iColumn;
        const auto& fields = table.fields();
        if (column >= 0 && std::size_t(column) < fields.size() &&
            fields[std::size_t(column)].type == ParadoxType::Alpha) {
            info->idxNum = column + 1;
            info->orderByConsumed = 1;
            info->estimatedCost = 2.0 * static_cast<double>(rows) + 1.0;
        }
    }
    return SQLITE_OK;
}

int vtabDisconnect(sqlite3_vtab* vtab) {
    delete reinterpret_cast<ParadoxVTab*>(vtab);
    return SQLITE_OK;
}

int vtabOpen(sqlite3_vtab*, sqlite3_vtab_cursor** cursor) {
    *cursor = &(new ParadoxCursor)->base;
    return SQLITE_OK;
}

int vtabClose(sqlite3_vtab_cursor* cursor) {
    delete reinterpret_cast<ParadoxCursor*>(cursor);
    return SQLITE_OK;
}

int vtabFilter(sqlite3_vtab_cursor* cursor, int idxNum, const char*, int, sqlite3_value**) {
    auto* c = reinterpret_cast<ParadoxCursor*>(cursor);
    auto* vtab = reinterpret_cast<ParadoxVTab*>(cursor->pVtab);
    c->rows.emplace(*vtab->table);
    c->ordered = idxNum > 0;
    c->order.clear();
    c->at = 0;
    if (c->ordered) {
        try {
            c->order = rowsOrderedBy(*vtab->table, idxNum - 1);
        } catch (const DataError& error) {
            if (!vtab->owner->error)
                vtab->owner->error = error;
            return SQLITE_ERROR;
        }
        if (!c->order.empty())
            c->rows->seek(c->order.front());
    }
    return SQLITE_OK;
}

int vtabNext(sqlite3_vtab_cursor* cursor) {
    auto* c = reinterpret_cast<ParadoxCursor*>(cursor);
    if (!c->ordered) {
        c->rows->next();
    } else if (++c->at < c->order.size()) {
        c->rows->seek(c->order[c->at]);
    }
    return SQLITE_OK;
}

int vtabEof(sqlite3_vtab_cursor* cursor) {
    const auto* c = reinterpret_cast<ParadoxCursor*>(cursor);
    if (!c->rows)
        return 1;
    return c->ordered ? c->at >= c->order.size() : c->rows->atEnd();
}

int vtabColumn(sqlite3_vtab_cursor* cursor, sqlite3_context* context, int column) {
    ParadoxRowCursor& rows = *reinterpret_cast<ParadoxCursor*>(cursor)->rows;
    auto* vtab = reinterpret_cast<ParadoxVTab*>(cursor->pVtab);
    const auto& fields = vtab->table->fields();
    const ParadoxType type = column >= 0 && std::size_t(column) < fields.size()
                                 ? fields[std::size_t(column)].type
                                 : ParadoxType::Blob;
    QVariant value;
    try {
        // Texts and numbers, nearly every value read, skip the QVariant.
        // A cached text is handed over in place: the cache outlives the statement, and
        // SQLite may keep pointing at it (min() does).
        if (type == ParadoxType::Alpha) {
            const ParadoxRowCursor::Utf8Text text = rows.textUtf8(column);
            if (!text.data)
                sqlite3_result_null(context);
            else
                sqlite3_result_text(context, text.data, text.size,
                                    text.lasting ? SQLITE_STATIC : SQLITE_TRANSIENT);
            return SQLITE_OK;
        }
        if (type == ParadoxType::Number || type == ParadoxType::Currency) {
            if (const std::optional<double> number = rows.number(column))
                sqlite3_result_double(context, *number);
            else
                sqlite3_result_null(context);
            return SQLITE_OK;
        }
        value = rows.value(column);
    } catch (const DataError& error) {
        if (!vtab->owner->error)
            vtab->owner->error = error;
        sqlite3_result_error(context, "table read failed", -1);
        return SQLITE_ERROR;
    }
    if (!value.isValid() || value.isNull()) {
        sqlite3_result_null(context);
        return SQLITE_OK;
    }
    switch (value.typeId()) {
        case QMetaType::Double:
            sqlite3_result_double(context, value.toDouble());
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::Bool:
            sqlite3_result_int64(context, value.toLongLong());
            break;
        case QMetaType::QString: {
            const QString text = value.toString();
            sqlite3_result_text16(context, text.utf16(), static_cast<int>(text.size() * 2),
                                  SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            sqlite3_result_blob(context, bytes.constData(), static_cast<int>(bytes.size()),
                                SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray text = value.toString().toUtf8();  // dates and times in ISO form
            sqlite3_result_text(context, text.constData(), static_cast<int>(text.size()),
                                SQLITE_TRANSIENT);
            break;
        }
    }
    return SQLITE_OK;
}

int vtabRowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* rowid) {
    *rowid = reinterpret_cast<ParadoxCursor*>(cursor)->rows->row() + 1;
    return SQLITE_OK;
}

const sqlite3_module* paradoxModule() {
    static const sqlite3_module module = [] {
        sqlite3_module m{};
        m.xCreate = vtabConnect;
        m.xConnect = vtabConnect;
        m.xBestIndex = vtabBestIndex;
        m.xDisconnect = vtabDisconnect;
        m.xDestroy = vtabDisconnect;
        m.xOpen = vtabOpen;
        m.xClose = vtabClose;
        m.xFilter = vtabFilter;
        m.xNext = vtabNext;
        m.xEof = vtabEof;
        m.xColumn = vtabColumn;
        m.xRowid = vtabRowid;
        return m;
    }();
    return &module;
}

// Opens a Paradox table and makes it the SQLite table tableName.
void attachTable(Database& database, OpenTables& tables, const QString& tableName,
                 const QString& filePath) {
    tables.tables.push_back(ParadoxTable::open(filePath, ParadoxTable::Access::Read));
    exec(database, "CREATE VIRTUAL TABLE " + quoted(tableName) + " USING paradox(" +
                       QByteArray::number(static_cast<int>(tables.tables.size()) - 1) + ")");
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
    OpenTables tables;  // outlives the database, whose virtual tables read it
    Database database;
    sqlite3_create_module(database.db, "paradox", paradoxModule(), &tables);

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
        attachTable(database, tables, tableName, path);
        loaded.append(tableName);
    }
    if (!statement.stmt)
        throw DataError(DataError::Kind::Sql, QStringLiteral("La requête est vide."), text);

    auto result = std::make_unique<Result>();
    const int columnCount = sqlite3_column_count(statement.stmt);
    result->columns.resize(columnCount);
    QHash<QByteArray, quint32> interned;
    ShortTextIds shortIds;  // texts of up to 7 bytes, nearly all of a statement's
    auto intern = [&](const char* data, int size) -> quint32 {
        const std::uint64_t shortKey = ShortTextIds::keyOf(data, size);
        if (shortKey) {
            if (const quint32 id = shortIds.find(shortKey))
                return id;
        }
        const QByteArray key = QByteArray::fromRawData(data, size);
        const auto found = interned.constFind(key);
        if (found != interned.cend())
            return found.value();
        const auto id = static_cast<quint32>(result->pool.size());
        result->pool.push_back(QString::fromUtf8(data, size));
        interned.insert(QByteArray(data, size), id);
        if (shortKey)
            shortIds.insert(shortKey, id);
        return id;
    };
    auto internNumber = [&](double value) {
        const QByteArray number = formatGeneral(value, NumberSeparators{}).toUtf8();
        return intern(number.constData(), static_cast<int>(number.size()));
    };
    for (int c = 0; c < columnCount; ++c)
        result->columns[c].name = spellingInStatement(
            resultColumnName(QString::fromUtf8(sqlite3_column_name(statement.stmt, c))), text);

    // A column takes the type of its first value: numbers, or texts (a number that follows
    // texts is kept as its text; texts that follow numbers turn the column into texts).
    // Blanks before the first value are filled in when the type is known.
    auto becomeTexts = [&](ResultColumn& column, std::size_t rows) {
        column.texts.resize(rows);
        for (std::size_t r = 0; r < column.numbers.size(); ++r)
            column.texts[r] = column.blank[r] ? 0 : internNumber(column.numbers[r]);
        std::vector<double>().swap(column.numbers);
        std::vector<bool>().swap(column.blank);
        column.type = FieldType::String;
    };
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement.stmt)) == SQLITE_ROW) {
        const auto rows = static_cast<std::size_t>(result->rowCount);
        for (int c = 0; c < columnCount; ++c) {
            ResultColumn& column = result->columns[c];
            switch (sqlite3_column_type(statement.stmt, c)) {
                case SQLITE_INTEGER:
                case SQLITE_FLOAT: {
                    const double value = sqlite3_column_double(statement.stmt, c);
                    if (column.type == FieldType::String) {
                        column.texts.push_back(internNumber(value));
                    } else {
                        if (column.type == FieldType::Unknown) {
                            column.type = FieldType::Float;
                            column.numbers.assign(rows, 0.0);
                            column.blank.assign(rows, true);
                        }
                        column.numbers.push_back(value);
                        column.blank.push_back(false);
                    }
                    break;
                }
                case SQLITE_TEXT: {
                    const auto* data =
                        reinterpret_cast<const char*>(sqlite3_column_text(statement.stmt, c));
                    const int size = sqlite3_column_bytes(statement.stmt, c);
                    if (column.type != FieldType::String)
                        becomeTexts(column, rows);
                    column.texts.push_back(intern(data, size));
                    break;
                }
                default:
                    if (column.type == FieldType::String) {
                        column.texts.push_back(0);
                    } else if (column.type == FieldType::Float) {
                        column.numbers.push_back(0.0);
                        column.blank.push_back(true);
                    }
                    break;
            }
        }
        ++result->rowCount;
    }
    if (step != SQLITE_DONE) {
        if (tables.error)
            throw *tables.error;
        throw sqlError(database.error(), text);
    }
    for (int c = 0; c < columnCount; ++c) {
        ResultColumn& column = result->columns[c];
        const char* declared = sqlite3_column_decltype(statement.stmt, c);
        // A column without a value: a declared text column reads as blank texts; any other
        // stays untyped and binds to any field object.
        if (column.type == FieldType::Unknown && declared &&
            QByteArray(declared).toUpper().contains("TEXT")) {
            column.type = FieldType::String;
            column.texts.assign(static_cast<std::size_t>(result->rowCount), 0);
        }
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

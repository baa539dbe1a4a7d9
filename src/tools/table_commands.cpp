// create, import, export and statement (text): the table commands.
//
// CSV files have the header line Chp,Art,Type,Montant, amounts written with a full stop and
// no thousands separators; a field may be quoted with double quotes. An import checks every
// row before it writes any.
#include "commands.h"

#include "data/data_error.h"
#include "data/data_path.h"
#include "data/number_text.h"
#include "data/paradox_table.h"
#include "data/query.h"
#include "data/statement.h"

#include <QDir>
#include <QFile>
#include <QTextStream>
#include <charconv>
#include <cmath>

namespace etb::tools {

namespace {

using data::DataError;
using data::ParadoxTable;

const QStringList kHeader = {QStringLiteral("Chp"), QStringLiteral("Art"), QStringLiteral("Type"),
                             QStringLiteral("Montant")};
const data::NumberSeparators kFullStop{QLatin1Char('.'), QLatin1Char(',')};

int fail(const QString& message) {
    QTextStream(stderr) << message << QLatin1Char('\n');
    return 1;
}

int usage(const QString& synopsis) {
    return fail(QStringLiteral("Utilisation : etatbudget-table %1").arg(synopsis));
}

// The data directory as given, with "\" or "/" as separators; it must exist.
QString directoryOf(const QString& argument) {
    return data::resolveDirectory(argument);
}

// Splits one CSV line; returns false when a quoted field is not closed.
bool splitCsv(const QString& line, QStringList& fields) {
    fields.clear();
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
                    field.append(c);
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field.append(c);
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields.append(field);
            field.clear();
        } else {
            field.append(c);
        }
    }
    fields.append(field);
    return !quoted;
}

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString escaped = text;
    escaped.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

// The shortest text that reads back as the same double, with a full stop; plain digits
// unless the value is huge or tiny (100000, 0.1, 1e+20).
QString roundTrip(double value) {
    char buffer[400];
    const double magnitude = std::fabs(value);
    const auto format = magnitude == 0.0 || (magnitude >= 1e-5 && magnitude < 1e16)
                            ? std::chars_format::fixed
                            : std::chars_format::general;
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

// The movement table's columns Chp, Art, Type, Montant in the file; throws when one is missing.
std::vector<int> movementColumns(const ParadoxTable& table) {
    std::vector<int> columns;
    for (const QString& name : kHeader) {
        const int index = table.fieldIndex(name);
        if (index < 0)
            throw DataError(DataError::Kind::NotFound,
                            QStringLiteral("Champ '%1' non trouvé").arg(name));
        columns.push_back(index);
    }
    return columns;
}

QString tablePathIn(const QString& directory, const QString& argument) {
    return data::resolveFile(directory, data::movementTableName(), argument);
}

}  // namespace

int commandCreate(const QStringList& args) {
    if (args.size() != 1)
        return usage(QStringLiteral("create DIR"));
    try {
        QString path = args[0];
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (!QDir().mkpath(path))
            return fail(QStringLiteral("Le répertoire « %1 » ne peut pas être créé.").arg(args[0]));
        const QString directory = directoryOf(args[0]);
        const QStringList existing = QDir(directory).entryList(QDir::Files | QDir::Hidden);
        for (const QString& entry : existing) {
            if (entry.compare(data::movementTableName(), Qt::CaseInsensitive) == 0)
                return fail(QStringLiteral("La table « %1 » existe déjà dans « %2 » : elle n'est "
                                           "pas remplacée.")
                                .arg(entry, args[0]));
        }
        ParadoxTable::createMovementTable(QDir(directory).filePath(data::movementTableName()));
        return 0;
    } catch (const DataError& error) {
        return fail(error.message());
    }
}

int commandImport(const QStringList& args) {
    if (args.size() != 2)
        return usage(QStringLiteral("import DIR FICHIER.csv"));
    try {
        const QString directory = directoryOf(args[0]);
        QFile csv(args[1]);
        if (!csv.open(QIODevice::ReadOnly | QIODevice::Text))
            return fail(QStringLiteral("Le fichier « %1 » ne peut pas être lu.").arg(args[1]));
        QTextStream in(&csv);
        in.setEncoding(QStringConverter::Utf8);

        auto table =
            ParadoxTable::open(tablePathIn(directory, args[0]), ParadoxTable::Access::Write);
        if (!table->canWrite())
            return fail(QStringLiteral("La table « %1 » ne peut pas être modifiée : %2.")
                            .arg(data::movementTableName(), table->readOnlyReason()));
        const std::vector<int> columns = movementColumns(*table);

        // Every row is checked before the first is written.
        std::vector<data::ParadoxRowChange> rows;
        QStringList fields;
        int lineNumber = 0;
        bool headerSeen = false;
        while (!in.atEnd()) {
            const QString line = in.readLine();
            ++lineNumber;
            if (line.trimmed().isEmpty())
                continue;
            auto bad = [&](const QString& reason) {
                return fail(QStringLiteral("%1, ligne %2 : %3. Rien n'a été importé.")
                                .arg(args[1])
                                .arg(lineNumber)
                                .arg(reason));
            };
            if (!splitCsv(line, fields))
                return bad(QStringLiteral("guillemet non fermé"));
            if (!headerSeen) {
                headerSeen = true;
                QStringList names;
                for (const QString& f : fields)
                    names.append(f.trimmed());
                if (names.join(QLatin1Char(','))
                        .compare(kHeader.join(QLatin1Char(',')), Qt::CaseInsensitive) != 0)
                    return bad(QStringLiteral("l'en-tête attendu est « Chp,Art,Type,Montant »"));
                continue;
            }
            if (fields.size() != 4)
                return bad(QStringLiteral("4 valeurs attendues, %1 trouvées").arg(fields.size()));
            data::ParadoxRowChange row(table->fields().size());  // other columns stay blank
            const int widths[] = {3, 3, 8};
            for (int i = 0; i < 3; ++i) {
                const QString text = fields[i];
                if (text.size() > widths[i])
                    return bad(QStringLiteral("« %1 » dépasse %2 caractères pour %3")
                                   .arg(text)
                                   .arg(widths[i])
                                   .arg(kHeader[i]));
                const QVariant value = text.isEmpty() ? QVariant() : QVariant(text);
                try {
                    table->checkValue(columns[i], value);
                } catch (const DataError& error) {
                    return bad(error.message());
                }
                row[columns[i]] = value;
            }
            const QString amountText = fields[3].trimmed();
            QVariant amount;
            if (!amountText.isEmpty()) {
                const auto parsed = data::parseFloat(amountText, kFullStop);
                if (!parsed)
                    return bad(QStringLiteral("« %1 » n'est pas un montant").arg(fields[3]));
                amount = *parsed;
            }
            try {
                table->checkValue(columns[3], amount);
            } catch (const DataError& error) {
                return bad(error.message());
            }
            row[columns[3]] = amount;
            rows.push_back(std::move(row));
        }
        if (!headerSeen)
            return fail(QStringLiteral("%1 : fichier vide, l'en-tête « Chp,Art,Type,Montant » "
                                       "manque. Rien n'a été importé.")
                            .arg(args[1]));
        for (const auto& row : rows)
            table->appendRow(row);
        return 0;
    } catch (const DataError& error) {
        return fail(error.message());
    }
}

int commandExport(const QStringList& args) {
    if (args.size() != 1)
        return usage(QStringLiteral("export DIR"));
    try {
        const QString directory = directoryOf(args[0]);
        const auto table =
            ParadoxTable::open(tablePathIn(directory, args[0]), ParadoxTable::Access::Read);
        const std::vector<int> columns = movementColumns(*table);
        QTextStream out(stdout);
        out.setEncoding(QStringConverter::Utf8);
        out << kHeader.join(QLatin1Char(',')) << QLatin1Char('\n');
        for (qint64 r = 0; r < table->rowCount(); ++r) {
            const data::ParadoxRow row = table->row(r);
            for (int i = 0; i < 3; ++i)
                out << csvField(row[columns[i]].toString()) << QLatin1Char(',');
            const QVariant amount = row[columns[3]];
            if (amount.isValid() && !amount.isNull())
                out << roundTrip(amount.toDouble());
            out << QLatin1Char('\n');
        }
        return 0;
    } catch (const DataError& error) {
        return fail(error.message());
    }
}

int commandStatement(const QStringList& args) {
    if (args.isEmpty())
        return usage(QStringLiteral("statement DIR [--pdf FICHIER | --png PREFIXE]"));
    if (args.size() > 1)
        return renderStatement(args[0], args.mid(1));
    try {
        data::TQuery query;
        const data::StatementFields fields = data::configureStatementQuery(query, args[0]);
        query.open();
        QTextStream out(stdout);
        out.setEncoding(QStringConverter::Utf8);
        for (query.first(); !query.eof(); query.next()) {
            out << fields.Q1N->asInteger() << QLatin1Char('\t') << fields.Q1type->asString()
                << QLatin1Char('\t') << fields.Q1MINOFchp->asString() << QLatin1Char('\t')
                << fields.Q1MINOFart->asString() << QLatin1Char('\t');
            if (!fields.Q1SUMOFmontant->isNull())
                out << data::formatGeneral(fields.Q1SUMOFmontant->asFloat(), kFullStop);
            out << QLatin1Char('\n');
        }
        return 0;
    } catch (const DataError& error) {
        return fail(error.message());
    }
}

}  // namespace etb::tools

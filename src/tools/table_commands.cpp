// create, import, export and statement (text): the table commands.
//
// CSV files have the header line Chp,Art,Type,Montant, amounts written with a full stop and
// no thousands separators; a field may be quoted with double quotes. An import checks every
// row before it writes any.
#include "commands.h"
#include "page_output.h"

#include "data/data_error.h"
#include "data/data_path.h"
#include "data/movement_csv.h"
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

const data::NumberSeparators kFullStop{QLatin1Char('.'), QLatin1Char(',')};

int usage(const QString& synopsis) {
    return fail(QStringLiteral("Utilisation : etatbudget-table %1").arg(synopsis));
}

// The data directory as given, with "\" or "/" as separators; it must exist.
QString directoryOf(const QString& argument) {
    return data::resolveDirectory(argument);
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
        if (!csv.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("Le fichier « %1 » ne peut pas être lu.").arg(args[1]));
        const QString text = QString::fromUtf8(csv.readAll());

        auto table =
            ParadoxTable::open(tablePathIn(directory, args[0]), ParadoxTable::Access::Write);
        if (!table->canWrite())
            return fail(QStringLiteral("La table « %1 » ne peut pas être modifiée : %2.")
                            .arg(data::movementTableName(), table->readOnlyReason()));
        // Every row is checked before any is written, and all are written as one change.
        const std::vector<data::ParadoxRowChange> rows =
            data::readMovementCsv(text, args[1], *table);
        table->appendRows(rows);
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
        const std::vector<int> columns = data::movementCsvColumns(*table);
        QTextStream out(stdout);
        out.setEncoding(QStringConverter::Utf8);
        out << data::movementCsvHeader() << QLatin1Char('\n');
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

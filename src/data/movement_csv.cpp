// Parsing and checking of movement CSV files. See movement_csv.h.
#include "data/movement_csv.h"

#include "data/data_error.h"
#include "data/number_text.h"

#include <QStringList>

namespace etb::data {
namespace {

const NumberSeparators kFullStop{QLatin1Char('.'), QLatin1Char(',')};

QStringList headerNames() {
    return {QStringLiteral("Chp"), QStringLiteral("Art"), QStringLiteral("Type"),
            QStringLiteral("Montant")};
}

// Splits one CSV line; returns false when a quoted field is not closed.
bool splitCsv(QStringView line, QStringList& fields) {
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

}  // namespace

QString movementCsvHeader() {
    return headerNames().join(QLatin1Char(','));
}

std::vector<int> movementCsvColumns(const ParadoxTable& table) {
    std::vector<int> columns;
    for (const QString& name : headerNames()) {
        const int index = table.fieldIndex(name);
        if (index < 0)
            throw DataError(DataError::Kind::NotFound,
                            QStringLiteral("Champ '%1' non trouvé").arg(name));
        columns.push_back(index);
    }
    return columns;
}

std::vector<ParadoxRowChange> readMovementCsv(const QString& text, const QString& fileName,
                                              const ParadoxTable& table) {
    const QStringList header = headerNames();
    const std::vector<int> columns = movementCsvColumns(table);
    std::vector<ParadoxRowChange> rows;
    QStringList fields;
    int lineNumber = 0;
    bool headerSeen = false;
    QStringView body(text);
    if (body.startsWith(QChar(0xFEFF)))  // a byte order mark some editors write
        body = body.mid(1);
    const QList<QStringView> lines = body.split(QLatin1Char('\n'));
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QStringView line = lines[n];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        ++lineNumber;
        if (line.trimmed().isEmpty())
            continue;
        auto bad = [&](const QString& reason) {
            return DataError(DataError::Kind::Convert,
                             QStringLiteral("%1, ligne %2 : %3. Rien n'a été importé.")
                                 .arg(fileName)
                                 .arg(lineNumber)
                                 .arg(reason),
                             QStringLiteral("csv line %1").arg(lineNumber), "EConvertError");
        };
        if (!splitCsv(line, fields))
            throw bad(QStringLiteral("guillemet non fermé"));
        if (!headerSeen) {
            headerSeen = true;
            QStringList names;
            for (const QString& f : fields)
                names.append(f.trimmed());
            if (names.join(QLatin1Char(',')).compare(movementCsvHeader(), Qt::CaseInsensitive) != 0)
                throw bad(QStringLiteral("l'en-tête attendu est « Chp,Art,Type,Montant »"));
            continue;
        }
        if (fields.size() != 4)
            throw bad(QStringLiteral("4 valeurs attendues, %1 trouvées").arg(fields.size()));
        ParadoxRowChange row(table.fields().size());  // other columns stay blank
        for (int i = 0; i < 3; ++i) {
            const QString& value = fields[i];
            // Widths are counted in the table's characters by the table itself.
            const QVariant stored = value.isEmpty() ? QVariant() : QVariant(value);
            try {
                table.checkValue(columns[std::size_t(i)], stored);
            } catch (const DataError& error) {
                throw bad(error.message());
            }
            row[std::size_t(columns[std::size_t(i)])] = stored;
        }
        const QString amountText = fields[3].trimmed();
        QVariant amount;
        if (!amountText.isEmpty()) {
            const std::optional<double> parsed = parseFloat(amountText, kFullStop);
            if (!parsed)
                throw bad(QStringLiteral("« %1 » n'est pas un montant").arg(fields[3]));
            amount = *parsed;
        }
        try {
            table.checkValue(columns[3], amount);
        } catch (const DataError& error) {
            throw bad(error.message());
        }
        row[std::size_t(columns[3])] = amount;
        rows.push_back(std::move(row));
    }
    if (!headerSeen)
        throw DataError(DataError::Kind::Convert,
                        QStringLiteral("%1 : fichier vide, l'en-tête « Chp,Art,Type,Montant » "
                                       "manque. Rien n'a été importé.")
                            .arg(fileName),
                        QStringLiteral("no header"), "EConvertError");
    return rows;
}

}  // namespace etb::data

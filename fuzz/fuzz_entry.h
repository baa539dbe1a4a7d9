// The functions the fuzz targets feed, shared with the data tests that replay the inputs
// which once found a fault (tests/data/regressions/<target>/). Each takes raw bytes and
// either returns or throws DataError; anything else (a crash, a sanitizer report, another
// exception) is a fault.
#pragma once

#include "data/data_error.h"
#include "data/movement_csv.h"
#include "data/number_text.h"
#include "data/paradox_table.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace etb::fuzz {

// Writes the bytes to filePath, opens it for reading and decodes every value of every row.
inline void readTableFile(const QString& filePath, const std::uint8_t* data, std::size_t size) {
    {
        QFile::remove(filePath + QStringLiteral("-journal"));
        QFile file(filePath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const auto table = data::ParadoxTable::open(filePath, data::ParadoxTable::Access::Read);
    const int fieldCount = int(table->fields().size());
    for (qint64 r = 0; r < table->rowCount(); ++r) {
        for (int f = 0; f < fieldCount; ++f)
            (void)table->value(r, f).toString();
        (void)table->row(r);
    }
    (void)table->warnings();

    // The row cursor reads every value exactly as value() does.
    auto same = [](const QVariant& a, const QVariant& b) {
        if (a.typeId() == QMetaType::Double && b.typeId() == QMetaType::Double &&
            std::isnan(a.toDouble()) && std::isnan(b.toDouble()))
            return true;
        return a == b;
    };
    for (data::ParadoxRowCursor cursor(*table); !cursor.atEnd(); cursor.next()) {
        for (int f = 0; f < fieldCount; ++f) {
            const QVariant expected = table->value(cursor.row(), f);
            if (!same(cursor.value(f), expected))
                std::abort();
            const data::ParadoxType type = table->fields()[std::size_t(f)].type;
            if (type == data::ParadoxType::Alpha) {
                if (cursor.text(f) != expected.toString())
                    std::abort();
            } else if (type == data::ParadoxType::Number || type == data::ParadoxType::Currency) {
                const std::optional<double> number = cursor.number(f);
                if (number.has_value() != expected.isValid() ||
                    (number && !same(QVariant(*number), expected)))
                    std::abort();
            }
        }
    }
}

// Parses and checks the bytes as a movement CSV file against a movement table.
inline void readCsv(const std::uint8_t* data, std::size_t size, const data::ParadoxTable& table) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto rows = data::readMovementCsv(text, QStringLiteral("fuzz.csv"), table);
    for (const auto& row : rows) {
        if (row.size() != table.fields().size())
            std::abort();
    }
}

// Parses the text as an amount with both separator pairs; what parses must survive the
// edit text round trip: formatEdit(x) parses back to a value that displays the same.
inline void parseAmount(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const data::NumberSeparators pairs[] = {{QLatin1Char('.'), QLatin1Char(',')},
                                            {QLatin1Char(','), QChar(0x00A0)}};
    for (const data::NumberSeparators& separators : pairs) {
        const std::optional<double> value = data::parseFloat(text, separators);
        if (!value)
            continue;
        if (!std::isfinite(*value))
            std::abort();
        const QString display = data::formatDisplay(*value, separators);
        (void)data::formatGeneral(*value, separators);
        const QString edit = data::formatEdit(*value, separators);
        const std::optional<double> again = data::parseFloat(edit, separators);
        if (!again || data::formatDisplay(*again, separators) != display) {
            std::fprintf(stderr, "round trip: '%s' -> edit '%s' -> display '%s' vs '%s'\n",
                         text.toUtf8().constData(), edit.toUtf8().constData(),
                         again ? data::formatDisplay(*again, separators).toUtf8().constData() : "-",
                         display.toUtf8().constData());
            std::abort();
        }
    }
}

}  // namespace etb::fuzz

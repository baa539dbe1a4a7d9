// Decoding and encoding of single field values (integer, double, date, BCD and text rules
// are described in paradox_format.h).
#include "data/paradox_codec.h"

#include "data/data_error.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QTime>

#include <cmath>

namespace etb::data::px {
namespace {

// QDate's Julian day of 1 January 0001 is 1721426; the table counts that day as 1.
constexpr qint64 kJulianDayOfDayZero = 1721425;
constexpr qint64 kMsPerDay = 86400000;

bool isBlank(Bytes record, std::size_t off, std::size_t width) {
    checkRange(record.size(), off, width);
    for (std::size_t i = 0; i < width; ++i) {
        if (record[off + i] != 0)
            return false;
    }
    return true;
}

bool isNumeric(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Double:
        case QMetaType::Float:
            return true;
        default:
            return false;
    }
}

QVariant decodeBcd(Bytes record, std::size_t off) {
    checkRange(record.size(), off, 17);
    const unsigned lead = record[off];
    if (lead == 0)
        return {};
    const bool negative = (lead & 0x80) == 0;
    const int decimals = qMin<int>(lead & 0x3F, 32);
    QByteArray text;
    text.reserve(40);
    if (negative)
        text.append('-');
    int significant = 0;
    for (int digit = 0; digit < 32; ++digit) {
        unsigned byte = record[off + 1 + std::size_t(digit / 2)];
        if (negative)
            byte = ~byte & 0xFF;
        unsigned nibble = digit % 2 == 0 ? byte >> 4 : byte & 0x0F;
        if (digit == 32 - decimals)
            text.append('.');
        // Digits past double precision hold junk in engine-written files.
        if (nibble > 9 || significant >= 17)
            nibble = 0;
        if (nibble != 0 || significant > 0)
            ++significant;
        text.append(char('0' + nibble));
    }
    return text.toDouble();
}

[[noreturn]] void refuse(const ParadoxField& field, const QString& tablePath,
                         const QString& reason) {
    throw DataError(
        DataError::Kind::Convert,
        QStringLiteral("Valeur refusée pour le champ « %1 » de la table « %2 » : %3.")
            .arg(field.name, QDir::toNativeSeparators(tablePath), reason),
        QStringLiteral("field type %1, size %2").arg(typeName(field.type)).arg(field.size),
        "EConvertError");
}

[[noreturn]] void wrongType(const ParadoxField& field, const QString& tablePath,
                            const QVariant& value) {
    refuse(field, tablePath,
           QStringLiteral("une valeur de type %1 était attendue, pas %2")
               .arg(typeName(field.type),
                    QString::fromLatin1(value.typeName() ? value.typeName() : "?")));
}

double finiteNumber(const ParadoxField& field, const QVariant& value, const QString& tablePath) {
    if (!isNumeric(value))
        wrongType(field, tablePath, value);
    const double number = value.toDouble();
    if (!std::isfinite(number))
        refuse(field, tablePath, QStringLiteral("le nombre n'est pas fini"));
    return number;
}

qint64 integerInRange(const ParadoxField& field, const QVariant& value, const QString& tablePath,
                      qint64 limit) {
    const double number = finiteNumber(field, value, tablePath);
    if (std::trunc(number) != number)
        refuse(field, tablePath, QStringLiteral("un nombre entier est attendu"));
    if (number < double(-limit) || number > double(limit))
        refuse(field, tablePath,
               QStringLiteral("le nombre doit être compris entre %1 et %2").arg(-limit).arg(limit));
    return static_cast<qint64>(number);
}

void encodeBcd(const ParadoxField& field, double number, MutableBytes record, std::size_t off,
               const QString& tablePath) {
    const int decimals = qBound(0, field.size, 32);
    const QString text = QString::number(std::fabs(number), 'f', decimals);
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const QString integerPart = point < 0 ? text : text.left(point);
    const QString fraction = point < 0 ? QString() : text.mid(point + 1);
    if (integerPart.size() > 32 - decimals)
        refuse(field, tablePath, QStringLiteral("le nombre a trop de chiffres"));
    unsigned char digits[32] = {};
    const QString all = integerPart + fraction;
    const qsizetype start = 32 - all.size();
    bool zero = true;
    for (qsizetype i = 0; i < all.size(); ++i) {
        digits[start + i] = static_cast<unsigned char>(all[i].unicode() - u'0');
        zero = zero && digits[start + i] == 0;
    }
    const bool negative = number < 0 && !zero;
    checkRange(record.size(), off, 17);
    record[off] = static_cast<unsigned char>((negative ? 0x00 : 0x80) | 0x40 | decimals);
    for (int i = 0; i < 16; ++i) {
        unsigned byte = unsigned(digits[2 * i]) << 4 | digits[2 * i + 1];
        if (negative)
            byte = ~byte & 0xFF;
        record[off + 1 + std::size_t(i)] = static_cast<unsigned char>(byte);
    }
}

}  // namespace

int storedSize(ParadoxType type, int sizeByte) {
    switch (type) {
        case ParadoxType::Alpha:
        case ParadoxType::Bytes:
            return sizeByte >= 1 && sizeByte <= 255 ? sizeByte : -1;
        case ParadoxType::Date:
        case ParadoxType::Long:
        case ParadoxType::Time:
        case ParadoxType::AutoIncrement:
            return sizeByte == 4 ? 4 : -1;
        case ParadoxType::Short:
            return sizeByte == 2 ? 2 : -1;
        case ParadoxType::Currency:
        case ParadoxType::Number:
        case ParadoxType::Timestamp:
            return sizeByte == 8 ? 8 : -1;
        case ParadoxType::Logical:
            return sizeByte == 1 ? 1 : -1;
        case ParadoxType::Memo:
        case ParadoxType::Blob:
        case ParadoxType::FormattedMemo:
        case ParadoxType::Ole:
        case ParadoxType::Graphic:
            return sizeByte >= 10 && sizeByte <= 250 ? sizeByte : -1;
        case ParadoxType::Bcd:
            return sizeByte >= 0 && sizeByte <= 32 ? 17 : -1;
    }
    return -1;
}

bool isBlob(ParadoxType type) {
    switch (type) {
        case ParadoxType::Memo:
        case ParadoxType::Blob:
        case ParadoxType::FormattedMemo:
        case ParadoxType::Ole:
        case ParadoxType::Graphic:
            return true;
        default:
            return false;
    }
}

QString typeName(ParadoxType type) {
    switch (type) {
        case ParadoxType::Alpha:
            return QStringLiteral("Alpha");
        case ParadoxType::Date:
            return QStringLiteral("Date");
        case ParadoxType::Short:
            return QStringLiteral("Short");
        case ParadoxType::Long:
            return QStringLiteral("Long");
        case ParadoxType::Currency:
            return QStringLiteral("Currency");
        case ParadoxType::Number:
            return QStringLiteral("Number");
        case ParadoxType::Logical:
            return QStringLiteral("Logical");
        case ParadoxType::Memo:
            return QStringLiteral("Memo");
        case ParadoxType::Blob:
            return QStringLiteral("Binary");
        case ParadoxType::FormattedMemo:
            return QStringLiteral("FmtMemo");
        case ParadoxType::Ole:
            return QStringLiteral("OLE");
        case ParadoxType::Graphic:
            return QStringLiteral("Graphic");
        case ParadoxType::Time:
            return QStringLiteral("Time");
        case ParadoxType::Timestamp:
            return QStringLiteral("Timestamp");
        case ParadoxType::AutoIncrement:
            return QStringLiteral("Autoinc");
        case ParadoxType::Bcd:
            return QStringLiteral("BCD");
        case ParadoxType::Bytes:
            return QStringLiteral("Bytes");
    }
    return QStringLiteral("?");
}

QVariant decodeValue(const ParadoxField& field, Bytes record, std::size_t off,
                     const ParadoxCodePage& codePage) {
    switch (field.type) {
        case ParadoxType::Alpha: {
            checkRange(record.size(), off, std::size_t(field.size));
            if (record[off] == 0)
                return {};
            return codePage.decode(reinterpret_cast<const char*>(record.data() + off), field.size);
        }
        case ParadoxType::Number:
        case ParadoxType::Currency:
            if (const auto number = get_px_double(record, off))
                return *number;
            return {};
        case ParadoxType::Short:
            if (const auto number = get_px_int(record, off, 2))
                return int(*number);
            return {};
        case ParadoxType::Long:
        case ParadoxType::AutoIncrement:
            if (const auto number = get_px_int(record, off, 4))
                return int(*number);
            return {};
        case ParadoxType::Logical: {
            const unsigned byte = get_u8(record, off);
            if (byte == 0)
                return {};
            return byte != 0x80;
        }
        case ParadoxType::Date:
            if (const auto day = get_px_int(record, off, 4)) {
                const QDate date = QDate::fromJulianDay(kJulianDayOfDayZero + *day);
                return date.isValid() ? QVariant(date) : QVariant();
            }
            return {};
        case ParadoxType::Time:
            if (const auto ms = get_px_int(record, off, 4)) {
                if (*ms < 0 || *ms >= kMsPerDay)
                    return {};
                return QTime::fromMSecsSinceStartOfDay(int(*ms));
            }
            return {};
        case ParadoxType::Timestamp:
            if (const auto stamp = get_px_double(record, off)) {
                if (!std::isfinite(*stamp) || std::fabs(*stamp) > 1e18)
                    return {};
                const qint64 ms = static_cast<qint64>(std::floor(*stamp));
                const qint64 day = ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay);
                const QDate date = QDate::fromJulianDay(kJulianDayOfDayZero + day);
                if (!date.isValid())
                    return {};
                return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms - day * kMsPerDay)));
            }
            return {};
        case ParadoxType::Bcd:
            return decodeBcd(record, off);
        case ParadoxType::Bytes:
            if (isBlank(record, off, std::size_t(field.size)))
                return {};
            return QByteArray(reinterpret_cast<const char*>(record.data() + off), field.size);
        case ParadoxType::Memo:
        case ParadoxType::Blob:
        case ParadoxType::FormattedMemo:
        case ParadoxType::Ole:
        case ParadoxType::Graphic:
            return {};
    }
    return {};
}

void encodeValue(const ParadoxField& field, const QVariant& value, MutableBytes record,
                 std::size_t off, const ParadoxCodePage& codePage, const QString& tablePath) {
    const int width = storedSize(field.type, field.size);
    checkRange(record.size(), off, std::size_t(qMax(width, 0)));
    const bool blank = !value.isValid() || value.isNull();
    if (isBlob(field.type)) {
        if (!blank)
            refuse(field, tablePath,
                   QStringLiteral("les champs de ce type ne peuvent pas être modifiés"));
        std::memset(record.data() + off, 0, std::size_t(width));
        return;
    }
    if (blank) {
        std::memset(record.data() + off, 0, std::size_t(width));
        return;
    }
    switch (field.type) {
        case ParadoxType::Alpha: {
            if (value.typeId() != QMetaType::QString)
                wrongType(field, tablePath, value);
            const QString text = value.toString();
            QByteArray bytes;
            const qsizetype bad = codePage.encode(text, bytes);
            if (bad >= 0) {
                refuse(field, tablePath,
                       QStringLiteral(
                           "le caractère « %1 » n'existe pas dans la page de code %2 de la table")
                           .arg(text.mid(bad, 1))
                           .arg(codePage.number()));
            }
            if (bytes.size() > width)
                refuse(
                    field, tablePath,
                    QStringLiteral("le texte « %1 » dépasse %2 caractères").arg(text).arg(width));
            std::memset(record.data() + off, 0, std::size_t(width));
            std::memcpy(record.data() + off, bytes.constData(), std::size_t(bytes.size()));
            return;
        }
        case ParadoxType::Number:
        case ParadoxType::Currency:
            put_px_double(record, off, finiteNumber(field, value, tablePath));
            return;
        case ParadoxType::Short:
            put_px_int(record, off, 2, integerInRange(field, value, tablePath, 32767));
            return;
        case ParadoxType::Long:
        case ParadoxType::AutoIncrement:
            put_px_int(record, off, 4, integerInRange(field, value, tablePath, 2147483647));
            return;
        case ParadoxType::Logical:
            if (value.typeId() != QMetaType::Bool)
                wrongType(field, tablePath, value);
            put_u8(record, off, value.toBool() ? 0x81 : 0x80);
            return;
        case ParadoxType::Date: {
            if (value.typeId() != QMetaType::QDate)
                wrongType(field, tablePath, value);
            const qint64 day = value.toDate().toJulianDay() - kJulianDayOfDayZero;
            if (day < 1 || day > 2147483647)
                refuse(field, tablePath, QStringLiteral("la date est hors des limites"));
            put_px_int(record, off, 4, day);
            return;
        }
        case ParadoxType::Time: {
            if (value.typeId() != QMetaType::QTime)
                wrongType(field, tablePath, value);
            put_px_int(record, off, 4, value.toTime().msecsSinceStartOfDay());
            return;
        }
        case ParadoxType::Timestamp: {
            if (value.typeId() != QMetaType::QDateTime)
                wrongType(field, tablePath, value);
            const QDateTime stamp = value.toDateTime();
            const qint64 day = stamp.date().toJulianDay() - kJulianDayOfDayZero;
            if (day < 1)
                refuse(field, tablePath, QStringLiteral("la date est hors des limites"));
            put_px_double(record, off,
                          double(day) * double(kMsPerDay) + stamp.time().msecsSinceStartOfDay());
            return;
        }
        case ParadoxType::Bcd:
            encodeBcd(field, finiteNumber(field, value, tablePath), record, off, tablePath);
            return;
        case ParadoxType::Bytes: {
            if (value.typeId() != QMetaType::QByteArray)
                wrongType(field, tablePath, value);
            const QByteArray bytes = value.toByteArray();
            if (bytes.size() > width)
                refuse(field, tablePath, QStringLiteral("plus de %1 octets").arg(width));
            std::memset(record.data() + off, 0, std::size_t(width));
            std::memcpy(record.data() + off, bytes.constData(), std::size_t(bytes.size()));
            return;
        }
        default:
            break;
    }
}

}  // namespace etb::data::px

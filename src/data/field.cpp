// Field objects: reading the current row's value, formatting it and parsing edited texts.
#include "field.h"

#include "data_error.h"
#include "data_set.h"
#include "number_text.h"

#include <cmath>
#include <limits>

namespace etb::data {

QString fieldTypeName(FieldType type) {
    switch (type) {
        case FieldType::Unknown:
            return QStringLiteral("Unknown");
        case FieldType::String:
            return QStringLiteral("String");
        case FieldType::SmallInt:
            return QStringLiteral("SmallInt");
        case FieldType::Integer:
            return QStringLiteral("Integer");
        case FieldType::Word:
            return QStringLiteral("Word");
        case FieldType::Boolean:
            return QStringLiteral("Boolean");
        case FieldType::Float:
            return QStringLiteral("Float");
        case FieldType::Currency:
            return QStringLiteral("Currency");
        case FieldType::BCD:
            return QStringLiteral("BCD");
        case FieldType::Date:
            return QStringLiteral("Date");
        case FieldType::Time:
            return QStringLiteral("Time");
        case FieldType::DateTime:
            return QStringLiteral("DateTime");
        case FieldType::Bytes:
            return QStringLiteral("Bytes");
        case FieldType::AutoInc:
            return QStringLiteral("AutoInc");
        case FieldType::Memo:
            return QStringLiteral("Memo");
        case FieldType::Blob:
            return QStringLiteral("Blob");
        case FieldType::FmtMemo:
            return QStringLiteral("FmtMemo");
        case FieldType::ParadoxOle:
            return QStringLiteral("ParadoxOle");
        case FieldType::Graphic:
            return QStringLiteral("Graphic");
    }
    return QStringLiteral("Unknown");
}

namespace {

bool isBlank(const QVariant& value) {
    return !value.isValid() || value.isNull();
}

const QString kAmountFormat = QStringLiteral("##,##0.00");

}  // namespace

TField::TField(TDataSet* dataSet, QString fieldName, FieldType dataType, int size)
    : m_dataSet(dataSet), m_fieldName(std::move(fieldName)), m_dataType(dataType), m_size(size) {}

TField::~TField() = default;

QVariant TField::value() const {
    if (!m_dataSet || !m_dataSet->active())
        return {};
    return m_dataSet->currentValue(m_index);
}

bool TField::isNull() const {
    return isBlank(value());
}

QString TField::asString() const {
    const QVariant v = value();
    if (isBlank(v))
        return {};
    if (m_dataType == FieldType::String)
        return v.toString();
    const auto* floatField = dynamic_cast<const TFloatField*>(this);
    return formatGeneral(asFloat(),
                         floatField ? floatField->separators() : NumberSeparators::system());
}

double TField::asFloat() const {
    const QVariant v = value();
    if (isBlank(v))
        return 0.0;
    if (v.typeId() == QMetaType::QString) {
        const auto parsed = parseFloat(v.toString(), NumberSeparators::system());
        return parsed.value_or(0.0);
    }
    return v.toDouble();
}

qint64 TField::asInteger() const {
    const double v = asFloat();
    if (!std::isfinite(v))
        return 0;
    // nearbyint rounds in the default mode: to the nearest, ties to even (0.5 -> 0, 1.5 -> 2).
    const double rounded = std::nearbyint(v);
    if (rounded >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    if (rounded <= -9.2e18)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(rounded);
}

QString TField::displayText() const {
    return displayTextOf(value());
}

QString TField::text() const {
    return editTextOf(value());
}

void TField::setValue(const QVariant& value) {
    if (!m_dataSet)
        return;
    // Values are kept in the column's own kind: texts for string fields, doubles otherwise.
    if (isBlank(value)) {
        m_dataSet->setCurrentValue(m_index, QVariant());
    } else if (m_dataType == FieldType::String) {
        const QString text = value.toString();
        if (m_size > 0 && text.size() > m_size)
            setText(text);  // throws the too-long error
        m_dataSet->setCurrentValue(m_index, text.isEmpty() ? QVariant() : QVariant(text));
    } else if (value.typeId() == QMetaType::QString) {
        setText(value.toString());
    } else {
        m_dataSet->setCurrentValue(m_index, value.toDouble());
    }
}

TStringField::TStringField(TDataSet* dataSet, QString fieldName, int size)
    : TField(dataSet, std::move(fieldName), FieldType::String, size) {}

void TStringField::setText(const QString& text) {
    if (size() > 0 && text.size() > size())
        throw DataError(DataError::Kind::Convert,
                        QStringLiteral("« %1 » est trop long pour le champ '%2' : %3 caractères "
                                       "au plus")
                            .arg(text, fieldName())
                            .arg(size()),
                        {}, "EConvertError");
    // An empty text leaves the field blank, as a cleared cell does.
    setValue(text.isEmpty() ? QVariant() : QVariant(text));
}

QString TStringField::displayTextOf(const QVariant& value) const {
    return isBlank(value) ? QString() : value.toString();
}

QString TStringField::editTextOf(const QVariant& value) const {
    return displayTextOf(value);
}

TFloatField::TFloatField(TDataSet* dataSet, QString fieldName, FieldType dataType)
    : TField(dataSet, std::move(fieldName), dataType, 0) {}

NumberSeparators TFloatField::separators() const {
    return m_separators ? *m_separators : NumberSeparators::system();
}

void TFloatField::setText(const QString& text) {
    if (text.trimmed().isEmpty()) {
        setValue(QVariant());
        return;
    }
    const auto parsed = parseFloat(text, separators());
    if (!parsed)
        throw DataError(
            DataError::Kind::Convert,
            QStringLiteral("'%1' n'est pas une valeur en virgule flottante correcte pour le champ "
                           "'%2'")
                .arg(text, fieldName()),
            {}, "EConvertError");
    setValue(*parsed);
}

QString TFloatField::displayTextOf(const QVariant& value) const {
    if (isBlank(value))
        return {};
    const double v = value.toDouble();
    if (displayFormat() == kAmountFormat)
        return formatDisplay(v, separators());
    return formatGeneral(v, separators());
}

QString TFloatField::editTextOf(const QVariant& value) const {
    if (isBlank(value))
        return {};
    const double v = value.toDouble();
    if (displayFormat() == kAmountFormat)
        return formatEdit(v, separators());
    return formatGeneral(v, separators());
}

}  // namespace etb::data

// Field objects: a data set's typed view of one column, bound to it by name when the data
// set opens. TStringField and TFloatField are the two kinds the program uses.
#pragma once

#include "number_text.h"

#include <QString>
#include <QVariant>
#include <Qt>
#include <optional>

namespace etb::data {

class TDataSet;

// The data layer's names for column types, used in type-mismatch errors.
// clang-format off
enum class FieldType {
    Unknown, String, SmallInt, Integer, Word, Boolean, Float, Currency, BCD, Date, Time,
    DateTime, Bytes, AutoInc, Memo, Blob, FmtMemo, ParadoxOle, Graphic,
};
// clang-format on
QString fieldTypeName(FieldType type);  // "String", "Float", ...

class TField {
public:
    virtual ~TField();
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    const QString& fieldName() const { return m_fieldName; }
    FieldType dataType() const { return m_dataType; }
    TDataSet* dataSet() const { return m_dataSet; }
    int index() const { return m_index; }  // position among the data set's field objects

    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment) { m_alignment = alignment; }
    const QString& displayFormat() const { return m_displayFormat; }
    void setDisplayFormat(const QString& format) { m_displayFormat = format; }
    int size() const { return m_size; }  // characters for a string field, 0 otherwise

    // The current row's value (the edit buffer while the data set edits or inserts).
    QVariant value() const;
    bool isNull() const;
    QString asString() const;
    double asFloat() const;       // blank reads as 0
    qint64 asInteger() const;     // floats round to the nearest integer, ties to even
    QString displayText() const;  // the display format applied to the current value
    QString text() const;         // the text a cell editor starts from

    // Stores a value into the current row's edit buffer; the data set must be in edit or
    // insert state. setText parses an edited text and throws DataError (Convert) on a bad one.
    void setValue(const QVariant& value);
    virtual void setText(const QString& text) = 0;

    // Formatting of any value of this field, for views that read rows other than the current.
    virtual QString displayTextOf(const QVariant& value) const = 0;
    virtual QString editTextOf(const QVariant& value) const = 0;

protected:
    TField(TDataSet* dataSet, QString fieldName, FieldType dataType, int size);

private:
    friend class TDataSet;
    TDataSet* m_dataSet;
    QString m_fieldName;
    FieldType m_dataType;
    int m_size;
    int m_index = -1;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    QString m_displayFormat;
};

class TStringField : public TField {
public:
    TStringField(TDataSet* dataSet, QString fieldName, int size);
    // Refuses (DataError Convert) a text longer than size() characters.
    void setText(const QString& text) override;
    QString displayTextOf(const QVariant& value) const override;
    QString editTextOf(const QVariant& value) const override;
};

class TFloatField : public TField {
public:
    TFloatField(TDataSet* dataSet, QString fieldName, FieldType dataType = FieldType::Float);
    // Empty text clears the value; otherwise "'%s' n'est pas une valeur en virgule flottante
    // correcte pour le champ '%s'" on a text that is not a plain number.
    void setText(const QString& text) override;
    // With the display format "##,##0.00" or, without one, the general format.
    QString displayTextOf(const QVariant& value) const override;
    QString editTextOf(const QVariant& value) const override;

    // The separators of texts: the user's locale unless set.
    NumberSeparators separators() const;
    void setSeparators(const NumberSeparators& separators) { m_separators = separators; }

private:
    std::optional<NumberSeparators> m_separators;
};

}  // namespace etb::data

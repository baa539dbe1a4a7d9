// Number texts: the grid's display format "##,##0.00", its edit text, the general format
// of the reports (15 significant digits) and the parsing of an edited amount.
// Pure functions of the value and the separators; NumberSeparators::system() reads the
// user's locale at run time.
#pragma once

#include <QChar>
#include <QString>
#include <optional>

namespace etb::data {

struct NumberSeparators {
    QChar decimal = QLatin1Char('.');
    QChar thousands = QLatin1Char(',');

    static NumberSeparators system();  // from QLocale::system()
};

// "##,##0.00": grouped integer part, at least one integer digit, exactly two decimals,
// rounded half away from zero on the shortest decimal form of the value (1,005 -> 1,01).
QString formatDisplay(double value, const NumberSeparators& separators);

// The text the amount's cell editor starts from: the display text without thousands
// separators (1234,50 with a comma locale), so that it parses back.
QString formatEdit(double value, const NumberSeparators& separators);

// The general number format with 15 significant digits: no thousands separators, no
// trailing zeros, no decimal separator for a whole number (660400, 35400,5). Values that
// need more than 15 integer digits or are below 0,00001 take the exponent form 1,5E+20,
// 1E-06.
QString formatGeneral(double value, const NumberSeparators& separators);

// Parses a plain number written with the locale's decimal separator and no thousands
// separators. Returns std::nullopt when the text is not such a number.
std::optional<double> parseFloat(const QString& text, const NumberSeparators& separators);

}  // namespace etb::data

// Number texts of the grid and the reports, written digit by digit from the shortest decimal
// form of the value so that what the user typed (1,005) rounds as the user expects.
//
// Rounding to two decimals is half away from zero on that decimal form: 0,125 -> 0,13,
// -2,675 -> -2,68. A value that rounds to zero shows without a minus sign (-0,001 -> 0,00).
//
// The general format keeps 15 significant digits. It switches to the exponent form when the
// rounded value needs more than 15 integer digits or is smaller than 0,00001 (but not zero):
// mantissa without trailing zeros, "E", the exponent's sign and at least two digits
// (1E+20, 1,5E-06, -1,23456789012346E+15).
#include "number_text.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <string>

namespace etb::data {

namespace {

// A finite value as sign, significant digits (no leading zeros, "0" for zero) and the
// decimal exponent of the first digit: 1234.5 -> "12345", 3.
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

Decimal toDecimal(double value, int significantDigits = -1) {
    char buffer[64];
    std::to_chars_result result{};
    if (significantDigits < 0)
        result =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    else
        result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                               significantDigits - 1);
    const std::string text(buffer, result.ptr);
    Decimal decimal;
    std::size_t pos = 0;
    if (text[pos] == '-') {
        decimal.negative = true;
        ++pos;
    }
    const std::size_t e = text.find('e');
    for (std::size_t i = pos; i < e; ++i) {
        if (text[i] != '.')
            decimal.digits.push_back(text[i]);
    }
    decimal.exponent = std::stoi(text.substr(e + 1));
    while (decimal.digits.size() > 1 && decimal.digits.back() == '0')
        decimal.digits.pop_back();
    if (decimal.digits == "0")
        decimal.exponent = 0;
    return decimal;
}

QString nonFinite(double value) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

// Integer and two-decimal digit strings of |value| rounded half away from zero.
void fixedTwoDecimals(double value, std::string& integerDigits, std::string& decimals,
                      bool& negative) {
    const Decimal d = toDecimal(value);
    negative = d.negative;
    // Digits as a fixed-point number with exactly two decimals plus one guard digit.
    const int integerCount = d.exponent + 1;  // may be <= 0
    std::string fixed;                        // all digits down to 10^-3
    for (int power = std::max(integerCount - 1, 0); power >= -3; --power) {
        const int index = integerCount - 1 - power;  // position in d.digits
        fixed.push_back(index >= 0 && index < static_cast<int>(d.digits.size()) ? d.digits[index]
                                                                                : '0');
    }
    // The guard digit decides; anything after it only matters at an exact ...5 tie, which
    // rounds away from zero anyway.
    const char guard = fixed.back();
    fixed.pop_back();
    if (guard >= '5') {
        int i = static_cast<int>(fixed.size()) - 1;
        while (i >= 0 && fixed[i] == '9') {
            fixed[i] = '0';
            --i;
        }
        if (i < 0)
            fixed.insert(fixed.begin(), '1');
        else
            ++fixed[i];
    }
    integerDigits = fixed.substr(0, fixed.size() - 2);
    decimals = fixed.substr(fixed.size() - 2);
    const std::size_t firstNonZero = integerDigits.find_first_not_of('0');
    integerDigits =
        firstNonZero == std::string::npos ? std::string("0") : integerDigits.substr(firstNonZero);
    if (integerDigits == "0" && decimals == "00")
        negative = false;
}

QString twoDecimals(double value, const NumberSeparators& separators, bool grouped) {
    if (!std::isfinite(value))
        return nonFinite(value);
    std::string integerDigits, decimals;
    bool negative = false;
    fixedTwoDecimals(value, integerDigits, decimals, negative);
    QString text;
    text.reserve(static_cast<int>(integerDigits.size() + integerDigits.size() / 3 + 4));
    if (negative)
        text.append(QLatin1Char('-'));
    const int count = static_cast<int>(integerDigits.size());
    for (int i = 0; i < count; ++i) {
        if (grouped && i > 0 && (count - i) % 3 == 0)
            text.append(separators.thousands);
        text.append(QLatin1Char(integerDigits[i]));
    }
    text.append(separators.decimal);
    text.append(QLatin1String(decimals.data(), 2));
    return text;
}

}  // namespace

NumberSeparators NumberSeparators::system() {
    static const NumberSeparators cached = [] {
        const QLocale locale = QLocale::system();
        NumberSeparators separators;
        const QString decimalText = locale.decimalPoint();
        const QString groupText = locale.groupSeparator();
        if (decimalText.size() == 1)
            separators.decimal = decimalText.at(0);
        if (groupText.size() == 1)
            separators.thousands = groupText.at(0);
        if (separators.thousands == separators.decimal)
            separators.thousands =
                separators.decimal == QLatin1Char(',') ? QLatin1Char('.') : QLatin1Char(',');
        return separators;
    }();
    return cached;
}

QString formatDisplay(double value, const NumberSeparators& separators) {
    return twoDecimals(value, separators, true);
}

QString formatEdit(double value, const NumberSeparators& separators) {
    return twoDecimals(value, separators, false);
}

QString formatGeneral(double value, const NumberSeparators& separators) {
    if (!std::isfinite(value))
        return nonFinite(value);
    const Decimal d = toDecimal(value, 15);
    QString text;
    if (d.negative && d.digits != "0")
        text.append(QLatin1Char('-'));
    const int digitCount = static_cast<int>(d.digits.size());
    const bool isZero = d.digits == "0";
    if (!isZero && (d.exponent >= 15 || d.exponent < -5)) {
        text.append(QLatin1Char(d.digits[0]));
        if (digitCount > 1) {
            text.append(separators.decimal);
            text.append(QLatin1String(d.digits.data() + 1, digitCount - 1));
        }
        text.append(QLatin1Char('E'));
        text.append(d.exponent < 0 ? QLatin1Char('-') : QLatin1Char('+'));
        const int magnitude = std::abs(d.exponent);
        if (magnitude < 10)
            text.append(QLatin1Char('0'));
        text.append(QString::number(magnitude));
        return text;
    }
    if (d.exponent < 0) {
        text.append(QLatin1Char('0'));
        text.append(separators.decimal);
        text.append(QString(-d.exponent - 1, QLatin1Char('0')));
        text.append(QLatin1String(d.digits.data(), digitCount));
        return text;
    }
    const int integerCount = d.exponent + 1;
    for (int i = 0; i < integerCount; ++i)
        text.append(i < digitCount ? QLatin1Char(d.digits[i]) : QLatin1Char('0'));
    if (digitCount > integerCount) {
        text.append(separators.decimal);
        text.append(QLatin1String(d.digits.data() + integerCount, digitCount - integerCount));
    }
    return text;
}

std::optional<double> parseFloat(const QString& text, const NumberSeparators& separators) {
    const QString trimmed = text.trimmed();
    std::string ascii;
    ascii.reserve(trimmed.size());
    int pos = 0;
    const int size = static_cast<int>(trimmed.size());
    bool negative = false;
    if (pos < size && (trimmed[pos] == QLatin1Char('+') || trimmed[pos] == QLatin1Char('-'))) {
        negative = trimmed[pos] == QLatin1Char('-');
        ++pos;
    }
    int mantissaDigits = 0;
    bool seenDecimal = false;
    for (; pos < size; ++pos) {
        const QChar c = trimmed[pos];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            ascii.push_back(static_cast<char>(c.unicode()));
            ++mantissaDigits;
        } else if (c == separators.decimal && !seenDecimal) {
            ascii.push_back('.');
            seenDecimal = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (pos < size && (trimmed[pos] == QLatin1Char('e') || trimmed[pos] == QLatin1Char('E'))) {
        ascii.push_back('e');
        ++pos;
        if (pos < size && (trimmed[pos] == QLatin1Char('+') || trimmed[pos] == QLatin1Char('-'))) {
            ascii.push_back(static_cast<char>(trimmed[pos].unicode()));
            ++pos;
        }
        int exponentDigits = 0;
        for (; pos < size && trimmed[pos] >= QLatin1Char('0') && trimmed[pos] <= QLatin1Char('9');
             ++pos) {
            ascii.push_back(static_cast<char>(trimmed[pos].unicode()));
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (pos != size)
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (error != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(value))
        return std::nullopt;
    return negative ? -value : value;
}

}  // namespace etb::data

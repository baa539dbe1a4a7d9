// Number texts: the grid's amount format, its edit text, the reports' general format and the
// parsing of typed amounts, each with both separator sets.
#include "data/number_text.h"
#include "print_qt.h"

#include <gtest/gtest.h>
#include <cmath>
#include <limits>

using namespace etb::data;

namespace {

const NumberSeparators kComma{QLatin1Char(','), QLatin1Char('.')};  // 1.234,50
const NumberSeparators kPoint{QLatin1Char('.'), QLatin1Char(',')};  // 1,234.50

struct FormatCase {
    double value;
    const char* comma;
    const char* point;
};

}  // namespace

TEST(NumberText, DisplayFormatGroupsAndKeepsTwoDecimals) {
    const FormatCase cases[] = {
        {1234.5, "1.234,50", "1,234.50"},
        {0.0, "0,00", "0.00"},
        {-0.0, "0,00", "0.00"},
        {-5.0, "-5,00", "-5.00"},
        {0.5, "0,50", "0.50"},
        {999.999, "1.000,00", "1,000.00"},
        {660400.0, "660.400,00", "660,400.00"},
        {-1234567.891, "-1.234.567,89", "-1,234,567.89"},
        {100.0, "100,00", "100.00"},
        {123456.0, "123.456,00", "123,456.00"},
        // Ties round half away from zero on the decimal value the user typed.
        {0.125, "0,13", "0.13"},
        {1.005, "1,01", "1.01"},
        {-2.675, "-2,68", "-2.68"},
        {0.004, "0,00", "0.00"},
        {-0.004, "0,00", "0.00"},  // no "-0,00"
        {1e15, "1.000.000.000.000.000,00", "1,000,000,000,000,000.00"},
        {1.5e20, "150.000.000.000.000.000.000,00", "150,000,000,000,000,000,000.00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatDisplay(c.value, kComma), QString::fromUtf8(c.comma)) << c.value;
        EXPECT_EQ(formatDisplay(c.value, kPoint), QString::fromUtf8(c.point)) << c.value;
    }
}

TEST(NumberText, EditTextHasNoThousandsSeparatorsAndParsesBack) {
    const FormatCase cases[] = {
        {1234.5, "1234,50", "1234.50"},
        {0.0, "0,00", "0.00"},
        {-5.0, "-5,00", "-5.00"},
        {1234567.125, "1234567,13", "1234567.13"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatEdit(c.value, kComma), QString::fromUtf8(c.comma)) << c.value;
        EXPECT_EQ(formatEdit(c.value, kPoint), QString::fromUtf8(c.point)) << c.value;
        EXPECT_TRUE(parseFloat(formatEdit(c.value, kComma), kComma).has_value());
        EXPECT_TRUE(parseFloat(formatEdit(c.value, kPoint), kPoint).has_value());
    }
}

TEST(NumberText, GeneralFormatKeepsFifteenDigits) {
    const FormatCase cases[] = {
        {660400.0, "660400", "660400"},
        {35400.5, "35400,5", "35400.5"},
        {0.0, "0", "0"},
        {-0.0, "0", "0"},
        {1.0, "1", "1"},
        {-5.25, "-5,25", "-5.25"},
        {0.1, "0,1", "0.1"},
        {0.1 + 0.2, "0,3", "0.3"},  // 15 digits hide the binary noise
        {1.0 / 3.0, "0,333333333333333", "0.333333333333333"},
        {123456789012345.0, "123456789012345", "123456789012345"},
        {0.00001, "0,00001", "0.00001"},
        {0.000012345, "0,000012345", "0.000012345"},
        {0.0000012345, "1,2345E-06", "1.2345E-06"},
        {1e15, "1E+15", "1E+15"},
        {-1234567890123456789.0, "-1,23456789012346E+18", "-1.23456789012346E+18"},
        {999999999999999.9, "1E+15", "1E+15"},  // rounds up to 16 integer digits
        {1e-300, "1E-300", "1E-300"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatGeneral(c.value, kComma), QString::fromUtf8(c.comma)) << c.value;
        EXPECT_EQ(formatGeneral(c.value, kPoint), QString::fromUtf8(c.point)) << c.value;
    }
}

TEST(NumberText, NonFiniteValuesHaveAText) {
    EXPECT_EQ(formatDisplay(std::numeric_limits<double>::infinity(), kComma),
              QStringLiteral("INF"));
    EXPECT_EQ(formatGeneral(-std::numeric_limits<double>::infinity(), kComma),
              QStringLiteral("-INF"));
    EXPECT_EQ(formatEdit(std::nan(""), kComma), QStringLiteral("NAN"));
}

TEST(NumberText, ParsesPlainNumbersWithTheLocaleDecimalSeparator) {
    struct Case {
        const char* text;
        const NumberSeparators* separators;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {"1234,5", &kComma, 1234.5},
        {"1234.5", &kPoint, 1234.5},
        {"  -12,25 ", &kComma, -12.25},
        {"+7", &kComma, 7.0},
        {"1,5E3", &kComma, 1500.0},
        {"2e-2", &kPoint, 0.02},
        {",5", &kComma, 0.5},
        {"5,", &kComma, 5.0},
        {"1.234,50", &kComma, std::nullopt},  // thousands separator refused
        {"1,234.50", &kPoint, std::nullopt},
        {"1234.5", &kComma, std::nullopt},  // the other decimal separator
        {"", &kComma, std::nullopt},
        {"-", &kComma, std::nullopt},
        {",", &kComma, std::nullopt},
        {"12a", &kComma, std::nullopt},
        {"1e", &kComma, std::nullopt},
        {"1,2,3", &kComma, std::nullopt},
        {"1 234", &kComma, std::nullopt},
        {"1e999", &kComma, std::nullopt},  // out of range
        {"--1", &kComma, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseFloat(QString::fromUtf8(c.text), *c.separators), c.expected) << c.text;
    }
}

TEST(NumberText, SystemSeparatorsDiffer) {
    const NumberSeparators system = NumberSeparators::system();
    EXPECT_NE(system.decimal, system.thousands);
}

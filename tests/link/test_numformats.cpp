// Packed BCD, value codes both ways, number texts and locale-dependent dates.
#include <gtest/gtest.h>

#include <QLocale>
#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "link/numFormats.h"

namespace zir {
namespace {

TEST(DecodeBcd, DigitsAboveNineAreNotRefused)
{
    const std::pair<std::uint8_t, int> cases[] = {{0x00, 0}, {0x59, 59}, {0x99, 99}, {0x1A, 20}, {0xFF, 165}};
    for (auto [byte, expected] : cases)
        EXPECT_EQ(DecodeBcd(byte), expected) << int(byte);
    EXPECT_TRUE(IsPackedBcd(0x59));
    EXPECT_FALSE(IsPackedBcd(0x1A));
    EXPECT_FALSE(IsPackedBcd(0xA0));
}

TEST(ValueCodeToText, KnownCodes)
{
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0x0000, "0"},      {0x03FF, "10.23"},  {0x007B, "1.23"},     {0xF496, "0.0015"},
        {0xF40A, "0.0001"}, {0xF032, "5E-5"},   {0x0064, "1"},        {0x0096, "1.5"},
        {0x0464, "10"},     {0xFDF4, "0.5"},    {0xEC64, "1E-5"},     {0xFC7B, "0.123"},
        {0x8001, "1E-34"},  {0x81F4, "5E-32"},  {0x7FFF, "1.023E32"}, {0x3C64, "1E15"},
        {0x3BE7, "999000000000000"},            {0x7C00, "0"},        {0x0C01, "10"},
    };
    for (auto [code, text] : cases)
        EXPECT_EQ(ValueCodeToText(code), text) << std::hex << code;
}

TEST(EncodeValueCode, KnownValues)
{
    const std::pair<double, std::uint16_t> cases[] = {
        {1, 0x0064},        {1.5, 0x0096},     {2, 0x00C8},       {10, 0x0464},
        {0.5, 0xFDF4},      {0.00001, 0xEC64}, {123.456, 0x087B}, {0.0123456, 0xF87B},
        {1e-32, 0x8064},    {9.999e31, 0x7FE7}, {9940, 0x0FE2},   {1.23, 0x007B},
        // Just below 1: 0.999, never a code that reads 9.99.
        {0.99999999, 0xFFE7}, {std::nextafter(1.0, 0.0), 0xFFE7},
    };
    for (auto [value, code] : cases)
        EXPECT_EQ(EncodeValueCode(value), code) << value;
}

TEST(EncodeValueCode, RefusesWhatTheCodeCannotHold)
{
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> cases[] = {
        {0, "0"},       {-1.5, "-1.5"},    {std::nan(""), "NAN"}, {inf, "INF"},   {-inf, "-INF"},
        {1e32, "1E32"}, {2.5e40, "2.5E40"}, {9.99e-33, "9.99E-33"}, {4.9e-324, "4.94065645841247E-324"},
    };
    for (auto [value, text] : cases) {
        try {
            EncodeValueCode(value);
            ADD_FAILURE() << "encoded " << text;
        } catch (const EConvertError& e) {
            EXPECT_NE(e.message().indexOf(QStringLiteral("value %1 ").arg(text)), -1) << e.what();
        }
    }
}

double ParseC(const std::string& text)
{
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// Typed values with 1 to 15 significant digits over the whole range, powers
// of ten among them: the code holds the first three digits and the power.
TEST(EncodeValueCode, TypedValuesKeepTheirFirstThreeDigits)
{
    std::mt19937 random(20240501);
    std::uniform_int_distribution<int> digit(0, 9), length(1, 15);
    for (int power = -32; power <= 31; ++power) {
        for (int sample = 0; sample < 60; ++sample) {
            std::string digits = sample == 0 ? "1" : std::to_string(1 + digit(random) % 9);
            for (int n = sample == 0 ? 1 : length(random); int(digits.size()) < n;)
                digits += char('0' + digit(random));
            const double value = ParseC(digits.substr(0, 1) + "." + digits.substr(1) + "e" + std::to_string(power));
            const int mantissa = std::stoi((digits + "00").substr(0, 3));
            const std::uint16_t code = EncodeValueCode(value);
            ASSERT_EQ(code, static_cast<std::uint16_t>(mantissa | ((power & 0x3F) << 10))) << digits << "e" << power;
            const double expected = ParseC(std::to_string(mantissa) + "e" + std::to_string(power - 2));
            EXPECT_NEAR(StrToFloat(ValueCodeToText(code)) / expected, 1.0, 1e-14) << digits << "e" << power;
        }
    }
}

// Arbitrary doubles: the decoded value d is the value cut, d <= x < d + one
// unit of the third digit.
TEST(EncodeValueCode, ArbitraryValuesAreCutNotRounded)
{
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> exponent(-32.0, 32.0);
    for (int i = 0; i < 3000; ++i) {
        const double value = std::pow(10.0, exponent(random));
        if (value < 1e-32 || value >= 1e32)
            continue;
        const std::uint16_t code = EncodeValueCode(value);
        const int mantissa = code & 0x3FF;
        const int power = (code >> 10) >= 32 ? (code >> 10) - 64 : (code >> 10);
        ASSERT_GE(mantissa, 100) << value;
        ASSERT_LE(mantissa, 999) << value;
        const long double unit = std::pow(10.0L, power - 2);
        EXPECT_LE(mantissa * unit, value * (1 + 1e-15L)) << value;
        EXPECT_GT((mantissa + 1) * unit, value * (1 - 1e-15L)) << value;
    }
}

TEST(FloatToText, GeneralFormat)
{
    const std::pair<long double, const char*> cases[] = {
        {0, "0"},           {1e15L, "1E15"},  {999999999999999.0L, "999999999999999"},
        {0.0001L, "0.0001"}, {0.00012345L, "0.00012345"}, {0.00009L, "9E-5"}, {-2.5L, "-2.5"},
        {1.0L / 3, "0.333333333333333"},      {2.0L / 3, "0.666666666666667"}, {100, "100"},
        {123456789012345678.0L, "1.23456789012346E17"}, {1.5e-300L, "1.5E-300"}, {-0.0L, "0"},
    };
    for (auto [value, text] : cases)
        EXPECT_EQ(FloatToText(value), text) << text;
}

TEST(StrToFloat, DotOnlyAndNothingElse)
{
    const std::pair<const char*, double> accepted[] = {
        {"1.5", 1.5}, {" 1.5\t", 1.5}, {"-2", -2}, {"+3.25", 3.25}, {"1e3", 1000}, {"1E-3", 0.001}, {".5", 0.5}, {"5.", 5},
    };
    const char* refused[] = {"", " ", "1,5", "inf", "nan", "INF", "0x1p3", "1.5x", "1.5.2", "e5", "1e", "--1", "1 5", "1e999", "."};

    auto checkAll = [&] {
        for (auto [text, value] : accepted)
            EXPECT_EQ(StrToFloat(text), value) << text;
        for (const char* text : refused) {
            EXPECT_FALSE(TryStrToFloat(text)) << text;
            try {
                StrToFloat(text);
            } catch (const EConvertError& e) {
                EXPECT_EQ(e.message(), QStringLiteral("'%1' is not a valid floating point value").arg(text));
            }
        }
        EXPECT_EQ(FloatToText(1.5), "1.5");
    };
    checkAll();
    // The user's locale decides nothing about number texts.
    for (const char* name : {"de_DE", "ru_RU"}) {
        QLocale::setDefault(QLocale(name));
        const bool haveCLocale = std::setlocale(LC_ALL, (std::string(name) + ".UTF-8").c_str()) != nullptr;
        SCOPED_TRACE(std::string(name) + (haveCLocale ? " (with C library locale)" : ""));
        checkAll();
    }
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_ALL, "C.UTF-8");
}

TEST(StrToInt, DecimalAndDollarHex)
{
    const std::pair<const char*, int> accepted[] = {
        {"12", 12}, {" -7 ", -7}, {"$FF", 255}, {"+$10", 16}, {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1},
    };
    for (auto [text, value] : accepted)
        EXPECT_EQ(StrToInt(text), value) << text;
    for (const char* text : {"", "1.0", "12a", "0x10", "2147483648", "$", "1 2", "$G"}) {
        EXPECT_FALSE(TryStrToInt(text)) << text;
        EXPECT_THROW(StrToInt(text), EConvertError) << text;
    }
    try {
        StrToInt("12a");
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'12a' is not a valid integer value");
    }
}

TEST(ShortDate, RoundTripsInManyLocales)
{
    const QDate dates[] = {QDate(2023, 1, 5), QDate(2000, 1, 1), QDate(2099, 12, 31), QDate(2024, 2, 29)};
    for (const char* name : {"ru_RU", "de_DE", "en_US", "en_GB", "C", "ko_KR", "bg_BG", "hu_HU", "ja_JP", "fa_IR", "ar_EG"}) {
        const QLocale locale(name);
        for (const QDate& date : dates)
            EXPECT_EQ(ParseShortDate(ShortDateText(date, locale), locale), date)
                << name << " " << ShortDateText(date, locale).toStdString();
    }
}

TEST(ShortDate, TypedTexts)
{
    struct Case {
        const char* locale;
        const char* text;
        QDate expected;   // invalid: refused
    };
    const Case cases[] = {
        {"de_DE", "5.1.23", QDate(2023, 1, 5)},   {"de_DE", " 05.01.2023 ", QDate(2023, 1, 5)},
        {"ru_RU", "5.1.23", QDate(2023, 1, 5)},   {"en_US", "1/5/2023", QDate(2023, 1, 5)},
        {"C", "5 January 2023", QDate(2023, 1, 5)}, {"C", "5 Jan 99", QDate(2099, 1, 5)},
        {"de_DE", "31.02.2023", QDate()},         {"de_DE", "5/1/2023", QDate()},
        {"de_DE", "", QDate()},                   {"en_US", "abc", QDate()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseShortDate(c.text, QLocale(c.locale)).value_or(QDate()), c.expected) << c.locale << " " << c.text;
}

TEST(DateTimeToText, ShortDateLongTimeWithoutZone)
{
    const QDateTime afternoon(QDate(2023, 1, 5), QTime(13, 4, 5));
    const QDateTime midnight(QDate(2023, 1, 5), QTime(0, 0));
    const std::pair<const char*, const char*> cases[] = {
        {"de_DE", "05.01.23 13:04:05"}, {"en_US", "1/5/23 1:04:05 PM"}, {"zh_CN", "2023/1/5 13:04:05"},
        {"ru_RU", "05.01.2023 13:04:05"},
    };
    for (auto [name, text] : cases)
        EXPECT_EQ(DateTimeToText(afternoon, QLocale(name)), text) << name;
    EXPECT_EQ(DateTimeToText(midnight, QLocale("de_DE")), "05.01.23");
    EXPECT_EQ(DateTimeToText(midnight.addSecs(1), QLocale("de_DE")), "05.01.23 00:00:01");
    EXPECT_FALSE(LongTimeText(QTime(13, 4, 5), QLocale("fa_IR")).contains(u'('));
}

TEST(ParseLongTime, ReadsWhatLongTimeTextWritesAndOneDigitHours)
{
    struct Case {
        const char* locale;
        const char* text;
        QTime expected;   // invalid: refused
    };
    const Case cases[] = {
        {"ru_RU", "08:05:00", QTime(8, 5)},    {"ru_RU", "8:05:00", QTime(8, 5)},
        {"en_US", "1:04:05 PM", QTime(13, 4, 5)}, {"en_US", " 12:00:00 AM ", QTime(0, 0)},
        {"C", "23:59:00", QTime(23, 59)},      {"de_DE", "24:00:00", QTime()},
        {"ru_RU", "8:05", QTime()},            {"ru_RU", "", QTime()},
        {"en_US", "13:04:05", QTime()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseLongTime(c.text, QLocale(c.locale)).value_or(QTime()), c.expected) << c.locale << " " << c.text;
    for (const char* name : {"C", "ru_RU", "en_US", "de_DE", "zh_CN"}) {
        const QLocale locale(name);
        EXPECT_EQ(ParseLongTime(LongTimeText(QTime(17, 43, 9), locale), locale), QTime(17, 43, 9)) << name;
    }
}

} // namespace
} // namespace zir

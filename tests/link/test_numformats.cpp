// Packed BCD and value codes both ways.
#include <gtest/gtest.h>

#include <QLocale>
#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "core/NumberText.h"
#include "link/numFormats.h"

namespace zir {
namespace {

TEST(DecodeBcd, DigitsAboveNineAreNotRefused) {
    const std::pair<std::uint8_t, int> cases[] = {{0x00, 0}, {0x59, 59}, {0x99, 99}, {0x1A, 20}, {0xFF, 165}};
    for (auto [byte, expected] : cases) EXPECT_EQ(DecodeBcd(byte), expected) << int(byte);
    EXPECT_TRUE(IsPackedBcd(0x59));
    EXPECT_FALSE(IsPackedBcd(0x1A));
    EXPECT_FALSE(IsPackedBcd(0xA0));
}

TEST(ValueCodeToText, KnownCodes) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {0x0000, "0"},
        {0x03FF, "10.23"},
        {0x007B, "1.23"},
        {0xF496, "0.0015"},
        {0xF40A, "0.0001"},
        {0xF032, "5E-5"},
        {0x0064, "1"},
        {0x0096, "1.5"},
        {0x0464, "10"},
        {0xFDF4, "0.5"},
        {0xEC64, "1E-5"},
        {0xFC7B, "0.123"},
        {0x8001, "1E-34"},
        {0x81F4, "5E-32"},
        {0x7FFF, "1.023E32"},
        {0x3C64, "1E15"},
        {0x3BE7, "999000000000000"},
        {0x7C00, "0"},
        {0x0C01, "10"},
    };
    for (auto [code, text] : cases) EXPECT_EQ(ValueCodeToText(code), text) << std::hex << code;
}

TEST(EncodeValueCode, KnownValues) {
    const std::pair<double, std::uint16_t> cases[] = {
        {1, 0x0064},
        {1.5, 0x0096},
        {2, 0x00C8},
        {10, 0x0464},
        {0.5, 0xFDF4},
        {0.00001, 0xEC64},
        {123.456, 0x087B},
        {0.0123456, 0xF87B},
        {1e-32, 0x8064},
        {9.999e31, 0x7FE7},
        {9940, 0x0FE2},
        {1.23, 0x007B},
        // Just below 1: 0.999, never a code that reads 9.99.
        {0.99999999, 0xFFE7},
        {std::nextafter(1.0, 0.0), 0xFFE7},
    };
    for (auto [value, code] : cases) EXPECT_EQ(EncodeValueCode(value), code) << value;
}

TEST(EncodeValueCode, RefusesWhatTheCodeCannotHold) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> cases[] = {
        {0, "0"},           {-1.5, "-1.5"},         {std::nan(""), "NAN"},
        {inf, "INF"},       {-inf, "-INF"},         {1e32, "1E32"},
        {2.5e40, "2.5E40"}, {9.99e-33, "9.99E-33"}, {4.9e-324, "4.94065645841247E-324"},
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

double ParseC(const std::string& text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// Typed values with 1 to 15 significant digits over the whole range, powers
// of ten among them: the code holds the first three digits and the power.
TEST(EncodeValueCode, TypedValuesKeepTheirFirstThreeDigits) {
    std::mt19937 random(20240501);
    std::uniform_int_distribution<int> digit(0, 9), length(1, 15);
    for (int power = -32; power <= 31; ++power) {
        for (int sample = 0; sample < 60; ++sample) {
            std::string digits = sample == 0 ? "1" : std::to_string(1 + digit(random) % 9);
            for (int n = sample == 0 ? 1 : length(random); int(digits.size()) < n;) digits += char('0' + digit(random));
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
TEST(EncodeValueCode, ArbitraryValuesAreCutNotRounded) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> exponent(-32.0, 32.0);
    for (int i = 0; i < 3000; ++i) {
        const double value = std::pow(10.0, exponent(random));
        if (value < 1e-32 || value >= 1e32) continue;
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

} // namespace
} // namespace zir

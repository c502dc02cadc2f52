// Number texts: the general format and the typed-number grammar, whatever the locale.

#include <gtest/gtest.h>

#include <QLocale>
#include <clocale>
#include <string>

#include "core/NumberText.h"

namespace zir {
namespace {

TEST(FloatToText, GeneralFormat) {
    const std::pair<long double, const char*> cases[] = {
        {0, "0"},
        {1e15L, "1E15"},
        {999999999999999.0L, "999999999999999"},
        {0.0001L, "0.0001"},
        {0.00012345L, "0.00012345"},
        {0.00009L, "9E-5"},
        {-2.5L, "-2.5"},
        {1.0L / 3, "0.333333333333333"},
        {2.0L / 3, "0.666666666666667"},
        {100, "100"},
        {123456789012345678.0L, "1.23456789012346E17"},
        {1.5e-300L, "1.5E-300"},
        {-0.0L, "0"},
    };
    for (auto [value, text] : cases) EXPECT_EQ(FloatToText(value), text) << text;
}

TEST(StrToFloat, DotOnlyAndNothingElse) {
    const std::pair<const char*, double> accepted[] = {
        {"1.5", 1.5},  {" 1.5\t", 1.5}, {"-2", -2},  {"+3.25", 3.25},
        {"1e3", 1000}, {"1E-3", 0.001}, {".5", 0.5}, {"5.", 5},
    };
    const char* refused[] = {"",      " ",  "1,5", "inf", "nan", "INF",   "0x1p3", "1.5x",
                             "1.5.2", "e5", "1e",  "--1", "1 5", "1e999", "."};

    auto checkAll = [&] {
        for (auto [text, value] : accepted) EXPECT_EQ(StrToFloat(text), value) << text;
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

TEST(StrToInt, DecimalAndDollarHex) {
    const std::pair<const char*, int> accepted[] = {
        {"12", 12},
        {" -7 ", -7},
        {"$FF", 255},
        {"+$10", 16},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
    };
    for (auto [text, value] : accepted) EXPECT_EQ(StrToInt(text), value) << text;
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

} // namespace
} // namespace zir

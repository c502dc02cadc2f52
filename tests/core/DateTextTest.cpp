// Date and time texts in the system's formats.

#include <gtest/gtest.h>

#include <QLocale>

#include "core/DateText.h"

namespace zir {
namespace {

TEST(ShortDate, RoundTripsInManyLocales) {
    const QDate dates[] = {QDate(2023, 1, 5), QDate(2000, 1, 1), QDate(2099, 12, 31), QDate(2024, 2, 29)};
    for (const char* name :
         {"ru_RU", "de_DE", "en_US", "en_GB", "C", "ko_KR", "bg_BG", "hu_HU", "ja_JP", "fa_IR", "ar_EG"}) {
        const QLocale locale(name);
        for (const QDate& date : dates)
            EXPECT_EQ(ParseShortDate(ShortDateText(date, locale), locale), date)
                << name << " " << ShortDateText(date, locale).toStdString();
    }
}

TEST(ShortDate, TypedTexts) {
    struct Case {
        const char* locale;
        const char* text;
        QDate expected; // invalid: refused
    };
    const Case cases[] = {
        {"de_DE", "5.1.23", QDate(2023, 1, 5)},
        {"de_DE", " 05.01.2023 ", QDate(2023, 1, 5)},
        {"ru_RU", "5.1.23", QDate(2023, 1, 5)},
        {"en_US", "1/5/2023", QDate(2023, 1, 5)},
        {"C", "5 January 2023", QDate(2023, 1, 5)},
        {"C", "5 Jan 99", QDate(2099, 1, 5)},
        {"de_DE", "31.02.2023", QDate()},
        {"de_DE", "5/1/2023", QDate()},
        {"de_DE", "", QDate()},
        {"en_US", "abc", QDate()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseShortDate(c.text, QLocale(c.locale)).value_or(QDate()), c.expected) << c.locale << " " << c.text;
}

TEST(DateTimeToText, ShortDateLongTimeWithoutZone) {
    const QDateTime afternoon(QDate(2023, 1, 5), QTime(13, 4, 5));
    const QDateTime midnight(QDate(2023, 1, 5), QTime(0, 0));
    const std::pair<const char*, const char*> cases[] = {
        {"de_DE", "05.01.23 13:04:05"},
        {"en_US", "1/5/23 1:04:05 PM"},
        {"zh_CN", "2023/1/5 13:04:05"},
        {"ru_RU", "05.01.2023 13:04:05"},
    };
    for (auto [name, text] : cases) EXPECT_EQ(DateTimeToText(afternoon, QLocale(name)), text) << name;
    EXPECT_EQ(DateTimeToText(midnight, QLocale("de_DE")), "05.01.23");
    EXPECT_EQ(DateTimeToText(midnight.addSecs(1), QLocale("de_DE")), "05.01.23 00:00:01");
    EXPECT_FALSE(LongTimeText(QTime(13, 4, 5), QLocale("fa_IR")).contains(u'('));
}

TEST(ParseLongTime, ReadsWhatLongTimeTextWritesAndOneDigitHours) {
    struct Case {
        const char* locale;
        const char* text;
        QTime expected; // invalid: refused
    };
    const Case cases[] = {
        {"ru_RU", "08:05:00", QTime(8, 5)},
        {"ru_RU", "8:05:00", QTime(8, 5)},
        {"en_US", "1:04:05 PM", QTime(13, 4, 5)},
        {"en_US", " 12:00:00 AM ", QTime(0, 0)},
        {"C", "23:59:00", QTime(23, 59)},
        {"de_DE", "24:00:00", QTime()},
        {"ru_RU", "8:05", QTime()},
        {"ru_RU", "", QTime()},
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

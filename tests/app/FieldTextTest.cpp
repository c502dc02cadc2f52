// The window's edge: its field texts to typed values and back.
#include <gtest/gtest.h>

#include "app/FieldText.h"
#include "archive/BankList.h"
#include "core/DateText.h"
#include "core/NumberText.h"

namespace zir {
namespace {

TEST(Selection, ParsesTypedAndListedEntries) {
    const QDate day(2024, 5, 17);
    const QString date = ShortDateText(day);
    struct Case {
        QString text;
        std::optional<int> bank;
    };
    const Case cases[] = {
        {BankEntryText(2, day), 2},          {"2: " + date, 2},      {"2:" + date, 2},
        {"   2   :     " + date + "   ", 2}, {"0:  " + date, 0},     {"258:  " + date, 2}, // only the low 8 bits count
        {kNoActiveBanks, std::nullopt},      {"", std::nullopt},     {"x:  " + date, std::nullopt},
        {":  " + date, std::nullopt},        {"2:  ", std::nullopt}, {"2:  not a date", std::nullopt},
        {"2  " + date, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const std::optional<BankSelection> selection = ParseBankSelection(c.text);
        ASSERT_EQ(selection.has_value(), c.bank.has_value());
        if (!selection) continue;
        EXPECT_EQ(selection->bank, *c.bank);
        EXPECT_EQ(selection->date, day);
    }
}

TEST(TimeWindow, ParsesMaskedFields) {
    struct Case {
        const char* text;
        std::optional<int> minutes;
    };
    const Case cases[] = {
        {"00:00", 0},
        {"23:59", 1439},
        {" 7:05", 425},
        {"07:05", 425},
        {"_7:05", 425},
        {"25:00", 1500},
        {"99:99", 6039},
        {"  :  ", 0},
        {"__:__", 0},
        {"7:05", std::nullopt},
        {"ab:00", std::nullopt},
        {"-1:00", std::nullopt},
        {"12:+5", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseTimeField(c.text), c.minutes);
    }
}

TEST(TimeWindow, FiltersAndFallbacks) {
    struct Case {
        bool fromOn;
        const char* fromText;
        bool toOn;
        const char* toText;
        int from;
        int to;
    };
    const Case cases[] = {
        {false, "08:00", false, "09:00", 0, 1439}, {true, "08:00", false, "09:00", 480, 1439},
        {false, "08:00", true, "09:00", 0, 540},   {true, "08:00", true, "08:09", 480, 489},
        {true, "xx:00", true, "yy:00", 0, 1439}, // a field that does not convert keeps its default
        {true, "10:00", true, "09:00", 600, 540},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fromText << " " << c.toText);
        const TimeFilter filter{TimeLimitOfField(c.fromOn, c.fromText, 0), TimeLimitOfField(c.toOn, c.toText, 1439)};
        const TimeWindow window = WindowOf(filter);
        EXPECT_EQ(window.from, c.from);
        EXPECT_EQ(window.to, c.to);
        // The title names each end that is on as the field shows it.
        EXPECT_EQ(filter.from.has_value(), c.fromOn);
        if (filter.from) {
            EXPECT_EQ(filter.from->label, c.fromText);
        }
        EXPECT_EQ(filter.to.has_value(), c.toOn);
    }
}

TEST(TimeLimitAt, LabelsAMinuteAsHoursAndMinutes) {
    for (const auto& [minute, label] :
         {std::pair{0, "00:00"}, std::pair{425, "07:05"}, std::pair{1439, "23:59"}, std::pair{1500, "25:00"}}) {
        EXPECT_EQ(TimeLimitAt(minute).minute, minute);
        EXPECT_EQ(TimeLimitAt(minute).label, label);
    }
}

TEST(ChannelOfField, OneIsAAndTwoIsB) {
    EXPECT_EQ(ChannelOfField(1), Channel::A);
    EXPECT_EQ(ChannelOfField(2), Channel::B);
}

} // namespace
} // namespace zir

#include <gtest/gtest.h>

#include "core/DateText.h"
#include "device/Clock.h"
#include "tests/device/FakeDevice.h"

namespace zir::test {
namespace {

// Clock reply: three uninterpreted bytes, minute, hour, day, month, year, bank.
QByteArray ClockReply(int minute, int hour, int day, int month, int year, int bank) {
    return ReplyWith(Bytes({0, 0, 0, minute, hour, day, month, year, bank}));
}

struct ClockCase {
    const char* name;
    QByteArray reply;
    QString expectedStatus;
    std::optional<QDateTime> moment; // set when Edit_Time gets a text
    int bankIndex;
};

class ClockRead : public ::testing::TestWithParam<ClockCase> {};

TEST_P(ClockRead, StatusAndDisplayText) {
    const ClockCase& c = GetParam();
    FakeDevice dev;
    dev.link.replies = {c.reply};
    const auto text = ReadDeviceTime(dev.Context());

    EXPECT_EQ(dev.status.history.first(), QString()); // cleared first
    EXPECT_EQ(dev.status.Status(), c.expectedStatus);
    ASSERT_EQ(dev.link.sent.size(), 1u);
    EXPECT_EQ(dev.link.sent[0], BuildFrame(kTestAddress, "1.1.1", 6, 2, "XT"));
    EXPECT_TRUE(dev.progress.calls.isEmpty());
    if (c.moment) {
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(*text, DateTimeToText(*c.moment) + QStringLiteral("   (%1)").arg(c.bankIndex));
    } else {
        EXPECT_FALSE(text.has_value());
    }
}

const QDateTime kChristmas(QDate(2007, 12, 25), QTime(14, 30));
const QDateTime kMidnight(QDate(2023, 1, 31), QTime(0, 0));

INSTANTIATE_TEST_SUITE_P(
    Replies, ClockRead,
    ::testing::Values(ClockCase{"BankC", ClockReply(0x30, 0x14, 0x25, 0x12, 0x07, 'C'), "Time readed", kChristmas, 2},
                      ClockCase{"Midnight", ClockReply(0x00, 0x00, 0x31, 0x01, 0x23, 'A'), "Time readed", kMidnight, 0},
                      ClockCase{"BankByteBelowA", ClockReply(0x30, 0x14, 0x25, 0x12, 0x07, 0x40), "Time readed",
                                kChristmas, 255},
                      ClockCase{"HeaderOnly", ReplyWith({}), "Reading time error", std::nullopt, 0},
                      ClockCase{"LongerReply", ReplyWith(QByteArray(12, 'x')), "Reading time error", std::nullopt, 0},
                      ClockCase{"NoAnswer", QByteArray(), "Device didn't answer", std::nullopt, 0}),
    [](const auto& test) { return std::string(test.param.name); });

struct InvalidCase {
    QByteArray reply;
    const char* message;
};

class InvalidClock : public ::testing::TestWithParam<InvalidCase> {};

TEST_P(InvalidClock, ReportsErrorAndNeverTimeReaded) {
    FakeDevice dev;
    dev.link.replies = {GetParam().reply};
    try {
        ReadDeviceTime(dev.Context());
        FAIL() << "no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), QString::fromUtf8(GetParam().message));
    }
    EXPECT_FALSE(dev.status.history.contains("Time readed"));
    EXPECT_EQ(dev.status.Status(), "Reading time error");
}

INSTANTIATE_TEST_SUITE_P(Fields, InvalidClock,
                         ::testing::Values(InvalidCase{ClockReply(0x30, 0x14, 0x25, 0x13, 0x07, 'C'),
                                                       "'2007-13-25 14:30:00.000' is not a valid date and time"},
                                           InvalidCase{ClockReply(0x30, 0x14, 0x30, 0x02, 0x23, 'C'),
                                                       "'2023-02-30 14:30:00.000' is not a valid date and time"},
                                           InvalidCase{ClockReply(0x00, 0x24, 0x01, 0x01, 0x24, 'C'),
                                                       "'2024-01-01 24:00:00.000' is not a valid date and time"},
                                           // 0x5A is no packed BCD and decodes to minute 60.
                                           InvalidCase{ClockReply(0x5A, 0x10, 0x01, 0x01, 0x24, 'C'),
                                                       "'2024-01-01 10:60:00.000' is not a valid date and time"},
                                           InvalidCase{ClockReply(0x00, 0x10, 0x00, 0x01, 0x24, 'C'),
                                                       "'2024-01-00 10:00:00.000' is not a valid date and time"}));

TEST(ClockBankLetter, TakesTheLetterOnlyFromAWholeReply) {
    FakeDevice dev;
    dev.link.replies = {ClockReply(0x30, 0x14, 0x25, 0x13, 0x07, 'D'), ReplyWith({}), QByteArray()};
    // The letter is used even when the date fields are impossible.
    EXPECT_EQ(ReadCurrentBankLetter(dev.Context()), std::optional<std::uint8_t>('D'));
    EXPECT_EQ(ReadCurrentBankLetter(dev.Context()), std::nullopt);
    EXPECT_EQ(ReadCurrentBankLetter(dev.Context()), std::nullopt);
    EXPECT_TRUE(dev.status.history.isEmpty());
}

TEST(ClockRead, BadAddressStopsBeforeAnythingIsSent) {
    FakeDevice dev;
    dev.address = QStringLiteral("1.2");
    EXPECT_THROW(ReadDeviceTime(dev.Context()), EFormatError);
    EXPECT_TRUE(dev.link.sent.empty());
}

} // namespace
} // namespace zir::test

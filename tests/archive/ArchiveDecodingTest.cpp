// Decoding of bank headers and records and the texts made from them.
#include <gtest/gtest.h>

#include "ArchiveFakes.h"
#include "archive/ArchiveRecord.h"
#include "archive/BankList.h"
#include "archive/ReadingInputs.h"
#include "core/DateText.h"
#include "link/numFormats.h"

namespace zir::test {
namespace {

QByteArray HeaderReply(const QByteArray& data) { return BuildFrame(kTestAddress, kHostAddress, 6, 0, data); }

struct HeaderCase {
    const char* name;
    QByteArray data;
    std::optional<int> bank; // nullopt: left out
    QDate date;
};

TEST(BankHeader, DecodesOrLeavesOut) {
    const HeaderCase cases[] = {
        {"plain", HeaderData('C', 0x17, 0x05, 0x24), 2, QDate(2024, 5, 17)},
        {"reply names another bank", HeaderData('E', 0x01, 0x01, 0x24), 4, QDate(2024, 1, 1)},
        {"bank 0", HeaderData('A', 0x31, 0x12, 0x23), 0, QDate(2023, 12, 31)},
        {"year 0x99", HeaderData('B', 0x28, 0x02, 0x99), 1, QDate(2099, 2, 28)},
        {"bank 99 is the last listable", HeaderData(char(0x41 + 99), 0x01, 0x01, 0x24), 99, QDate(2024, 1, 1)},
        {"month 0", HeaderData('A', 0x01, 0x00, 0x24), std::nullopt, {}},
        {"month 13", HeaderData('A', 0x01, 0x13, 0x24), std::nullopt, {}},
        {"day 31 of April", HeaderData('A', 0x31, 0x04, 0x24), std::nullopt, {}},
        {"29 February of a common year", HeaderData('A', 0x29, 0x02, 0x23), std::nullopt, {}},
        {"day 0", HeaderData('A', 0x00, 0x04, 0x24), std::nullopt, {}},
        {"letter below A", HeaderData('@', 0x01, 0x01, 0x24), std::nullopt, {}},
        {"bank number above 99", HeaderData(char(0x41 + 100), 0x01, 0x01, 0x24), std::nullopt, {}},
        {"day not BCD (0x1A would pass as 20)", HeaderData('A', 0x1A, 0x01, 0x24), std::nullopt, {}},
        {"year not BCD", HeaderData('A', 0x01, 0x01, 0xA0), std::nullopt, {}},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<BankHeader> header = DecodeBankHeader(HeaderReply(c.data));
        ASSERT_EQ(header.has_value(), c.bank.has_value());
        if (!header) continue;
        EXPECT_EQ(header->bank, *c.bank);
        EXPECT_EQ(header->date, c.date);
    }
    EXPECT_FALSE(DecodeBankHeader(HeaderReply(HeaderData('A', 1, 1, 0x24) + 'x')));
    EXPECT_FALSE(DecodeBankHeader(QByteArray()));
}

TEST(Record, RequestDataHasFourDigits) {
    EXPECT_EQ(RecordRequestData('A', 75), QByteArray("A0075"));
    EXPECT_EQ(RecordRequestData('A', 0), QByteArray("A0000"));
    EXPECT_EQ(RecordRequestData('N', 1439), QByteArray("N1439"));
    EXPECT_EQ(RecordRequestData('C', 1500), QByteArray("C1500"));
}

TEST(Record, DecodesFieldsAndTakesTimeFromReply) {
    const QDate day(2024, 5, 17);
    // Asked for 12, the reply carries 13: the time is that of minute 13.
    const QByteArray reply = HeaderReply(RecordData('D', 13, 0x0400 | 123, 5, 7, 255));
    ASSERT_EQ(reply.size(), kRecordReplySize);
    const std::optional<ArchiveRecord> record = DecodeRecord(reply, day);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->bank, 3);
    EXPECT_EQ(record->index, 13);
    EXPECT_EQ(record->time.date(), day);
    EXPECT_EQ(record->time.time(), QTime(0, 13));
    EXPECT_EQ(record->valueA, ValueCodeToText(0x0400 | 123));
    EXPECT_EQ(record->uncertaintyA, 5);
    EXPECT_EQ(record->valueB, ValueCodeToText(7));
    EXPECT_EQ(record->uncertaintyB, 255);
    EXPECT_EQ(record->codeA, 0x0400 | 123);
    EXPECT_EQ(record->codeB, 7);

    EXPECT_FALSE(DecodeRecord(reply.left(29), day));
    EXPECT_FALSE(DecodeRecord(QByteArray(), day));
}

TEST(Record, TimeTextOfFirstAndLastMinute) {
    const QDate day(2024, 3, 31); // a day on which many clocks change
    const auto timeOf = [&](int index) {
        return DecodeRecord(HeaderReply(RecordData('A', index, 1, 1, 1, 1)), day)->time;
    };
    EXPECT_EQ(DateTimeToText(timeOf(0)), ShortDateText(day)); // the date alone
    EXPECT_EQ(timeOf(150).time(), QTime(2, 30));              // no hour skipped
    EXPECT_EQ(timeOf(1439).time(), QTime(23, 59));
    EXPECT_EQ(timeOf(1500), QDateTime(day.addDays(1), QTime(1, 0), Qt::UTC));
}

TEST(Record, EmptyRecordRule) {
    struct Case {
        std::uint16_t codeA;
        int uncA;
        std::uint16_t codeB;
        int uncB;
        bool empty;
    };
    const Case cases[] = {
        {0, 0, 0, 255, true},     {0, 255, 0, 0, true},
        {0, 0, 0, 0, true},       {0, 0, 0, 7, false},
        {0, 7, 0, 0, false},      {1, 0, 0, 0, false},
        {0, 0, 0x0401, 0, false}, {0x0C00, 0, 0x1000, 255, true}, // mantissa 0 with any power is "0"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.codeA << "/" << c.uncA << " " << c.codeB << "/" << c.uncB);
        const auto record =
            DecodeRecord(HeaderReply(RecordData('A', 1, c.codeA, c.uncA, c.codeB, c.uncB)), QDate(2024, 1, 1));
        EXPECT_EQ(IsEmptyRecord(*record), c.empty);
    }
}

TEST(Record, LineLayout) {
    ArchiveRecord record;
    record.time = QDateTime(QDate(2024, 5, 17), QTime(8, 1), Qt::UTC);
    record.valueA = "1.23";
    record.uncertaintyA = 5;
    record.valueB = "4E-5";
    record.uncertaintyB = 12;
    EXPECT_EQ(RecordLine(record, "mSv/h", QString::fromUtf8("мк")),
              DateTimeToText(record.time) + QString::fromUtf8("    1.23 mSv/h ± 5 %     4E-5 мк ± 12 %"));
}

} // namespace
} // namespace zir::test

// The simulated instrument's replies and state changes, request bytes in,
// reply bytes out.
#include <gtest/gtest.h>

#include "link/ZebusModTransport.h"
#include "sim/Instrument.h"
#include "sim/Measurements.h"

using namespace zir;
using namespace zir::sim;

namespace {

const QDateTime kClock(QDate(2007, 12, 25), QTime(14, 30, 17));

// The day number whose measurements a bank dated `back` days before the clock holds.
std::int64_t DayBefore(int back) { return kClock.date().addDays(-back).toJulianDay(); }

// Bank 2 in use, banks 2, 1, 0 active (25, 24, 23 December 2007).
Instrument MakeInstrument() {
    InstrumentState state = DefaultState(kClock.date(), 2, 3);
    state.clock.fixedMoment = kClock;
    return Instrument(state, [] { return QDateTime(QDate(2030, 1, 1), QTime(0, 0)); });
}

QByteArray Request(const QByteArray& data, std::uint8_t kind = kKindRead,
                   const QString& to = QStringLiteral("255.255.255")) {
    return BuildFrame(to, kHostAddress, kind, kControlRequest, data);
}

QByteArray DataOf(const QByteArray& frame) { return frame.mid(kFrameHeaderSize, frame.size() - kFrameHeaderSize - 4); }

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values) b.append(static_cast<char>(v));
    return b;
}

QByteArray ReadingBytes(const Measurement& m) {
    return Bytes({m.b.uncertainty, m.b.valueCode & 0xFF, m.b.valueCode >> 8, m.a.uncertainty, m.a.valueCode & 0xFF,
                  m.a.valueCode >> 8});
}

struct ReadCase {
    const char* name;
    QByteArray request;
    int replyLength;
    int at; // data offset of the expected bytes
    QByteArray expected;
};

class ReadReplies : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadReplies, HaveTheLayoutTheToolDecodes) {
    Instrument instrument = MakeInstrument();
    const ReadCase& c = GetParam();
    const Answer answer = instrument.Handle(Request(c.request));
    ASSERT_TRUE(answer.reply.has_value());
    const QByteArray& reply = *answer.reply;
    EXPECT_EQ(reply.size(), c.replyLength);
    EXPECT_EQ(ValidateFrame(reply), FrameVerdict::Accepted);
    EXPECT_EQ(reply.left(6), Bytes({1, 1, 1, 0xFF, 0xFF, 0xFF})); // to the tool, from the instrument
    EXPECT_EQ(DataOf(reply).mid(c.at, c.expected.size()).toHex(' '), c.expected.toHex(' '));
}

INSTANTIATE_TEST_SUITE_P(
    Sim, ReadReplies,
    ::testing::Values(
        ReadCase{"ClockBcdAndBankLetter", "XT", 27, 3, Bytes({0x30, 0x14, 0x25, 0x12, 0x07, 'C'})},
        ReadCase{"CurrentValuesChannelBFirst", "XW", 27, 3,
                 ReadingBytes(CurrentReading(1, DayBefore(0), 14 * 60 + 30))},
        ReadCase{"DimensionOfBankAndChannel", "AR2", 30, 0, QByteArray("AR2\0", 4) + DefaultDimension(0, 1)},
        ReadCase{"DimensionWithoutBankIsCurrentBank", QByteArray("\x01R1"), 30, 4, DefaultDimension(2, 0)},
        ReadCase{"HeaderOfCurrentBankIsToday", "CV", 24, 0, Bytes({'C', 'V', 0, 0x25, 0x12, 0x07})},
        ReadCase{"HeaderOfOldestActiveBank", "AV", 24, 3, Bytes({0x23, 0x12, 0x07})},
        ReadCase{"HeaderOfErasedBankHasNoDate", "NV", 24, 3, Bytes({0, 0, 0})},
        ReadCase{"RecordEchoesIndex", "B0075", 30, 0,
                 QByteArray("B0075\0", 6) + ReadingBytes(ArchiveRecord(1, DayBefore(1), 75))},
        ReadCase{"LastMinuteOfDay", "A1439", 30, 6, ReadingBytes(ArchiveRecord(1, DayBefore(2), 1439))},
        ReadCase{"RecordOfErasedBankIsEmpty", "D0000", 30, 6, Bytes({255, 0, 0, 255, 0, 0})}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(Instrument, MinutesOfTheBankInUseAfterTheClockAreNotMeasuredYet) {
    // Clock 14:30:17 in bank C (2), banks A and B hold the two days before.
    // Seed 2 has no outage around the clock's minute.
    constexpr std::uint32_t seed = 2;
    const QByteArray unwritten = Bytes({255, 0, 0, 255, 0, 0});
    const Measurement measured = ArchiveRecord(seed, DayBefore(0), 870);
    ASSERT_FALSE(measured.Empty());
    const struct {
        const char* request;
        QByteArray expected;
    } cases[] = {
        {"C0000", ReadingBytes(ArchiveRecord(seed, DayBefore(0), 0))},
        {"C0869", ReadingBytes(ArchiveRecord(seed, DayBefore(0), 869))},
        {"C0870", ReadingBytes(measured)}, // the clock's own minute
        {"C0871", unwritten},
        {"C1439", unwritten},
        {"B1439", ReadingBytes(ArchiveRecord(seed, DayBefore(1), 1439))},
        {"A0871", ReadingBytes(ArchiveRecord(seed, DayBefore(2), 871))},
    };
    InstrumentState state = DefaultState(kClock.date(), 2, 3);
    state.clock.fixedMoment = kClock;
    state.seed = seed;
    Instrument instrument(state, [] { return QDateTime(QDate(2030, 1, 1), QTime(0, 0)); });
    for (const auto& c : cases) {
        const auto reply = instrument.Handle(Request(c.request)).reply;
        ASSERT_TRUE(reply) << c.request;
        EXPECT_EQ(DataOf(*reply).mid(6).toHex(' '), c.expected.toHex(' ')) << c.request;
    }
    const auto current = instrument.Handle(Request("XW")).reply;
    ASSERT_TRUE(current);
    EXPECT_EQ(DataOf(*current).mid(3), ReadingBytes(measured)) << "the present reading is the clock minute's record";
}

TEST(Instrument, ARunningClockFillsTheMinutesAsItPassesThem) {
    QDateTime now(QDate(2024, 5, 17), QTime(9, 59, 40));
    InstrumentState state = DefaultState(now.date(), 4, 2);
    Instrument instrument(state, [&now] { return now; });
    const std::int64_t today = now.date().toJulianDay();
    const auto record = [&](const char* request) {
        const auto reply = instrument.Handle(Request(request)).reply;
        return reply ? DataOf(*reply).mid(6) : QByteArray();
    };
    EXPECT_EQ(record("E0600"), Bytes({255, 0, 0, 255, 0, 0}));
    now = now.addSecs(20); // 10:00:00
    EXPECT_EQ(record("E0600"), ReadingBytes(ArchiveRecord(1, today, 600)));
    EXPECT_EQ(record("E0601"), Bytes({255, 0, 0, 255, 0, 0}));
    now = QDateTime(QDate(2024, 5, 18), QTime(0, 0, 5)); // the next day moves on to bank F
    EXPECT_EQ(record("E0601"), ReadingBytes(ArchiveRecord(1, today, 601))) << "yesterday is whole";
    EXPECT_EQ(record("F0001"), Bytes({255, 0, 0, 255, 0, 0}));
    EXPECT_EQ(record("F0000"), ReadingBytes(ArchiveRecord(1, today + 1, 0)));
}

TEST(Instrument, StaysSilentToWhatItCannotAnswer) {
    const struct {
        const char* why;
        QByteArray frame;
    } cases[] = {
        {"minute past the day", Request("A1440")},
        {"bank letter past N", Request("OV")},
        {"bank letter below A", Request("@0001")},
        {"channel 3", Request("AR3")},
        {"unknown command", Request("XQ")},
        {"write to channel 3", Request(QByteArray("R3\0ABCDEFGH", 11), kKindWrite)},
        {"frame for another address", Request("XT", kKindRead, QStringLiteral("1.2.3"))},
    };
    for (const auto& c : cases) {
        Instrument instrument = MakeInstrument();
        EXPECT_FALSE(instrument.Handle(c.frame).reply.has_value()) << c.why;
    }
    QByteArray spoiled = Request("XT");
    spoiled[spoiled.size() - 1] = static_cast<char>(spoiled[spoiled.size() - 1] ^ 1);
    Instrument instrument = MakeInstrument();
    const Answer answer = instrument.Handle(spoiled);
    EXPECT_FALSE(answer.addressed);
    EXPECT_FALSE(answer.reply.has_value());
}

TEST(Instrument, WritesAreAcknowledgedAndChangeTheState) {
    Instrument instrument = MakeInstrument();
    const QByteArray ack = AcknowledgementFrame(QStringLiteral("255.255.255"));

    const QByteArray unit("\x08P\x0B     ", 8);
    EXPECT_EQ(instrument.Handle(Request(QByteArray("R2\0", 3) + unit, kKindWrite)).reply, ack);
    const auto dimension = instrument.Handle(Request("CR2")).reply;
    ASSERT_TRUE(dimension);
    EXPECT_EQ(DataOf(*dimension).mid(4), unit);
    EXPECT_EQ(instrument.State().banks[1].dimensions[1], DefaultDimension(1, 1)) << "older banks keep their text";

    EXPECT_EQ(instrument.Handle(Request(Bytes({'T', '1', 0, 0x64, 0x00, 0x64, 0xEC, 0x64, 0x0C}), kKindWrite)).reply,
              ack);
    EXPECT_EQ(instrument.State().coefficients[0].k, 0x0064);
    EXPECT_EQ(instrument.State().coefficients[0].m, 0xEC64);
    EXPECT_EQ(instrument.State().coefficients[0].threshold, 0x0C64);

    EXPECT_EQ(instrument.Handle(Request(Bytes({'W', 0, 0x12, 0x34, 0x07, 0x02, 0x01}), kKindWrite)).reply, ack);
    const ServiceParameters& s = instrument.State().service;
    EXPECT_EQ(s.serialNumber, 4660);
    EXPECT_EQ(s.netNumber, 7);
    EXPECT_EQ(s.rateIndex, 2);
    EXPECT_EQ(s.chargeParameter, 1);
    EXPECT_EQ(instrument.State().AddressText(), QStringLiteral("255.255.255")) << "net number is not the bus address";
    EXPECT_TRUE(instrument.Handle(Request("XT")).reply.has_value());
}

TEST(Instrument, AnswersOnlyItsOwnAddressAndRepliesFromIt) {
    InstrumentState state = DefaultState(kClock.date());
    state.address = {1, 2, 3};
    Instrument instrument(state, [] { return kClock; });
    EXPECT_FALSE(instrument.Handle(Request("XT")).reply);
    const auto reply = instrument.Handle(Request("XT", kKindRead, QStringLiteral("1.2.3"))).reply;
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->left(6), Bytes({1, 1, 1, 1, 2, 3}));
    EXPECT_EQ(instrument.Handle(Request(Bytes({'W', 0, 0, 1, 9, 0, 0}), kKindWrite, QStringLiteral("1.2.3"))).reply,
              AcknowledgementFrame(QStringLiteral("1.2.3")));
}

TEST(Instrument, RunningClockKeepsItsOffsetAndOverridesReplaceBytes) {
    InstrumentState state = DefaultState(QDate(2024, 2, 29));
    state.clock.offsetSeconds = 3600;
    Instrument instrument(state, [] { return QDateTime(QDate(2024, 2, 29), QTime(23, 5)); });
    auto reply = instrument.Handle(Request("XT")).reply;
    ASSERT_TRUE(reply);
    EXPECT_EQ(DataOf(*reply).mid(3, 5), Bytes({0x05, 0x00, 0x01, 0x03, 0x24})) << "an hour later is 1 March";

    instrument.OverrideClockBytes(Bytes({0x30, 0x14, 0x25, 0x13, 0x07, 0x40}));
    instrument.OverrideCurrentBytes(Bytes({0, 0, 0, 5, 0x7B, 0x00, 12, 0x96, 0xF4}));
    reply = instrument.Handle(Request("XT")).reply;
    ASSERT_TRUE(reply);
    EXPECT_EQ(DataOf(*reply).mid(3), Bytes({0x30, 0x14, 0x25, 0x13, 0x07, 0x40}));
    reply = instrument.Handle(Request("XW")).reply;
    ASSERT_TRUE(reply);
    EXPECT_EQ(DataOf(*reply), Bytes({0, 0, 0, 5, 0x7B, 0x00, 12, 0x96, 0xF4}));
}

} // namespace

namespace {

TEST(Instrument, EachNewDayMovesOnToTheNextBank) {
    QDateTime now(QDate(2024, 3, 1), QTime(23, 59));
    InstrumentState state = DefaultState(now.date(), 13, 3); // banks 11, 12, 13 active
    state.banks[13].dimensions[0] = QByteArray("\x08P\x0B     ", 8);
    Instrument instrument(state, [&now] { return now; });

    const struct {
        QDateTime at;
        int bank; // in use afterwards
        QByteArray header;
    } steps[] = {
        {QDateTime(QDate(2024, 3, 1), QTime(23, 59)), 13, Bytes({0x01, 0x03, 0x24})},
        {QDateTime(QDate(2024, 3, 2), QTime(0, 0)), 0, Bytes({0x02, 0x03, 0x24})},
        {QDateTime(QDate(2024, 3, 5), QTime(8, 0)), 3, Bytes({0x05, 0x03, 0x24})},
    };
    for (const auto& step : steps) {
        now = step.at;
        const auto clock = instrument.Handle(Request("XT")).reply;
        ASSERT_TRUE(clock);
        EXPECT_EQ(DataOf(*clock)[8], char('A' + step.bank)) << step.at.toString().toStdString();
        const auto header = instrument.Handle(Request(QByteArray(1, char('A' + step.bank)) + "V")).reply;
        ASSERT_TRUE(header);
        EXPECT_EQ(DataOf(*header).mid(3), step.header);
    }
    EXPECT_EQ(instrument.State().banks[2].date, QDate(2024, 3, 4)) << "the days in between get their banks";
    EXPECT_EQ(instrument.State().banks[3].dimensions[0], QByteArray("\x08P\x0B     ", 8)) << "unit text carries on";
    EXPECT_EQ(instrument.State().banks[12].date, QDate(2024, 2, 29)) << "older banks keep their day";
}

} // namespace

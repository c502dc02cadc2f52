// The simulator's smaller parts: framing of the incoming stream, the archive
// values, bank dates, the state file, the command line and the pacing.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "core/NumberText.h"
#include "link/ZebusModTransport.h"
#include "link/numFormats.h"
#include "sim/FrameLog.h"
#include "sim/FrameSplitter.h"
#include "sim/Measurements.h"
#include "sim/Server.h"
#include "sim/SimOptions.h"

using namespace zir;
using namespace zir::sim;
using namespace std::chrono_literals;

namespace {

QByteArray Request(const QByteArray& data) {
    return BuildFrame(QStringLiteral("255.255.255"), kHostAddress, kKindRead, kControlRequest, data);
}

std::vector<std::pair<LinePiece::Kind, QByteArray>> Drain(FrameSplitter& splitter) {
    std::vector<std::pair<LinePiece::Kind, QByteArray>> pieces;
    while (auto p = splitter.Next()) pieces.emplace_back(p->kind, p->bytes);
    return pieces;
}

TEST(FrameSplitter, CutsFramesByTheirLengthAndSkipsJunk) {
    using K = LinePiece::Kind;
    const QByteArray xt = Request("XT"), rec = Request("A0075");
    const QByteArray ack = AcknowledgementFrame(QStringLiteral("255.255.255"));
    const SteadyTime t0{};

    FrameSplitter splitter;
    splitter.Feed(QByteArray("\x00\x13\x37", 3) + xt + ack + rec.left(9), t0);
    EXPECT_EQ(Drain(splitter), (std::vector<std::pair<K, QByteArray>>{
                                   {K::Junk, QByteArray("\x00\x13\x37", 3)}, {K::Frame, xt}, {K::Frame, ack}}));
    splitter.Feed(rec.mid(9), t0 + 5ms);
    auto piece = splitter.Next();
    ASSERT_TRUE(piece);
    EXPECT_EQ(piece->bytes, rec);
    EXPECT_EQ(piece->firstByteAt, t0) << "a frame's time is that of its first byte";

    // A frame cut short and followed by a whole one: the broken start is
    // skipped, the whole frame is found.
    splitter.Feed(xt.left(16) + rec, t0);
    const auto pieces = Drain(splitter);
    ASSERT_FALSE(pieces.empty());
    EXPECT_EQ(pieces.back(), std::make_pair(K::Frame, rec));

    splitter.Feed(xt.left(5), t0);
    EXPECT_FALSE(splitter.Next());
    EXPECT_FALSE(splitter.DropStale(t0 + 999ms, 1000ms));
    piece = splitter.DropStale(t0 + 1000ms, 1000ms);
    ASSERT_TRUE(piece);
    EXPECT_EQ(piece->kind, K::Junk);
    EXPECT_TRUE(splitter.Empty());

    // A false header that announces a longer frame than ever comes: once the
    // line is silent, the whole request behind it is still served.
    const QByteArray falseHeader = Request(QByteArray(100, 'x')).left(kFrameHeaderSize);
    splitter.Feed(falseHeader + xt, t0);
    EXPECT_FALSE(splitter.Next()) << "waits while the long frame may still be arriving";
    std::vector<std::pair<K, QByteArray>> stale;
    while (auto p = splitter.DropStale(t0 + 1000ms, 1000ms)) stale.emplace_back(p->kind, p->bytes);
    EXPECT_EQ(stale, (std::vector<std::pair<K, QByteArray>>{{K::Junk, falseHeader}, {K::Frame, xt}}));
    EXPECT_TRUE(splitter.Empty());
}

// Days of seed 7 from 1 May 2024 on, decoded to numbers.
struct SimDay {
    std::int64_t day = 0;
    std::vector<Measurement> records; // 1440
};

double ValueOf(const ChannelReading& r) { return StrToFloat(ValueCodeToText(r.valueCode)); }

// The value below which `share` of the values lie.
double Quantile(std::vector<double> values, double share) {
    if (values.empty()) return 0.0;
    const auto at = std::size_t(share * double(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(at), values.end());
    return values[at];
}

double Median(const std::vector<double>& values) { return Quantile(values, 0.5); }

std::vector<SimDay> Days(std::uint32_t seed, int count) {
    std::vector<SimDay> days;
    const std::int64_t first = QDate(2024, 5, 1).toJulianDay();
    for (int d = 0; d < count; ++d) {
        SimDay day{first + d, {}};
        for (int minute = 0; minute < kMinutesPerDay; ++minute)
            day.records.push_back(ArchiveRecord(seed, day.day, minute));
        days.push_back(day);
    }
    return days;
}

// Values of one channel (0 = A) over the day's non-empty records.
std::vector<double> Values(const SimDay& day, int channel) {
    std::vector<double> values;
    for (const Measurement& m : day.records)
        if (!m.Empty()) values.push_back(ValueOf(channel == 0 ? m.a : m.b));
    return values;
}

TEST(Measurements, RecordsAreWellFormedRepeatableAndSeeded) {
    int differing = 0;
    for (const SimDay& day : Days(7, 3)) {
        for (int minute = 0; minute < kMinutesPerDay; ++minute) {
            const Measurement& m = day.records[std::size_t(minute)];
            const Measurement again = ArchiveRecord(7, day.day, minute);
            ASSERT_EQ(m.a.valueCode, again.a.valueCode);
            ASSERT_EQ(m.b.uncertainty, again.b.uncertainty);
            differing += ArchiveRecord(8, day.day, minute).a.valueCode != m.a.valueCode;
            if (m.Empty()) continue;
            for (const ChannelReading& r : {m.a, m.b}) {
                const int mantissa = r.valueCode & 0x3FF;
                EXPECT_GE(mantissa, 100);
                EXPECT_LE(mantissa, 999);
                EXPECT_GE(r.uncertainty, 1);
                EXPECT_LE(r.uncertainty, 30);
            }
        }
    }
    EXPECT_GT(differing, 3 * kMinutesPerDay * 9 / 10) << "the seed matters";
}

TEST(Measurements, BackgroundIsSteadyFromDayToDay) {
    const struct {
        int channel;
        double low, high; // the plausible band of a day's quiet level
    } channels[] = {{0, 0.06, 0.24}, {1, 9.0, 36.0}};
    const std::vector<SimDay> days = Days(7, 30);
    for (const auto& c : channels) {
        double previous = 0.0;
        for (const SimDay& day : days) {
            // The lower quartile: the quiet level, whatever rise the day has.
            const double quiet = Quantile(Values(day, c.channel), 0.25);
            EXPECT_GE(quiet, c.low) << c.channel << " day " << day.day;
            EXPECT_LE(quiet, c.high) << c.channel << " day " << day.day;
            if (previous > 0.0) {
                EXPECT_GT(quiet / previous, 0.7) << c.channel << " day " << day.day;
                EXPECT_LT(quiet / previous, 1.45) << c.channel << " day " << day.day;
            }
            previous = quiet;
        }
    }
}

TEST(Measurements, NoiseMatchesTheStatedUncertainty) {
    // The stated uncertainty is two standard deviations: about 95 % of the
    // minutes lie within it of the expected value, and the noise is real.
    for (int channel : {0, 1}) {
        int within = 0, total = 0;
        double spread = 0.0;
        for (const SimDay& day : Days(7, 5)) {
            for (int minute = 0; minute < kMinutesPerDay; ++minute) {
                const Measurement& m = day.records[std::size_t(minute)];
                if (m.Empty()) continue;
                const ChannelReading& r = channel == 0 ? m.a : m.b;
                const double deviation = ValueOf(r) / ExpectedValue(7, day.day, minute, channel) - 1.0;
                within += std::fabs(deviation) <= (r.uncertainty + 0.5) / 100.0;
                spread += deviation * deviation;
                ++total;
            }
        }
        EXPECT_GT(double(within) / total, 0.92) << channel;
        EXPECT_LT(double(within) / total, 0.985) << channel;
        EXPECT_GT(std::sqrt(spread / total), channel == 0 ? 0.03 : 0.015) << channel;
    }
}

TEST(Measurements, RisesAreOccasionalSeenByBothChannelsAndSharpenTheUncertainty) {
    int daysWithRise = 0, bigRises = 0;
    const std::vector<SimDay> days = Days(7, 60);
    for (const SimDay& day : days) {
        const std::vector<double> a = Values(day, 0), b = Values(day, 1);
        const double medianA = Median(a), medianB = Median(b);
        std::size_t peak = 0;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i] > a[peak]) peak = i;
        if (a[peak] < 2.5 * medianA) continue;
        ++daysWithRise;
        bigRises += a[peak] >= 8 * medianA;
        EXPECT_GT(b[peak], 1.5 * medianB) << "channel B rises with A, day " << day.day;
        std::vector<double> uncertainties;
        const Measurement* peakRecord = nullptr;
        std::size_t seen = 0;
        for (const Measurement& m : day.records) {
            if (m.Empty()) continue;
            uncertainties.push_back(m.a.uncertainty);
            if (seen++ == peak) peakRecord = &m;
        }
        ASSERT_TRUE(peakRecord);
        EXPECT_LT(peakRecord->a.uncertainty, Median(uncertainties)) << day.day;
    }
    EXPECT_GE(daysWithRise, 60 / 10) << "a rise now and then";
    EXPECT_LE(daysWithRise, 60 * 6 / 10) << "but most days are quiet";
    EXPECT_GE(bigRises, 1);
}

TEST(Measurements, ConsecutiveDaysJoinWithoutAStepAtMidnight) {
    const std::int64_t first = QDate(2024, 5, 1).toJulianDay();
    for (std::int64_t day = first; day < first + 60; ++day) {
        for (int channel : {0, 1}) {
            const double before = ExpectedValue(7, day, kMinutesPerDay - 1, channel);
            const double after = ExpectedValue(7, day + 1, 0, channel);
            EXPECT_NEAR(after / before, 1.0, 0.03) << "day " << day << " channel " << channel;
        }
    }
}

TEST(Measurements, OutagesAreShortRunsOfEmptyRecords) {
    int empty = 0, runs = 0;
    std::set<int> marksA;
    for (const SimDay& day : Days(7, 60)) {
        int run = 0;
        for (int minute = 0; minute <= kMinutesPerDay; ++minute) {
            const bool isEmpty = minute < kMinutesPerDay && day.records[std::size_t(minute)].Empty();
            if (isEmpty) {
                const Measurement& m = day.records[std::size_t(minute)];
                EXPECT_TRUE(m.a.uncertainty == 0 || m.a.uncertainty == 255);
                EXPECT_EQ(m.b.uncertainty, 255);
                marksA.insert(m.a.uncertainty);
                EXPECT_FALSE(CurrentReading(7, day.day, minute).Empty()) << "a running instrument reads";
                ++empty;
                ++run;
            } else if (run > 0) {
                EXPECT_GE(run, 2) << day.day;
                EXPECT_LE(run, 20) << day.day;
                ++runs;
                run = 0;
            }
            if (!isEmpty && minute < kMinutesPerDay) {
                const Measurement now = CurrentReading(7, day.day, minute);
                EXPECT_EQ(now.a.valueCode, day.records[std::size_t(minute)].a.valueCode);
            }
        }
    }
    EXPECT_GE(runs, 3);
    EXPECT_LT(empty, 60 * kMinutesPerDay / 100);
    EXPECT_EQ(marksA, (std::set<int>{0, 255})) << "both forms of an empty record";
}

TEST(InstrumentState, ActiveBanksEndTodayAtTheCurrentBankAndWrap) {
    const InstrumentState s = DefaultState(QDate(2024, 3, 1), 1, 4);
    const struct {
        int bank;
        QDate date;
    } expected[] = {
        {1, QDate(2024, 3, 1)}, {0, QDate(2024, 2, 29)}, {13, QDate(2024, 2, 28)}, {12, QDate(2024, 2, 27)}};
    int active = 0;
    for (const Bank& b : s.banks) active += b.active;
    EXPECT_EQ(active, 4);
    for (const auto& e : expected) {
        EXPECT_TRUE(s.banks[static_cast<std::size_t>(e.bank)].active) << e.bank;
        EXPECT_EQ(s.banks[static_cast<std::size_t>(e.bank)].date, e.date) << e.bank;
    }
    EXPECT_FALSE(s.banks[2].active);
}

TEST(InstrumentState, SurvivesTheStateFile) {
    QTemporaryDir dir;
    InstrumentState s = DefaultState(QDate(2024, 3, 1), 5, 2);
    s.address = {10, 20, 30};
    s.clock.fixedMoment = QDateTime(QDate(2007, 12, 25), QTime(14, 30));
    s.banks[9].headerBytes = QByteArray("\x31\x04\x24", 3);
    s.banks[5].dimensions[1] = QByteArray(
        "\x09\x0A\xFF\x00"
        "abcd",
        8);
    s.coefficients[1] = {0x1234, 0xFDF4, 0x0464};
    s.service = {65535, 7, 4, 6};
    s.seed = 99;
    const QString path = dir.filePath(QStringLiteral("state.json"));
    SaveStateFile(path, s);
    const InstrumentState back = LoadStateFile(path, DefaultState(QDate(2000, 1, 1)));
    EXPECT_EQ(QJsonDocument(StateToJson(back)).toJson(), QJsonDocument(StateToJson(s)).toJson());
    EXPECT_EQ(back.banks[5].dimensions[1], s.banks[5].dimensions[1]);
    EXPECT_EQ(back.clock.fixedMoment, s.clock.fixedMoment);
}

TEST(InstrumentState, RefusesBrokenStateNamingTheField) {
    const InstrumentState base = DefaultState(QDate(2024, 3, 1));
    const struct {
        const char* json;
        const char* field;
    } cases[] = {
        {R"({"address": "1.2"})", "address"},
        {R"({"currentBank": 14})", "currentBank"},
        {R"({"clock": {"fixed": "25.12.2007"}})", "clock.fixed"},
        {R"({"service": {"serialNumber": 70000}})", "serialNumber"},
        {R"({"coefficients": [{"k": "XYZ"}, {}]})", "\"k\""},
        {R"({"banks": []})", "banks"},
    };
    for (const auto& c : cases) {
        try {
            StateFromJson(QJsonDocument::fromJson(c.json).object(), base);
            ADD_FAILURE() << c.json << " was accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.field), std::string::npos) << e.what();
        }
    }
    const InstrumentState partial =
        StateFromJson(QJsonDocument::fromJson(R"({"service": {"netNumber": 9}})").object(), base);
    EXPECT_EQ(partial.service.netNumber, 9);
    EXPECT_EQ(partial.service.serialNumber, base.service.serialNumber) << "missing fields keep their value";
}

ParsedCommandLine Parse(const QStringList& args) {
    return ParseCommandLine(QStringList{QStringLiteral("zir-sim")} + args);
}

TEST(CommandLine, RefusesBadValues) {
    const QStringList bad[] = {
        {"--fault", "noisy"},
        {"--fault-command", "XT,ZZ"},
        {"--answer-from", "0"},
        {"--current-bank", "14"},
        {"--active-banks", "15"},
        {"--clock", "yesterday"},
        {"--clock-bytes", "30 14 25"},
        {"--xw-bytes", "zz"},
        {"--address", "1.2"},
        {"--pty", "--device", "/dev/null"},
        {"--baud", "fast"},
        {"stray"},
        {"--speed-check", "--baud", "14400"},
    };
    for (const QStringList& args : bad) {
        const ParsedCommandLine p = Parse(args);
        EXPECT_FALSE(p.options) << args.join(' ').toStdString();
        EXPECT_FALSE(p.error.isEmpty()) << args.join(' ').toStdString();
    }
    const ParsedCommandLine help = Parse({QStringLiteral("--help")});
    EXPECT_FALSE(help.options);
    EXPECT_TRUE(help.error.isEmpty());
    for (const char* option :
         {"--fault-command", "--answer-from", "--clock-bytes", "--xw-bytes", "--save-state", "--link", "--speed-check"})
        EXPECT_TRUE(help.helpText.contains(QLatin1String(option))) << option;
}

TEST(CommandLine, OptionsShapeTheStartingState) {
    const ParsedCommandLine p = Parse({"--clock", "2007-12-25 14:30", "--current-bank", "13", "--active-banks", "2",
                                       "--address", "1.2.3", "--fault", "short", "--fault-command", "REC",
                                       "--answer-from", "2", "--clock-bytes", "30 14 25 12 07 40", "--no-pacing"});
    ASSERT_TRUE(p.options) << p.error.toStdString();
    const SimOptions& o = *p.options;
    EXPECT_FALSE(o.pacing);
    EXPECT_EQ(o.faults.kind, FaultKind::Short);
    EXPECT_EQ(o.faults.commands, std::set{CommandGroup::REC});
    EXPECT_EQ(o.faults.answerFrom, 2);
    EXPECT_EQ(o.clockBytes, QByteArray("\x30\x14\x25\x12\x07\x40", 6));
    const InstrumentState s = InitialState(o, QDateTime(QDate(2030, 6, 1), QTime(8, 0)));
    EXPECT_EQ(s.AddressText(), QStringLiteral("1.2.3"));
    EXPECT_EQ(s.currentBank, 13);
    EXPECT_EQ(s.banks[13].date, QDate(2007, 12, 25)) << "bank dates follow the instrument clock";
    EXPECT_EQ(s.banks[12].date, QDate(2007, 12, 24));
    EXPECT_FALSE(s.banks[11].active);
}

TEST(Pacing, ReplyWaitsForTheRequestsWireTimeAndTurnaround) {
    const SteadyTime t0{};
    const Pacing paced{true, 19200, 2};
    // 20 bytes at 19200 baud, 10 bits a byte: 10.4167 ms.
    EXPECT_EQ(paced.ReplyStart(t0, 20, t0), t0 + 12'416'666ns);
    EXPECT_EQ(Pacing({true, 1200, 2}).WireTime(30), 250ms);
    const Pacing unpaced{false, 19200, 2};
    EXPECT_EQ(unpaced.ReplyStart(t0, 20, t0 + 1ms), t0 + 1ms);
}

TEST(FrameLog, LinesParseBackPerDirection) {
    const QByteArray rx1 = Request("XT"), tx = AcknowledgementFrame(QStringLiteral("1.1.1")), rx2 = Request("AV");
    const QDateTime at(QDate(2026, 1, 2), QTime(3, 4, 5, 6));
    const QByteArray log =
        (FrameLogLine(at, QStringLiteral("RX"), rx1) + FrameLogLine(at, QStringLiteral("TX"), tx) +
         FrameLogLine(at, QStringLiteral("DROP"), "\x01") + FrameLogLine(at, QStringLiteral("RX"), rx2))
            .toUtf8();
    EXPECT_EQ(FramesInLog(log, QStringLiteral("RX")), (QList<QByteArray>{rx1, rx2}));
    EXPECT_EQ(FramesInLog(log, QStringLiteral("TX")), (QList<QByteArray>{tx}));
}

} // namespace

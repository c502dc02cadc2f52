// The simulator's smaller parts: framing of the incoming stream, the archive
// values, bank dates, the state file, the command line and the pacing.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QTemporaryDir>
#include <set>

#include "link/ZebusModTransport.h"
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
    while (auto p = splitter.Next())
        pieces.emplace_back(p->kind, p->bytes);
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
}

TEST(Measurements, ArchiveLooksLikeRealCountsAndIsRepeatable) {
    std::set<int> powers;
    int empty = 0;
    for (int bank = 0; bank < kBankCount; ++bank) {
        for (int minute = 0; minute < kMinutesPerDay; ++minute) {
            const Measurement m = ArchiveRecord(7, bank, minute);
            ASSERT_EQ(m.a.valueCode, ArchiveRecord(7, bank, minute).a.valueCode);
            if (m.Empty()) {
                ++empty;
                for (auto u : {m.a.uncertainty, m.b.uncertainty})
                    EXPECT_TRUE(u == 0 || u == 255);
                continue;
            }
            for (const ChannelReading& r : {m.a, m.b}) {
                const int mantissa = r.valueCode & 0x3FF;
                EXPECT_GE(mantissa, 100);
                EXPECT_LE(mantissa, 999);
                EXPECT_GE(r.uncertainty, 1);
                EXPECT_LE(r.uncertainty, 30);
                const int p = r.valueCode >> 10;
                powers.insert(p >= 32 ? p - 64 : p);
            }
        }
    }
    EXPECT_GE(powers.size(), 4u) << "values span several powers of ten";
    EXPECT_GT(empty, 0);
    EXPECT_LT(empty, kBankCount * kMinutesPerDay / 10);
    EXPECT_FALSE(CurrentReading(7, 0, 0).Empty());
    EXPECT_NE(ArchiveRecord(7, 0, 100).a.valueCode, ArchiveRecord(8, 0, 100).a.valueCode) << "the seed matters";
}

TEST(InstrumentState, ActiveBanksEndTodayAtTheCurrentBankAndWrap) {
    const InstrumentState s = DefaultState(QDate(2024, 3, 1), 1, 4);
    const struct {
        int bank;
        QDate date;
    } expected[] = {{1, QDate(2024, 3, 1)}, {0, QDate(2024, 2, 29)}, {13, QDate(2024, 2, 28)}, {12, QDate(2024, 2, 27)}};
    int active = 0;
    for (const Bank& b : s.banks)
        active += b.active;
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
    s.banks[5].dimensions[1] = QByteArray("\x09\x0A\xFF\x00" "abcd", 8);
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

ParsedCommandLine Parse(const QStringList& args) { return ParseCommandLine(QStringList{QStringLiteral("zir-sim")} + args); }

TEST(CommandLine, RefusesBadValues) {
    const QStringList bad[] = {
        {"--fault", "noisy"},          {"--fault-command", "XT,ZZ"}, {"--answer-from", "0"},
        {"--current-bank", "14"},      {"--active-banks", "15"},     {"--clock", "yesterday"},
        {"--clock-bytes", "30 14 25"}, {"--xw-bytes", "zz"},         {"--address", "1.2"},
        {"--pty", "--device", "/dev/null"}, {"--baud", "fast"},      {"stray"},
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
    for (const char* option : {"--fault-command", "--answer-from", "--clock-bytes", "--xw-bytes", "--save-state", "--link", "--speed-check"})
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
    const QByteArray log = (FrameLogLine(at, QStringLiteral("RX"), rx1) + FrameLogLine(at, QStringLiteral("TX"), tx) +
                            FrameLogLine(at, QStringLiteral("DROP"), "\x01") + FrameLogLine(at, QStringLiteral("RX"), rx2))
                               .toUtf8();
    EXPECT_EQ(FramesInLog(log, QStringLiteral("RX")), (QList<QByteArray>{rx1, rx2}));
    EXPECT_EQ(FramesInLog(log, QStringLiteral("TX")), (QList<QByteArray>{tx}));
}

} // namespace

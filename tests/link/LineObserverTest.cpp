// The line events of the request exchange on a virtual clock (the whole
// schedule without waiting), their text lines and the counters over them.

#include <gtest/gtest.h>

#include "link/Exchange.h"
#include "link/LineObserver.h"
#include "link/ZebusModTransport.h"
#include "support/ClockFrames.h"
#include "support/FakeByteChannel.h"
#include "support/RecordingLineObserver.h"
#include "support/RecordingStatus.h"
#include "support/TestExchangeHost.h"

namespace zir {
namespace {

using test::EscapeHeldDuring;
using test::FakeByteChannel;
using test::RecordingLineObserver;
using test::RecordingStatus;
using test::TestExchangeHost;
using test::VirtualClock;

const QByteArray kRequest = test::ClockRequestFrame();
const QByteArray kReply = test::ClockReplyFrame(QByteArray::fromHex("3014251207434300aa"));

QByteArray Spoiled(QByteArray frame, int index) {
    frame[index] = static_cast<char>(frame[index] ^ 0x5A);
    return frame;
}

LineEvent Sent(int attempt, const QByteArray& bytes, bool written = true) {
    LineEvent e;
    e.kind = LineEvent::Kind::Sent;
    e.attempt = attempt;
    e.bytes = bytes;
    e.written = written;
    return e;
}

LineEvent Read(const QByteArray& bytes) {
    LineEvent e;
    e.kind = LineEvent::Kind::Read;
    e.attempt = 1;
    e.bytes = bytes;
    e.check = CheckFrame(bytes);
    return e;
}

LineEvent End(int attempt, RequestOutcome outcome, std::int64_t durationMs, const QString& message = {}) {
    LineEvent e;
    e.kind = LineEvent::Kind::RequestEnd;
    e.attempt = attempt;
    e.outcome = outcome;
    e.durationMs = durationMs;
    e.message = message;
    return e;
}

// --- the line formatter

TEST(FormatLineEvent, OneLinePerEvent) {
    const QTime at(14, 30, 0, 120);
    struct Case {
        const char* name;
        LineEvent event;
        QString line;
    };
    const Case cases[] = {
        {"clock request", Sent(1, kRequest),
         "14:30:00.120  TX  #1  20 B  FF FF FF 01 01 01 06 02 02 00 4F 46 74 80 58 54 54 58 00 00"
         "  |..........OFt.XTTX..|"},
        {"frame not written whole", Sent(3, QByteArray::fromHex("4142"), false),
         "14:30:00.120  TX  #3  2 B  41 42  |AB|  write incomplete"},
        {"accepted reply", Read(kReply),
         "14:30:00.120  RX  27 B  accepted  01 01 01 FF FF FF 06 00 09 00 " + HexText(kReply.mid(10, 4)) +
             " 30 14 25 12 07 43 43 00 AA " + HexText(kReply.last(4)) + "  |" + AsciiText(kReply) + "|"},
        {"silent read", Read({}), "14:30:00.120  RX  0 B  no reply"},
        {"short packet", Read(kReply.left(8)),
         "14:30:00.120  RX  8 B  packet error  01 01 01 FF FF FF 06 00  |........|"},
        {"header checksum", Read(Spoiled(kReply, 10)),
         "14:30:00.120  RX  27 B  rejected: header checksum  " + HexText(Spoiled(kReply, 10)) + "  |" +
             AsciiText(Spoiled(kReply, 10)) + "|"},
        {"length", Read(kReply + "zzz"),
         "14:30:00.120  RX  30 B  rejected: length  " + HexText(kReply) + " 7A 7A 7A  |" + AsciiText(kReply) + "zzz|"},
        {"frame among stray bytes",
         [] {
             LineEvent e = Read("zz" + kReply + "z");
             e.check = FrameCheck{FrameVerdict::Accepted, RejectReason::None};
             e.strayBytes = 3;
             return e;
         }(),
         "14:30:00.120  RX  30 B  accepted, 3 stray bytes left out  7A 7A " + HexText(kReply) + " 7A  |zz" +
             AsciiText(kReply) + "z|"},
        {"data checksum", Read(Spoiled(kReply, 26)),
         "14:30:00.120  RX  27 B  rejected: data checksum  " + HexText(Spoiled(kReply, 26)) + "  |" +
             AsciiText(Spoiled(kReply, 26)) + "|"},
        {"reply at the first attempt", End(1, RequestOutcome::Reply, 31), "14:30:00.120  END  #1  reply  31 ms"},
        {"no answer", End(6, RequestOutcome::NoAnswer, 7014), "14:30:00.120  END  #6  no answer  7014 ms"},
        {"cancelled", End(2, RequestOutcome::Cancelled, 1002, "Canceled"),
         "14:30:00.120  END  #2  cancelled  1002 ms  Canceled"},
        {"port that did not open", End(0, RequestOutcome::Error, 0, "COM-port 3 can't be opened: busy"),
         "14:30:00.120  END  error  0 ms  COM-port 3 can't be opened: busy"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatLineEvent(c.event, at), c.line) << c.name;
}

TEST(FormatLineEvent, ByteColumns) {
    const QByteArray every = QByteArray::fromHex("001f207e7f80ff41");
    EXPECT_EQ(HexText(every), "00 1F 20 7E 7F 80 FF 41");
    EXPECT_EQ(AsciiText(every), ".. ~...A");
    EXPECT_EQ(HexText({}), "");
    EXPECT_EQ(FormatLineEvent(Read({}), QTime()), "--:--:--.---  RX  0 B  no reply");
    EXPECT_EQ(FormatLineEvent(Read({}), QTime(0, 0)), "00:00:00.000  RX  0 B  no reply");
}

// --- the counters

QString CountersText(const LineCounters& c) {
    const auto mean = c.MeanReplyTimeMs();
    return QStringLiteral(
               "req %1 first %2 retried %3 none %4 cancelled %5 errors %6 | sent %7 accepted %8 silent %9 "
               "packet %10 header %11 length %12 data %13 | mean %14 max %15")
        .arg(c.requests)
        .arg(c.firstAttempt)
        .arg(c.retried)
        .arg(c.notAnswered)
        .arg(c.cancelled)
        .arg(c.errors)
        .arg(c.framesSent)
        .arg(c.accepted)
        .arg(c.noReply)
        .arg(c.packetErrors)
        .arg(c.rejectedHeader)
        .arg(c.rejectedLength)
        .arg(c.rejectedData)
        .arg(mean ? QString::number(*mean) : QStringLiteral("-"))
        .arg(c.replyTimeMaxMs);
}

TEST(LineCounters, CountWhatTheEventsSay) {
    struct Case {
        const char* name;
        QList<LineEvent> events;
        QString counters;
    };
    const Case cases[] = {
        {"nothing yet",
         {},
         "req 0 first 0 retried 0 none 0 cancelled 0 errors 0 | sent 0 accepted 0 silent 0 packet 0 header 0 "
         "length 0 data 0 | mean - max 0"},
        {"prompt reply",
         {Sent(1, kRequest), Read(kReply), End(1, RequestOutcome::Reply, 30)},
         "req 1 first 1 retried 0 none 0 cancelled 0 errors 0 | sent 1 accepted 1 silent 0 packet 0 header 0 "
         "length 0 data 0 | mean 30 max 30"},
        {"two replies: mean rounded, max",
         {End(1, RequestOutcome::Reply, 30), End(2, RequestOutcome::Reply, 561)},
         "req 2 first 1 retried 1 none 0 cancelled 0 errors 0 | sent 0 accepted 0 silent 0 packet 0 header 0 "
         "length 0 data 0 | mean 296 max 561"},
        {"every rejection has its own count",
         {Read(Spoiled(kReply, 10)), Read(kReply + "z"), Read(Spoiled(kReply, 26)), Read(Spoiled(kReply, 26)),
          Read(kReply.left(8)), Read({})},
         "req 0 first 0 retried 0 none 0 cancelled 0 errors 0 | sent 0 accepted 0 silent 1 packet 1 header 1 "
         "length 1 data 2 | mean - max 0"},
        {"requests without a reply take no reply time",
         {End(6, RequestOutcome::NoAnswer, 7014), End(2, RequestOutcome::Cancelled, 900),
          End(0, RequestOutcome::Error, 0, "busy")},
         "req 3 first 0 retried 0 none 1 cancelled 1 errors 1 | sent 0 accepted 0 silent 0 packet 0 header 0 "
         "length 0 data 0 | mean - max 0"},
    };
    for (const Case& c : cases) {
        LineCounters counters;
        for (const LineEvent& e : c.events) counters.Add(e);
        EXPECT_EQ(CountersText(counters), c.counters) << c.name;
    }
}

// --- the exchange's events

struct Rig {
    VirtualClock clock;
    FakeByteChannel port{clock};
    TestExchangeHost host;
    RecordingStatus status;
    TExchange exchange{port, host, status, clock};
    RecordingLineObserver observer;

    Rig() { exchange.SetObserver(&observer); }
    // What arrives after each request: `answers[n-1]` for request n (chunks
    // at ms after the send); requests beyond the list are answered well.
    void Script(QList<QList<std::pair<QByteArray, std::int64_t>>> answers) {
        port.onSend = [this, answers](int number, const QByteArray&) {
            if (number <= answers.size()) {
                for (const auto& [bytes, at] : answers[number - 1]) port.FeedAfter(bytes, at);
            } else {
                port.FeedAfter(kReply, 30);
            }
        };
    }
};

struct EventCase {
    const char* name;
    QList<QList<std::pair<QByteArray, std::int64_t>>> answers;
    QStringList digests;
    QList<std::int64_t> times; // of every event, virtual ms
};

class ExchangeEvents : public ::testing::TestWithParam<EventCase> {};

TEST_P(ExchangeEvents, ReportWhatHappenedOnTheLine) {
    const EventCase& c = GetParam();
    Rig rig;
    rig.Script(c.answers);

    const QByteArray reply = rig.exchange.Request(kRequest);

    EXPECT_EQ(rig.observer.Digests(), c.digests);
    QList<std::int64_t> times;
    for (const LineEvent& e : rig.observer.events) times << e.timeMs;
    EXPECT_EQ(times, c.times);
    // The frames reported are the frames sent, at the moments they went.
    const QList<LineEvent> sent = rig.observer.OfKind(LineEvent::Kind::Sent);
    ASSERT_EQ(sent.size(), rig.port.sent.size());
    for (qsizetype i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].bytes, rig.port.sent[i]);
        EXPECT_EQ(sent[i].timeMs, rig.port.sentAtMs[i]);
        EXPECT_TRUE(sent[i].written);
    }
    const LineEvent& end = rig.observer.events.last();
    EXPECT_EQ(end.bytes, reply);
    EXPECT_EQ(end.durationMs, rig.clock.now);
}

const QStringList kSilentAttempt = {"RX 0 B no reply", "RX 0 B no reply"};

QStringList NeverAnswered() {
    QStringList digests;
    for (int attempt = 1; attempt <= 5; ++attempt)
        digests << QStringLiteral("TX #%1 20 B").arg(attempt) << kSilentAttempt;
    digests << "TX #6 20 B" << kSilentAttempt << kSilentAttempt << "END #6 no answer";
    return digests;
}

QList<std::int64_t> NeverAnsweredTimes() {
    QList<std::int64_t> times;
    for (std::int64_t start = 0; start < 5010; start += 1002) times << start << start + 501 << start + 1002;
    times << 5010 << 5511 << 6012 << 6513 << 7014 << 7014;
    return times;
}

const QList<std::pair<QByteArray, std::int64_t>> kNothing = {};

// A silent read lasts 501 ms; a whole frame ends its read at once.
INSTANTIATE_TEST_SUITE_P(
    Exchange, ExchangeEvents,
    ::testing::Values(EventCase{"prompt_reply", {}, {"TX #1 20 B", "RX 27 B accepted", "END #1 reply"}, {0, 30, 30}},
                      EventCase{"never_answered",
                                {kNothing, kNothing, kNothing, kNothing, kNothing, kNothing},
                                NeverAnswered(),
                                NeverAnsweredTimes()},
                      EventCase{"third_answered",
                                {kNothing, kNothing},
                                {"TX #1 20 B", kSilentAttempt[0], kSilentAttempt[1], "TX #2 20 B", kSilentAttempt[0],
                                 kSilentAttempt[1], "TX #3 20 B", "RX 27 B accepted", "END #3 reply"},
                                {0, 501, 1002, 1002, 1503, 2004, 2004, 2034, 2034}},
                      EventCase{"short_packet_ends_the_attempt",
                                {{{kReply.left(8), 30}}},
                                {"TX #1 20 B", "RX 8 B packet error", "TX #2 20 B", "RX 27 B accepted", "END #2 reply"},
                                {0, 531, 531, 561, 561}},
                      EventCase{"bad_header_then_good_in_the_same_attempt",
                                {{{Spoiled(kReply, 10), 30}, {kReply, 700}}},
                                {"TX #1 20 B", "RX 27 B rejected: header checksum", "RX 27 B accepted", "END #1 reply"},
                                {0, 531, 700, 700}},
                      // The whole frame among the bytes is the reply; the read ends with it.
                      EventCase{"trailing_bytes",
                                {{{kReply + "zzz", 30}}},
                                {"TX #1 20 B", "RX 30 B accepted, 3 stray", "END #1 reply"},
                                {0, 30, 30}},
                      EventCase{"leftover_before_the_reply",
                                {{{"zz" + kReply, 30}}},
                                {"TX #1 20 B", "RX 29 B accepted, 2 stray", "END #1 reply"},
                                {0, 30, 30}},
                      EventCase{"bad_data_checksum",
                                {{{Spoiled(kReply, 26), 30}}},
                                {"TX #1 20 B", "RX 27 B rejected: data checksum", "RX 0 B no reply", "TX #2 20 B",
                                 "RX 27 B accepted", "END #2 reply"},
                                {0, 531, 1032, 1032, 1062, 1062}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ExchangeEvents, CancelEndsTheRequestAtTheAttemptThatSawEscape) {
    Rig rig;
    rig.Script({});
    rig.host.escape = EscapeHeldDuring(rig.clock, {{30, 100000}}); // attempt 1 got its reply at 30 ms

    EXPECT_THROW(rig.exchange.Request(kRequest), EProtocolCancel);

    EXPECT_EQ(rig.observer.Digests(), QStringList({"TX #1 20 B", "RX 27 B accepted", "END #2 cancelled"}));
    EXPECT_EQ(rig.observer.events.last().message, "Canceled");
    EXPECT_EQ(rig.observer.events.last().durationMs, 30);
    EXPECT_TRUE(rig.observer.events.last().bytes.isEmpty());
}

TEST(ExchangeEvents, FailuresEndTheRequestWithTheirMessage) {
    struct Case {
        const char* name;
        std::function<void(Rig&)> arrange;
        QStringList digests;
        QString message;
        std::int64_t durationMs;
    };
    const Case cases[] = {
        {"port that does not open",
         [](Rig& r) {
             r.port.openFailure = "/dev/ttyS2: busy";
             r.host.portNumber = 3;
         },
         {"END #0 error"},
         "COM-port 3 can't be opened: /dev/ttyS2: busy",
         0},
        {"no speed", [](Rig& r) { r.host.baud = 0; }, {"END #0 error"}, "'0' is not a valid baud rate", 0},
        {"device gone in attempt 2",
         [](Rig& r) { r.port.goneAtMs = 1500; },
         {"TX #1 20 B", "RX 0 B no reply", "RX 0 B no reply", "TX #2 20 B", "END #2 error"},
         "COM-port 1 stopped working: /dev/fake: the device has gone",
         1500},
    };
    for (const Case& c : cases) {
        Rig rig;
        c.arrange(rig);
        EXPECT_ANY_THROW(rig.exchange.Request(kRequest)) << c.name;
        EXPECT_EQ(rig.observer.Digests(), c.digests) << c.name;
        ASSERT_FALSE(rig.observer.events.isEmpty()) << c.name;
        EXPECT_EQ(rig.observer.events.last().message, c.message) << c.name;
        EXPECT_EQ(rig.observer.events.last().durationMs, c.durationMs) << c.name;
    }
}

TEST(ExchangeEvents, EachRequestCountsItsAttemptsAfresh) {
    Rig rig;
    rig.Script({kNothing});
    EXPECT_EQ(rig.exchange.Request(kRequest), kReply);
    rig.observer.events.clear();
    rig.port.onSend = [&](int, const QByteArray&) { rig.port.FeedAfter(kReply, 30); };

    EXPECT_EQ(rig.exchange.Request(kRequest), kReply);
    EXPECT_EQ(rig.observer.Digests(), QStringList({"TX #1 20 B", "RX 27 B accepted", "END #1 reply"}));
    EXPECT_EQ(rig.observer.events.last().durationMs, 30);
}

TEST(ExchangeEvents, DetachedObserverHearsNothingMore) {
    Rig rig;
    rig.Script({});
    rig.exchange.Request(kRequest);
    const qsizetype heard = rig.observer.events.size();
    rig.exchange.SetObserver(nullptr);
    EXPECT_EQ(rig.exchange.Request(kRequest), kReply);
    EXPECT_EQ(rig.observer.events.size(), heard);
}

} // namespace
} // namespace zir

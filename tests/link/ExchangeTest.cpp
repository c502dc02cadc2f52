// The request exchange on a virtual clock: the six-attempt schedule, the early
// end of a reply, what is absorbed and what ends a command.

#include <gtest/gtest.h>

#include "link/Exchange.h"
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
using test::RecordingStatus;
using test::TestExchangeHost;
using test::VirtualClock;

const QByteArray kRequest = test::ClockRequestFrame();
// A 27-byte clock reply from the instrument.
const QByteArray kReply = test::ClockReplyFrame(QByteArray::fromHex("3014251207434300aa"));

QByteArray WithBadHeaderChecksum(QByteArray frame) {
    frame[10] = static_cast<char>(frame[10] ^ 0x01);
    return frame;
}

struct Rig {
    VirtualClock clock;
    FakeByteChannel port{clock};
    TestExchangeHost host;
    RecordingStatus status;
    TExchange exchange{port, host, status, clock};

    // The instrument answers request `number` with `bytes` after `delayMs`.
    void Answer(std::function<std::optional<QByteArray>(int number)> script, std::int64_t delayMs = 30) {
        port.onSend = [this, script, delayMs](int number, const QByteArray&) {
            if (auto bytes = script(number)) port.FeedAfter(*bytes, delayMs);
        };
    }
};

struct ScheduleCase {
    const char* name;
    int answerFrom; // first request answered; 0 = never
    bool pureSilence;
    int expectedSent;
    bool expectReply;
    std::int64_t expectedMs; // virtual time the command took
};

class Schedule : public ::testing::TestWithParam<ScheduleCase> {};

TEST_P(Schedule, SendsAndWaitsAsScheduled) {
    const ScheduleCase& c = GetParam();
    Rig rig;
    rig.exchange.SetPureSilenceRule(c.pureSilence);
    QList<std::int64_t> requestSentAtMs;
    rig.host.requestSent = [&] { requestSentAtMs.append(rig.clock.now); };
    rig.Answer([&](int n) -> std::optional<QByteArray> {
        if (c.answerFrom != 0 && n >= c.answerFrom) return kReply;
        return std::nullopt;
    });

    const QByteArray reply = rig.exchange.Request(kRequest);

    EXPECT_EQ(rig.port.sent.size(), c.expectedSent);
    for (const QByteArray& frame : rig.port.sent) EXPECT_EQ(frame, kRequest);
    // The host hears of each request once it is on the line, before any read.
    EXPECT_EQ(requestSentAtMs, rig.port.sentAtMs);
    EXPECT_EQ(reply, c.expectReply ? kReply : QByteArray());
    EXPECT_EQ(rig.clock.now, c.expectedMs);
    EXPECT_FALSE(rig.port.IsOpen());
}

// A silent read lasts 501 ms, so a 1 s window ends after two reads (1002 ms)
// and the 2 s window after four (2004 ms).
INSTANTIATE_TEST_SUITE_P(Exchange, Schedule,
                         ::testing::Values(ScheduleCase{"first_answered_ends_on_whole_frame", 1, false, 1, true, 30},
                                           ScheduleCase{"first_answered_waits_silence", 1, true, 1, true, 30 + 501},
                                           ScheduleCase{"third_answered", 3, false, 3, true, 2 * 1002 + 30},
                                           ScheduleCase{"sixth_answered", 6, false, 6, true, 5 * 1002 + 30},
                                           ScheduleCase{"never_answered", 0, false, 6, false, 5 * 1002 + 2004},
                                           ScheduleCase{"never_answered_silence_rule", 0, true, 6, false,
                                                        5 * 1002 + 2004}),
                         [](const auto& test) { return std::string(test.param.name); });

struct ReplyCase {
    const char* name;
    QList<std::pair<QByteArray, std::int64_t>> firstAnswer; // bytes at ms after the first send
    int expectedSent;
    QByteArray expectedReply;
    std::int64_t expectedMs;
};

class Replies : public ::testing::TestWithParam<ReplyCase> {};

// What the first request brings back; later requests are answered properly.
TEST_P(Replies, AreJudgedAsWholeReads) {
    const ReplyCase& c = GetParam();
    Rig rig;
    rig.port.onSend = [&](int number, const QByteArray&) {
        if (number == 1)
            for (const auto& [bytes, at] : c.firstAnswer) rig.port.FeedAfter(bytes, at);
        else
            rig.port.FeedAfter(kReply, 30);
    };

    const QByteArray reply = rig.exchange.Request(kRequest);

    EXPECT_EQ(rig.port.sent.size(), c.expectedSent);
    EXPECT_EQ(reply, c.expectedReply);
    EXPECT_EQ(rig.clock.now, c.expectedMs);
    EXPECT_TRUE(rig.status.history.isEmpty()) << "absorbed failures write no status";
}

INSTANTIATE_TEST_SUITE_P(
    Exchange, Replies,
    ::testing::Values(
        // 8 bytes: "Paket's error" ends the attempt at once, the frame goes again.
        ReplyCase{"short_packet_resends", {{kReply.left(8), 30}}, 2, kReply, 531 + 30},
        // A bad header is dropped and reading goes on in the same attempt.
        ReplyCase{"bad_header_then_good_in_same_attempt",
                  {{WithBadHeaderChecksum(kReply), 30}, {kReply, 700}},
                  1,
                  kReply,
                  700},
        // A frame that arrives in pieces ends the read when its last piece is in.
        ReplyCase{
            "frame_in_pieces", {{kReply.left(5), 30}, {kReply.mid(5, 10), 200}, {kReply.mid(15), 400}}, 1, kReply, 400},
        // Stray bytes behind a frame or before it (left over from an earlier
        // reply) leave the whole frame the reply, and the read ends with it.
        ReplyCase{"trailing_bytes_left_out", {{kReply + "zz", 30}}, 1, kReply, 30},
        ReplyCase{"stray_bytes_before_the_frame", {{QByteArray::fromHex("0055aa") + kReply, 30}}, 1, kReply, 30},
        ReplyCase{"stray_bytes_first_the_frame_later",
                  {{QByteArray::fromHex("0055aa"), 2}, {kReply.left(10), 20}, {kReply.mid(10), 30}},
                  1,
                  kReply,
                  30},
        // Stray bytes before a broken frame: nothing whole, the attempt waits out its window.
        ReplyCase{"stray_bytes_and_a_broken_frame",
                  {{QByteArray::fromHex("0055aa") + WithBadHeaderChecksum(kReply), 30}},
                  2,
                  kReply,
                  1032 + 30},
        // An answer to the first request that comes after its window (1002 ms)
        // is read by the second attempt, ahead of the second answer (1032 ms).
        ReplyCase{"late_answer_read_by_next_attempt", {{kReply, 1010}}, 2, kReply, 1010}),
    [](const auto& test) { return std::string(test.param.name); });

// What waits in the input when the first frame goes out is left over from
// an earlier reply and is dropped; at a later attempt it may be the late
// answer to this request and is kept.
TEST(Exchange, InputWaitingBeforeTheFirstSendIsDropped) {
    const QByteArray stray = QByteArray::fromHex("0055aa");
    Rig rig;
    rig.port.onOpen = [&] { rig.port.Feed(stray, rig.clock.now); }; // arrived after the open's flush
    rig.Answer([](int) { return kReply; });
    EXPECT_EQ(rig.exchange.Request(kRequest), kReply);
    EXPECT_EQ(rig.port.discarded, QList<QByteArray>{stray});
    EXPECT_EQ(rig.port.sent.size(), 1);

    Rig late;
    late.port.onSend = [&](int number, const QByteArray&) {
        if (number == 1) late.port.FeedAfter(kReply, 1010); // after the first window
    };
    EXPECT_EQ(late.exchange.Request(kRequest), kReply);
    EXPECT_EQ(late.port.sent.size(), 2);
    EXPECT_EQ(late.port.discards, 1);
}

TEST(Exchange, HostHearsOfTheRequestAfterItsBytesAndBeforeItsReply) {
    Rig rig;
    test::RecordingLineObserver observer;
    rig.exchange.SetObserver(&observer);
    rig.Answer([](int) { return kReply; });
    qsizetype sentThen = -1;
    bool replyReadThen = true;
    QStringList observedThen;
    rig.host.requestSent = [&] {
        sentThen = rig.port.sent.size();
        replyReadThen = rig.clock.now >= 30;
        observedThen = observer.Digests();
    };
    EXPECT_EQ(rig.exchange.Request(kRequest), kReply);
    EXPECT_EQ(sentThen, 1);
    EXPECT_FALSE(replyReadThen);
    // The line monitor has the request by then, so a paint at that moment shows it.
    EXPECT_EQ(observedThen, QStringList{QStringLiteral("TX #1 %1 B").arg(kRequest.size())});
}

TEST(Exchange, EscapeHeldAtAttemptStartCancelsEvenAfterAReply) {
    Rig rig;
    rig.Answer([](int) { return kReply; });
    // Held when attempt 2 starts (attempt 1 got its reply at 30 ms).
    rig.host.escape = EscapeHeldDuring(rig.clock, {{30, 100000}});

    EXPECT_THROW(
        try { rig.exchange.Request(kRequest); } catch (const EProtocolCancel& e) {
            EXPECT_EQ(e.message(), "Canceled");
            throw;
        },
        EProtocolCancel);
    EXPECT_EQ(rig.port.sent.size(), 1);
    EXPECT_EQ(rig.status.history, QStringList{"Canceled"});
    EXPECT_FALSE(rig.port.IsOpen()) << "a cancelled exchange closes the port";
    EXPECT_EQ(rig.host.escapeProbes, 2);
}

TEST(Exchange, EscapePressedAndReleasedDuringAReadDoesNotCancel) {
    Rig rig;
    rig.Answer([](int) { return kReply; }, 700);
    rig.host.escape = EscapeHeldDuring(rig.clock, {{100, 400}});

    EXPECT_EQ(rig.exchange.Request(kRequest), kReply);
    EXPECT_EQ(rig.host.escapeProbes, 6);
}

TEST(Exchange, NextCommandAfterCancelOpensTheNewPort) {
    Rig rig;
    rig.host.escape = EscapeHeldDuring(rig.clock, {{0, 1}});
    EXPECT_THROW(rig.exchange.Request(kRequest), EProtocolCancel);
    EXPECT_EQ(rig.port.sent.size(), 0);

    rig.clock.now = 10;
    rig.host.portNumber = 7;
    rig.Answer([](int) { return kReply; });
    EXPECT_EQ(rig.exchange.Request(kRequest), kReply);
    EXPECT_EQ(rig.port.portNumber, 7);
    EXPECT_EQ(rig.port.opens, 2);
    EXPECT_EQ(rig.port.closes, 2);
}

TEST(Exchange, NoRateIsAConversionErrorAndNothingIsSent) {
    Rig rig;
    rig.host.baud = 0;
    rig.host.portNumber = 4;
    try {
        rig.exchange.Request(kRequest);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "'0' is not a valid baud rate");
    }
    EXPECT_EQ(rig.port.opens, 0);
    EXPECT_TRUE(rig.port.sent.isEmpty());
    EXPECT_EQ(rig.port.portNumber, 4) << "the port number stays set";
}

TEST(Exchange, PortThatCannotBeOpenedIsReportedAtOnce) {
    Rig rig;
    rig.host.portNumber = 3;
    rig.port.openFailure = "/dev/ttyS2: cannot be opened (No such file or directory)";
    try {
        rig.exchange.Request(kRequest);
        FAIL() << "no error";
    } catch (const EPortError& e) {
        EXPECT_EQ(e.message(), "COM-port 3 can't be opened: /dev/ttyS2: cannot be opened (No such file or directory)");
    }
    EXPECT_EQ(rig.clock.now, 0);
    EXPECT_TRUE(rig.port.sent.isEmpty());
}

TEST(Exchange, PortNumbersOutsideTheFieldAreRefused) {
    for (const int n : {0, -1, 257}) {
        Rig rig;
        rig.host.portNumber = n;
        EXPECT_THROW(rig.exchange.Request(kRequest), EPortError) << n;
        EXPECT_EQ(rig.port.opens, 0) << n;
    }
}

TEST(Exchange, DeviceGoneDuringTheExchangeEndsTheCommand) {
    Rig rig;
    rig.port.goneAtMs = 1500; // during attempt 2; nothing answers
    try {
        rig.exchange.Request(kRequest);
        FAIL() << "no error";
    } catch (const EPortError& e) {
        EXPECT_TRUE(e.message().startsWith("COM-port 1 stopped working: ")) << e.what();
        EXPECT_TRUE(e.message().contains("gone")) << e.what();
    }
    EXPECT_EQ(rig.port.sent.size(), 2);
    EXPECT_EQ(rig.clock.now, 1500);
    EXPECT_FALSE(rig.port.IsOpen());
}

TEST(Exchange, SpeedAndPortComeFromTheHostAtEachOpen) {
    Rig rig;
    rig.Answer([](int) { return kReply; });
    for (const auto& [port, speed] : {std::pair{1, 9600}, std::pair{256, 1200}}) {
        rig.host.portNumber = port;
        rig.host.baud = speed;
        ASSERT_EQ(rig.exchange.Request(kRequest), kReply);
        EXPECT_EQ(rig.port.portNumber, port);
        EXPECT_EQ(rig.port.baud, static_cast<std::uint32_t>(speed));
        EXPECT_FALSE(rig.port.IsOpen());
    }
}

} // namespace
} // namespace zir

// The exchange's line events against zir-sim and each of its faults, over
// the program's own serial port on a pseudo-terminal: what the observer
// reports is what went over the line. Each fault spoils one reply (the
// schedule then goes on and the second attempt is answered), so no case
// waits out all six windows; the whole schedule runs on a virtual clock in
// tests/link/LineObserverTest.cpp.

#include <gtest/gtest.h>

#include "link/ZebusModTransport.h"
#include "support/ClockFrames.h"
#include "support/RecordingLineObserver.h"
#include "support/SimLink.h"

namespace zir {
namespace {

const QByteArray kClockRequest = test::ClockRequestFrame();

struct FaultCase {
    const char* name;
    QStringList simArgs;
    // The events, reads that brought nothing left out.
    QStringList digests;
    // Reads that brought nothing: at least one between the first two frames.
    bool silenceAfterFirstFrame;
};

class LineEventsWithSim : public ::testing::TestWithParam<FaultCase> {};

TEST_P(LineEventsWithSim, MatchWhatWentOverTheLine) {
    const FaultCase& c = GetParam();
    test::SimLink link;
    SimProcess sim(c.simArgs);
    link.Connect(sim);
    test::RecordingLineObserver observer;
    link.exchange.SetObserver(&observer);

    const QByteArray reply = link.exchange.Request(kClockRequest);

    EXPECT_EQ(observer.DigestsWithoutSilence(), c.digests);

    // Every frame reported sent reached the simulator, in order ...
    QList<QByteArray> sent;
    for (const LineEvent& e : observer.OfKind(LineEvent::Kind::Sent)) sent << e.bytes;
    EXPECT_EQ(sent, sim.ReceivedFrames());
    // ... and the reads brought exactly what the simulator sent.
    QByteArray read;
    for (const LineEvent& e : observer.OfKind(LineEvent::Kind::Read)) read += e.bytes;
    QByteArray answered;
    for (const QByteArray& frame : sim.SentFrames()) answered += frame;
    EXPECT_EQ(read.toHex(' '), answered.toHex(' '));

    const LineEvent& end = observer.events.last();
    ASSERT_EQ(end.kind, LineEvent::Kind::RequestEnd);
    EXPECT_EQ(end.bytes, reply);
    EXPECT_EQ(end.bytes, sim.SentFrames().last());
    EXPECT_GE(end.durationMs, 0);

    // Silent reads sit where the line was silent: behind a frame that got no
    // answer, never behind the reply that ended the request.
    bool silenceBeforeSecondFrame = false;
    int framesSeen = 0;
    for (const LineEvent& e : observer.events) {
        if (e.kind == LineEvent::Kind::Sent) ++framesSeen;
        if (e.kind == LineEvent::Kind::Read && e.bytes.isEmpty() && framesSeen == 1) silenceBeforeSecondFrame = true;
    }
    EXPECT_EQ(silenceBeforeSecondFrame, c.silenceAfterFirstFrame);
    const QList<LineEvent> reads = observer.OfKind(LineEvent::Kind::Read);
    EXPECT_EQ(reads.last().check.verdict, FrameVerdict::Accepted);

    // Times run forward and every event of an attempt carries its number.
    for (qsizetype i = 1; i < observer.events.size(); ++i) {
        EXPECT_GE(observer.events[i].timeMs, observer.events[i - 1].timeMs) << i;
        if (observer.events[i].kind == LineEvent::Kind::Read) {
            EXPECT_EQ(observer.events[i].attempt, observer.events[i - 1].attempt) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, LineEventsWithSim,
    ::testing::Values(
        FaultCase{"silent",
                  {"--fault", "silent", "--fault-count", "1"},
                  {"TX #1 20 B", "TX #2 20 B", "RX 27 B accepted", "END #2 reply"},
                  true},
        // The short packet ends its attempt at once: no silent read follows it.
        FaultCase{"short",
                  {"--fault", "short", "--fault-count", "1"},
                  {"TX #1 20 B", "RX 8 B packet error", "TX #2 20 B", "RX 27 B accepted", "END #2 reply"},
                  false},
        FaultCase{"bad_header",
                  {"--fault", "bad-header", "--fault-count", "1"},
                  {"TX #1 20 B", "RX 27 B rejected: header checksum", "TX #2 20 B", "RX 27 B accepted", "END #2 reply"},
                  true},
        FaultCase{"bad_data",
                  {"--fault", "bad-data", "--fault-count", "1"},
                  {"TX #1 20 B", "RX 27 B rejected: data checksum", "TX #2 20 B", "RX 27 B accepted", "END #2 reply"},
                  true},
        // A header-only frame is a whole valid frame: the exchange takes it.
        FaultCase{
            "wrong_length", {"--fault", "wrong-length"}, {"TX #1 20 B", "RX 14 B accepted", "END #1 reply"}, false},
        FaultCase{"answer_from_3",
                  {"--answer-from", "3"},
                  {"TX #1 20 B", "TX #2 20 B", "TX #3 20 B", "RX 27 B accepted", "END #3 reply"},
                  true}),
    [](const auto& test) { return std::string(test.param.name); });

// Three bytes behind a whole frame: the read ends as soon as the frame is
// whole (the simulator paces its bytes at the baud rate), so it brings the
// frame and whatever of the three bytes had come by then; the frame among
// them is the reply at the first attempt, and the rest is dropped before the
// next request is sent.
TEST(LineEventsWithSim, TrailingBytesAreLeftOutOfTheFirstReply) {
    test::SimLink link;
    SimProcess sim({"--fault", "trailing", "--fault-count", "1"});
    link.Connect(sim);
    test::RecordingLineObserver observer;
    link.exchange.SetObserver(&observer);

    const QByteArray reply = link.exchange.Request(kClockRequest);

    const QStringList digests = observer.DigestsWithoutSilence();
    ASSERT_EQ(digests.size(), 3);
    EXPECT_EQ(digests[0], "TX #1 20 B");
    const QList<LineEvent> reads = observer.OfKind(LineEvent::Kind::Read);
    ASSERT_FALSE(reads.isEmpty());
    const LineEvent& read = reads.last();
    EXPECT_EQ(read.check.verdict, FrameVerdict::Accepted);
    EXPECT_EQ(read.bytes.size(), 27 + read.strayBytes);
    EXPECT_LE(read.strayBytes, 3);
    EXPECT_EQ(read.bytes.left(27), sim.SentFrames().value(0).left(27));
    EXPECT_EQ(digests[2], "END #1 reply");
    EXPECT_EQ(observer.events.last().bytes, reply);
    EXPECT_EQ(reply, sim.SentFrames().value(0).left(27));
}

} // namespace
} // namespace zir

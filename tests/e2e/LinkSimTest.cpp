// The program's link (TExchange over the termios port) against zir-sim on a
// pseudo-terminal, found as com1 in a private config folder.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "link/ZebusModTransport.h"
#include "support/ClockFrames.h"
#include "support/RecordingLineObserver.h"
#include "support/SimLink.h"

namespace zir {
namespace {

const QByteArray kClockRequest = test::ClockRequestFrame();

class LinkWithSim : public ::testing::Test {
protected:
    std::unique_ptr<SimProcess> StartSim(const QStringList& args) {
        auto sim = std::make_unique<SimProcess>(args);
        link_.Connect(*sim);
        return sim;
    }

    test::SimLink link_;
    TCPDrv& port_ = link_.port;
    test::TestExchangeHost& host_ = link_.host;
    TExchange& exchange_ = link_.exchange;
};

struct SimCase {
    const char* name;
    QStringList simArgs;
    int expectedFrames;
};

class SimSchedule : public LinkWithSim, public ::testing::WithParamInterface<SimCase> {};

TEST_P(SimSchedule, ClockReplyAfterTheExpectedNumberOfFrames) {
    const SimCase& c = GetParam();
    auto sim = StartSim(c.simArgs);

    const QByteArray reply = exchange_.Request(kClockRequest);

    EXPECT_EQ(reply.size(), 27);
    EXPECT_EQ(ValidateFrame(reply), FrameVerdict::Accepted);
    EXPECT_EQ(sim->ReceivedFrames().size(), c.expectedFrames);
    EXPECT_FALSE(port_.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Link, SimSchedule,
                         ::testing::Values(SimCase{"prompt", {}, 1},
                                           SimCase{"third_request", {"--answer-from", "3"}, 3},
                                           // The short packet ends attempt 1 at once; attempt 2 is answered well.
                                           SimCase{"short_packet", {"--fault", "short", "--fault-count", "1"}, 2},
                                           // The bad frame is dropped, attempt 1 waits out its window.
                                           SimCase{"bad_header", {"--fault", "bad-header", "--fault-count", "1"}, 2}),
                         [](const auto& test) { return std::string(test.param.name); });

// How long it takes on the wire is measured by the exchange benchmark; here:
// the whole reply ends the first attempt's read, nothing waits for more.
TEST_F(LinkWithSim, GoodExchangeEndsWithTheReplyOfItsFirstAttemptAndPortIsFreeAfterwards) {
    auto sim = StartSim({});
    test::RecordingLineObserver observer;
    exchange_.SetObserver(&observer);
    for (int i = 0; i < 3; ++i) {
        observer.events.clear();
        EXPECT_EQ(exchange_.Request(kClockRequest).size(), 27);
        EXPECT_EQ(observer.DigestsWithoutSilence(), (QStringList{"TX #1 20 B", "RX 27 B accepted", "END #1 reply"}));
        EXPECT_FALSE(port_.IsOpen());
    }
    exchange_.SetObserver(nullptr);
    EXPECT_EQ(sim->ReceivedFrames().size(), 3);
}

TEST_F(LinkWithSim, SimulatorThatStopsEndsTheCommandWithAPortError) {
    auto sim = StartSim({"--fault", "silent"});
    int probes = 0;
    host_.escape = [&] {
        if (++probes == 2) sim->Stop();
        return false;
    };
    try {
        exchange_.Request(kClockRequest);
        FAIL() << "no error";
    } catch (const EPortError& e) {
        EXPECT_TRUE(e.message().startsWith("COM-port 1 stopped working: ")) << e.what();
    }
    EXPECT_EQ(probes, 2) << "ends in the attempt the simulator stopped in, before the schedule runs out";
    EXPECT_FALSE(port_.IsOpen());
}

TEST_F(LinkWithSim, MissingPortIsReportedAtOnce) {
    host_.portNumber = 9; // com9 links to an adapter that is not plugged in
    const QDir config(link_.ConfigPath());
    config.mkpath("zir");
    const QString link = config.filePath("zir/com9");
    const QString target = config.filePath("unplugged-adapter");
    ASSERT_TRUE(QFile::link(target, link));

    try {
        exchange_.Request(kClockRequest);
        FAIL() << "no error";
    } catch (const EPortError& e) {
        EXPECT_EQ(e.message(), "COM-port 9 can't be opened: " + link + " -> " + target +
                                   ": cannot be opened (No such file or directory)");
    }
}

// The one real-time run of the whole schedule: each attempt waits out its
// reply window, as the exchange's own clock shows in the times it reports.
TEST_F(LinkWithSim, SilentInstrumentGetsSixFramesAndAnEmptyReplyAfterEveryReplyWindow) {
    auto sim = StartSim({"--fault", "silent"});
    test::RecordingLineObserver observer;
    exchange_.SetObserver(&observer);

    EXPECT_EQ(exchange_.Request(kClockRequest), QByteArray());
    exchange_.SetObserver(nullptr);

    EXPECT_EQ(sim->ReceivedFrames().size(), 6);
    const QList<LineEvent> sent = observer.OfKind(LineEvent::Kind::Sent);
    const QList<LineEvent> ends = observer.OfKind(LineEvent::Kind::RequestEnd);
    ASSERT_EQ(sent.size(), 6);
    ASSERT_EQ(ends.size(), 1);
    EXPECT_EQ(ends.front().outcome, RequestOutcome::NoAnswer);
    for (qsizetype i = 0; i < sent.size(); ++i) {
        const std::int64_t windowEnd = i + 1 < sent.size() ? sent[i + 1].timeMs : ends.front().timeMs;
        EXPECT_GT(windowEnd - sent[i].timeMs, TExchange::kAttemptWindowsMs[i]) << "attempt " << i + 1;
    }
}

} // namespace
} // namespace zir

// The program's link (TExchange over the termios port) against zir-sim on a
// pseudo-terminal, found as com1 in a private config folder.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <chrono>

#include "link/ZebusModTransport.h"
#include "support/SimLink.h"

namespace zir {
namespace {

using Clock = std::chrono::steady_clock;

std::int64_t ElapsedMs(Clock::time_point since)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

const QByteArray kClockRequest = BuildFrame("255.255.255", kHostAddress, kKindRead, kControlRequest, "XT");

class LinkWithSim : public ::testing::Test {
protected:
    std::unique_ptr<SimProcess> StartSim(const QStringList& args)
    {
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

TEST_P(SimSchedule, ClockReplyAfterTheExpectedNumberOfFrames)
{
    const SimCase& c = GetParam();
    auto sim = StartSim(c.simArgs);

    const QByteArray reply = exchange_.Request(kClockRequest);

    EXPECT_EQ(reply.size(), 27);
    EXPECT_EQ(ValidateFrame(reply), FrameVerdict::Accepted);
    EXPECT_EQ(sim->ReceivedFrames().size(), c.expectedFrames);
    EXPECT_FALSE(port_.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Link, SimSchedule, ::testing::Values(
    SimCase{"prompt", {}, 1},
    SimCase{"third_request", {"--answer-from", "3"}, 3},
    // The short packet ends attempt 1 at once; attempt 2 is answered well.
    SimCase{"short_packet", {"--fault", "short", "--fault-count", "1"}, 2},
    // The bad frame is dropped, attempt 1 waits out its window.
    SimCase{"bad_header", {"--fault", "bad-header", "--fault-count", "1"}, 2}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(LinkWithSim, GoodExchangeTakesAboutItsWireTimeAndPortIsFreeAfterwards)
{
    auto sim = StartSim({});
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        EXPECT_EQ(exchange_.Request(kClockRequest).size(), 27);
        // 20 + 27 bytes at 19200 baud are about 25 ms on the wire.
        EXPECT_LT(ElapsedMs(start), 250);
    }
    EXPECT_EQ(sim->ReceivedFrames().size(), 3);
}

TEST_F(LinkWithSim, SimulatorThatStopsEndsTheCommandWithAPortError)
{
    auto sim = StartSim({"--fault", "silent"});
    int probes = 0;
    host_.escape = [&] {
        if (++probes == 2) sim->Stop();
        return false;
    };
    const auto start = Clock::now();
    try {
        exchange_.Request(kClockRequest);
        FAIL() << "no error";
    } catch (const EPortError& e) {
        EXPECT_TRUE(e.message().startsWith("COM-port 1 stopped working: ")) << e.what();
    }
    EXPECT_LT(ElapsedMs(start), 7000) << "ends before the schedule runs out";
    EXPECT_FALSE(port_.IsOpen());
}

TEST_F(LinkWithSim, MissingPortIsReportedAtOnce)
{
    host_.portNumber = 9;   // com9 links to an adapter that is not plugged in
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

// The one real-time run of the whole schedule.
TEST_F(LinkWithSim, SilentInstrumentGetsSixFramesAndAnEmptyReplyAfterSevenSeconds)
{
    auto sim = StartSim({"--fault", "silent"});

    const auto start = Clock::now();
    EXPECT_EQ(exchange_.Request(kClockRequest), QByteArray());
    const auto took = ElapsedMs(start);
    EXPECT_GE(took, 7000);
    EXPECT_EQ(sim->ReceivedFrames().size(), 6);
}

} // namespace
} // namespace zir

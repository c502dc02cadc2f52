// The program's own port and exchange against zir-sim: the two sides of the
// line must agree on framing, timing and the port's life between commands.
#include <gtest/gtest.h>

#include "link/ZebusModTransport.h"
#include "support/SimLink.h"

using namespace zir;

namespace {

class ExchangeWithSim : public ::testing::Test {
protected:
    void SetUp() override { link_.host.portNumber = 4; }

    QByteArray Ask(SimProcess& sim, const QByteArray& data, std::uint8_t kind = kKindRead) {
        link_.Connect(sim);
        return link_.exchange.Request(
            BuildFrame(QStringLiteral("255.255.255"), kHostAddress, kind, kControlRequest, data));
    }

    test::SimLink link_;
};

TEST_F(ExchangeWithSim, EveryCommandGetsItsReplyLengthInOneFrame) {
    SimProcess sim({QStringLiteral("--clock"), QStringLiteral("2007-12-25 14:30")});
    const struct {
        QByteArray data;
        std::uint8_t kind;
        int length;
    } cases[] = {
        {"XT", kKindRead, 27},
        {"XW", kKindRead, 27},
        {"DR1", kKindRead, 30},
        {"DV", kKindRead, 24},
        {"D0720", kKindRead, 30},
        {QByteArray("R1\0A       ", 11), kKindWrite, 14},
        {QByteArray("T1\0\x64\x00\x64\xEC\x64\x0C", 9), kKindWrite, 14},
        {QByteArray("W\0\x12\x34\x07\x02\x01", 7), kKindWrite, 14},
    };
    // That a whole frame ends the read without waiting for silence is timed
    // on the exchange's own clock in the link tests.
    for (const auto& c : cases) {
        const QByteArray reply = Ask(sim, c.data, c.kind);
        EXPECT_EQ(reply.size(), c.length) << c.data.toHex().constData();
    }
    EXPECT_EQ(Ask(sim, QByteArray("R1\0A       ", 11), kKindWrite),
              AcknowledgementFrame(QStringLiteral("255.255.255")));
    EXPECT_EQ(sim.ReceivedFrames().size(), 9) << "one frame a command";
}

TEST_F(ExchangeWithSim, ShortPacketIsAbsorbedAndTheFrameSentAgain) {
    SimProcess sim(
        {QStringLiteral("--fault"), QStringLiteral("short"), QStringLiteral("--fault-count"), QStringLiteral("1")});
    EXPECT_EQ(Ask(sim, "AV").size(), 24);
    EXPECT_EQ(sim.ReceivedFrames().size(), 2);
}

} // namespace

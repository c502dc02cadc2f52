// Bytes left over from an earlier reply never cost a retry: zir-sim sends
// three stray bytes after every reply (--fault trailing), and a run of record
// requests needs exactly one frame per record, paced at 19200 baud (the
// stray bytes still on their way when the next request goes out) and
// unpaced (the stray bytes already waiting when it goes out).

#include <gtest/gtest.h>

#include "link/ZebusModTransport.h"
#include "support/SimLink.h"

namespace zir {
namespace {

struct StrayCase {
    const char* name;
    QStringList simArgs;
};

class StrayBytes : public ::testing::TestWithParam<StrayCase> {};

TEST_P(StrayBytes, EveryRecordTakesOneRequest) {
    constexpr int kRecords = 23;
    test::SimLink link;
    SimProcess sim(QStringList{"--fault", "trailing", "--clock", "2024-05-17 12:00"} + GetParam().simArgs);
    link.Connect(sim);

    int whole = 0;
    for (int minute = 480; minute < 480 + kRecords; ++minute) {
        const QByteArray data = "B" + QByteArray::number(minute).rightJustified(4, '0');
        const QByteArray reply =
            link.exchange.Request(BuildFrame("255.255.255", kHostAddress, kKindRead, kControlRequest, data));
        if (reply.size() == 30 && reply.mid(kFrameHeaderSize, 5) == data) ++whole;
    }
    EXPECT_EQ(whole, kRecords);
    EXPECT_EQ(sim.ReceivedFrames().size(), kRecords);
}

INSTANTIATE_TEST_SUITE_P(Link, StrayBytes,
                         ::testing::Values(StrayCase{"paced", {"--baud", "19200"}},
                                           StrayCase{"unpaced", {"--no-pacing"}}),
                         [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace zir

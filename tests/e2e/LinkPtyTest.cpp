// The request exchange and the termios port together over a real
// pseudo-terminal, with the instrument played in-process.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "link/CPDrv.h"
#include "link/Exchange.h"
#include "PtyInstrument.h"

namespace zir {
namespace {

using test::ElapsedMs;
using test::PtyInstrument;
using Answers = QList<PtyInstrument::Answer>;
using Clock = std::chrono::steady_clock;

const QByteArray kRequest = BuildFrame("255.255.255", kHostAddress, kKindRead, kControlRequest, "XT");
const QByteArray kReply = BuildFrame(kHostAddress, "255.255.255", kKindRead, 0,
                                     QByteArray::fromHex("3014251207434300aa"));

class Host final : public IExchangeHost {
public:
    int portNumber = 1;
    QString speedText = "19200";
    QString status;
    std::function<bool()> escape = [] { return false; };
    int PortNumber() const override { return portNumber; }
    QString SpeedText() const override { return speedText; }
    void SetStatus(const QString& text) override { status = text; }
    bool EscapeHeld() override { return escape(); }
};

// The program's own set-up: CommPort behind a TExchange, the port found as
// com<n> in a private config folder.
class LinkOverPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
        QDir(config_.path()).mkpath("zir");
        ConfigureAsCommPort(port_);
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", savedConfig_); }

    void LinkAsCom(const PtyInstrument& instrument, int n)
    {
        const QString link = config_.filePath("zir/com" + QString::number(n));
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(instrument.Path(), link));
    }

    QTemporaryDir config_;
    QByteArray savedConfig_;
    TCPDrv port_;
    SteadyClock clock_;
    Host host_;
    TExchange exchange_{port_, host_, clock_};
};

TEST_F(LinkOverPty, AnswerInTheFirstWindowCostsOneFrameAndAboutItsWireTime)
{
    PtyInstrument instrument([](int, const QByteArray&) { return Answers{{kReply}}; });
    LinkAsCom(instrument, 1);

    const auto start = Clock::now();
    EXPECT_EQ(exchange_.Request(kRequest), kReply);
    EXPECT_LT(ElapsedMs(start), 250) << "a whole frame ends the read";
    EXPECT_EQ(instrument.Received(), QList<QByteArray>{kRequest});
    EXPECT_FALSE(port_.IsOpen());

    // The port was closed in between: the next command opens it again.
    EXPECT_EQ(exchange_.Request(kRequest), kReply);
    EXPECT_EQ(instrument.Received().size(), 2);
}

TEST_F(LinkOverPty, BadHeaderIsDroppedAndReadingGoesOn)
{
    QByteArray bad = kReply;
    bad[11] = static_cast<char>(bad[11] ^ 0x40);
    PtyInstrument instrument([&](int, const QByteArray&) { return Answers{{bad}, {kReply, 600}}; });
    LinkAsCom(instrument, 1);

    EXPECT_EQ(exchange_.Request(kRequest), kReply);
    EXPECT_EQ(instrument.Received().size(), 1) << "not sent again within the attempt";
}

TEST_F(LinkOverPty, EscapeHeldAtAnAttemptAfterAReplyCancelsAndClosesThePort)
{
    PtyInstrument instrument([](int, const QByteArray&) { return Answers{{kReply}}; });
    LinkAsCom(instrument, 1);
    int probes = 0;
    host_.escape = [&] { return ++probes == 2; };

    EXPECT_THROW(exchange_.Request(kRequest), EProtocolCancel);
    EXPECT_EQ(host_.status, "Canceled");
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_EQ(instrument.Received().size(), 1);
}

TEST_F(LinkOverPty, MissingPortIsReportedAtOnce)
{
    host_.portNumber = 9;   // com9 links to an adapter that is not plugged in
    const QString link = config_.filePath("zir/com9");
    ASSERT_TRUE(QFile::link(config_.filePath("unplugged-adapter"), link));

    const auto start = Clock::now();
    try {
        exchange_.Request(kRequest);
        FAIL() << "no error";
    } catch (const EPortError& e) {
        EXPECT_EQ(e.message(), "COM-port 9 can't be opened: " + link + " -> " + config_.filePath("unplugged-adapter") +
                                   ": cannot be opened (No such file or directory)");
    }
    EXPECT_LT(ElapsedMs(start), 100);
}

// The one real-time run of the whole schedule.
TEST_F(LinkOverPty, SilentInstrumentGetsSixFramesAndAnEmptyReplyAfterSevenSeconds)
{
    PtyInstrument instrument([](int, const QByteArray&) { return Answers{}; });
    LinkAsCom(instrument, 1);

    const auto start = Clock::now();
    EXPECT_EQ(exchange_.Request(kRequest), QByteArray());
    const auto took = ElapsedMs(start);
    EXPECT_GE(took, 7000);
    EXPECT_LT(took, 8500);
    EXPECT_EQ(instrument.Received().size(), 6);
}

} // namespace
} // namespace zir

// The termios serial port against a real pseudo-terminal.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <thread>

#include "link/CPDrv.h"
#include "PtyPair.h"

namespace zir {
namespace {

using test::ElapsedMs;
using test::PtyPair;
using Clock = std::chrono::steady_clock;

struct OpenPort {
    PtyPair pty;
    TCPDrv port;
    explicit OpenPort(std::uint32_t inputTimeout = 100)
    {
        port.SetPortName(pty.SlavePath());
        port.InputTimeout = inputTimeout;
        if (!port.Open()) throw std::runtime_error(port.LastError().toStdString());
    }
};

TEST(CPDrv, BufferSizesAreClampedAndFixedWhileOpen)
{
    struct Case { std::uint32_t given, kept; };
    for (const Case c : {Case{100, 128}, Case{128, 128}, Case{256, 256}, Case{8192, 8192},
                         Case{10000, 8192}, Case{0, 128}}) {
        TCPDrv port;
        port.SetInBufSize(c.given);
        port.SetOutBufSize(c.given);
        EXPECT_EQ(port.InBufSize(), c.kept) << c.given;
        EXPECT_EQ(port.OutBufSize(), c.kept) << c.given;
    }
    OpenPort open;
    open.port.SetInBufSize(512);
    open.port.SetOutBufSize(512);
    EXPECT_EQ(open.port.InBufSize(), 2048u);
    EXPECT_EQ(open.port.OutBufSize(), 2048u);
}

TEST(CPDrv, PortAndNameAreFixedWhileOpenAndOpenTwiceChangesNothing)
{
    OpenPort open;
    const QString name = open.pty.SlavePath();
    open.port.SetPort(5);
    open.port.SetPortName("/dev/null");
    EXPECT_EQ(open.port.PortName(), name);
    EXPECT_EQ(open.port.Port(), pnCustom);

    open.pty.Write("ab");
    EXPECT_TRUE(open.port.Open());
    EXPECT_EQ(open.port.ReadBytes(2), "ab") << "a second Open must not purge";

    open.port.Close();
    open.port.Close();
    EXPECT_FALSE(open.port.IsOpen());
    EXPECT_EQ(open.port.ReadBytes(10), QByteArray());
    EXPECT_FALSE(open.port.SendText("x"));
    EXPECT_EQ(open.port.InputCount(), 65535u);
    EXPECT_EQ(open.port.OutputFree(), 65535);
    // Closed and opened again: the exclusive flag was cleared on close.
    EXPECT_TRUE(open.port.Open()) << open.port.LastError().toStdString();
}

TEST(CPDrv, EveryByteValueCrossesUnchangedBothWays)
{
    OpenPort open;
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
    open.port.SetInBufSize(8192);

    ASSERT_TRUE(open.port.SendText(all));
    QByteArray atPeer;
    while (atPeer.size() < all.size()) {
        const QByteArray more = open.pty.ReadUntilQuiet(200);
        if (more.isEmpty()) break;
        atPeer += more;
    }
    EXPECT_EQ(atPeer.toHex(), all.toHex());

    open.pty.Write(all);
    EXPECT_EQ(open.port.ReadBytes(256).toHex(), all.toHex());
}

TEST(CPDrv, ReadEndsOnSilenceOnCountOrWhenComplete)
{
    OpenPort open(100);

    auto start = Clock::now();
    EXPECT_EQ(open.port.ReadBytes(280), QByteArray());
    const auto silent = ElapsedMs(start);
    EXPECT_GE(silent, 100);
    EXPECT_LT(silent, 400);

    // Bytes every 40 ms keep the silence limit from ending the read; the
    // limit is raised so that a loaded machine's late wake-ups do not end it.
    open.port.InputTimeout = 400;
    std::thread trickle([&] {
        for (int i = 0; i < 8; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            open.pty.Write(QByteArray(1, static_cast<char>('0' + i)));
        }
    });
    start = Clock::now();
    EXPECT_EQ(open.port.ReadBytes(8), "01234567");
    EXPECT_LT(ElapsedMs(start), 8 * 40 + 400) << "ends on the count, without waiting for silence";
    trickle.join();

    open.pty.Write("abcdefgh");
    start = Clock::now();
    EXPECT_EQ(open.port.ReadBytes(280, [](const QByteArray& b) { return b.endsWith("h"); }), "abcdefgh");
    EXPECT_LT(ElapsedMs(start), 90) << "a complete reply does not wait for silence";

    open.pty.Write("0123456789");
    EXPECT_EQ(open.port.ReadBytes(4), "0123");
    EXPECT_EQ(open.port.InputCount(), 6u);
}

TEST(CPDrv, NewRateWhileOpenDiscardsPendingInput)
{
    OpenPort open;
    open.pty.Write("stale");
    for (int i = 0; i < 50 && open.port.InputCount() < 5; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(open.port.InputCount(), 5u);
    open.port.SetBaudRateValue(9600);
    EXPECT_EQ(open.port.InputCount(), 0u);
    EXPECT_EQ(open.port.BaudRate(), brCustom);
    EXPECT_EQ(open.port.ActualBaudRate(), 9600u);
}

TEST(CPDrv, RatesReachTheDeviceStandardOrNot)
{
    OpenPort open;
    for (const std::uint32_t baud : {1200u, 19200u, 14400u, 56000u, 250000u}) {
        open.port.SetBaudRateValue(baud);
        EXPECT_EQ(open.port.ActualBaudRate(), baud);
    }
    open.port.SetBaudRate(br128000);
    EXPECT_EQ(open.port.BaudRateValue(), 128000u);
    EXPECT_EQ(open.port.ActualBaudRate(), 128000u);
}

TEST(CPDrv, OpenFailuresNameThePathAndTheReason)
{
    QTemporaryDir dir;
    const QString plainFile = dir.filePath("plain");
    QFile(plainFile).open(QIODevice::WriteOnly);
    PtyPair busy;
    TCPDrv holder;
    holder.SetPortName(busy.SlavePath());
    ASSERT_TRUE(holder.Open());

    struct Case { QString path; QString expected; };
    for (const Case& c : {Case{dir.filePath("missing"), dir.filePath("missing") + ": cannot be opened (No such file or directory)"},
                          Case{plainFile, plainFile + ": not a serial port"},
                          Case{busy.SlavePath(), busy.SlavePath() + ": in use by another program"}}) {
        TCPDrv port;
        port.SetPortName(c.path);
        EXPECT_FALSE(port.Open()) << c.path.toStdString();
        EXPECT_FALSE(port.IsOpen());
        EXPECT_TRUE(port.LastError().startsWith(c.expected)) << port.LastError().toStdString();
    }
}

TEST(CPDrv, OtherSideClosingIsReportedAsGone)
{
    OpenPort open(2000);
    std::thread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        open.pty.CloseMaster();
    });
    const auto start = Clock::now();
    EXPECT_EQ(open.port.ReadBytes(280), QByteArray());
    EXPECT_LT(ElapsedMs(start), 1000) << "no wait for the silence limit";
    unplug.join();
    EXPECT_TRUE(open.port.DeviceGone());
    EXPECT_TRUE(open.port.LastError().contains("gone")) << open.port.LastError().toStdString();
}

TEST(CPDrv, CommPortConfiguration)
{
    TCPDrv port;
    port.SetPort(3);
    ConfigureAsCommPort(port);
    EXPECT_EQ(port.Port(), pnCustom);
    EXPECT_EQ(port.BaudRateValue(), 19200u);
    EXPECT_EQ(port.HwFlow(), hfNONE);
    EXPECT_EQ(port.InBufSize(), 256u);
    EXPECT_EQ(port.OutputTimeout, 0);
    EXPECT_EQ(port.InputTimeout, 500u);
}

} // namespace
} // namespace zir

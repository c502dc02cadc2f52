// The termios serial port against a real pseudo-terminal, its waits on the
// virtual clock: timeouts are asserted to the millisecond without sleeping.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "PtyPair.h"
#include "link/CPDrv.h"
#include "support/VirtualClock.h"

namespace zir {
namespace {

using test::PtyPair;
using test::VirtualClock;

struct OpenPort {
    PtyPair pty;
    VirtualClock clock;
    TCPDrv port{clock};
    explicit OpenPort(std::uint32_t inputTimeout = 100) {
        port.SetPortName(pty.SlavePath());
        port.InputTimeout = inputTimeout;
        if (!port.Open()) throw std::runtime_error(port.LastError().toStdString());
    }
    std::int64_t Elapsed(std::int64_t since) const { return clock.now - since; }
};

TEST(CPDrv, DefaultsAreTheWindowsPortSettings) {
    VirtualClock clock;
    TCPDrv port(clock);
    EXPECT_EQ(port.BaudRateValue(), 19200u);
    EXPECT_EQ(port.OutputTimeout, 0);
    EXPECT_EQ(port.InputTimeout, 500u);
    EXPECT_FALSE(port.IsOpen());
}

TEST(CPDrv, NameIsFixedWhileOpenAndOpenTwiceChangesNothing) {
    OpenPort open;
    const QString name = open.pty.SlavePath();
    open.port.SetPortNumber(5);
    open.port.SetPortName("/dev/null");
    EXPECT_EQ(open.port.PortName(), name);

    open.pty.Write("ab");
    EXPECT_TRUE(open.port.Open());
    EXPECT_EQ(open.port.ReadBytes(2), "ab") << "a second Open must not purge";

    open.port.Close();
    open.port.Close();
    EXPECT_FALSE(open.port.IsOpen());
    EXPECT_EQ(open.port.ReadBytes(10), QByteArray());
    EXPECT_FALSE(open.port.SendText("x"));
    EXPECT_EQ(open.port.InputCount(), 65535u);
    // Closed and opened again: the exclusive flag was cleared on close.
    EXPECT_TRUE(open.port.Open()) << open.port.LastError().toStdString();
}

TEST(CPDrv, EveryByteValueCrossesUnchangedBothWays) {
    OpenPort open;
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));

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

TEST(CPDrv, SilenceEndsAReadOneMillisecondPastTheTimeout) {
    for (const std::uint32_t timeout : {100u, 500u}) {
        OpenPort open(timeout);
        const std::int64_t start = open.clock.now;
        EXPECT_EQ(open.port.ReadBytes(280), QByteArray());
        EXPECT_EQ(open.Elapsed(start), timeout + 1) << timeout;
    }
}

TEST(CPDrv, BytesBeforeTheTimeoutKeepTheReadGoingUntilTheCount) {
    // A byte every 40 ms with a silence limit of 100 ms: the read ends on its
    // count, when the eighth byte is in, not on silence.
    OpenPort open(100);
    for (int i = 0; i < 8; ++i)
        open.clock.At(40 * (i + 1), [&open, i] { open.pty.Write(QByteArray(1, static_cast<char>('0' + i))); });
    EXPECT_EQ(open.port.ReadBytes(8), "01234567");
    EXPECT_EQ(open.clock.now, 8 * 40);

    // A gap longer than the limit ends the read with what came before it.
    open.clock.At(open.clock.now + 50, [&open] { open.pty.Write("a"); });
    open.clock.At(open.clock.now + 50 + 101 + 5, [&open] { open.pty.Write("b"); });
    const std::int64_t start = open.clock.now;
    EXPECT_EQ(open.port.ReadBytes(280), "a");
    EXPECT_EQ(open.Elapsed(start), 50 + 101);
}

TEST(CPDrv, ACompleteReplyEndsTheReadAtOnce) {
    OpenPort open(100);
    open.pty.Write("abcdefgh");
    const std::int64_t start = open.clock.now;
    EXPECT_EQ(open.port.ReadBytes(280, [](const QByteArray& b) { return b.endsWith("h"); }), "abcdefgh");
    EXPECT_EQ(open.Elapsed(start), 0) << "a complete reply does not wait for silence";

    open.pty.Write("0123456789");
    EXPECT_EQ(open.port.ReadBytes(4), "0123");
    EXPECT_EQ(open.port.InputCount(), 6u);
}

TEST(CPDrv, NewRateWhileOpenDiscardsPendingInput) {
    OpenPort open;
    open.pty.Write("stale");
    ASSERT_EQ(open.port.InputCount(), 5u);
    open.port.SetBaudRateValue(9600);
    EXPECT_EQ(open.port.InputCount(), 0u);
    EXPECT_EQ(open.port.ActualBaudRate(), 9600u);
}

TEST(CPDrv, DiscardInputDropsWhatWaitsAndNothingLater) {
    OpenPort open;
    open.pty.Write("stale");
    ASSERT_EQ(open.port.InputCount(), 5u);
    open.port.DiscardInput();
    EXPECT_EQ(open.port.InputCount(), 0u);
    open.pty.Write("fresh");
    EXPECT_EQ(open.port.ReadBytes(5), "fresh");
    TCPDrv closed(open.clock);
    closed.DiscardInput(); // nothing to drop, nothing happens
    EXPECT_FALSE(closed.IsOpen());
}

// A long operation holds the lock: the port still opens and closes per
// request, and another program that opens it in between is refused at once.
TEST(CPDrv, AHeldLockKeepsOthersOutBetweenRequests) {
    PtyPair pty;
    VirtualClock clock;
    TCPDrv port(clock), other(clock);
    port.SetPortName(pty.SlavePath());
    other.SetPortName(pty.SlavePath());
    ASSERT_TRUE(port.HoldLock());
    for (int request = 0; request < 3; ++request) {
        ASSERT_TRUE(port.Open()) << port.LastError().toStdString();
        pty.Write("x");
        EXPECT_EQ(port.ReadBytes(1), "x");
        port.Close();
        EXPECT_FALSE(other.Open());
        EXPECT_TRUE(other.LastError().contains("in use by another program")) << other.LastError().toStdString();
        EXPECT_FALSE(other.HoldLock());
    }
    port.ReleaseLock();
    EXPECT_TRUE(other.Open()) << other.LastError().toStdString();
    EXPECT_FALSE(port.HoldLock()); // now the other one has it open
    other.Close();
    EXPECT_TRUE(port.HoldLock());
}

TEST(CPDrv, RatesReachTheDeviceStandardOrNot) {
    OpenPort open;
    for (const std::uint32_t baud : {1200u, 19200u, 14400u, 56000u, 128000u, 250000u}) {
        open.port.SetBaudRateValue(baud);
        EXPECT_EQ(open.port.ActualBaudRate(), baud);
    }
}

TEST(CPDrv, OpenFailuresNameThePathAndTheReason) {
    QTemporaryDir dir;
    const QString plainFile = dir.filePath("plain");
    QFile(plainFile).open(QIODevice::WriteOnly);
    PtyPair busy;
    VirtualClock clock;
    TCPDrv holder(clock);
    holder.SetPortName(busy.SlavePath());
    ASSERT_TRUE(holder.Open());

    struct Case {
        QString path;
        QString expected;
    };
    for (const Case& c :
         {Case{dir.filePath("missing"), dir.filePath("missing") + ": cannot be opened (No such file or directory)"},
          Case{plainFile, plainFile + ": not a serial port"},
          Case{busy.SlavePath(), busy.SlavePath() + ": in use by another program"}}) {
        TCPDrv port(clock);
        port.SetPortName(c.path);
        EXPECT_FALSE(port.Open()) << c.path.toStdString();
        EXPECT_FALSE(port.IsOpen());
        EXPECT_TRUE(port.LastError().startsWith(c.expected)) << port.LastError().toStdString();
    }
}

TEST(CPDrv, OtherSideClosingIsReportedAsGoneAtOnce) {
    OpenPort open(2000);
    open.clock.At(50, [&open] { open.pty.CloseMaster(); });
    EXPECT_EQ(open.port.ReadBytes(280), QByteArray());
    EXPECT_EQ(open.clock.now, 50) << "no wait for the silence limit";
    EXPECT_TRUE(open.port.DeviceGone());
    EXPECT_TRUE(open.port.LastError().contains("gone")) << open.port.LastError().toStdString();
}

} // namespace
} // namespace zir

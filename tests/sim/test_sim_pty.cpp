// zir-sim as a process, over a real pseudo-terminal: what the tool will meet.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <chrono>

#include "link/ZebusModTransport.h"
#include "support/SimProcess.h"

using namespace zir;
using Clock = std::chrono::steady_clock;

namespace {

// The tool's side of the line, reduced to raw reads and writes.
class Peer {
public:
    explicit Peer(const QString& path) : fd_(open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY)) {
        if (fd_ < 0) throw std::runtime_error("cannot open " + path.toStdString());
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
    }
    ~Peer() { close(fd_); }

    // The rate the tool's side is set to, as the port driver sets it.
    void SetRate(speed_t rate) {
        termios tio{};
        tcgetattr(fd_, &tio);
        cfsetspeed(&tio, rate);
        tcsetattr(fd_, TCSANOW, &tio);
    }

    void Send(const QByteArray& bytes) {
        ASSERT_EQ(write(fd_, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    }
    // Bytes until a whole frame has come, or `timeoutMs` passed without one.
    QByteArray Receive(int timeoutMs) {
        QByteArray got;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto length = ExpectedFrameLength(got);
            if (length && got.size() >= *length) return got;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd p{fd_, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return got;
            char buffer[300];
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0) return got;
            got.append(buffer, static_cast<int>(n));
        }
    }

private:
    int fd_;
};

QByteArray Request(const QByteArray& data, std::uint8_t kind = kKindRead) {
    return BuildFrame(QStringLiteral("255.255.255"), kHostAddress, kind, kControlRequest, data);
}

TEST(SimPty, AnswersAtTheLinePaceAndLogsBothDirections) {
    SimProcess sim({QStringLiteral("--clock"), QStringLiteral("2007-12-25 14:30"), QStringLiteral("--current-bank"),
                    QStringLiteral("2")});
    Peer peer(sim.PtyPath());
    const QByteArray request = Request("XT");
    const auto start = Clock::now();
    peer.Send(request);
    const QByteArray reply = peer.Receive(2000);
    const auto elapsed = Clock::now() - start;
    ASSERT_EQ(reply.size(), 27);
    EXPECT_EQ(ValidateFrame(reply), FrameVerdict::Accepted);
    EXPECT_EQ(reply.mid(17, 6), QByteArray("\x30\x14\x25\x12\x07"
                                           "C",
                                           6));
    // 20 + 27 bytes at 19200 baud and 10 bits a byte is 24.5 ms, plus 2 ms
    // turnaround: the reply cannot come sooner (a busy machine only delays it).
    EXPECT_GE(elapsed, std::chrono::microseconds(26000));
    EXPECT_EQ(sim.ReceivedFrames(), QList<QByteArray>{request});
    EXPECT_EQ(sim.SentFrames(), QList<QByteArray>{reply});
}

TEST(SimPty, AnswersOnlyTheThirdRequestAndIgnoresOtherAddresses) {
    SimProcess sim({QStringLiteral("--no-pacing"), QStringLiteral("--answer-from"), QStringLiteral("3"),
                    QStringLiteral("--fault-command"), QStringLiteral("XT")});
    Peer peer(sim.PtyPath());
    const QByteArray foreign = BuildFrame(QStringLiteral("1.2.3"), kHostAddress, kKindRead, kControlRequest, "XT");
    peer.Send(foreign);
    EXPECT_TRUE(peer.Receive(150).isEmpty());
    for (int i = 1; i <= 2; ++i) {
        peer.Send(Request("XT"));
        EXPECT_TRUE(peer.Receive(150).isEmpty()) << "request " << i;
    }
    peer.Send(Request("XT"));
    EXPECT_EQ(peer.Receive(2000).size(), 27);
    EXPECT_EQ(sim.ReceivedFrames().size(), 4);
}

TEST(SimPty, SavesWritesAtExitAndRemovesItsLink) {
    QTemporaryDir dir;
    const QString statePath = dir.filePath(QStringLiteral("state.json"));
    const QString linkPath = dir.filePath(QStringLiteral("config/zir/com3"));
    SimProcess sim(
        {QStringLiteral("--no-pacing"), QStringLiteral("--save-state"), statePath, QStringLiteral("--link"), linkPath});
    ASSERT_EQ(QFileInfo(linkPath).symLinkTarget(), sim.PtyPath());
    {
        Peer peer(linkPath);
        peer.Send(Request(QByteArray("T2\0\x96\x00\x64\xEC\x64\x0C", 9), kKindWrite));
        EXPECT_EQ(peer.Receive(2000), AcknowledgementFrame(QStringLiteral("255.255.255")));
    }
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(QFileInfo(linkPath).isSymLink());
    QFile file(statePath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject state = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(state[QStringLiteral("coefficients")][1][QStringLiteral("k")].toString(), QStringLiteral("0096"));
}

TEST(SimPty, ServesAgainAfterThePortWasClosedBetweenCommands) {
    SimProcess sim({QStringLiteral("--no-pacing")});
    for (const QByteArray& data : {QByteArray("AV"), QByteArray("XW")}) {
        Peer peer(sim.PtyPath());
        peer.Send(Request(data));
        EXPECT_EQ(ValidateFrame(peer.Receive(2000)), FrameVerdict::Accepted) << data.constData();
    }
}

TEST(SimPty, WithSpeedCheckAnswersOnlyAtItsRate) {
    SimProcess sim({QStringLiteral("--no-pacing"), QStringLiteral("--baud"), QStringLiteral("2400"),
                    QStringLiteral("--speed-check")});
    Peer peer(sim.PtyPath());
    struct Case {
        speed_t rate;
        int baud;
        bool answered;
    };
    for (const Case c : {Case{B19200, 19200, false}, Case{B9600, 9600, false}, Case{B4800, 4800, false},
                         Case{B2400, 2400, true}, Case{B1200, 1200, false}}) {
        peer.SetRate(c.rate);
        peer.Send(Request("XT"));
        EXPECT_EQ(peer.Receive(c.answered ? 2000 : 150).size(), c.answered ? 27 : 0) << c.baud;
    }
    EXPECT_EQ(sim.ReceivedFrames(), QList<QByteArray>{Request("XT")}) << "the others are logged as dropped";
    EXPECT_EQ(sim.ReadLog().count(" DROP "), 4);
}

TEST(SimPty, ReportsABadCommandLine) {
    EXPECT_THROW(SimProcess({QStringLiteral("--fault"), QStringLiteral("noisy")}), std::runtime_error);
}

} // namespace

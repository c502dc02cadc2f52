// Looking for the instrument over real pseudo-terminals: two simulators set
// to different rates behind two fake USB adapters, only one of them at the
// address asked for.

#include <gtest/gtest.h>

#include <QStringList>
#include <thread>
#include <utility>
#include <vector>

#include "core/Clock.h"
#include "core/Errors.h"
#include "link/Exchange.h"
#include "link/PtyPair.h"
#include "link/ZebusModTransport.h"
#include "ports/FindInstrument.h"
#include "support/FakeDeviceTree.h"
#include "support/RecordingLineObserver.h"
#include "support/RecordingStatus.h"
#include "support/SimProcess.h"

#include <poll.h>

namespace zir {
namespace {

using test::FakeDeviceTree;
using Usb = FakeDeviceTree::Usb;

const QString kAddress = QStringLiteral("255.255.255");

class Recorder final : public IFindObserver {
public:
    // StopRequested turns true at the start of attempt number stopAt (from 1).
    explicit Recorder(int stopAt = 0) : stopAt_(stopAt) {}
    void Trying(const SerialPortEntry& port, std::uint32_t baud) override { tried.emplace_back(port.device, baud); }
    void Note(const QString& line) override { notes << line; }
    bool StopRequested() override { return stopAt_ > 0 && static_cast<int>(tried.size()) >= stopAt_; }

    std::vector<std::pair<QString, std::uint32_t>> tried;
    QStringList notes;

private:
    int stopAt_;
};

std::vector<std::pair<QString, std::uint32_t>> Attempts(const QString& device,
                                                        std::initializer_list<std::uint32_t> rates) {
    std::vector<std::pair<QString, std::uint32_t>> attempts;
    for (const std::uint32_t baud : rates) attempts.emplace_back(device, baud);
    return attempts;
}

QByteArray ClockRequest() { return BuildFrame(kAddress, kHostAddress, kKindRead, kControlRequest, "XT"); }

TEST(FindInstrument, TriesEveryRateOfEachDeviceUntilTheClockAnswers) {
    // Adapter 0: an instrument at 4800 with another address; adapter 1: ours, at 2400.
    SimProcess other({"--baud", "4800", "--speed-check", "--address", "1.2.3"});
    SimProcess ours({"--baud", "2400", "--speed-check"});
    FakeDeviceTree tree;
    Usb first;
    first.nodeTarget = other.PtyPath();
    Usb second{
        QStringLiteral("ttyUSB1"), QStringLiteral("1-2"),  QStringLiteral("FTDI"), QStringLiteral("FT232R USB UART"),
        QStringLiteral("B7"),      QStringLiteral("0403"), QStringLiteral("6001"), ours.PtyPath()};
    tree.AddUsb(first);
    tree.AddUsb(second);

    const std::vector<SerialPortEntry> ports = ListSerialPorts(tree.Tree());
    ASSERT_EQ(ports.size(), 2u);
    Recorder recorder;
    SystemClock clock;
    test::RecordingLineObserver line;
    const FindResult result = FindInstrument(ports, tree.Tree(), kAddress, recorder, clock, &line);

    ASSERT_TRUE(result.found);
    EXPECT_EQ(*result.found, 1u);
    EXPECT_EQ(result.baud, 2400u);
    // The line monitor saw each try as a request of one attempt: nine sent,
    // eight unanswered, the last one answered.
    const QStringList ends = [&] {
        QStringList digests;
        for (const LineEvent& e : line.OfKind(LineEvent::Kind::RequestEnd)) digests << test::Digest(e);
        return digests;
    }();
    EXPECT_EQ(line.OfKind(LineEvent::Kind::Sent).size(), 9);
    for (const LineEvent& e : line.OfKind(LineEvent::Kind::Sent)) {
        EXPECT_EQ(e.attempt, 1);
        EXPECT_EQ(e.bytes, ClockRequest());
    }
    EXPECT_EQ(ends, QStringList(8, QStringLiteral("END #1 no answer")) << QStringLiteral("END #1 reply"));
    EXPECT_EQ(line.events.last().bytes, ours.SentFrames().value(0));
    EXPECT_FALSE(result.stopped);
    auto expected = Attempts("/dev/ttyUSB0", {19200, 9600, 4800, 2400, 1200});
    const auto then = Attempts("/dev/ttyUSB1", {19200, 9600, 4800, 2400});
    expected.insert(expected.end(), then.begin(), then.end());
    EXPECT_EQ(recorder.tried, expected);
    EXPECT_EQ(recorder.notes.size(), 9);
    EXPECT_EQ(recorder.notes.front(), "/dev/ttyUSB0 at 19200: no answer");
    EXPECT_EQ(recorder.notes.back(), "/dev/ttyUSB1 at 2400: the instrument answered");

    // Each simulator made out only the request at its own rate; the other
    // one at 4800 is not ours and kept silent. Nothing but the clock request
    // was ever sent.
    EXPECT_EQ(other.ReceivedFrames(), QList<QByteArray>{ClockRequest()});
    EXPECT_TRUE(other.SentFrames().isEmpty());
    EXPECT_EQ(other.ReadLog().count(" DROP "), 4);
    EXPECT_EQ(ours.ReceivedFrames(), QList<QByteArray>{ClockRequest()});
    EXPECT_EQ(ours.SentFrames().size(), 1);
    EXPECT_EQ(ours.ReadLog().count(" DROP "), 3);
}

TEST(FindInstrument, PassesOverWhatCannotBeTriedAndStopsWhenAsked) {
    test::PtyPair silent;
    FakeDeviceTree tree;
    Usb plainFile; // its node is no serial port
    Usb denied{QStringLiteral("ttyUSB1"), QStringLiteral("1-2"),  QStringLiteral("FTDI"), QStringLiteral("FT232R"),
               QStringLiteral("D1"),      QStringLiteral("0403"), QStringLiteral("6001"), silent.SlavePath()};
    Usb quiet{QStringLiteral("ttyUSB2"), QStringLiteral("1-3"),  QStringLiteral("FTDI"), QStringLiteral("FT232R"),
              QStringLiteral("Q1"),      QStringLiteral("0403"), QStringLiteral("6001"), silent.SlavePath()};
    Usb unplugged{QStringLiteral("ttyUSB3"), QStringLiteral("1-4"),  QStringLiteral("FTDI"), QStringLiteral("FT232R"),
                  QStringLiteral("U1"),      QStringLiteral("0403"), QStringLiteral("6001"), {}};
    for (const Usb& usb : {plainFile, denied, quiet, unplugged}) tree.AddUsb(usb);
    tree.Unplug(unplugged);
    tree.ComLink(4, FakeDeviceTree::ByIdPath(unplugged));

    std::vector<SerialPortEntry> ports = ListSerialPorts(tree.Tree());
    ASSERT_EQ(ports.size(), 4u);
    ports[1].accessRemedy = QStringLiteral("log out and in again");
    Recorder recorder(4);
    SystemClock clock;
    const FindResult result = FindInstrument(ports, tree.Tree(), kAddress, recorder, clock);

    EXPECT_FALSE(result.found);
    EXPECT_TRUE(result.stopped);
    auto expected = Attempts("/dev/ttyUSB0", {19200});
    const auto then = Attempts("/dev/ttyUSB2", {19200, 9600, 4800});
    expected.insert(expected.end(), then.begin(), then.end());
    EXPECT_EQ(recorder.tried, expected);
    ASSERT_EQ(recorder.notes.size(), 4) << recorder.notes.join(" | ").toStdString();
    EXPECT_TRUE(recorder.notes[0].startsWith("/dev/ttyUSB0: passed over: ")) << recorder.notes[0].toStdString();
    EXPECT_TRUE(recorder.notes[0].contains("not a serial port")) << recorder.notes[0].toStdString();
    EXPECT_EQ(recorder.notes[1], "/dev/ttyUSB1: not tried: permission denied; log out and in again");
    EXPECT_EQ(recorder.notes[2], "/dev/ttyUSB2 at 19200: no answer");
    EXPECT_EQ(recorder.notes[3], "/dev/ttyUSB2 at 9600: no answer");
    // The stop came before the request at 4800 was sent.
    EXPECT_EQ(silent.ReadUntilQuiet(100), ClockRequest() + ClockRequest());
}

TEST(FindInstrument, DeviceGoingAwayDuringAnAttemptIsPassedOver) {
    test::PtyPair vanishing;
    SimProcess ours({"--no-pacing"});
    FakeDeviceTree tree;
    Usb first;
    first.nodeTarget = vanishing.SlavePath();
    Usb second{QStringLiteral("ttyUSB1"), QStringLiteral("1-2"),  QStringLiteral("FTDI"), QStringLiteral("FT232R"),
               QStringLiteral("B1"),      QStringLiteral("0403"), QStringLiteral("6001"), ours.PtyPath()};
    tree.AddUsb(first);
    tree.AddUsb(second);
    // Unplugged as soon as the first request has come.
    std::thread unplug([&] {
        pollfd request{vanishing.Master(), POLLIN, 0};
        ::poll(&request, 1, 5000);
        vanishing.CloseMaster();
    });
    Recorder recorder;
    SystemClock clock;
    const FindResult result = FindInstrument(ListSerialPorts(tree.Tree()), tree.Tree(), kAddress, recorder, clock);
    unplug.join();

    ASSERT_TRUE(result.found);
    EXPECT_EQ(*result.found, 1u);
    EXPECT_EQ(result.baud, 19200u);
    ASSERT_EQ(recorder.notes.size(), 2);
    EXPECT_EQ(recorder.notes[0], "/dev/ttyUSB0: passed over: " + tree.At("/dev/ttyUSB0") + " -> " +
                                     vanishing.SlavePath() + ": the device has gone");
    EXPECT_EQ(recorder.notes[1], "/dev/ttyUSB1 at 19200: the instrument answered");
}

TEST(FindInstrument, MalformedAddressOpensNothing) {
    test::PtyPair pty;
    FakeDeviceTree tree;
    Usb usb;
    usb.nodeTarget = pty.SlavePath();
    tree.AddUsb(usb);
    Recorder recorder;
    SystemClock clock;
    EXPECT_THROW(FindInstrument(ListSerialPorts(tree.Tree()), tree.Tree(), QStringLiteral("1.2"), recorder, clock),
                 EFormatError);
    EXPECT_TRUE(recorder.tried.empty());
    EXPECT_TRUE(pty.ReadUntilQuiet(50).isEmpty());
}

} // namespace
} // namespace zir

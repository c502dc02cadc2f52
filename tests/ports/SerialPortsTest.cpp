// The serial devices listed from a fake device tree, the COM links made and
// removed in a private configuration folder, and the access marks as
// another user sees them.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sys/stat.h>

#include "core/Errors.h"
#include "link/PortNaming.h"
#include "ports/ComLinks.h"
#include "ports/SerialPorts.h"
#include "support/AsOtherUser.h"
#include "support/FakeDeviceTree.h"
#include "support/RecordingStatus.h"

namespace zir {
namespace {

using test::FakeDeviceTree;
using Usb = FakeDeviceTree::Usb;

// What one listed entry must show.
struct Expected {
    PortKind kind;
    QString device;
    QString stableName;
    QString description;
    QList<int> comLinks;
    int defaultCom;
    bool present;
};

void ExpectListing(const std::vector<SerialPortEntry>& listed, const std::vector<Expected>& expected) {
    ASSERT_EQ(listed.size(), expected.size());
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const SerialPortEntry& got = listed[i];
        const Expected& want = expected[i];
        const std::string at = "entry " + std::to_string(i) + " " + got.device.toStdString();
        EXPECT_EQ(got.kind, want.kind) << at;
        EXPECT_EQ(got.device, want.device) << at;
        EXPECT_EQ(got.stableName, want.stableName) << at;
        EXPECT_EQ(got.Description(), want.description) << at;
        EXPECT_EQ(got.comLinks, want.comLinks) << at;
        EXPECT_EQ(got.defaultCom, want.defaultCom) << at;
        EXPECT_EQ(got.present, want.present) << at;
        EXPECT_EQ(got.accessRemedy, QString()) << at << ": root may open everything";
    }
}

class SerialPorts : public ::testing::Test {
protected:
    SerialPorts() {
        ftdi_.tty = QStringLiteral("ttyUSB0");
        ch340_ = Usb{QStringLiteral("ttyUSB1"),
                     QStringLiteral("1-2"),
                     QStringLiteral("1a86"),
                     QStringLiteral("USB Serial"),
                     QString(),
                     QStringLiteral("1a86"),
                     QStringLiteral("7523"),
                     {}};
        // A hub port of two digits: ttyUSB10 sorts after ttyUSB1.
        tenth_ = Usb{QStringLiteral("ttyUSB10"),
                     QStringLiteral("1-4.2"),
                     QStringLiteral("Prolific Technology Inc."),
                     QStringLiteral("USB-Serial Controller"),
                     QStringLiteral("P10"),
                     QStringLiteral("067b"),
                     QStringLiteral("2303"),
                     {}};
        acm_ = Usb{QStringLiteral("ttyACM0"),
                   QStringLiteral("1-3"),
                   QStringLiteral("Arduino (www.arduino.cc)"),
                   QStringLiteral("Uno"),
                   QStringLiteral("8573"),
                   QStringLiteral("2341"),
                   QStringLiteral("0043"),
                   {}};
        for (const Usb& usb : {ftdi_, ch340_, tenth_, acm_}) tree_.AddUsb(usb);
        tree_.AddBuiltIn(QStringLiteral("ttyS0"), 4);
        tree_.AddBuiltIn(QStringLiteral("ttyS1"), 0); // placeholder without a UART
        tree_.AddBuiltIn(QStringLiteral("ttyS2"), 4, QStringLiteral("0x3E8"), QStringLiteral("5"));
    }

    FakeDeviceTree tree_;
    Usb ftdi_, ch340_, tenth_, acm_;
};

TEST_F(SerialPorts, ListsAdaptersUartsAndLinks) {
    const QString ftdiId = FakeDeviceTree::ByIdPath(ftdi_);
    const QString gone = QStringLiteral("/dev/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0");
    tree_.ComLink(1, ftdiId);
    tree_.ComLink(2, QStringLiteral("/dev/ttyUSB1"));
    tree_.ComLink(5, gone);
    tree_.ComLink(6, QStringLiteral("/dev/pts/77"));
    tree_.ComLink(7, ftdiId);
    tree_.ComLink(8, QStringLiteral("/dev/pts/77"));
    QFile(tree_.ConfigDir() + QStringLiteral("/com9")).open(QIODevice::WriteOnly);
    // Names that are no port number.
    tree_.ComLink(257, ftdiId);
    QFile::link(ftdiId, tree_.ConfigDir() + QStringLiteral("/com01"));
    QFile(tree_.ConfigDir() + QStringLiteral("/zir.INI")).open(QIODevice::WriteOnly);

    using K = PortKind;
    ExpectListing(ListSerialPorts(tree_.Tree()),
                  {
                      {K::UsbAdapter,
                       "/dev/ttyACM0",
                       FakeDeviceTree::ByIdPath(acm_),
                       "Arduino (www.arduino.cc) Uno, serial 8573, USB 2341:0043",
                       {},
                       0,
                       true},
                      {K::BuiltIn, "/dev/ttyS0", "", "built-in UART 16550A, I/O 0x3F8, IRQ 4", {}, 0, true},
                      {K::BuiltIn, "/dev/ttyS2", "", "built-in UART 16550A, I/O 0x3E8, IRQ 5", {}, 3, true},
                      {K::UsbAdapter,
                       "/dev/ttyUSB0",
                       ftdiId,
                       "FTDI FT232R USB UART, serial A1B2C3, USB 0403:6001",
                       {1, 7},
                       0,
                       true},
                      {K::UsbAdapter,
                       "/dev/ttyUSB1",
                       FakeDeviceTree::ByIdPath(ch340_),
                       "1a86 USB Serial, USB 1a86:7523",
                       {2},
                       0,
                       true},
                      {K::UsbAdapter,
                       "/dev/ttyUSB10",
                       FakeDeviceTree::ByIdPath(tenth_),
                       "Prolific Technology Inc. USB-Serial Controller, serial P10, USB 067b:2303",
                       {},
                       0,
                       true},
                      {K::LinkOnly, gone, gone, "", {5}, 0, false},
                      {K::LinkOnly, "/dev/pts/77", "", "pseudo-terminal", {6, 8}, 0, false},
                      {K::LinkOnly, tree_.ConfigDir() + "/com9", "", "", {9}, 0, true},
                  });
}

TEST_F(SerialPorts, UnpluggedAdapterStaysListedByItsLink) {
    const QString ftdiId = FakeDeviceTree::ByIdPath(ftdi_);
    tree_.ComLink(1, ftdiId);
    tree_.ComLink(3, QStringLiteral("/dev/ttyUSB1"));

    tree_.Unplug(ftdi_);
    tree_.Unplug(ch340_);
    std::vector<SerialPortEntry> listed = ListSerialPorts(tree_.Tree());
    ASSERT_EQ(listed.size(), 6u);
    EXPECT_EQ(listed[3].device, "/dev/ttyUSB10");
    EXPECT_EQ(listed[4].device, ftdiId);
    EXPECT_EQ(listed[4].comLinks, QList<int>{1});
    EXPECT_FALSE(listed[4].present);
    EXPECT_EQ(listed[5].device, "/dev/ttyUSB1");
    EXPECT_EQ(listed[5].kind, PortKind::LinkOnly);
    EXPECT_FALSE(listed[5].present);

    // Plugged in again, as another tty: the stable name finds it.
    Usb again = ftdi_;
    again.tty = QStringLiteral("ttyUSB2");
    tree_.AddUsb(again);
    listed = ListSerialPorts(tree_.Tree());
    ASSERT_EQ(listed.size(), 6u);
    EXPECT_EQ(listed[3].device, "/dev/ttyUSB2");
    EXPECT_EQ(listed[3].comLinks, QList<int>{1});
    EXPECT_TRUE(listed[3].present);
    EXPECT_EQ(listed[5].device, "/dev/ttyUSB1") << "a link to the tty name waits for that name";
}

TEST_F(SerialPorts, DefaultComFollowsTheFallbackRule) {
    // ttyS2 is COM3 while no com3 is there; a link com3 to it is the same
    // number by link, a link com3 elsewhere takes the number away.
    EXPECT_EQ(ListSerialPorts(tree_.Tree())[2].ComNumber(), 3);
    tree_.ComLink(3, QStringLiteral("/dev/ttyS2"));
    SerialPortEntry s2 = ListSerialPorts(tree_.Tree())[2];
    EXPECT_EQ(s2.defaultCom, 0);
    EXPECT_EQ(s2.comLinks, QList<int>{3});
    tree_.ComLink(3, QStringLiteral("/dev/ttyUSB0"));
    s2 = ListSerialPorts(tree_.Tree())[2];
    EXPECT_EQ(s2.ComNumber(), 0);
}

TEST_F(SerialPorts, AssignReplaceAndRemoveLinks) {
    const QString id = FakeDeviceTree::ByIdPath(ftdi_);
    QDir(tree_.ConfigDir()).removeRecursively();
    AssignComLink(4, id); // the folder is made
    EXPECT_EQ(QFile::symLinkTarget(ComLinkPath(4)), id);
    EXPECT_EQ(ListSerialPorts(tree_.Tree())[3].comLinks, QList<int>{4});

    AssignComLink(4, QStringLiteral("/dev/ttyUSB1"));
    const ComLink replaced = ReadComLink(4);
    EXPECT_TRUE(replaced.exists);
    EXPECT_TRUE(replaced.isLink);
    EXPECT_EQ(replaced.target, "/dev/ttyUSB1");
    EXPECT_EQ(QDir(tree_.ConfigDir()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
              QStringList{"com4"})
        << "no temporary name is left behind";
    EXPECT_EQ(ListSerialPorts(tree_.Tree())[4].comLinks, QList<int>{4});

    RemoveComLink(4);
    EXPECT_FALSE(ReadComLink(4).exists);
    EXPECT_NO_THROW(RemoveComLink(4)) << "nothing there, nothing to do";
    EXPECT_EQ(PortDevicePath(4), "/dev/ttyS3");

    // A name that is no link is never replaced or removed.
    QFile plain(ComLinkPath(9));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("keep");
    plain.close();
    EXPECT_THROW(AssignComLink(9, id), EFileError);
    EXPECT_THROW(RemoveComLink(9), EFileError);
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly));
    EXPECT_EQ(plain.readAll(), "keep");
}

TEST_F(SerialPorts, DeviceAnotherUserMayNotOpenIsMarked) {
    if (!test::AsOtherUserAvailable()) GTEST_SKIP() << "needs root and the user nobody";
    ASSERT_EQ(::chmod(QFile::encodeName(tree_.Root()).constData(), 0755), 0);
    const QByteArray node = QFile::encodeName(tree_.At(QStringLiteral("/dev/ttyUSB0")));
    ASSERT_EQ(::chown(node.constData(), 1, 20), 0);
    ASSERT_EQ(::chmod(node.constData(), 0600), 0);
    const QByteArray s0 = QFile::encodeName(tree_.At(QStringLiteral("/dev/ttyS0")));
    ASSERT_EQ(::chmod(s0.constData(), 0666), 0);
    tree_.SetGroupFile("dialout:x:20:\n");

    const QString marks = test::AsOtherUser({}, [&] {
        QStringList lines;
        for (const SerialPortEntry& entry : ListSerialPorts(tree_.Tree()))
            lines << entry.device + QLatin1Char('=') + entry.accessRemedy;
        return lines.join(QLatin1Char('\n'));
    });
    const QStringList lines = marks.split(QLatin1Char('\n'));
    EXPECT_TRUE(lines.contains(
        "/dev/ttyUSB0=add yourself to the group dialout (sudo usermod -aG dialout $USER) and log in again"))
        << marks.toStdString();
    EXPECT_TRUE(lines.contains("/dev/ttyS0=")) << marks.toStdString();
}

} // namespace
} // namespace zir

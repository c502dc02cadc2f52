// Whether this user may open a device, and the remedy the port's open error
// and the serial ports window give: checked as another user against device
// files of chosen owner, group and mode.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include "link/CPDrv.h"
#include "link/Exchange.h"
#include "link/PortAccess.h"
#include "support/AsOtherUser.h"
#include "support/RecordingStatus.h"
#include "support/TestExchangeHost.h"
#include "support/VirtualClock.h"

namespace zir {
namespace {

using test::AsOtherUser;

const QString kAddYourself =
    QStringLiteral("add yourself to the group dialout (sudo usermod -aG dialout $USER) and log in again");
const QString kLogOutAndIn = QStringLiteral("log out and in again");

class PortAccess : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::AsOtherUserAvailable()) GTEST_SKIP() << "needs root and the user nobody";
        ASSERT_TRUE(dir_.isValid());
        // The other user must reach the files.
        ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0755), 0);
    }

    // A device file owned by uid 1 with the given group and mode.
    QString Device(const QString& name, gid_t gid, mode_t mode) const {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        const QByteArray encoded = QFile::encodeName(path);
        EXPECT_EQ(::chown(encoded.constData(), 1, gid), 0);
        EXPECT_EQ(::chmod(encoded.constData(), mode), 0);
        return path;
    }

    QString GroupFile(const QString& name, const QByteArray& lines) const {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(lines);
        return path;
    }

    QTemporaryDir dir_;
};

TEST_F(PortAccess, RemedyFollowsGroupFileSessionAndMode) {
    const QByteArray nobody = test::OtherUserName().toLocal8Bit();
    struct Case {
        const char* what;
        gid_t deviceGroup;
        mode_t mode;
        QByteArray groupFile;
        std::vector<gid_t> sessionGroups;
        QString expected;
    };
    const Case cases[] = {
        {"not in the group", 20, 0600, "root:x:0:\ndialout:x:20:alice\n", {}, kAddYourself},
        {"listed, session older", 20, 0600, "dialout:x:20:alice," + nobody + "\n", {}, kLogOutAndIn},
        {"listed, group may use it, session older", 20, 0660, "dialout:x:20:" + nobody + "\n", {}, kLogOutAndIn},
        {"in the session, mode keeps the group out",
         20,
         0600,
         "dialout:x:20:" + nobody + "\n",
         {20},
         QStringLiteral("the group dialout may not read and write it")},
        {"in the session and the group may use it", 20, 0660, "dialout:x:20:" + nobody + "\n", {20}, QString()},
        {"another distribution's group",
         14,
         0660,
         "uucp:x:14:\ndialout:x:20:\n",
         {},
         QStringLiteral("add yourself to the group uucp (sudo usermod -aG uucp $USER) and log in again")},
        {"the superuser's group is never the remedy", 0, 0660, "root:x:0:\ndialout:x:20:\n", {}, kAddYourself},
        {"no group file", 20, 0600, QByteArray(), {}, kAddYourself},
    };
    int index = 0;
    for (const Case& c : cases) {
        const QString device = Device(QStringLiteral("tty%1").arg(index), c.deviceGroup, c.mode);
        const QString groups = c.groupFile.isEmpty() ? dir_.filePath(QStringLiteral("missing"))
                                                     : GroupFile(QStringLiteral("group%1").arg(index), c.groupFile);
        ++index;
        EXPECT_EQ(AsOtherUser(c.sessionGroups, [&] { return PortAccessRemedy(device, groups); }), c.expected) << c.what;
        EXPECT_EQ(PortAccessRemedy(device, groups), QString()) << c.what << ": root may open it";
    }
}

TEST_F(PortAccess, OtherFailuresThanPermissionGiveNoRemedy) {
    EXPECT_EQ(AsOtherUser({}, [&] { return PortAccessRemedy(dir_.filePath(QStringLiteral("absent"))); }), QString());
}

// The port's open error and the exchange's error box carry the same remedy
// as the listing, worked out with the machine's own group file.
TEST_F(PortAccess, OpenErrorCarriesTheRemedy) {
    const QString device = Device(QStringLiteral("ttyUSB0"), 20, 0600);
    const QString texts = AsOtherUser({}, [&] {
        test::VirtualClock clock;
        TCPDrv port(clock);
        port.SetPortName(device);
        const bool opened = port.Open();
        return QStringLiteral("%1\n%2\n%3").arg(opened ? "open" : "closed", port.LastError(), PortAccessRemedy(device));
    });
    const QStringList lines = texts.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3) << texts.toStdString();
    EXPECT_EQ(lines[0], "closed");
    ASSERT_FALSE(lines[2].isEmpty());
    EXPECT_EQ(lines[1], device + ": permission denied; " + lines[2]);

    // The error box shows the exchange's message.
    const QString message = AsOtherUser({}, [&] {
        test::TestExchangeHost host;
        test::RecordingStatus status;
        test::VirtualClock clock;
        TCPDrv port(clock);
        TExchange exchange(port, host, status, clock);
        const QString link = QDir(QStringLiteral("/tmp")).filePath(QStringLiteral("zir-access-%1").arg(::getpid()));
        qputenv("XDG_CONFIG_HOME", link.toLocal8Bit());
        QDir().mkpath(link + QStringLiteral("/zir"));
        QFile::link(device, link + QStringLiteral("/zir/com1"));
        QString text;
        try {
            exchange.OpenComPort();
        } catch (const EPortError& error) {
            text = error.message();
        }
        QDir(link).removeRecursively();
        return text;
    });
    EXPECT_TRUE(message.startsWith(QStringLiteral("COM-port 1 can't be opened: "))) << message.toStdString();
    EXPECT_TRUE(message.endsWith(QStringLiteral("permission denied; ") + lines[2])) << message.toStdString();
}

} // namespace
} // namespace zir

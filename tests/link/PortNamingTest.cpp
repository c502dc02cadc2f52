// Port number to device path.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/XdgFolders.h"
#include "link/CPDrv.h"
#include "link/PortNaming.h"
#include "support/VirtualClock.h"

namespace zir {
namespace {

class PortNaming : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
        QDir(dir_.path()).mkpath("zir");
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", saved_); }
    QString Com(int n) const { return dir_.filePath("zir/com" + QString::number(n)); }

    QTemporaryDir dir_;
    QByteArray saved_;
};

TEST_F(PortNaming, LinkInConfigFolderWinsOtherwiseTtyS) {
    ASSERT_TRUE(QFile::link("/dev/null", Com(1)));
    ASSERT_TRUE(QFile::link(dir_.filePath("unplugged"), Com(2))); // dangling
    QFile(Com(3)).open(QIODevice::WriteOnly);                     // not a link

    struct Case {
        int n;
        QString expected;
    };
    for (const Case& c :
         {Case{1, Com(1)}, Case{2, Com(2)}, Case{3, Com(3)}, Case{4, "/dev/ttyS3"}, Case{256, "/dev/ttyS255"}}) {
        EXPECT_EQ(PortDevicePath(c.n), c.expected) << c.n;
    }
    EXPECT_EQ(DescribeDevicePath(Com(2)), Com(2) + " -> " + dir_.filePath("unplugged"));
    EXPECT_EQ(DescribeDevicePath("/dev/ttyS3"), "/dev/ttyS3");

    ASSERT_TRUE(QFile::link("/dev/null", Com(256)));
    EXPECT_EQ(PortDevicePath(256), Com(256));
}

TEST_F(PortNaming, ComLinkNamesAndNumbers) {
    EXPECT_EQ(ComLinkPath(7), Com(7));
    struct Case {
        const char* name;
        int n;
    };
    for (const Case c : {Case{"com1", 1}, Case{"com256", 256}, Case{"com42", 42}, Case{"com0", 0}, Case{"com257", 0},
                         Case{"com01", 0}, Case{"com", 0}, Case{"com1a", 0}, Case{"com1.new-12", 0}, Case{"COM1", 0},
                         Case{"xcom1", 0}, Case{"zir.INI", 0}, Case{"com+1", 0}, Case{"com1000", 0}}) {
        EXPECT_EQ(ComLinkNumber(QString::fromLatin1(c.name)), c.n) << c.name;
    }
}

TEST_F(PortNaming, RelativeOrEmptyConfigHomeFallsBackToHome) {
    for (const char* value : {"", "relative/dir"}) {
        qputenv("XDG_CONFIG_HOME", value);
        EXPECT_EQ(ZirConfigDir(), QDir::homePath() + "/.config/zir") << value;
    }
}

TEST_F(PortNaming, PortNumberNamesTheDeviceWhenClosed) {
    ASSERT_TRUE(QFile::link("/dev/null", Com(5)));
    test::VirtualClock clock;
    TCPDrv port(clock);
    port.SetPortNumber(5);
    EXPECT_EQ(port.PortName(), Com(5));
    port.SetPortNumber(0);
    EXPECT_EQ(port.PortName(), Com(5)) << "0 keeps the name";
    port.SetPortNumber(6);
    EXPECT_EQ(port.PortName(), "/dev/ttyS5");
}

} // namespace
} // namespace zir

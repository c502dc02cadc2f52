// The serial ports window with its real widgets over a fake device tree:
// what it lists, giving and taking COM numbers, following the devices while
// open, its place in the settings file, and how the main window opens it.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "app/UFace.h"
#include "app/settings/FormPlacement.h"
#include "app/settings/IniFile.h"
#include "app/settings/IniLocation.h"
#include "app/windows/USerialPorts.h"
#include "core/Clock.h"
#include "link/PortNaming.h"
#include "ports/ComLinks.h"
#include "support/FakeDeviceTree.h"
#include "support/RecordingStatus.h"
#include "tests/app/ScriptedDialogs.h"

namespace zir::test {
namespace {

using Usb = FakeDeviceTree::Usb;

class FakeHost final : public ISerialPortsHost {
public:
    explicit FakeHost(IDialogs& dialogs) : dialogs_(dialogs) {}
    int PortNumber() const override { return port; }
    void SetPortNumber(int n) override { port = n; }
    void SelectSpeed(std::uint32_t baud) override { speed = baud; }
    QString DeviceAddress() const override { return QStringLiteral("255.255.255"); }
    IDialogs& Dialogs() override { return dialogs_; }
    IClock& Clock() override { return clock; }
    bool BeginSearch() override { return !busy; }
    void EndSearch() override {}
    bool CloseRequested() const override { return false; }
    QString BusyNote() const override { return QStringLiteral("busy"); }

    int port = 1;
    std::uint32_t speed = 0;
    bool busy = false;
    SystemClock clock;

private:
    IDialogs& dialogs_;
};

class SerialPortsWindow : public ::testing::Test {
protected:
    SerialPortsWindow() {
        ch340_ = Usb{QStringLiteral("ttyUSB1"),
                     QStringLiteral("1-2"),
                     QStringLiteral("QinHeng"),
                     QStringLiteral("USB Serial"),
                     QString(),
                     QStringLiteral("1a86"),
                     QStringLiteral("7523"),
                     {}};
        tree_.AddUsb(ftdi_);
        tree_.AddUsb(ch340_);
        tree_.ComLink(1, FakeDeviceTree::ByIdPath(ftdi_));
        tree_.ComLink(5, gone_);
        auto host = std::make_unique<FakeHost>(dialogs_);
        host_ = host.get();
        window_ = std::make_unique<TSerialPorts>(std::move(host));
        window_->SetDeviceTree(tree_.Tree());
    }

    QStringList Row(int row) const {
        QStringList texts;
        for (int column = 0; column < TSerialPorts::colCount; ++column)
            texts << window_->ListPorts->item(row, column)->text();
        return texts;
    }
    int RowOf(const QString& device) const {
        for (int row = 0; row < window_->ListPorts->rowCount(); ++row)
            if (window_->ListPorts->item(row, TSerialPorts::colDevice)->text() == device) return row;
        return -1;
    }
    int RowOfStableName(const QString& path) const {
        for (int row = 0; row < window_->ListPorts->rowCount(); ++row)
            if (window_->ListPorts->item(row, TSerialPorts::colStableName)->toolTip() == path) return row;
        return -1;
    }
    int SelectedRow() const {
        const auto ranges = window_->ListPorts->selectedRanges();
        return ranges.isEmpty() ? -1 : ranges.front().topRow();
    }
    void Choose(const QString& device) {
        const int row = RowOf(device);
        ASSERT_GE(row, 0) << device.toStdString();
        QTest::mouseClick(
            window_->ListPorts->viewport(), Qt::LeftButton, {},
            window_->ListPorts->visualItemRect(window_->ListPorts->item(row, TSerialPorts::colDevice)).center());
        ASSERT_EQ(SelectedRow(), row);
    }
    QString Status() const { return window_->Label_Status->text(); }

    FakeDeviceTree tree_;
    Usb ftdi_;
    Usb ch340_;
    const QString gone_ = QStringLiteral("/dev/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0");
    ScriptedDialogs dialogs_;
    FakeHost* host_ = nullptr;
    std::unique_ptr<TSerialPorts> window_;
};

TEST_F(SerialPortsWindow, ListsEachDeviceWithNumberDescriptionPresenceAndAccess) {
    window_->ShowModeless();
    EXPECT_EQ(window_->windowTitle(), "Serial ports");
    ASSERT_EQ(window_->ListPorts->rowCount(), 3);
    EXPECT_EQ(Row(0), (QStringList{"COM1", "/dev/ttyUSB0", FakeDeviceTree::ByIdName(ftdi_),
                                   "FTDI FT232R USB UART, serial A1B2C3, USB 0403:6001", "yes", "yes"}));
    EXPECT_EQ(Row(1), (QStringList{"", "/dev/ttyUSB1", FakeDeviceTree::ByIdName(ch340_),
                                   "QinHeng USB Serial, USB 1a86:7523", "yes", "yes"}));
    // An unplugged adapter is known by its stable name only.
    EXPECT_EQ(Row(2), (QStringList{"COM5", "", "usb-Silicon_Labs_CP2102_0001-if00-port0", "", "unplugged", ""}));
    EXPECT_EQ(window_->ListPorts->item(2, TSerialPorts::colStableName)->toolTip(), gone_);
    EXPECT_EQ(SelectedRow(), 0) << "the device of the port field is chosen";
    EXPECT_EQ(window_->SpinEdit_ComNumber->value(), 1);
}

TEST_F(SerialPortsWindow, AssignMakesTheLinkAndAsksBeforeReplacingOne) {
    window_->ShowModeless();
    Choose(QStringLiteral("/dev/ttyUSB1"));
    window_->SpinEdit_ComNumber->setValue(2);
    QTest::mouseClick(window_->Btn_Assign, Qt::LeftButton);
    EXPECT_EQ(ReadComLink(2).target, FakeDeviceTree::ByIdPath(ch340_));
    EXPECT_EQ(host_->port, 2);
    EXPECT_EQ(window_->ListPorts->item(RowOf("/dev/ttyUSB1"), TSerialPorts::colCom)->text(), "COM2");
    EXPECT_EQ(Status(), "COM2 now leads to " + FakeDeviceTree::ByIdPath(ch340_));
    EXPECT_TRUE(dialogs_.warnings.isEmpty()) << "a new number asks nothing";

    // COM1 leads to the FTDI adapter: the operator is asked first.
    const QString question = "COM1 leads to " + FakeDeviceTree::ByIdPath(ftdi_) + ". Let it lead to " +
                             FakeDeviceTree::ByIdPath(ch340_) + " instead?";
    struct Case {
        bool answer;
        QString linkAfter;
        int portAfter;
        QString status;
    };
    for (const Case& c :
         {Case{false, FakeDeviceTree::ByIdPath(ftdi_), 2, "COM1 was left as it was"},
          Case{true, FakeDeviceTree::ByIdPath(ch340_), 1, "COM1 now leads to " + FakeDeviceTree::ByIdPath(ch340_)}}) {
        dialogs_.warnings.clear();
        dialogs_.confirmAnswers = {c.answer};
        Choose(QStringLiteral("/dev/ttyUSB1"));
        window_->SpinEdit_ComNumber->setValue(1);
        QTest::mouseClick(window_->Btn_Assign, Qt::LeftButton);
        EXPECT_EQ(dialogs_.warnings, QStringList{question}) << c.answer;
        EXPECT_EQ(ReadComLink(1).target, c.linkAfter) << c.answer;
        EXPECT_EQ(host_->port, c.portAfter) << c.answer;
        EXPECT_EQ(Status(), c.status) << c.answer;
    }
    EXPECT_EQ(window_->ListPorts->item(RowOf("/dev/ttyUSB1"), TSerialPorts::colCom)->text(), "COM1, COM2");
    EXPECT_EQ(window_->ListPorts->item(RowOf("/dev/ttyUSB0"), TSerialPorts::colCom)->text(), "");

    // A name com<n> that is no link is left alone, with an error box.
    QFile plain(ComLinkPath(9));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    Choose(QStringLiteral("/dev/ttyUSB0"));
    window_->SpinEdit_ComNumber->setValue(9);
    QTest::mouseClick(window_->Btn_Assign, Qt::LeftButton);
    EXPECT_EQ(dialogs_.errors, QStringList{ComLinkPath(9) + " is not a link; it is left as it is."});
    EXPECT_FALSE(ReadComLink(9).isLink);
}

TEST_F(SerialPortsWindow, RemoveTakesOnlyTheChosenDevicesLink) {
    window_->ShowModeless();
    Choose(QStringLiteral("/dev/ttyUSB1"));
    window_->SpinEdit_ComNumber->setValue(1);
    QTest::mouseClick(window_->Btn_Remove, Qt::LeftButton);
    EXPECT_TRUE(ReadComLink(1).exists) << "COM1 is not this device's";
    EXPECT_EQ(Status(), "COM1 is not assigned to /dev/ttyUSB1");

    Choose(QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(window_->SpinEdit_ComNumber->value(), 1) << "choosing a device shows its number";
    QTest::mouseClick(window_->Btn_Remove, Qt::LeftButton);
    EXPECT_FALSE(ReadComLink(1).exists);
    EXPECT_EQ(Status(), "COM1 was removed");
    EXPECT_EQ(window_->ListPorts->item(RowOf("/dev/ttyUSB0"), TSerialPorts::colCom)->text(), "");
    EXPECT_EQ(SelectedRow(), RowOf("/dev/ttyUSB0")) << "the chosen device stays chosen";

    // An unplugged adapter's link is removed the same way.
    ASSERT_TRUE(window_->SelectDevice(gone_));
    EXPECT_EQ(window_->SpinEdit_ComNumber->value(), 5);
    QTest::mouseClick(window_->Btn_Remove, Qt::LeftButton);
    EXPECT_FALSE(ReadComLink(5).exists);
    EXPECT_EQ(window_->ListPorts->rowCount(), 2);
}

TEST_F(SerialPortsWindow, FollowsPluggingAndUnpluggingWhileOpen) {
    window_->ShowModeless();
    EXPECT_TRUE(window_->RescanTimer->isActive());
    EXPECT_EQ(window_->RescanTimer->interval(), 1000);

    tree_.Unplug(ftdi_);
    window_->Rescan();
    ASSERT_EQ(window_->ListPorts->rowCount(), 3);
    EXPECT_EQ(RowOf("/dev/ttyUSB0"), -1);
    const int unplugged = RowOfStableName(FakeDeviceTree::ByIdPath(ftdi_));
    ASSERT_GE(unplugged, 0) << "its link keeps it listed";
    EXPECT_EQ(window_->ListPorts->item(unplugged, TSerialPorts::colDevice)->text(), "");
    EXPECT_EQ(window_->ListPorts->item(unplugged, TSerialPorts::colCom)->text(), "COM1");
    EXPECT_EQ(window_->ListPorts->item(unplugged, TSerialPorts::colPresent)->text(), "unplugged");

    // The timer reads the devices again by itself.
    window_->RescanTimer->setInterval(10);
    tree_.AddUsb(ftdi_);
    QTRY_COMPARE(RowOf("/dev/ttyUSB0"), 0);
    EXPECT_EQ(window_->ListPorts->rowCount(), 3);
    EXPECT_EQ(window_->ListPorts->item(0, TSerialPorts::colCom)->text(), "COM1");

    window_->close();
    EXPECT_FALSE(window_->RescanTimer->isActive());
}

TEST_F(SerialPortsWindow, KeepsItsPlaceInASectionOfItsOwn) {
    window_->ShowModeless();
    window_->setGeometry(140, 120, 700, 300);
    const QRect frame = window_->frameGeometry();
    window_->close();
    IniFile ini(ResolveIniFilePath(QString()));
    ini.Load();
    EXPECT_EQ(ini.ReadString(QStringLiteral("TSerialPorts"), QStringLiteral("NormPos"), QString()),
              QStringLiteral("%1,%2,%3,%4")
                  .arg(frame.left())
                  .arg(frame.top())
                  .arg(frame.left() + frame.width())
                  .arg(frame.top() + frame.height()));
    EXPECT_EQ(ini.ReadString(QStringLiteral("TFace"), QStringLiteral("NormPos"), QString()), "");

    auto host = std::make_unique<FakeHost>(dialogs_);
    TSerialPorts again(std::move(host));
    again.ShowModeless();
    EXPECT_EQ(again.frameGeometry(), frame);
    EXPECT_EQ(again.size(), QSize(700, 300));
}

TEST_F(SerialPortsWindow, FindDoesNotStartWhileAnotherOperationRuns) {
    host_->busy = true;
    window_->ShowModeless();
    QTest::mouseClick(window_->Btn_Find, Qt::LeftButton);
    EXPECT_EQ(Status(), "busy");
    EXPECT_TRUE(window_->Memo_Find->toPlainText().isEmpty());
}

// The main window's Service menu and top strip.
TEST_F(SerialPortsWindow, MainWindowOpensItFromTheServiceMenuGroup) {
    TFace face;
    face.SetDialogs(&dialogs_);
    const QList<QAction*> items = face.N1->actions();
    const auto at = items.indexOf(face.actReadAll);
    ASSERT_GE(at, 0);
    // The group: "&History...", "Serial &ports...", "&Line monitor...".
    ASSERT_EQ(items.size(), at + 7);
    EXPECT_TRUE(items[at + 1]->isSeparator());
    EXPECT_EQ(items[at + 2], face.actHistory);
    EXPECT_EQ(items[at + 3], face.actSerialPorts);
    EXPECT_EQ(items[at + 4], face.actLineMonitor);
    EXPECT_TRUE(items[at + 5]->isSeparator());
    EXPECT_EQ(items[at + 6], face.actExit);
    EXPECT_EQ(face.actSerialPorts->text(), "Serial &ports...");

    face.RxSpinEdit_ComPort->setValue(3);
    face.actSerialPorts->trigger();
    TSerialPorts* window = face.SerialPorts;
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->SpinEdit_ComNumber->value(), 3);
    window->SetDeviceTree(tree_.Tree());

    window->SelectDevice(QStringLiteral("/dev/ttyUSB1"));
    window->SpinEdit_ComNumber->setValue(4);
    QTest::mouseClick(window->Btn_Assign, Qt::LeftButton);
    EXPECT_EQ(face.RxSpinEdit_ComPort->value(), 4);
    EXPECT_EQ(PortDevicePath(4), ComLinkPath(4));
    face.actSerialPorts->trigger();
    EXPECT_EQ(face.SerialPorts, window) << "one window, shown again";
}

} // namespace
} // namespace zir::test

// "Find the instrument" in the serial ports window of the main window,
// against zir-sim behind fake USB adapters: the COM number and the speed
// land in the main window's fields, and the search can be stopped.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "app/UFace.h"
#include "app/windows/LineEventLog.h"
#include "app/windows/USerialPorts.h"
#include "link/PtyPair.h"
#include "ports/ComLinks.h"
#include "support/FakeDeviceTree.h"
#include "support/RecordingStatus.h"
#include "support/SimProcess.h"
#include "tests/app/ScriptedDialogs.h"

namespace zir::test {
namespace {

using Usb = FakeDeviceTree::Usb;

Usb Adapter(const char* tty, const char* busPort, const char* serial, const QString& node) {
    return Usb{QString::fromLatin1(tty),    QString::fromLatin1(busPort),
               QStringLiteral("FTDI"),      QStringLiteral("FT232R USB UART"),
               QString::fromLatin1(serial), QStringLiteral("0403"),
               QStringLiteral("6001"),      node};
}

class FindWindow : public ::testing::Test {
protected:
    FindWindow() { face_.SetDialogs(&dialogs_); }

    TSerialPorts& Open() {
        face_.actSerialPorts->trigger();
        face_.SerialPorts->SetDeviceTree(tree_.Tree());
        return *face_.SerialPorts;
    }
    QStringList Tried(const TSerialPorts& window) const {
        return window.Memo_Find->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    FakeDeviceTree tree_;
    ScriptedDialogs dialogs_;
    TFace face_;
};

TEST_F(FindWindow, FirstAnswerGivesTheComNumberAndTheSpeed) {
    SimProcess other({"--baud", "4800", "--speed-check", "--address", "1.2.3"});
    SimProcess ours({"--baud", "2400", "--speed-check"});
    const Usb second = Adapter("ttyUSB1", "1-2", "B7", ours.PtyPath());
    tree_.AddUsb(Adapter("ttyUSB0", "1-1", "A1", other.PtyPath()));
    tree_.AddUsb(second);
    face_.RxSpinEdit_ComPort->setValue(2);
    TSerialPorts& window = Open();
    EXPECT_EQ(face_.CB_ComPort_Speed->currentIndex(), -1);

    // Device actions of the main window wait while the search runs.
    QTimer::singleShot(0, &face_, [this] { face_.actGetTime->trigger(); });
    QTest::mouseClick(window.Btn_Find, Qt::LeftButton);

    EXPECT_EQ(face_.Status(), TFace::BusyNote());
    EXPECT_EQ(Tried(window).size(), 9);
    EXPECT_EQ(Tried(window).back(), "/dev/ttyUSB1 at 2400: the instrument answered");
    // The line monitor has each try: a frame sent and how the request ended.
    face_.LineEventLog->Flush();
    EXPECT_EQ(face_.LineEventLog->Counters().requests, 9);
    EXPECT_EQ(face_.LineEventLog->Counters().firstAttempt, 1);
    EXPECT_EQ(face_.LineEventLog->Counters().notAnswered, 8);
    EXPECT_TRUE(face_.LineEventLog->Lines().last().contains(QStringLiteral("  END  #1  reply  ")));
    EXPECT_EQ(face_.CB_ComPort_Speed->currentText(), "2400");
    EXPECT_EQ(face_.RxSpinEdit_ComPort->value(), 2) << "the number of the window's field";
    EXPECT_EQ(ReadComLink(2).target, FakeDeviceTree::ByIdPath(second));
    EXPECT_EQ(window.Label_Status->text(),
              "The instrument answered on /dev/ttyUSB1 at 2400 baud: COM-port 2 and 2400 baud chosen");
    EXPECT_FALSE(face_.LongOperationRunning());
    EXPECT_TRUE(window.Btn_Find->isEnabled());
    EXPECT_FALSE(window.Btn_Stop->isEnabled());

    // Found again, it keeps the number it has.
    face_.RxSpinEdit_ComPort->setValue(7);
    face_.CB_ComPort_Speed->setCurrentIndex(0);
    QTest::mouseClick(window.Btn_Find, Qt::LeftButton);
    EXPECT_EQ(face_.RxSpinEdit_ComPort->value(), 2);
    EXPECT_EQ(face_.CB_ComPort_Speed->currentText(), "2400");
    EXPECT_FALSE(ReadComLink(7).exists);
    EXPECT_TRUE(dialogs_.warnings.isEmpty());
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join(' ').toStdString();
}

TEST_F(FindWindow, StopEndsTheSearchAndChangesNothing) {
    PtyPair silent;
    tree_.AddUsb(Adapter("ttyUSB0", "1-1", "A1", silent.SlavePath()));
    TSerialPorts& window = Open();
    QTimer::singleShot(0, window.Btn_Stop, [&window] { QTest::mouseClick(window.Btn_Stop, Qt::LeftButton); });
    QTest::mouseClick(window.Btn_Find, Qt::LeftButton);

    EXPECT_EQ(Tried(window), QStringList{"Stopped"});
    EXPECT_EQ(window.Label_Status->text(), "The search was stopped");
    EXPECT_EQ(face_.CB_ComPort_Speed->currentIndex(), -1);
    EXPECT_FALSE(ReadComLink(1).exists);
    EXPECT_TRUE(silent.ReadUntilQuiet(50).isEmpty()) << "stopped before the first request";
    EXPECT_FALSE(face_.LongOperationRunning());
}

TEST_F(FindWindow, NoAnswerAnywhere) {
    PtyPair silent;
    tree_.AddUsb(Adapter("ttyUSB0", "1-1", "A1", silent.SlavePath()));
    face_.LE_DeviceAdr->setText(QStringLiteral("1.2"));
    TSerialPorts& window = Open();
    QTest::mouseClick(window.Btn_Find, Qt::LeftButton);
    EXPECT_EQ(dialogs_.errors, QStringList{"ZeBUS address wrong."});
    EXPECT_FALSE(face_.LongOperationRunning());

    face_.LE_DeviceAdr->setText(QStringLiteral("255.255.255"));
    QTest::mouseClick(window.Btn_Find, Qt::LeftButton);
    EXPECT_EQ(Tried(window).size(), 5);
    EXPECT_EQ(window.Label_Status->text(), "No instrument answered");
    EXPECT_EQ(silent.ReadUntilQuiet(50).count("XT"), 5) << "one request at each rate";
}

} // namespace
} // namespace zir::test

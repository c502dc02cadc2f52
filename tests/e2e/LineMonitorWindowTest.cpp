// The line monitor of the main window against zir-sim on a pseudo-terminal:
// Ctrl+T with every reply spoiled, then Ctrl+L opens the monitor, which
// shows what the request met (the whole schedule: 7 s of real time).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "app/UFace.h"
#include "app/windows/ULineMonitor.h"
#include "support/SimProcess.h"
#include "tests/app/ScriptedDialogs.h"

namespace zir::test {
namespace {

struct ConfigHome {
    ConfigHome() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path())); }
    QTemporaryDir dir;
};

// The line without its time of day.
QString Untimed(const QString& line) { return line.mid(14); }

TEST(LineMonitorWithSim, BadDataShowsSixFramesSentAndSixRejectedWithTheirReason) {
    ConfigHome config;
    SimProcess sim({"--fault", "bad-data"});
    sim.LinkAsCom(config.dir.path(), 1);
    ScriptedDialogs dialogs;
    TFace face;
    face.SetDialogs(&dialogs);
    face.SetAppDir(config.dir.path() + QLatin1Char('/'));
    face.CB_ComPort_Speed->setCurrentIndex(0);
    face.show();
    QApplication::setActiveWindow(&face);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&face));

    QTest::keyClick(face.RxSpinEdit_ComPort, Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(face.Status(), "Device didn't answer");
    QTest::keyClick(face.RxSpinEdit_ComPort, Qt::Key_L, Qt::ControlModifier);
    ASSERT_NE(face.LineMonitor, nullptr);
    TLineMonitor& monitor = *face.LineMonitor;
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.Lines().size() > 12; }, 2000));

    QStringList sent, rejected, ends;
    for (const QString& line : monitor.Lines()) {
        const QString text = Untimed(line);
        if (text.startsWith("TX")) sent << text.left(13);
        if (text.contains("rejected")) rejected << text.left(35);
        if (text.startsWith("END")) ends << text.section("  ", 0, 2);
        EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  ").match(line).hasMatch())
            << line.toStdString();
    }
    EXPECT_EQ(sent, QStringList({"TX  #1  20 B ", "TX  #2  20 B ", "TX  #3  20 B ", "TX  #4  20 B ", "TX  #5  20 B ",
                                 "TX  #6  20 B "}));
    EXPECT_EQ(rejected, QStringList(6, "RX  27 B  rejected: data checksum  "));
    EXPECT_EQ(ends, QStringList({"END  #6  no answer"}));

    const auto counter = [&](const char* name) { return monitor.CounterLabels.at(QString::fromLatin1(name))->text(); };
    EXPECT_EQ(counter("Requests"), "1");
    EXPECT_EQ(counter("NotAnswered"), "1");
    EXPECT_EQ(counter("FramesSent"), "6");
    EXPECT_EQ(counter("RejectedData"), "6");
    EXPECT_EQ(counter("Rejected"), "6");
    EXPECT_EQ(counter("Accepted"), "0");
    EXPECT_EQ(counter("MeanReplyTime"), "–");
    // What the monitor shows went over the line.
    EXPECT_EQ(sim.ReceivedFrames().size(), 6);
    EXPECT_EQ(sim.SentFrames().size(), 6);
    face.SetDialogs(nullptr);
}

} // namespace
} // namespace zir::test

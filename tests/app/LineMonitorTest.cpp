// The line monitor window with real widgets under the offscreen platform:
// its lines and counters for a clock request run through the request
// exchange on a virtual clock, the filter, pause, clear, save, the cap on
// kept events, its place in the settings file and in the Service menu.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "app/UFace.h"
#include "app/settings/FormPlacement.h"
#include "app/settings/IniFile.h"
#include "app/windows/LineEventLog.h"
#include "app/windows/ULineMonitor.h"
#include "device/Clock.h"
#include "device/FakeDevice.h"
#include "link/ZebusModTransport.h"
#include "support/ClockFrames.h"
#include "support/FakeByteChannel.h"
#include "support/RecordingStatus.h"
#include "support/TestExchangeHost.h"
#include "tests/app/ScriptedDialogs.h"

namespace zir::test {
namespace {

const QByteArray kRequest = ClockRequestFrame();
// 14:30 on 25.12.2007, bank C.
const QByteArray kReply = ClockReplyFrame(QByteArray::fromHex("000000301425120743"));
const QString kTxLine =
    "TX  #%1  20 B  FF FF FF 01 01 01 06 02 02 00 4F 46 74 80 58 54 54 58 00 00  |..........OFt.XTTX..|";

QByteArray BadData(QByteArray frame) {
    frame[frame.size() - 1] = static_cast<char>(frame[frame.size() - 1] ^ 0x5A);
    return frame;
}

QString Rx(const QString& verdict, const QByteArray& bytes) {
    return QStringLiteral("RX  %1 B  %2  %3  |%4|").arg(bytes.size()).arg(verdict, HexText(bytes), AsciiText(bytes));
}

// The exchange on a virtual clock, reporting to the log a monitor shows;
// the time of day of an event is 14:30:00.000 plus its virtual time.
struct MonitorRig {
    VirtualClock clock;
    FakeByteChannel port{clock};
    TestExchangeHost host;
    RecordingStatus status;
    TExchange exchange{port, host, status, clock};
    RecordingProgress progress;
    ScriptedDialogs dialogs;
    TLineEventLog log{clock};
    TLineMonitor monitor{log, dialogs};

    MonitorRig() {
        clock.wallAtZero = QDateTime(QDate(2007, 12, 25), QTime(14, 30));
        exchange.SetObserver(&log);
        log.SetBatchInterval(0);
        monitor.show();
    }
    // The n-th frame sent from now on is answered with answers[n-1] 30 ms
    // after it went; an empty entry or a frame beyond the list gets nothing.
    void Answers(QList<QByteArray> answers) {
        const int before = static_cast<int>(port.sent.size());
        port.onSend = [this, answers, before](int number, const QByteArray&) {
            const int n = number - before;
            if (n <= answers.size() && !answers[n - 1].isEmpty()) port.FeedAfter(answers[n - 1], 30);
        };
    }
    // A clock request as the window's Read Time runs it, then the event
    // loop passes once, as it does after every handler.
    void ReadTime() {
        ReadDeviceTime(DeviceContext{exchange, QStringLiteral("255.255.255"), status, progress, false});
        QApplication::processEvents();
        ++clock.now; // the next request starts a little later
    }
    QString Counter(const char* name) const { return monitor.CounterLabels.at(QString::fromLatin1(name))->text(); }
    QStringList Counters(std::initializer_list<const char*> names) const {
        QStringList values;
        for (const char* name : names) values << QStringLiteral("%1 %2").arg(QString::fromLatin1(name), Counter(name));
        return values;
    }
};

QStringList At(std::initializer_list<std::pair<int, QString>> lines) {
    QStringList out;
    for (const auto& [ms, text] : lines) out << QTime(14, 30).addMSecs(ms).toString("hh:mm:ss.zzz") + "  " + text;
    return out;
}

const std::initializer_list<const char*> kAllCounters = {
    "Requests",       "FirstAttempt",   "Retried",      "NotAnswered", "Cancelled", "Errors",
    "MeanReplyTime",  "MaxReplyTime",   "FramesSent",   "Accepted",    "NoReply",   "PacketErrors",
    "RejectedHeader", "RejectedLength", "RejectedData", "Rejected"};

struct ClockCase {
    const char* name;
    QList<QByteArray> answers;
    QString status;
    QStringList lines;
    QStringList counters; // in the order of kAllCounters
};

class MonitoredClockRequest : public ::testing::TestWithParam<ClockCase> {};

TEST_P(MonitoredClockRequest, ShowsItsLinesAndCounters) {
    const ClockCase& c = GetParam();
    MonitorRig rig;
    rig.Answers(c.answers);

    rig.ReadTime();

    EXPECT_EQ(rig.status.Status(), c.status);
    EXPECT_EQ(rig.monitor.Lines(), c.lines);
    EXPECT_EQ(rig.monitor.List->model()->rowCount(), c.lines.size());
    EXPECT_EQ(rig.monitor.List->model()->index(0, 0).data().toString(), c.lines.first());
    EXPECT_EQ(rig.Counters(kAllCounters), c.counters);
    EXPECT_EQ(rig.monitor.KeptLabel->text(), QStringLiteral("%1 events kept (at most 100000)").arg(c.lines.size()));
}

QStringList CounterValues(std::initializer_list<const char*> values) {
    QStringList out;
    auto name = kAllCounters.begin();
    for (const char* value : values) out << QStringLiteral("%1 %2").arg(QString::fromLatin1(*name++), value);
    return out;
}

// A rejected frame arrives at 30 ms but its read waits 501 ms of silence
// (a wrong frame is not a whole one), so the reads end at 531 ms.
INSTANTIATE_TEST_SUITE_P(
    Monitor, MonitoredClockRequest,
    ::testing::Values(
        ClockCase{
            "PromptReply",
            {kReply},
            "Time readed",
            At({{0, kTxLine.arg(1)}, {30, Rx("accepted", kReply)}, {30, "END  #1  reply  30 ms"}}),
            CounterValues({"1", "1", "0", "0", "0", "0", "30 ms", "30 ms", "1", "1", "0", "0", "0", "0", "0", "0"})},
        ClockCase{"BadDataOnceThenGood",
                  {BadData(kReply), kReply},
                  "Time readed",
                  At({{0, kTxLine.arg(1)},
                      {531, Rx("rejected: data checksum", BadData(kReply))},
                      {1032, "RX  0 B  no reply"},
                      {1032, kTxLine.arg(2)},
                      {1062, Rx("accepted", kReply)},
                      {1062, "END  #2  reply  1062 ms"}}),
                  CounterValues({"1", "0", "1", "0", "0", "0", "1062 ms", "1062 ms", "2", "1", "1", "0", "0", "0", "1",
                                 "1"})},
        ClockCase{
            "ShortPacketThenGood",
            {kReply.left(8), kReply},
            "Time readed",
            At({{0, kTxLine.arg(1)},
                {531, Rx("packet error", kReply.left(8))},
                {531, kTxLine.arg(2)},
                {561, Rx("accepted", kReply)},
                {561, "END  #2  reply  561 ms"}}),
            CounterValues({"1", "0", "1", "0", "0", "0", "561 ms", "561 ms", "2", "1", "0", "1", "0", "0", "0", "0"})},
        ClockCase{"NeverAnswered",
                  {},
                  "Device didn't answer",
                  At({{0, kTxLine.arg(1)},         {501, "RX  0 B  no reply"},  {1002, "RX  0 B  no reply"},
                      {1002, kTxLine.arg(2)},      {1503, "RX  0 B  no reply"}, {2004, "RX  0 B  no reply"},
                      {2004, kTxLine.arg(3)},      {2505, "RX  0 B  no reply"}, {3006, "RX  0 B  no reply"},
                      {3006, kTxLine.arg(4)},      {3507, "RX  0 B  no reply"}, {4008, "RX  0 B  no reply"},
                      {4008, kTxLine.arg(5)},      {4509, "RX  0 B  no reply"}, {5010, "RX  0 B  no reply"},
                      {5010, kTxLine.arg(6)},      {5511, "RX  0 B  no reply"}, {6012, "RX  0 B  no reply"},
                      {6513, "RX  0 B  no reply"}, {7014, "RX  0 B  no reply"}, {7014, "END  #6  no answer  7014 ms"}}),
                  CounterValues({"1", "0", "0", "1", "0", "0", "–", "–", "6", "0", "14", "0", "0", "0", "0", "0"})}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(LineMonitor, FilterShowsOnlyTheCheckedVerdictsAndKeepsTheRest) {
    MonitorRig rig;
    rig.Answers({BadData(kReply), kReply});
    rig.ReadTime();
    const QStringList all = rig.monitor.Lines();
    ASSERT_EQ(all.size(), 6);

    struct Step {
        const char* uncheck; // box clicked
        QList<int> shown;    // indexes into all
    };
    const Step steps[] = {
        {"ShowNoReply", {0, 1, 3, 4, 5}},
        {"ShowSent", {1, 4, 5}},
        {"ShowRequestEnds", {1, 4}},
        {"ShowAccepted", {1}},
        {"ShowRejected", {}},
    };
    for (const Step& step : steps) {
        QTest::mouseClick(rig.monitor.findChild<QCheckBox*>(step.uncheck), Qt::LeftButton);
        QStringList expected;
        for (int i : step.shown) expected << all[i];
        EXPECT_EQ(rig.monitor.Lines(), expected) << step.uncheck;
    }
    // Counters count every event whatever is shown.
    EXPECT_EQ(rig.Counter("FramesSent"), "2");
    EXPECT_EQ(rig.Counter("NoReply"), "1");

    // A request while filtered adds only the lines that pass.
    QTest::mouseClick(rig.monitor.findChild<QCheckBox*>("ShowSent"), Qt::LeftButton);
    rig.Answers({kReply});
    rig.ReadTime();
    ASSERT_EQ(rig.monitor.Lines().size(), 3);
    EXPECT_EQ(rig.monitor.Lines().last(), At({{1063, kTxLine.arg(1)}}).first());

    for (const char* name : {"ShowNoReply", "ShowRequestEnds", "ShowAccepted", "ShowRejected"})
        QTest::mouseClick(rig.monitor.findChild<QCheckBox*>(name), Qt::LeftButton);
    EXPECT_EQ(rig.monitor.Lines().mid(0, 6), all);
    EXPECT_EQ(rig.monitor.Lines().size(), 9);
}

TEST(LineMonitor, PauseHoldsTheViewAndShowsWhatCameMeanwhileWhenItEnds) {
    MonitorRig rig;
    rig.Answers({kReply});
    rig.ReadTime();
    const QStringList before = rig.monitor.Lines();

    QTest::mouseClick(rig.monitor.PauseButton, Qt::LeftButton);
    rig.Answers({QByteArray(), kReply});
    rig.ReadTime();
    EXPECT_EQ(rig.monitor.Lines(), before);
    EXPECT_EQ(rig.Counter("Requests"), "1");
    EXPECT_EQ(rig.monitor.KeptLabel->text(), "9 events kept (at most 100000); paused, 6 new held back");

    QTest::mouseClick(rig.monitor.PauseButton, Qt::LeftButton);
    const QStringList after = rig.monitor.Lines();
    ASSERT_EQ(after.size(), 9);
    EXPECT_EQ(after.mid(0, 3), before);
    EXPECT_EQ(after.last(), At({{31 + 1032, "END  #2  reply  1032 ms"}}).first());
    EXPECT_EQ(rig.Counter("Requests"), "2");
    EXPECT_EQ(rig.Counter("Retried"), "1");
    EXPECT_EQ(rig.monitor.KeptLabel->text(), "9 events kept (at most 100000)");
}

TEST(LineMonitor, ClearForgetsLinesAndCounters) {
    MonitorRig rig;
    rig.Answers({kReply.left(8), kReply});
    rig.ReadTime();
    ASSERT_EQ(rig.Counter("PacketErrors"), "1");

    QTest::mouseClick(rig.monitor.ClearButton, Qt::LeftButton);
    EXPECT_TRUE(rig.monitor.Lines().isEmpty());
    EXPECT_EQ(rig.Counters(kAllCounters),
              CounterValues({"0", "0", "0", "0", "0", "0", "–", "–", "0", "0", "0", "0", "0", "0", "0", "0"}));
    EXPECT_EQ(rig.monitor.KeptLabel->text(), "0 events kept (at most 100000)");

    // Counting starts again from the clear.
    rig.Answers({kReply});
    rig.ReadTime();
    EXPECT_EQ(rig.monitor.Lines().size(), 3);
    EXPECT_EQ(rig.Counter("Requests"), "1");
    EXPECT_EQ(rig.Counter("PacketErrors"), "0");
}

TEST(LineMonitor, SaveWritesTheLinesShown) {
    MonitorRig rig;
    rig.Answers({BadData(kReply), kReply});
    rig.ReadTime();
    QTest::mouseClick(rig.monitor.findChild<QCheckBox*>("ShowNoReply"), Qt::LeftButton);
    QTemporaryDir dir;

    struct Case {
        const char* name;
        QString path;
        bool written;
    };
    const Case cases[] = {
        {"new file", dir.filePath("line.txt"), true},
        {"existing file replaced", dir.filePath("line.txt"), true},
        {"cancelled dialog", QString(), false},
        {"folder that does not exist", dir.filePath("missing/line.txt"), false},
    };
    for (const Case& c : cases) {
        rig.dialogs.errors.clear();
        QFile::remove(dir.filePath("line.txt"));
        if (QString(c.name) == "existing file replaced") {
            QFile old(c.path);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(5000, 'x'));
        }
        rig.dialogs.saveFileName = c.path;
        QTest::mouseClick(rig.monitor.SaveButton, Qt::LeftButton);
        QFile file(c.path.isEmpty() ? dir.filePath("line.txt") : c.path);
        if (c.written) {
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.name;
            EXPECT_EQ(QString::fromUtf8(file.readAll()), rig.monitor.Lines().join('\n') + '\n') << c.name;
            EXPECT_TRUE(rig.dialogs.errors.isEmpty()) << c.name;
        } else {
            EXPECT_FALSE(file.exists()) << c.name;
        }
    }
    ASSERT_EQ(rig.dialogs.errors.size(), 1);
    EXPECT_TRUE(rig.dialogs.errors[0].startsWith("Cannot create file \"" + dir.filePath("missing/line.txt") + "\". "))
        << rig.dialogs.errors[0].toStdString();
    EXPECT_EQ(rig.monitor.Lines().size(), 5) << "the filter stays as it was";
}

// --- the cap on kept events

LineEvent SentEvent(int n) {
    LineEvent e;
    e.kind = LineEvent::Kind::Sent;
    e.attempt = 1 + n % 6;
    e.timeMs = n;
    e.bytes = QByteArray::number(n);
    return e;
}

LineEvent EndEvent(int n) {
    LineEvent e;
    e.kind = LineEvent::Kind::RequestEnd;
    e.attempt = 1;
    e.timeMs = n;
    e.durationMs = n;
    return e;
}

TEST(LineEventLog, KeepsTheNewestEventsUpToItsCapacityAndCountsAll) {
    struct Case {
        const char* name;
        int events; // alternately sent frames and request ends
        unsigned filter;
        bool flushEach;    // the event loop runs after every event
        QStringList shown; // the bytes of the sent frames shown, "END n" for the ends
    };
    const unsigned sentOnly = static_cast<unsigned>(LineCategory::Sent);
    const Case cases[] = {
        {"below capacity", 3, kAllLineCategories, false, {"0", "END 1", "2"}},
        {"at capacity", 5, kAllLineCategories, false, {"0", "END 1", "2", "END 3", "4"}},
        {"beyond, in one batch", 12, kAllLineCategories, false, {"END 7", "8", "END 9", "10", "END 11"}},
        {"beyond, a batch per event", 12, kAllLineCategories, true, {"END 7", "8", "END 9", "10", "END 11"}},
        {"beyond, filtered", 12, sentOnly, true, {"8", "10"}},
    };
    for (const Case& c : cases) {
        VirtualClock clock;
        TLineEventLog log(clock, nullptr, 5);
        log.SetBatchInterval(0);
        QTableView view;
        view.setModel(&log);
        view.show();
        log.SetFilter(c.filter);
        for (int n = 0; n < c.events; ++n) {
            log.OnLineEvent(n % 2 == 0 ? SentEvent(n) : EndEvent(n));
            if (c.flushEach) QApplication::processEvents();
        }
        log.Flush();
        QStringList shown;
        for (int row = 0; row < log.rowCount(); ++row) {
            const QString line = log.LineAt(row);
            shown << (line.contains("END")
                          ? QStringLiteral("END %1").arg(line.section("  ", 4, 4).section(' ', 0, 0))
                          : QString::fromLatin1(QByteArray::fromHex(line.section("  ", 4, 4).toLatin1())));
        }
        EXPECT_EQ(shown, c.shown) << c.name;
        EXPECT_EQ(log.Kept(), std::min(c.events, 5)) << c.name;
        EXPECT_EQ(view.model()->rowCount(), c.shown.size()) << c.name;
        EXPECT_EQ(log.Counters().framesSent, (c.events + 1) / 2) << c.name;
        EXPECT_EQ(log.Counters().requests, c.events / 2) << c.name;
    }
}

TEST(LineEventLog, ANewCapacityKeepsTheNewestEventsAndBoundsWhatFollows) {
    struct Case {
        const char* name;
        int before; // sent frames taken in before the change
        bool paused;
        qsizetype capacity; // asked for
        int after;          // sent frames taken in after it
        qsizetype kept;     // capacity in force
        QStringList shown;  // bytes of the frames shown
    };
    const Case cases[] = {
        {"lowered below what is kept", 8, false, 3, 0, 3, {"5", "6", "7"}},
        {"lowered, more follow", 8, false, 3, 4, 3, {"9", "10", "11"}},
        {"lowered while paused", 8, true, 3, 0, 3, {"5", "6", "7"}},
        {"raised keeps all", 4, false, 50, 6, 50, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
        {"zero is one", 4, false, 0, 2, 1, {"5"}},
        {"negative is one", 4, false, -7, 0, 1, {"3"}},
    };
    for (const Case& c : cases) {
        ScriptedDialogs dialogs;
        VirtualClock clock;
        TLineEventLog log(clock, nullptr, 20);
        log.SetBatchInterval(0);
        TLineMonitor monitor(log, dialogs);
        monitor.show();
        int n = 0;
        for (; n < c.before; ++n) log.OnLineEvent(SentEvent(n));
        QApplication::processEvents();
        if (c.paused) log.SetPaused(true);
        log.SetCapacity(c.capacity);
        EXPECT_EQ(log.Kept(), std::min<qsizetype>(c.before, c.kept)) << c.name << ": at once";
        EXPECT_TRUE(monitor.KeptLabel->text().startsWith(
            QStringLiteral("%1 events kept (at most %2)").arg(std::min<qsizetype>(c.before, c.kept)).arg(c.kept)))
            << c.name << ": at once, " << monitor.KeptLabel->text().toStdString();
        if (c.paused) log.SetPaused(false);
        for (; n < c.before + c.after; ++n) {
            log.OnLineEvent(SentEvent(n));
            QApplication::processEvents();
        }
        log.Flush();
        QStringList shown;
        for (int row = 0; row < log.rowCount(); ++row)
            shown << QString::fromLatin1(QByteArray::fromHex(log.LineAt(row).section("  ", 4, 4).toLatin1()));
        EXPECT_EQ(log.Capacity(), c.kept) << c.name;
        EXPECT_EQ(shown, c.shown) << c.name;
        EXPECT_EQ(log.Kept(), c.shown.size()) << c.name;
        EXPECT_EQ(monitor.List->model()->rowCount(), c.shown.size()) << c.name;
        EXPECT_EQ(monitor.KeptLabel->text(),
                  QStringLiteral("%1 events kept (at most %2)").arg(c.shown.size()).arg(c.kept))
            << c.name;
        EXPECT_EQ(log.Counters().framesSent, c.before + c.after) << c.name << ": every event counted";
    }
}

TEST(LineEventLog, AHundredThousandEventsAreKeptAndOlderOnesDropOff) {
    ScriptedDialogs dialogs;
    VirtualClock clock;
    TLineEventLog log(clock);
    log.SetBatchInterval(0);
    TLineMonitor monitor(log, dialogs);
    monitor.show();
    ASSERT_EQ(log.Capacity(), 100000);
    const int total = 100000 + 2500;
    for (int n = 0; n < total; ++n) {
        log.OnLineEvent(SentEvent(n));
        // A pass of the event loop every few events, as between requests.
        if (n % 1000 == 999) QApplication::processEvents();
    }
    QApplication::processEvents();

    EXPECT_EQ(log.Kept(), 100000);
    EXPECT_EQ(monitor.List->model()->rowCount(), 100000);
    EXPECT_TRUE(log.LineAt(0).contains("  4 B  32 35 30 30  |2500|")) << log.LineAt(0).toStdString();
    EXPECT_TRUE(log.LineAt(99999).contains("|102499|")) << log.LineAt(99999).toStdString();
    EXPECT_EQ(monitor.CounterLabels.at("FramesSent")->text(), QString::number(total));
    EXPECT_EQ(monitor.KeptLabel->text(), "100000 events kept (at most 100000)");
    // The view followed the newest line.
    const QScrollBar* bar = monitor.List->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
}

// --- the window in the program

struct ConfigHome {
    ConfigHome() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path())); }
    QString IniPath() const { return dir.path() + "/zir/" + QCoreApplication::applicationName() + ".INI"; }
    QTemporaryDir dir;
};

TEST(LineMonitor, KeepsItsPlaceAndSizeInItsOwnSection) {
    ConfigHome home;
    const ScreenInfo screen{QSize(1600, 1200), 96, QRect(0, 0, 1600, 1200)};
    ScriptedDialogs dialogs;
    VirtualClock clock;
    TLineEventLog log(clock);
    int frameWidth = 0;
    {
        TLineMonitor monitor(log, dialogs);
        monitor.Placement().SetScreenProbe([screen] { return screen; });
        monitor.show();
        monitor.setGeometry(120, 140, 1040, 420);
        QApplication::processEvents();
        frameWidth = monitor.frameGeometry().width();
        monitor.close();
    }
    IniFile ini(home.IniPath());
    ini.Load();
    const QString norm = ini.ReadString("LineMonitor", "NormPos", "<none>");
    const QStringList edges = norm.split(',');
    ASSERT_EQ(edges.size(), 4) << norm.toStdString();
    EXPECT_EQ(edges[2].toInt() - edges[0].toInt(), frameWidth) << norm.toStdString();
    EXPECT_EQ(ini.ReadString("TFace", "NormPos", "<none>"), "<none>");

    TLineMonitor again(log, dialogs);
    again.Placement().SetScreenProbe([screen] { return screen; });
    again.show();
    QApplication::processEvents();
    EXPECT_EQ(again.size(), QSize(1040, 420));
    EXPECT_EQ(again.frameGeometry().left(), edges[0].toInt());
    EXPECT_EQ(again.frameGeometry().top(), edges[1].toInt());
}

TEST(LineMonitor, ServiceMenuGroupAndCtrlLOpenOneWindow) {
    ConfigHome home;
    ScriptedDialogs dialogs;
    TFace face;
    face.SetDialogs(&dialogs);
    face.show();
    QApplication::setActiveWindow(&face);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&face));

    QStringList items;
    for (const QAction* action : face.N1->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(items, QStringList({"Show progressbar while refresh is doing", "-", "Read &Time", "Read &Current data",
                                  "-", "&Refresh data bank list", "Read Data &Bank", "-", "Read all data from archive",
                                  "-", "&History...", "Serial &ports...", "&Line monitor...", "-", "E&xit"}));
    EXPECT_EQ(face.actLineMonitor->shortcut(), QKeySequence("Ctrl+L"));
    EXPECT_EQ(face.LineMonitor, nullptr) << "created on first use";

    QTest::keyClick(face.RxSpinEdit_ComPort, Qt::Key_L, Qt::ControlModifier);
    ASSERT_NE(face.LineMonitor, nullptr);
    TLineMonitor* first = face.LineMonitor;
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(first->isModal());
    EXPECT_EQ(first->windowTitle(), "Line monitor");
    EXPECT_EQ(&first->Log(), face.LineEventLog);

    first->close();
    face.actLineMonitor->trigger();
    EXPECT_EQ(face.LineMonitor, first);
    EXPECT_TRUE(first->isVisible());
    face.SetDialogs(nullptr);
}

TEST(LineMonitor, ClosingTheMainWindowClosesItAndKeepsWhereItStood) {
    ConfigHome home;
    ScriptedDialogs dialogs;
    TFace face;
    face.SetDialogs(&dialogs);
    face.show();
    face.actLineMonitor->trigger();
    TLineMonitor& monitor = *face.LineMonitor;
    // A window of its own, not one kept above the main window.
    EXPECT_EQ(monitor.parentWidget(), nullptr);
    // Closed once and opened again: the place it has at the end counts.
    monitor.close();
    face.actLineMonitor->trigger();
    monitor.setGeometry(210, 160, 1050, 430);
    QApplication::processEvents();
    const QRect frame = monitor.frameGeometry();

    face.close();
    EXPECT_FALSE(monitor.isVisible());
    IniFile ini(home.IniPath());
    ini.Load();
    EXPECT_EQ(ini.ReadString("LineMonitor", "NormPos", "<none>"), QStringLiteral("%1,%2,%3,%4")
                                                                      .arg(frame.left())
                                                                      .arg(frame.top())
                                                                      .arg(frame.left() + frame.width())
                                                                      .arg(frame.top() + frame.height()));
    EXPECT_NE(ini.ReadString("TFace", "NormPos", "<none>"), "<none>");
    face.SetDialogs(nullptr);
}

} // namespace
} // namespace zir::test

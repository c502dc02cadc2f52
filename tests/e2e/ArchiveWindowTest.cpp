// The archive actions of the main window against zir-sim on a pseudo-terminal
// linked as COM1: the bank list box, a reading into the list window, the file
// and a workbook, the whole archive, and closing the program mid-reading.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "app/FieldText.h"
#include "app/UFace.h"
#include "app/windows/UArchive.h"
#include "app/windows/UProgressBar.h"
#include "archive/ArchiveTextFile.h"
#include "archive/BankList.h"
#include "core/Cp1251.h"
#include "core/DateText.h"
#include "link/ZebusModTransport.h"
#include "support/SimProcess.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/archive/XlsxReadBack.h"

namespace zir::test {
namespace {

const QDate kSimToday(2024, 5, 17);

struct ConfigHome {
    ConfigHome() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path())); }
    QTemporaryDir dir;
};

class ArchiveWindow {
public:
    explicit ArchiveWindow(QStringList simArgs)
        : sim(simArgs << "--clock"
                      << "2024-05-17 12:00"
                      << "--active-banks"
                      << "3"
                      << "--current-bank"
                      << "1") {
        sim.LinkAsCom(config.dir.path(), 1);
        face = std::make_unique<TFace>();
        face->SetDialogs(&dialogs);
        face->SetAppDir(data.path() + QLatin1Char('/'));
        face->SetWorkbookOpener([this](const QString& path) { opened << path; });
        face->RxSpinEdit_ComPort->setValue(1);
        face->CB_ComPort_Speed->setCurrentIndex(0); // 19200
        face->LE_DeviceAdr->setText(QStringLiteral("255.255.255"));
        face->CB_Refresh->setChecked(false);
        face->NProgressCheck->setChecked(false);
        face->CB_ToFile->setChecked(true);
        face->CB_ToExcel->setChecked(true);
        face->CB_NoNull->setChecked(false);
    }
    ~ArchiveWindow() {
        if (face) face->SetDialogs(nullptr);
    }
    void Window(const QString& from, const QString& to) {
        face->CB_TimeFrom->click();
        face->CB_TimeTo->click();
        face->ME_TimeFrom->setText(from);
        face->ME_TimeTo->setText(to);
    }
    QByteArray ArchiveFile() const {
        QFile f(data.path() + "/" + kArchiveFileName);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList ListLines() const { return face->ArchiveWindow()->Lines(); }
    int FramesStartingWith(const QByteArray& request) const {
        int n = 0;
        for (const QByteArray& f : sim.ReceivedFrames()) n += f.mid(kFrameHeaderSize).startsWith(request);
        return n;
    }
    // Bank header requests ("AV" ... "NV") that reached the simulator.
    int BankHeaderRequests() const {
        int n = 0;
        for (char letter = 'A'; letter <= 'N'; ++letter) n += FramesStartingWith(QByteArray(1, letter) + 'V');
        return n;
    }

    ConfigHome config;
    QTemporaryDir data;
    SimProcess sim;
    ScriptedDialogs dialogs;
    QStringList opened;
    std::unique_ptr<TFace> face;
};

TEST(ArchiveWindow, FiltersEnableTheirTimeFields) {
    ArchiveWindow w({"--no-pacing"});
    EXPECT_FALSE(w.face->ME_TimeFrom->isEnabled());
    w.face->CB_TimeFrom->click();
    EXPECT_TRUE(w.face->ME_TimeFrom->isEnabled());
    EXPECT_FALSE(w.face->ME_TimeTo->isEnabled());
    w.face->CB_TimeTo->click();
    w.face->CB_TimeFrom->click();
    EXPECT_FALSE(w.face->ME_TimeFrom->isEnabled());
    EXPECT_TRUE(w.face->ME_TimeTo->isEnabled());
}

// One double click on "Data bank", wherever it lands in the box, asks each
// of the 14 banks once.
struct DoubleClickCase {
    const char* name;
    QWidget* (*target)(TFace&);
    QPoint (*where)(TFace&);
};

class BankBoxDoubleClick : public ::testing::TestWithParam<DoubleClickCase> {};

TEST_P(BankBoxDoubleClick, RefreshesTheListOnce) {
    ArchiveWindow w({"--no-pacing"});
    w.face->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.face.get()));
    QWidget* target = GetParam().target(*w.face);
    const QPoint where = GetParam().where(*w.face);
    if (target == w.face->CB_Bank) {
        ASSERT_FALSE(w.face->CB_Bank->lineEdit()->geometry().contains(where));
    }
    QTest::mouseDClick(target, Qt::LeftButton, {}, where);
    EXPECT_EQ(w.BankHeaderRequests(), 14);
    EXPECT_EQ(w.face->CB_Bank->count(), 3);
    EXPECT_EQ(w.face->Status(), "Bank list was refreshed");
    EXPECT_TRUE(w.dialogs.errors.isEmpty()) << w.dialogs.errors.join("|").toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Targets, BankBoxDoubleClick,
    ::testing::Values(DoubleClickCase{"EditField", [](TFace& f) -> QWidget* { return f.CB_Bank->lineEdit(); },
                                      [](TFace& f) { return f.CB_Bank->lineEdit()->rect().center(); }},
                      // The box's own frame, outside its edit field and its arrow.
                      DoubleClickCase{"BoxFrame", [](TFace& f) -> QWidget* { return f.CB_Bank; },
                                      [](TFace& f) { return QPoint(1, f.CB_Bank->height() / 2); }}),
    [](const ::testing::TestParamInfo<DoubleClickCase>& param) { return param.param.name; });

TEST(ArchiveWindow, RefreshThenReadTheOldestBank) {
    ArchiveWindow w({"--no-pacing"});
    w.face->actRefreshBanks->trigger();
    // Consecutive days ending today at the current bank 1; bank 13 comes before bank 0.
    QStringList entries;
    for (int i = 0; i < w.face->CB_Bank->count(); ++i) entries << w.face->CB_Bank->itemText(i);
    EXPECT_EQ(entries, QStringList({BankEntryText(13, kSimToday.addDays(-2)), BankEntryText(0, kSimToday.addDays(-1)),
                                    BankEntryText(1, kSimToday)}));
    EXPECT_EQ(w.face->CB_Bank->currentText(), entries.value(0));
    EXPECT_EQ(w.face->Status(), "Bank list was refreshed");

    w.Window("08:00", "08:04");
    w.face->actGetBankN->trigger();
    EXPECT_TRUE(w.dialogs.errors.isEmpty()) << w.dialogs.errors.join("|").toStdString();
    EXPECT_EQ(w.FramesStartingWith("N0"), 5);
    const QStringList lines = w.ListLines();
    ASSERT_EQ(lines.size(), 5);
    // Every line is in the list itself once the reading has ended, none held back.
    EXPECT_EQ(w.face->ArchiveWindow()->ListBox->count(), 5);
    EXPECT_TRUE(lines[0].startsWith(DateTimeToText(QDateTime(kSimToday.addDays(-2), QTime(8, 0)))));
    EXPECT_TRUE(w.face->ArchiveWindow()->isVisible());
    EXPECT_EQ(w.face->Status(), "Data file " + lines.last() + " refreshed");

    const QString title =
        "Report to ZIR 255.255.255 on " + ShortDateText(kSimToday.addDays(-2)) + " from 08:00 to 08:04";
    QByteArray expected = UnicodeToCp1251(title) + "\r\n";
    for (const QString& line : lines) expected += UnicodeToCp1251(line) + "\r\n";
    EXPECT_EQ(w.ArchiveFile(), expected);

    ASSERT_EQ(w.opened.size(), 1);
    const SheetReadBack sheet = ReadSheet(w.opened[0]);
    EXPECT_EQ(sheet.At("A1"), title);
    EXPECT_EQ(sheet.fontSize.at("A1"), 14);
    EXPECT_TRUE(sheet.At("B2").startsWith("Value at chanel A,"));
    EXPECT_NEAR(sheet.Number("A3"), SpreadsheetSerial(QDateTime(kSimToday.addDays(-2), QTime(8, 0))), 1e-9);
    EXPECT_FALSE(std::isnan(sheet.Number("B3")));
    EXPECT_TRUE(sheet.IsText("F7"));
    EXPECT_EQ(sheet.At("F7"), "484(13)");
    EXPECT_EQ(sheet.rows, std::set<int>({1, 2, 3, 4, 5, 6, 7}));
}

TEST(ArchiveWindow, WholeArchiveOldestBankFirst) {
    ArchiveWindow w({"--no-pacing"});
    w.face->CB_ToExcel->setChecked(false);
    w.Window("12:00", "12:01");
    w.face->actReadAll->trigger();
    EXPECT_TRUE(w.dialogs.errors.isEmpty()) << w.dialogs.errors.join("|").toStdString();
    EXPECT_EQ(w.face->CB_Bank->currentIndex(), 2); // the last bank stays selected
    EXPECT_EQ(w.ListLines().size(), 6);
    QStringList titles;
    for (const QByteArray& line : w.ArchiveFile().split('\n'))
        if (line.startsWith("Report to ZIR")) titles << QString::fromLatin1(line.trimmed());
    const QString on = QStringLiteral("Report to ZIR 255.255.255 on "), window = QStringLiteral(" from 12:00 to 12:01");
    EXPECT_EQ(titles, QStringList({on + ShortDateText(kSimToday.addDays(-2)) + window,
                                   on + ShortDateText(kSimToday.addDays(-1)) + window,
                                   on + ShortDateText(kSimToday) + window}));
}

TEST(ArchiveWindow, ClosingDuringAReadingCancelsItKeepsTheFilesThenCloses) {
    ArchiveWindow w({"--baud", "19200"}); // paced: a whole day takes about 40 s
    w.face->show();
    w.face->CB_Bank->setEditText(BankEntryText(1, kSimToday));
    int closeAccepted = 0;
    QObject::connect(w.face.get(), &TFace::CloseAccepted, [&] { ++closeAccepted; });
    // Meanwhile the operator asks for the clock (refused), then closes.
    QTimer::singleShot(150, w.face.get(), [&] { w.face->actGetTime->trigger(); });
    QTimer::singleShot(300, w.face.get(), [&] { w.face->close(); });

    w.face->actGetBankN->trigger();
    QApplication::processEvents(); // the close held back until the reading ended

    EXPECT_FALSE(w.face->isVisible());
    EXPECT_EQ(closeAccepted, 1);
    EXPECT_EQ(w.FramesStartingWith("XT"), 0);
    const QStringList lines = w.ListLines();
    ASSERT_GE(lines.size(), 1);
    ASSERT_LT(lines.size(), 1440);
    // The file ends with the last record whole; the workbook was saved.
    EXPECT_TRUE(w.ArchiveFile().endsWith(UnicodeToCp1251(lines.last()) + "\r\n"));
    ASSERT_EQ(w.opened.size(), 1);
    const SheetReadBack sheet = ReadSheet(w.opened[0]);
    EXPECT_EQ(int(sheet.rows.size()), lines.size() + 2);
}

// Where the operator's keys go now: the focused control of the active window.
QWidget* KeyTarget() {
    if (QWidget* focused = QApplication::focusWidget()) return focused;
    return QApplication::activeWindow();
}

// How the operator answers the "Canceled." box.
struct BoxAnswer {
    const char* name;
    void (*answer)(QMessageBox& box);
};

class KeyboardAfterCancel : public ::testing::TestWithParam<BoxAnswer> {};

TEST_P(KeyboardAfterCancel, ShortcutsWorkOnceTheBoxIsAnswered) {
    ArchiveWindow w({"--baud", "19200"}); // paced: the reading is still running when Escape comes
    w.face->CB_ToExcel->setChecked(false);
    w.face->show();
    QApplication::setActiveWindow(w.face.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.face.get()));
    w.face->SetDialogs(nullptr); // the real message boxes
    w.face->CB_Bank->setEditText(BankEntryText(1, kSimToday));
    // Escape is held from the 20th record request on, and released when the box is there.
    int probes = 0;
    w.face->SetEscapeProbe([&probes] { return ++probes > 25; });
    QString boxText;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        poll.stop();
        boxText = box->text();
        w.face->SetEscapeProbe([] { return false; });
        GetParam().answer(*box);
    });
    poll.start();

    w.face->actGetBankN->trigger();
    QApplication::processEvents();
    EXPECT_EQ(boxText, "Canceled.");
    ASSERT_EQ(w.FramesStartingWith("XT"), 0);

    QWidget* target = KeyTarget();
    ASSERT_NE(target, nullptr) << "no window has the keyboard";
    EXPECT_EQ(target->window(), w.face.get());
    QTest::keyClick(target, Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(w.FramesStartingWith("XT"), 1);
    EXPECT_EQ(w.face->Status(), "Time readed");
}

INSTANTIATE_TEST_SUITE_P(Answers, KeyboardAfterCancel,
                         ::testing::Values(BoxAnswer{"Enter",
                                                     [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }},
                                           BoxAnswer{"ClickOnOk",
                                                     [](QMessageBox& box) {
                                                         QTest::mouseClick(box.button(QMessageBox::Ok), Qt::LeftButton);
                                                     }}),
                         [](const ::testing::TestParamInfo<BoxAnswer>& param) { return param.param.name; });

// Escape pressed during a reading cancels it at its next request, also when
// its key event arrives between two requests, before the exchange looks at
// the key: it is not taken as a typed Escape, which would ask a question and
// hold the reading in that question.
class EscapeTyped : public ::testing::TestWithParam<bool> {};

TEST_P(EscapeTyped, BetweenTwoRequestsCancelsTheReading) {
    ArchiveWindow w({"--baud", "19200"});
    if (GetParam()) {
        // Automatic readings run between the requests as well; the cancel
        // still belongs to the reading.
        w.face->CB_Refresh->setChecked(true);
        w.face->RxSpE_AutoTime->setValue(3);
        w.face->Timer->setInterval(10);
    }
    w.face->show();
    QApplication::setActiveWindow(w.face.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.face.get()));
    w.face->CB_Bank->setEditText(BankEntryText(1, kSimToday));
    w.face->SetEscapeProbe([] { return false; });
    QTimer::singleShot(400, w.face.get(), [] {
        if (QWidget* target = KeyTarget()) QTest::keyClick(target, Qt::Key_Escape);
    });

    w.face->actGetBankN->trigger();
    EXPECT_TRUE(w.dialogs.warnings.isEmpty()) << w.dialogs.warnings.join("|").toStdString();
    EXPECT_EQ(w.dialogs.errors, QStringList{"Canceled."});
    const int asked = w.FramesStartingWith("B");
    EXPECT_GT(asked, 0);
    EXPECT_LT(asked, 100);
    EXPECT_TRUE(w.face->ArchiveWindow()->isVisible());
}

INSTANTIATE_TEST_SUITE_P(AutoRefresh, EscapeTyped, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& param) {
    return std::string(param.param ? "On" : "Off");
});

// Auto refresh during a long operation: the automatic readings run between
// its requests and log to ZIR.txt, but the progress window stays the
// operation's, with its gauge maximum, shown until the operation ends.
struct LongOperationCase {
    const char* name;
    int gaugeMax;
    void (*run)(ArchiveWindow& w);
};

class AutoRefreshDuring : public ::testing::TestWithParam<LongOperationCase> {};

TEST_P(AutoRefreshDuring, ProgressWindowStaysTheOperations) {
    // Each answer 40 ms late, so the operation outlasts several readings.
    ArchiveWindow w({"--no-pacing", "--delay", "40"});
    w.face->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.face.get()));
    w.face->NProgressCheck->setChecked(true);
    w.face->CB_ToFile->setChecked(false);
    w.face->CB_ToExcel->setChecked(false);
    w.face->CB_Refresh->setChecked(true);
    w.face->CB_ReadToFile->setChecked(true);
    w.face->RxSpE_AutoTime->setValue(3);
    w.face->Timer->setInterval(40); // ticks faster than the second, same counting

    struct Sample {
        bool shown;
        int maxValue;
    };
    std::vector<Sample> samples;
    QTimer sampler;
    sampler.setInterval(5);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (!w.face->LongOperationRunning() || !w.face->FProgressBar) return;
        samples.push_back({w.face->FProgressBar->isVisible(), w.face->FProgressBar->Gauge->MaxValue()});
    });
    sampler.start();
    GetParam().run(w);
    sampler.stop();

    EXPECT_TRUE(w.dialogs.errors.isEmpty()) << w.dialogs.errors.join("|").toStdString();
    ASSERT_GE(w.FramesStartingWith("XW"), 1) << "no automatic reading ran during the operation";
    QFile log(w.face->AppDir() + "ZIR.txt");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count("\r\n"), w.FramesStartingWith("XW"));
    ASSERT_FALSE(samples.empty());
    int wrong = 0;
    for (const Sample& sample : samples) wrong += !sample.shown || sample.maxValue != GetParam().gaugeMax;
    EXPECT_EQ(wrong, 0) << "of " << samples.size() << " looks at the progress window";
    EXPECT_FALSE(w.face->FProgressBar->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Operations, AutoRefreshDuring,
    ::testing::Values(LongOperationCase{"BankList", 14, [](ArchiveWindow& w) { w.face->actRefreshBanks->trigger(); }},
                      LongOperationCase{"BankReading", 12, // 09 - 00 + 3
                                        [](ArchiveWindow& w) {
                                            w.face->CB_Bank->setEditText(BankEntryText(1, kSimToday));
                                            w.Window("08:00", "08:09");
                                            w.face->actGetBankN->trigger();
                                        }}),
    [](const ::testing::TestParamInfo<LongOperationCase>& param) { return param.param.name; });

} // namespace
} // namespace zir::test

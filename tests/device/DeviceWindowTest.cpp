// The device handlers inside the real main window, with a scripted
// instrument behind it.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

#include "app/Dialogs.h"
#include "app/UFace.h"
#include "core/Cp1251.h"
#include "core/DateText.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/device/FakeDevice.h"

namespace zir::test {
namespace {

// Instrument at the window's default address with the example values.
QByteArray Answer(const QByteArray& data) {
    const QString address = QStringLiteral("255.255.255");
    auto reply = [&](const QByteArray& d) { return BuildFrame(address, kHostAddress, kKindRead, 0, d); };
    if (data == "XT") return reply(Bytes({0, 0, 0, 0x30, 0x14, 0x25, 0x12, 0x07, 'C'}));
    if (data == "CR2") return reply(QByteArray(4, '\0') + "1/s     ");
    if (data == "XW") return reply(Bytes({1, 2, 3, 5, 0x7B, 0x00, 12, 0x96, 0xF4}));
    return {};
}

class DeviceWindow : public ::testing::Test {
protected:
    DeviceWindow() {
        face.SetDialogs(&dialogs);
        face.SetDeviceLink(&link);
        face.SetAppDir(dir.path() + QLatin1Char('/'));
        face.LE_DeviceAdr->setText(QStringLiteral("255.255.255"));
        face.NProgressCheck->setChecked(false);
        link.answer = Answer;
    }
    ~DeviceWindow() override {
        face.SetDialogs(nullptr);
        face.SetDeviceLink(nullptr);
    }
    QByteArray Log() const {
        QFile f(dir.filePath("ZIR.txt"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    FakeDeviceLink link;
    TFace face;
};

TEST_F(DeviceWindow, AutoRefreshBoxEnablesAndClearsTheLogBox) {
    face.CB_ReadToFile->setChecked(true); // as restored from the settings
    EXPECT_FALSE(face.CB_ReadToFile->isEnabled());

    face.CB_Refresh->click();
    EXPECT_TRUE(face.CB_ReadToFile->isEnabled());
    EXPECT_TRUE(face.CB_ReadToFile->isChecked());

    face.CB_Refresh->click();
    EXPECT_FALSE(face.CB_ReadToFile->isEnabled());
    EXPECT_FALSE(face.CB_ReadToFile->isChecked());

    face.CB_Refresh->click();
    EXPECT_TRUE(face.CB_ReadToFile->isEnabled());
    EXPECT_FALSE(face.CB_ReadToFile->isChecked());
}

TEST_F(DeviceWindow, TimerReadsOnMultiplesOfThePeriodAndLogs) {
    face.RxSpE_AutoTime->setValue(3);
    face.CB_Refresh->click();
    face.CB_ReadToFile->click();
    for (int tick = 1; tick <= 5; ++tick) face.TimerTimer(); // counts 2..6: readings at 3 and 6

    EXPECT_EQ(link.sent.size(), 8u);
    EXPECT_EQ(face.LE_DataA->text(), "0.0015 ");
    EXPECT_EQ(face.LE_PogrA->text(), "12");
    EXPECT_EQ(face.LE_DataB->text(), "1.23 1/s");
    EXPECT_EQ(face.LE_PogrB->text(), "5");
    const QList<QByteArray> lines = Log().split('\n');
    ASSERT_EQ(lines.size(), 3); // two lines and what follows the last line end
    EXPECT_TRUE(lines[0].endsWith("  0.0015  \xB1 12 %   1.23 1/s \xB1 5 %\r")) << lines[0].toStdString();
    EXPECT_TRUE(face.Status().startsWith("Data at file "));
    EXPECT_TRUE(face.Status().endsWith(QString::fromUtf8(" 1.23 1/s ± 5 % was refreshed")));
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('|').toStdString();
}

// The log line carries the date and time as the system locale writes them;
// a character of it that Windows-1251 lacks (a Greek, Korean or Arabic time
// text) is written as "?" and the line is logged. The test also runs in the
// Greek locale.
TEST_F(DeviceWindow, LogsInEveryLocale) {
    face.RxSpE_AutoTime->setValue(3);
    face.CB_Refresh->click();
    face.CB_ReadToFile->click();
    face.TimerTimer();
    const QDateTime before = QDateTime::currentDateTime();
    face.TimerTimer(); // count 3: a reading, logged
    const QDateTime after = QDateTime::currentDateTime();

    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('|').toStdString();
    const QByteArray tail = QByteArray("  0.0015  \xB1 12 %   1.23 1/s \xB1 5 %\r\n");
    const QByteArray log = Log();
    ASSERT_TRUE(log.endsWith(tail)) << log.toStdString();
    const QByteArray date = log.chopped(tail.size());
    QStringList moments;
    for (QDateTime t = before; t <= after.addSecs(1); t = t.addSecs(1)) moments << DateTimeToText(t);
    bool matches = false;
    for (const QString& moment : moments) matches = matches || date == UnicodeToCp1251Replacing(moment);
    EXPECT_TRUE(matches) << date.toStdString() << " vs " << moments.join('|').toStdString();
}

TEST_F(DeviceWindow, FailedReadingKeepsFieldsAndLogsNothing) {
    face.RxSpE_AutoTime->setValue(3);
    face.CB_Refresh->click();
    face.CB_ReadToFile->click();
    face.LE_DataA->setText("earlier");
    link.answer = [](const QByteArray&) { return QByteArray(); };
    face.TimerTimer();
    face.TimerTimer(); // count 3: a reading, unanswered
    EXPECT_EQ(link.sent.size(), 4u);
    EXPECT_EQ(face.LE_DataA->text(), "earlier");
    EXPECT_EQ(face.Status(), "Current measures wasn't written");
    EXPECT_FALSE(QFile::exists(dir.filePath("ZIR.txt")));
}

// The schedule counts every tick of the timer, also while the error box of an
// automatic reading is open; a reading that falls due meanwhile is counted
// and not run, so readings never pile up and the later ones keep their place.
TEST_F(DeviceWindow, TicksDuringAnErrorBoxAreCountedAndNotRun) {
    ScriptedDialogs boxes;
    face.SetDialogs(&boxes);
    face.RxSpE_AutoTime->setValue(3);
    face.CB_Refresh->click();
    // n ticks of the real timer, faster than once a second.
    face.Timer->stop();
    const auto ticks = [this](int n) {
        QSignalSpy spy(face.Timer, &QTimer::timeout);
        face.Timer->setInterval(5);
        face.Timer->start();
        while (spy.count() < n) ASSERT_TRUE(spy.wait(2000));
        face.Timer->stop();
    };
    // The first reading fails with an error box.
    bool fail = true;
    link.answer = [&fail](const QByteArray& data) -> QByteArray {
        if (fail) {
            fail = false;
            throw EPortError(QStringLiteral("COM-port 1 stopped working: gone"));
        }
        return Answer(data);
    };
    // While the box is open five ticks come: counts 4 to 8; the reading due
    // at 6 is not run.
    std::size_t sentWhileOpen = 0;
    boxes.whileErrorShown = [&] {
        ticks(5);
        sentWhileOpen = link.sent.size();
    };
    ticks(2); // counts 2 and 3: the reading that fails
    ASSERT_EQ(boxes.errors, QStringList{"COM-port 1 stopped working: gone."});
    EXPECT_EQ(sentWhileOpen, 1u);

    ticks(1); // count 9: due
    EXPECT_EQ(link.sent.size(), 5u);
    ticks(2);
    EXPECT_EQ(link.sent.size(), 5u);
    ticks(1); // count 12
    EXPECT_EQ(link.sent.size(), 9u);
    EXPECT_EQ(boxes.errors.size(), 1);
    face.SetDialogs(&dialogs);
}

TEST_F(DeviceWindow, SymbolsAreAppendedAtTheEndNotAtTheCaret) {
    face.Edit_Razmernost->setText("m");
    face.Edit_Razmernost->setCursorPosition(0);
    face.N13->trigger();
    face.N11->trigger();
    face.N12->trigger();
    face.N14->trigger();
    EXPECT_EQ(face.Edit_Razmernost->text(), QString::fromLatin1("m\x0A\x08\x09\x0B"));
}

TEST_F(DeviceWindow, WriteActionsSendTheFieldsAndReport) {
    link.answer = [](const QByteArray&) { return AcknowledgementFrame("255.255.255"); };
    face.RxSpE_NumChanel->setValue(2);
    face.Edit_Razmernost->setText("0123456789");
    face.actSetRazmernost->trigger();
    EXPECT_EQ(face.Status(), "dimension was written successfully");
    EXPECT_EQ(face.Edit_Razmernost->text(), "0123456789");

    face.Edit_Koeff_K->setText("1");
    face.Edit_Koeff_M->setText("1E-5");
    face.Edit_Koeff_Porog->setText("1000");
    face.actSetKoeff->trigger();
    EXPECT_EQ(face.Status(), "The coefficients was written successfully");

    face.RxSpinEdit_Param_SN->setValue(4660);
    face.RxSpEdit_Param_NN->setValue(7);
    face.RxSpEdit_Param_Z->setValue(1);
    face.RxSpEdit_Param_VCom->setValue(2);
    face.actSetParams->trigger();
    EXPECT_EQ(face.Status(), "The parameters was written successfully");

    EXPECT_EQ(link.SentData(), (std::vector<QByteArray>{QByteArray("R2\0"
                                                                   "01234567",
                                                                   11),
                                                        Bytes({'T', '2', 0, 0x64, 0, 0x64, 0xEC, 0x64, 0x0C}),
                                                        Bytes({'W', 0, 0x12, 0x34, 7, 2, 1})}));
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

} // namespace
} // namespace zir::test

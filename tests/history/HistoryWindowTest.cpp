// The main window's readings against zir-sim go into the history: a bank
// read (whatever outputs are ticked) appears in the history and in its CSV
// export, the Archive.txt of the same reading imports as already known, a
// current reading is kept as the second series, and a history that cannot be
// written leaves the reading whole and says so once at its end.
#include <gtest/gtest.h>

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>

#include "app/FieldText.h"
#include "app/UFace.h"
#include "app/windows/UArchive.h"
#include "archive/ArchiveTextFile.h"
#include "core/Clock.h"
#include "core/DateText.h"
#include "history/ArchiveTextImport.h"
#include "history/HistoryCsv.h"
#include "support/SimProcess.h"
#include "tests/app/ScriptedDialogs.h"

namespace zir::test {
namespace {

const QDate kSimToday(2024, 5, 17);
const QString kAddress = QStringLiteral("255.255.255");

class HistoryWindow {
public:
    explicit HistoryWindow(const QString& dataHome)
        : savedConfig(qgetenv("XDG_CONFIG_HOME")),
          savedData(qgetenv("XDG_DATA_HOME")),
          sim({"--no-pacing", "--clock", "2024-05-17 12:00", "--active-banks", "3", "--current-bank", "1"}) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
        sim.LinkAsCom(config.path(), 1);
        face = std::make_unique<TFace>();
        face->SetDialogs(&dialogs);
        face->SetAppDir(appDir.path() + QLatin1Char('/'));
        face->RxSpinEdit_ComPort->setValue(1);
        face->CB_ComPort_Speed->setCurrentIndex(0);
        face->LE_DeviceAdr->setText(QStringLiteral(" 255.255.255"));
        face->NProgressCheck->setChecked(false);
        face->CB_ToExcel->setChecked(false);
        face->CB_NoNull->setChecked(false);
    }
    ~HistoryWindow() {
        face->SetDialogs(nullptr);
        face.reset();
        qputenv("XDG_CONFIG_HOME", savedConfig);
        qputenv("XDG_DATA_HOME", savedData);
    }
    void ReadBank(std::uint8_t bank, const QDate& date, bool toFile) {
        face->CB_ToFile->setChecked(toFile);
        face->CB_Bank->setEditText(BankEntryText(bank, date));
        face->CB_TimeFrom->setChecked(true);
        face->CB_TimeTo->setChecked(true);
        face->ME_TimeFrom->setText("08:00");
        face->ME_TimeTo->setText("08:04");
        face->actGetBankN->trigger();
    }

    QByteArray savedConfig, savedData;
    QTemporaryDir config, appDir;
    SimProcess sim;
    ScriptedDialogs dialogs;
    SystemClock clock; // of the stores the tests open beside the window's
    std::unique_ptr<TFace> face;
};

TEST(HistoryWindow, ABankReadIsInTheHistoryAndItsCsvEvenWithNoOutputTicked) {
    QTemporaryDir data;
    HistoryWindow w(data.path());
    w.ReadBank(1, kSimToday, false);
    EXPECT_TRUE(w.dialogs.errors.isEmpty()) << w.dialogs.errors.join("|").toStdString();
    EXPECT_TRUE(w.dialogs.messages.isEmpty()) << w.dialogs.messages.join("|").toStdString();
    const QStringList lines = w.face->ArchiveWindow()->Lines();
    ASSERT_EQ(lines.size(), 5);

    const QString path = data.path() + "/zir/history.sqlite";
    ASSERT_TRUE(QFile::exists(path));
    THistoryStore store(path, w.clock);
    EXPECT_EQ(store.Addresses(), QStringList{kAddress});
    const QDateTime day(kSimToday, QTime(0, 0), Qt::UTC);
    const HistorySeries s = store.Records(kAddress, day, day.addDays(1));
    ASSERT_EQ(s.records.size(), 5u);
    QBuffer csv;
    csv.open(QIODevice::WriteOnly);
    ASSERT_TRUE(WriteHistoryCsv(store, csv, kAddress, day, day.addDays(1)));
    const QList<QByteArray> rows = csv.data().split('\n');
    ASSERT_EQ(rows.size(), 7); // header, five rows, nothing after the last CR LF
    for (int i = 0; i < 5; ++i) {
        const HistoryRecord& r = s.records[static_cast<std::size_t>(i)];
        EXPECT_EQ(r.Time(), QDateTime(kSimToday, QTime(8, i), Qt::UTC));
        EXPECT_EQ(r.bank, 1);
        // The list line and the history say the same.
        EXPECT_TRUE(lines[i].startsWith(DateTimeToText(r.Time()) + "    " + HistoryValueText(r.a) + " " + s.UnitA(r)))
            << lines[i].toStdString();
        EXPECT_TRUE(rows[i + 1].startsWith(r.Time().toString("yyyy-MM-ddTHH:mm").toLatin1() + ",255.255.255,1,"))
            << rows[i + 1].toStdString();
    }
    const auto source = store.Source(s.records[0].source);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->detail, "Report to ZIR  255.255.255 on " + ShortDateText(kSimToday) + " from 08:00 to 08:04");
}

TEST(HistoryWindow, TheSameReadingsArchiveTxtImportsAsKnown) {
    QTemporaryDir data;
    HistoryWindow w(data.path());
    w.ReadBank(13, kSimToday.addDays(-2), true);
    w.ReadBank(13, kSimToday.addDays(-2), true); // read twice: nothing doubles
    THistoryStore store(data.path() + "/zir/history.sqlite", w.clock);
    const auto result = ImportArchiveText(store, w.appDir.path() + "/" + kArchiveFileName);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.counts.added, 0);
    EXPECT_EQ(result.counts.known, 10);
    EXPECT_EQ(result.counts.changed, 0);
    EXPECT_TRUE(result.unreadable.empty());
    const QDateTime day(kSimToday.addDays(-2), QTime(0, 0), Qt::UTC);
    EXPECT_EQ(store.Records(kAddress, day, day.addDays(1)).records.size(), 5u);
}

TEST(HistoryWindow, ACurrentReadingIsTheSecondSeries) {
    QTemporaryDir data;
    HistoryWindow w(data.path());
    const QDateTime before = QDateTime::currentDateTime();
    w.face->actReadCurrent->trigger();
    ASSERT_EQ(w.face->Status(), "Current measures was written successfully");
    THistoryStore store(data.path() + "/zir/history.sqlite", w.clock);
    const QDateTime from(before.date(), before.time(), Qt::UTC);
    const CurrentSeries s = store.CurrentReadings(kAddress, from.addSecs(-1), from.addSecs(60));
    ASSERT_EQ(s.readings.size(), 1u);
    const CurrentRecord& r = s.readings[0];
    EXPECT_EQ(HistoryValueText(r.a) + " " + s.units[r.a.unit], w.face->LE_DataA->text());
    EXPECT_EQ(QString::number(r.b.uncertainty), w.face->LE_PogrB->text());
}

TEST(HistoryWindow, AnUnwritableHistoryLeavesTheReadingWholeAndSaysSoOnceAtTheEnd) {
    HistoryWindow w("/proc");
    w.ReadBank(1, kSimToday, true);
    EXPECT_TRUE(w.dialogs.errors.isEmpty()) << w.dialogs.errors.join("|").toStdString();
    EXPECT_EQ(w.face->ArchiveWindow()->Lines().size(), 5);
    QFile file(w.appDir.path() + "/" + kArchiveFileName);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("\r\n"), 6);
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_TRUE(w.dialogs.messages[0].contains("/proc/zir/history.sqlite")) << w.dialogs.messages[0].toStdString();
    EXPECT_TRUE(w.face->Status().startsWith("Data file ")) << w.face->Status().toStdString();

    // The same cause is not told again by the current readings that follow.
    w.face->actReadCurrent->trigger();
    EXPECT_EQ(w.dialogs.messages.size(), 1);
}

TEST(HistoryWindow, CurrentReadingsIntoAnUnwritableHistoryTellOnce) {
    HistoryWindow w("/proc");
    for (int i = 0; i < 3; ++i) {
        w.face->actReadCurrent->trigger();
        EXPECT_EQ(w.face->LE_PogrA->text().isEmpty(), false);
    }
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_TRUE(w.dialogs.messages[0].contains("/proc/zir/history.sqlite"));
}

} // namespace
} // namespace zir::test

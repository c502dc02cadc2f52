// The archive read from zir-sim through the real serial port and exchange on
// a pseudo-terminal: bank list, one bank into all three outputs, and the
// whole archive.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "archive/ArchiveTextFile.h"
#include "archive/BankList.h"
#include "archive/BankReading.h"
#include "e2e/SimProcess.h"
#include "link/CPDrv.h"
#include "link/Cp1251.h"
#include "link/numFormats.h"
#include "tests/archive/ArchiveFakes.h"
#include "tests/archive/XlsxReadBack.h"

namespace zir::test {
namespace {

const QString kSimAddress = QStringLiteral("255.255.255");
const QDate kSimToday(2024, 5, 17);

class PtyHost final : public IExchangeHost {
public:
    int PortNumber() const override { return 1; }
    QString SpeedText() const override { return QStringLiteral("19200"); }
    void SetStatus(const QString&) override {}
    bool EscapeHeld() override { return false; }
};

// zir-sim as COM1 of a private configuration folder, with the archive's
// outputs in a private data folder.
class ArchiveRig {
    // Declared first: the members below use them.
private:
    QTemporaryDir config_;
    QTemporaryDir data_;
    SimProcess sim_;
    TCPDrv port_;
    PtyHost host_;
    SteadyClock clock_;
    TExchange exchange_{port_, host_, clock_};

public:
    explicit ArchiveRig(QStringList args)
        : sim_(args << "--no-pacing" << "--clock" << "2024-05-17 12:00") {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
        sim_.LinkAsCom(config_.path(), 1);
    }

    ArchiveServices Services() {
        return {DeviceContext{exchange_, kSimAddress, status, progress, false}, op, [] {},
                [] { return kSimToday; }};
    }
    QString AppDir() const { return data_.path() + "/"; }
    QByteArray ArchiveFile() const {
        QFile f(AppDir() + kArchiveFileName);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    int RecordRequests() const {
        int n = 0;
        for (const QByteArray& frame : sim_.ReceivedFrames()) n += frame.size() == kFrameHeaderSize + 5 + 4;
        return n;
    }

    RecordingStatus status;
    QStringList log;
    LoggingProgress progress{log};
    ScriptedOperator op;
    RecordingList list;
    QStringList opened;
    TArchiveReport report{{list, status, AppDir(), [this](const QString& p) { opened << p; },
                           [] { return QDateTime(QDate(2024, 5, 17), QTime(12, 0)); }}};

};

TEST(ArchiveSim, BankListOfTheInstrument) {
    ArchiveRig rig({"--active-banks", "3", "--current-bank", "1"});
    const QStringList entries = RefreshBankList(rig.Services().ctx, {});
    // Consecutive days ending today at the current bank; the bank before
    // bank 0 is bank 13.
    EXPECT_EQ(entries, QStringList({BankEntryText(13, kSimToday.addDays(-2)), BankEntryText(0, kSimToday.addDays(-1)),
                                    BankEntryText(1, kSimToday)}));
    EXPECT_EQ(rig.status.Status(), "Bank list was refreshed");
}

TEST(ArchiveSim, TenMinutesIntoAllThreeOutputs) {
    ArchiveRig rig({"--active-banks", "2", "--current-bank", "1"});
    BankReadingInputs inputs;
    inputs.bankText = BankEntryText(1, kSimToday);
    inputs.timeFromOn = inputs.timeToOn = true;
    inputs.timeFromText = "08:00";
    inputs.timeToText = "08:09";
    inputs.toExcel = inputs.toFile = true;
    ReadBank(rig.Services(), inputs, rig.report);

    EXPECT_EQ(rig.RecordRequests(), 10);
    ASSERT_GE(rig.list.lines.size(), 1);
    ASSERT_LE(rig.list.lines.size(), 10);
    const QString title = "Report to ZIR 255.255.255 on " + ShortDateText(kSimToday) + " from 08:00 to 08:09";
    QByteArray expected = UnicodeToCp1251(title) + "\r\n";
    for (const QString& line : rig.list.lines) expected += UnicodeToCp1251(line) + "\r\n";
    EXPECT_EQ(rig.ArchiveFile(), expected);
    EXPECT_EQ(rig.status.Status(), "Data file " + rig.list.lines.last() + " refreshed");

    ASSERT_EQ(rig.opened.size(), 1);
    const SheetReadBack sheet = ReadSheet(rig.opened[0]);
    EXPECT_EQ(sheet.At("A1"), title);
    EXPECT_EQ(sheet.fontSize.at("A1"), 14);
    EXPECT_TRUE(sheet.At("B2").startsWith("Value at chanel A,"));
    EXPECT_EQ(sheet.At("F3"), "480(1)");
    EXPECT_EQ(sheet.At("A3"), DateTimeToText(QDateTime(kSimToday, QTime(8, 0))));
    EXPECT_EQ(int(sheet.rows.size()), 2 + rig.list.lines.size());
    EXPECT_LE(*sheet.rows.rbegin(), 12);
}

TEST(ArchiveSim, WholeArchiveOfThreeBanksOldestFirst) {
    ArchiveRig rig({"--active-banks", "3", "--current-bank", "5"});
    QStringList entries;
    BankReadingInputs inputs;
    inputs.timeFromOn = inputs.timeToOn = true;
    inputs.timeFromText = "12:00";
    inputs.timeToText = "12:02";
    inputs.toFile = true;
    ReadWholeArchive(rig.Services(), rig.report, [&](const QStringList& e) { entries = e; },
                     [&](int i) {
                         inputs.bankText = entries.at(i);
                         return inputs;
                     });
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(rig.RecordRequests(), 9);
    const QList<QByteArray> lines = rig.ArchiveFile().split('\n');
    QStringList titles;
    for (const QByteArray& line : lines)
        if (line.startsWith("Report to ZIR")) titles << QString::fromLatin1(line.trimmed());
    const QString window = " from 12:00 to 12:02";
    EXPECT_EQ(titles, QStringList({"Report to ZIR 255.255.255 on " + ShortDateText(kSimToday.addDays(-2)) + window,
                                   "Report to ZIR 255.255.255 on " + ShortDateText(kSimToday.addDays(-1)) + window,
                                   "Report to ZIR 255.255.255 on " + ShortDateText(kSimToday) + window}));
}

} // namespace
} // namespace zir::test

// zir-cli as a process against zir-sim on a pseudo-terminal: what each
// command prints, byte for byte, for an instrument state made here; the exit
// codes; a stop in the middle of a reading; the trace and progress lines.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <thread>

#include "archive/ArchiveRecord.h"
#include "archive/XlsxReadBack.h"
#include "cli/ChildProcess.h"
#include "core/Clock.h"
#include "core/Cp1251.h"
#include "history/HistoryStore.h"
#include "link/numFormats.h"
#include "sim/InstrumentState.h"
#include "sim/Measurements.h"
#include "support/RecordingStatus.h"
#include "support/SimProcess.h"

namespace zir::test {
namespace {

const QString kCli = QStringLiteral(ZIR_CLI_PATH);
const QString kAddress = QStringLiteral("12.34.56");
// The seed gives bank 1's day (23 December) an outage of a few minutes.
constexpr std::uint32_t kSeed = 4;
// The bank in use and the instrument clock of the test state.
constexpr int kCurrentBank = 2;
const QDateTime kClock(QDate(2007, 12, 25), QTime(14, 30));

// The banks of the test instrument: 1, 0, 2 hold 23, 24 and 25 December 2007,
// so the oldest is not the lowest number. The unit texts are known answers of
// the instrument's character set: bank 0's need quoting in CSV, bank 1's
// channel A is micro, Ze, ve, per hour ("мкЗв/ч"), bank 2's channel A is
// blank.
struct TestBank {
    int number;
    QDate date;
    QByteArray unitBytesA;
    QByteArray unitBytesB;
    QString unitA;
    QString unitB;
};
const TestBank kBanks[] = {
    {1, QDate(2007, 12, 23), QByteArray("\x08\xA4\xB3\x0B    ", 8), "Sv/h    ", QStringLiteral("мкЗв/ч"), "Sv/h"},
    {0, QDate(2007, 12, 24), "1,5/s   ", "\"mR\"    ", QStringLiteral("1,5/s"), QStringLiteral("\"mR\"")},
    {2, QDate(2007, 12, 25), "        ", "1/s     ", QString(), QStringLiteral("1/s")},
};
const TestBank& Bank(int number) {
    for (const TestBank& b : kBanks)
        if (b.number == number) return b;
    throw std::logic_error("no such test bank");
}

QString WriteTestState(const QString& folder) {
    sim::InstrumentState state = sim::DefaultState(kClock.date(), kCurrentBank, 3);
    state.address = ParseBusAddress(kAddress);
    state.seed = kSeed;
    state.clock.fixedMoment = kClock;
    for (const TestBank& b : kBanks) {
        sim::Bank& bank = state.banks[static_cast<std::size_t>(b.number)];
        bank.active = true;
        bank.date = b.date;
        bank.dimensions = {b.unitBytesA, b.unitBytesB};
    }
    const QString path = QDir(folder).filePath(QStringLiteral("state.json"));
    sim::SaveStateFile(path, state);
    return path;
}

// What the simulator holds for a minute of a bank: the measurement of the
// bank's day; in the bank in use, a minute after the clock is not measured yet.
sim::Measurement SimRecord(const TestBank& bank, int minute) {
    if (bank.number == kCurrentBank && minute > kClock.time().hour() * 60 + kClock.time().minute())
        return sim::kUnwrittenRecord;
    return sim::ArchiveRecord(kSeed, bank.date.toJulianDay(), minute);
}

// A unit text as a CSV field.
QString Quoted(const QString& unit) {
    return unit.contains(u',') || unit.contains(u'"') ? u'"' + QString(unit).replace("\"", "\"\"") + u'"' : unit;
}

// What the simulator holds for a minute, as the CSV row zir-cli must print.
QString ExpectedRow(const TestBank& bank, const QDate& date, int minute) {
    const sim::Measurement m = SimRecord(bank, minute);
    return QStringLiteral("%1T%2:%3,%4,%5,%6,%7,%8,%9,%10,%11\r\n")
        .arg(date.toString(Qt::ISODate))
        .arg(minute / 60, 2, 10, QLatin1Char('0'))
        .arg(minute % 60, 2, 10, QLatin1Char('0'))
        .arg(minute)
        .arg(bank.number)
        .arg(ValueCodeToText(m.a.valueCode), Quoted(bank.unitA))
        .arg(m.a.uncertainty)
        .arg(ValueCodeToText(m.b.valueCode), Quoted(bank.unitB))
        .arg(m.b.uncertainty);
}

const QString kRecordHeader =
    QStringLiteral("time,index,bank,value_a,unit_a,uncertainty_a,value_b,unit_b,uncertainty_b\r\n");

// zir-sim with the test state, found by zir-cli as COM-port 1 of a private
// configuration folder.
class CliAgainstSim : public testing::Test {
protected:
    void Start(QStringList simArgs = {"--no-pacing"}) {
        sim_ = std::make_unique<SimProcess>(QStringList{"--state", WriteTestState(folder_.path())} + simArgs);
        sim_->LinkAsCom(Config(), 1);
    }
    QString Config() const { return folder_.filePath(QStringLiteral("config")); }
    QString Data() const { return folder_.filePath(QStringLiteral("data")); }
    ChildOptions Env(ChildOptions options = {}) const {
        options.setEnv << "XDG_CONFIG_HOME=" + Config() << "XDG_DATA_HOME=" + Data();
        return options;
    }
    ProgramResult Cli(const QStringList& args, const ChildOptions& options = {}) const {
        return RunProgram(kCli, QStringList{"--address", kAddress} + args, Env(options));
    }
    // A copy of zir-cli in a folder of its own, so that its Archive.txt (which
    // goes next to the program when that folder is writable) stays private.
    QString OwnCli() const {
        const QString dir = folder_.filePath(QStringLiteral("bin"));
        QDir().mkpath(dir);
        const QString path = QDir(dir).filePath(QStringLiteral("zir-cli"));
        if (!QFileInfo::exists(path) &&
            ::link(QFile::encodeName(kCli).constData(), QFile::encodeName(path).constData()) != 0)
            QFile::copy(kCli, path);
        return path;
    }

    QTemporaryDir folder_;
    std::unique_ptr<SimProcess> sim_;
};

void ExpectSuccess(const ProgramResult& r, const QByteArray& out) {
    EXPECT_EQ(r.exitStatus, 0) << r.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.out), QString::fromUtf8(out));
    EXPECT_EQ(r.err, QByteArray()) << "nothing on stderr when it is not a terminal";
}

TEST_F(CliAgainstSim, TimeIsTheInstrumentClockAndTheBankInUse) {
    Start();
    ExpectSuccess(Cli({"time"}), "2007-12-25T14:30\t2\n");
}

TEST_F(CliAgainstSim, CurrentValuesOfTheKnownReply) {
    // Uncertainty 5 and value code 007B for channel B, 12 and F496 for A.
    Start({"--no-pacing", "--xw-bytes", "01 02 03 05 7B 00 0C 96 F4"});
    ExpectSuccess(Cli({"current"}), "channel,value,unit,uncertainty\r\nA,0.0015,,12\r\nB,1.23,1/s,5\r\n");
}

TEST_F(CliAgainstSim, BanksOldestFirstWithIsoDates) {
    Start();
    ExpectSuccess(Cli({"banks"}), "bank,date\r\n1,2007-12-23\r\n0,2007-12-24\r\n2,2007-12-25\r\n");
}

TEST_F(CliAgainstSim, ReadGivesOneRowPerMinuteOfTheWindow) {
    Start();
    for (int bankNumber : {0, 1}) {
        const TestBank& bank = Bank(bankNumber);
        QString expected = kRecordHeader;
        for (int minute = 480; minute <= 484; ++minute) expected += ExpectedRow(bank, bank.date, minute);
        ExpectSuccess(Cli({"read", QString::number(bankNumber), "--from", "8:00", "--to", "08:04"}), expected.toUtf8());
    }
    // The whole day when no window is given: the first and last minutes.
    const ProgramResult day = Cli({"read", "2"});
    EXPECT_EQ(day.exitStatus, 0);
    const QStringList rows = QString::fromUtf8(day.out).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 1 + 1440);
    EXPECT_EQ(rows[1] + "\r\n", ExpectedRow(Bank(2), Bank(2).date, 0));
    EXPECT_EQ(rows[1440] + "\r\n", ExpectedRow(Bank(2), Bank(2).date, 1439));
}

TEST_F(CliAgainstSim, NoEmptyLeavesOutTheEmptyMinutesOnly) {
    // The outage of bank 1 (empty records) and a minute that is not empty on
    // either side of it.
    const TestBank& bank = Bank(1);
    const auto empty = [&bank](int minute) { return SimRecord(bank, minute).Empty(); };
    int first = 1;
    while (first < 1439 && !(empty(first) && !empty(first - 1))) ++first;
    int last = first;
    while (last < 1439 && empty(last + 1)) ++last;
    ASSERT_LT(last, 1439) << "the seed gives bank 1 no outage inside the day";
    const auto field = [](int minute) {
        return QStringLiteral("%1:%2").arg(minute / 60).arg(minute % 60, 2, 10, QLatin1Char('0'));
    };
    Start();
    const QString before = ExpectedRow(bank, bank.date, first - 1);
    const QString after = ExpectedRow(bank, bank.date, last + 1);
    QString gaps;
    for (int minute = first; minute <= last; ++minute) gaps += ExpectedRow(bank, bank.date, minute);
    EXPECT_TRUE(gaps.contains(QStringLiteral(",0,мкЗв/ч,"))) << gaps.toStdString();
    ExpectSuccess(Cli({"read", "1", "--from", field(first - 1), "--to", field(last + 1)}),
                  (kRecordHeader + before + gaps + after).toUtf8());
    ExpectSuccess(Cli({"read", "1", "--from", field(first - 1), "--to", field(last + 1), "--no-empty"}),
                  (kRecordHeader + before + after).toUtf8());
}

TEST_F(CliAgainstSim, ReadCurrentIsTheBankInUseDatedToday) {
    Start();
    const QDate today = QDate::currentDate();
    const ProgramResult r = Cli({"read", "current", "--to", "00:01"});
    if (QDate::currentDate() != today) GTEST_SKIP() << "midnight passed during the test";
    const TestBank& bank = Bank(2);
    ExpectSuccess(r, (kRecordHeader + ExpectedRow(bank, today, 0) + ExpectedRow(bank, today, 1)).toUtf8());
}

TEST_F(CliAgainstSim, ReadAllGivesEveryBankOldestFirstUnderOneHeader) {
    Start();
    QString expected = kRecordHeader;
    for (const TestBank& bank : kBanks)
        for (int minute : {1438, 1439}) expected += ExpectedRow(bank, bank.date, minute);
    ExpectSuccess(Cli({"read-all", "--from", "23:58"}), expected.toUtf8());
}

TEST_F(CliAgainstSim, ArchiveTxtAndWorkbookAsTheWindowWritesThem) {
    Start();
    const QString books = folder_.filePath(QStringLiteral("books"));
    QDir().mkpath(books);
    const ProgramResult r = RunProgram(
        OwnCli(),
        {"--address", kAddress, "read", "0", "--from", "08:00", "--to", "08:02", "--archive-txt", "--xlsx", books},
        Env());
    ASSERT_EQ(r.exitStatus, 0) << r.err.toStdString();

    // Archive.txt beside the program: the window's title and record lines.
    const TestBank& bank = Bank(0);
    QString text =
        ReportTitle(kAddress, bank.date, TimeFilter{TimeLimitAt(480), TimeLimitAt(482)}) + QStringLiteral("\r\n");
    for (int minute = 480; minute <= 482; ++minute) {
        const sim::Measurement m = SimRecord(bank, minute);
        ArchiveRecord record{0,
                             minute,
                             QDateTime(bank.date, QTime(minute / 60, minute % 60), Qt::UTC),
                             ValueCodeToText(m.a.valueCode),
                             m.a.uncertainty,
                             ValueCodeToText(m.b.valueCode),
                             m.b.uncertainty,
                             m.a.valueCode,
                             m.b.valueCode};
        text += RecordLine(record, bank.unitA, bank.unitB) + QStringLiteral("\r\n");
    }
    QFile archive(QFileInfo(OwnCli()).dir().filePath(QStringLiteral("Archive.txt")));
    ASSERT_TRUE(archive.open(QIODevice::ReadOnly));
    EXPECT_EQ(archive.readAll(), UnicodeToCp1251(text));

    // One new workbook with the title, the heads with the units and a row per minute.
    const QStringList workbooks = QDir(books).entryList({QStringLiteral("ZIR_archive_*_bank0_read_*.xlsx")});
    ASSERT_EQ(workbooks.size(), 1);
    const SheetReadBack sheet = ReadSheet(QDir(books).filePath(workbooks.first()));
    EXPECT_EQ(sheet.At("A1"), text.section(QStringLiteral("\r\n"), 0, 0));
    EXPECT_EQ(sheet.At("B2"), "Value at chanel A,1,5/s");
    EXPECT_EQ(sheet.At("D2"), "Value at chanel B,\"mR\"");
    EXPECT_EQ(sheet.At("F5"), "482(0)");
}

TEST_F(CliAgainstSim, WritesReachTheInstrument) {
    const QString saved = folder_.filePath(QStringLiteral("saved.json"));
    Start({"--no-pacing", "--save-state", saved});
    // Micro, then S v / h: read back through the instrument's table.
    ExpectSuccess(Cli({"write-dimension", "B", QStringLiteral("\x08") + "Sv/h"}), "");
    const ProgramResult current = Cli({"current"});
    EXPECT_TRUE(current.out.contains(QStringLiteral("\r\nB,").toUtf8()));
    EXPECT_TRUE(QString::fromUtf8(current.out).contains(QStringLiteral(",мкSv/h,"))) << current.out.toStdString();
    // Value codes: 2.5 is 250 hundredths (00FA), 3E-6 is 300 hundredths times
    // 10^-6 (E92C), 750 is 750 hundredths times 10^2 (0AEE).
    ExpectSuccess(Cli({"write-coefficients", "B", "2.5", "3E-6", "750"}), "");
    ExpectSuccess(Cli({"write-parameters", "4660", "7", "1", "2"}), "");
    ASSERT_EQ(sim_->Stop(), 0);

    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject state = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonObject channelB = state["coefficients"].toArray().at(1).toObject();
    EXPECT_EQ(channelB["k"].toString(), "00FA");
    EXPECT_EQ(channelB["m"].toString(), "E92C");
    EXPECT_EQ(channelB["threshold"].toString(), "0AEE");
    const QJsonObject service = state["service"].toObject();
    EXPECT_EQ(service["serialNumber"].toInt(), 4660);
    EXPECT_EQ(service["netNumber"].toInt(), 7);
    EXPECT_EQ(service["chargeParameter"].toInt(), 1);
    EXPECT_EQ(service["rateIndex"].toInt(), 2);
}

TEST_F(CliAgainstSim, AWriteWithoutTheAcknowledgementEndsWithOne) {
    Start({"--no-pacing", "--fault", "wrong-length", "--fault-command", "WRITE"});
    const struct {
        QStringList args;
        const char* message;
    } cases[] = {
        {{"write-dimension", "A", "x"}, "zir-cli: dimension wasn't written\n"},
        {{"write-coefficients", "A", "1", "1", "1"}, "zir-cli: The coefficients wasn't written\n"},
        {{"write-parameters", "1", "2", "3", "4"}, "zir-cli: The parameters wasn't written\n"},
    };
    for (const auto& c : cases) {
        const ProgramResult r = Cli(c.args);
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.out, QByteArray());
        EXPECT_EQ(QString::fromUtf8(r.err), QString::fromUtf8(c.message));
    }
}

TEST_F(CliAgainstSim, ExitCodesOfTheFailures) {
    Start();
    const QString gone = folder_.filePath(QStringLiteral("unplugged"));
    QDir().mkpath(Config() + "/zir");
    QFile::link(gone, Config() + "/zir/com9");
    struct Case {
        QStringList args;
        int status;
        QString message;
    };
    const Case cases[] = {
        // The port: named with its link, its target and the cause, at once.
        {{"--port", "9", "--trace", "time"},
         3,
         "zir-cli: COM-port 9 can't be opened: " + Config() + "/zir/com9 -> " + gone +
             ": cannot be opened (No such file or directory)\n"},
        {{"--device", gone, "--trace", "time"},
         3,
         "zir-cli: " + gone + ": cannot be opened (No such file or directory)\n"},
        // What the window refuses: nothing is sent.
        {{"--address", "1.2.3.4", "time"}, 2, "zir-cli: ZeBUS address wrong: '1.2.3.4' (see zir-cli --help)\n"},
        {{"--bogus", "time"}, 2, "zir-cli: Unknown option 'bogus' (see zir-cli --help)\n"},
        {{"read", "0", "--from", "12:00", "--to", "11:00"},
         2,
         "zir-cli: --from 12:00 is later than --to 11:00 (see zir-cli --help)\n"},
        // Not among the active banks.
        {{"read", "5"}, 1, "zir-cli: bank 5 is not among the active banks\n"},
    };
    for (const Case& c : cases) {
        const ProgramResult r = Cli(c.args); // the last --address given counts
        EXPECT_EQ(r.exitStatus, c.status) << c.args.join(' ').toStdString();
        QString err = QString::fromUtf8(r.err);
        if (c.args.contains("--trace")) {
            // The trace has the request's end and nothing sent before it.
            static const QRegularExpression endLine(
                QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  END  error  \\d+ ms  ([^\n]*)\n"));
            const QRegularExpressionMatch end = endLine.match(err);
            ASSERT_TRUE(end.hasMatch()) << err.toStdString();
            EXPECT_EQ("zir-cli: " + end.captured(1) + "\n", c.message);
            err.remove(0, end.capturedLength());
        }
        EXPECT_EQ(err, c.message);
        EXPECT_EQ(r.out, QByteArray());
    }
    // Only "read 5" reached the instrument: the bank list, nothing else.
    EXPECT_EQ(sim_->ReceivedFrames().size(), 14);
}

TEST_F(CliAgainstSim, APortRefusedForPermissionsGivesTheDialoutHint) {
    // A device the user may not open (mode 000), as a serial port of the
    // group "dialout" is for a user outside it.
    const QString device = folder_.filePath(QStringLiteral("ttyUSB0"));
    QFile file(device);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QFile::setPermissions(device, {});
    QDir().mkpath(Config() + "/zir");
    QFile::link(device, Config() + "/zir/com5");
    ChildOptions modes;
    modes.fileModesApply = true;
    const ProgramResult r = RunProgram(kCli, {"--port", "5", "time"}, Env(modes));
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_EQ(QString::fromUtf8(r.err),
              "zir-cli: COM-port 5 can't be opened: " + Config() + "/zir/com5 -> " + device +
                  ": permission denied; add yourself to the group dialout (sudo usermod -aG dialout $USER) "
                  "and log in again\n");
}

TEST_F(CliAgainstSim, ASilentInstrumentCostsTheWholeScheduleAndEndsWithOne) {
    Start({"--no-pacing", "--fault", "silent"});
    const ProgramResult r = Cli({"time"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "zir-cli: Device didn't answer\n");
    EXPECT_EQ(r.out, QByteArray());
    EXPECT_EQ(sim_->ReceivedFrames().size(), 6);
}

TEST_F(CliAgainstSim, UnwritableOutputFolderEndsWithFour) {
    Start();
    const QString readOnly = folder_.filePath(QStringLiteral("read-only"));
    QDir().mkpath(readOnly);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    ChildOptions modes;
    modes.fileModesApply = true;
    const ProgramResult book =
        Cli({"read", "0", "--from", "08:00", "--to", "08:00", "--xlsx", readOnly, "--no-history"}, modes);
    EXPECT_EQ(book.exitStatus, 4);
    EXPECT_EQ(QString::fromUtf8(book.err),
              "zir-cli: Can't start Excel: no new workbook can be written in " + readOnly + "/\n");

    // Archive.txt: neither the program's folder nor the data folder writable.
    const QString cli = OwnCli();
    QFile::setPermissions(QFileInfo(cli).path(), QFile::ReadOwner | QFile::ExeOwner);
    QDir().mkpath(Data());
    QFile::setPermissions(Data(), QFile::ReadOwner | QFile::ExeOwner);
    const ProgramResult text = RunProgram(
        cli, {"--address", kAddress, "read", "0", "--to", "00:00", "--archive-txt", "--no-history"}, Env(modes));
    EXPECT_EQ(text.exitStatus, 4);
    EXPECT_EQ(QString::fromUtf8(text.err),
              "zir-cli: Can't save archive data to the file " + Data() + "/zir/Archive.txt\n");
    EXPECT_EQ(text.out, QByteArray());
    QFile::setPermissions(QFileInfo(cli).path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(Data(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// The row of the history's export for what ExpectedRow describes.
QString ExportRow(const TestBank& bank, int minute, const QString& bankField) {
    const sim::Measurement m = SimRecord(bank, minute);
    const QString time = QStringLiteral("%1T%2:%3")
                             .arg(bank.date.toString(Qt::ISODate))
                             .arg(minute / 60, 2, 10, QLatin1Char('0'))
                             .arg(minute % 60, 2, 10, QLatin1Char('0'));
    // An empty record is a gap in the history: no values.
    if (m.Empty())
        return QStringLiteral("%1,%2,%3,,%4,%5,,%6,%7\r\n")
            .arg(time, kAddress, bankField, Quoted(bank.unitA))
            .arg(m.a.uncertainty)
            .arg(Quoted(bank.unitB))
            .arg(m.b.uncertainty);
    QString row = ExpectedRow(bank, bank.date, minute);
    const QStringList fields = row.split(u',');
    // time,index,bank,... becomes time,address,bank,...
    return fields[0] + u',' + kAddress + u',' + bankField +
           row.mid(fields[0].size() + fields[1].size() + fields[2].size() + 2);
}

TEST_F(CliAgainstSim, ReadingsGoIntoTheHistoryUnlessAskedNotTo) {
    Start();
    const QString header =
        QStringLiteral("time,address,bank,value_a,unit_a,uncertainty_a,value_b,unit_b,uncertainty_b\r\n");
    ExpectSuccess(
        Cli({"read", "2", "--to", "00:01", "--no-history"}),
        (kRecordHeader + ExpectedRow(Bank(2), Bank(2).date, 0) + ExpectedRow(Bank(2), Bank(2).date, 1)).toUtf8());
    ExpectSuccess(Cli({"export"}), header.toUtf8());

    ASSERT_EQ(Cli({"read", "0", "--from", "08:00", "--to", "08:01"}).exitStatus, 0);
    ASSERT_EQ(Cli({"read-all", "--from", "23:59"}).exitStatus, 0);
    QString all = header;
    for (const TestBank& bank : kBanks) {
        if (bank.number == 0)
            for (int minute : {480, 481}) all += ExportRow(bank, minute, QStringLiteral("0"));
        all += ExportRow(bank, 1439, QString::number(bank.number));
    }
    ExpectSuccess(Cli({"export"}), all.toUtf8());
    // Days and address: both days given are included; another instrument has nothing.
    ExpectSuccess(Cli({"export", "--from", "2007-12-24", "--to", "2007-12-24"}),
                  (header + ExportRow(Bank(0), 480, "0") + ExportRow(Bank(0), 481, "0") + ExportRow(Bank(0), 1439, "0"))
                      .toUtf8());
    ExpectSuccess(Cli({"export", "--address", "1.2.3"}), header.toUtf8());

    // A current reading is kept with its values and units.
    ASSERT_EQ(Cli({"current"}).exitStatus, 0);
    ASSERT_EQ(Cli({"current", "--no-history"}).exitStatus, 0);
    SystemClock clock;
    THistoryStore store(Data() + "/zir/history.sqlite", clock);
    const CurrentSeries currents = store.CurrentReadings(kAddress, QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC),
                                                         QDateTime(QDate(2100, 1, 1), QTime(0, 0), Qt::UTC));
    ASSERT_EQ(currents.readings.size(), 1u);
    const sim::Measurement now =
        sim::CurrentReading(kSeed, kClock.date().toJulianDay(), kClock.time().hour() * 60 + kClock.time().minute());
    EXPECT_EQ(currents.readings[0].a.code, now.a.valueCode);
    EXPECT_EQ(currents.readings[0].b.uncertainty, now.b.uncertainty);
    EXPECT_EQ(currents.units.value(currents.readings[0].b.unit), "1/s");
}

TEST_F(CliAgainstSim, ImportBringsArchiveTxtIntoTheHistoryOnce) {
    Start();
    const QString cli = OwnCli();
    ASSERT_EQ(RunProgram(cli,
                         {"--address", kAddress, "read", "0", "--from", "08:00", "--to", "08:02", "--archive-txt",
                          "--no-history"},
                         Env())
                  .exitStatus,
              0);
    const QString archive = QFileInfo(cli).dir().filePath(QStringLiteral("Archive.txt"));
    ExpectSuccess(Cli({"import", archive}), "Archive.txt: 3 new, 0 already known, 0 changed; unreadable lines: 0\n");
    ExpectSuccess(Cli({"import", archive}), "Archive.txt: 0 new, 3 already known, 0 changed; unreadable lines: 0\n");
    // The file does not carry the bank number.
    QString expected =
        QStringLiteral("time,address,bank,value_a,unit_a,uncertainty_a,value_b,unit_b,uncertainty_b\r\n");
    for (int minute = 480; minute <= 482; ++minute) expected += ExportRow(Bank(0), minute, QString());
    ExpectSuccess(Cli({"export"}), expected.toUtf8());

    const ProgramResult missing = Cli({"import", archive, folder_.filePath("none.txt")});
    EXPECT_EQ(missing.exitStatus, 2);
    EXPECT_EQ(QString::fromUtf8(missing.err), "zir-cli: " + folder_.filePath("none.txt") + ": no such file\n");
    EXPECT_EQ(missing.out, QByteArray()) << "nothing imported before every file was found";
}

TEST_F(CliAgainstSim, AnUnwritableHistoryEndsWithFourAfterTheData) {
    Start();
    QDir().mkpath(Data());
    QFile::setPermissions(Data(), QFile::ReadOwner | QFile::ExeOwner);
    ChildOptions modes;
    modes.fileModesApply = true;
    const ProgramResult r = Cli({"read", "0", "--from", "08:00", "--to", "08:01"}, modes);
    QFile::setPermissions(Data(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(r.exitStatus, 4);
    EXPECT_EQ(QString::fromUtf8(r.out),
              kRecordHeader + ExpectedRow(Bank(0), Bank(0).date, 480) + ExpectedRow(Bank(0), Bank(0).date, 481));
    const QString err = QString::fromUtf8(r.err);
    EXPECT_TRUE(err.startsWith("zir-cli: The history file " + Data() + "/zir/history.sqlite ")) << err.toStdString();
    EXPECT_EQ(err.count(u'\n'), 1) << "one message";
}

// Waits until the child's standard output holds at least `rows` lines.
bool WaitForRows(ChildProcess& child, int rows) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (child.Out().count('\n') < rows) {
        if (!child.Running() || std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class StopDuringRead : public CliAgainstSim, public testing::WithParamInterface<int> {};

TEST_P(StopDuringRead, LeavesWholeLinesInEveryOutput) {
    Start({}); // paced at 19200 baud: about 30 ms a record
    const QString cli = OwnCli();
    ChildProcess child(cli, {"--address", kAddress, "read", "0", "--archive-txt"}, Env());
    ASSERT_TRUE(WaitForRows(child, 12));
    child.Signal(GetParam());
    EXPECT_EQ(child.Wait(), 130);
    EXPECT_EQ(child.Err(), "zir-cli: interrupted\n");

    const QString out = QString::fromUtf8(child.Out());
    ASSERT_TRUE(out.endsWith(QStringLiteral("\r\n")));
    const QStringList rows = out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_GE(rows.size(), 12);
    ASSERT_LT(rows.size(), 1441) << "the reading was not cut short";
    EXPECT_EQ(rows[0] + "\r\n", kRecordHeader);
    for (int minute = 0; minute < rows.size() - 1; ++minute)
        EXPECT_EQ(rows[minute + 1] + "\r\n", ExpectedRow(Bank(0), Bank(0).date, minute));

    // The same records in Archive.txt, after its title, every line whole.
    QFile archive(QFileInfo(cli).dir().filePath(QStringLiteral("Archive.txt")));
    ASSERT_TRUE(archive.open(QIODevice::ReadOnly));
    const QByteArray text = archive.readAll();
    EXPECT_TRUE(text.endsWith("\r\n"));
    EXPECT_EQ(text.count("\r\n"), rows.size()); // title + one line per CSV row
    EXPECT_TRUE(text.startsWith(UnicodeToCp1251(ReportTitle(kAddress, Bank(0).date, TimeFilter{}))));

    // And in the history: the same minutes, committed when the reading ended.
    const ProgramResult history = Cli({"export"});
    ASSERT_EQ(history.exitStatus, 0);
    const QStringList stored = QString::fromUtf8(history.out).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(stored.size(), rows.size());
    EXPECT_EQ(stored.last() + "\r\n", ExportRow(Bank(0), static_cast<int>(rows.size()) - 2, QStringLiteral("0")));
}

INSTANTIATE_TEST_SUITE_P(Cli, StopDuringRead, testing::Values(SIGINT, SIGTERM));

TEST_F(CliAgainstSim, LostPortEndsTheReadingWithThreeAndKeepsWhatWasRead) {
    Start({});
    ChildProcess child(kCli, {"--address", kAddress, "read", "0"}, Env());
    ASSERT_TRUE(WaitForRows(child, 6));
    sim_->Stop();
    EXPECT_EQ(child.Wait(), 3);
    // Lost during a request, or found gone when the next request opens it.
    const QString err = QString::fromUtf8(child.Err());
    EXPECT_TRUE(err.startsWith("zir-cli: COM-port 1 stopped working: ") ||
                err.startsWith("zir-cli: COM-port 1 can't be opened: "))
        << err.toStdString();
    EXPECT_TRUE(child.Out().endsWith("\r\n"));
    EXPECT_GE(child.Out().count("\r\n"), 6);
}

// The trace is the line monitor's: TX and RX lines with the bytes in hex and
// as text, and an END line after each request.
const QRegularExpression kTraceLine(QStringLiteral(
    "^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  "
    "(TX  #[1-6]  \\d+ B|RX  \\d+ B  (accepted|rejected: [a-z ]+|packet error|no reply)|END  #[1-6]  [a-z ]+  \\d+ ms)"
    "((  [0-9A-F]{2}( [0-9A-F]{2})*)  \\|[ -~]*\\|)?$"));

// The trace lines of a run, as (kind, bytes): kind "TX  #n", "RX  <verdict>"
// or "END  #n  <outcome>".
QList<std::pair<QString, QByteArray>> TraceLines(const QByteArray& err) {
    QList<std::pair<QString, QByteArray>> lines;
    for (const QString& line : QString::fromUtf8(err).split(u'\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = kTraceLine.match(line);
        EXPECT_TRUE(m.hasMatch()) << line.toStdString();
        const QString head = m.captured(1);
        QString kind = head.startsWith("RX") ? "RX  " + m.captured(2) : head.section(QStringLiteral("  "), 0, 2);
        if (head.startsWith("TX")) kind = head.section(QStringLiteral("  "), 0, 1);
        const QByteArray bytes = QByteArray::fromHex(m.captured(4).toLatin1());
        if (!head.startsWith("END")) {
            EXPECT_TRUE(head.contains(QStringLiteral("  %1 B").arg(bytes.size()))) << line.toStdString();
        }
        lines.append({kind, bytes});
    }
    return lines;
}

TEST_F(CliAgainstSim, TraceShowsEachFrameSentAndEachRead) {
    Start();
    const ProgramResult r = Cli({"--trace", "time"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "2007-12-25T14:30\t2\n");
    const auto lines = TraceLines(r.err);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].first, "TX  #1");
    EXPECT_EQ(lines[0].second, sim_->ReceivedFrames().value(0));
    EXPECT_EQ(lines[1].first, "RX  accepted");
    EXPECT_EQ(lines[1].second, sim_->SentFrames().value(0));
    EXPECT_EQ(lines[2].first, "END  #1  reply");
}

TEST_F(CliAgainstSim, TraceShowsARejectedReplyAndTheSecondAttempt) {
    Start({"--no-pacing", "--fault", "bad-data", "--fault-count", "1"});
    const ProgramResult r = Cli({"--trace", "time"});
    EXPECT_EQ(r.exitStatus, 0);
    const auto lines = TraceLines(r.err);
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines.first().first, "TX  #1");
    EXPECT_EQ(lines[1].first, "RX  rejected: data checksum");
    EXPECT_EQ(lines[1].second.size(), 27);
    // Reads that bring nothing until the first window has passed, then the frame again.
    for (int i = 2; i < lines.size() - 3; ++i) EXPECT_EQ(lines[i].first, "RX  no reply");
    EXPECT_EQ(lines[lines.size() - 3].first, "TX  #2");
    EXPECT_EQ(lines[lines.size() - 2].first, "RX  accepted");
    EXPECT_EQ(lines[lines.size() - 2].second, sim_->SentFrames().value(1));
    EXPECT_EQ(lines.last().first, "END  #2  reply");
}

// A minute whose six attempts all fail is left out of the CSV and counted on
// standard error, also when it is no terminal and with --quiet.
TEST_F(CliAgainstSim, MinutesThatDidNotAnswerAreCountedOnStandardError) {
    for (const QStringList& quiet : {QStringList{}, QStringList{"--quiet"}}) {
        sim_.reset(); // the link com1 is made again
        Start({"--no-pacing", "--fault", "short", "--fault-command", "REC", "--fault-count", "6"});
        const ProgramResult r = Cli(quiet + QStringList{"read", "0", "--from", "08:00", "--to", "08:09"});
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(QString::fromUtf8(r.err), QStringLiteral("zir-cli: 9 of 10 minutes read\n"));
        EXPECT_EQ(r.out.count("\r\n"), 10) << "the header and nine records";
        EXPECT_FALSE(r.out.contains("T08:00,")) << "the first minute did not answer";
    }
}

TEST_F(CliAgainstSim, ProgressOnlyOnATerminalAndNotWhenQuiet) {
    Start();
    ChildOptions terminal;
    terminal.stderrOnTerminal = true;
    const ProgramResult shown = Cli({"read", "0", "--from", "08:00", "--to", "08:09"}, terminal);
    EXPECT_EQ(shown.exitStatus, 0);
    const QString progress = QString::fromUtf8(shown.err);
    EXPECT_TRUE(progress.contains(QStringLiteral("\rReading of archive bank 0: 12/12  100%  ")))
        << progress.toStdString();
    EXPECT_TRUE(progress.contains(QStringLiteral(" left\033[K")));
    EXPECT_TRUE(progress.contains(QStringLiteral("\033[Kzir-cli: 10 of 10 minutes read"))) << progress.toStdString();
    EXPECT_EQ(shown.out.count("\r\n"), 11) << "the data stay on stdout";

    const ProgramResult quiet = Cli({"--quiet", "read", "0", "--from", "08:00", "--to", "08:09"}, terminal);
    EXPECT_EQ(quiet.exitStatus, 0);
    EXPECT_EQ(quiet.err, QByteArray());
    EXPECT_EQ(quiet.out, shown.out);
}

} // namespace
} // namespace zir::test

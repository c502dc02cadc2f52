// The three outputs with real files: "Archive.txt" byte for byte, the
// workbook read back from its XML, and their refusals and failures.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

#include "ArchiveFakes.h"
#include "XlsxReadBack.h"
#include "archive/ArchiveTextFile.h"
#include "archive/ArchiveWorkbook.h"
#include "core/Cp1251.h"
#include "core/DateText.h"
#include "support/Files.h"
#include "support/SmallDisk.h"

namespace zir::test {
namespace {

const QDate kBankDate(2024, 5, 17);
const QDateTime kNow(QDate(2024, 5, 18), QTime(14, 30, 5));
const QString kTitle = QStringLiteral("Report to ZIR 1.2.3 on 17.05.24 from 08:00 to 08:02");

ArchiveRecord MakeRecord(int minute, const char* a, int ua, const char* b, int ub) {
    ArchiveRecord r;
    r.bank = 2;
    r.index = minute;
    r.time = QDateTime(kBankDate, QTime(minute / 60, minute % 60), Qt::UTC);
    r.valueA = a;
    r.uncertaintyA = ua;
    r.valueB = b;
    r.uncertaintyB = ub;
    return r;
}

VirtualClock ClockAt(const QDateTime& now) {
    VirtualClock clock;
    clock.wallAtZero = now;
    return clock;
}

struct OutputRig {
    QTemporaryDir dir;
    RecordingList list;
    RecordingStatus status;
    QStringList opened;
    QString appDir = dir.path() + "/";
    VirtualClock clock = ClockAt(kNow);
    TArchiveReport report{{list, status, appDir, [this](const QString& p) { opened << p; }, clock}};

    QByteArray FileBytes() const {
        QFile f(appDir + kArchiveFileName);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Start, heads and the records at 08:00 and 08:02; 08:01 left out.
    void ReadTwoRecords(bool toExcel, bool toFile) {
        ASSERT_TRUE(report.Start({kTitle, 2, kBankDate, toExcel, toFile}));
        report.ShowList();
        report.Heads("Bq/h", QString::fromUtf8("мк"));
        report.Record(MakeRecord(480, "1.23", 5, "4E-5", 12), Line(480), 480, 3);
        report.Record(MakeRecord(482, "0", 0, "0", 7), Line(482), 482, 5);
        report.End(Line(482), false);
    }
    static QString Line(int minute) {
        return RecordLine(MakeRecord(minute, "1.23", 5, "4E-5", 12), "Bq/h", QString::fromUtf8("мк"));
    }
};

QByteArray Cp1251Line(const QString& text) { return UnicodeToCp1251(text) + "\r\n"; }

TEST(ArchiveTextFile, AppendsTitleAndRecordsByteForByte) {
    OutputRig rig;
    {
        QFile existing(rig.appDir + kArchiveFileName);
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("earlier reading\r\n");
    }
    rig.ReadTwoRecords(false, true);
    const QByteArray expected = "earlier reading\r\n" + Cp1251Line(kTitle) + Cp1251Line(OutputRig::Line(480)) +
                                Cp1251Line(OutputRig::Line(482));
    EXPECT_EQ(rig.FileBytes(), expected);
    EXPECT_TRUE(expected.contains("\xB1 5 %"));           // "±" in Windows-1251
    EXPECT_TRUE(expected.contains("4E-5 \xEC\xEA \xB1")); // "мк"
    EXPECT_EQ(rig.status.Status(), "Data file " + OutputRig::Line(482) + " refreshed");
    EXPECT_EQ(rig.list.lines, QStringList({OutputRig::Line(480), OutputRig::Line(482)})); // no title
    EXPECT_EQ(rig.list.shown, 1);
    EXPECT_TRUE(rig.opened.isEmpty());
}

// Same rule as ZIR.txt and the saved list: "?" for each character the code
// page lacks, one for a character beyond the 16-bit range too.
TEST(ArchiveTextFile, LinesTheCodePageCannotHoldAreWrittenWithQuestionMarks) {
    OutputRig rig;
    const QString title = QString::fromUtf8("Report to ZIR 1.2.3 on 17/5/24 \xCE\xBC.\xCE\xBC. \xF0\x9F\x98\x80");
    ASSERT_TRUE(rig.report.Start({title, 2, kBankDate, false, true}));
    rig.report.End(QString(), false);
    EXPECT_EQ(rig.FileBytes(), QByteArray("Report to ZIR 1.2.3 on 17/5/24 ?.?. ?\r\n"));
}

TEST(ArchiveOutputs, RefusalsAtStart) {
    struct Case {
        const char* name;
        bool toExcel;
        bool toFile;
        bool blockTextFile; // "Archive.txt" is a folder: the workbook can be made, the file not
        QString status;     // relative to appDir for the file message
        bool workbookKept;
    };
    const Case cases[] = {
        {"folder missing, workbook", true, false, false, "Can't start Excel", false},
        {"folder missing, both", true, true, false, "Can't start Excel", false},
        {"folder missing, file", false, true, false, "Can't save archive data to the file %1Archive.txt", false},
        {"file blocked, both", true, true, true, "Can't save archive data to the file %1Archive.txt", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OutputRig rig;
        if (c.blockTextFile) {
            ASSERT_TRUE(QDir(rig.appDir).mkdir(kArchiveFileName));
        } else {
            rig.appDir = rig.dir.path() + "/missing/";
        }
        TArchiveReport report(
            {rig.list, rig.status, rig.appDir, [&](const QString& p) { rig.opened << p; }, rig.clock});
        EXPECT_FALSE(report.Start({kTitle, 2, kBankDate, c.toExcel, c.toFile}));
        EXPECT_EQ(rig.status.Status(), c.status.contains("%1") ? c.status.arg(rig.appDir) : c.status);
        ASSERT_EQ(rig.opened.size(), c.workbookKept ? 1 : 0);
        if (c.workbookKept) {
            const SheetReadBack sheet = ReadSheet(rig.opened[0]);
            EXPECT_EQ(sheet.At("A1"), kTitle);
            EXPECT_EQ(sheet.At("F2"), "Record index");
            EXPECT_EQ(sheet.rows, std::set<int>({1, 2}));
        }
    }
}

TEST(ArchiveTextFile, FailedTitleWriteGivesUpTheFileAndTheReadingGoesOn) {
    if (!QFile::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    OutputRig rig;
    QStringList told;
    rig.report.TellOperator([&](const QString& m) { told << m; });
    ASSERT_TRUE(QFile::link("/dev/full", rig.appDir + kArchiveFileName));
    rig.ReadTwoRecords(true, true);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(rig.appDir + kArchiveFileName) && told[0].contains("No space left on device"))
        << told[0].toStdString();
    EXPECT_FALSE(rig.status.Status().startsWith("Data file"));
    EXPECT_EQ(rig.list.lines.size(), 2);
    ASSERT_EQ(rig.opened.size(), 1);
    const SheetReadBack sheet = ReadSheet(rig.opened[0]);
    EXPECT_EQ(sheet.At("A1"), kTitle);
    EXPECT_EQ(sheet.rows, std::set<int>({1, 2, 3, 5}));
}

// Each cell holds what the operator would get by typing its text into the
// spreadsheet: the time a date-time value in the locale's format, values and
// uncertainties numbers in the general format, the index, title and heads text.
TEST(ArchiveWorkbook, CellsFontAndBlankRows) {
    OutputRig rig;
    rig.ReadTwoRecords(true, false);
    ASSERT_EQ(rig.opened.size(), 1);
    const QString path = rig.opened[0];
    EXPECT_EQ(QFileInfo(path).absolutePath() + "/", rig.appDir);
    EXPECT_EQ(QFileInfo(path).fileName(), "ZIR_archive_2024-05-17_bank2_read_2024-05-18_14-30-05.xlsx");

    const SheetReadBack sheet = ReadSheet(path);
    EXPECT_TRUE(sheet.IsText("A1"));
    EXPECT_EQ(sheet.At("A1"), kTitle);
    EXPECT_EQ(sheet.fontSize.at("A1"), 14);
    const std::map<QString, QString> texts = {
        {"A2", "Date, time"},
        {"B2", "Value at chanel A,Bq/h"},
        {"C2", "Uncertainty of measurement in chanel A,%"},
        {"D2", QString::fromUtf8("Value at chanel B,мк")},
        {"E2", "Uncertainty of measurement in chanel B,%"},
        {"F2", "Record index"},
        {"F3", "480(2)"},
        {"F5", "482(2)"},
    };
    for (const auto& [cell, text] : texts) {
        EXPECT_TRUE(sheet.IsText(cell)) << cell.toStdString();
        EXPECT_EQ(sheet.At(cell), text) << cell.toStdString();
    }
    const std::map<QString, double> numbers = {
        {"B3", 1.23}, {"C3", 5}, {"D3", 4E-5}, {"E3", 12}, {"B5", 0}, {"C5", 0}, {"D5", 0}, {"E5", 7},
    };
    for (const auto& [cell, value] : numbers) {
        EXPECT_DOUBLE_EQ(sheet.Number(cell), value) << cell.toStdString();
        EXPECT_EQ(sheet.FormatAt(cell), "General") << cell.toStdString();
    }
    const QString dateTimeFormat = SpreadsheetDateTimeFormat(DateTimeFormat(QLocale::system()));
    for (const auto& [cell, minute] : {std::pair{QStringLiteral("A3"), 480}, std::pair{QStringLiteral("A5"), 482}}) {
        EXPECT_NEAR(sheet.Number(cell), SpreadsheetSerial(MakeRecord(minute, "", 0, "", 0).time), 1e-9)
            << cell.toStdString();
        EXPECT_EQ(sheet.FormatAt(cell), dateTimeFormat) << cell.toStdString();
    }
    EXPECT_EQ(sheet.rows, std::set<int>({1, 2, 3, 5})); // row 4: the minute left out
    EXPECT_EQ(sheet.text.size(), texts.size() + numbers.size() + 2 + 1);
}

// The midnight record is a date-time value whose format shows the time.
TEST(ArchiveWorkbook, MidnightRecordKeepsItsTime) {
    OutputRig rig;
    ASSERT_TRUE(rig.report.Start({kTitle, 2, kBankDate, true, false}));
    rig.report.Heads("", "");
    rig.report.Record(MakeRecord(0, "0.0015", 3, "5E-5", 255), OutputRig::Line(0), 0, 3);
    rig.report.End(OutputRig::Line(0), false);
    ASSERT_EQ(rig.opened.size(), 1);
    const SheetReadBack sheet = ReadSheet(rig.opened[0]);
    EXPECT_DOUBLE_EQ(sheet.Number("A3"), SpreadsheetSerial(QDateTime(kBankDate, QTime(0, 0))));
    EXPECT_TRUE(sheet.FormatAt("A3").contains(QStringLiteral("ss"))) << sheet.FormatAt("A3").toStdString();
    EXPECT_DOUBLE_EQ(sheet.Number("B3"), 0.0015);
    EXPECT_DOUBLE_EQ(sheet.Number("D3"), 5E-5);
    EXPECT_DOUBLE_EQ(sheet.Number("E3"), 255);
    EXPECT_EQ(sheet.At("F3"), "0(2)");
}

// The date-time format of the locales as the spreadsheet writes it: fields
// become its codes, every other character an escaped literal.
TEST(SpreadsheetDateTimeFormat, FollowsTheLocalesFormat) {
    const struct {
        QString qtFormat;
        QString code;
    } cases[] = {
        {DateTimeFormat(QLocale::c()), QStringLiteral("d mmm yyyy hh\\:mm\\:ss")},
        {DateTimeFormat(QLocale("de_DE")), QStringLiteral("dd\\.mm\\.yy hh\\:mm\\:ss")},
        {DateTimeFormat(QLocale("en_US")), QStringLiteral("m\\/d\\/yy h\\:mm\\:ss AM/PM")},
        {DateTimeFormat(QLocale("el_GR")), QStringLiteral("d\\/m\\/yy h\\:mm\\:ss AM/PM")},
        {DateTimeFormat(QLocale("ko_KR")), QString::fromUtf8("yy\\. m\\. d\\. AM/PM h\\시 m\\분 s\\초")},
        {DateTimeFormat(QLocale("ja_JP")), QString::fromUtf8("yyyy\\/mm\\/dd h\\時mm\\分ss\\秒")},
        {QStringLiteral("d 'de' MMMM, h:mm ap"), QStringLiteral("d \\d\\e mmmm\\, h\\:mm am/pm")},
        {QStringLiteral("dddd 'it''s' h A ''"), QStringLiteral("dddd \\i\\t\\'\\s h AM/PM \\'")},
        {QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"), QStringLiteral("yyyy\\-mm\\-dd\\Thh\\:mm\\:ss\\.000")},
    };
    for (const auto& c : cases) EXPECT_EQ(SpreadsheetDateTimeFormat(c.qtFormat), c.code) << c.qtFormat.toStdString();
}

TEST(ArchiveWorkbook, NeverReplacesAFile) {
    OutputRig rig;
    const QString taken = TArchiveWorkbook::FreeFileName(rig.appDir, 2, kBankDate, kNow);
    {
        QFile f(taken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("someone else's");
    }
    rig.ReadTwoRecords(true, false);
    rig.ReadTwoRecords(true, false);
    ASSERT_EQ(rig.opened.size(), 2);
    EXPECT_TRUE(rig.opened[0].endsWith("_14-30-05_2.xlsx"));
    EXPECT_TRUE(rig.opened[1].endsWith("_14-30-05_3.xlsx"));
    QFile f(taken);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("someone else's"));
}

TEST(ArchiveOutputs, AbandonClosesFileSilentlyAndKeepsWorkbookHeads) {
    OutputRig rig;
    ASSERT_TRUE(rig.report.Start({kTitle, 2, kBankDate, true, true}));
    rig.report.ShowList();
    rig.status.SetStatus("before");
    rig.report.Abandon();
    EXPECT_EQ(rig.status.Status(), "before");
    EXPECT_EQ(rig.FileBytes(), Cp1251Line(kTitle));
    ASSERT_EQ(rig.opened.size(), 1);
    const SheetReadBack sheet = ReadSheet(rig.opened[0]);
    EXPECT_EQ(sheet.At("B2"), "Value in chanel A"); // heads never came
    EXPECT_EQ(sheet.At("D2"), "Value in chanel B");
}

// Names of the files in a folder, hidden ones included.
QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Whole lines, each ended by CR LF, and nothing else.
bool WholeLines(const QByteArray& bytes) {
    if (bytes.isEmpty()) return true;
    if (!bytes.endsWith("\r\n")) return false;
    return bytes.count("\r\n") == bytes.count('\n') && bytes.count("\r\n") == bytes.count('\r');
}

// Sets TMPDIR for the life of the object.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const QString& path)
        : saved_(qgetenv("TMPDIR")), had_(qEnvironmentVariableIsSet("TMPDIR")) {
        qputenv("TMPDIR", QFile::encodeName(path));
    }
    ~TemporaryFolder() {
        if (had_)
            qputenv("TMPDIR", saved_);
        else
            qunsetenv("TMPDIR");
    }

private:
    QByteArray saved_;
    bool had_;
};

struct FullDiskCase {
    const char* name;
    bool toExcel;
    bool toFile;
    bool appFolderFills; // after record kFillAt (else the temporary folder)
    bool workbookSaved;
    QStringList toldAbout; // one message per output that failed, in order: what each names
};

// A disk that fills up while a reading of 40 minutes runs: the output on it
// fails when it happens, is told once with the file and the cause, and the
// reading goes on with the others; nothing the outputs wrote before is cut.
TEST(ArchiveOutputs, ADiskThatFillsUpDuringAReading) {
    constexpr int kRecords = 120; // more than a page of text after the fill
    constexpr int kFillAt = 10;
    const FullDiskCase cases[] = {
        {"temporary folder: the workbook fails at once, the text file goes on",
         true,
         true,
         false,
         false,
         {"Can't write the workbook"}},
        {"program folder: the text file fails at once, the workbook when it is saved",
         true,
         true,
         true,
         false,
         {"Archive.txt", "Can't save the workbook"}},
        {"program folder, workbook only: told when it is saved", true, false, true, false, {"Can't save the workbook"}},
        {"temporary folder, text file only: nothing fails", false, true, false, false, {}},
    };
    for (const FullDiskCase& c : cases) {
        SCOPED_TRACE(c.name);
        SmallDisk app(256 * 1024), temp(64 * 1024);
        if (!app.Ready() || !temp.Ready()) GTEST_SKIP() << app.WhyNot().toStdString();
        const TemporaryFolder tmpdir(temp.Path());
        OutputRig rig;
        rig.appDir = app.Path() + "/";
        QStringList told;
        TArchiveReport report(
            {rig.list, rig.status, rig.appDir, [&](const QString& p) { rig.opened << p; }, rig.clock});
        report.TellOperator([&](const QString& m) { told << m; });
        const QByteArray earlier = "earlier reading\r\n";
        WriteFileBytes(rig.appDir + kArchiveFileName, earlier);

        ASSERT_TRUE(report.Start({kTitle, 2, kBankDate, c.toExcel, c.toFile}));
        report.ShowList();
        report.Heads("Bq/h", "Bq/h");
        for (int i = 0; i < kRecords; ++i) {
            if (i == kFillAt) (c.appFolderFills ? app : temp).Fill();
            report.Record(MakeRecord(480 + i, "1.23", 5, "4E-5", 12), OutputRig::Line(480 + i), 480 + i, 3 + i);
        }
        report.End(OutputRig::Line(480 + kRecords - 1), false);

        EXPECT_EQ(rig.list.lines.size(), kRecords);
        ASSERT_EQ(told.size(), c.toldAbout.size()) << told.join(" | ").toStdString();
        for (qsizetype i = 0; i < told.size(); ++i) {
            EXPECT_TRUE(told[i].contains(c.toldAbout[i])) << told[i].toStdString();
            EXPECT_TRUE(told[i].contains(rig.appDir)) << told[i].toStdString();
            EXPECT_TRUE(told[i].contains("No space left on device")) << told[i].toStdString();
        }
        const QByteArray text = ReadFileBytes(rig.appDir + kArchiveFileName);
        EXPECT_TRUE(text.startsWith(earlier));
        EXPECT_TRUE(WholeLines(text));
        if (c.toFile) {
            EXPECT_TRUE(text.contains(UnicodeToCp1251(kTitle)));
            if (!c.appFolderFills) {
                EXPECT_TRUE(text.endsWith(Cp1251Line(OutputRig::Line(480 + kRecords - 1))));
            }
        }
        EXPECT_EQ(rig.opened.size(), c.workbookSaved ? 1 : 0);
        // Neither a broken workbook nor its temporary file stays behind.
        for (const QString& name : FilesIn(rig.appDir)) EXPECT_FALSE(name.contains("xlsx")) << name.toStdString();
        const bool textFileWhole = c.toFile && !c.appFolderFills;
        EXPECT_EQ(rig.status.Status().startsWith("Data file"), textFileWhole) << rig.status.Status().toStdString();
    }
}

// Every file the reading writes refuses to grow (the file size limit stands
// in for a full disk where no small file system can be made): each output
// is told once, however many records follow.
TEST(ArchiveOutputs, EveryOutputFailingIsToldOncePerOperation) {
    OutputRig rig;
    QStringList told;
    rig.report.TellOperator([&](const QString& m) { told << m; });
    const QByteArray earlier(2000, 'x');
    WriteFileBytes(rig.appDir + kArchiveFileName, earlier.left(1998) + "\r\n");
    {
        const FileSizeLimit limit(2100);
        for (int reading = 0; reading < 2; ++reading) {
            ASSERT_TRUE(rig.report.Start({kTitle, 2, kBankDate, true, true}));
            rig.report.ShowList();
            rig.report.Heads("Bq/h", "Bq/h");
            for (int i = 0; i < 200; ++i)
                rig.report.Record(MakeRecord(i, "1.23", 5, "4E-5", 12), OutputRig::Line(i), i, 3 + i);
            rig.report.End(OutputRig::Line(199), false);
        }
    }
    EXPECT_EQ(rig.list.lines.size(), 400);
    ASSERT_EQ(told.size(), 2) << told.join(" | ").toStdString();
    EXPECT_TRUE(told[0].contains(rig.appDir + kArchiveFileName) && told[0].contains("File too large"));
    EXPECT_TRUE(told[1].contains("workbook") && told[1].contains("File too large")) << told[1].toStdString();
    const QByteArray text = ReadFileBytes(rig.appDir + kArchiveFileName);
    EXPECT_TRUE(text.startsWith(earlier.left(1998)));
    EXPECT_LE(text.size(), 2100);
    EXPECT_TRUE(WholeLines(text));
    EXPECT_TRUE(rig.opened.isEmpty());
    for (const QString& name : FilesIn(rig.appDir)) EXPECT_FALSE(name.contains("xlsx")) << name.toStdString();
}

TEST(ArchiveWorkbook, BuiltUnderATemporaryNameAndRenamedWhenWhole) {
    OutputRig rig;
    TArchiveWorkbook book;
    ASSERT_TRUE(book.Create(rig.appDir, 2, kBankDate, kNow, QDir::tempPath()));
    const QString final = book.Path();
    EXPECT_EQ(FilesIn(rig.appDir), QStringList{"." + QFileInfo(final).fileName() + ".part"});
    book.PutText(1, 1, kTitle, true);
    // Another program takes the final name meanwhile: the workbook takes the next free one.
    WriteFileBytes(final, "someone else's");
    book.Save();
    EXPECT_TRUE(book.Path().endsWith("_14-30-05_2.xlsx")) << book.Path().toStdString();
    EXPECT_EQ(ReadSheet(book.Path()).At("A1"), kTitle);
    EXPECT_EQ(ReadFileBytes(final), "someone else's");
    EXPECT_EQ(FilesIn(rig.appDir).size(), 2);
}

TEST(ArchiveWorkbook, LeftoversOfAKilledRunGoButNotAWorkbookBeingBuilt) {
    OutputRig rig;
    TArchiveWorkbook building;
    ASSERT_TRUE(building.Create(rig.appDir, 3, kBankDate, kNow, QDir::tempPath()));
    const QString leftover = rig.appDir + ".ZIR_archive_2024-05-17_bank2_read_2024-05-18_10-00-00.xlsx.part";
    WriteFileBytes(leftover, "PK half a workbook");
    WriteFileBytes(rig.appDir + ".other.part", "not ours");
    WriteFileBytes(rig.appDir + "ZIR_archive_2024-05-17_bank2_read_2024-05-18_09-00-00.xlsx", "a finished one");
    EXPECT_EQ(TArchiveWorkbook::RemoveLeftovers(rig.appDir), 1);
    EXPECT_FALSE(QFile::exists(leftover));
    EXPECT_TRUE(QFile::exists(TArchiveWorkbook::TemporaryNameOf(building.Path())));
    EXPECT_EQ(FilesIn(rig.appDir).size(), 3);
    building.Save();
    EXPECT_EQ(FilesIn(rig.appDir).size(), 3);
}

// The library's row files: each is open without a name while the rows are
// written, in the user's own folder in the temporary folder.
TEST(ArchiveWorkbook, RowsGoToTheUsersOwnFolderInTheTemporaryFolder) {
    OutputRig rig;
    QTemporaryDir temp;
    TArchiveWorkbook book;
    ASSERT_TRUE(book.Create(rig.appDir, 2, kBankDate, kNow, temp.path()));
    book.PutText(1, 1, kTitle, true);
    book.PutNumber(2, 2, 0.5);
    book.Flush();
    const QString own = temp.path() + QStringLiteral("/zir-%1").arg(::geteuid());
    EXPECT_EQ(TArchiveWorkbook::RowsFolder(temp.path()), own);
    EXPECT_EQ(QFileInfo(own).permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther |
                                              QFile::WriteOther | QFile::ExeGroup | QFile::ExeOther),
              QFileDevice::Permissions());
    QStringList openRowFiles;
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::Files | QDir::System)) {
        const QString target = fd.symLinkTarget();
        if (target.startsWith(own + QStringLiteral("/tmp."))) openRowFiles << target;
    }
    EXPECT_FALSE(openRowFiles.isEmpty());
    for (const QString& target : openRowFiles) EXPECT_TRUE(target.endsWith(" (deleted)")) << target.toStdString();
    EXPECT_TRUE(QDir(own).entryList(QDir::Files | QDir::Hidden | QDir::System).isEmpty());
    book.Save();
}

struct LeftoverRowsCase {
    const char* name;
    // What stands at the folder's name before the start: "folder", "open
    // folder" (others may write into it), "link" (to a folder elsewhere),
    // "file".
    const char* folderKind;
    int removed;
};

// Empty row files a killed run left go at the next start, but only old ones
// and only in the user's own folder: a younger one may be another copy's in
// the moment between making it and taking its name away.
TEST(ArchiveWorkbook, RowFilesAKilledRunLeftGoAtTheNextStart) {
    const LeftoverRowsCase cases[] = {
        {"the user's own folder: the old row file goes", "folder", 1},
        {"a folder others may write into is not the program's", "open folder", 0},
        {"a link to a folder elsewhere is not followed", "link", 0},
        {"a file in the folder's place", "file", 0},
    };
    for (const LeftoverRowsCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir temp, elsewhere;
        const QString own = temp.path() + QStringLiteral("/zir-%1").arg(::geteuid());
        const QString kind = QString::fromUtf8(c.folderKind);
        QString holder = own; // where the files are laid down
        if (kind == "link") {
            ASSERT_TRUE(QFile::link(elsewhere.path(), own));
            holder = elsewhere.path();
        } else if (kind == "file") {
            WriteFileBytes(own, "");
            holder = elsewhere.path();
        } else {
            ASSERT_TRUE(QDir().mkdir(own));
            ASSERT_TRUE(QFile::setPermissions(own, kind == "open folder"
                                                       ? QFileDevice::Permissions(0x7777)
                                                       : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        const QDateTime old = QDateTime::currentDateTime().addSecs(-60);
        auto layDown = [&](const QString& name, const QDateTime& modified) {
            WriteFileBytes(holder + u'/' + name, "");
            QFile file(holder + u'/' + name);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
        };
        layDown(QStringLiteral("tmp.AbCdEf0123"), old);                          // a killed run's
        layDown(QStringLiteral("tmp.XyZ9876543"), QDateTime::currentDateTime()); // just made
        layDown(QStringLiteral("notes.txt"), old);                               // not the library's

        EXPECT_EQ(TArchiveWorkbook::RemoveLeftoverRows(temp.path()), c.removed);
        EXPECT_EQ(QFile::exists(holder + QStringLiteral("/tmp.AbCdEf0123")), c.removed == 0);
        EXPECT_TRUE(QFile::exists(holder + QStringLiteral("/tmp.XyZ9876543")));
        EXPECT_TRUE(QFile::exists(holder + QStringLiteral("/notes.txt")));
        // Where it is not the user's own folder the rows go to the temporary folder itself.
        EXPECT_EQ(TArchiveWorkbook::RowsFolder(temp.path()), c.removed == 1 ? own : temp.path());
    }
}

} // namespace
} // namespace zir::test

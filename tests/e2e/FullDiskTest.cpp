// A full disk and a read-only disk under the program's folder (where
// Archive.txt, ZIR.txt and the workbooks go), under the data folder (the
// history) and under the settings folder:
// the main window against zir-sim, each folder a small file system of its
// own. Every file that cannot be written is told once per operation with
// its name and the cause, the reading goes on with what still works, and
// nothing written before is cut; the settings file keeps its last contents.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>

#include <functional>
#include <memory>

#include "app/FieldText.h"
#include "app/UFace.h"
#include "app/settings/FormStorage.h"
#include "app/windows/UArchive.h"
#include "archive/ArchiveTextFile.h"
#include "archive/BankList.h"
#include "device/CurrentData.h"
#include "support/Files.h"
#include "support/SimProcess.h"
#include "support/SmallDisk.h"
#include "tests/app/ScriptedDialogs.h"

namespace zir::test {
namespace {

const QDate kSimToday(2024, 5, 17);
const QByteArray kOldArchive = "an earlier reading\r\n";
const QByteArray kOldSettings = "[TFace]\nRxSpinEdit_ComPort_Value=1\nCB_ComPort_Speed_ItemIndex=0\n";

enum class Trouble { Full, ReadOnly };

// The window with its program folder and its settings folder each on a
// small file system of its own.
class DiskRig {
public:
    DiskRig()
        : program(512 * 1024),
          settings(64 * 1024),
          data(256 * 1024),
          savedDataHome_(qgetenv("XDG_DATA_HOME")),
          sim({"--no-pacing", "--clock", "2024-05-17 12:00"}) {
        if (!Ready()) return;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.Path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.Path()));
        QDir(settings.Path()).mkpath("zir");
        sim.LinkAsCom(settings.Path(), 1);
        WriteFileBytes(IniPath(), kOldSettings);
        WriteFileBytes(ProgramPath(kArchiveFileName), kOldArchive);
        face = std::make_unique<TFace>();
        face->SetDialogs(&dialogs);
        face->SetAppDir(program.Path() + u'/');
        face->SetWorkbookOpener([this](const QString& path) { opened << path; });
        face->FormStorage1->IniFileName = QStringLiteral("zir.INI");
        face->show();
        face->NProgressCheck->setChecked(false);
        face->CB_ToFile->setChecked(true);
        face->CB_ToExcel->setChecked(true);
        face->CB_Bank->setEditText(BankEntryText(1, kSimToday));
    }
    ~DiskRig() {
        if (face) face->SetDialogs(nullptr);
        face.reset();
        qunsetenv("XDG_CONFIG_HOME");
        qputenv("XDG_DATA_HOME", savedDataHome_);
    }
    bool Ready() const { return program.Ready() && settings.Ready() && data.Ready(); }
    QString WhyNot() const { return program.WhyNot(); }
    QString ProgramPath(const QString& name) const { return program.Path() + u'/' + name; }
    QString IniPath() const { return settings.Path() + QStringLiteral("/zir/zir.INI"); }
    void Spoil(SmallDisk& disk, Trouble trouble) {
        if (trouble == Trouble::Full)
            disk.Fill();
        else
            ASSERT_TRUE(disk.MakeReadOnly());
    }
    void ReadMinutes(const QString& from, const QString& to) {
        face->CB_TimeFrom->click();
        face->CB_TimeTo->click();
        face->ME_TimeFrom->setText(from);
        face->ME_TimeTo->setText(to);
        face->actGetBankN->trigger();
    }
    // Auto refresh on with the shortest period, and `readings` timer-driven readings.
    void Refresh(int readings) {
        if (!face->CB_Refresh->isChecked()) face->CB_Refresh->click();
        face->CB_ReadToFile->setChecked(true);
        face->RxSpE_AutoTime->setValue(3);
        for (int tick = 0; tick < 3 * readings; ++tick) face->TimerTimer();
    }
    QStringList WorkbookFiles() const {
        return QDir(program.Path()).entryList({"*.xlsx", "*.part"}, QDir::Files | QDir::Hidden);
    }

    SmallDisk program;
    SmallDisk settings;
    SmallDisk data; // $XDG_DATA_HOME: the history
    QByteArray savedDataHome_;
    SimProcess sim;
    ScriptedDialogs dialogs;
    QStringList opened;
    std::unique_ptr<TFace> face;
};

// Old bytes, then whole CR LF lines.
bool OldBytesPlusWholeLines(const QByteArray& bytes, const QByteArray& old) {
    const QByteArray added = bytes.mid(old.size());
    return bytes.startsWith(old) && (added.isEmpty() || added.endsWith("\r\n")) &&
           added.count('\n') == added.count("\r\n");
}

struct ReadingCase {
    const char* name;
    Trouble trouble;
    bool toExcel;
    int listLines;         // lines the list window gets
    QStringList status;    // the status at the end starts with one of these
    QStringList toldAbout; // one notice each, naming these files
    const char* cause;
};

TEST(FullDisk, ABankReadingGoesOnWithWhatStillWorks) {
    const ReadingCase cases[] = {
        {"program folder full: the reading goes on into the list",
         Trouble::Full,
         true,
         120,
         {"Can't save the workbook"},
         {kArchiveFileName, "ZIR_archive_"},
         "No space left on device"},
        {"program folder read-only: the workbook cannot start",
         Trouble::ReadOnly,
         true,
         0,
         {"Can't start Excel"},
         {"ZIR_archive_"},
         "Read-only file system"},
        {"program folder read-only, text file only",
         Trouble::ReadOnly,
         false,
         0,
         {"Can't save archive data to the file "},
         {kArchiveFileName},
         "Read-only file system"},
    };
    for (const ReadingCase& c : cases) {
        SCOPED_TRACE(c.name);
        DiskRig rig;
        if (!rig.Ready()) GTEST_SKIP() << rig.WhyNot().toStdString();
        rig.face->CB_ToExcel->setChecked(c.toExcel);
        rig.Spoil(rig.program, c.trouble);
        rig.ReadMinutes("08:00", "09:59");

        EXPECT_TRUE(rig.dialogs.errors.isEmpty()) << rig.dialogs.errors.join('|').toStdString();
        EXPECT_EQ(rig.face->ArchiveWindow()->Lines().size(), c.listLines);
        ASSERT_EQ(rig.dialogs.notices.size(), c.toldAbout.size()) << rig.dialogs.notices.join('|').toStdString();
        for (qsizetype i = 0; i < c.toldAbout.size(); ++i) {
            const QString& told = rig.dialogs.notices[i];
            EXPECT_TRUE(told.contains(rig.ProgramPath(c.toldAbout[i]))) << told.toStdString();
            EXPECT_TRUE(told.contains(c.cause)) << told.toStdString();
        }
        bool statusMatches = false;
        for (const QString& start : c.status) statusMatches = statusMatches || rig.face->Status().startsWith(start);
        EXPECT_TRUE(statusMatches) << rig.face->Status().toStdString();
        EXPECT_TRUE(OldBytesPlusWholeLines(ReadFileBytes(rig.ProgramPath(kArchiveFileName)), kOldArchive));
        EXPECT_TRUE(rig.WorkbookFiles().isEmpty()) << rig.WorkbookFiles().join(' ').toStdString();
        EXPECT_TRUE(rig.opened.isEmpty());
    }
}

// The data folder holds the history: a reading goes on into every other
// output, and one message at its end names the history file and the cause.
TEST(FullDisk, TheHistoryOnAFullOrReadOnlyDataFolderNeverStopsAReading) {
    struct Case {
        const char* name;
        Trouble trouble;
        const char* cause;
    };
    const Case cases[] = {
        {"data folder full", Trouble::Full, "full"},
        {"data folder read-only", Trouble::ReadOnly, "Read-only file system"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DiskRig rig;
        if (!rig.Ready()) GTEST_SKIP() << rig.WhyNot().toStdString();
        rig.Spoil(rig.data, c.trouble);
        rig.ReadMinutes("08:00", "08:29");
        EXPECT_TRUE(rig.dialogs.errors.isEmpty()) << rig.dialogs.errors.join('|').toStdString();
        EXPECT_TRUE(rig.dialogs.notices.isEmpty()) << rig.dialogs.notices.join('|').toStdString();
        EXPECT_EQ(rig.face->ArchiveWindow()->Lines().size(), 30);
        EXPECT_EQ(rig.opened.size(), 1);
        ASSERT_EQ(rig.dialogs.messages.size(), 1) << rig.dialogs.messages.join('|').toStdString();
        EXPECT_TRUE(rig.dialogs.messages[0].contains(rig.data.Path() + "/zir/history.sqlite"))
            << rig.dialogs.messages[0].toStdString();
        EXPECT_TRUE(rig.dialogs.messages[0].contains(c.cause, Qt::CaseInsensitive))
            << rig.dialogs.messages[0].toStdString();
    }
}

TEST(FullDisk, TheCurrentDataLogIsToldOnceUntilItWorksAgain) {
    struct Case {
        const char* name;
        Trouble trouble;
        const char* status;
        const char* cause;
    };
    const Case cases[] = {
        {"program folder full", Trouble::Full, "Cannot write to file", "No space left on device"},
        {"program folder read-only", Trouble::ReadOnly, "Can't save data to file", "Read-only file system"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DiskRig rig;
        if (!rig.Ready()) GTEST_SKIP() << rig.WhyNot().toStdString();
        // A log whose last page is full: the next line needs room of its own.
        const QByteArray old(4094, 'x');
        WriteFileBytes(rig.ProgramPath(kCurrentDataLogName), old + "\r\n");
        rig.Spoil(rig.program, c.trouble);
        rig.Refresh(4);
        EXPECT_TRUE(rig.dialogs.errors.isEmpty()) << rig.dialogs.errors.join('|').toStdString();
        ASSERT_EQ(rig.dialogs.notices.size(), 1) << rig.dialogs.notices.join('|').toStdString();
        EXPECT_TRUE(rig.dialogs.notices[0].contains(rig.ProgramPath(kCurrentDataLogName)));
        EXPECT_TRUE(rig.dialogs.notices[0].contains(c.cause)) << rig.dialogs.notices[0].toStdString();
        EXPECT_TRUE(rig.face->Status().startsWith(c.status)) << rig.face->Status().toStdString();
        EXPECT_EQ(ReadFileBytes(rig.ProgramPath(kCurrentDataLogName)), old + "\r\n");
        if (c.trouble != Trouble::Full) continue;

        // Room again: lines are written; full again: told again.
        rig.program.Empty();
        rig.Refresh(1);
        EXPECT_TRUE(rig.face->Status().startsWith("Data at file ")) << rig.face->Status().toStdString();
        rig.program.Fill();
        rig.Refresh(80); // more than fits into the log's last page
        EXPECT_EQ(rig.dialogs.notices.size(), 2);
        EXPECT_TRUE(OldBytesPlusWholeLines(ReadFileBytes(rig.ProgramPath(kCurrentDataLogName)), old + "\r\n"));
    }
}

TEST(FullDisk, TheSettingsFileKeepsItsLastContents) {
    for (const Trouble trouble : {Trouble::Full, Trouble::ReadOnly}) {
        SCOPED_TRACE(trouble == Trouble::Full ? "settings folder full" : "settings folder read-only");
        DiskRig rig;
        if (!rig.Ready()) GTEST_SKIP() << rig.WhyNot().toStdString();
        rig.face->LE_DeviceAdr->setText("1.2.3");
        rig.Spoil(rig.settings, trouble);
        EXPECT_TRUE(rig.face->close());
        rig.face->FormStorage1->FormDestroy(); // program end: no second box
        EXPECT_EQ(rig.dialogs.errors, QStringList{"Unable to write to " + rig.IniPath() + "."});
        EXPECT_EQ(ReadFileBytes(rig.IniPath()), kOldSettings);
        EXPECT_TRUE(QDir(rig.settings.Path() + "/zir").entryList({".zir.INI.*"}, QDir::Files | QDir::Hidden).isEmpty());
    }
}

} // namespace
} // namespace zir::test

// kill -9 at any moment loses only the line in flight. The program's main
// window (zir_kill_driver: zir's window, started as zir starts, offscreen)
// reads bank after bank from zir-sim into every output, or refreshes the
// current data into ZIR.txt, or saves its settings, and is killed with
// SIGKILL at several points; after each kill the files hold their old bytes
// plus whole lines, every workbook under its own name is a sound zip file,
// the history database passes SQLite's integrity check and holds what it
// held before, the settings file is one whole version, and the next start
// clears what the killed run left half built.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <random>

#include "history/HistoryTestSupport.h"
#include "support/Files.h"
#include "support/SimProcess.h"

namespace zir::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

const QByteArray kOldArchive = "Report to ZIR 1.1.1 on 01.01.24\r\nan operator's own line\r\n";
const QByteArray kOldLog = "01.01.24 10:00:00  1.23 Bq \xB1 5 %   4.56 Bq \xB1 7 %\r\n";
const QByteArray kSettings =
    "; kept by hand\n[TFace]\nRxSpinEdit_ComPort_Value=1\nCB_ComPort_Speed_ItemIndex=0\n"
    "LE_DeviceAdr_Text=255.255.255\nCB_ToExcel_Checked=True\nCB_ReadToFile_Checked=True\n"
    "NProgressCheck_Checked=False\nCB_TimeFrom_Checked=True\nCB_TimeTo_Checked=True\n"
    "ME_TimeFrom_Text=08:00\nME_TimeTo_Text=08:29\n";

// The settings keys of a whole save, in the order a save writes them.
const QStringList kSavedKeys = {"FormVersion",
                                "Flags",
                                "ShowCmd",
                                "PixelsPerInch",
                                "MinMaxPos",
                                "NormPos",
                                "Visible",
                                "Edit_Razmernost_Text",
                                "PageControl1_ActivePage",
                                "LE_DeviceAdr_Text",
                                "Edit_Koeff_K_Text",
                                "Edit_Koeff_M_Text",
                                "Edit_Koeff_Porog_Text",
                                "RxSpEdit_Param_NN_Value",
                                "RxSpEdit_Param_VCom_Value",
                                "RxSpEdit_Param_Z_Value",
                                "RxSpinEdit_Param_SN_Value",
                                "CB_ComPort_Speed_ItemIndex",
                                "CB_ReadToFile_Checked",
                                "CB_ToExcel_Checked",
                                "CB_NoNull_Checked",
                                "ME_TimeFrom_Text",
                                "ME_TimeTo_Text",
                                "ME_TimeTo_Enabled",
                                "ME_TimeFrom_Enabled",
                                "CB_TimeFrom_Checked",
                                "CB_TimeTo_Checked",
                                "NProgressCheck_Checked",
                                "RxSpinEdit_ComPort_Value"};

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines of text after `old`, or a failure naming what is wrong with them.
::testing::AssertionResult OldBytesPlusWholeLines(const QByteArray& bytes, const QByteArray& old,
                                                  const std::function<bool(const QByteArray&)>& lineIsWhole) {
    if (!bytes.startsWith(old)) return ::testing::AssertionFailure() << "the old bytes are not kept";
    const QByteArray added = bytes.mid(old.size());
    if (!added.isEmpty() && !added.endsWith("\r\n"))
        return ::testing::AssertionFailure() << "ends in a partial line: " << added.right(80).toStdString();
    const QList<QByteArray> lines = added.split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray line = lines[i];
        if (!line.endsWith('\r') || line.count('\r') != 1 || !lineIsWhole(line.chopped(1)))
            return ::testing::AssertionFailure() << "not a whole line: " << line.toStdString();
    }
    return ::testing::AssertionSuccess() << lines.size() - 1 << " lines added";
}

bool ArchiveLine(const QByteArray& line) {
    return line.startsWith("Report to ZIR 255.255.255 on ") || (line.endsWith(" %") && line.count("\xB1") == 2);
}

bool LogLine(const QByteArray& line) {
    return line.endsWith(" %") && line.count(" \xB1 ") == 2 && line.contains(" %   ");
}

bool SoundZip(const QString& path) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-tq"), path});
    return unzip.waitForFinished(30000) && unzip.exitStatus() == QProcess::NormalExit && unzip.exitCode() == 0;
}

// The history after a kill: sound, and holding at least the rows it held
// after the kill before (a kill never takes back what was committed).
struct HistoryRows {
    qint64 records = 0;
    qint64 sources = 0;
    qint64 currents = 0;
};
void ExpectSoundHistory(const QString& path, HistoryRows& before) {
    if (!QFile::exists(path)) return; // nothing committed yet
    const Peek peek(path);
    EXPECT_EQ(peek.Scalar("PRAGMA integrity_check").toString(), "ok");
    const HistoryRows now{peek.Count("records"), peek.Count("sources"), peek.Count("current_readings")};
    EXPECT_GE(now.records, before.records);
    EXPECT_GE(now.sources, before.sources);
    EXPECT_GE(now.currents, before.currents);
    before = now;
}

class KillRig {
public:
    KillRig() : sim({"--no-pacing", "--clock", "2024-05-17 12:00", "--active-banks", "2", "--current-bank", "1"}) {
        for (const char* folder : {"config/zir", "data", "share", "tmp"}) QDir(root_.path()).mkpath(folder);
        sim.LinkAsCom(Path("config"), 1);
        WriteFileBytes(IniPath(), kSettings);
        WriteFileBytes(DataPath("Archive.txt"), kOldArchive);
        WriteFileBytes(DataPath("ZIR.txt"), kOldLog);
    }
    ~KillRig() {
        if (driver_) Kill();
    }

    QString Path(const QString& name) const { return root_.path() + u'/' + name; }
    QString DataPath(const QString& name) const { return Path("data/" + name); }
    QString IniPath() const { return Path("config/zir/zir.INI"); }
    QString HistoryPath() const { return Path("share/zir/history.sqlite"); }

    // Starts the driver and waits for its window.
    void Start(const QString& mode) {
        driver_ = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", Path("config"));
        env.insert("XDG_DATA_HOME", Path("share"));
        env.insert("TMPDIR", Path("tmp"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
        driver_->setProcessEnvironment(env);
        driver_->setProcessChannelMode(QProcess::SeparateChannels);
        driver_->start(QStringLiteral(ZIR_KILL_DRIVER_PATH), {mode, Path("data")});
        ASSERT_TRUE(driver_->waitForStarted(10000));
        const auto deadline = steady_clock::now() + milliseconds(30000);
        while (!driver_->readAllStandardOutput().contains("READY")) {
            ASSERT_LT(steady_clock::now(), deadline) << "no window: " << driver_->readAllStandardError().toStdString();
            driver_->waitForReadyRead(100);
        }
    }
    // Waits until the file has grown to at least `size` bytes.
    void WaitForSize(const QString& path, qint64 size) {
        const auto deadline = steady_clock::now() + milliseconds(60000);
        while (QFileInfo(path).size() < size) {
            ASSERT_LT(steady_clock::now(), deadline)
                << path.toStdString() << " did not grow: " << driver_->readAllStandardError().toStdString();
            QThread::usleep(500);
        }
    }
    void Kill() {
        driver_->kill(); // SIGKILL
        driver_->waitForFinished(10000);
        driver_.reset();
    }
    QStringList Files(const QString& folder, const QString& pattern) const {
        return QDir(Path(folder)).entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

private:
    QTemporaryDir root_;

public:
    SimProcess sim;

private:
    std::unique_ptr<QProcess> driver_;
};

TEST(KillNine, DuringBankReadingsArchiveTextAndWorkbooksStayWhole) {
    KillRig rig;
    std::mt19937 random(19);
    std::uniform_int_distribution<int> growth(100, 6000), jitter(0, 20000);
    QStringList leftBehind, leftRows;
    const QString rowsFolder = QStringLiteral("tmp/zir-%1").arg(::geteuid());
    int workbooks = 0;
    HistoryRows history;
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        rig.Start("read");
        // The start has cleared what the killed run left half built.
        for (const QString& name : leftBehind) EXPECT_FALSE(QFile::exists(rig.DataPath(name))) << name.toStdString();
        for (const QString& name : leftRows)
            EXPECT_FALSE(QFile::exists(rig.Path(rowsFolder + u'/' + name))) << name.toStdString();
        rig.WaitForSize(rig.DataPath("Archive.txt"), QFileInfo(rig.DataPath("Archive.txt")).size() + growth(random));
        QThread::usleep(static_cast<unsigned long>(jitter(random)));
        rig.Kill();

        EXPECT_TRUE(OldBytesPlusWholeLines(FileBytes(rig.DataPath("Archive.txt")), kOldArchive, ArchiveLine));
        const QStringList finished = rig.Files("data", "*.xlsx");
        for (const QString& name : finished) EXPECT_TRUE(SoundZip(rig.DataPath(name))) << name.toStdString();
        workbooks = static_cast<int>(finished.size());
        leftBehind = rig.Files("data", ".*.part");
        EXPECT_LE(leftBehind.size(), 1);
        // The workbook's rows never stay in the temporary folder. The library
        // names each of its temporary files tmp.XXXXXXXXXX in the user's own
        // folder and unlinks it as soon as it is open; a kill between the two
        // leaves an empty one, which the next start removes once it is older
        // than a moment (aged here as if the next start came later).
        EXPECT_TRUE(rig.Files("tmp", "*").isEmpty()) << rig.Files("tmp", "*").join(' ').toStdString();
        leftRows = rig.Files(rowsFolder, "*");
        for (const QString& name : leftRows) {
            const QString path = rig.Path(rowsFolder + u'/' + name);
            EXPECT_TRUE(name.startsWith(QStringLiteral("tmp.")) && QFileInfo(path).size() == 0)
                << name.toStdString() << ", " << QFileInfo(path).size() << " bytes";
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::ReadWrite) &&
                        file.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
        }
        ExpectSoundHistory(rig.HistoryPath(), history);
        EXPECT_TRUE(rig.Files("share/zir", "*damaged*").isEmpty());
    }
    EXPECT_GE(workbooks, 1); // the readings did finish workbooks between the kills
    EXPECT_GT(history.records, 0);
}

TEST(KillNine, DuringAutoRefreshTheLogStaysWhole) {
    KillRig rig;
    std::mt19937 random(91);
    std::uniform_int_distribution<int> growth(60, 600), jitter(0, 20000);
    HistoryRows history;
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        rig.Start("refresh");
        rig.WaitForSize(rig.DataPath("ZIR.txt"), QFileInfo(rig.DataPath("ZIR.txt")).size() + growth(random));
        QThread::usleep(static_cast<unsigned long>(jitter(random)));
        rig.Kill();
        EXPECT_TRUE(OldBytesPlusWholeLines(FileBytes(rig.DataPath("ZIR.txt")), kOldLog, LogLine));
        ExpectSoundHistory(rig.HistoryPath(), history);
    }
    EXPECT_GT(history.currents, 0);
}

// Each settings file seen after a kill is the one laid down or one whole save.
TEST(KillNine, DuringSavesTheSettingsFileIsOneWholeVersion) {
    KillRig rig;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> wait(0, 400000);
    const QRegularExpression keyLine(QStringLiteral("^([^=;\\[]+)=(.*)$"));
    int saves = 0;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        rig.Start("settings");
        // The start has cleared the temporary files of saves that a kill cut short.
        EXPECT_TRUE(rig.Files("config/zir", ".zir.INI.*").size() <= 1);
        QThread::usleep(static_cast<unsigned long>(wait(random)));
        rig.Kill();

        const QByteArray text = FileBytes(rig.IniPath());
        if (text == kSettings) continue;
        ++saves;
        ASSERT_TRUE(text.startsWith("; kept by hand\n[TFace]\n")) << text.toStdString();
        ASSERT_TRUE(text.endsWith("\n"));
        QStringList keys;
        for (const QString& line : QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts)) {
            const auto match = keyLine.match(line);
            if (match.hasMatch()) keys << match.captured(1).remove(QRegularExpression("\\(\\d+x\\d+\\)$"));
        }
        keys.removeDuplicates();
        QStringList expected = kSavedKeys;
        EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()), QSet<QString>(expected.begin(), expected.end()));
        bool number = false;
        QString factor;
        for (const QString& line : QString::fromUtf8(text).split('\n'))
            if (line.startsWith("Edit_Koeff_K_Text=")) factor = line.mid(18);
        factor.toInt(&number);
        EXPECT_TRUE(number) << factor.toStdString();
    }
    EXPECT_GE(saves, 1);
}

} // namespace
} // namespace zir::test

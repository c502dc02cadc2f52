// The archive actions of the main window against zir-sim on a pseudo-terminal
// linked as COM1: the bank list box, a reading into the list window, the file
// and a workbook, the whole archive, and closing the program mid-reading.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include "app/UFace.h"
#include "app/windows/UArchive.h"
#include "archive/ArchiveTextFile.h"
#include "archive/BankList.h"
#include "link/Cp1251.h"
#include "link/ZebusModTransport.h"
#include "link/numFormats.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/archive/XlsxReadBack.h"
#include "tests/e2e/SimProcess.h"

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
        : sim(simArgs << "--clock" << "2024-05-17 12:00" << "--active-banks" << "3" << "--current-bank" << "1") {
        sim.LinkAsCom(config.dir.path(), 1);
        face = std::make_unique<TFace>();
        face->SetDialogs(&dialogs);
        face->SetAppDir(data.path() + QLatin1Char('/'));
        face->SetWorkbookOpener([this](const QString& path) { opened << path; });
        face->RxSpinEdit_ComPort->setValue(1);
        face->CB_ComPort_Speed->setCurrentIndex(0);  // 19200
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
    int FramesStartingWith(const QByteArray& data) const {
        int n = 0;
        for (const QByteArray& f : sim.ReceivedFrames()) n += f.mid(kFrameHeaderSize).startsWith(data);
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
    EXPECT_EQ(sheet.At("A3"), DateTimeToText(QDateTime(kSimToday.addDays(-2), QTime(8, 0))));
    EXPECT_EQ(sheet.At("F7"), "484(13)");
    EXPECT_EQ(sheet.rows, std::set<int>({1, 2, 3, 4, 5, 6, 7}));
}

TEST(ArchiveWindow, WholeArchiveOldestBankFirst) {
    ArchiveWindow w({"--no-pacing"});
    w.face->CB_ToExcel->setChecked(false);
    w.Window("12:00", "12:01");
    w.face->actReadAll->trigger();
    EXPECT_TRUE(w.dialogs.errors.isEmpty()) << w.dialogs.errors.join("|").toStdString();
    EXPECT_EQ(w.face->CB_Bank->currentIndex(), 2);  // the last bank stays selected
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
    ArchiveWindow w({"--baud", "19200"});  // paced: a whole day takes about 40 s
    w.face->show();
    w.face->CB_Bank->setEditText(BankEntryText(1, kSimToday));
    int closeAccepted = 0;
    QObject::connect(w.face.get(), &TFace::CloseAccepted, [&] { ++closeAccepted; });
    // Meanwhile the operator asks for the clock (refused), then closes.
    QTimer::singleShot(150, w.face.get(), [&] { w.face->actGetTime->trigger(); });
    QTimer::singleShot(300, w.face.get(), [&] { w.face->close(); });

    w.face->actGetBankN->trigger();
    QApplication::processEvents();  // the close held back until the reading ended

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

} // namespace
} // namespace zir::test

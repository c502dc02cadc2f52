// The progress gauge, the archive list window and the program's folder.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

#include "app/AppEnvironment.h"
#include "app/windows/PaintPacer.h"
#include "app/windows/UArchive.h"
#include "app/windows/UProgressBar.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/support/FakeByteChannel.h"

namespace zir::test {
namespace {

// Steps applied in order: SetMaxValue(max) when max >= 0, then SetProgress(progress).
struct GaugeCase {
    int max;
    int progress;
    int expectedProgress;
    int expectedPercent;
};

TEST(Gauge, PercentageIsTruncatedAndProgressStaysInRange) {
    const GaugeCase cases[] = {
        {14, 1, 1, 7},        // 100 / 14 truncated
        {14, 14, 14, 100},
        {14, 15, 14, 100},    // kept within the maximum
        {14, -3, 0, 0},       // and the minimum
        {3, 2, 2, 66},
        {0, 5, 0, 0},         // maximum equal to the minimum
        {288, 0, 0, 0},
        {2147483647, 2147483646, 2147483646, 99},
    };
    for (const GaugeCase& c : cases) {
        TGauge gauge;
        gauge.SetMaxValue(c.max);
        gauge.SetProgress(c.progress);
        EXPECT_EQ(gauge.Progress(), c.expectedProgress) << c.max << " " << c.progress;
        EXPECT_EQ(gauge.PercentDone(), c.expectedPercent) << c.max << " " << c.progress;
    }
}

TEST(Gauge, LoweringTheMaximumLowersTheProgress) {
    TGauge gauge;
    gauge.SetMaxValue(100);
    gauge.SetProgress(60);
    gauge.SetMaxValue(40);
    EXPECT_EQ(gauge.Progress(), 40);
    EXPECT_EQ(gauge.PercentDone(), 100);
}

TEST(Gauge, MaximumBelowZeroIsRefusedAndChangesNothing) {
    TGauge gauge;
    gauge.SetMaxValue(10);
    gauge.SetProgress(5);
    try {
        gauge.SetMaxValue(-1);
        FAIL() << "accepted -1";
    } catch (const ERangeError& error) {
        EXPECT_EQ(error.message(), "Value must be between 0 and 2147483647");
    }
    EXPECT_EQ(gauge.MaxValue(), 10);
    EXPECT_EQ(gauge.Progress(), 5);
}

TEST(Gauge, AsksForARepaintOnlyWhenTheWholePercentageChanges) {
    TGauge gauge;
    gauge.SetMaxValue(1000);
    const int before = gauge.RepaintRequests();
    gauge.SetProgress(5);    // 0 %
    gauge.SetProgress(9);    // 0 %
    EXPECT_EQ(gauge.RepaintRequests(), before);
    gauge.SetProgress(10);   // 1 %
    gauge.SetProgress(19);   // 1 %
    EXPECT_EQ(gauge.RepaintRequests(), before + 1);
}

TEST(ProgressWindow, TypedCharactersChangeNothing) {
    TFProgressBar window;
    window.Gauge->SetProgress(100);
    window.show();
    QTest::keyClicks(&window, QStringLiteral("x\x1b "));
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.Gauge->Progress(), 100);
    EXPECT_EQ(window.windowTitle(), "Refresing data");
}

class ArchiveWindow : public ::testing::Test {
protected:
    ArchiveWindow() : archive(dialogs) {}
    QByteArray Saved(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    TArchive archive;
};

TEST_F(ArchiveWindow, SavesEveryLineWithCrLfInWindows1251AndReplacesTheFile) {
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    dialogs.saveFileName = path;
    archive.AddLine(QStringLiteral("25.12.2007 14:30  12.3 мкЗв/ч ± 5 %"));
    archive.AddLine(QString());
    archive.AddLine(QStringLiteral("last"));
    archive.N1->trigger();
    EXPECT_EQ(Saved(path), QByteArray("25.12.2007 14:30  12.3 \xEC\xEA\xC7\xE2/\xF7 \xB1 5 %\r\n\r\nlast\r\n"));

    archive.N2->trigger();
    EXPECT_EQ(archive.ListBox->count(), 0);
    archive.N1->trigger();  // an empty list replaces it with an empty file, no question
    EXPECT_EQ(Saved(path), QByteArray());
    EXPECT_TRUE(dialogs.warnings.isEmpty());
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(ArchiveWindow, CancelledSaveDialogWritesNothing) {
    archive.AddLine(QStringLiteral("line"));
    dialogs.saveFileName.clear();
    archive.N1->trigger();
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(ArchiveWindow, FileThatCannotBeCreatedIsReportedAndTheListKept) {
    const QString path = dir.filePath(QStringLiteral("no-such-folder/list.txt"));
    dialogs.saveFileName = path;
    archive.AddLine(QStringLiteral("line"));
    archive.N1->trigger();
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors.front().startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path)))
        << dialogs.errors.front().toStdString();
    EXPECT_EQ(archive.Lines(), QStringList{"line"});
}

TEST_F(ArchiveWindow, EscapeAsksAndOkHidesWithTheLinesKept) {
    archive.AddLine(QStringLiteral("one"));
    archive.ShowModeless();
    dialogs.confirmAnswers = {false, true};
    QTest::keyClick(archive.ListBox, Qt::Key_Escape);
    EXPECT_TRUE(archive.isVisible());
    QTest::keyClick(archive.ListBox, Qt::Key_Escape);
    EXPECT_FALSE(archive.isVisible());
    EXPECT_EQ(dialogs.warnings, QStringList(2, "Would you like to close window?"));
    archive.ShowModeless();
    EXPECT_EQ(archive.Lines(), QStringList{"one"});
}

// The lines must be painted as they arrive (at the paint moment the next
// request's wait gives), not only once the event loop is idle; one that comes
// sooner than the repaint interval after the last is painted with the next.
TEST_F(ArchiveWindow, ShownListPaintsEachLineAsItIsAdded) {
    FakeClock clock;
    archive.SetClock(&clock);
    archive.ShowModeless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&archive));
    const auto inkedRows = [this] {
        const QImage image = archive.ListBox->viewport()->grab().toImage();
        int rows = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qGray(image.pixel(x, y)) < 128) {
                    ++rows;
                    break;
                }
            }
        }
        return rows;
    };
    archive.AddLine(QStringLiteral("00:00:00  0.315 1/s"));
    archive.PaintIfDue();
    const int oneLine = inkedRows();
    EXPECT_GT(oneLine, 0);
    clock.now += TPaintPacer::kIntervalMs;
    archive.AddLine(QStringLiteral("00:01:00  0.301 1/s"));
    archive.PaintIfDue();
    const int twoLines = inkedRows();
    EXPECT_GT(twoLines, oneLine);

    clock.now += 1;
    archive.AddLine(QStringLiteral("00:02:00  0.299 1/s"));
    archive.PaintIfDue();
    EXPECT_EQ(inkedRows(), twoLines);  // held back
    EXPECT_EQ(archive.Lines().size(), 3);
    clock.now += TPaintPacer::kIntervalMs;
    archive.AddLine(QStringLiteral("00:03:00  0.298 1/s"));
    archive.PaintIfDue();
    EXPECT_EQ(archive.ListBox->count(), 4);
    EXPECT_GT(inkedRows(), twoLines);
}

TEST(AppDir, ExecutableFolderWhenWritableElseTheDataFolder) {
    QTemporaryDir dir;
    const QString writable = dir.filePath(QStringLiteral("bin"));
    QDir().mkpath(writable);
    EXPECT_EQ(ComputeAppDir(writable, QString(), QStringLiteral("/home/op")), writable + "/");
    EXPECT_EQ(ComputeAppDir(writable + "/", QString(), QStringLiteral("/home/op")), writable + "/");

    const QString missing = dir.filePath(QStringLiteral("gone"));
    EXPECT_EQ(ComputeAppDir(missing, QStringLiteral("/data"), QStringLiteral("/home/op")), "/data/zir/");
    EXPECT_EQ(ComputeAppDir(missing, QString(), QStringLiteral("/home/op")), "/home/op/.local/share/zir/");
    EXPECT_EQ(ComputeAppDir(missing, QStringLiteral("relative"), QStringLiteral("/home/op")),
              "/home/op/.local/share/zir/");
}

} // namespace
} // namespace zir::test

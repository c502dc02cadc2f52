// The progress gauge, the archive list window and the program's folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QListWidget>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <cstdio>

#include "app/AppEnvironment.h"
#include "app/DesktopOpener.h"
#include "app/windows/PaintPacer.h"
#include "app/windows/UArchive.h"
#include "app/windows/UProgressBar.h"
#include "core/DataFolder.h"
#include "support/HeapInUse.h"
#include "support/VirtualClock.h"
#include "tests/app/ScriptedDialogs.h"

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
        {14, 1, 1, 7},                        // 100 / 14 truncated
        {14, 14, 14, 100}, {14, 15, 14, 100}, // kept within the maximum
        {14, -3, 0, 0},                       // and the minimum
        {3, 2, 2, 66},     {0, 5, 0, 0},      // maximum equal to the minimum
        {288, 0, 0, 0},    {2147483647, 2147483646, 2147483646, 99},
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
    gauge.SetProgress(5); // 0 %
    gauge.SetProgress(9); // 0 %
    EXPECT_EQ(gauge.RepaintRequests(), before);
    gauge.SetProgress(10); // 1 %
    gauge.SetProgress(19); // 1 %
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

// The window is shown and closed twice a reading during auto refresh, for
// days on end: showing it again keeps nothing of the earlier showings, and it
// still comes up over its owner.
TEST(ProgressWindow, ShowingItAgainKeepsNothingOfEarlierShowings) {
    QWidget owner;
    owner.setGeometry(100, 100, 800, 600);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    TFProgressBar window(&owner);
    window.Gauge->SetMaxValue(100);
    auto showAndClose = [&](int progress) {
        window.Gauge->SetProgress(progress);
        window.ShowOver(&owner);
        QApplication::processEvents();
        window.close();
        QApplication::processEvents();
    };
    for (int i = 0; i < 20; ++i) showAndClose(i); // Qt's caches fill on the first showings
    const std::size_t before = HeapInUse();
    constexpr int kShowings = 300;
    for (int i = 0; i < kShowings; ++i) showAndClose(i % 100);
    const std::size_t after = HeapInUse();
    // Held per showing until now: about 150 bytes (a focus connection and
    // what the window system keeps of each exposed area).
    EXPECT_LT(after, before + kShowings * 16) << "grew by " << (after - before) << " bytes";

    window.Gauge->SetProgress(50);
    window.ShowOver(&owner);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_NE(window.windowHandle(), nullptr);
    EXPECT_LE((window.windowHandle()->geometry().center() - owner.frameGeometry().center()).manhattanLength(), 2);
    EXPECT_EQ(window.Gauge->PercentDone(), 50);
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

// At its designed size the window shows whole record lines: none is cut with
// "...", and the list scrolls sideways to the end of the longest, wherever it
// stands in the list, also for lines added while the window was hidden.
TEST_F(ArchiveWindow, ShowsWholeLinesAndScrollsToTheLongest) {
    const QString shortLine = QString::fromUtf8("17.05.24 08:00:00    0 1/s ± 0 %     0 1/s ± 0 %");
    const QString longLine =
        QString::fromUtf8("17.05.24 08:01:00    1.23E-12 мкЗв/ч ± 255 %     1.01E-12 мкЗв/ч ± 255 %");
    for (const bool shownFirst : {false, true}) {
        SCOPED_TRACE(shownFirst ? "added while shown" : "added while hidden");
        archive.N2Click();
        archive.resize(361, 285);
        if (shownFirst) {
            archive.ShowModeless();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&archive));
        }
        archive.AddLine(shortLine);
        archive.AddLine(longLine);
        for (int i = 0; i < 5; ++i) archive.AddLine(shortLine);
        archive.ShowModeless();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&archive));
        QApplication::processEvents();

        QListWidget& list = *archive.ListBox;
        const QFontMetrics metrics(list.font());
        const int longWidth = metrics.horizontalAdvance(longLine);
        ASSERT_GT(longWidth, list.viewport()->width()); // the designed width is too narrow for it
        for (int row = 0; row < list.count(); ++row) {
            const QRect item = list.visualItemRect(list.item(row));
            EXPECT_GE(item.width(), metrics.horizontalAdvance(list.item(row)->text())) << row;
        }
        QScrollBar& sideways = *list.horizontalScrollBar();
        EXPECT_GE(sideways.maximum() + list.viewport()->width(), longWidth);
        sideways.setValue(sideways.maximum());
        EXPECT_GE(list.visualItemRect(list.item(1)).right(), list.viewport()->width() - 1 - 8);
        EXPECT_LE(list.visualItemRect(list.item(1)).left() + longWidth, list.viewport()->width());
        archive.hide();
    }
}

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
    archive.N1->trigger(); // an empty list replaces it with an empty file, no question
    EXPECT_EQ(Saved(path), QByteArray());
    EXPECT_TRUE(dialogs.warnings.isEmpty());
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

// A record line whose date text holds characters of a locale's own script
// (Greek "μ.μ.", Korean) is saved with "?" in their places, as Archive.txt has it.
TEST_F(ArchiveWindow, SavesLinesWhoseDateTheCodePageCannotHold) {
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    dialogs.saveFileName = path;
    archive.AddLine(QString::fromUtf8("17/5/24 1:30:00 \u03BC.\u03BC.    0.0015  \u00B1 12 %"));
    archive.AddLine(QString::fromUtf8("24. 5. 17. \uC624\uD6C4 1:30:00    0 \u00B1 0 %"));
    archive.N1->trigger();
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join(QStringLiteral("|")).toStdString();
    EXPECT_EQ(Saved(path), QByteArray("17/5/24 1:30:00 ?.?.    0.0015  \xB1 12 %\r\n"
                                      "24. 5. 17. ?? 1:30:00    0 \xB1 0 %\r\n"));
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
    VirtualClock clock;
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
    EXPECT_EQ(inkedRows(), twoLines); // held back
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

// An installed program never writes into a system folder, even where that
// folder is writable (run as root): its files go to the data folder.
TEST(AppDir, InstalledSystemLocationsUseTheDataFolder) {
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("prefix"));
    for (const char* sub : {"prefix/bin/tools", "prefix/binaries", "usr/bin", "build/app"})
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QString::fromLatin1(sub))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("prefix/bin")), dir.filePath(QStringLiteral("linked-bin"))));
    const QString data = QStringLiteral("/home/op/.local/share/zir/");
    const struct {
        QString exeDir;
        QString appDir; // empty: the executable's folder
    } cases[] = {
        {dir.filePath(QStringLiteral("prefix/bin")), data},
        {dir.filePath(QStringLiteral("prefix/bin/")), data},
        {dir.filePath(QStringLiteral("prefix/bin/tools")), data},
        {dir.filePath(QStringLiteral("linked-bin")), data},    // the same folder through a link
        {dir.filePath(QStringLiteral("prefix/binaries")), {}}, // not below prefix/bin
        {dir.filePath(QStringLiteral("usr/bin")), {}},         // not the system's /usr
        {dir.filePath(QStringLiteral("build/app")), {}},       // a build folder
        {QStringLiteral("/usr/bin"), data},
        {QStringLiteral("/usr/local/bin"), data},
        {QStringLiteral("/usr/lib/zir"), data},
        {QStringLiteral("/opt/zir/bin"), data},
    };
    for (const auto& c : cases) {
        const QString expected = c.appDir.isEmpty() ? QDir::cleanPath(c.exeDir) + "/" : c.appDir;
        EXPECT_EQ(ComputeAppDir(c.exeDir, QString(), QStringLiteral("/home/op"), prefix), expected)
            << c.exeDir.toStdString();
    }
}

// The desktop's opener runs detached with its messages kept off the terminal
// that started zir.
TEST(DesktopOpener, OpenerMessagesStayOffTheTerminal) {
    QTemporaryDir dir;
    const QString opener = dir.filePath(QStringLiteral("xdg-open"));
    const QString marker = dir.filePath(QStringLiteral("opened"));
    {
        QFile script(opener);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\n"
                                    "echo \"No applications found for mimetype: $1\"\n"
                                    "echo \"xdg-open: no method available for opening '$1'\" >&2\n"
                                    "printf '%s' \"$1\" > '%1'\n")
                         .arg(marker)
                         .toUtf8());
        script.close();
        ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    const QString workbook = dir.filePath(QStringLiteral("ZIR_archive.xlsx"));
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.path()) + ":" + savedPath);

    // The terminal: this process's standard output and error, caught in a file.
    const QByteArray caught = QFile::encodeName(dir.filePath(QStringLiteral("terminal")));
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = ::dup(1), savedErr = ::dup(2);
    const int terminal = ::open(caught.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(terminal, 0);
    ::dup2(terminal, 1);
    ::dup2(terminal, 2);
    const bool started = OpenWithDesktop(workbook);
    const bool finished = QTest::qWaitFor([&] { return QFile::exists(marker) && QFileInfo(marker).size() > 0; }, 20000);
    QTest::qWait(50); // nothing comes after the marker; give a late write its chance to show
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(savedOut, 1);
    ::dup2(savedErr, 2);
    ::close(savedOut);
    ::close(savedErr);
    ::close(terminal);
    qputenv("PATH", savedPath);

    EXPECT_TRUE(started);
    ASSERT_TRUE(finished);
    QFile opened(marker);
    ASSERT_TRUE(opened.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(opened.readAll()), workbook);
    QFile output(QFile::decodeName(caught));
    ASSERT_TRUE(output.open(QIODevice::ReadOnly));
    EXPECT_EQ(output.readAll(), QByteArray());
}

} // namespace
} // namespace zir::test

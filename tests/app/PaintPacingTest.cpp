// Paints held to about 30 a second (archive list, gauge, status line) on a
// virtual clock, and the kept paintings of list rows and scroll bars, which
// must look exactly as the style paints them. Real widgets, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QListWidget>
#include <QPaintEvent>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTest>

#include <string>
#include <vector>

#include "app/UFace.h"
#include "app/windows/CachedPaint.h"
#include "app/windows/PaintPacer.h"
#include "app/windows/UArchive.h"
#include "app/windows/UProgressBar.h"
#include "support/VirtualClock.h"
#include "tests/app/ScriptedDialogs.h"

namespace zir::test {
namespace {

constexpr std::int64_t kInterval = TPaintPacer::kIntervalMs;
// How long a wait for the event loop's timer may take before the test counts
// it as hanging: only a guard, a passing run returns as soon as it is shown.
constexpr int kHangGuardMs = 30000;

// Counts the paint events a widget receives.
class PaintCounter final : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

QString Line(int i) { return QStringLiteral("17.05.2024 %1    0.%2 1/s ± 5 %").arg(i, 4, 10, QLatin1Char('0')).arg(i); }

// Changes requested every `everyMs` for `count` times, the event loop's timer
// stood in for by PaintIfDue after each request.
struct PacerCase {
    std::int64_t everyMs;
    int count;
};

TEST(PaintPacer, ShowsAtMostOncePerIntervalAndEveryChangeThatComesSlower) {
    const PacerCase cases[] = {{1, 500}, {5, 200}, {20, 100}, {32, 50}, {33, 50}, {50, 40}, {1000, 5}};
    for (const PacerCase& c : cases) {
        VirtualClock clock;
        std::vector<std::int64_t> shown;
        TPaintPacer pacer([&] { shown.push_back(clock.now); });
        pacer.SetClock(&clock);
        for (int i = 0; i < c.count; ++i) {
            clock.now = i * c.everyMs;
            pacer.Request();
            pacer.PaintIfDue();
        }
        pacer.Flush();
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.front(), 0) << c.everyMs;   // the first change at once
        EXPECT_FALSE(pacer.Pending()) << c.everyMs; // the last one shown by the flush
        for (std::size_t k = 1; k + 1 < shown.size(); ++k)
            EXPECT_GE(shown[k] - shown[k - 1], kInterval) << c.everyMs << " at " << shown[k];
        const std::int64_t span = (c.count - 1) * c.everyMs;
        EXPECT_LE(static_cast<std::int64_t>(shown.size()), span / kInterval + 2) << c.everyMs;
        if (c.everyMs >= kInterval) {
            EXPECT_EQ(static_cast<int>(shown.size()), c.count) << c.everyMs;
        }
    }
}

TEST(PaintPacer, HeldBackChangeIsShownByTheEventLoopOnceDue) {
    VirtualClock clock;
    int shown = 0;
    TPaintPacer pacer([&] { ++shown; });
    pacer.SetClock(&clock);
    pacer.Request();
    clock.now = 10;
    pacer.Request();
    ASSERT_EQ(shown, 1);
    ASSERT_TRUE(pacer.Pending());
    // Not yet due on the virtual clock: the timer fires and arms itself again.
    QTest::qWait(2 * static_cast<int>(kInterval));
    EXPECT_EQ(shown, 1);
    clock.now = 10 + kInterval;
    QTRY_COMPARE_WITH_TIMEOUT(shown, 2, kHangGuardMs);
    EXPECT_FALSE(pacer.Pending());
}

TEST(PaintPacer, ChangeForLaterWaitsForThePaintMomentOrTheTimer) {
    VirtualClock clock;
    int shown = 0;
    TPaintPacer pacer([&] { ++shown; });
    pacer.SetClock(&clock);
    EXPECT_FALSE(pacer.PaintIfDue()); // nothing held back
    pacer.RequestLater();
    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(pacer.PaintIfDue());
    clock.now = 10;
    pacer.RequestLater();
    EXPECT_FALSE(pacer.PaintIfDue());
    clock.now = kInterval - 1; // the interval counts from the last showing
    EXPECT_FALSE(pacer.PaintIfDue());
    clock.now = kInterval;
    EXPECT_TRUE(pacer.PaintIfDue());
    EXPECT_EQ(shown, 2);
    // Without a paint moment the event loop shows it.
    clock.now += kInterval;
    pacer.RequestLater();
    QTRY_COMPARE_WITH_TIMEOUT(shown, 3, kHangGuardMs);
}

// --- the archive list

class ArchiveList : public ::testing::Test {
protected:
    ArchiveList() : archive(dialogs), painted(archive.ListBox->viewport()) {
        archive.SetClock(&clock);
        archive.ShowModeless();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&archive));
        QApplication::processEvents();
    }
    ScriptedDialogs dialogs;
    VirtualClock clock;
    TArchive archive;
    PaintCounter painted;
};

// A reading adds a line per record, has a paint moment while the next request
// waits for its reply and lets the event loop run between records; lines
// that come faster than the interval are painted together.
struct LinesCase {
    std::int64_t everyMs;
    int count;
};

TEST_F(ArchiveList, RepaintsABoundedNumberOfTimesYetShowsLinesWhileTheyComeAndTheLastAtTheEnd) {
    const LinesCase cases[] = {{1, 300}, {5, 200}, {20, 100}, {50, 30}};
    for (const LinesCase& c : cases) {
        archive.N2Click();
        QApplication::processEvents();
        const std::int64_t start = clock.now += 1000;
        painted.paints = 0;
        const int lag = static_cast<int>((kInterval + c.everyMs - 1) / c.everyMs);
        for (int i = 0; i < c.count; ++i) {
            clock.now = start + i * c.everyMs;
            archive.AddLine(Line(i));
            archive.PaintIfDue();
            QApplication::processEvents();
            // Shown lines trail the added ones by one interval at most.
            ASSERT_GE(archive.ListBox->count(), i + 1 - lag) << c.everyMs << " line " << i;
            if (c.everyMs >= kInterval) {
                ASSERT_EQ(archive.ListBox->count(), i + 1) << c.everyMs;
            }
        }
        const std::int64_t span = (c.count - 1) * c.everyMs;
        // One paint per interval, and one when the scroll bar appears.
        EXPECT_LE(painted.paints, span / kInterval + 4) << c.everyMs;
        EXPECT_GE(painted.paints, c.everyMs >= kInterval ? c.count : 2) << c.everyMs;

        archive.ShowPendingLines(); // the reading has ended
        const int before = painted.paints;
        QApplication::processEvents();
        ASSERT_EQ(archive.ListBox->count(), c.count) << c.everyMs;
        EXPECT_EQ(archive.ListBox->item(c.count - 1)->text(), Line(c.count - 1));
        EXPECT_EQ(archive.Lines().size(), c.count);
        EXPECT_LE(painted.paints, before + 1);
    }
}

TEST_F(ArchiveList, PaintMomentShowsAndPaintsDueLinesWithoutTheEventLoop) {
    archive.AddLine(Line(0));
    EXPECT_EQ(archive.ListBox->count(), 0);
    int before = painted.paints;
    archive.PaintIfDue();
    EXPECT_EQ(archive.ListBox->count(), 1);
    EXPECT_GT(painted.paints, before);
    clock.now += 5;
    archive.AddLine(Line(1));
    before = painted.paints;
    archive.PaintIfDue();
    EXPECT_EQ(archive.ListBox->count(), 1);
    EXPECT_EQ(painted.paints, before);
    clock.now += kInterval;
    archive.PaintIfDue();
    EXPECT_EQ(archive.ListBox->count(), 2);
    EXPECT_GT(painted.paints, before);
}

TEST_F(ArchiveList, ClearingAndSavingIncludeHeldBackLines) {
    archive.AddLine(Line(0));
    archive.PaintIfDue();
    archive.AddLine(Line(1));
    ASSERT_EQ(archive.ListBox->count(), 1);
    EXPECT_EQ(archive.Lines(), QStringList({Line(0), Line(1)}));
    archive.N2Click();
    EXPECT_TRUE(archive.Lines().isEmpty());
    archive.ShowPendingLines();
    EXPECT_EQ(archive.ListBox->count(), 0);
}

// --- the gauge and the status line

TEST(GaugePacing, RepaintsAtMostAboutThirtyTimesASecondAndShowsTheLastStep) {
    VirtualClock clock;
    TGauge gauge;
    gauge.SetClock(&clock);
    gauge.resize(561, 52);
    gauge.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&gauge));
    gauge.SetMaxValue(1000);
    const int before = gauge.RepaintRequests();
    // A percent step every 10 ms for a second.
    for (int step = 1; step <= 1000; ++step) {
        clock.now = step;
        gauge.SetProgress(step);
        QApplication::processEvents();
    }
    const int requests = gauge.RepaintRequests() - before;
    EXPECT_LE(requests, 1000 / kInterval + 2);
    EXPECT_GE(requests, 20); // it keeps moving

    // After a quiet while a step is repainted at once, one right after it
    // once the interval has passed, by the event loop.
    clock.now += 1000;
    gauge.SetProgress(500);
    EXPECT_FALSE(gauge.RepaintHeldBack());
    clock.now += 1;
    gauge.SetProgress(600);
    ASSERT_TRUE(gauge.RepaintHeldBack());
    const int held = gauge.RepaintRequests();
    PaintCounter painted(&gauge);
    clock.now += kInterval;
    QTRY_VERIFY_WITH_TIMEOUT(!gauge.RepaintHeldBack(), kHangGuardMs);
    EXPECT_EQ(gauge.RepaintRequests(), held + 1);
    QTRY_VERIFY_WITH_TIMEOUT(painted.paints > 0, kHangGuardMs);
    EXPECT_EQ(gauge.PercentDone(), 60);
}

TEST(StatusPacing, TextIsCurrentAtOnceAndPaintedAtMostOncePerInterval) {
    VirtualClock clock;
    ScriptedDialogs dialogs;
    TFace face;
    face.SetDialogs(&dialogs);
    face.SetPaintClock(&clock);
    face.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&face));
    QApplication::processEvents();
    PaintCounter painted(face.StatusBar);
    clock.now = 1000;
    // Without the event loop, as while an exchange runs.
    for (int i = 0; i < 100; ++i) {
        clock.now += 1;
        face.SetStatus(QStringLiteral("step %1").arg(i));
        EXPECT_EQ(face.Status(), QStringLiteral("step %1").arg(i));
    }
    EXPECT_GE(painted.paints, 1);
    EXPECT_LE(painted.paints, 100 / kInterval + 2);

    // Right after a painted text, one held back; the next exchange paints it
    // while its request is on the line.
    clock.now += 1;
    face.SetStatus(QStringLiteral("last"));
    EXPECT_EQ(face.Status(), "last");
    const int synchronous = painted.paints;
    face.PaintWhileWaiting();
    EXPECT_GT(painted.paints, synchronous);
    EXPECT_EQ(face.StatusBar->currentMessage(), "last");
    face.SetDialogs(nullptr);
}

// --- kept paintings look as the style paints

// The widget's window active (an inactive one may take other colours).
QImage Grab(QWidget& widget) {
    widget.window()->activateWindow();
    QApplication::processEvents();
    EXPECT_TRUE(QTest::qWaitForWindowActive(widget.window()));
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// "" when equal; otherwise how many pixels differ and the first of them.
std::string Difference(const QImage& actual, const QImage& expected) {
    if (actual.size() != expected.size())
        return "size " + std::to_string(actual.width()) + "x" + std::to_string(actual.height());
    int differing = 0;
    QPoint first;
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            if (actual.pixel(x, y) != expected.pixel(x, y) && differing++ == 0) first = QPoint(x, y);
        }
    }
    if (differing == 0) return {};
    if (qEnvironmentVariableIsSet("ZIR_SAVE_DIFF")) {
        actual.save(QStringLiteral("/tmp/zir-actual.png"));
        expected.save(QStringLiteral("/tmp/zir-expected.png"));
    }
    return std::to_string(differing) + " pixels differ, first at " + std::to_string(first.x()) + "," +
           std::to_string(first.y());
}

// One list painted by the style's delegate and by one delegate that keeps
// its rows, in turn, through changes of width, of the last line (rows of one
// size take the width of the last) and of the selected row.
TEST(CachedRows, LookExactlyAsTheStylePaintsThemInEveryWidthAndState) {
    const QString a = QStringLiteral("17.05.2024 00:00    0.315 1/s ± 5 %     0.301 1/s ± 7 %");
    const QString b = QStringLiteral("17.05.2024 00:01    29.7 mkSv/h ± 12 %     1.2E-5 1/s ± 255 %");
    QListWidget list;
    list.move(300, 300); // away from the mouse pointer, which lights up a row
    list.setUniformItemSizes(true);
    list.addItems({a, b, QStringLiteral("short"), QString(), a, a});
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QStyledItemDelegate style;
    TCachedRowDelegate rows;
    const auto lookWith = [&](QAbstractItemDelegate& delegate) {
        list.setItemDelegate(&delegate);
        list.doItemsLayout();
        return Grab(*list.viewport());
    };
    const QStringList lastLines = {QStringLiteral("x"), a, b, b + QStringLiteral(" and more"), a};
    for (const int width : {120, 200, 260, 361, 420, 260, 600, 361}) {
        list.resize(width, 120);
        for (int k = 0; k < lastLines.size(); ++k) {
            list.item(5)->setText(lastLines[k]);
            list.setCurrentRow(k % 2); // a, then b, selected
            const std::string where = std::to_string(width) + " " + lastLines[k].toStdString();
            const QImage expected = lookWith(style);
            EXPECT_EQ(Difference(lookWith(rows), expected), "") << where;
            const int painted = rows.StylePaints();
            EXPECT_EQ(Difference(lookWith(rows), expected), "") << where;
            EXPECT_EQ(rows.StylePaints(), painted) << where; // the second time all kept
            EXPECT_EQ(rows.sizeHint(QStyleOptionViewItem(), list.model()->index(1, 0)),
                      style.sizeHint(QStyleOptionViewItem(), list.model()->index(1, 0)));
        }
    }
    list.setItemDelegate(nullptr);
}

// min, max, value, page step
struct BarCase {
    int min, max, value, page;
};

// Both bars go through the same ranges and values in turn.
TEST(CachedScrollBars, LookExactlyAsTheStylePaintsThemAndKeepTheirLooks) {
    const BarCase cases[] = {{0, 0, 0, 10},       {0, 10, 0, 19},   {0, 1421, 0, 19}, {0, 1421, 700, 19},
                             {0, 1421, 1421, 19}, {0, 35, 35, 345}, {0, 35, 12, 345}, {0, 1421, 0, 19}};
    for (const Qt::Orientation orientation : {Qt::Vertical, Qt::Horizontal}) {
        // Side by side on one ground, as in the list's frame, and away from
        // the mouse pointer, which would light up a part of a bar.
        QWidget ground;
        ground.setGeometry(300, 300, 400, 300);
        QScrollBar plain(orientation, &ground);
        TCachedScrollBar kept(orientation, &ground);
        const QRect place = orientation == Qt::Vertical ? QRect(10, 10, 14, 250) : QRect(10, 10, 345, 14);
        plain.setGeometry(place);
        kept.setGeometry(place.translated(orientation == Qt::Vertical ? QPoint(20, 0) : QPoint(0, 20)));
        ground.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&ground));
        const auto look = [&](const QScrollBar& bar) {
            Grab(ground);
            return ground.grab(bar.geometry()).toImage().convertToFormat(QImage::Format_ARGB32);
        };
        for (const BarCase& c : cases) {
            for (QScrollBar* bar : {&plain, static_cast<QScrollBar*>(&kept)}) {
                bar->setRange(c.min, c.max);
                bar->setPageStep(c.page);
                bar->setValue(c.value);
            }
            const QImage expected = look(plain);
            EXPECT_EQ(Difference(look(kept), expected), "") << c.max << " " << c.value;
            const int painted = kept.StylePaints();
            kept.setRange(c.min, c.max + 1); // one more line, mostly the same pixels
            kept.setRange(c.min, c.max);
            EXPECT_EQ(Difference(look(kept), expected), "") << c.max << " " << c.value;
            EXPECT_EQ(kept.StylePaints(), painted);
        }
    }
}

// The style's own painting of rows measured as another delegate measures them.
class StylePaintedRows final : public QStyledItemDelegate {
public:
    StylePaintedRows(const QAbstractItemDelegate& sizes, QObject* parent)
        : QStyledItemDelegate(parent), sizes_(sizes) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return sizes_.sizeHint(option, index);
    }

private:
    const QAbstractItemDelegate& sizes_;
};

// The archive window as the operator sees it after some lines, some wider
// than the window, at several places of both bars, with its kept paintings
// and then with the style's own painters on rows of the same size.
TEST(CachedPainting, ArchiveWindowLooksTheSameAsWithThePlainPainters) {
    ScriptedDialogs dialogs;
    TArchive window(dialogs);
    window.move(300, 300); // away from the mouse pointer, which lights up a row
    window.ShowModeless();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QString wide = QString::fromUtf8("17.05.24 08:01:00    1.23E-12 мкЗв/ч ± 255 %     1.01E-12 мкЗв/ч ± 255 %");
    for (int i = 0; i < 60; ++i) {
        window.AddLine(i % 7 == 3 ? QStringLiteral("short") : i % 11 == 5 ? wide : Line(i * 37));
    }
    window.ShowPendingLines();
    QListWidget& list = *window.ListBox;
    const auto places = [&list] {
        const int sideways = list.horizontalScrollBar()->maximum();
        return std::vector<QPoint>{{0, 3}, {sideways / 2, 4}, {sideways, 40}};
    };
    const auto looks = [&] {
        std::vector<QImage> images;
        for (const QPoint& at : places()) {
            list.horizontalScrollBar()->setValue(at.x());
            list.verticalScrollBar()->setValue(at.y());
            images.push_back(Grab(window));
        }
        return images;
    };
    ASSERT_GT(list.horizontalScrollBar()->maximum(), 0); // the wide line does not fit
    const std::vector<QImage> kept = looks();

    list.setItemDelegate(new StylePaintedRows(window.RowPainter(), &list));
    list.setVerticalScrollBar(new QScrollBar(Qt::Vertical));
    list.setHorizontalScrollBar(new QScrollBar(Qt::Horizontal));
    list.doItemsLayout();
    const std::vector<QImage> plain = looks();
    for (std::size_t k = 0; k < kept.size(); ++k) EXPECT_EQ(Difference(kept[k], plain[k]), "") << k;
}

} // namespace
} // namespace zir::test

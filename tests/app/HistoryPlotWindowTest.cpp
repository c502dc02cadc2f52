// The history window with its real widgets under the offscreen platform, on
// a history in a real SQLite file made in the test: the series it plots, the
// range buttons, zoom and pan by wheel, drag, rubber band and double click,
// the pointer's values, the logarithmic axes, records and current readings
// committed while it is open, the day statistics, import and exports; and
// how the main window reaches it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDateTimeEdit>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScatterSeries>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>
#include <cmath>

#include "app/UFace.h"
#include "app/windows/UHistory.h"
#include "archive/ArchiveRecord.h"
#include "archive/ReadingInputs.h"
#include "core/Cp1251.h"
#include "core/DateText.h"
#include "core/NumberText.h"
#include "history/HistoryStore.h"
#include "history/HistoryTestSupport.h"
#include "link/numFormats.h"
#include "support/Files.h"
#include "support/VirtualClock.h"
#include "tests/app/ScriptedDialogs.h"

namespace zir::test {
namespace {

const QString kAddress = QStringLiteral("10.20.30");

QDateTime Wall(int day, int hour, int minute) { return QDateTime(QDate(2024, 5, day), QTime(hour, minute), Qt::UTC); }
QDateTime Local(const QDateTime& wall) { return QDateTime(wall.date(), wall.time(), Qt::LocalTime); }

ArchiveEntry Entry(const QDateTime& time, double a, int uncA, double b, int uncB,
                   const QString& unitA = QStringLiteral("Bq"), const QString& unitB = QStringLiteral("1/s")) {
    const std::uint16_t codeA = a == 0 ? std::uint16_t{0} : EncodeValueCode(a);
    const std::uint16_t codeB = b == 0 ? std::uint16_t{0} : EncodeValueCode(b);
    return Reading(time, codeA, uncA, codeB, uncB, unitA, unitB);
}

ArchiveEntry Empty(const QDateTime& time) { return Entry(time, 0, 0, 0, 255); }

// 17 May 08:00 to 08:59: A = 0.10 + 0.01 per minute, B = 10 + 1 per minute;
// 08:30 an empty record, 08:40 to 08:44 never read.
std::vector<ArchiveEntry> KnownHour() {
    std::vector<ArchiveEntry> entries;
    for (int m = 0; m < 60; ++m) {
        if (m >= 40 && m < 45) continue;
        entries.push_back(m == 30 ? Empty(Wall(17, 8, m)) : Entry(Wall(17, 8, m), 0.10 + 0.01 * m, 5, 10 + m, 3));
    }
    return entries;
}

// The plotted points as wall-clock times (axis milliseconds back to the
// wall clock) and values; NaN y for a break.
std::vector<std::pair<QDateTime, double>> Plotted(const QXYSeries* series) {
    std::vector<std::pair<QDateTime, double>> points;
    for (const QPointF& p : series->points()) {
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(p.x()));
        points.emplace_back(QDateTime(local.date(), local.time(), Qt::UTC), p.y());
    }
    return points;
}

class HistoryPlot : public ::testing::Test {
protected:
    HistoryPlot() : savedConfig_(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        // The computer's clock says 17 May 2024 12:00:30.
        clock.wallAtZero = QDateTime(QDate(2024, 5, 17), QTime(12, 0, 30), Qt::LocalTime);
        store = std::make_unique<THistoryStore>(data.path() + QStringLiteral("/history.sqlite"), clock);
        window = std::make_unique<THistory>(*store, clock);
        window->SetDialogs(&dialogs);
        window->resize(1000, 700);
    }
    ~HistoryPlot() override {
        window.reset();
        store.reset();
        qputenv("XDG_CONFIG_HOME", savedConfig_);
    }

    // One reading of the entries, committed a day's worth at a time (the
    // virtual clock stands still, so no batch falls due by itself).
    void Read(const std::vector<ArchiveEntry>& entries, const QString& address = kAddress) {
        const int reading = store->BeginReading(QStringLiteral("Report to ZIR %1").arg(address));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            store->AddRecord(reading, address, entries[i]);
            if ((i + 1) % 1440 == 0) {
                ASSERT_TRUE(store->Commit()) << store->TakeProblem().toStdString();
            }
        }
        ASSERT_TRUE(store->Commit()) << store->TakeProblem().toStdString();
    }
    void Current(const QDateTime& localTime, double a, double b) {
        CurrentEntry e;
        e.time = localTime;
        e.codeA = EncodeValueCode(a);
        e.codeB = EncodeValueCode(b);
        e.uncertaintyA = 4;
        e.uncertaintyB = 6;
        e.unitA = QStringLiteral("Bq");
        e.unitB = QStringLiteral("1/s");
        store->AddCurrent(kAddress, e);
    }
    void Open(THistory::Range range) {
        window->ShowFor(kAddress, range);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QApplication::processEvents();
    }
    QWidget* Viewport() { return window->ChartView->viewport(); }
    QPoint PixelOf(const QDateTime& wall) {
        const QPointF scene(window->XOf(wall), window->Chart->plotArea().center().y());
        return window->ChartView->mapFromScene(scene);
    }
    QString Cell(int row, int column) {
        return window->TV_DayStatistics->model()->index(row, column).data().toString();
    }
    qint64 Span() const { return window->ViewFrom().msecsTo(window->ViewTo()); }
    void ExpectAxisShowsView() {
        EXPECT_EQ(window->AxisTime->min(), Local(window->ViewFrom()));
        EXPECT_EQ(window->AxisTime->max(), Local(window->ViewTo()));
    }

    QTemporaryDir config, data;
    ScriptedDialogs dialogs;
    VirtualClock clock;
    std::unique_ptr<THistoryStore> store;
    std::unique_ptr<THistory> window;

private:
    QByteArray savedConfig_;
};

TEST_F(HistoryPlot, ShowsTheSeriesOfTheHistoryWithBreaksAtGapsAndUnitsOnTheAxes) {
    Read(KnownHour());
    Open(THistory::Range::LastDay);
    EXPECT_EQ(window->windowTitle(), "History");
    EXPECT_EQ(window->Address(), kAddress);
    // 55 minutes stored, the empty record among them.
    EXPECT_TRUE(window->StatusBar->currentMessage().contains(QStringLiteral("55 records")))
        << window->StatusBar->currentMessage().toStdString();
    // Two hours in about 900 pixels: every minute is a column of its own, so
    // the points are the records themselves.
    ASSERT_TRUE(window->ShowFromTo(Wall(17, 7, 30), Wall(17, 9, 30)));
    const auto a = Plotted(window->SeriesA);
    const auto b = Plotted(window->SeriesB);
    std::vector<std::pair<QDateTime, double>> expectedA, expectedB;
    for (int m = 0; m < 60; ++m) {
        if (m == 30 || m == 40) {
            // The break takes the time of the point before it.
            const QDateTime before = Wall(17, 8, m - 1);
            expectedA.emplace_back(before, std::nan(""));
            expectedB.emplace_back(before, std::nan(""));
        }
        if (m == 30 || (m >= 40 && m < 45)) continue;
        expectedA.emplace_back(Wall(17, 8, m), ValueCodeToText(EncodeValueCode(0.10 + 0.01 * m)).toDouble());
        expectedB.emplace_back(Wall(17, 8, m), 10 + m);
    }
    ASSERT_EQ(a.size(), expectedA.size());
    ASSERT_EQ(b.size(), expectedB.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].first, expectedA[i].first) << "point " << i;
        EXPECT_EQ(b[i].first, expectedB[i].first) << "point " << i;
        if (std::isnan(expectedA[i].second)) {
            EXPECT_TRUE(std::isnan(a[i].second) && std::isnan(b[i].second)) << "no break at point " << i;
        } else {
            EXPECT_DOUBLE_EQ(a[i].second, expectedA[i].second) << "point " << i;
            EXPECT_DOUBLE_EQ(b[i].second, expectedB[i].second) << "point " << i;
        }
    }
    // Each channel on its own axis, titled with its unit text.
    EXPECT_EQ(window->SeriesA->attachedAxes(), (QList<QAbstractAxis*>{window->AxisTime, window->AxisA}));
    EXPECT_EQ(window->SeriesB->attachedAxes(), (QList<QAbstractAxis*>{window->AxisTime, window->AxisB}));
    EXPECT_EQ(window->AxisA->titleText(), "A, Bq");
    EXPECT_EQ(window->AxisB->titleText(), "B, 1/s");
    EXPECT_LE(window->AxisA->min(), 0.10);
    EXPECT_GE(window->AxisA->max(), 0.69);
    EXPECT_LE(window->AxisB->min(), 10);
    EXPECT_GE(window->AxisB->max(), 69);
    // Time over date, in the system locale's formats.
    EXPECT_EQ(window->AxisTime->format(), QLocale::system().timeFormat(QLocale::ShortFormat) +
                                              QStringLiteral("'<br>'") +
                                              QLocale::system().dateFormat(QLocale::ShortFormat));
}

// Qt Charts draws nothing across a NaN point on a linear axis, but refuses
// a whole series on a logarithmic one: what the window's breaks rely on.
TEST_F(HistoryPlot, TheDrawnLineBreaksAtAGapOnBothScales) {
    std::vector<ArchiveEntry> entries;
    // Channel B lower, then higher: its line lies apart from A's.
    for (int m = 0; m < 60; ++m) entries.push_back(Entry(Wall(17, 8, m), 2, 1, 30, 1));
    for (int m = 0; m < 60; ++m) entries.push_back(Entry(Wall(17, 11, m), 2, 1, 60, 1));
    Read(entries);
    Open(THistory::Range::FromTo);
    ASSERT_TRUE(window->ShowFromTo(Wall(17, 7, 0), Wall(17, 13, 0)));
    for (const bool logarithmic : {false, true}) {
        window->CB_Logarithmic->setChecked(logarithmic);
        QApplication::processEvents();
        const QImage image = window->ChartView->grab().toImage();
        const double scale = image.devicePixelRatio();
        // Along the line of channel A, in the middle of each hour and of the gap.
        const QPointF on = window->Chart->mapToPosition(window->SeriesA->at(10), window->SeriesA);
        const auto drawn = [&](const QDateTime& t) {
            const QPoint at = window->ChartView->mapFromScene(QPointF(window->XOf(t), on.y()));
            for (int dy = -1; dy <= 1; ++dy)
                if (image.pixelColor(static_cast<int>(at.x() * scale), static_cast<int>((at.y() + dy) * scale)) ==
                    QColor(0x1f, 0x5f, 0xb4))
                    return true;
            return false;
        };
        EXPECT_TRUE(drawn(Wall(17, 8, 30))) << (logarithmic ? "logarithmic" : "linear");
        EXPECT_FALSE(drawn(Wall(17, 10, 0))) << (logarithmic ? "logarithmic" : "linear");
        EXPECT_TRUE(drawn(Wall(17, 11, 30))) << (logarithmic ? "logarithmic" : "linear");
    }
}

TEST_F(HistoryPlot, DayStatisticsListEveryDayOfTheRangeWithUnits) {
    Read(KnownHour());
    Open(THistory::Range::LastDay);
    // The last day from 16 May 12:01 touches two dates.
    const QAbstractItemModel* model = window->TV_DayStatistics->model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->headerData(3, Qt::Horizontal).toString(), "A minimum");
    EXPECT_EQ(Cell(0, 0), ShortDateText(QDate(2024, 5, 16)));
    EXPECT_EQ(Cell(0, 1), "no records");
    EXPECT_EQ(Cell(0, 3), "");
    EXPECT_EQ(Cell(1, 0), ShortDateText(QDate(2024, 5, 17)));
    EXPECT_EQ(Cell(1, 1), "54");
    EXPECT_EQ(Cell(1, 2), "1");
    // A: 0.10 .. 0.59 and 0.65 .. 0.69 without 0.30 (the empty record).
    EXPECT_EQ(Cell(1, 3), "0.1 Bq");
    EXPECT_EQ(Cell(1, 5), "0.69 Bq");
    double sum = 0;
    for (int m = 0; m < 60; ++m)
        if (m != 30 && (m < 40 || m >= 45)) sum += 10 + m;
    EXPECT_EQ(Cell(1, 7), FloatToText(std::round(sum / 54 * 100) / 100) + QStringLiteral(" 1/s"));
    EXPECT_EQ(Cell(1, 6), "10 1/s");
    EXPECT_EQ(Cell(1, 8), "69 1/s");
}

struct RangeCase {
    const char* name;
    THistory::Range range;
    QDateTime from, to; // wall clock
};

void PrintTo(const RangeCase& c, std::ostream* os) { *os << c.name; }

class RangeButtons : public HistoryPlot, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(RangeButtons, SetTheTimeAxisToTheirRange) {
    Read(KnownHour());
    Read({Entry(Wall(2, 6, 0), 1, 1, 1, 1)});
    Open(THistory::Range::Last7Days);
    const RangeCase& c = GetParam();
    QPushButton* button = c.range == THistory::Range::LastDay      ? window->BB_LastDay
                          : c.range == THistory::Range::Last7Days  ? window->BB_Last7Days
                          : c.range == THistory::Range::Last30Days ? window->BB_Last30Days
                          : c.range == THistory::Range::LastYear   ? window->BB_LastYear
                                                                   : window->BB_All;
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(window->CurrentRange(), c.range);
    EXPECT_EQ(window->RangeFrom(), c.from);
    EXPECT_EQ(window->RangeTo(), c.to);
    EXPECT_EQ(window->ViewFrom(), c.from);
    EXPECT_EQ(window->ViewTo(), c.to);
    EXPECT_EQ(window->AxisTime->min(), Local(c.from));
    EXPECT_EQ(window->AxisTime->max(), Local(c.to));
    // The from/to choice shows the range, ready to be changed.
    EXPECT_EQ(window->DE_From->dateTime(), Local(c.from));
    EXPECT_EQ(window->DE_To->dateTime(), Local(c.to));
}

// The clock says 17 May 2024 12:00:30: the "last" ranges end at 12:01.
INSTANTIATE_TEST_SUITE_P(
    Buttons, RangeButtons,
    ::testing::Values(RangeCase{"last day", THistory::Range::LastDay, Wall(16, 12, 1), Wall(17, 12, 1)},
                      RangeCase{"last 7 days", THistory::Range::Last7Days, Wall(10, 12, 1), Wall(17, 12, 1)},
                      RangeCase{"last 30 days", THistory::Range::Last30Days,
                                QDateTime(QDate(2024, 4, 17), QTime(12, 1), Qt::UTC), Wall(17, 12, 1)},
                      RangeCase{"last year", THistory::Range::LastYear,
                                QDateTime(QDate(2023, 5, 17), QTime(12, 1), Qt::UTC), Wall(17, 12, 1)},
                      // All: from the first record to the minute after the last.
                      RangeCase{"all", THistory::Range::All, Wall(2, 6, 0), Wall(17, 9, 0)}),
    [](const ::testing::TestParamInfo<RangeCase>& param) {
        std::string name = param.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

TEST_F(HistoryPlot, FromToShowsTheChosenSpanAndRefusesATurnedOne) {
    Read(KnownHour());
    Open(THistory::Range::LastDay);
    window->DE_From->setDateTime(Local(Wall(17, 8, 10)));
    window->DE_To->setDateTime(Local(Wall(17, 8, 50)));
    QTest::mouseClick(window->BB_FromTo, Qt::LeftButton);
    EXPECT_EQ(window->CurrentRange(), THistory::Range::FromTo);
    EXPECT_EQ(window->ViewFrom(), Wall(17, 8, 10));
    EXPECT_EQ(window->ViewTo(), Wall(17, 8, 50));
    ExpectAxisShowsView();
    const auto a = Plotted(window->SeriesA);
    // The neighbours just outside carry the line to the edges.
    EXPECT_EQ(a.front().first, Wall(17, 8, 9));
    EXPECT_EQ(a.back().first, Wall(17, 8, 50));

    window->DE_From->setDateTime(Local(Wall(17, 9, 0)));
    window->DE_To->setDateTime(Local(Wall(17, 8, 0)));
    QTest::mouseClick(window->BB_FromTo, Qt::LeftButton);
    EXPECT_EQ(window->ViewFrom(), Wall(17, 8, 10));
    EXPECT_EQ(window->StatusBar->currentMessage(), "The end of the span must lie after its beginning");
}

TEST_F(HistoryPlot, WheelZoomsAroundThePointerDragPansRubberBandZoomsDoubleClickResets) {
    Read(KnownHour());
    Open(THistory::Range::LastDay);
    const qint64 day = Span();
    ASSERT_EQ(day, 24 * 3600 * 1000);

    // One notch in at 08:00: 80 % of the span, 08:00 stays under the pointer.
    const QPoint at = PixelOf(Wall(17, 8, 0));
    const QDateTime under = window->TimeAt(window->ChartView->mapToScene(at).x());
    QWheelEvent wheel(at, Viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(Viewport(), &wheel);
    EXPECT_NEAR(static_cast<double>(Span()), 0.8 * static_cast<double>(day), 1.0);
    EXPECT_LE(std::llabs(window->TimeAt(window->ChartView->mapToScene(at).x()).msecsTo(under)), 120'000);
    ExpectAxisShowsView();

    // Dragging 100 pixels to the right shows earlier times by 100 pixels' worth.
    const QDateTime before = window->ViewFrom();
    const double msPerPixel = static_cast<double>(Span()) / window->Chart->plotArea().width();
    QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseMove(Viewport(), at + QPoint(50, 0));
    QTest::mouseMove(Viewport(), at + QPoint(100, 0));
    QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, at + QPoint(100, 0));
    EXPECT_NEAR(static_cast<double>(window->ViewFrom().msecsTo(before)), 100 * msPerPixel, 2 * msPerPixel);
    ExpectAxisShowsView();

    // A right-button drag from 08:00 to 09:00 shows that hour.
    const QPoint eight = PixelOf(Wall(17, 8, 0));
    const QPoint nine = PixelOf(Wall(17, 9, 0));
    const double pixelMs = static_cast<double>(Span()) / window->Chart->plotArea().width();
    QTest::mousePress(Viewport(), Qt::RightButton, Qt::NoModifier, eight);
    QTest::mouseMove(Viewport(), nine);
    QTest::mouseRelease(Viewport(), Qt::RightButton, Qt::NoModifier, nine);
    EXPECT_LE(std::llabs(window->ViewFrom().msecsTo(Wall(17, 8, 0))), static_cast<qint64>(pixelMs));
    EXPECT_LE(std::llabs(window->ViewTo().msecsTo(Wall(17, 9, 0))), static_cast<qint64>(pixelMs));
    ExpectAxisShowsView();
    // The hour's points are the records again.
    EXPECT_EQ(Plotted(window->SeriesA).size(), 56u); // 54 records with values and 2 breaks

    // Zooming out never goes beyond the range; a double click shows all of it.
    for (int i = 0; i < 30; ++i) window->ZoomAround(window->Chart->plotArea().center().x(), 1.25);
    EXPECT_EQ(window->ViewFrom(), Wall(16, 12, 1));
    EXPECT_EQ(window->ViewTo(), Wall(17, 12, 1));
    window->ZoomAround(window->Chart->plotArea().center().x(), 0.01);
    QTest::mouseDClick(Viewport(), Qt::LeftButton, Qt::NoModifier, eight);
    EXPECT_EQ(window->ViewFrom(), Wall(16, 12, 1));
    EXPECT_EQ(window->ViewTo(), Wall(17, 12, 1));
    ExpectAxisShowsView();
    // The shortest span is ten minutes.
    for (int i = 0; i < 60; ++i) window->ZoomAround(window->Chart->plotArea().center().x(), 0.5);
    EXPECT_EQ(Span(), 10 * 60 * 1000);
}

TEST_F(HistoryPlot, ZoomingOutOfAYearKeepsEveryPeakInView) {
    // A month of minutes with one peak of a single minute.
    std::vector<ArchiveEntry> month;
    for (int m = 0; m < 30 * 1440; ++m) {
        const QDateTime t = QDateTime(QDate(2024, 4, 17), QTime(12, 1), Qt::UTC).addSecs(60 * m);
        month.push_back(Entry(t, m == 12345 ? 9.99 : 0.12, 5, 15, 3));
    }
    Read(month);
    Open(THistory::Range::Last30Days);
    double highest = 0;
    for (const QPointF& p : window->SeriesA->points())
        if (!std::isnan(p.y())) highest = std::max(highest, p.y());
    EXPECT_DOUBLE_EQ(highest, 9.99);
    EXPECT_LE(window->SeriesA->count(), 2 * static_cast<int>(window->Chart->plotArea().width()) + 4);
    EXPECT_GE(window->AxisA->max(), 9.99);
}

TEST_F(HistoryPlot, PointerShowsTimeValuesUnitsAndUncertaintiesOfTheNearestMinute) {
    Read(KnownHour());
    Open(THistory::Range::FromTo);
    ASSERT_TRUE(window->ShowFromTo(Wall(17, 7, 50), Wall(17, 9, 10)));
    QTest::mouseMove(Viewport(), PixelOf(Wall(17, 8, 5)));
    const QString minute =
        ShortDateText(QDate(2024, 5, 17)) + u' ' + QLocale::system().toString(QTime(8, 5), QLocale::ShortFormat);
    EXPECT_EQ(window->LB_Pointer->text(), minute + QStringLiteral("   A: 0.15 Bq ± 5 %     B: 15 1/s ± 3 %"));
    QTest::mouseMove(Viewport(), PixelOf(Wall(17, 8, 30)));
    EXPECT_TRUE(window->LB_Pointer->text().endsWith(QStringLiteral("empty record")))
        << window->LB_Pointer->text().toStdString();
    QTest::mouseMove(Viewport(), PixelOf(Wall(17, 8, 42)));
    EXPECT_TRUE(window->LB_Pointer->text().endsWith(QStringLiteral("no record")))
        << window->LB_Pointer->text().toStdString();
}

TEST_F(HistoryPlot, LogarithmicAxesShowOnlyPositiveValuesAndBreakAtTheOthers) {
    Read({Entry(Wall(17, 8, 0), 0.5, 1, 20, 1), Entry(Wall(17, 8, 1), 0, 1, 30, 1), Entry(Wall(17, 8, 2), 5, 1, 40, 1),
          Entry(Wall(17, 8, 3), 50, 1, 50, 1)});
    Open(THistory::Range::FromTo);
    ASSERT_TRUE(window->ShowFromTo(Wall(17, 7, 59), Wall(17, 8, 5)));
    // Linear: the 0 of channel A is a value.
    EXPECT_EQ(window->SeriesA->count(), 4);
    window->CB_Logarithmic->click();
    EXPECT_TRUE(window->LogAxisA->isVisible());
    EXPECT_FALSE(window->AxisA->isVisible());
    EXPECT_DOUBLE_EQ(window->LogAxisA->min(), 0.1);
    EXPECT_DOUBLE_EQ(window->LogAxisA->max(), 100);
    EXPECT_DOUBLE_EQ(window->LogAxisB->min(), 10);
    EXPECT_DOUBLE_EQ(window->LogAxisB->max(), 100);
    EXPECT_EQ(window->LogAxisA->titleText(), "A, Bq");
    const auto a = Plotted(window->SeriesA);
    ASSERT_EQ(a.size(), 5u); // 0.5 doubled into a dot, the break, 5, 50
    EXPECT_DOUBLE_EQ(a[0].second, std::log10(0.5));
    EXPECT_TRUE(std::isnan(a[2].second));
    EXPECT_DOUBLE_EQ(a[4].second, std::log10(50.0));
    EXPECT_DOUBLE_EQ(window->AxisA->min(), -1);
    EXPECT_DOUBLE_EQ(window->AxisA->max(), 2);
    window->CB_Logarithmic->click();
    EXPECT_TRUE(window->AxisA->isVisible());
    EXPECT_FALSE(window->LogAxisA->isVisible());
}

TEST_F(HistoryPlot, RecordsAndCurrentReadingsCommittedMeanwhileAppearWithoutAReload) {
    Read(KnownHour());
    Current(Local(Wall(17, 9, 30)).addSecs(5), 0.2, 30);
    Open(THistory::Range::LastDay);
    EXPECT_EQ(window->CurrentA->count(), 1);
    // Zoomed in; new records of the hour come in: the view stays, the points are there.
    window->ZoomToPixels(window->XOf(Wall(17, 8, 0)), window->XOf(Wall(17, 10, 0)));
    const QDateTime viewFrom = window->ViewFrom();
    Read({Entry(Wall(17, 9, 10), 0.9, 2, 90, 2), Entry(Wall(17, 9, 11), 0.8, 2, 80, 2)});
    EXPECT_EQ(window->ViewFrom(), viewFrom);
    const auto a = Plotted(window->SeriesA);
    EXPECT_TRUE(
        std::any_of(a.begin(), a.end(), [](const auto& p) { return p.first == Wall(17, 9, 10) && p.second == 0.9; }));
    EXPECT_EQ(window->TV_DayStatistics->model()->index(1, 1).data().toString(), "56");
    // Records of another instrument change nothing.
    Read({Entry(Wall(17, 9, 20), 7, 2, 7, 2)}, QStringLiteral("1.1.2"));
    EXPECT_EQ(Cell(1, 1), "56");

    // Auto refresh a few minutes later: the last day moves on with it.
    window->ResetView();
    Current(Local(Wall(17, 12, 4)).addSecs(10), 0.3, 31);
    EXPECT_EQ(window->CurrentA->count(), 2);
    EXPECT_EQ(window->RangeTo(), Wall(17, 12, 5));
    EXPECT_EQ(window->RangeFrom(), Wall(16, 12, 5));
    EXPECT_EQ(window->ViewTo(), Wall(17, 12, 5));
    ExpectAxisShowsView();
    // Without the points asked for, none are drawn.
    window->CB_CurrentReadings->click();
    EXPECT_EQ(window->CurrentA->count(), 0);
}

TEST_F(HistoryPlot, AnotherAddressTypedOrChosenShowsItsRecords) {
    Read(KnownHour());
    Read({Entry(Wall(17, 9, 0), 3, 1, 4, 1), Entry(Wall(17, 9, 1), 3, 1, 4, 1)}, QStringLiteral("1.1.2"));
    Open(THistory::Range::LastDay);
    EXPECT_EQ(window->CB_Address->count(), 2); // the addresses of the history
    window->CB_Address->lineEdit()->selectAll();
    QTest::keyClicks(window->CB_Address->lineEdit(), QStringLiteral("1.1.2"));
    QTest::keyClick(window->CB_Address->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(window->Records().size(), 2u);
    EXPECT_EQ(window->CurrentRange(), THistory::Range::LastDay);
    window->CB_Address->setCurrentIndex(window->CB_Address->findText(kAddress));
    emit window->CB_Address->textActivated(kAddress);
    EXPECT_EQ(window->Records().size(), 55u);
}

TEST_F(HistoryPlot, AClosedWindowReadsItsRangeAgainWhenOpened) {
    Open(THistory::Range::LastDay);
    window->close();
    Read(KnownHour());
    EXPECT_TRUE(window->Records().empty()); // not followed while closed
    window->ShowFor(kAddress);
    EXPECT_EQ(window->Records().size(), 55u);
    EXPECT_EQ(window->CurrentRange(), THistory::Range::LastDay);
}

TEST_F(HistoryPlot, ImportsAnArchiveTxtAndReportsItsCounts) {
    Open(THistory::Range::LastDay);
    // An Archive.txt as the program writes it: title and record lines in the
    // system locale, Windows-1251, CR LF; line 4 is damaged.
    const QString path = data.path() + QStringLiteral("/Archive.txt");
    QStringList lines{ReportTitle(kAddress, QDate(2024, 5, 17), TimeFilter{TimeLimitAt(480), TimeLimitAt(482)})};
    for (int m = 0; m < 3; ++m) {
        ArchiveRecord r;
        r.time = QDateTime(QDate(2024, 5, 17), QTime(8, m), Qt::LocalTime);
        r.index = 480 + m;
        r.valueA = QStringLiteral("0.%1").arg(m + 1);
        r.valueB = QStringLiteral("1%1").arg(m);
        r.uncertaintyA = 5;
        r.uncertaintyB = 3;
        lines << RecordLine(r, QStringLiteral("Bq"), QStringLiteral("1/s"));
        if (m == 1) lines << QStringLiteral("broken line");
    }
    WriteFileBytes(path, UnicodeToCp1251(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));

    dialogs.openFileChoice = path;
    window->actImport->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1) << dialogs.errors.join('|').toStdString();
    EXPECT_EQ(dialogs.messages.front(), "Archive.txt: 3 new, 0 already known, 0 changed; unreadable lines: 1 (4)");
    EXPECT_EQ(dialogs.fileCaptions, QStringList{"Import Archive.txt"});
    // The records are in the open plot.
    EXPECT_EQ(window->SeriesA->count(), 3);
    window->actImport->trigger();
    EXPECT_EQ(dialogs.messages.back(), "Archive.txt: 0 new, 3 already known, 0 changed; unreadable lines: 1 (4)");
    // Cancelled: nothing.
    dialogs.openFileChoice.clear();
    window->actImport->trigger();
    EXPECT_EQ(dialogs.messages.size(), 2);
}

TEST_F(HistoryPlot, ExportsTheShownSpanAsCsv) {
    Read(KnownHour());
    Open(THistory::Range::LastDay);
    ASSERT_TRUE(window->ShowFromTo(Wall(17, 8, 28), Wall(17, 8, 31)));
    dialogs.saveFileChoice = data.path() + QStringLiteral("/span");
    window->actExportCsv->trigger();
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('|').toStdString();
    EXPECT_EQ(QString::fromUtf8(ReadFileBytes(dialogs.saveFileChoice + QStringLiteral(".csv"))),
              QStringLiteral("time,address,bank,value_a,unit_a,uncertainty_a,value_b,unit_b,uncertainty_b\r\n"
                             "2024-05-17T08:28,10.20.30,3,0.38,Bq,5,38,1/s,3\r\n"
                             "2024-05-17T08:29,10.20.30,3,0.39,Bq,5,39,1/s,3\r\n"
                             "2024-05-17T08:30,10.20.30,3,,Bq,0,,1/s,255\r\n"));
    EXPECT_TRUE(window->StatusBar->currentMessage().startsWith(QStringLiteral("3 records")));
    // A file that cannot be written ends in the error box.
    dialogs.saveFileChoice = data.path() + QStringLiteral("/no/such/folder/x.csv");
    window->actExportCsv->trigger();
    EXPECT_EQ(dialogs.errors.size(), 1);
}

TEST_F(HistoryPlot, SavesThePlotAsPngAndSvg) {
    Read(KnownHour());
    Open(THistory::Range::LastDay);
    dialogs.saveFileChoice = data.path() + QStringLiteral("/plot.png");
    window->actSaveImage->trigger();
    const QImage png(dialogs.saveFileChoice);
    ASSERT_FALSE(png.isNull()) << dialogs.errors.join('|').toStdString();
    EXPECT_EQ(png.size(), window->ChartView->size() * window->devicePixelRatio());
    // Channel A's colour is in the picture.
    bool blue = false;
    for (int y = 0; y < png.height() && !blue; ++y)
        for (int x = 0; x < png.width() && !blue; ++x) blue = png.pixelColor(x, y) == QColor(0x1f, 0x5f, 0xb4);
    EXPECT_TRUE(blue);

    dialogs.saveFileChoice = data.path() + QStringLiteral("/plot.svg");
    window->actSaveImage->trigger();
    const QByteArray text = ReadFileBytes(dialogs.saveFileChoice);
    EXPECT_TRUE(text.contains("<svg")) << text.left(200).toStdString();
    EXPECT_TRUE(text.contains("#1f5fb4")); // the series drawn as vectors
    EXPECT_TRUE(text.contains("History of ZIR 10.20.30"));

    dialogs.saveFileChoice = data.path() + QStringLiteral("/no/such/folder/plot.png");
    window->actSaveImage->trigger();
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors.front().startsWith(QStringLiteral("Cannot create file")))
        << dialogs.errors.front().toStdString();
}

TEST_F(HistoryPlot, AnEmptyRangeSaysWhereTheRecordsAre) {
    Read({Entry(Wall(2, 6, 0), 1, 1, 1, 1)});
    Open(THistory::Range::LastDay);
    EXPECT_EQ(window->SeriesA->count(), 0);
    EXPECT_TRUE(window->StatusBar->currentMessage().contains(QStringLiteral("the history holds records from")))
        << window->StatusBar->currentMessage().toStdString();
}

// --- reached from the main window

class HistoryFromFace : public ::testing::Test {
protected:
    HistoryFromFace() : savedConfig_(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        face = std::make_unique<TFace>();
        face->SetDialogs(&dialogs);
        face->SetAppDir(appDir.path() + QLatin1Char('/'));
        face->show();
        QApplication::setActiveWindow(face.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(face.get()));
    }
    ~HistoryFromFace() override {
        face->SetDialogs(nullptr);
        face.reset();
        qputenv("XDG_CONFIG_HOME", savedConfig_);
    }
    QTemporaryDir config, appDir;
    ScriptedDialogs dialogs;
    std::unique_ptr<TFace> face;

private:
    QByteArray savedConfig_;
};

QStringList Items(const QMenu* menu) {
    QStringList items;
    for (const QAction* a : menu->actions()) items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return items;
}

TEST_F(HistoryFromFace, MenuGroupSitsBetweenReadAllAndExitInBothMenus) {
    EXPECT_EQ(Items(face->N1),
              (QStringList{"Show progressbar while refresh is doing", "-", "Read &Time", "Read &Current data", "-",
                           "&Refresh data bank list", "Read Data &Bank", "-", "Read all data from archive", "-",
                           "&History...", "Serial &ports...", "&Line monitor...", "-", "E&xit"}));
    EXPECT_EQ(Items(face->PopupMenu1),
              (QStringList{"About", "-", "Read &Time", "Read &Current data", "-", "&Refresh data bank list",
                           "Read Data &Bank", "-", "Read all data from archive", "-", "&History...", "Serial &ports...",
                           "&Line monitor...", "-", "E&xit"}));
    EXPECT_EQ(face->actHistory->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_H));
}

TEST_F(HistoryFromFace, CtrlHOpensTheWindowForTheAddressInTheFieldAlsoFromAnEditField) {
    face->LE_DeviceAdr->setText(QStringLiteral(" 1.2.3 "));
    face->LE_DeviceAdr->setFocus();
    QApplication::processEvents();
    QTest::keyClick(face->LE_DeviceAdr, Qt::Key_H, Qt::ControlModifier);
    ASSERT_NE(face->FHistory, nullptr);
    EXPECT_TRUE(face->FHistory->isVisible());
    EXPECT_EQ(face->FHistory->Address(), "1.2.3");
    EXPECT_EQ(face->LE_DeviceAdr->text(), " 1.2.3 "); // the edit did not see the key
    EXPECT_FALSE(face->FHistory->isModal());
    // Opened again from the menu for another address: that one.
    face->FHistory->close();
    face->LE_DeviceAdr->setText(QStringLiteral("4.5.6"));
    face->actHistory->trigger();
    EXPECT_EQ(face->FHistory->Address(), "4.5.6");
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join('|').toStdString();
}

TEST_F(HistoryFromFace, PositionSizeAndOptionsAreKeptInASectionOfTheirOwn) {
    face->actHistory->trigger();
    THistory* history = face->FHistory;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(history));
    history->resize(760, 560);
    history->CB_Logarithmic->setChecked(true);
    history->close();
    const QString ini =
        config.path() + QStringLiteral("/zir/") + QCoreApplication::applicationName() + QStringLiteral(".INI");
    const QString text = QString::fromUtf8(ReadFileBytes(ini));
    ASSERT_TRUE(text.contains(QStringLiteral("[THistory]"))) << text.toStdString();
    const QString section = text.mid(text.indexOf(QStringLiteral("[THistory]")));
    EXPECT_TRUE(section.contains(QStringLiteral("CB_Logarithmic_Checked=True"))) << section.toStdString();
    EXPECT_TRUE(section.contains(QStringLiteral("NormPos="))) << section.toStdString();

    // A new start: the window comes back as large, with its options.
    face->SetDialogs(nullptr);
    face.reset();
    face = std::make_unique<TFace>();
    face->SetDialogs(&dialogs);
    face->show();
    face->actHistory->trigger();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(face->FHistory));
    EXPECT_EQ(face->FHistory->size(), QSize(760, 560));
    EXPECT_TRUE(face->FHistory->CB_Logarithmic->isChecked());
}

} // namespace
} // namespace zir::test

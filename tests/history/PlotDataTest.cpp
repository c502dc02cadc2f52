// What the history window computes without widgets: the decimation of a
// series to the plot's pixel columns (checked against the raw data for many
// random series), ranges kept as columns and merged with newer records, and
// the statistics of a known day read from a real history file.
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <limits>

#include "history/DayStatistics.h"
#include "history/HistoryColumns.h"
#include "history/PlotDecimation.h"
#include "tests/history/HistoryTestSupport.h"

namespace zir::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// --- decimation: known answers

struct KnownCase {
    const char* name;
    std::vector<std::int64_t> t;
    std::vector<double> v;
    DecimationRange range;
    std::vector<QPointF> expected; // y NaN: a break
};

void PrintTo(const KnownCase& c, std::ostream* os) { *os << c.name; }

class DecimationKnown : public ::testing::TestWithParam<KnownCase> {};

TEST_P(DecimationKnown, GivesTheColumnsMinimumAndMaximumInTimeOrder) {
    const KnownCase& c = GetParam();
    const std::vector<QPointF> out = DecimateMinMax(c.t, c.v, c.range);
    ASSERT_EQ(out.size(), c.expected.size()) << c.name;
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i].x(), c.expected[i].x()) << c.name << " point " << i;
        if (std::isnan(c.expected[i].y())) {
            EXPECT_TRUE(IsBreak(out[i])) << c.name << " point " << i;
        } else {
            EXPECT_EQ(out[i].y(), c.expected[i].y()) << c.name << " point " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecimationKnown,
    ::testing::Values(
        // Two columns of four samples: each gives its minimum and maximum, the
        // earlier of the two first,
        // at the middle of the column.
        KnownCase{"two columns",
                  {0, 1, 2, 3, 4, 5, 6, 7},
                  {5, 9, 1, 4, 3, 2, 8, 6},
                  {0, 8, 2, 0, false},
                  {{2, 9}, {2, 1}, {6, 2}, {6, 8}}},
        // More columns than samples: every sample stays.
        KnownCase{"zoomed in", {0, 1, 2}, {1, 2, 3}, {0, 3, 300, 1, false}, {{0, 1}, {1, 2}, {2, 3}}},
        // An empty record between two columns breaks the line; the sample
        // alone before it is doubled into a dot.
        KnownCase{
            "gap", {0, 1, 2, 3}, {4, kNaN, 6, 7}, {0, 4, 4, 1, false}, {{0, 4}, {0, 4}, {0, kNaN}, {2, 6}, {3, 7}}},
        // A missing record (a step of 3 where 1 is the rule) breaks it too.
        KnownCase{"missing minute",
                  {0, 1, 4, 5},
                  {1, 2, 3, 4},
                  {0, 6, 6, 1, false},
                  {{0, 1}, {1, 2}, {1, kNaN}, {4, 3}, {5, 4}}},
        // An empty record at the edge of two columns without an empty column
        // between them: too thin to show, no break.
        KnownCase{"gap thinner than a column",
                  {0, 1, 2, 3, 4, 5, 6, 7},
                  {1, 2, 3, 4, kNaN, 6, 7, 8},
                  {0, 8, 2, 1, false},
                  {{2, 1}, {2, 4}, {6, 6}, {6, 8}}},
        // A neighbour far before the span is not joined to it.
        KnownCase{"far neighbour",
                  {0, 100, 101},
                  {1, 2, 3},
                  {100, 102, 2, 1, false},
                  {{0, 1}, {0, 1}, {0, kNaN}, {100, 2}, {101, 3}}},
        // Within one column nothing breaks: the column is its min and max.
        KnownCase{"gap inside a column", {0, 1, 2, 3}, {2, kNaN, 9, 1}, {0, 4, 1, 1, false}, {{2, 9}, {2, 1}}},
        // The neighbours outside the span carry the line to its edges.
        KnownCase{"neighbours",
                  {0, 10, 11, 12, 30},
                  {1, 2, 3, 4, 5},
                  {10, 13, 3, 0, false},
                  {{0, 1}, {10, 2}, {11, 3}, {12, 4}, {30, 5}}},
        // On a logarithmic axis values <= 0 are missing.
        KnownCase{"positive only",
                  {0, 1, 2, 3, 4},
                  {3, 0, -1, 5, 6},
                  {0, 5, 5, 1, true},
                  {{0, 3}, {0, 3}, {0, kNaN}, {3, 5}, {4, 6}}},
        // The last sample before a span without samples is all there is to draw.
        KnownCase{"only a neighbour", {0, 1}, {1, 2}, {5, 10, 10, 1, false}, {{1, 2}, {1, 2}}},
        KnownCase{"empty span", {0, 1}, {1, 2}, {5, 5, 10, 1, false}, {}}),
    [](const ::testing::TestParamInfo<KnownCase>& param) {
        std::string name = param.param.name;
        std::replace_if(
            name.begin(), name.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
        return name;
    });

// --- decimation: properties against the raw data

struct RandomCase {
    quint32 seed;
    int samples;
    int gapPer1000;     // empty records
    int missingPer1000; // minutes without a record
    int columns;
    double viewStart; // the span as parts of the data's time span
    double viewEnd;
    bool positiveOnly;
};

void PrintTo(const RandomCase& c, std::ostream* os) {
    *os << "seed " << c.seed << ", " << c.samples << " samples in " << c.columns << " columns";
}

struct Raw {
    std::vector<std::int64_t> t;
    std::vector<double> v;
};

Raw MakeRaw(const RandomCase& c) {
    QRandomGenerator random(c.seed);
    Raw raw;
    std::int64_t t = 1'000'000;
    for (int i = 0; i < c.samples; ++i) {
        t += kMsPerMinute;
        if (random.bounded(1000) < c.missingPer1000) t += kMsPerMinute * (1 + random.bounded(30));
        double v = 0.1 + random.generateDouble();
        if (random.bounded(5000) == 0) v *= 50;                 // a rare peak
        if (c.positiveOnly && random.bounded(100) == 0) v = -v; // a value no log axis shows
        if (c.positiveOnly && random.bounded(100) == 0) v = 0;
        if (random.bounded(1000) < c.gapPer1000) v = kNaN;
        raw.t.push_back(t);
        raw.v.push_back(v);
    }
    return raw;
}

class DecimationProperties : public ::testing::TestWithParam<RandomCase> {
protected:
    bool Valid(double v) const { return !std::isnan(v) && (!range.positiveOnly || v > 0); }
    // The column of the header's definition, rounded towards minus infinity.
    std::int64_t ColumnOf(std::int64_t t) const {
        const std::int64_t scaled = (t - range.from) * range.columns, width = range.to - range.from;
        return scaled >= 0 ? scaled / width : -((-scaled + width - 1) / width);
    }
    std::size_t IndexOf(double x) const {
        const auto it = std::lower_bound(raw.t.begin(), raw.t.end(), static_cast<std::int64_t>(x));
        return static_cast<std::size_t>(it - raw.t.begin());
    }
    // Is the line broken between raw samples first and last (valid both)?
    bool BrokenBetween(std::size_t first, std::size_t last) const {
        std::size_t previous = first;
        for (std::size_t i = first + 1; i <= last; ++i) {
            if (!Valid(raw.v[i])) return true;
            if (raw.t[i] - raw.t[previous] > range.maxStep) return true;
            previous = i;
        }
        return false;
    }

    Raw raw;
    DecimationRange range;
};

TEST_P(DecimationProperties, KeepsEveryColumnsMinimumAndMaximumAndBreaksOnlyAtGaps) {
    const RandomCase& c = GetParam();
    raw = MakeRaw(c);
    const std::int64_t first = raw.t.front(), span = raw.t.back() - first + 1;
    range.from = first + static_cast<std::int64_t>(c.viewStart * static_cast<double>(span));
    range.to = first + static_cast<std::int64_t>(c.viewEnd * static_cast<double>(span));
    range.columns = c.columns;
    range.maxStep = kMsPerMinute;
    range.positiveOnly = c.positiveOnly;
    const std::vector<QPointF> out = DecimateMinMax(raw.t, raw.v, range);
    ASSERT_FALSE(out.empty());
    ASSERT_FALSE(IsBreak(out.front()));
    ASSERT_FALSE(IsBreak(out.back()));

    // The samples with values in each column of the span.
    std::map<std::int64_t, std::pair<double, double>> extremes;
    std::map<std::int64_t, std::pair<std::size_t, std::size_t>> samplesOf; // first and last valid sample
    std::map<std::int64_t, int> samplesIn;
    for (std::size_t i = 0; i < raw.t.size(); ++i) {
        if (!Valid(raw.v[i]) || raw.t[i] < range.from || raw.t[i] >= range.to) continue;
        const std::int64_t column = ColumnOf(raw.t[i]);
        auto [it, added] = extremes.try_emplace(column, raw.v[i], raw.v[i]);
        it->second.first = std::min(it->second.first, raw.v[i]);
        it->second.second = std::max(it->second.second, raw.v[i]);
        auto [s, fresh] = samplesOf.try_emplace(column, i, i);
        s->second.second = i;
        ++samplesIn[column];
    }

    // Every point is a sample of the raw data with a value, or, for a column
    // of several samples, its minimum or maximum at the column's middle;
    // times ascend.
    std::map<std::int64_t, int> pointsInColumn;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i > 0) {
            ASSERT_LE(out[i - 1].x(), out[i].x()) << "point " << i;
        }
        if (IsBreak(out[i])) {
            ASSERT_FALSE(IsBreak(out[i - 1])) << "two breaks in a row at " << i;
            continue;
        }
        const std::int64_t column = ColumnOf(static_cast<std::int64_t>(out[i].x()));
        ++pointsInColumn[column];
        if (samplesIn[column] > 1) {
            const std::int64_t middle = range.from + (2 * column + 1) * (range.to - range.from) / (2 * range.columns);
            ASSERT_EQ(out[i].x(), static_cast<double>(middle)) << "point " << i;
            ASSERT_TRUE(out[i].y() == extremes.at(column).first || out[i].y() == extremes.at(column).second)
                << "point " << i;
            continue;
        }
        const std::size_t at = IndexOf(out[i].x());
        ASSERT_LT(at, raw.t.size());
        ASSERT_EQ(static_cast<double>(raw.t[at]), out[i].x());
        ASSERT_EQ(raw.v[at], out[i].y());
        ASSERT_TRUE(Valid(raw.v[at]));
    }
    // At most two points a column: a few points per pixel whatever the data.
    for (const auto& [column, count] : pointsInColumn) EXPECT_LE(count, 2) << "column " << column;
    EXPECT_LE(out.size(), static_cast<std::size_t>(range.columns) * 3 + 6);

    // Every column's minimum and maximum are among its points.
    for (const auto& [column, mm] : extremes) {
        const auto has = [&, col = column](double y) {
            return std::any_of(out.begin(), out.end(), [&](const QPointF& p) {
                return !IsBreak(p) && ColumnOf(static_cast<std::int64_t>(p.x())) == col && p.y() == y;
            });
        };
        EXPECT_TRUE(has(mm.first)) << "minimum of column " << column << " lost";
        EXPECT_TRUE(has(mm.second)) << "maximum of column " << column << " lost";
    }

    // Between two successive columns the line breaks exactly where the raw
    // data has an empty record, a value the axis cannot show or a missing
    // minute and a column without values lies between them; a piece never
    // has a single point.
    std::size_t pieceSize = 0;
    for (std::size_t i = 0; i + 1 < out.size(); ++i) {
        if (IsBreak(out[i])) continue;
        ++pieceSize;
        const bool breakNext = IsBreak(out[i + 1]);
        const QPointF& q = breakNext ? out[i + 2] : out[i + 1];
        const std::int64_t cp = ColumnOf(static_cast<std::int64_t>(out[i].x()));
        const std::int64_t cq = ColumnOf(static_cast<std::int64_t>(q.x()));
        if (breakNext) {
            EXPECT_GE(pieceSize, 2u) << "a single point before the break at " << i + 1;
            pieceSize = 0;
        }
        if (cp == cq) {
            EXPECT_FALSE(breakNext) << "break inside column " << cp;
            continue;
        }
        const std::size_t last = cp >= 0 && cp < range.columns ? samplesOf.at(cp).second : IndexOf(out[i].x());
        const std::size_t firstOfNext = cq >= 0 && cq < range.columns ? samplesOf.at(cq).first : IndexOf(q.x());
        EXPECT_EQ(breakNext, BrokenBetween(last, firstOfNext) && cq > cp + 1)
            << "between columns " << cp << " and " << cq;
    }
    EXPECT_GE(pieceSize + 1, 2u) << "a single point at the end";
}

INSTANTIATE_TEST_SUITE_P(
    Series, DecimationProperties,
    ::testing::Values(RandomCase{1, 525'600, 5, 1, 1000, 0.0, 1.0, false},  // a year in 1000 columns
                      RandomCase{2, 100'000, 20, 5, 733, 0.25, 0.3, false}, // zoomed in on a part
                      RandomCase{3, 20'000, 0, 0, 640, 0.0, 1.0, false},    // no gaps at all
                      RandomCase{4, 5'000, 50, 20, 1920, 0.1, 0.9, false},  // more columns than minutes shown
                      RandomCase{5, 50'000, 10, 2, 800, 0.0, 1.0, true},    // a logarithmic axis
                      RandomCase{6, 3'000, 400, 100, 300, 0.3, 0.7, true},  // mostly gaps
                      RandomCase{7, 10'000, 5, 1, 1, 0.0, 1.0, false}));    // a single column

// --- ranges as columns

TEST(HistoryColumns, KeepsValuesGapsUnitsAndUncertaintiesOfTheRecords) {
    StoreRig rig;
    rig.Read(QStringLiteral("1.2.3"),
             {Reading(Minute(17, 8, 0), 0x007B, 5, 0xF496, 12), Reading(Minute(17, 8, 1), 0, 0, 0, 255),
              Reading(Minute(17, 8, 3), 0x0064, 7, 0x00C8, 9, QStringLiteral("Sv/h"))});
    const HistoryColumns c = ColumnsOf(rig.All(QStringLiteral("1.2.3")));
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c.ms, (std::vector<std::int64_t>{MinuteOf(Minute(17, 8, 0)) * kMsPerMinute,
                                               MinuteOf(Minute(17, 8, 1)) * kMsPerMinute,
                                               MinuteOf(Minute(17, 8, 3)) * kMsPerMinute}));
    EXPECT_DOUBLE_EQ(c.a[0], 1.23);
    EXPECT_DOUBLE_EQ(c.b[0], 0.0015);
    EXPECT_TRUE(c.IsGap(1));
    EXPECT_FALSE(c.IsGap(2));
    EXPECT_EQ(c.uncA[0], 5);
    EXPECT_EQ(c.uncB[1], 255);
    EXPECT_EQ(c.UnitA(0), QStringLiteral("Bq"));
    EXPECT_EQ(c.UnitA(2), QStringLiteral("Sv/h"));
    EXPECT_EQ(c.UnitsOfA(0, 3), (QStringList{QStringLiteral("Bq"), QStringLiteral("Sv/h")}));
    EXPECT_EQ(c.UnitsOfB(0, 3), QStringList{QStringLiteral("1/s")});
    // The nearest record to a time between two: the nearer; of two equally near, the earlier.
    EXPECT_EQ(c.Nearest(c.ms[1] + 40'000), 1u);
    EXPECT_EQ(c.Nearest(c.ms[1] + 61'000), 2u);
    EXPECT_EQ(c.Nearest(c.ms[1] + 60'000), 1u);
    EXPECT_EQ(c.Nearest(0), 0u);
}

TEST(HistoryColumns, MergeReplacesTheSameMinutesInsertsOthersAndAppendsNewerOnes) {
    StoreRig rig;
    const QString address = QStringLiteral("1.2.3");
    rig.Read(address,
             {Reading(Minute(17, 8, 0), 0x0001, 1, 0x0001, 1), Reading(Minute(17, 8, 2), 0x0002, 2, 0x0002, 2)});
    HistoryColumns c = ColumnsOf(rig.All(address));
    // A later reading: the minute 8:02 again with other values, 8:01 new, in another unit.
    rig.Read(address, {Reading(Minute(17, 8, 1), 0x0005, 5, 0x0005, 5, QStringLiteral("Gy")),
                       Reading(Minute(17, 8, 2), 0x0009, 9, 0x0009, 9)});
    MergeColumns(c, rig.store->Records(address, Minute(17, 8, 1), Minute(17, 8, 3)));
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c.a, (std::vector<double>{0.01, 0.05, 0.09}));
    EXPECT_EQ(c.uncB, (std::vector<std::uint8_t>{1, 5, 9}));
    EXPECT_EQ(c.UnitA(1), QStringLiteral("Gy"));
    EXPECT_EQ(c.UnitA(2), QStringLiteral("Bq"));
    // Readings after the last minute are appended.
    rig.Read(address, {Reading(Minute(17, 9, 0), 0x0003, 3, 0, 0, QStringLiteral("Gy"))});
    MergeColumns(c, rig.store->Records(address, Minute(17, 9, 0), Minute(17, 9, 1)));
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c.ms.back(), MinuteOf(Minute(17, 9, 0)) * kMsPerMinute);
    EXPECT_EQ(c.UnitA(3), QStringLiteral("Gy"));
    EXPECT_EQ(c.units.size(), 3); // Bq, 1/s, Gy: each text once
}

TEST(HistoryColumns, CurrentReadingsKeepTheirMilliseconds) {
    StoreRig rig;
    const QString address = QStringLiteral("1.2.3");
    CurrentEntry e;
    e.time = QDateTime(QDate(2024, 5, 17), QTime(8, 0, 5, 250), Qt::LocalTime);
    e.codeA = 0x007B;
    e.codeB = 0x0064;
    e.uncertaintyA = 4;
    e.unitA = QStringLiteral("Bq");
    rig.store->AddCurrent(address, e);
    HistoryColumns c = ColumnsOf(rig.store->CurrentReadings(address, Minute(17, 0, 0), Minute(18, 0, 0)));
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c.ms[0], MillisecondOf(e.time));
    EXPECT_DOUBLE_EQ(c.a[0], 1.23);
    EXPECT_EQ(c.UnitA(0), QStringLiteral("Bq"));
    e.time = e.time.addSecs(10);
    rig.store->AddCurrent(address, e);
    MergeColumns(c, rig.store->CurrentReadings(address, e.time, e.time.addMSecs(1)));
    EXPECT_EQ(c.size(), 2u);
}

// --- statistics of a known day

TEST(DayStatistics, OfAKnownDayWithGapsAUnitChangeAndDaysWithoutRecords) {
    StoreRig rig;
    const QString address = QStringLiteral("1.2.3");
    // 17 May: A 0.1, 0.2, 0.6 and an empty record, B 10, 20, 30 (Bq, 1/s);
    // then two minutes in Sv/h. 18 May: nothing. 19 May: one empty record.
    const auto code = [](double v) { return EncodeValueCode(v); };
    rig.Read(address, {Reading(Minute(17, 0, 0), code(0.1), 5, code(10), 1),
                       Reading(Minute(17, 0, 1), code(0.2), 6, code(20), 2), Reading(Minute(17, 0, 2), 0, 0, 0, 255),
                       Reading(Minute(17, 23, 59), code(0.6), 7, code(30), 3),
                       Reading(Minute(17, 12, 0), code(1), 1, code(0.01), 1, QStringLiteral("Sv/h")),
                       Reading(Minute(17, 12, 1), code(2), 1, code(0.03), 1, QStringLiteral("Sv/h")),
                       Reading(Minute(19, 6, 0), 0, 0, 0, 0)});
    const HistoryColumns c = ColumnsOf(rig.All(address));
    const std::vector<DayStatistics> rows = DailyStatistics(c, QDate(2024, 5, 16), QDate(2024, 5, 19));
    ASSERT_EQ(rows.size(), 5u);

    EXPECT_EQ(rows[0].date, QDate(2024, 5, 16));
    EXPECT_FALSE(rows[0].HasRecords());

    const DayStatistics& bq = rows[1];
    EXPECT_EQ(bq.date, QDate(2024, 5, 17));
    EXPECT_EQ(bq.records, 3);
    EXPECT_EQ(bq.empty, 1);
    EXPECT_EQ(bq.unitA, QStringLiteral("Bq"));
    EXPECT_EQ(bq.unitB, QStringLiteral("1/s"));
    EXPECT_EQ(bq.a.count, 3);
    EXPECT_DOUBLE_EQ(bq.a.minimum, 0.1);
    EXPECT_DOUBLE_EQ(bq.a.mean, 0.3);
    EXPECT_DOUBLE_EQ(bq.a.maximum, 0.6);
    EXPECT_DOUBLE_EQ(bq.b.minimum, 10);
    EXPECT_DOUBLE_EQ(bq.b.mean, 20);
    EXPECT_DOUBLE_EQ(bq.b.maximum, 30);

    const DayStatistics& sv = rows[2];
    EXPECT_EQ(sv.date, QDate(2024, 5, 17));
    EXPECT_EQ(sv.unitA, QStringLiteral("Sv/h"));
    EXPECT_EQ(sv.records, 2);
    EXPECT_EQ(sv.empty, 0);
    EXPECT_DOUBLE_EQ(sv.a.mean, 1.5);
    EXPECT_DOUBLE_EQ(sv.b.minimum, 0.01);
    EXPECT_DOUBLE_EQ(sv.b.maximum, 0.03);

    EXPECT_EQ(rows[3].date, QDate(2024, 5, 18));
    EXPECT_FALSE(rows[3].HasRecords());

    EXPECT_EQ(rows[4].date, QDate(2024, 5, 19));
    EXPECT_TRUE(rows[4].HasRecords());
    EXPECT_EQ(rows[4].records, 0);
    EXPECT_EQ(rows[4].empty, 1);
    EXPECT_EQ(rows[4].a.count, 0);
}

TEST(DayStatistics, RangeEndsAreWholeDaysAndATurnedRangeGivesNothing) {
    StoreRig rig;
    const QString address = QStringLiteral("1.2.3");
    rig.Read(address,
             {Reading(Minute(16, 23, 59), 0x000A, 5, 0x000A, 1), Reading(Minute(17, 0, 0), 0x0014, 6, 0x0014, 2),
              Reading(Minute(18, 0, 0), 0x001E, 6, 0x001E, 2)});
    const HistoryColumns c = ColumnsOf(rig.All(address));
    const std::vector<DayStatistics> rows = DailyStatistics(c, QDate(2024, 5, 17), QDate(2024, 5, 17));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].records, 1);
    EXPECT_DOUBLE_EQ(rows[0].a.mean, 0.2);
    EXPECT_TRUE(DailyStatistics(c, QDate(2024, 5, 18), QDate(2024, 5, 17)).empty());
}

} // namespace
} // namespace zir::test

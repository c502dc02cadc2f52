#include "history/HistoryColumns.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zir {

namespace {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

std::uint8_t UncertaintyByte(int percent) { return static_cast<std::uint8_t>(std::clamp(percent, 0, 255)); }

// Maps the unit indices of a series onto the unit list of the columns,
// adding the texts the columns do not have yet.
class UnitMap {
public:
    UnitMap(QStringList& into, const QStringList& from) {
        map_.reserve(static_cast<std::size_t>(from.size()));
        for (const QString& unit : from) {
            qsizetype index = into.indexOf(unit);
            if (index < 0) {
                into << unit;
                index = into.size() - 1;
            }
            map_.push_back(static_cast<std::uint16_t>(index));
        }
    }
    std::uint16_t operator()(int index) const { return map_.at(static_cast<std::size_t>(index)); }

private:
    std::vector<std::uint16_t> map_;
};

void Reserve(HistoryColumns& c, std::size_t n) {
    c.ms.reserve(n);
    c.a.reserve(n);
    c.b.reserve(n);
    c.uncA.reserve(n);
    c.uncB.reserve(n);
    c.unitA.reserve(n);
    c.unitB.reserve(n);
}

void Append(HistoryColumns& c, const HistoryColumns& from, std::size_t i) {
    c.ms.push_back(from.ms[i]);
    c.a.push_back(from.a[i]);
    c.b.push_back(from.b[i]);
    c.uncA.push_back(from.uncA[i]);
    c.uncB.push_back(from.uncB[i]);
    c.unitA.push_back(from.unitA[i]);
    c.unitB.push_back(from.unitB[i]);
}

template <typename Item, typename Time, typename Gap>
HistoryColumns Columns(const std::vector<Item>& items, const QStringList& units, QStringList& into, Time time,
                       Gap gap) {
    HistoryColumns c;
    c.units = into;
    const UnitMap unit(c.units, units);
    Reserve(c, items.size());
    for (const Item& item : items) {
        const bool isGap = gap(item);
        c.ms.push_back(time(item));
        c.a.push_back(isGap ? kNoValue : item.a.value);
        c.b.push_back(isGap ? kNoValue : item.b.value);
        c.uncA.push_back(UncertaintyByte(item.a.uncertainty));
        c.uncB.push_back(UncertaintyByte(item.b.uncertainty));
        c.unitA.push_back(unit(item.a.unit));
        c.unitB.push_back(unit(item.b.unit));
    }
    return c;
}

HistoryColumns FromSeries(const HistorySeries& series, QStringList units) {
    return Columns(
        series.records, series.units, units, [](const HistoryRecord& r) { return r.minute * kMsPerMinute; },
        [](const HistoryRecord& r) { return r.gap; });
}

HistoryColumns FromSeries(const CurrentSeries& series, QStringList units) {
    return Columns(
        series.readings, series.units, units, [](const CurrentRecord& r) { return r.ms; },
        [](const CurrentRecord&) { return false; });
}

// Both sorted; a time in both takes the values of `newer`.
void Merge(HistoryColumns& columns, HistoryColumns&& newer) {
    if (newer.empty()) return;
    if (columns.empty() || newer.ms.front() > columns.ms.back()) {
        // New readings come after what is shown: appended in place.
        for (std::size_t i = 0; i < newer.size(); ++i) Append(columns, newer, i);
        columns.units = newer.units;
        return;
    }
    HistoryColumns merged;
    merged.units = newer.units;
    Reserve(merged, columns.size() + newer.size());
    std::size_t i = 0, j = 0;
    while (i < columns.size() || j < newer.size()) {
        if (j == newer.size() || (i < columns.size() && columns.ms[i] < newer.ms[j])) {
            Append(merged, columns, i++);
        } else {
            if (i < columns.size() && columns.ms[i] == newer.ms[j]) ++i;
            Append(merged, newer, j++);
        }
    }
    columns = std::move(merged);
}

QStringList DistinctUnits(const HistoryColumns& c, const std::vector<std::uint16_t>& unit, std::size_t first,
                          std::size_t last) {
    std::vector<bool> seen(static_cast<std::size_t>(c.units.size()), false);
    QStringList list;
    last = std::min(last, c.size());
    for (std::size_t i = first; i < last; ++i) {
        if (seen[unit[i]]) continue;
        seen[unit[i]] = true;
        list << c.units[unit[i]];
    }
    return list;
}

} // namespace

bool HistoryColumns::IsGap(std::size_t i) const { return std::isnan(a[i]) && std::isnan(b[i]); }

std::size_t HistoryColumns::LowerBound(std::int64_t time) const {
    return static_cast<std::size_t>(std::lower_bound(ms.begin(), ms.end(), time) - ms.begin());
}

std::size_t HistoryColumns::Nearest(std::int64_t time) const {
    if (ms.empty()) return 0;
    const std::size_t after = LowerBound(time);
    if (after == 0) return 0;
    if (after == ms.size()) return after - 1;
    return time - ms[after - 1] <= ms[after] - time ? after - 1 : after;
}

QStringList HistoryColumns::UnitsOfA(std::size_t first, std::size_t last) const {
    return DistinctUnits(*this, unitA, first, last);
}

QStringList HistoryColumns::UnitsOfB(std::size_t first, std::size_t last) const {
    return DistinctUnits(*this, unitB, first, last);
}

HistoryColumns ColumnsOf(const HistorySeries& series) { return FromSeries(series, {}); }

HistoryColumns ColumnsOf(const CurrentSeries& series) { return FromSeries(series, {}); }

void MergeColumns(HistoryColumns& columns, const HistorySeries& newer) {
    Merge(columns, FromSeries(newer, columns.units));
}

void MergeColumns(HistoryColumns& columns, const CurrentSeries& newer) {
    Merge(columns, FromSeries(newer, columns.units));
}

} // namespace zir

#include "history/DayStatistics.h"

#include <algorithm>
#include <cmath>

namespace zir {

namespace {

constexpr std::int64_t kMsPerDay = 1440 * kMsPerMinute;
const QDate kEpoch(1970, 1, 1);

std::int64_t DayOf(std::int64_t ms) { return ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay); }

class Accumulator {
public:
    void Add(double v) {
        if (std::isnan(v)) return;
        if (count_ == 0) minimum_ = maximum_ = v;
        minimum_ = std::min(minimum_, v);
        maximum_ = std::max(maximum_, v);
        sum_ += v;
        ++count_;
    }
    ChannelStatistics Result() const {
        if (count_ == 0) return {};
        return {count_, minimum_, sum_ / count_, maximum_};
    }

private:
    int count_ = 0;
    double minimum_ = 0, maximum_ = 0, sum_ = 0;
};

struct Group {
    std::uint16_t unitA = 0, unitB = 0;
    int records = 0, empty = 0;
    Accumulator a, b;
};

} // namespace

std::vector<DayStatistics> DailyStatistics(const HistoryColumns& columns, const QDate& first, const QDate& last) {
    std::vector<DayStatistics> rows;
    if (!first.isValid() || !last.isValid() || last < first) return rows;
    std::size_t i = columns.LowerBound(kEpoch.daysTo(first) * kMsPerDay);
    for (QDate date = first; date <= last; date = date.addDays(1)) {
        const std::int64_t day = kEpoch.daysTo(date);
        std::vector<Group> groups;
        for (; i < columns.size() && DayOf(columns.ms[i]) == day; ++i) {
            auto group = std::find_if(groups.begin(), groups.end(), [&](const Group& g) {
                return g.unitA == columns.unitA[i] && g.unitB == columns.unitB[i];
            });
            if (group == groups.end()) {
                Group g;
                g.unitA = columns.unitA[i];
                g.unitB = columns.unitB[i];
                group = groups.insert(groups.end(), g);
            }
            if (columns.IsGap(i)) {
                ++group->empty;
                continue;
            }
            ++group->records;
            group->a.Add(columns.a[i]);
            group->b.Add(columns.b[i]);
        }
        if (groups.empty()) {
            DayStatistics none;
            none.date = date;
            rows.push_back(none);
            continue;
        }
        for (const Group& g : groups)
            rows.push_back(
                {date, g.records, g.empty, columns.units[g.unitA], columns.units[g.unitB], g.a.Result(), g.b.Result()});
    }
    return rows;
}

} // namespace zir

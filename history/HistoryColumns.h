#pragma once
// The records of one instrument in a time range as parallel columns: the form
// in which the history window keeps a range in memory, plots and counts it.
// About 30 bytes a record instead of a HistoryRecord's 80, so a year of
// minutes (525,600) takes some 16 MB.
//
// Times are wall-clock milliseconds (MillisecondOf): an archive record's
// minute times 60,000, a current reading's moment. A gap (an empty archive
// record) has NaN in both value columns.

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "history/HistoryTypes.h"

namespace zir {

inline constexpr std::int64_t kMsPerMinute = 60'000;

struct HistoryColumns {
    std::vector<std::int64_t> ms; // ascending, each time once
    std::vector<double> a;        // value of channel A; NaN in a gap
    std::vector<double> b;
    std::vector<std::uint8_t> uncA; // uncertainty bytes, percent
    std::vector<std::uint8_t> uncB;
    std::vector<std::uint16_t> unitA; // indices into units
    std::vector<std::uint16_t> unitB;
    QStringList units;

    std::size_t size() const { return ms.size(); }
    bool empty() const { return ms.empty(); }
    bool IsGap(std::size_t i) const;
    const QString& UnitA(std::size_t i) const { return units[unitA[i]]; }
    const QString& UnitB(std::size_t i) const { return units[unitB[i]]; }
    // Index of the first time >= ms (size() when there is none).
    std::size_t LowerBound(std::int64_t time) const;
    // Index of the time nearest `time` (size() when empty); of two equally
    // near, the earlier.
    std::size_t Nearest(std::int64_t time) const;
    // The distinct unit texts of channel A (B) in [first, last), in order of
    // first appearance.
    QStringList UnitsOfA(std::size_t first, std::size_t last) const;
    QStringList UnitsOfB(std::size_t first, std::size_t last) const;
};

HistoryColumns ColumnsOf(const HistorySeries& series);
HistoryColumns ColumnsOf(const CurrentSeries& series);

// Puts the records of `newer` into `columns`: a time that is already there
// takes the newer values, the others are inserted in order.
void MergeColumns(HistoryColumns& columns, const HistorySeries& newer);
void MergeColumns(HistoryColumns& columns, const CurrentSeries& newer);

} // namespace zir

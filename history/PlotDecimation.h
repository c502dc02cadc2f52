#pragma once
// Decimation of a time series for a plot: a year of minutes (525,600 values)
// becomes at most two points per pixel column, the minimum and the maximum of
// the column, so no peak disappears from view however far the plot is zoomed
// out.
//
// The result is a polyline with breaks: a point whose y is NaN separates two
// pieces that must not be joined (a line plot draws nothing across it).

#include <QPointF>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

namespace zir {

struct DecimationRange {
    std::int64_t from = 0; // the visible span [from, to), in the samples' time unit
    std::int64_t to = 0;
    int columns = 1; // pixel columns across the span
    // Two samples further apart than this are not joined (a missing record
    // between them); 0: never break for time.
    std::int64_t maxStep = 0;
    // Values <= 0 count as missing (a logarithmic axis cannot show them).
    bool positiveOnly = false;
};

// Decimates the samples (times ascending, values NaN where there is none).
//
// The span is cut into `columns` equal columns: a sample at time t lies in
// column (t - from) * columns / (to - from), rounded down (below 0 before the
// span, `columns` and more after it). Each column holding
// values gives its minimum and its maximum value, in the time order of their
// samples. A column with a single sample gives that sample (time, value); a
// column with more stands at the column's middle, from + (2c + 1) * (to -
// from) / (2 * columns) rounded down, so that each pixel column is drawn from
// its minimum to its maximum (at the samples' own times the short strokes of
// neighbouring columns would fall into one pixel now and then and leave the
// next one empty). The last sample before the span and the first after it
// are kept as they are, so the line runs on to the plot's edges. Times
// ascend.
//
// Between two successive columns with values, a break point (time of the
// point before it, y NaN) is put where a missing value or a step longer than
// maxStep lies between the last sample of the one and the first sample of the
// other and at least one column between them has no value: a gap narrower
// than a pixel column cannot be shown, and breaking the line for it would
// draw it as wide as a pixel. Within a column nothing breaks: the column is
// drawn from its minimum to its maximum, which is all a pixel can show. A
// point standing alone between breaks is given twice, so that a line plot
// draws it as a dot.
std::vector<QPointF> DecimateMinMax(std::span<const std::int64_t> times, std::span<const double> values,
                                    const DecimationRange& range);

inline bool IsBreak(const QPointF& point) { return std::isnan(point.y()); }

} // namespace zir

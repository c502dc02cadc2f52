#include "history/PlotDecimation.h"

#include <algorithm>
#include <limits>

namespace zir {

namespace {

constexpr double kBreak = std::numeric_limits<double>::quiet_NaN();

class Polyline {
public:
    explicit Polyline(std::vector<QPointF>& out) : out_(out) {}
    void Add(double x, double y) {
        out_.emplace_back(x, y);
        ++pieceSize_;
    }
    void Break() {
        if (pieceSize_ == 0) return;
        EndPiece();
        out_.emplace_back(out_.back().x(), kBreak);
        pieceSize_ = 0;
    }
    void EndPiece() {
        if (pieceSize_ == 1) out_.push_back(out_.back());
    }

private:
    std::vector<QPointF>& out_;
    std::size_t pieceSize_ = 0;
};

} // namespace

std::vector<QPointF> DecimateMinMax(std::span<const std::int64_t> times, std::span<const double> values,
                                    const DecimationRange& range) {
    std::vector<QPointF> out;
    const std::size_t n = std::min(times.size(), values.size());
    if (n == 0 || range.to <= range.from || range.columns < 1) return out;
    const std::int64_t width = range.to - range.from;
    const std::int64_t columns = range.columns;
    const auto columnOf = [&](std::int64_t t) -> std::int64_t {
        const std::int64_t scaled = (t - range.from) * columns;
        return scaled >= 0 ? scaled / width : -((-scaled + width - 1) / width);
    };

    const auto timesEnd = times.begin() + static_cast<std::ptrdiff_t>(n);
    std::size_t begin = static_cast<std::size_t>(std::lower_bound(times.begin(), timesEnd, range.from) - times.begin());
    std::size_t end = static_cast<std::size_t>(std::lower_bound(times.begin(), timesEnd, range.to) - times.begin());
    // The neighbours outside the span carry the line to the plot's edges.
    if (begin > 0) --begin;
    if (end < n) ++end;
    out.reserve(std::min<std::size_t>(end - begin, static_cast<std::size_t>(columns) * 3 + 8));

    Polyline line(out);
    bool inColumn = false;
    std::int64_t column = 0;
    std::size_t minAt = 0, maxAt = 0;
    const auto middle = [&](std::int64_t c) { return range.from + (2 * c + 1) * width / (2 * columns); };
    bool several = false; // the column holds more than one sample
    const auto flush = [&] {
        if (!inColumn) return;
        const std::size_t first = std::min(minAt, maxAt);
        const std::size_t second = std::max(minAt, maxAt);
        const bool inSpan = column >= 0 && column < columns;
        const double x = static_cast<double>(several && inSpan ? middle(column) : times[first]);
        line.Add(x, values[first]);
        if (second != first) line.Add(x, values[second]);
        inColumn = false;
    };

    bool broken = false; // a missing value or a long step since the last sample taken
    bool havePrevious = false;
    std::int64_t previous = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const double v = values[i];
        if (std::isnan(v) || (range.positiveOnly && !(v > 0))) {
            broken = true;
            continue;
        }
        const std::int64_t t = times[i];
        if (havePrevious && range.maxStep > 0 && t - previous > range.maxStep) broken = true;
        const std::int64_t c = columnOf(t);
        if (inColumn && c != column) {
            const bool emptyBetween = c > column + 1;
            flush();
            if (broken && emptyBetween) line.Break();
        }
        broken = false;
        if (!inColumn) {
            inColumn = true;
            several = false;
            column = c;
            minAt = maxAt = i;
        } else {
            several = true;
            if (v < values[minAt]) minAt = i;
            if (v > values[maxAt]) maxAt = i;
        }
        havePrevious = true;
        previous = t;
    }
    flush();
    line.EndPiece();
    return out;
}

} // namespace zir

#include "archive/ReadingInputs.h"

namespace zir {

TimeLimit TimeLimitAt(int minute) {
    return {
        minute,
        QStringLiteral("%1:%2").arg(minute / 60, 2, 10, QLatin1Char('0')).arg(minute % 60, 2, 10, QLatin1Char('0'))};
}

TimeWindow WindowOf(const TimeFilter& filter) {
    TimeWindow window;
    if (filter.from) window.from = filter.from->minute;
    if (filter.to) window.to = filter.to->minute;
    return window;
}

} // namespace zir

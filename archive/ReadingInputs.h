#pragma once
// What a bank reading is told to read: the bank and its date, and the time
// window of the minutes to read.

#include <QDate>
#include <QString>
#include <cstdint>
#include <optional>

namespace zir {

struct BankSelection {
    std::uint8_t bank = 0;
    QDate date;
};

// The minutes a reading covers, from and to included (minutes after
// midnight; not limited to one day).
struct TimeWindow {
    int from = 0;
    int to = 1439;
};

// One end of the time filter: its minute and how the report title names it.
struct TimeLimit {
    int minute = 0;
    QString label; // "07:05", or the time as the operator typed it
};
// "07:05" for minute 425 (hours above 23 as they are: "25:00").
TimeLimit TimeLimitAt(int minute);

// The From and To filters; an end without a limit is the day's first or last minute.
struct TimeFilter {
    std::optional<TimeLimit> from;
    std::optional<TimeLimit> to;
};
TimeWindow WindowOf(const TimeFilter& filter);

} // namespace zir

#pragma once
// Statistics of the archive records per day: how many minutes hold values,
// how many are empty records, and the minimum, mean and maximum of each
// channel, with the unit texts the values were read in.

#include <QDate>
#include <QString>
#include <vector>

#include "history/HistoryColumns.h"

namespace zir {

struct ChannelStatistics {
    int count = 0; // values taken into account
    double minimum = 0;
    double mean = 0;
    double maximum = 0;
    bool operator==(const ChannelStatistics&) const = default;
};

struct DayStatistics {
    QDate date;
    int records = 0; // minutes with values
    int empty = 0;   // empty records (gaps) stored for the day
    QString unitA;
    QString unitB;
    ChannelStatistics a;
    ChannelStatistics b;
    bool HasRecords() const { return records > 0 || empty > 0; }
    bool operator==(const DayStatistics&) const = default;
};

// One row per day from `first` to `last` (wall-clock dates, both included),
// for the archive records in `columns`. A day without records gives a row
// with no records. Values read in different unit texts are not mixed: a day
// whose records carry more than one pair of unit texts (A, B) gives one row
// per pair, in the order the pairs first appear that day.
std::vector<DayStatistics> DailyStatistics(const HistoryColumns& columns, const QDate& first, const QDate& last);

} // namespace zir

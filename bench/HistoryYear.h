#pragma once
// What the history benchmarks share: a generated year of one instrument's
// minute records (a background with noise, an occasional rise, now and then
// an empty record), written as 365 full-day readings.

#include <QDate>
#include <QRandomGenerator>
#include <QString>
#include <cstdint>

#include "core/Clock.h"
#include "history/HistoryStore.h"
#include "link/numFormats.h"

namespace zir::bench {

inline const QString kYearAddress = QStringLiteral("255.255.255");
inline const QDate kYearFirstDay(2023, 1, 1);

// A plausible minute: a background with noise, an occasional rise, and now
// and then an empty record.
inline ArchiveEntry MakeYearEntry(QRandomGenerator& random, std::int64_t minute, int bank) {
    ArchiveEntry e;
    e.time = TimeOfMinute(minute);
    e.bank = bank;
    const bool empty = random.bounded(200) == 0;
    const auto code = [&](double value) { return EncodeValueCode(value); };
    const double background = 0.12 + 0.02 * random.generateDouble();
    const double rise = random.bounded(5000) == 0 ? 3.0 : 1.0;
    e.codeA = empty ? std::uint16_t{0} : code(background * rise);
    e.codeB = empty ? std::uint16_t{0} : code(15.0 + 4.0 * random.generateDouble());
    e.valueA = ValueCodeToText(*e.codeA);
    e.valueB = ValueCodeToText(*e.codeB);
    e.uncertaintyA = empty ? 255 : 5 + random.bounded(20);
    e.uncertaintyB = empty ? 0 : 3 + random.bounded(10);
    e.unitA = QString::fromUtf8("мкЗв/ч");
    e.unitB = QStringLiteral("1/s");
    return e;
}

// The year from kYearFirstDay as 365 day readings (committed in batches as a
// reading does). False when the history could not be written.
inline bool WriteYear(const QString& path, IClock& clock, quint32 seed = 42) {
    THistoryStore store(path, clock);
    QRandomGenerator random(seed);
    const std::int64_t first = MinuteOf(QDateTime(kYearFirstDay, QTime(0, 0), Qt::UTC));
    for (int day = 0; day < 365; ++day) {
        const int reading = store.BeginReading(QStringLiteral("Report to ZIR 255.255.255 on day %1").arg(day));
        for (int i = 0; i < 1440; ++i)
            store.AddRecord(reading, kYearAddress, MakeYearEntry(random, first + day * 1440 + i, day % 14));
        store.Commit();
    }
    return store.TakeProblem().isEmpty();
}

} // namespace zir::bench

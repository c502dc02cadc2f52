#pragma once
// What the history keeps and hands out.
//
// Times are wall-clock times without a time zone: an archive record's time is
// the instrument's local clock (bank date + minute, as ArchiveRecord::time), a
// current reading's the computer's local clock at the reading. They travel as
// QDateTime in Qt::UTC, used only as a zone-free container, so every day has
// 1440 evenly spaced minutes. Functions taking a QDateTime read only its date
// and time fields, whatever zone it carries.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace zir {

// Minutes since 1970-01-01 00:00 of the wall clock, the key of a record.
std::int64_t MinuteOf(const QDateTime& wallTime);
QDateTime TimeOfMinute(std::int64_t minute);
// Milliseconds since 1970-01-01 00:00 of the wall clock.
std::int64_t MillisecondOf(const QDateTime& wallTime);
QDateTime TimeOfMillisecond(std::int64_t ms);

// One channel of a stored record.
struct HistoryChannel {
    double value = 0;                  // the decoded value; 0 in a gap
    std::optional<std::uint16_t> code; // the raw value code; none when imported
    int uncertainty = 0;               // percent, the byte as received (0..255)
    int unit = 0;                      // index into the series' unit texts
    bool operator==(const HistoryChannel&) const = default;
};

// One minute of one instrument's archive.
struct HistoryRecord {
    std::int64_t minute = 0; // MinuteOf(time)
    int bank = -1;           // the bank the reply named; -1 when imported
    bool gap = false;        // an empty record: no value measured
    HistoryChannel a;
    HistoryChannel b;
    std::int64_t source = 0; // id of the reading or import (HistorySource)
    QDateTime Time() const { return TimeOfMinute(minute); }
    bool operator==(const HistoryRecord&) const = default;
};

// A range of records, oldest first, with the unit texts their channels name.
struct HistorySeries {
    std::vector<HistoryRecord> records;
    QStringList units;
    const QString& UnitA(const HistoryRecord& r) const { return units[r.a.unit]; }
    const QString& UnitB(const HistoryRecord& r) const { return units[r.b.unit]; }
};

// One current reading ("Read Current data" or auto refresh).
struct CurrentRecord {
    std::int64_t ms = 0; // MillisecondOf(time), the computer's clock
    HistoryChannel a;
    HistoryChannel b;
    QDateTime Time() const { return TimeOfMillisecond(ms); }
};

struct CurrentSeries {
    std::vector<CurrentRecord> readings;
    QStringList units;
};

// Values a minute held before a later reading or import replaced them.
struct HistoryRevision {
    HistoryRecord record;          // the values as they were (record.source: their origin)
    std::int64_t supersededBy = 0; // the source whose values replaced them
    QString unitA;
    QString unitB;
};

// Where records came from.
struct HistorySource {
    enum class Kind { Reading = 1, Import = 2 };
    std::int64_t id = 0;
    Kind kind = Kind::Reading;
    QDateTime at;   // the computer's clock when the reading or import began
    QString detail; // report title of a reading, path of an imported file
};

// An archive record as a reading or an import hands it to the store.
struct ArchiveEntry {
    QDateTime time; // wall-clock minute
    int bank = -1;  // -1 when not known
    std::optional<std::uint16_t> codeA;
    std::optional<std::uint16_t> codeB;
    QString valueA; // value texts as the program writes them ("1.23", "5E-5")
    QString valueB;
    int uncertaintyA = 0;
    int uncertaintyB = 0;
    QString unitA;
    QString unitB;
};

// A current reading as the window hands it to the store.
struct CurrentEntry {
    QDateTime time; // the computer's clock at the reading
    std::uint16_t codeA = 0;
    std::uint16_t codeB = 0;
    int uncertaintyA = 0;
    int uncertaintyB = 0;
    QString unitA;
    QString unitB;
};

// What storing a set of records did, minute by minute.
struct StoreCounts {
    int added = 0;   // minutes not stored before
    int known = 0;   // the same values were stored already
    int changed = 0; // differed from what was stored; the older values went to the revisions
    bool operator==(const StoreCounts&) const = default;
};

} // namespace zir

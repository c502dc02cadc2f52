#pragma once
// The history as CSV (RFC 4180: CR LF line ends, fields with a comma, quote
// or line end quoted, quotes doubled), UTF-8, with the header line
//   time,address,bank,value_a,unit_a,uncertainty_a,value_b,unit_b,uncertainty_b
// one row per stored minute, oldest first. Times are ISO 8601 wall-clock
// minutes ("2007-12-24T08:05"), values use "." whatever the locale (the value
// text the program writes everywhere: "1.23", "0.0015", "5E-5"), a gap has
// empty value fields, an unknown bank an empty bank field.

#include <QDateTime>
#include <QIODevice>
#include <QString>

#include "history/HistoryStore.h"

namespace zir {

inline const QByteArray kHistoryCsvHeader =
    QByteArrayLiteral("time,address,bank,value_a,unit_a,uncertainty_a,value_b,unit_b,uncertainty_b\r\n");

// One CSV field, quoted when it has to be.
QString CsvField(const QString& text);
// The value text of a channel: the code's text when the code is known.
QString HistoryValueText(const HistoryChannel& channel);

// Writes the records with from <= time < to of `address` (every address,
// sorted, when empty) to `out`. False with `error` set when the history
// could not be read or the device not written; rows written so far stay.
bool WriteHistoryCsv(THistoryStore& store, QIODevice& out, const QString& address, const QDateTime& from,
                     const QDateTime& to, QString* error = nullptr);
// The same into the file at `path`, which is replaced only when the whole
// export has been written. Returns the number of rows, or -1 with `error` set.
qint64 ExportHistoryCsv(THistoryStore& store, const QString& path, const QString& address, const QDateTime& from,
                        const QDateTime& to, QString* error = nullptr);

} // namespace zir

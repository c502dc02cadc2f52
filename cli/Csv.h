#pragma once
// CSV as zir-cli writes it, as the history's export does (RFC 4180, the
// fields quoted by CsvField of history/HistoryCsv.h): commas between the
// fields, CR LF after each row, UTF-8.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace zir::cli {

QString CsvRow(const QStringList& fields);

// ISO 8601 without a time zone: "2007-12-24T08:05", "2007-12-22".
QString IsoMinute(const QDateTime& moment);
QString IsoDate(const QDate& date);

// Standard output, written a whole row at a time and handed on at once, so
// that a reader (or a stop) never meets half a row. Throws EFileError when
// the output cannot be written (a closed pipe, a full disk).
class TDataOutput {
public:
    explicit TDataOutput(std::FILE* out) : out_(out) {}
    void Write(const QString& text);

private:
    std::FILE* out_;
};

} // namespace zir::cli

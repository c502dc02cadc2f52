#pragma once
// One archive record: the request for a minute of a bank, the decoding of the
// 30-byte reply, and the texts made from it (record line, report title).

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

#include "archive/ReadingInputs.h"

namespace zir {

inline constexpr int kRecordReplySize = 30;
inline constexpr int kMinutesPerDay = 1440;

struct ArchiveRecord {
    std::uint8_t bank = 0; // the bank the reply names
    int index = 0;         // the minute the reply names
    QDateTime time;        // bank date + index minutes
    QString valueA;
    int uncertaintyA = 0; // percent
    QString valueB;
    int uncertaintyB = 0;
    std::uint16_t codeA = 0; // the value codes as the reply carries them
    std::uint16_t codeB = 0;
};

// Bank letter and the minute as exactly four digits: "A0075".
QByteArray RecordRequestData(char bankLetter, int index);

// Wall-clock time of a minute of the bank's day. Kept free of any time zone,
// so a day on which the clocks change still has 1440 evenly spaced minutes.
QDateTime RecordTime(const QDate& bankDate, int index);

// nullopt unless the reply is exactly 30 bytes. The record time comes from the
// index the reply carries, whatever was asked for.
std::optional<ArchiveRecord> DecodeRecord(const QByteArray& reply, const QDate& bankDate);

// Both values "0" and each uncertainty 0 or 255.
bool IsEmptyRecord(const ArchiveRecord& record);

// The line of the list window and of "Archive.txt":
// "<time>    <A> <dimA> ± <uA> %     <B> <dimB> ± <uB> %".
QString RecordLine(const ArchiveRecord& record, const QString& dimensionA, const QString& dimensionB);
// The same with the time written in the given locale instead of the system's.
QString RecordLine(const ArchiveRecord& record, const QString& dimensionA, const QString& dimensionB,
                   const QLocale& locale);

// "Report to ZIR <address> on <date>[ from <from>][ to <to>]", with the
// labels of the filter's limits.
QString ReportTitle(const QString& address, const QDate& bankDate, const TimeFilter& filter);
// The same with the date written in the given locale instead of the system's.
QString ReportTitle(const QString& address, const QDate& bankDate, const TimeFilter& filter, const QLocale& locale);

} // namespace zir

#pragma once
// Dates and times as text, in the system locale (QLocale::system()); the
// overloads taking a locale exist so that other locales can be tested without
// changing the process locale.

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>
#include <optional>

namespace zir {

// Short date format.
QString ShortDateText(const QDate& date);
QString ShortDateText(const QDate& date, const QLocale& locale);
// Parses a date written in the short date format; also accepts one- or
// two-digit days and months, two- or four-digit years (two digits read as
// 2000-2099) and either length of month name. Blanks around are ignored.
std::optional<QDate> ParseShortDate(const QString& text);
std::optional<QDate> ParseShortDate(const QString& text, const QLocale& locale);
// Long time format without the time-zone token.
QString LongTimeText(const QTime& time);
QString LongTimeText(const QTime& time, const QLocale& locale);
// Parses a time written in the long time format without the time-zone token;
// also accepts one-digit hours where the format has two. Blanks around are
// ignored.
std::optional<QTime> ParseLongTime(const QString& text, const QLocale& locale);
// The format of those texts: short date format, a blank, long time format
// without the time-zone token (DateTimeToText leaves the time out at midnight).
QString DateTimeFormat(const QLocale& locale);
// Short date, a blank, long time without the time-zone token; the date alone
// when the time is exactly midnight.
QString DateTimeToText(const QDateTime& moment);
QString DateTimeToText(const QDateTime& moment, const QLocale& locale);

} // namespace zir

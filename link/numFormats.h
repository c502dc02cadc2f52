#pragma once
// Numbers inside frames (packed BCD, 16-bit value codes) and the program-wide
// conversions between numbers and text. Number texts always use "." as the
// decimal separator, whatever the user's locale; dates and times follow the
// system locale's short date and long time formats.

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

#include "Errors.h"

namespace zir {

// 10 * high nibble + low nibble; digits above 9 are not refused (0xFF -> 165).
int DecodeBcd(std::uint8_t byte);
// True when both nibbles are decimal digits.
bool IsPackedBcd(std::uint8_t byte);

// Value code: bits 0..9 mantissa in hundredths, bits 10..15 signed power of ten.
// Text in the general format: up to 15 significant digits, "5E-5", "0.0001", "10.23".
QString ValueCodeToText(std::uint16_t code);

// Positive x in [1E-32, 1E32) to a code holding x cut (not rounded) to three
// significant digits of its shortest decimal text, so a typed 9940 is 994E1
// and a value just below 1 is 0.999. Throws EConvertError naming the value for 0, negatives, NaN,
// infinities and values outside that range.
std::uint16_t EncodeValueCode(double x);

// Value codes travel in frame data low byte first.
std::uint16_t ValueCodeAt(const QByteArray& bytes, qsizetype offset);
void AppendValueCode(QByteArray& bytes, std::uint16_t code);

// General number-to-text format (15 significant digits, "." separator).
QString FloatToText(long double value);

// Typed text to numbers, "." only, blanks around the text allowed. Refuses
// "inf", "nan", hexadecimal floats, "1,5", trailing garbage:
//   "'%s' is not a valid floating point value" / "'%s' is not a valid integer value".
double StrToFloat(const QString& text);
int StrToInt(const QString& text);
std::optional<double> TryStrToFloat(const QString& text);
std::optional<int> TryStrToInt(const QString& text);

// The integer grammar shared by typed numbers and address parts: blanks
// before it, an optional sign, decimal digits or "$" and hexadecimal digits,
// nothing after. nullopt for anything else or a magnitude beyond 2^53.
std::optional<std::int64_t> ParseIntegerText(QStringView text);

// Sets "." as the decimal separator for the whole process (C locale for
// numbers, Qt's default locale keeps the system's date formats). Call it
// after the application object exists: constructing that object sets the
// C library locale from the environment.
void InitNumberFormats();

// Dates and times in the system locale (QLocale::system()); the overloads
// taking a locale exist so that other locales can be tested without
// changing the process locale.

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
// Short date, a blank, long time without the time-zone token; the date alone
// when the time is exactly midnight.
QString DateTimeToText(const QDateTime& moment);
QString DateTimeToText(const QDateTime& moment, const QLocale& locale);

} // namespace zir

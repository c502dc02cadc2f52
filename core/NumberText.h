#pragma once
// Numbers as text, the same everywhere in the program: "." is the decimal
// separator whatever the user's locale, and typed numbers follow one grammar.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

#include "core/Errors.h"

namespace zir {

// Significant digits of the general number format.
inline constexpr int kGeneralDigits = 15;

// The decimal digits of |x| without leading or trailing dot, and the power of
// ten of the first one: 1.2345E-5 is "12345" and -5.
struct DecimalForm {
    QByteArray digits;
    int exponent = 0;
};
// Rounded to `significantDigits` digits (trailing zeros kept).
DecimalForm DecimalFormOf(long double value, int significantDigits);
// The fewest digits that read back as the same double.
DecimalForm ShortestDecimalFormOf(double value);

// General number-to-text format (15 significant digits, "." separator):
// "0", "10.23", "0.0001", "5E-5", "1E15", "-2.5", "NAN", "INF".
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

} // namespace zir

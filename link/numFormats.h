#pragma once
// Numbers inside frames: packed BCD and the instrument's 16-bit value codes.
// (Number and date texts in general: core/NumberText.h, core/DateText.h.)

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "core/Errors.h"

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

} // namespace zir

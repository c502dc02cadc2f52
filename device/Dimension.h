#pragma once
// The dimension (unit text) of a measuring channel: 8 characters in the
// instrument's character set, written per channel and read per bank.

#include <QByteArray>
#include <QChar>
#include <QString>
#include <cstdint>

#include "device/Channel.h"
#include "device/DeviceContext.h"

namespace zir {

inline constexpr int kDimensionLength = 8;
inline constexpr int kDimensionReplySize = 30;

// Control characters the operator appends to the text for the instrument's
// special unit symbols.
inline constexpr QChar kSymbolMicro{0x08};     // read back as "мк"
inline constexpr QChar kSymbolPlusMinus{0x09}; // read back as "±"
inline constexpr QChar kSymbolSquare{0x0A};    // read back as "^2"
inline constexpr QChar kSymbolPerHour{0x0B};   // read back as "/ч"

// The 8 device bytes of a dimension as display text: translated to
// Windows-1251, the first micro, square and per-hour code each replaced by
// its letters, then characters up to the blank cut from both ends.
QString DecodeDimensionText(const QByteArray& deviceBytes);

// The data of a dimension write: "R", channel character, 0x00 and the text
// cut or blank-padded to 8 characters, all in the device character set.
// Throws EConvertError naming a character Windows-1251 cannot hold.
QByteArray DimensionWriteData(const QString& text, Channel channel);

// Reads the dimension of one channel for the bank selector
// (a bank letter, or 0x01 when no bank is known). Empty text when no
// 30-byte reply came.
QString ReadRazm(const DeviceContext& ctx, std::uint8_t bankSelector, Channel channel);

// Writes the dimension of a channel: clears the status line, drives the
// progress (one step) and reports on the status line whether the dimension
// was written. True when the instrument acknowledged it.
// Refusals of the text, address errors and the Escape cancel pass out.
bool WriteDimension(const DeviceContext& ctx, const QString& text, Channel channel);

} // namespace zir

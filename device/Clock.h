#pragma once
// The instrument's clock and the letter of the data bank it is filling ("XT").

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

#include "device/DeviceContext.h"

namespace zir {

inline constexpr int kClockReplySize = 27;
// Bank selector used when the current bank is not known.
inline constexpr std::uint8_t kUnknownBankSelector = 0x01;

struct ClockReading {
    QDateTime moment;        // local time, second and millisecond 0
    std::uint8_t bankLetter; // "A" for bank 0, "B" for bank 1, ...
    int bankIndex;           // bank letter minus "A", as an unsigned byte (0..255)
};

// Decodes a 27-byte clock reply. Throws EConvertError
// "'YYYY-MM-DD hh:mm:ss.zzz' is not a valid date and time" when the fields do
// not form a valid moment.
ClockReading DecodeClockReply(const QByteArray& reply);

// Date-and-time text, "   (", bank index, ")": the text of Edit_Time.
QString ClockDisplayText(const ClockReading& reading);

// Reads the clock: clears the status line, asks the instrument and reports
// success, no answer or a reading error there. Returns the decoded reading,
// or nullopt when no 27-byte reply came. A reply whose fields form no valid
// moment is reported as a reading error and throws the
// EConvertError of DecodeClockReply. Address errors and the Escape cancel
// pass out unchanged.
std::optional<ClockReading> ReadClock(const DeviceContext& ctx);

// ReadClock for the window: the new Edit_Time text, or nullopt when the
// field is to keep its text.
std::optional<QString> ReadDeviceTime(const DeviceContext& ctx);

// Asks the clock only for the letter of the bank in use; nullopt when no
// 27-byte reply came. Touches neither the status line nor the progress.
std::optional<std::uint8_t> ReadCurrentBankLetter(const DeviceContext& ctx);

} // namespace zir

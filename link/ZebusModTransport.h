#pragma once
// Zebus frame codec: checksum, device address text, request frames, the
// acknowledgement a write expects, and the acceptance rules for received bytes.
//
// Frame layout (offsets from 0):
//   0  dest address (3)   3 source address (3)   6 kind   7 control
//   8  data length N, low byte first (2)         10 header checksum (4)
//   14 data (N)           14+N data checksum (4, only when N > 0)
// Frames are binary: any byte, 0 included, may occur anywhere.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "core/Errors.h"

namespace zir {

using BusAddress = std::array<std::uint8_t, 3>;

inline constexpr int kFrameHeaderSize = 14; // header plus its checksum
inline constexpr std::uint8_t kKindRead = 6;
inline constexpr std::uint8_t kKindWrite = 8;
inline constexpr std::uint8_t kKindAck = 1;
inline constexpr std::uint8_t kControlRequest = 2;
inline const QString kHostAddress = QStringLiteral("1.1.1");

// Rotate-left-5 / XOR-16-bit-word checksum; an odd first byte stands alone.
std::uint32_t FrameChecksum(const QByteArray& data);
// FrameChecksum as 4 bytes, least significant first.
QByteArray ChecksumBytes(const QByteArray& data);

// "xxx.yyy.zzz" to three bytes; throws EFormatError for any other text.
// Each part must lie in 0..255 (decimal, or hexadecimal after "$").
BusAddress ParseBusAddress(const QString& text);

// A request frame. Each address text is read whole (never cut short, so a
// long text cannot turn into another instrument's address).
// Throws EFormatError when either address is malformed.
QByteArray BuildFrame(const QString& destination, const QString& source, std::uint8_t kind, std::uint8_t control,
                      const QByteArray& data);

// The 14-byte acknowledgement that a correctly executed write is answered
// with: from the device address to 1.1.1, kind 1, control 0, no data.
QByteArray AcknowledgementFrame(const QString& deviceAddress);

// A byte of a frame by its offset (replies are judged by fixed offsets).
inline std::uint8_t FrameByte(const QByteArray& frame, qsizetype offset) {
    return static_cast<std::uint8_t>(frame.at(offset));
}

enum class FrameVerdict { NoReply, PacketError, Rejected, Accepted };
// Which rule turned a frame down (None unless the verdict is Rejected).
enum class RejectReason { None, HeaderChecksum, Length, DataChecksum };
struct FrameCheck {
    FrameVerdict verdict;
    RejectReason reason;
};
// The acceptance rules for the bytes of one read: none is no reply, 1 to 13
// a packet error; then the header checksum, the length (N + 18 bytes when
// N > 0; a frame without data is whole after 14 bytes) and the data checksum.
FrameCheck CheckFrame(const QByteArray& received);
inline FrameVerdict ValidateFrame(const QByteArray& received) { return CheckFrame(received).verdict; }

// The first whole valid frame in the received bytes, wherever it starts:
// bytes before it (left over from an earlier reply) and after it are left
// out. A frame starts where 14 bytes carry a matching header checksum.
// nullopt while no whole valid frame is in.
std::optional<QByteArray> FindWholeFrame(const QByteArray& received);

// Total frame length announced by a header (14 for N = 0, N + 18 otherwise),
// or nullopt while fewer than 14 bytes are at hand or the header checksum is
// wrong. Lets a reader stop as soon as a whole frame has arrived.
std::optional<int> ExpectedFrameLength(const QByteArray& received);

} // namespace zir

#include "ZebusModTransport.h"

#include "core/NumberText.h"
#include "core/Text.h"

namespace zir {

namespace {

constexpr int kHeaderBytes = 10; // addresses, kind, control, data length
constexpr int kChecksumSize = 4;

std::uint8_t ParseAddressPart(QStringView part) {
    const std::optional<std::int64_t> value = ParseIntegerText(part);
    if (!value || *value < 0 || *value > 255) throw EFormatError();
    return static_cast<std::uint8_t>(*value);
}

// The 10 header bytes followed by their checksum.
QByteArray HeaderWithChecksum(const BusAddress& to, const BusAddress& from, std::uint8_t kind, std::uint8_t control,
                              std::uint16_t dataLength) {
    QByteArray header;
    header.reserve(kFrameHeaderSize);
    for (std::uint8_t b : to) header.append(static_cast<char>(b));
    for (std::uint8_t b : from) header.append(static_cast<char>(b));
    header.append(static_cast<char>(kind));
    header.append(static_cast<char>(control));
    header.append(static_cast<char>(dataLength & 0xFF));
    header.append(static_cast<char>(dataLength >> 8));
    return header + ChecksumBytes(header);
}

int DataLength(const QByteArray& frame) { return FrameByte(frame, 8) + 256 * FrameByte(frame, 9); }

bool HeaderChecksumMatches(const QByteArray& frame) {
    return ChecksumBytes(frame.first(kHeaderBytes)) == frame.sliced(kHeaderBytes, kChecksumSize);
}

} // namespace

std::uint32_t FrameChecksum(const QByteArray& data) {
    std::uint32_t sum = 0;
    qsizetype pos = 0;
    const qsizetype length = data.size();
    // The lone byte of an odd-length string is the first one, not the last.
    if (length % 2 == 1) {
        sum = static_cast<std::uint8_t>(data[0]);
        pos = 1;
    }
    for (; pos + 1 < length; pos += 2) {
        sum = (sum << 5) | (sum >> 27);
        const std::uint32_t word = (static_cast<std::uint32_t>(static_cast<std::uint8_t>(data[pos])) << 8) |
                                   static_cast<std::uint8_t>(data[pos + 1]);
        sum ^= word;
    }
    return sum;
}

QByteArray ChecksumBytes(const QByteArray& data) {
    const std::uint32_t sum = FrameChecksum(data);
    QByteArray bytes(kChecksumSize, '\0');
    for (int i = 0; i < kChecksumSize; ++i) bytes[i] = static_cast<char>((sum >> (8 * i)) & 0xFF);
    return bytes;
}

BusAddress ParseBusAddress(const QString& text) {
    const QStringView trimmed = TrimBlanksAndControls(text);
    const qsizetype firstDot = trimmed.indexOf(u'.');
    if (firstDot < 0) throw EFormatError();
    const QStringView remainder = trimmed.sliced(firstDot + 1);
    const qsizetype secondDot = remainder.indexOf(u'.');
    if (secondDot < 0) throw EFormatError();
    const QStringView third = remainder.sliced(secondDot + 1);
    if (third.isEmpty()) throw EFormatError();
    return {ParseAddressPart(trimmed.first(firstDot)), ParseAddressPart(remainder.first(secondDot)),
            ParseAddressPart(third)};
}

QByteArray BuildFrame(const QString& destination, const QString& source, std::uint8_t kind, std::uint8_t control,
                      const QByteArray& data) {
    const BusAddress to = ParseBusAddress(destination);
    const BusAddress from = ParseBusAddress(source);
    if (data.size() > 0xFFFF)
        throw EZirError(
            QStringLiteral("Frame data of %1 bytes does not fit the length field (at most 65535)").arg(data.size()));
    const auto length = static_cast<std::uint16_t>(data.size());
    QByteArray frame = HeaderWithChecksum(to, from, kind, control, length);
    if (length > 0) frame += data + ChecksumBytes(data);
    return frame;
}

QByteArray AcknowledgementFrame(const QString& deviceAddress) {
    // Control byte 0, no data.
    return HeaderWithChecksum(ParseBusAddress(kHostAddress), ParseBusAddress(deviceAddress), kKindAck, 0, 0);
}

FrameCheck CheckFrame(const QByteArray& received) {
    const qsizetype count = received.size();
    if (count == 0) return {FrameVerdict::NoReply, RejectReason::None};
    if (count < kFrameHeaderSize) return {FrameVerdict::PacketError, RejectReason::None};
    if (!HeaderChecksumMatches(received)) return {FrameVerdict::Rejected, RejectReason::HeaderChecksum};
    const int length = DataLength(received);
    // A frame without data is complete after its header; what follows is ignored.
    if (length == 0) return {FrameVerdict::Accepted, RejectReason::None};
    if (count != length + kFrameHeaderSize + kChecksumSize) return {FrameVerdict::Rejected, RejectReason::Length};
    if (ChecksumBytes(received.sliced(kFrameHeaderSize, length)) != received.last(kChecksumSize))
        return {FrameVerdict::Rejected, RejectReason::DataChecksum};
    return {FrameVerdict::Accepted, RejectReason::None};
}

std::optional<int> ExpectedFrameLength(const QByteArray& received) {
    if (received.size() < kFrameHeaderSize || !HeaderChecksumMatches(received)) return std::nullopt;
    const int length = DataLength(received);
    return length == 0 ? kFrameHeaderSize : length + kFrameHeaderSize + kChecksumSize;
}

std::optional<QByteArray> FindWholeFrame(const QByteArray& received) {
    for (qsizetype start = 0; start + kFrameHeaderSize <= received.size(); ++start) {
        const QByteArray rest = received.sliced(start);
        const std::optional<int> length = ExpectedFrameLength(rest);
        if (!length || *length > rest.size()) continue;
        const QByteArray frame = rest.first(*length);
        if (ValidateFrame(frame) == FrameVerdict::Accepted) return frame;
    }
    return std::nullopt;
}

} // namespace zir

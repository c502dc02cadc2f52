// libFuzzer target: arbitrary received bytes and typed texts through the
// codec and the conversions. Aborts when a verdict contradicts another, and
// when an accepted frame, built again from its addresses, kind, control byte
// and data, does not give the same bytes.
#include <QByteArray>
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "core/Cp1251.h"
#include "core/DateText.h"
#include "core/NumberText.h"
#include "fuzz/FuzzSupport.h"
#include "link/ZebusModTransport.h"
#include "link/numFormats.h"

namespace {

void Require(bool condition) { zir::fuzz::Require(condition, "codec"); }

void CheckFrame(const QByteArray& bytes) {
    const zir::FrameVerdict verdict = zir::ValidateFrame(bytes);
    const std::optional<int> length = zir::ExpectedFrameLength(bytes);
    if (bytes.isEmpty())
        Require(verdict == zir::FrameVerdict::NoReply);
    else if (bytes.size() < zir::kFrameHeaderSize)
        Require(verdict == zir::FrameVerdict::PacketError && !length);
    if (verdict == zir::FrameVerdict::Accepted) {
        Require(length && (*length == zir::kFrameHeaderSize || *length == bytes.size()));
        // A frame without data is whole after its header; what follows is not looked at.
        const QByteArray frame = bytes.first(*length);
        const auto address = [&frame](int at) {
            return QStringLiteral("%1.%2.%3")
                .arg(zir::FrameByte(frame, at))
                .arg(zir::FrameByte(frame, at + 1))
                .arg(zir::FrameByte(frame, at + 2));
        };
        const QByteArray data = frame.mid(zir::kFrameHeaderSize, frame.size() - zir::kFrameHeaderSize - 4);
        Require(zir::BuildFrame(address(0), address(3), zir::FrameByte(frame, 6), zir::FrameByte(frame, 7), data) ==
                frame);
        if (frame.size() == zir::kFrameHeaderSize && zir::FrameByte(frame, 6) == zir::kKindAck &&
            zir::FrameByte(frame, 7) == 0 && address(0) == zir::kHostAddress)
            Require(zir::AcknowledgementFrame(address(3)) == frame);
    }
    if (length) {
        Require(*length >= zir::kFrameHeaderSize && *length <= 65535 + 18);
        // A reader that stops at the announced length sees the same frame.
        if (*length <= bytes.size()) Require(zir::ExpectedFrameLength(bytes.first(*length)) == length);
    }
}

void CheckAddress(const QString& text) {
    try {
        const zir::BusAddress address = zir::ParseBusAddress(text);
        const QString canonical = QStringLiteral("%1.%2.%3").arg(address[0]).arg(address[1]).arg(address[2]);
        Require(zir::ParseBusAddress(canonical) == address);
        const QByteArray frame = zir::BuildFrame(text, zir::kHostAddress, zir::kKindRead, zir::kControlRequest, "XT");
        Require(zir::ValidateFrame(frame) == zir::FrameVerdict::Accepted);
        Require(zir::ValidateFrame(zir::AcknowledgementFrame(text)) == zir::FrameVerdict::Accepted);
    } catch (const zir::EFormatError&) {}
}

void CheckConversions(const QByteArray& bytes, const QString& text) {
    if (const auto value = zir::TryStrToFloat(text)) {
        if (*value >= 1e-32 && *value < 1e32) {
            // Cut, not rounded, to three significant digits.
            const std::uint16_t code = zir::EncodeValueCode(*value);
            const int mantissa = code & 0x3FF;
            const int power = (code >> 10) >= 32 ? (code >> 10) - 64 : (code >> 10);
            zir::fuzz::Require(mantissa >= 100 && mantissa <= 999, "encoded mantissa has three digits", text);
            const double unit = std::pow(10.0, power - 2);
            zir::fuzz::Require(mantissa * unit <= *value * (1 + 1e-12) && *value < (mantissa + 1) * unit * (1 + 1e-12),
                               "encoded value is the number cut to three digits", text);
            zir::fuzz::CheckValueText(code, zir::ValueCodeToText(code));
        }
    }
    if (const auto number = zir::TryStrToInt(text))
        zir::fuzz::Require(zir::TryStrToInt(QString::number(*number)) == number, "integer text reads back", text);
    // A two-digit year reads as 2000-2099, so only those dates come back.
    if (const auto date = zir::ParseShortDate(text); date && date->year() >= 2000 && date->year() <= 2099)
        zir::fuzz::Require(zir::ParseShortDate(zir::ShortDateText(*date)) == date, "short date reads back", text);
    if (bytes.size() >= 2) {
        const std::uint16_t code = zir::ValueCodeAt(bytes, 0);
        zir::fuzz::CheckValueText(code, zir::ValueCodeToText(code));
    }
    if (!bytes.contains('\x98')) Require(zir::TryUnicodeToCp1251(zir::Cp1251ToUnicode(bytes)) == bytes);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return zir::fuzz::InitTarget(); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CheckFrame(bytes);
    const QString text = QString::fromUtf8(bytes);
    CheckAddress(text);
    CheckConversions(bytes, text);
    return 0;
}

// libFuzzer target: arbitrary received bytes and typed texts through the
// codec and the conversions. Aborts when a verdict contradicts another.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "core/Cp1251.h"
#include "link/ZebusModTransport.h"
#include "link/numFormats.h"
#include "core/NumberText.h"
#include "core/DateText.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckFrame(const QByteArray& bytes)
{
    const zir::FrameVerdict verdict = zir::ValidateFrame(bytes);
    const std::optional<int> length = zir::ExpectedFrameLength(bytes);
    if (bytes.isEmpty())
        Require(verdict == zir::FrameVerdict::NoReply);
    else if (bytes.size() < zir::kFrameHeaderSize)
        Require(verdict == zir::FrameVerdict::PacketError && !length);
    if (verdict == zir::FrameVerdict::Accepted)
        Require(length && (*length == zir::kFrameHeaderSize || *length == bytes.size()));
    if (length) {
        Require(*length >= zir::kFrameHeaderSize && *length <= 65535 + 18);
        // A reader that stops at the announced length sees the same frame.
        if (*length <= bytes.size())
            Require(zir::ExpectedFrameLength(bytes.first(*length)) == length);
    }
}

void CheckAddress(const QString& text)
{
    try {
        const zir::BusAddress address = zir::ParseBusAddress(text);
        const QString canonical = QStringLiteral("%1.%2.%3").arg(address[0]).arg(address[1]).arg(address[2]);
        Require(zir::ParseBusAddress(canonical) == address);
        const QByteArray frame = zir::BuildFrame(text, zir::kHostAddress, zir::kKindRead, zir::kControlRequest, "XT");
        Require(zir::ValidateFrame(frame) == zir::FrameVerdict::Accepted);
        Require(zir::ValidateFrame(zir::AcknowledgementFrame(text)) == zir::FrameVerdict::Accepted);
    } catch (const zir::EFormatError&) {
    }
}

void CheckConversions(const QByteArray& bytes, const QString& text)
{
    if (const auto value = zir::TryStrToFloat(text)) {
        if (*value >= 1e-32 && *value < 1e32)
            (void)zir::ValueCodeToText(zir::EncodeValueCode(*value));
    }
    (void)zir::TryStrToInt(text);
    (void)zir::ParseShortDate(text);
    if (!bytes.contains('\x98'))
        Require(zir::TryUnicodeToCp1251(zir::Cp1251ToUnicode(bytes)) == bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CheckFrame(bytes);
    const QString text = QString::fromUtf8(bytes);
    CheckAddress(text);
    CheckConversions(bytes, text);
    return 0;
}

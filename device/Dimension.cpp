#include "device/Dimension.h"

#include "core/Cp1251.h"
#include "core/Text.h"
#include "device/DeviceRequest.h"
#include "device/DimensionTables.h"

namespace zir {

namespace {

constexpr int kDimensionOffset = 18;

QByteArray Translate(const QByteArray& bytes, const std::array<std::uint8_t, 256>& table) {
    QByteArray out(bytes.size(), '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = static_cast<char>(table[static_cast<std::uint8_t>(bytes.at(i))]);
    return out;
}

void ReplaceFirst(QByteArray& bytes, char code, const QByteArray& replacement) {
    const qsizetype at = bytes.indexOf(code);
    if (at >= 0) bytes.replace(at, 1, replacement);
}

} // namespace

QString DecodeDimensionText(const QByteArray& deviceBytes) {
    QByteArray text = Translate(deviceBytes, kDeviceToWinTable);
    ReplaceFirst(text, 0x08, QByteArrayLiteral("\xEC\xEA")); // "мк"
    ReplaceFirst(text, 0x0A, QByteArrayLiteral("^2"));
    ReplaceFirst(text, 0x0B, QByteArrayLiteral("/\xF7")); // "/ч"
    return Cp1251ToUnicode(TrimBlanksAndControls(text).toByteArray());
}

QByteArray DimensionWriteData(const QString& text, Channel channel) {
    const QString fitted = text.left(kDimensionLength).leftJustified(kDimensionLength, QLatin1Char(' '));
    QByteArray data = QByteArrayLiteral("R");
    data.append(ChannelCharacter(channel));
    data.append('\0');
    data.append(UnicodeToCp1251(fitted));
    return Translate(data, kWinToDeviceTable);
}

QString ReadRazm(const DeviceContext& ctx, std::uint8_t bankSelector, Channel channel) {
    QByteArray request(1, static_cast<char>(bankSelector));
    request.append('R');
    request.append(ChannelCharacter(channel));
    const QByteArray reply = RequestRead(ctx, request);
    if (reply.size() != kDimensionReplySize) return QString();
    return DecodeDimensionText(reply.mid(kDimensionOffset, kDimensionLength));
}

bool WriteDimension(const DeviceContext& ctx, const QString& text, Channel channel) {
    return RunSettingsWrite(
        ctx, [&] { return DimensionWriteData(text, channel); }, QStringLiteral("dimension was written successfully"),
        QStringLiteral("dimension wasn't written"));
}

} // namespace zir

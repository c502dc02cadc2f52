#include "device/Coefficients.h"

#include <cstdint>

#include "device/DeviceRequest.h"
#include "link/numFormats.h"

namespace zir {

namespace {

void AppendValueCode(QByteArray& data, const QString& text) {
    const std::uint16_t code = EncodeValueCode(StrToFloat(text));
    data.append(static_cast<char>(code & 0xFF));
    data.append(static_cast<char>(code >> 8));
}

} // namespace

QByteArray CoefficientWriteData(const CoefficientTexts& texts, int channel) {
    QByteArray data = QByteArrayLiteral("T") + QByteArray::number(channel);
    data.append('\0');
    AppendValueCode(data, texts.k);
    AppendValueCode(data, texts.m);
    AppendValueCode(data, texts.threshold);
    return data;
}

bool WriteCoefficients(const DeviceContext& ctx, const CoefficientTexts& texts, int channel) {
    ctx.status.SetStatus(QString());
    ProgressGuard progress(ctx, 1);
    const QByteArray data = CoefficientWriteData(texts, channel);
    if (RequestWrite(ctx, data)) {
        progress.Set(1);
        ctx.status.SetStatus(QStringLiteral("The coefficients was written successfully"));
        return true;
    }
    ctx.status.SetStatus(QStringLiteral("The coefficients wasn't written"));
    return false;
}

} // namespace zir

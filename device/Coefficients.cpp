#include "device/Coefficients.h"

#include <cstdint>

#include "device/DeviceRequest.h"
#include "link/numFormats.h"
#include "core/NumberText.h"

namespace zir {

namespace {

void AppendCoefficient(QByteArray& data, const QString& text) {
    AppendValueCode(data, EncodeValueCode(StrToFloat(text)));
}

} // namespace

QByteArray CoefficientWriteData(const CoefficientTexts& texts, int channel) {
    QByteArray data = QByteArrayLiteral("T") + QByteArray::number(channel);
    data.append('\0');
    AppendCoefficient(data, texts.k);
    AppendCoefficient(data, texts.m);
    AppendCoefficient(data, texts.threshold);
    return data;
}

bool WriteCoefficients(const DeviceContext& ctx, const CoefficientTexts& texts, int channel) {
    return RunSettingsWrite(ctx, [&] { return CoefficientWriteData(texts, channel); },
                            QStringLiteral("The coefficients was written successfully"),
                            QStringLiteral("The coefficients wasn't written"));
}

} // namespace zir

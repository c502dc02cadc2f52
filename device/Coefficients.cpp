#include "device/Coefficients.h"

#include "core/NumberText.h"
#include "device/DeviceRequest.h"
#include "link/numFormats.h"

namespace zir {

double CheckedCoefficient(double x) {
    EncodeValueCode(x);
    return x;
}

CoefficientValues CoefficientsOfTexts(const QString& k, const QString& m, const QString& threshold) {
    const auto number = [](const QString& text) { return CheckedCoefficient(StrToFloat(text)); };
    // Braced initialisation runs left to right: K, M, threshold.
    return CoefficientValues{number(k), number(m), number(threshold)};
}

QByteArray CoefficientWriteData(const CoefficientValues& values, Channel channel) {
    QByteArray data = QByteArrayLiteral("T");
    data.append(ChannelCharacter(channel));
    data.append('\0');
    for (const double value : {values.k, values.m, values.threshold}) AppendValueCode(data, EncodeValueCode(value));
    return data;
}

bool WriteCoefficients(const DeviceContext& ctx, Channel channel, const std::function<CoefficientValues()>& values) {
    return RunSettingsWrite(
        ctx, [&] { return CoefficientWriteData(values(), channel); },
        QStringLiteral("The coefficients was written successfully"), QStringLiteral("The coefficients wasn't written"));
}

} // namespace zir

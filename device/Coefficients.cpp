#include "device/Coefficients.h"

#include "device/DeviceRequest.h"
#include "link/numFormats.h"

namespace zir {

double CheckedCoefficient(double x) {
    EncodeValueCode(x);
    return x;
}

QByteArray CoefficientWriteData(const CoefficientValues& values, Channel channel) {
    QByteArray data = QByteArrayLiteral("T");
    data.append(ChannelCharacter(channel));
    data.append('\0');
    for (const double value : {values.k, values.m, values.threshold}) AppendValueCode(data, EncodeValueCode(value));
    return data;
}

bool WriteCoefficients(const DeviceContext& ctx, Channel channel,
                       const std::function<CoefficientValues()>& values) {
    return RunSettingsWrite(ctx, [&] { return CoefficientWriteData(values(), channel); },
                            QStringLiteral("The coefficients was written successfully"),
                            QStringLiteral("The coefficients wasn't written"));
}

} // namespace zir

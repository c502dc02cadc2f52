#include "device/ServiceParameters.h"

#include "device/DeviceRequest.h"

namespace zir {

QByteArray ServiceParameterWriteData(const ServiceParameterValues& values) {
    const int serialNumber = values.serialNumber;
    const int netNumber = values.netNumber;
    const int chargeParameter = values.chargeParameter;
    const int rateIndex = values.rateIndex;

    QByteArray data = QByteArrayLiteral("W");
    data.append('\0');
    // The serial number goes high byte first, unlike the value codes.
    data.append(static_cast<char>((serialNumber >> 8) & 0xFF));
    data.append(static_cast<char>(serialNumber & 0xFF));
    data.append(static_cast<char>(netNumber & 0xFF));
    data.append(static_cast<char>(rateIndex & 0xFF));
    data.append(static_cast<char>(chargeParameter & 0xFF));
    return data;
}

bool WriteServiceParameters(const DeviceContext& ctx, const ServiceParameterValues& values) {
    return RunSettingsWrite(
        ctx, [&] { return ServiceParameterWriteData(values); },
        QStringLiteral("The parameters was written successfully"), QStringLiteral("The parameters wasn't written"));
}

} // namespace zir

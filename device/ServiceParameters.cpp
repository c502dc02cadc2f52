#include "device/ServiceParameters.h"

#include "device/DeviceRequest.h"
#include "core/NumberText.h"

namespace zir {

QByteArray ServiceParameterWriteData(const ServiceParameterTexts& texts) {
    const int serialNumber = StrToInt(texts.serialNumber);
    const int netNumber = StrToInt(texts.netNumber);
    const int chargeParameter = StrToInt(texts.chargeParameter);
    const int rateIndex = StrToInt(texts.rateIndex);

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

bool WriteServiceParameters(const DeviceContext& ctx, const ServiceParameterTexts& texts) {
    return RunSettingsWrite(ctx, [&] { return ServiceParameterWriteData(texts); },
                            QStringLiteral("The parameters was written successfully"),
                            QStringLiteral("The parameters wasn't written"));
}

} // namespace zir

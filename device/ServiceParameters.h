#pragma once
// Service parameters of the instrument: serial number, net number, charge
// mode and exchange rate index, written in one request.

#include <QByteArray>
#include <QString>

#include "device/DeviceContext.h"

namespace zir {

struct ServiceParameterValues {
    int serialNumber = 0;    // bits 15..0 are sent
    int netNumber = 0;       // bits 7..0 of each of the others
    int chargeParameter = 0; // 0 = charging off, 1..6
    int rateIndex = 0;       // 0 = 19200 ... 4 = 1200
};

// "W", 0x00, serial number high byte first, net number, rate index, charge
// parameter.
QByteArray ServiceParameterWriteData(const ServiceParameterValues& values);

// Clears the status line, drives the progress (one step), writes and reports
// on the status line whether the parameters were written.
bool WriteServiceParameters(const DeviceContext& ctx, const ServiceParameterValues& values);

} // namespace zir

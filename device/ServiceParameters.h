#pragma once
// Service parameters of the instrument: serial number, net number, charge
// mode and exchange rate index, written in one request.

#include <QByteArray>
#include <QString>

#include "device/DeviceContext.h"

namespace zir {

// Texts of RxSpinEdit_Param_SN, RxSpEdit_Param_NN, RxSpEdit_Param_Z,
// RxSpEdit_Param_VCom.
struct ServiceParameterTexts {
    QString serialNumber;
    QString netNumber;
    QString chargeParameter;
    QString rateIndex;
};

// "W", 0x00, serial number high byte first, net number, rate index, charge
// parameter. The texts are read as integers in the order serial number, net
// number, charge parameter, rate index; the first that is no integer throws
// EConvertError.
QByteArray ServiceParameterWriteData(const ServiceParameterTexts& texts);

// Clears the status line, drives the progress (one step), writes and reports
// "The parameters was written successfully" or "The parameters wasn't
// written". Nothing is sent when a text is refused.
bool WriteServiceParameters(const DeviceContext& ctx, const ServiceParameterTexts& texts);

} // namespace zir

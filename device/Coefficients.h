#pragma once
// Calibration numbers of one channel: sensitivity factor K, dead-time factor
// M and the threshold, written as value codes.

#include <QByteArray>
#include <QString>

#include "device/DeviceContext.h"

namespace zir {

// Texts of Edit_Koeff_K, Edit_Koeff_M, Edit_Koeff_Porog.
struct CoefficientTexts {
    QString k;
    QString m;
    QString threshold;
};

// "T", channel character, 0x00, then the value codes of K, M and threshold,
// each low byte first. The texts are converted in that order; the first one
// that is no number, or a number the instrument cannot hold, throws
// EConvertError.
QByteArray CoefficientWriteData(const CoefficientTexts& texts, int channel);

// Clears the status line, drives the progress (one step), converts, writes
// and reports "The coefficients was written successfully" or "The
// coefficients wasn't written". Nothing is sent when a text is refused.
bool WriteCoefficients(const DeviceContext& ctx, const CoefficientTexts& texts, int channel);

} // namespace zir

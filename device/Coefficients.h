#pragma once
// Calibration numbers of one channel: sensitivity factor K, dead-time factor
// M and the threshold, written as value codes.

#include <QByteArray>
#include <QString>
#include <functional>

#include "device/Channel.h"
#include "device/DeviceContext.h"

namespace zir {

struct CoefficientValues {
    double k = 1;
    double m = 1e-5;
    double threshold = 1000;
};

// x itself when the instrument can hold it as a value code; otherwise throws
// the EConvertError of EncodeValueCode. Lets a caller that converts the
// numbers one by one report the first one that fails, in its order.
double CheckedCoefficient(double x);

// Number texts of K, M and threshold ("." decimals, an optional exponent:
// the window's fields, zir-cli's arguments) converted in that order, each a
// number the instrument can hold; throws the EConvertError of the first that
// is not.
CoefficientValues CoefficientsOfTexts(const QString& k, const QString& m, const QString& threshold);

// "T", channel character, 0x00, then the value codes of K, M and threshold,
// each low byte first. Throws EConvertError for the first number, in that
// order, that the instrument cannot hold.
QByteArray CoefficientWriteData(const CoefficientValues& values, Channel channel);

// Clears the status line, drives the progress (one step), then asks for the
// values (the window converts its fields there; a conversion error ends the
// write with nothing sent), writes and reports "The coefficients was written
// successfully" or "The coefficients wasn't written".
bool WriteCoefficients(const DeviceContext& ctx, Channel channel, const std::function<CoefficientValues()>& values);

} // namespace zir

#include "link/numFormats.h"

#include <cmath>
#include <cstdlib>

#include "core/NumberText.h"

namespace zir {

int DecodeBcd(std::uint8_t byte) { return 10 * (byte >> 4) + (byte & 0x0F); }

bool IsPackedBcd(std::uint8_t byte) { return (byte >> 4) <= 9 && (byte & 0x0F) <= 9; }

QString ValueCodeToText(std::uint16_t code) {
    const int mantissa = code & 0x3FF;
    const int rawPower = code >> 10;
    const int power = rawPower >= 32 ? rawPower - 64 : rawPower;
    if (mantissa == 0) return QStringLiteral("0");
    // Extended precision, then one rounding to double.
    const long double scale = std::pow(10.0L, static_cast<long double>(std::abs(power)));
    const long double hundredths = static_cast<long double>(mantissa) / 100.0L;
    const long double value = power < 0 ? hundredths * (1.0L / scale) : hundredths * scale;
    return FloatToText(static_cast<double>(value));
}

std::uint16_t EncodeValueCode(double x) {
    if (!std::isfinite(x) || x < 1e-32 || x >= 1e32)
        throw EConvertError(QStringLiteral("The value %1 cannot be sent to the instrument: "
                                           "it must lie from 1E-32 up to, not including, 1E32")
                                .arg(FloatToText(x)));
    // The shortest decimal text that reads back as x is what the operator
    // typed; its first three digits are the mantissa, cut, never rounded.
    // (Logarithms would put 9940 at 993E1 now and then.)
    DecimalForm form = ShortestDecimalFormOf(x);
    while (form.digits.size() < 3) form.digits.append('0');
    const int mantissa = (form.digits[0] - '0') * 100 + (form.digits[1] - '0') * 10 + (form.digits[2] - '0');
    const int power = form.exponent; // -32..31 after the range test
    return static_cast<std::uint16_t>(mantissa | ((power & 0x3F) << 10));
}

std::uint16_t ValueCodeAt(const QByteArray& bytes, qsizetype offset) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes.at(offset)) |
                                      (static_cast<std::uint8_t>(bytes.at(offset + 1)) << 8));
}

void AppendValueCode(QByteArray& bytes, std::uint16_t code) {
    bytes.append(static_cast<char>(code & 0xFF));
    bytes.append(static_cast<char>(code >> 8));
}

} // namespace zir

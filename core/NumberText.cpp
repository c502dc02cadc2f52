#include "core/NumberText.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>

namespace zir {

namespace {

// The digits and the exponent of a number in to_chars' scientific notation
// ("1.2345e-05" -> "12345", -5). Locale-independent.
DecimalForm ToDecimalForm(const char* begin, const char* end) {
    DecimalForm form;
    const char* p = begin;
    for (; p != end && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9') form.digits.append(*p);
    }
    if (p != end) std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, form.exponent);
    return form;
}

QString ConvertErrorFloat(const QString& text) {
    return QStringLiteral("'%1' is not a valid floating point value").arg(text);
}

QString ConvertErrorInt(const QString& text) { return QStringLiteral("'%1' is not a valid integer value").arg(text); }

bool IsAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// [sign] (digits [. digits] | . digits) [(e|E) [sign] digits], nothing else.
bool IsDecimalFloatText(QStringView text) {
    qsizetype pos = 0;
    const qsizetype size = text.size();
    auto skipDigits = [&] {
        const qsizetype start = pos;
        while (pos < size && IsAsciiDigit(text[pos])) ++pos;
        return pos - start;
    };
    if (pos < size && (text[pos] == u'+' || text[pos] == u'-')) ++pos;
    qsizetype mantissaDigits = skipDigits();
    if (pos < size && text[pos] == u'.') {
        ++pos;
        mantissaDigits += skipDigits();
    }
    if (mantissaDigits == 0) return false;
    if (pos < size && (text[pos] == u'e' || text[pos] == u'E')) {
        ++pos;
        if (pos < size && (text[pos] == u'+' || text[pos] == u'-')) ++pos;
        if (skipDigits() == 0) return false;
    }
    return pos == size;
}

} // namespace

DecimalForm DecimalFormOf(long double value, int significantDigits) {
    char buffer[64];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, significantDigits - 1);
    return ToDecimalForm(buffer, written.ptr);
}

DecimalForm ShortestDecimalFormOf(double value) {
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    return ToDecimalForm(buffer, written.ptr);
}

QString FloatToText(long double value) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0) return QStringLiteral("0");

    DecimalForm form = DecimalFormOf(std::fabs(value), kGeneralDigits);
    while (form.digits.size() > 1 && form.digits.endsWith('0')) form.digits.chop(1);

    QString text = value < 0 ? QStringLiteral("-") : QString();
    const QString digits = QString::fromLatin1(form.digits);
    const int exponent = form.exponent;
    if (exponent < -4 || exponent >= 15) {
        text += digits[0];
        if (digits.size() > 1) text += u'.' + digits.mid(1);
        text += u'E' + QString::number(exponent);
    } else if (exponent < 0) {
        text += QStringLiteral("0.") + QString(-exponent - 1, u'0') + digits;
    } else {
        const QString whole = digits.left(exponent + 1);
        text += whole + QString(exponent + 1 - whole.size(), u'0');
        if (digits.size() > exponent + 1) text += u'.' + digits.mid(exponent + 1);
    }
    return text;
}

std::optional<double> TryStrToFloat(const QString& text) {
    const QString trimmed = text.trimmed();
    if (!IsDecimalFloatText(trimmed)) return std::nullopt;
    const QByteArray latin = trimmed.toLatin1();
    const char* begin = latin.constData() + (latin.startsWith('+') ? 1 : 0);
    const char* end = latin.constData() + latin.size();
    double value = 0;
    const auto parsed = std::from_chars(begin, end, value, std::chars_format::general);
    if (parsed.ec != std::errc() || parsed.ptr != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

double StrToFloat(const QString& text) {
    if (const auto value = TryStrToFloat(text)) return *value;
    throw EConvertError(ConvertErrorFloat(text));
}

std::optional<std::int64_t> ParseIntegerText(QStringView text) {
    constexpr std::int64_t kLimit = std::int64_t{1} << 53;
    qsizetype pos = 0;
    const qsizetype size = text.size();
    while (pos < size && text[pos] == u' ') ++pos;
    bool negative = false;
    if (pos < size && (text[pos] == u'+' || text[pos] == u'-')) {
        negative = text[pos] == u'-';
        ++pos;
    }
    int base = 10;
    if (pos < size && text[pos] == u'$') {
        base = 16;
        ++pos;
    }
    if (pos == size) return std::nullopt;
    std::int64_t value = 0;
    for (; pos < size; ++pos) {
        const char16_t c = text[pos].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > kLimit) return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<int> TryStrToInt(const QString& text) {
    const auto value = ParseIntegerText(text.trimmed());
    if (!value || *value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*value);
}

int StrToInt(const QString& text) {
    if (const auto value = TryStrToInt(text)) return *value;
    throw EConvertError(ConvertErrorInt(text));
}

void InitNumberFormats() { std::setlocale(LC_NUMERIC, "C"); }

} // namespace zir

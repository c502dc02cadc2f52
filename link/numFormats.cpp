#include "numFormats.h"

#include <QStringList>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>

namespace zir {

namespace {

// Decimal digits and power of ten of a number in scientific notation, as
// to_chars writes it ("1.2345e-05" -> "12345", -5). Locale-independent.
struct DecimalForm {
    QByteArray digits;
    int exponent = 0;
};

DecimalForm ToDecimalForm(const char* begin, const char* end)
{
    DecimalForm form;
    const char* p = begin;
    for (; p != end && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            form.digits.append(*p);
    }
    if (p != end)
        std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, form.exponent);
    return form;
}

QString ConvertErrorFloat(const QString& text)
{
    return QStringLiteral("'%1' is not a valid floating point value").arg(text);
}

QString ConvertErrorInt(const QString& text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

bool IsAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// [sign] (digits [. digits] | . digits) [(e|E) [sign] digits], nothing else.
bool IsDecimalFloatText(QStringView text)
{
    qsizetype pos = 0;
    const qsizetype size = text.size();
    auto skipDigits = [&] {
        const qsizetype start = pos;
        while (pos < size && IsAsciiDigit(text[pos]))
            ++pos;
        return pos - start;
    };
    if (pos < size && (text[pos] == u'+' || text[pos] == u'-'))
        ++pos;
    qsizetype mantissaDigits = skipDigits();
    if (pos < size && text[pos] == u'.') {
        ++pos;
        mantissaDigits += skipDigits();
    }
    if (mantissaDigits == 0)
        return false;
    if (pos < size && (text[pos] == u'e' || text[pos] == u'E')) {
        ++pos;
        if (pos < size && (text[pos] == u'+' || text[pos] == u'-'))
            ++pos;
        if (skipDigits() == 0)
            return false;
    }
    return pos == size;
}

// Removes the time-zone token "t" (outside quoted literals) together with
// brackets right around it and the blanks it leaves behind.
QString WithoutTimeZone(const QString& format)
{
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') {
            quoted = !quoted;
            result += c;
            continue;
        }
        if (quoted || c != u't') {
            result += c;
            continue;
        }
        while (i + 1 < format.size() && format[i + 1] == u't')
            ++i;
        if (result.endsWith(u'(') && i + 1 < format.size() && format[i + 1] == u')') {
            result.chop(1);
            ++i;
        }
    }
    while (result.contains(QStringLiteral("  ")))
        result.replace(QStringLiteral("  "), QStringLiteral(" "));
    return result.trimmed();
}

// The short date format rewritten into formats that accept what people type:
// "d" and "M" read one or two digits; the year is tried with four digits and
// with two; a month name is tried short and long. Quoted literals stay.
struct DateFormatCandidate {
    QString format;
    bool twoDigitYear;
};

QList<DateFormatCandidate> DateFormatCandidates(const QString& shortFormat)
{
    QString base;          // year written as the placeholder '\x01'
    bool quoted = false;
    bool hasMonthName = false;
    for (qsizetype i = 0; i < shortFormat.size();) {
        const QChar c = shortFormat[i];
        if (c == u'\'') {
            quoted = !quoted;
            base += c;
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < shortFormat.size() && shortFormat[i + run] == c)
            ++run;
        const QString token(run, c);
        if (quoted)
            base += token;
        else if (c == u'd' && run <= 2)
            base += u'd';
        else if (c == u'M' && run <= 2)
            base += u'M';
        else if (c == u'M') {
            base += QStringLiteral("MMM");
            hasMonthName = true;
        } else if (c == u'y')
            base += QChar(1);
        else
            base += token;
        i += run;
    }
    QList<DateFormatCandidate> candidates;
    for (bool twoDigitYear : {false, true}) {
        QString format = base;
        format.replace(QChar(1), twoDigitYear ? QStringLiteral("yy") : QStringLiteral("yyyy"));
        candidates.append({format, twoDigitYear});
        if (hasMonthName) {
            format.replace(QStringLiteral("MMM"), QStringLiteral("MMMM"));
            candidates.append({format, twoDigitYear});
        }
    }
    return candidates;
}

} // namespace

int DecodeBcd(std::uint8_t byte)
{
    return 10 * (byte >> 4) + (byte & 0x0F);
}

bool IsPackedBcd(std::uint8_t byte)
{
    return (byte >> 4) <= 9 && (byte & 0x0F) <= 9;
}

QString FloatToText(long double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        return QStringLiteral("0");

    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                       std::chars_format::scientific, 14);
    DecimalForm form = ToDecimalForm(buffer, written.ptr);
    while (form.digits.size() > 1 && form.digits.endsWith('0'))
        form.digits.chop(1);

    QString text = value < 0 ? QStringLiteral("-") : QString();
    const QString digits = QString::fromLatin1(form.digits);
    const int exponent = form.exponent;
    if (exponent < -4 || exponent >= 15) {
        text += digits[0];
        if (digits.size() > 1)
            text += u'.' + digits.mid(1);
        text += u'E' + QString::number(exponent);
    } else if (exponent < 0) {
        text += QStringLiteral("0.") + QString(-exponent - 1, u'0') + digits;
    } else {
        const QString whole = digits.left(exponent + 1);
        text += whole + QString(exponent + 1 - whole.size(), u'0');
        if (digits.size() > exponent + 1)
            text += u'.' + digits.mid(exponent + 1);
    }
    return text;
}

QString ValueCodeToText(std::uint16_t code)
{
    const int mantissa = code & 0x3FF;
    const int rawPower = code >> 10;
    const int power = rawPower >= 32 ? rawPower - 64 : rawPower;
    if (mantissa == 0)
        return QStringLiteral("0");
    // Extended precision, then one rounding to double.
    const long double scale = std::pow(10.0L, static_cast<long double>(std::abs(power)));
    const long double hundredths = static_cast<long double>(mantissa) / 100.0L;
    const long double value = power < 0 ? hundredths * (1.0L / scale) : hundredths * scale;
    return FloatToText(static_cast<double>(value));
}

std::uint16_t EncodeValueCode(double x)
{
    if (!std::isfinite(x) || x < 1e-32 || x >= 1e32)
        throw EConvertError(QStringLiteral("The value %1 cannot be sent to the instrument: "
                                           "it must lie from 1E-32 up to, not including, 1E32")
                                .arg(FloatToText(x)));
    // The shortest decimal text that reads back as x is what the operator
    // typed; its first three digits are the mantissa, cut, never rounded.
    // (Logarithms would put 9940 at 993E1 now and then.)
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific);
    DecimalForm form = ToDecimalForm(buffer, written.ptr);
    while (form.digits.size() < 3)
        form.digits.append('0');
    const int mantissa = (form.digits[0] - '0') * 100 + (form.digits[1] - '0') * 10 + (form.digits[2] - '0');
    const int power = form.exponent;   // -32..31 after the range test
    return static_cast<std::uint16_t>(mantissa | ((power & 0x3F) << 10));
}

std::uint16_t ValueCodeAt(const QByteArray& bytes, qsizetype offset)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes.at(offset))
                                      | (static_cast<std::uint8_t>(bytes.at(offset + 1)) << 8));
}

void AppendValueCode(QByteArray& bytes, std::uint16_t code)
{
    bytes.append(static_cast<char>(code & 0xFF));
    bytes.append(static_cast<char>(code >> 8));
}

std::optional<double> TryStrToFloat(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (!IsDecimalFloatText(trimmed))
        return std::nullopt;
    const QByteArray latin = trimmed.toLatin1();
    const char* begin = latin.constData() + (latin.startsWith('+') ? 1 : 0);
    const char* end = latin.constData() + latin.size();
    double value = 0;
    const auto parsed = std::from_chars(begin, end, value, std::chars_format::general);
    if (parsed.ec != std::errc() || parsed.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double StrToFloat(const QString& text)
{
    if (const auto value = TryStrToFloat(text))
        return *value;
    throw EConvertError(ConvertErrorFloat(text));
}

std::optional<std::int64_t> ParseIntegerText(QStringView text)
{
    constexpr std::int64_t kLimit = std::int64_t{1} << 53;
    qsizetype pos = 0;
    const qsizetype size = text.size();
    while (pos < size && text[pos] == u' ')
        ++pos;
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
    if (pos == size)
        return std::nullopt;
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
        if (value > kLimit)
            return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<int> TryStrToInt(const QString& text)
{
    const auto value = ParseIntegerText(text.trimmed());
    if (!value || *value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*value);
}

int StrToInt(const QString& text)
{
    if (const auto value = TryStrToInt(text))
        return *value;
    throw EConvertError(ConvertErrorInt(text));
}

void InitNumberFormats()
{
    std::setlocale(LC_NUMERIC, "C");
}

QString ShortDateText(const QDate& date, const QLocale& locale)
{
    return locale.toString(date, QLocale::ShortFormat);
}

QString ShortDateText(const QDate& date)
{
    return ShortDateText(date, QLocale::system());
}

std::optional<QDate> ParseShortDate(const QString& text, const QLocale& locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    for (const auto& candidate : DateFormatCandidates(locale.dateFormat(QLocale::ShortFormat))) {
        QDate date = locale.toDate(trimmed, candidate.format);
        if (!date.isValid())
            continue;
        if (candidate.twoDigitYear && date.year() < 2000)
            date = date.addYears(100);
        return date;
    }
    return std::nullopt;
}

std::optional<QDate> ParseShortDate(const QString& text)
{
    return ParseShortDate(text, QLocale::system());
}

QString LongTimeText(const QTime& time, const QLocale& locale)
{
    return locale.toString(time, WithoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

std::optional<QTime> ParseLongTime(const QString& text, const QLocale& locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const QString format = WithoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    QString shortHours = format;
    shortHours.replace(QStringLiteral("HH"), QStringLiteral("H")).replace(QStringLiteral("hh"), QStringLiteral("h"));
    for (const QString& candidate : {format, shortHours}) {
        const QTime time = locale.toTime(trimmed, candidate);
        if (time.isValid())
            return time;
    }
    return std::nullopt;
}

QString LongTimeText(const QTime& time)
{
    return LongTimeText(time, QLocale::system());
}

QString DateTimeToText(const QDateTime& moment, const QLocale& locale)
{
    const QString date = ShortDateText(moment.date(), locale);
    if (moment.time() == QTime(0, 0))
        return date;
    return date + u' ' + LongTimeText(moment.time(), locale);
}

QString DateTimeToText(const QDateTime& moment)
{
    return DateTimeToText(moment, QLocale::system());
}

} // namespace zir

#include "numFormats.h"

namespace zir {

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

} // namespace zir

#include "app/FieldText.h"

#include "core/DateText.h"
#include "core/NumberText.h"

namespace zir {

namespace {
// A two-character part of a time field. A mask shows its empty places as
// "_"; they count as blanks. The "0" put in front makes an all-blank part 0.
std::optional<int> TimePart(const QString& text, int start) {
    QString part = text.mid(start, 2);
    part.replace(u'_', u' ');
    part = part.trimmed();
    for (QChar c : part) {
        if (!c.isDigit() || c.unicode() > '9') return std::nullopt;
    }
    return TryStrToInt(QStringLiteral("0") + part);
}
} // namespace

Channel ChannelOfField(int value) { return value == 2 ? Channel::B : Channel::A; }

QString BankEntryText(std::uint8_t bank, const QDate& date) {
    return QString::number(bank) + QStringLiteral(":  ") + ShortDateText(date);
}

std::optional<BankSelection> ParseBankSelection(const QString& text) {
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0) return std::nullopt;
    const std::optional<int> number = TryStrToInt(text.left(colon).trimmed());
    if (!number) return std::nullopt;
    const std::optional<QDate> date = ParseShortDate(text.mid(colon + 1).trimmed());
    if (!date || !date->isValid()) return std::nullopt;
    return BankSelection{static_cast<std::uint8_t>(*number & 0xFF), *date};
}

std::optional<int> ParseTimeField(const QString& text) {
    const std::optional<int> hours = TimePart(text, 0);
    const std::optional<int> minutes = TimePart(text, 3);
    if (!hours || !minutes) return std::nullopt;
    return *hours * 60 + *minutes;
}

std::optional<TimeLimit> TimeLimitOfField(bool filterOn, const QString& shownText, int fallback) {
    if (!filterOn) return std::nullopt;
    return TimeLimit{ParseTimeField(shownText).value_or(fallback), shownText};
}

} // namespace zir

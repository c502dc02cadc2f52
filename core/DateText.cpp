#include "core/DateText.h"

#include <QList>

namespace zir {

namespace {

// Removes the time-zone token "t" (outside quoted literals) together with
// brackets right around it and the blanks it leaves behind.
QString WithoutTimeZone(const QString& format) {
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
        while (i + 1 < format.size() && format[i + 1] == u't') ++i;
        if (result.endsWith(u'(') && i + 1 < format.size() && format[i + 1] == u')') {
            result.chop(1);
            ++i;
        }
    }
    while (result.contains(QStringLiteral("  "))) result.replace(QStringLiteral("  "), QStringLiteral(" "));
    return result.trimmed();
}

// The short date format rewritten into formats that accept what people type:
// "d" and "M" read one or two digits; the year is tried with four digits and
// with two; a month name is tried short and long. Quoted literals stay.
struct DateFormatCandidate {
    QString format;
    bool twoDigitYear;
};

QList<DateFormatCandidate> DateFormatCandidates(const QString& shortFormat) {
    QString base; // year written as the placeholder '\x01'
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
        while (i + run < shortFormat.size() && shortFormat[i + run] == c) ++run;
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

QString ShortDateText(const QDate& date, const QLocale& locale) { return locale.toString(date, QLocale::ShortFormat); }

QString ShortDateText(const QDate& date) { return ShortDateText(date, QLocale::system()); }

std::optional<QDate> ParseShortDate(const QString& text, const QLocale& locale) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    for (const auto& candidate : DateFormatCandidates(locale.dateFormat(QLocale::ShortFormat))) {
        QDate date = locale.toDate(trimmed, candidate.format);
        if (!date.isValid()) continue;
        if (candidate.twoDigitYear && date.year() < 2000) date = date.addYears(100);
        return date;
    }
    return std::nullopt;
}

std::optional<QDate> ParseShortDate(const QString& text) { return ParseShortDate(text, QLocale::system()); }

QString LongTimeText(const QTime& time, const QLocale& locale) {
    return locale.toString(time, WithoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

std::optional<QTime> ParseLongTime(const QString& text, const QLocale& locale) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    const QString format = WithoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    QString shortHours = format;
    shortHours.replace(QStringLiteral("HH"), QStringLiteral("H")).replace(QStringLiteral("hh"), QStringLiteral("h"));
    for (const QString& candidate : {format, shortHours}) {
        const QTime time = locale.toTime(trimmed, candidate);
        if (time.isValid()) return time;
    }
    return std::nullopt;
}

QString LongTimeText(const QTime& time) { return LongTimeText(time, QLocale::system()); }

QString DateTimeFormat(const QLocale& locale) {
    return locale.dateFormat(QLocale::ShortFormat) + u' ' + WithoutTimeZone(locale.timeFormat(QLocale::LongFormat));
}

QString DateTimeToText(const QDateTime& moment, const QLocale& locale) {
    const QString date = ShortDateText(moment.date(), locale);
    if (moment.time() == QTime(0, 0)) return date;
    return date + u' ' + LongTimeText(moment.time(), locale);
}

QString DateTimeToText(const QDateTime& moment) { return DateTimeToText(moment, QLocale::system()); }

} // namespace zir

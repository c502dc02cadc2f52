#include "history/ArchiveTextImport.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <optional>

#include "core/Cp1251.h"
#include "core/DateText.h"
#include "core/NumberText.h"

namespace zir {

namespace {

// Minute numbers of a reply run to 9999, six days and a part past the bank date.
constexpr int kDaysAfterTitle = 6;
constexpr int kMaxUncertainty = 255;

const QString kNotALine = QStringLiteral("neither a report title nor a record line");
const QString kNoTitle = QStringLiteral("a record line before any report title");
const QString kTitleDate = QStringLiteral("the date of the report title reads in no known format");
const QString kBlockDate = QStringLiteral("its report title's date reads in no known format");
const QString kAmbiguous = QStringLiteral("the dates of its report read differently in the formats they fit");
const QString kRecordTime = QStringLiteral("the time reads in no format of its report or not on the report's date");
const QString kBadNumber = QStringLiteral("a value or uncertainty is not a number the program writes");

struct RecordLineParts {
    int line = 0;
    QString time;
    QString valueA, unitA, uncertaintyA;
    QString valueB, unitB, uncertaintyB;
};

struct Block {
    int titleLine = 0;
    QString address;
    QString date;
    std::vector<RecordLineParts> records;
};

// A block as one locale reads it.
struct BlockReading {
    std::optional<QDate> titleDate;
    std::vector<std::optional<QDateTime>> times;
    int read = 0;
    bool Fits(const Block& block) const { return titleDate && (block.records.empty() || read > 0); }
};

const QRegularExpression& TitlePattern() {
    static const QRegularExpression pattern(
        QStringLiteral("^Report to ZIR (.*?) on (.+?)(?: from (.{5}))?(?: to (.{5}))?$"));
    return pattern;
}

const QRegularExpression& RecordPattern() {
    static const QRegularExpression pattern(
        QStringLiteral("^(.+?)    (\\S+) (.*?) \u00B1 (\\d{1,3}) %     (\\S+) (.*?) \u00B1 (\\d{1,3}) %$"));
    return pattern;
}

// The general date-time form: the short date alone (midnight) or the short
// date, a blank and the long time; both may hold blanks of their own.
std::optional<QDateTime> ParseDateTimeText(const QString& text, const QLocale& locale) {
    if (const auto date = ParseShortDate(text, locale)) return QDateTime(*date, QTime(0, 0), Qt::UTC);
    for (qsizetype blank = text.indexOf(u' '); blank > 0; blank = text.indexOf(u' ', blank + 1)) {
        const auto date = ParseShortDate(text.left(blank), locale);
        if (!date) continue;
        if (const auto time = ParseLongTime(text.mid(blank + 1), locale)) return QDateTime(*date, *time, Qt::UTC);
    }
    return std::nullopt;
}

BlockReading ReadBlock(const Block& block, const QLocale& locale) {
    BlockReading reading;
    reading.titleDate = ParseShortDate(block.date, locale);
    reading.times.resize(block.records.size());
    if (!reading.titleDate) return reading;
    const QDate first = *reading.titleDate;
    const QDate last = first.addDays(kDaysAfterTitle);
    for (std::size_t i = 0; i < block.records.size(); ++i) {
        const auto time = ParseDateTimeText(block.records[i].time, locale);
        if (!time || time->date() < first || time->date() > last || time->time().second() != 0 ||
            time->time().msec() != 0)
            continue;
        reading.times[i] = time;
        ++reading.read;
    }
    return reading;
}

bool SameReading(const BlockReading& x, const BlockReading& y) {
    if (x.titleDate != y.titleDate) return false;
    for (std::size_t i = 0; i < x.times.size(); ++i)
        if (x.times[i] && y.times[i] && *x.times[i] != *y.times[i]) return false;
    return true;
}

void AllUnreadable(const Block& block, const QString& titleReason, const QString& recordReason,
                   ParsedArchiveText& parsed) {
    parsed.unreadable.push_back({block.titleLine, titleReason});
    for (const RecordLineParts& r : block.records) parsed.unreadable.push_back({r.line, recordReason});
}

std::optional<int> Uncertainty(const QString& text) {
    const auto value = TryStrToInt(text);
    if (!value || *value < 0 || *value > kMaxUncertainty) return std::nullopt;
    return value;
}

void TakeBlock(const Block& block, const std::vector<QLocale>& locales, ParsedArchiveText& parsed) {
    ++parsed.titles;
    std::optional<BlockReading> chosen;
    if (!locales.empty()) {
        BlockReading trusted = ReadBlock(block, locales.front());
        if (trusted.Fits(block)) chosen = std::move(trusted);
    }
    if (!chosen) {
        std::vector<BlockReading> fitting;
        for (std::size_t i = 1; i < locales.size(); ++i) {
            BlockReading reading = ReadBlock(block, locales[i]);
            if (reading.Fits(block)) fitting.push_back(std::move(reading));
        }
        if (fitting.empty()) {
            AllUnreadable(block, kTitleDate, kBlockDate, parsed);
            return;
        }
        for (std::size_t i = 1; i < fitting.size(); ++i) {
            if (!SameReading(fitting.front(), fitting[i])) {
                AllUnreadable(block, kAmbiguous, kAmbiguous, parsed);
                return;
            }
        }
        chosen = std::move(fitting.front());
    }
    for (std::size_t i = 0; i < block.records.size(); ++i) {
        const RecordLineParts& r = block.records[i];
        if (!chosen->times[i]) {
            parsed.unreadable.push_back({r.line, kRecordTime});
            continue;
        }
        const auto uncertaintyA = Uncertainty(r.uncertaintyA);
        const auto uncertaintyB = Uncertainty(r.uncertaintyB);
        if (!TryStrToFloat(r.valueA) || !TryStrToFloat(r.valueB) || !uncertaintyA || !uncertaintyB) {
            parsed.unreadable.push_back({r.line, kBadNumber});
            continue;
        }
        ArchiveEntry entry;
        entry.time = *chosen->times[i];
        entry.valueA = r.valueA;
        entry.valueB = r.valueB;
        entry.uncertaintyA = *uncertaintyA;
        entry.uncertaintyB = *uncertaintyB;
        entry.unitA = r.unitA;
        entry.unitB = r.unitB;
        parsed.items.push_back({block.address, entry});
        parsed.itemLines.push_back(r.line);
    }
}

} // namespace

std::vector<QLocale> ImportLocales() {
    std::vector<QLocale> locales{QLocale::c()};
    for (const char* name : {"ru_RU", "uk_UA", "be_BY", "kk_KZ", "de_DE", "en_GB", "fr_FR", "en_US"})
        locales.emplace_back(QString::fromLatin1(name));
    return locales;
}

ParsedArchiveText ParseArchiveText(const QByteArray& bytes, const std::vector<QLocale>& locales) {
    ParsedArchiveText parsed;
    const QString text = Cp1251ToUnicode(bytes);
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    std::optional<Block> block;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r')) line.chop(1);
        const int number = static_cast<int>(i) + 1;
        if (line.trimmed().isEmpty()) continue;
        if (const auto title = TitlePattern().match(line); title.hasMatch()) {
            if (block) TakeBlock(*block, locales, parsed);
            block = Block{number, title.captured(1).trimmed(), title.captured(2), {}};
            continue;
        }
        const auto record = RecordPattern().match(line);
        if (!record.hasMatch()) {
            parsed.unreadable.push_back({number, kNotALine});
            continue;
        }
        if (!block) {
            parsed.unreadable.push_back({number, kNoTitle});
            continue;
        }
        block->records.push_back({number, record.captured(1), record.captured(2), record.captured(3),
                                  record.captured(4), record.captured(5), record.captured(6), record.captured(7)});
    }
    if (block) TakeBlock(*block, locales, parsed);
    std::sort(parsed.unreadable.begin(), parsed.unreadable.end(),
              [](const UnreadableLine& x, const UnreadableLine& y) { return x.line < y.line; });
    return parsed;
}

ArchiveImportResult ImportArchiveText(THistoryStore& store, const QString& path) {
    std::vector<QLocale> locales{QLocale::system()};
    for (const QLocale& locale : ImportLocales()) locales.push_back(locale);
    return ImportArchiveText(store, path, locales);
}

ArchiveImportResult ImportArchiveText(THistoryStore& store, const QString& path, const std::vector<QLocale>& locales) {
    ArchiveImportResult result;
    result.path = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("Can't read %1: %2").arg(path, file.errorString());
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = QStringLiteral("Can't read %1: %2").arg(path, file.errorString());
        return result;
    }
    const ParsedArchiveText parsed = ParseArchiveText(bytes, locales);
    result.unreadable = parsed.unreadable;
    const auto counts = store.Import(path, parsed.items);
    if (!counts) {
        result.error = store.TakeProblem();
        if (result.error.isEmpty())
            result.error = QStringLiteral("The history file %1 could not be written").arg(store.Path());
        return result;
    }
    result.counts = *counts;
    result.ok = true;
    return result;
}

QString ImportSummary(const ArchiveImportResult& result) {
    if (!result.ok) return result.error;
    QString text = QStringLiteral("%1: %2 new, %3 already known, %4 changed; unreadable lines: %5")
                       .arg(QFileInfo(result.path).fileName())
                       .arg(result.counts.added)
                       .arg(result.counts.known)
                       .arg(result.counts.changed)
                       .arg(result.unreadable.size());
    if (!result.unreadable.empty()) {
        constexpr std::size_t kShown = 20;
        QStringList numbers;
        for (std::size_t i = 0; i < result.unreadable.size() && i < kShown; ++i)
            numbers << QString::number(result.unreadable[i].line);
        if (result.unreadable.size() > kShown) numbers << QStringLiteral("...");
        text += QStringLiteral(" (") + numbers.join(QStringLiteral(", ")) + u')';
    }
    return text;
}

} // namespace zir

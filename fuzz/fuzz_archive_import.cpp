// libFuzzer target: the input is an Archive.txt that the operator imports
// into the history. Each run writes it as a file into a private folder and
// imports it through ImportArchiveText into a new history file (a real SQLite
// file beside it), with ru_RU as the computer's locale and the import's
// fallback locales after it.
//
// The lines: every non-blank line is accounted for once, as a record line
// that was read, an unreadable line (the same list the import reports), or a
// report title that was read; a record line is its entry's time text, then
// the entry's values, units and uncertainties in the line format, and its
// time text reads to the entry's minute in one of the locales.
// The counts: new is the number of distinct minutes (per address), already
// known the lines that brought values their minute had already had, changed
// the rest; together they are the record lines read.
// The history: every minute reads back from the file with the values of the
// line that last brought values new to that minute (time, gap, value,
// uncertainty and unit of each channel; no bank, no codes; an import of the
// file as its source), the values it had before are its revisions in order,
// and nothing else is stored.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <utility>

#include "archive/ArchiveRecord.h"
#include "core/Clock.h"
#include "core/Cp1251.h"
#include "core/DateText.h"
#include "core/NumberText.h"
#include "fuzz/FuzzSupport.h"
#include "history/ArchiveTextImport.h"
#include "history/HistoryStore.h"

using namespace zir;
using namespace zir::fuzz;

namespace {

struct Program {
    std::unique_ptr<QCoreApplication> app;
    QString folder;
    QString archivePath;
    QString historyPath;
    std::vector<QLocale> locales;
    SystemClock clock;
};

Program* program = nullptr;

void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// What a line says about its minute, as the history compares minutes.
struct Measurement {
    bool gap = false;
    double valueA = 0;
    double valueB = 0;
    int uncertaintyA = 0;
    int uncertaintyB = 0;
    QString unitA;
    QString unitB;
    bool operator==(const Measurement& other) const {
        return gap == other.gap && (gap || (valueA == other.valueA && valueB == other.valueB)) &&
               uncertaintyA == other.uncertaintyA && uncertaintyB == other.uncertaintyB && unitA == other.unitA &&
               unitB == other.unitB;
    }
};

Measurement MeasurementOf(const ArchiveEntry& e) {
    ArchiveRecord record;
    record.valueA = e.valueA;
    record.valueB = e.valueB;
    record.uncertaintyA = e.uncertaintyA;
    record.uncertaintyB = e.uncertaintyB;
    const std::optional<double> a = TryStrToFloat(e.valueA);
    const std::optional<double> b = TryStrToFloat(e.valueB);
    Require(a && b, "an imported value is a number", e.valueA + u'|' + e.valueB);
    return {IsEmptyRecord(record), *a, *b, e.uncertaintyA, e.uncertaintyB, e.unitA, e.unitB};
}

Measurement MeasurementOf(const HistoryRecord& r, const QString& unitA, const QString& unitB) {
    return {r.gap, r.a.value, r.b.value, r.a.uncertainty, r.b.uncertainty, unitA, unitB};
}

QString Describe(const Measurement& m) {
    return QStringLiteral("gap %1 A %2 %3 %4 B %5 %6 %7")
        .arg(static_cast<int>(m.gap))
        .arg(m.valueA)
        .arg(m.unitA)
        .arg(m.uncertaintyA)
        .arg(m.valueB)
        .arg(m.unitB)
        .arg(m.uncertaintyB);
}

// The file's lines as the reader numbers them: split at LF, a CR before it
// and a last empty line left out.
QStringList LinesOf(const QByteArray& bytes) {
    QStringList lines = Cp1251ToUnicode(bytes).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(u'\r')) line.chop(1);
    return lines;
}

// The uncertainty as it may stand in a line: one to three digits.
QStringList UncertaintyTexts(int percent) {
    QStringList texts;
    for (int width = 1; width <= 3; ++width) {
        const QString text = QStringLiteral("%1").arg(percent, width, 10, QLatin1Char('0'));
        if (text.size() == width) texts << text;
    }
    return texts;
}

// The moment the time text of a line stands for in a locale: the short date
// alone (midnight) or the short date, a blank and the long time.
bool ReadsAs(const QString& timeText, const QDateTime& time, const QLocale& locale) {
    if (ParseShortDate(timeText, locale) == time.date() && time.time() == QTime(0, 0)) return true;
    for (qsizetype blank = timeText.indexOf(u' '); blank > 0; blank = timeText.indexOf(u' ', blank + 1))
        if (ParseShortDate(timeText.left(blank), locale) == time.date() &&
            ParseLongTime(timeText.mid(blank + 1), locale) == time.time())
            return true;
    return false;
}

void CheckRecordLine(const QString& line, const ArchiveEntry& e) {
    Require(e.time.time().second() == 0 && e.time.time().msec() == 0, "a record's time is a whole minute", line);
    for (const QString& uncertaintyA : UncertaintyTexts(e.uncertaintyA)) {
        for (const QString& uncertaintyB : UncertaintyTexts(e.uncertaintyB)) {
            const QString tail = QStringLiteral("    %1 %2 \u00B1 %3 %     %4 %5 \u00B1 %6 %")
                                     .arg(e.valueA, e.unitA, uncertaintyA, e.valueB, e.unitB, uncertaintyB);
            if (line.size() <= tail.size() || !line.endsWith(tail)) continue;
            const QString timeText = line.left(line.size() - tail.size());
            for (const QLocale& locale : program->locales)
                if (ReadsAs(timeText, e.time, locale)) return;
        }
    }
    Broken("a record is its line's time, values, units and uncertainties", line);
}

using MinuteKey = std::pair<QString, std::int64_t>;

struct MinuteLines {
    std::vector<Measurement> distinct; // in the order the lines first brought them
    QDateTime time;
};

void CheckLines(const QStringList& lines, const ParsedArchiveText& parsed) {
    enum class Kind { Blank, Open, Record, Unreadable };
    std::vector<Kind> kinds(static_cast<std::size_t>(lines.size()), Kind::Open);
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].trimmed().isEmpty()) kinds[static_cast<std::size_t>(i)] = Kind::Blank;
    const auto take = [&](int line, Kind kind, const char* what) {
        Require(line >= 1 && line <= lines.size(), what, QString::number(line));
        Kind& k = kinds[static_cast<std::size_t>(line - 1)];
        Require(k == Kind::Open, "each non-blank line counts once", QString::number(line));
        k = kind;
    };
    Require(parsed.itemLines.size() == parsed.items.size(), "a line number for each record");
    for (const int line : parsed.itemLines) take(line, Kind::Record, "a record's line is in the file");
    for (const UnreadableLine& u : parsed.unreadable) {
        take(u.line, Kind::Unreadable, "an unreadable line is in the file");
        Require(!u.reason.isEmpty(), "an unreadable line has its reason", QString::number(u.line));
    }
    int titles = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (kinds[static_cast<std::size_t>(i)] != Kind::Open) continue;
        Require(lines[i].startsWith(QLatin1String("Report to ZIR ")) && lines[i].contains(QLatin1String(" on ")),
                "a line neither read nor unreadable is a report title", lines[i]);
        ++titles;
    }
    Require(titles <= parsed.titles, "the titles read are among the report titles");
    Require(parsed.items.empty() || parsed.titles > 0, "records come under a report title");
    for (std::size_t i = 0; i < parsed.items.size(); ++i)
        CheckRecordLine(lines[parsed.itemLines[i] - 1], parsed.items[i].entry);
}

void CheckHistory(THistoryStore& store, const ArchiveImportResult& result, const ParsedArchiveText& parsed) {
    std::map<MinuteKey, MinuteLines> minutes;
    int repeated = 0;
    for (const THistoryStore::ImportItem& item : parsed.items) {
        const Measurement m = MeasurementOf(item.entry);
        MinuteLines& minute = minutes[{item.address, MinuteOf(item.entry.time)}];
        minute.time = QDateTime(item.entry.time.date(), item.entry.time.time(), Qt::UTC);
        if (std::find(minute.distinct.begin(), minute.distinct.end(), m) != minute.distinct.end())
            ++repeated;
        else
            minute.distinct.push_back(m);
    }
    const int added = static_cast<int>(minutes.size());
    const int changed = static_cast<int>(parsed.items.size()) - repeated - added;
    Require(result.counts == StoreCounts{added, repeated, changed}, "new, known and changed as the lines give them",
            QStringLiteral("%1 %2 %3 <> %4 %5 %6")
                .arg(result.counts.added)
                .arg(result.counts.known)
                .arg(result.counts.changed)
                .arg(added)
                .arg(repeated)
                .arg(changed));
    Require(result.records() == static_cast<int>(parsed.items.size()), "the counts add up to the record lines read");

    QSet<QString> addresses;
    for (const auto& entry : minutes) addresses.insert(entry.first.first);
    const QStringList stored = store.Addresses();
    Require(QSet<QString>(stored.begin(), stored.end()) == addresses && stored.size() == addresses.size(),
            "the addresses of the file, each once", stored.join(u'|'));

    const QString source = QFileInfo(program->archivePath).absoluteFilePath();
    for (const QString& address : addresses) {
        std::int64_t first = 0, last = 0;
        bool any = false;
        std::size_t count = 0, revisions = 0;
        for (const auto& [key, minute] : minutes) {
            if (key.first != address) continue;
            first = any ? std::min(first, key.second) : key.second;
            last = any ? std::max(last, key.second) : key.second;
            any = true;
            ++count;
            revisions += minute.distinct.size() - 1;
        }
        const QDateTime from = TimeOfMinute(first), to = TimeOfMinute(last + 1);
        const HistorySeries series = store.Records(address, from, to);
        Require(store.ReadError().isEmpty(), "the records read back", store.ReadError());
        Require(series.records.size() == count, "one stored record per minute of the file", address);
        for (const HistoryRecord& r : series.records) {
            const auto it = minutes.find({address, r.minute});
            Require(it != minutes.end(), "a stored minute is a minute of the file", r.Time().toString(Qt::ISODate));
            const Measurement& expected = it->second.distinct.back();
            const Measurement read = MeasurementOf(r, series.UnitA(r), series.UnitB(r));
            Require(read == expected, "a minute reads back with its line's values",
                    Describe(read) + QStringLiteral(" <> ") + Describe(expected));
            Require(r.Time() == it->second.time, "a record reads back at its line's minute");
            Require(r.bank == -1 && !r.a.code && !r.b.code, "an imported record has no bank and no codes");
            const std::optional<HistorySource> origin = store.Source(r.source);
            Require(origin && origin->kind == HistorySource::Kind::Import && origin->detail == source,
                    "an imported record's source is the import of the file");
        }
        const std::vector<HistoryRevision> kept = store.Revisions(address, from, to);
        Require(kept.size() == revisions, "one revision per changed minute value", address);
        std::map<MinuteKey, std::size_t> nth;
        for (const HistoryRevision& revision : kept) {
            const MinuteKey key{address, revision.record.minute};
            const auto it = minutes.find(key);
            Require(it != minutes.end(), "a revision is of a minute of the file");
            const std::size_t n = nth[key]++;
            Require(n + 1 < it->second.distinct.size() &&
                        MeasurementOf(revision.record, revision.unitA, revision.unitB) == it->second.distinct[n],
                    "the revisions are the minute's earlier values in order");
        }
    }
}

void RemoveHistory() {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(program->historyPath + QLatin1String(suffix));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QByteArray folder = QFile::encodeName(base + QStringLiteral("/zir-fuzz-import-XXXXXX"));
    Require(mkdtemp(folder.data()) != nullptr, "a private folder");
    qInstallMessageHandler(Quiet);

    program = new Program;
    program->app = std::make_unique<QCoreApplication>(*argc, *argv);
    InitNumberFormats();
    program->folder = QFile::decodeName(folder);
    program->archivePath = program->folder + QStringLiteral("/Archive.txt");
    program->historyPath = program->folder + QStringLiteral("/history.sqlite");
    program->locales.emplace_back(QStringLiteral("ru_RU"));
    for (const QLocale& locale : ImportLocales()) program->locales.push_back(locale);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = Bytes(data, size);
    {
        QFile file(program->archivePath);
        Require(
            file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush(),
            "the file written for the run");
    }
    RemoveHistory();
    {
        THistoryStore store(program->historyPath, program->clock);
        const ArchiveImportResult result = ImportArchiveText(store, program->archivePath, program->locales);
        Require(result.ok, "the import reads the file and writes the history", result.error);
        const ParsedArchiveText parsed = ParseArchiveText(bytes, program->locales);
        Require(result.unreadable == parsed.unreadable, "the import reports the unreadable lines");
        CheckLines(LinesOf(bytes), parsed);
        CheckHistory(store, result, parsed);
    }
    RemoveHistory();
    return 0;
}

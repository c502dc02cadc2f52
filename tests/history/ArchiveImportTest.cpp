// Import of Archive.txt files that the program's own writer made (the
// outputs of a bank reading with the file ticked) in the C and ru_RU locales,
// with damaged lines; the choice of locale; the same file twice.
#include <gtest/gtest.h>

#include <QFile>

#include "archive/ArchiveTextFile.h"
#include "core/Clock.h"
#include "core/Cp1251.h"
#include "core/NumberText.h"
#include "device/BankLetter.h"
#include "history/ArchiveTextImport.h"
#include "history/HistoryTestSupport.h"
#include "tests/archive/ArchiveFakes.h"

namespace zir::test {
namespace {

inline void PrintTo(const UnreadableLine& l, std::ostream* os) { *os << l.line << ": " << l.reason.toStdString(); }

struct Minute5 {
    int index;
    std::uint16_t codeA;
    int uncA;
    std::uint16_t codeB;
    int uncB;
};

// Five minutes from 08:00, the third one empty.
const Minute5 kMinutes[] = {
    {480, 0x0400 | 123, 5, 0xF496, 12}, {481, 0x0064, 7, 0x007B, 9},         {482, 0, 0, 0, 255},
    {483, 0xF032, 30, 0x03FF, 1},       {484, 0xFC00 | 500, 2, 0x0096, 255},
};

// The records as the reading decodes them from the instrument's replies.
ArchiveRecord Decoded(std::uint8_t bank, const QDate& date, const Minute5& m) {
    const QByteArray reply = BuildFrame(kTestAddress, kHostAddress, 6, 0,
                                        RecordData(BankLetter(bank), m.index, m.codeA, m.uncA, m.codeB, m.uncB));
    return *DecodeRecord(reply, date);
}

// Appends one reading of 08:00 to 08:04 to appDir/Archive.txt through the
// program's outputs, with the times written in `locale`.
void WriteReading(const QString& appDir, const QString& address, std::uint8_t bank, const QDate& date,
                  const QLocale& locale, const QString& unitA, const QString& unitB,
                  const std::vector<Minute5>& minutes = {std::begin(kMinutes), std::end(kMinutes)}) {
    RecordingList list;
    RecordingStatus status;
    SystemClock clock;
    TArchiveReport report({list, status, appDir, {}, clock});
    const QString title = ReportTitle(address, date, TimeFilter{TimeLimitAt(480), TimeLimitAt(484)}, locale);
    ASSERT_TRUE(report.Start({title, bank, date, false, true}));
    report.ShowList();
    report.Heads(unitA, unitB);
    QString last;
    for (const Minute5& m : minutes) {
        const ArchiveRecord r = Decoded(bank, date, m);
        last = RecordLine(r, unitA, unitB, locale);
        report.Record(r, last, m.index, m.index - minutes.front().index + 3);
    }
    report.End(last, false);
}

void AppendBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write(bytes);
}

std::vector<QLocale> WithSystem(const QLocale& system) {
    std::vector<QLocale> locales{system};
    for (const QLocale& l : ImportLocales()) locales.push_back(l);
    return locales;
}

class ImportRig : public StoreRig {
public:
    QString appDir = dir.path() + QStringLiteral("/app/");
    QString file = appDir + kArchiveFileName;
    ImportRig() { QDir().mkpath(appDir); }
    // A block in C (bank 2, 17 May) and one in ru_RU (bank 3, 18 May), then
    // a line cut short and a line of another kind: lines 13 and 14.
    void WriteTwoLocalesAndDamage() {
        WriteReading(appDir, "1.2.3", 2, QDate(2024, 5, 17), QLocale::c(), "Bq", "1/s");
        WriteReading(appDir, " 1.2.3 ", 3, QDate(2024, 5, 18), QLocale("ru_RU"), QString::fromUtf8("мкЗв/ч"), "");
        AppendBytes(file, UnicodeToCp1251(QStringLiteral("18.05.2024 08:05:00    1.23 Bq \u00B1 5 %  ")) + "\r\n");
        AppendBytes(file, "Data file refreshed\r\n");
    }
};

TEST(ArchiveImport, ReadsTheProgramsOwnFileInTwoLocalesAndCountsDamagedLines) {
    for (const char* system : {"C", "ru_RU", "en_US"}) {
        SCOPED_TRACE(system);
        ImportRig rig;
        rig.WriteTwoLocalesAndDamage();
        const ArchiveImportResult result = ImportArchiveText(*rig.store, rig.file, WithSystem(QLocale(system)));
        ASSERT_TRUE(result.ok) << result.error.toStdString();
        EXPECT_EQ(result.counts, (StoreCounts{10, 0, 0}));
        ASSERT_EQ(result.unreadable.size(), 2u);
        EXPECT_EQ(result.unreadable[0].line, 13);
        EXPECT_EQ(result.unreadable[1].line, 14);
        EXPECT_EQ(ImportSummary(result),
                  "Archive.txt: 10 new, 0 already known, 0 changed; unreadable lines: 2 (13, 14)");

        for (const auto& [day, bank, unitA, unitB] : {std::tuple{17, 2, QStringLiteral("Bq"), QStringLiteral("1/s")},
                                                      std::tuple{18, 3, QString::fromUtf8("мкЗв/ч"), QString()}}) {
            const HistorySeries s = rig.store->Records("1.2.3", Minute(day, 0, 0), Minute(day + 1, 0, 0));
            ASSERT_EQ(s.records.size(), 5u);
            for (std::size_t i = 0; i < 5; ++i) {
                const HistoryRecord& r = s.records[i];
                const ArchiveRecord read = Decoded(static_cast<std::uint8_t>(bank), QDate(2024, 5, day), kMinutes[i]);
                EXPECT_EQ(r.Time(), Minute(day, 8, static_cast<int>(i)));
                EXPECT_EQ(r.bank, -1); // not in the file
                EXPECT_FALSE(r.a.code);
                EXPECT_EQ(r.gap, IsEmptyRecord(read));
                if (!r.gap) {
                    EXPECT_EQ(FloatToText(r.a.value), read.valueA);
                    EXPECT_EQ(FloatToText(r.b.value), read.valueB);
                }
                EXPECT_EQ(r.a.uncertainty, read.uncertaintyA);
                EXPECT_EQ(r.b.uncertainty, read.uncertaintyB);
                EXPECT_EQ(s.UnitA(r), unitA);
                EXPECT_EQ(s.UnitB(r), unitB);
            }
            const auto source = rig.store->Source(s.records[0].source);
            ASSERT_TRUE(source);
            EXPECT_EQ(source->kind, HistorySource::Kind::Import);
            EXPECT_EQ(source->detail, rig.file);
        }
        EXPECT_EQ(rig.store->Addresses(), QStringList{"1.2.3"});
    }
}

TEST(ArchiveImport, TheSameFileTwiceAddsNothing) {
    ImportRig rig;
    rig.WriteTwoLocalesAndDamage();
    // The same bank read again later with a changed minute: the later line wins.
    WriteReading(rig.appDir, "1.2.3", 2, QDate(2024, 5, 17), QLocale::c(), "Bq", "Sv");
    const auto first = ImportArchiveText(*rig.store, rig.file, WithSystem(QLocale::c()));
    EXPECT_EQ(first.counts, (StoreCounts{10, 0, 5}));
    Peek peek(rig.path);
    const qint64 sources = peek.Count("sources");
    const qint64 revisions = peek.Count("revisions");
    EXPECT_EQ(revisions, 5);

    const auto second = ImportArchiveText(*rig.store, rig.file, WithSystem(QLocale::c()));
    EXPECT_EQ(second.counts, (StoreCounts{0, 15, 0}));
    EXPECT_EQ(peek.Count("sources"), sources);
    EXPECT_EQ(peek.Count("revisions"), revisions);
    EXPECT_EQ(peek.Count("records"), 10);
    const HistorySeries s = rig.store->Records("1.2.3", Minute(17, 8, 0), Minute(17, 8, 1));
    EXPECT_EQ(s.UnitB(s.records.at(0)), "Sv");
}

TEST(ArchiveImport, WhatWasReadFromTheInstrumentWinsOverAFile) {
    ImportRig rig;
    const ArchiveEntry read = Reading(Minute(17, 8, 0), 0x0400 | 123, 5, 0xF496, 12);
    ArchiveEntry other = Imported(read);
    other.valueA = "99.9";
    // The same values from a file: known; the reading's bank and codes stay.
    rig.Read("1.2.3", {read});
    EXPECT_EQ(rig.store->Import("a.txt", {{"1.2.3", Imported(read)}}), (StoreCounts{0, 1, 0}));
    // Other values from a file: kept as a revision, the reading stays.
    EXPECT_EQ(rig.store->Import("b.txt", {{"1.2.3", other}}), (StoreCounts{0, 0, 1}));
    const HistorySeries s = rig.All("1.2.3");
    ASSERT_EQ(s.records.size(), 1u);
    EXPECT_EQ(s.records[0].a.code, 0x0400 | 123);
    EXPECT_EQ(s.records[0].bank, 3);
    const auto revisions = rig.store->Revisions("1.2.3", Minute(17, 0, 0), Minute(18, 0, 0));
    ASSERT_EQ(revisions.size(), 1u);
    EXPECT_DOUBLE_EQ(revisions[0].record.a.value, 99.9);
    EXPECT_EQ(rig.store->Source(revisions[0].record.source)->kind, HistorySource::Kind::Import);
    // The file again: nothing new.
    EXPECT_EQ(rig.store->Import("b.txt", {{"1.2.3", other}}), (StoreCounts{0, 1, 0}));

    // An import first, then a reading of the same values: it adds bank and codes.
    const ArchiveEntry later = Reading(Minute(17, 9, 0), 100, 1, 200, 2);
    EXPECT_EQ(rig.store->Import("c.txt", {{"1.2.3", Imported(later)}}), (StoreCounts{1, 0, 0}));
    const int reading = rig.Read("1.2.3", {later});
    EXPECT_EQ(rig.store->ReadingCounts(reading), (StoreCounts{0, 1, 0}));
    const HistorySeries t = rig.store->Records("1.2.3", Minute(17, 9, 0), Minute(17, 9, 1));
    EXPECT_EQ(t.records.at(0).a.code, 100);
    EXPECT_EQ(t.records.at(0).bank, 3);
}

// A block written in `locale` on `date` as the importer reads it with `system`.
ParsedArchiveText ParseWritten(const QLocale& written, const QDate& date, const QLocale& system,
                               const std::vector<Minute5>& minutes) {
    ImportRig rig;
    WriteReading(rig.appDir, "1.2.3", 2, date, written, "Bq", "Bq", minutes);
    QFile f(rig.file);
    f.open(QIODevice::ReadOnly);
    return ParseArchiveText(f.readAll(), WithSystem(system));
}

TEST(ArchiveImport, TheLocaleIsFoundButNeverGuessed) {
    const std::vector<Minute5> morning(std::begin(kMinutes), std::end(kMinutes));
    // Minute 0 is written as the date alone, without the time that tells
    // a 24-hour locale from one with AM/PM.
    const std::vector<Minute5> midnight = {{0, 100, 1, 100, 1}};
    struct Case {
        const char* written;
        QDate date;
        const char* system;
        const std::vector<Minute5>* minutes;
        QDate read; // invalid: every line unreadable
    };
    const Case cases[] = {
        {"en_GB", QDate(2024, 5, 17), "C", &morning, QDate(2024, 5, 17)},    // only dd/MM reads 17/05
        {"en_US", QDate(2024, 5, 17), "C", &morning, QDate(2024, 5, 17)},    // only M/d reads 5/17
        {"en_GB", QDate(2024, 5, 7), "C", &morning, QDate(2024, 5, 7)},      // only en_GB's times fit
        {"en_GB", QDate(2024, 5, 7), "C", &midnight, QDate()},               // 07/05/2024 alone: day and month swap
        {"en_GB", QDate(2024, 5, 7), "en_GB", &midnight, QDate(2024, 5, 7)}, // the system's own format is trusted
        {"en_US", QDate(2024, 5, 7), "en_US", &midnight, QDate(2024, 5, 7)},
        {"en_US", QDate(2024, 5, 7), "C", &morning, QDate(2024, 5, 7)},
        {"de_DE", QDate(2024, 5, 7), "C", &midnight, QDate(2024, 5, 7)}, // dd.MM.yy and dd.MM.yyyy agree
        {"ru_RU", QDate(2007, 12, 24), "en_US", &morning, QDate(2007, 12, 24)},
        {"ja_JP", QDate(2024, 5, 17), "C", &morning, QDate()}, // 2024/05/17 fits no known locale
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.written) + " read under " + c.system);
        const ParsedArchiveText parsed = ParseWritten(QLocale(c.written), c.date, QLocale(c.system), *c.minutes);
        if (!c.read.isValid()) {
            EXPECT_TRUE(parsed.items.empty());
            EXPECT_EQ(parsed.unreadable.size(), c.minutes->size() + 1);
            continue;
        }
        EXPECT_TRUE(parsed.unreadable.empty())
            << (parsed.unreadable.empty() ? "" : parsed.unreadable[0].reason.toStdString());
        ASSERT_EQ(parsed.items.size(), c.minutes->size());
        const int first = c.minutes->front().index;
        EXPECT_EQ(parsed.items[0].entry.time, QDateTime(c.read, QTime(first / 60, first % 60), Qt::UTC));
    }
}

TEST(ArchiveImport, LinesThatDoNotReadAreCountedWithTheirNumbers) {
    const QString title = "Report to ZIR 1.2.3 on 24.12.2007 from 08:00";
    const QString good = "24.12.2007 08:05:00    1.23 Bq \u00B1 5 %     0 Bq \u00B1 255 %";
    struct Case {
        QString line;
        bool readable;
    };
    const Case cases[] = {
        {good, true},
        {"24.12.2007 8:06:00    1.23 Bq \u00B1 5 %     0  \u00B1 0 %", true},       // one-digit hour, no unit B
        {"24.12.2007    5E-5 \u00B5Sv/h \u00B1 5 %     10.23 Bq \u00B1 0 %", true}, // midnight: the date alone
        {"24.12.2007 08:05:30    1.23 Bq \u00B1 5 %     0 Bq \u00B1 255 %", false}, // not a whole minute
        {"23.12.2007 08:05:00    1.23 Bq \u00B1 5 %     0 Bq \u00B1 255 %", false}, // before the title's day
        {"31.12.2007 08:05:00    1.23 Bq \u00B1 5 %     0 Bq \u00B1 255 %", false}, // a week after it
        {"24.12.2007 08:05:00    1,23 Bq \u00B1 5 %     0 Bq \u00B1 255 %", false}, // decimal comma
        {"24.12.2007 08:05:00    1.23 Bq \u00B1 300 %     0 Bq \u00B1 255 %", false},
        {"24.12.2007 08:05:00    1.23 Bq \u00B1 5 %", false},
        {"24/12/2007 08:05:00    1.23 Bq \u00B1 5 %     0 Bq \u00B1 255 %", false}, // another locale's date
        {"", true},                                                                 // blank lines are skipped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        const QByteArray bytes = UnicodeToCp1251(title + "\r\n" + good + "\r\n" + c.line + "\r\n");
        const ParsedArchiveText parsed = ParseArchiveText(bytes, WithSystem(QLocale::c()));
        const bool blank = c.line.isEmpty();
        EXPECT_EQ(parsed.items.size(), c.readable && !blank ? 2u : 1u);
        EXPECT_EQ(parsed.unreadable.size(), c.readable ? 0u : 1u);
        if (!c.readable && !parsed.unreadable.empty()) {
            EXPECT_EQ(parsed.unreadable[0].line, 3);
        }
    }
    const ParsedArchiveText noTitle =
        ParseArchiveText(UnicodeToCp1251(good + "\r\n" + title + "\r\n" + good), WithSystem(QLocale::c()));
    ASSERT_EQ(noTitle.unreadable.size(), 1u);
    EXPECT_EQ(noTitle.unreadable[0], (UnreadableLine{1, "a record line before any report title"}));
    EXPECT_EQ(noTitle.items.size(), 1u); // the last line has no CR LF and still counts
}

TEST(ArchiveImport, AFileThatCannotBeReadOrStoredSaysWhy) {
    ImportRig rig;
    const auto missing = ImportArchiveText(*rig.store, rig.dir.path() + "/none.txt");
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.error.contains("none.txt"));

    rig.WriteTwoLocalesAndDamage();
    THistoryStore broken("/proc/history.sqlite", rig.clock);
    const auto unstored = ImportArchiveText(broken, rig.file);
    EXPECT_FALSE(unstored.ok);
    EXPECT_TRUE(unstored.error.contains("/proc/history.sqlite")) << unstored.error.toStdString();
}

} // namespace
} // namespace zir::test

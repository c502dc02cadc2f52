// The history store on a real SQLite file: store and read back, the same
// minute twice, revisions, gaps, current readings, the batches of at most a
// second, and the files it cannot use (read-only folder, damaged, locked,
// newer schema).
#include <gtest/gtest.h>

#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

#include "history/HistoryTestSupport.h"
#include "support/Files.h"

namespace zir::test {
namespace {

const QString kAddress = QStringLiteral("1.2.3");

TEST(HistoryPath, FollowsXdgDataHome) {
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/data");
    EXPECT_EQ(HistoryFilePath(), "/data/zir/history.sqlite");
    qputenv("XDG_DATA_HOME", "relative");
    EXPECT_EQ(HistoryFilePath(), QDir::homePath() + "/.local/share/zir/history.sqlite");
    qputenv("XDG_DATA_HOME", saved);
}

TEST(HistoryTime, MinutesAndMillisecondsCountTheWallClockFrom1970) {
    struct Case {
        QDateTime time;
        std::int64_t minute;
    };
    const Case cases[] = {
        {QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC), 0},
        {QDateTime(QDate(1970, 1, 2), QTime(0, 1), Qt::UTC), 1441},
        {QDateTime(QDate(1969, 12, 31), QTime(23, 59), Qt::UTC), -1},
        {QDateTime(QDate(2007, 12, 24), QTime(8, 5), Qt::UTC), 13871 * 1440 + 485},
        // A local time on the day clocks change keeps its wall-clock minute.
        {QDateTime(QDate(2024, 3, 31), QTime(2, 30), Qt::LocalTime), 19813 * 1440 + 150},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MinuteOf(c.time), c.minute) << c.time.toString().toStdString();
        EXPECT_EQ(TimeOfMinute(c.minute), QDateTime(c.time.date(), c.time.time(), Qt::UTC));
    }
    const QDateTime t(QDate(2024, 5, 18), QTime(9, 30, 15, 250), Qt::LocalTime);
    EXPECT_EQ(TimeOfMillisecond(MillisecondOf(t)), QDateTime(t.date(), t.time(), Qt::UTC));
}

TEST(HistoryStore, NewFileIsWalWithTheSchemaVersion) {
    StoreRig rig("sub/folder/history.sqlite");
    ASSERT_TRUE(rig.store->Open()) << rig.store->TakeProblem().toStdString();
    Peek peek(rig.path);
    EXPECT_EQ(peek.Scalar("PRAGMA user_version").toInt(), kHistorySchemaVersion);
    EXPECT_EQ(peek.Scalar("PRAGMA journal_mode").toString(), "wal");
    EXPECT_EQ(peek.Count("records"), 0);
}

TEST(HistoryStore, StoresAReadingAndReadsItBack) {
    StoreRig rig;
    const std::vector<ArchiveEntry> entries = {
        Reading(Minute(17, 8, 0), 0x0400 | 123, 5, 0xF496, 12),
        Reading(Minute(17, 8, 1), 0, 0, 0, 255), // empty record
        Reading(Minute(17, 8, 2), 0xF032, 7, 0x03FF, 0, QString::fromUtf8("мкЗв/ч"), "cps"),
    };
    const int reading = rig.Read(" 1.2.3 ", entries, "Report to ZIR 1.2.3 on 17.05.24 from 08:00");
    EXPECT_EQ(rig.store->ReadingCounts(reading), (StoreCounts{3, 0, 0}));
    EXPECT_EQ(rig.store->TakeProblem(), "");

    const HistorySeries series = rig.All(kAddress);
    ASSERT_EQ(series.records.size(), 3u);
    const HistoryRecord& first = series.records[0];
    EXPECT_EQ(first.Time(), Minute(17, 8, 0));
    EXPECT_EQ(first.bank, 3);
    EXPECT_FALSE(first.gap);
    EXPECT_EQ(first.a.code, 0x0400 | 123);
    EXPECT_DOUBLE_EQ(first.a.value, 12.3);
    EXPECT_EQ(first.a.uncertainty, 5);
    EXPECT_EQ(series.UnitA(first), "Bq");
    EXPECT_EQ(first.b.code, 0xF496);
    EXPECT_DOUBLE_EQ(first.b.value, 0.0015);
    EXPECT_EQ(first.b.uncertainty, 12);
    EXPECT_EQ(series.UnitB(first), "1/s");

    EXPECT_TRUE(series.records[1].gap);
    EXPECT_EQ(series.records[1].b.uncertainty, 255);
    EXPECT_EQ(series.records[1].a.code, 0);

    const HistoryRecord& third = series.records[2];
    EXPECT_DOUBLE_EQ(third.a.value, 5E-5);
    EXPECT_DOUBLE_EQ(third.b.value, 10.23);
    EXPECT_EQ(series.UnitA(third), QString::fromUtf8("мкЗв/ч"));
    EXPECT_EQ(series.UnitB(third), "cps");

    // The plot's query: the same values without bank, codes and source.
    const HistorySeries values =
        rig.store->Records(kAddress, Minute(17, 0, 0), Minute(18, 0, 0), THistoryStore::Detail::Values);
    ASSERT_EQ(values.records.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        HistoryRecord expected = series.records[i];
        expected.bank = -1;
        expected.a.code.reset();
        expected.b.code.reset();
        expected.source = 0;
        expected.a.unit = 0;
        expected.b.unit = 0;
        HistoryRecord got = values.records[i];
        EXPECT_EQ(values.UnitA(got), series.UnitA(series.records[i]));
        EXPECT_EQ(values.UnitB(got), series.UnitB(series.records[i]));
        got.a.unit = 0;
        got.b.unit = 0;
        EXPECT_EQ(got, expected) << i;
    }

    const auto source = rig.store->Source(first.source);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->kind, HistorySource::Kind::Reading);
    EXPECT_EQ(source->detail, "Report to ZIR 1.2.3 on 17.05.24 from 08:00");
    EXPECT_EQ(source->at, QDateTime(rig.clock.Now().date(), rig.clock.Now().time(), Qt::UTC));

    EXPECT_EQ(rig.store->Addresses(), QStringList{kAddress});
    const auto span = rig.store->RecordSpan(kAddress);
    ASSERT_TRUE(span);
    EXPECT_EQ(span->first, Minute(17, 8, 0));
    EXPECT_EQ(span->second, Minute(17, 8, 2));
    EXPECT_TRUE(rig.All("9.9.9").records.empty());
}

TEST(HistoryStore, RangeIsFromInclusiveToExclusivePerAddress) {
    StoreRig rig;
    rig.Read(kAddress, {Reading(Minute(17, 23, 59), 100, 1, 100, 1), Reading(Minute(18, 0, 0), 200, 1, 200, 1),
                        Reading(Minute(18, 0, 1), 300, 1, 300, 1)});
    rig.Read("4.5.6", {Reading(Minute(18, 0, 0), 400, 1, 400, 1)});
    const HistorySeries day = rig.store->Records(kAddress, Minute(18, 0, 0), Minute(18, 0, 1));
    ASSERT_EQ(day.records.size(), 1u);
    EXPECT_EQ(day.records[0].a.code, 200);
    EXPECT_EQ(rig.store->Records("4.5.6", Minute(17, 0, 0), Minute(19, 0, 0)).records.size(), 1u);
    EXPECT_EQ(rig.store->Addresses(), QStringList({"1.2.3", "4.5.6"}));
}

TEST(HistoryStore, TheSameMinuteReadAgainIsNotDuplicated) {
    StoreRig rig;
    const std::vector<ArchiveEntry> entries = {Reading(Minute(17, 8, 0), 100, 5, 200, 6),
                                               Reading(Minute(17, 8, 1), 0, 0, 0, 0)};
    rig.Read(kAddress, entries);
    const int again = rig.Read(kAddress, entries);
    EXPECT_EQ(rig.store->ReadingCounts(again), (StoreCounts{0, 2, 0}));
    EXPECT_EQ(rig.All(kAddress).records.size(), 2u);
    EXPECT_TRUE(rig.store->Revisions(kAddress, Minute(1, 0, 0), Minute(30, 0, 0)).empty());
}

TEST(HistoryStore, ADifferentValueWinsAndTheOldOneBecomesARevision) {
    struct Case {
        const char* what;
        ArchiveEntry newer;
    };
    const ArchiveEntry older = Reading(Minute(17, 8, 0), 100, 5, 200, 6);
    const Case cases[] = {
        {"value A", Reading(Minute(17, 8, 0), 101, 5, 200, 6)},
        {"uncertainty B", Reading(Minute(17, 8, 0), 100, 5, 200, 7)},
        {"unit A", Reading(Minute(17, 8, 0), 100, 5, 200, 6, "Sv")},
        {"bank", Reading(Minute(17, 8, 0), 100, 5, 200, 6, "Bq", "1/s", 4)},
        {"empty record", Reading(Minute(17, 8, 0), 0, 0, 0, 255)},
        // The same value 1 under another code is another reply.
        {"code", Reading(Minute(17, 8, 0), 0x0400 | 10, 5, 200, 6)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StoreRig rig;
        rig.Read(kAddress, {older});
        rig.clock.wallAtZero = rig.clock.wallAtZero.addDays(14);
        const int newer = rig.Read(kAddress, {c.newer}, "second reading");
        EXPECT_EQ(rig.store->ReadingCounts(newer), (StoreCounts{0, 0, 1}));

        const HistorySeries now = rig.All(kAddress);
        ASSERT_EQ(now.records.size(), 1u);
        EXPECT_EQ(now.records[0].a.code, c.newer.codeA);
        EXPECT_EQ(now.records[0].b.uncertainty, c.newer.uncertaintyB);
        EXPECT_EQ(now.UnitA(now.records[0]), c.newer.unitA);
        EXPECT_EQ(now.records[0].bank, c.newer.bank);

        const auto revisions = rig.store->Revisions(kAddress, Minute(17, 0, 0), Minute(18, 0, 0));
        ASSERT_EQ(revisions.size(), 1u);
        EXPECT_EQ(revisions[0].record.a.code, 100);
        EXPECT_EQ(revisions[0].record.b.uncertainty, 6);
        EXPECT_EQ(revisions[0].unitA, "Bq");
        EXPECT_EQ(revisions[0].record.bank, 3);
        EXPECT_EQ(revisions[0].supersededBy, now.records[0].source);
        EXPECT_NE(revisions[0].record.source, now.records[0].source);
        EXPECT_EQ(rig.store->Source(now.records[0].source)->detail, "second reading");
    }
}

TEST(HistoryStore, AnEmptyRecordIsAGapNotAZero) {
    struct Case {
        std::uint16_t codeA;
        int uncA;
        std::uint16_t codeB;
        int uncB;
        bool gap;
    };
    const Case cases[] = {
        {0, 0, 0, 0, true},     {0, 255, 0, 0, true},    {0, 0, 0, 255, true},
        {0, 255, 0, 255, true}, {0, 0, 0, 7, false},     {0x0400, 0, 0, 0, true}, // mantissa 0 reads "0"
        {100, 0, 0, 0, false},  {0, 0, 100, 255, false},
    };
    StoreRig rig;
    std::vector<ArchiveEntry> entries;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        entries.push_back(Reading(Minute(17, 0, static_cast<int>(i)), c.codeA, c.uncA, c.codeB, c.uncB));
    }
    rig.Read(kAddress, entries);
    const HistorySeries series = rig.All(kAddress);
    ASSERT_EQ(series.records.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(series.records[i].gap, cases[i].gap) << i;
        EXPECT_EQ(series.records[i].a.uncertainty, cases[i].uncA) << i;
        EXPECT_EQ(series.records[i].a.code, cases[i].codeA) << i;
    }
    Peek peek(rig.path);
    EXPECT_EQ(peek.Scalar("SELECT COUNT(*) FROM records WHERE value_a IS NULL AND value_b IS NULL").toInt(), 5);
}

TEST(HistoryStore, CurrentReadingsAreASecondSeries) {
    StoreRig rig;
    QSignalSpy committed(rig.store.get(), &THistoryStore::CurrentCommitted);
    const QDateTime at(QDate(2024, 5, 18), QTime(9, 30, 15, 120), Qt::LocalTime);
    rig.store->AddCurrent(" 1.2.3", {at, 0xF496, 0x007B, 12, 5, "", "1/s"});
    rig.store->AddCurrent(kAddress, {at.addSecs(10), 0x0064, 0x0096, 1, 2, "Bq", "Bq"});
    EXPECT_EQ(rig.store->StagedCount(), 0); // each one committed at once
    ASSERT_EQ(committed.size(), 2);
    EXPECT_EQ(committed[0][1].toDateTime(), QDateTime(at.date(), at.time(), Qt::UTC));

    const CurrentSeries series = rig.store->CurrentReadings(kAddress, Minute(18, 0, 0), Minute(19, 0, 0));
    ASSERT_EQ(series.readings.size(), 2u);
    EXPECT_EQ(series.readings[0].Time(), QDateTime(at.date(), at.time(), Qt::UTC));
    EXPECT_DOUBLE_EQ(series.readings[0].a.value, 0.0015);
    EXPECT_EQ(series.readings[0].a.uncertainty, 12);
    EXPECT_DOUBLE_EQ(series.readings[0].b.value, 1.23);
    EXPECT_EQ(series.units[series.readings[0].a.unit], "");
    EXPECT_EQ(series.units[series.readings[0].b.unit], "1/s");
    EXPECT_DOUBLE_EQ(series.readings[1].b.value, 1.5);
    EXPECT_EQ(rig.store->Addresses(), QStringList{kAddress});
    EXPECT_TRUE(rig.All(kAddress).records.empty());
}

TEST(HistoryStore, BatchesAreCommittedOnceTheOldestRecordIsASecondOld) {
    StoreRig rig;
    Peek peek(rig.path);
    QSignalSpy committed(rig.store.get(), &THistoryStore::RecordsCommitted);
    const int reading = rig.store->BeginReading("title");
    struct Step {
        std::int64_t ms;
        int stagedAfter;
        qint64 rowsAfter;
    };
    // Records every 276 ms; the fifth arrives 1104 ms after the first.
    const Step steps[] = {{0, 1, 0}, {276, 2, 0}, {552, 3, 0}, {828, 4, 0}, {1104, 0, 5}, {1380, 1, 5}};
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        rig.clock.now = steps[i].ms;
        rig.store->AddRecord(reading, kAddress, Reading(Minute(17, 8, static_cast<int>(i)), 100, 1, 100, 1));
        EXPECT_EQ(rig.store->StagedCount(), steps[i].stagedAfter) << i;
        EXPECT_EQ(peek.Count("records"), steps[i].rowsAfter) << i;
    }
    rig.clock.now = 2000;
    rig.store->CommitIfDue(); // the sixth is 620 ms old
    EXPECT_EQ(rig.store->StagedCount(), 1);
    rig.clock.now = 2380;
    rig.store->CommitIfDue();
    EXPECT_EQ(peek.Count("records"), 6);
    ASSERT_EQ(committed.size(), 2);
    EXPECT_EQ(committed[0][0].toString(), kAddress);
    EXPECT_EQ(committed[0][1].toDateTime(), Minute(17, 8, 0));
    EXPECT_EQ(committed[0][2].toDateTime(), Minute(17, 8, 4));
    EXPECT_EQ(rig.store->ReadingCounts(reading), (StoreCounts{6, 0, 0}));
}

TEST(HistoryStore, WhatIsStagedIsCommittedWhenTheStoreCloses) {
    StoreRig rig;
    const int reading = rig.store->BeginReading("title");
    rig.store->AddRecord(reading, kAddress, Reading(Minute(17, 8, 0), 100, 1, 100, 1));
    rig.store.reset();
    EXPECT_EQ(Peek(rig.path).Count("records"), 1);
}

TEST(HistoryStore, AFolderThatCannotBeWrittenKeepsTheRecordsAndTellsOnce) {
    // Root may write anywhere it has permission bits for; /proc takes no new
    // files from anyone, so it stands in for a read-only folder.
    const QString path =
        geteuid() == 0 ? QStringLiteral("/proc/history.sqlite") : QStringLiteral("/proc/zir-test/history.sqlite");
    VirtualClock clock;
    THistoryStore store(path, clock);
    const int reading = store.BeginReading("title");
    store.AddRecord(reading, kAddress, Reading(Minute(17, 8, 0), 100, 1, 100, 1));
    EXPECT_FALSE(store.Commit());
    EXPECT_EQ(store.StagedCount(), 1); // kept for a later try
    const QString told = store.TakeProblem();
    EXPECT_TRUE(told.contains(path)) << told.toStdString();
    EXPECT_TRUE(told.contains("could not be opened")) << told.toStdString();
    EXPECT_FALSE(store.Commit());
    EXPECT_EQ(store.TakeProblem(), ""); // the same cause is told once
    EXPECT_TRUE(store.Records(kAddress, Minute(1, 0, 0), Minute(30, 0, 0)).records.empty());
    EXPECT_FALSE(store.ReadError().isEmpty());
}

TEST(HistoryStore, AReadOnlyFolderForAnOrdinaryUser) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    StoreRig rig;
    QFile::setPermissions(rig.dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(rig.store->Open());
    const QString told = rig.store->TakeProblem();
    EXPECT_TRUE(told.contains(rig.path) && told.contains("not writable")) << told.toStdString();
    QFile::setPermissions(rig.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(HistoryStore, ADamagedFileIsSetAsideAndANewOneStarted) {
    struct Case {
        const char* what;
        std::function<void(const QString& path)> damage;
    };
    const Case cases[] = {
        {"not a database",
         [](const QString& path) {
             QFile f(path);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray(8192, 'x'));
         }},
        {"a broken page",
         [](const QString& path) {
             {
                 VirtualClock clock;
                 THistoryStore store(path, clock);
                 std::vector<ArchiveEntry> entries;
                 const int reading = store.BeginReading("title");
                 for (int i = 0; i < 1440; ++i)
                     store.AddRecord(reading, kAddress, Reading(Minute(17, 0, 0).addSecs(60 * i), 100, 1, 100, 1));
                 ASSERT_TRUE(store.Commit());
             }
             // Pages after the first are the tables' trees; spoil one in the middle.
             QFile f(path);
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             ASSERT_GT(f.size(), 4 * 4096);
             f.seek(3 * 4096);
             f.write(QByteArray(4096, '\x5A'));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StoreRig rig;
        c.damage(rig.path);
        const QByteArray damagedBytes = ReadFileBytes(rig.path);
        rig.clock.wallAtZero = QDateTime(QDate(2024, 5, 18), QTime(9, 30, 15));
        rig.Read(kAddress, {Reading(Minute(18, 9, 0), 100, 1, 100, 1)});
        const QString aside = rig.path + ".damaged-20240518-093015";
        EXPECT_TRUE(ReadFileBytes(aside) == damagedBytes); // kept as it was
        const QString told = rig.store->TakeProblem();
        EXPECT_TRUE(told.contains(rig.path) && told.contains(aside) && told.contains("damaged")) << told.toStdString();
        EXPECT_EQ(rig.All(kAddress).records.size(), 1u);
        EXPECT_EQ(Peek(rig.path).Scalar("PRAGMA integrity_check").toString(), "ok");
    }
}

TEST(HistoryStore, AFileOfANewerSchemaIsLeftAlone) {
    StoreRig rig;
    {
        Peek peek(rig.path);
        ASSERT_TRUE(peek.Exec("PRAGMA user_version = 99"));
    }
    const QByteArray before = ReadFileBytes(rig.path);
    EXPECT_FALSE(rig.store->Open());
    EXPECT_TRUE(rig.store->TakeProblem().contains("newer version"));
    EXPECT_TRUE(ReadFileBytes(rig.path) == before);
    EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files), QStringList{"history.sqlite"});
}

TEST(HistoryStore, ALockedFileKeepsTheRecordsUntilItIsFree) {
    StoreRig rig;
    ASSERT_TRUE(rig.store->Open());
    auto other = std::make_unique<Peek>(rig.path);
    ASSERT_TRUE(other->Exec("BEGIN IMMEDIATE"));
    const int reading = rig.store->BeginReading("title");
    rig.store->AddRecord(reading, kAddress, Reading(Minute(17, 8, 0), 100, 1, 100, 1));
    EXPECT_FALSE(rig.store->Commit()); // waits out the busy timeout
    EXPECT_EQ(rig.store->StagedCount(), 1);
    other->Exec("ROLLBACK");
    other.reset();
    EXPECT_TRUE(rig.store->Commit());
    EXPECT_EQ(rig.All(kAddress).records.size(), 1u);
    EXPECT_EQ(rig.store->TakeProblem(), ""); // nothing was lost in the end
}

TEST(HistoryStore, AfterAFailureTheNextTryWaitsSoAReadingIsNotSlowedDown) {
    VirtualClock clock;
    THistoryStore store("/proc/history.sqlite", clock);
    const int reading = store.BeginReading("title");
    store.AddRecord(reading, kAddress, Reading(Minute(17, 8, 0), 100, 1, 100, 1));
    EXPECT_FALSE(store.Commit());
    store.TakeProblem();
    // Further records stage without a new try until 30 s have passed.
    for (int i = 1; i <= 100; ++i) {
        clock.now = 276 * i;
        store.AddRecord(reading, kAddress, Reading(Minute(17, 8, i), 100, 1, 100, 1));
    }
    EXPECT_EQ(store.StagedCount(), 101);
    EXPECT_EQ(store.TakeProblem(), "");
}

} // namespace
} // namespace zir::test

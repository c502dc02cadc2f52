// The CSV export byte for byte, and the history as one more output of a
// bank reading (the decorator of the reading's outputs).
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>

#include "history/HistoryCsv.h"
#include "history/HistoryReport.h"
#include "history/HistoryTestSupport.h"
#include "tests/archive/ArchiveFakes.h"

namespace zir::test {
namespace {

// 17 May 08:00-08:02 of 1.2.3 from a reading, 08:00 of 4.5.6 from a file.
void FillForCsv(StoreRig& rig) {
    rig.Read("1.2.3", {Reading(Minute(17, 8, 0), 0x0400 | 123, 5, 0xF496, 12), Reading(Minute(17, 8, 1), 0, 0, 0, 255),
                       Reading(Minute(17, 8, 2), 0xF032, 7, 0x03FF, 0, "a,\"b", "1/s")});
    ArchiveEntry imported = Imported(Reading(Minute(17, 8, 0), 0x0096, 3, 0, 0, QString::fromUtf8("мк"), "Bq"));
    ASSERT_TRUE(rig.store->Import("Archive.txt", {{"4.5.6", imported}}));
}

const QByteArray kHeader = "time,address,bank,value_a,unit_a,uncertainty_a,value_b,unit_b,uncertainty_b\r\n";
const QByteArray kRows123 =
    "2024-05-17T08:00,1.2.3,3,12.3,Bq,5,0.0015,1/s,12\r\n"
    "2024-05-17T08:01,1.2.3,3,,Bq,0,,1/s,255\r\n"
    "2024-05-17T08:02,1.2.3,3,5E-5,\"a,\"\"b\",7,10.23,1/s,0\r\n";
const QByteArray kRow456 = "2024-05-17T08:00,4.5.6,,1.5,\xD0\xBC\xD0\xBA,3,0,Bq,0\r\n";

QByteArray Csv(THistoryStore& store, const QString& address, const QDateTime& from, const QDateTime& to) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString error;
    EXPECT_TRUE(WriteHistoryCsv(store, buffer, address, from, to, &error)) << error.toStdString();
    return buffer.data();
}

TEST(HistoryCsv, ByteForByte) {
    StoreRig rig;
    FillForCsv(rig);
    // Numbers keep "." whatever the default locale says.
    QLocale::setDefault(QLocale("de_DE"));
    struct Case {
        const char* address;
        QDateTime from, to;
        QByteArray expected;
    };
    const Case cases[] = {
        {"1.2.3", Minute(17, 0, 0), Minute(18, 0, 0), kHeader + kRows123},
        {" 1.2.3 ", Minute(17, 8, 1), Minute(17, 8, 2), kHeader + "2024-05-17T08:01,1.2.3,3,,Bq,0,,1/s,255\r\n"},
        {"", Minute(1, 0, 0), Minute(31, 0, 0), kHeader + kRows123 + kRow456},
        {"4.5.6", Minute(17, 8, 0), Minute(17, 8, 1), kHeader + kRow456},
        {"1.2.3", Minute(18, 0, 0), Minute(19, 0, 0), kHeader},
        {"7.7.7", Minute(1, 0, 0), Minute(31, 0, 0), kHeader},
    };
    for (const Case& c : cases) EXPECT_EQ(Csv(*rig.store, c.address, c.from, c.to), c.expected) << c.address;
    QLocale::setDefault(QLocale::c());
}

TEST(HistoryCsv, AYearSpansMonthsWithoutLosingARow) {
    StoreRig rig;
    std::vector<ArchiveEntry> entries;
    for (int day = 0; day < 400; day += 7)
        entries.push_back(Reading(QDateTime(QDate(2023, 1, 1).addDays(day), QTime(23, 59), Qt::UTC), 100, 1, 100, 1));
    rig.Read("1.2.3", entries);
    const QByteArray csv = Csv(*rig.store, "1.2.3", QDateTime(QDate(2023, 1, 1), QTime(0, 0), Qt::UTC),
                               QDateTime(QDate(2024, 3, 1), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(csv.count("\r\n"), static_cast<qsizetype>(entries.size()) + 1);
    EXPECT_TRUE(csv.contains("2024-02-04T23:59,1.2.3,3,1,Bq,1,1,1/s,1\r\n"));
}

TEST(HistoryCsv, ToAFileWholeOrNotAtAll) {
    StoreRig rig;
    FillForCsv(rig);
    const QString path = rig.dir.path() + "/export.csv";
    QString error;
    EXPECT_EQ(ExportHistoryCsv(*rig.store, path, "1.2.3", Minute(17, 0, 0), Minute(18, 0, 0), &error), 3);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), kHeader + kRows123);

    EXPECT_EQ(ExportHistoryCsv(*rig.store, "/proc/export.csv", "1.2.3", Minute(17, 0, 0), Minute(18, 0, 0), &error),
              -1);
    EXPECT_TRUE(error.contains("/proc/export.csv")) << error.toStdString();

    THistoryStore broken("/proc/history.sqlite", rig.clock);
    EXPECT_EQ(ExportHistoryCsv(broken, path, "1.2.3", Minute(17, 0, 0), Minute(18, 0, 0), &error), -1);
    EXPECT_TRUE(error.contains("/proc/history.sqlite")) << error.toStdString();
    f.seek(0);
    EXPECT_EQ(f.readAll(), kHeader + kRows123); // the earlier export is still whole
}

ArchiveRecord Rec(int minute, std::uint16_t codeA, int uncA, std::uint16_t codeB, int uncB,
                  const QDate& date = QDate(2024, 5, 17)) {
    const QByteArray reply =
        BuildFrame(kTestAddress, kHostAddress, 6, 0, RecordData('C', minute, codeA, uncA, codeB, uncB));
    return *DecodeRecord(reply, date);
}

// Outputs whose End fails, as a full disk makes the text file's close fail.
class FailingEnd final : public IArchiveReport {
public:
    int records = 0;
    bool Start(const ReportStart&) override { return true; }
    void ShowList() override {}
    void Heads(const QString&, const QString&) override {}
    void Record(const ArchiveRecord&, const QString&, int, int) override { ++records; }
    void End(const QString&, bool) override { throw EFileError("disk full"); }
    void Abandon() override {}
};

TEST(HistoryReport, EveryRecordGoesToTheHistoryAndOnToTheOutputs) {
    StoreRig rig;
    QStringList log;
    RecordingReport outputs(log);
    THistoryReport report(outputs, *rig.store, " 1.2.3 ");
    ASSERT_TRUE(report.Start({"Report to ZIR 1.2.3 on 17.05.24", 2, QDate(2024, 5, 17), false, false}));
    report.ShowList();
    report.Heads("Bq", "1/s");
    report.Record(Rec(480, 0x0400 | 123, 5, 0xF496, 12), "line 1", 480, 3);
    report.Record(Rec(481, 0, 0, 0, 255), "line 2", 481, 4);
    EXPECT_EQ(Peek(rig.path).Count("records"), 0); // within the batch's second
    report.End("line 2", false);
    EXPECT_EQ(log, QStringList({"start", "list", "heads Bq|1/s", "end"}));
    ASSERT_EQ(outputs.records.size(), 2u);
    EXPECT_EQ(report.Counts(), (StoreCounts{2, 0, 0}));

    const HistorySeries s = rig.All("1.2.3");
    ASSERT_EQ(s.records.size(), 2u);
    EXPECT_EQ(s.records[0].bank, 2);
    EXPECT_EQ(s.records[0].a.code, 0x0400 | 123);
    EXPECT_EQ(s.records[0].b.code, 0xF496);
    EXPECT_EQ(s.UnitA(s.records[0]), "Bq");
    EXPECT_EQ(s.UnitB(s.records[0]), "1/s");
    EXPECT_TRUE(s.records[1].gap);
    EXPECT_EQ(rig.store->Source(s.records[0].source)->detail, "Report to ZIR 1.2.3 on 17.05.24");

    // The whole archive: one report, a reading per bank.
    ASSERT_TRUE(report.Start({"second bank", 3, QDate(2024, 5, 18), false, false}));
    report.Heads("Bq", "1/s");
    report.Record(Rec(480, 100, 1, 100, 1, QDate(2024, 5, 18)), "line", 480, 3);
    report.End("line", false);
    EXPECT_EQ(report.Counts(), (StoreCounts{3, 0, 0}));
    EXPECT_EQ(Peek(rig.path).Count("sources"), 2);
}

// A minute that did not answer is a gap where the history holds nothing for
// it; a minute an earlier reading brought keeps its values. The outputs are
// told of it and of the count as well.
TEST(HistoryReport, UnansweredMinutesAreGapsWhereNothingIsKnown) {
    StoreRig rig;
    QStringList log;
    RecordingReport outputs(log);
    THistoryReport report(outputs, *rig.store, "1.2.3");
    const ReportStart start{"Report to ZIR 1.2.3 on 17.05.24", 2, QDate(2024, 5, 17), false, false};
    ASSERT_TRUE(report.Start(start));
    report.Heads("Bq", "1/s");
    report.Record(Rec(480, 0x0400 | 123, 5, 0xF496, 12), "line", 480, 3);
    report.End("line", false);

    ASSERT_TRUE(report.Start(start));
    report.Heads("Bq", "1/s");
    report.Unanswered(480); // read before: stays
    report.Unanswered(481); // never read: a gap
    report.Counted({0, 2});
    report.End("", false);

    EXPECT_EQ(outputs.unanswered, std::vector<int>({480, 481}));
    ASSERT_EQ(outputs.counts.size(), 1u);
    EXPECT_EQ(outputs.counts[0], (MinuteCount{0, 2}));
    const HistorySeries s = rig.All("1.2.3");
    ASSERT_EQ(s.records.size(), 2u);
    EXPECT_FALSE(s.records[0].gap);
    EXPECT_EQ(s.records[0].a.code, 0x0400 | 123);
    EXPECT_TRUE(s.records[1].gap);
    EXPECT_EQ(s.records[1].Time(), QDateTime(QDate(2024, 5, 17), QTime(8, 1), Qt::UTC));
    EXPECT_EQ(s.records[1].bank, 2);
    EXPECT_FALSE(s.records[1].a.code.has_value());
    EXPECT_EQ(s.UnitA(s.records[1]), "Bq");
    EXPECT_EQ(report.Counts(), (StoreCounts{2, 1, 0}));
    EXPECT_TRUE(rig.store
                    ->Revisions("1.2.3", QDateTime(QDate(2024, 5, 17), QTime(0, 0), Qt::UTC),
                                QDateTime(QDate(2024, 5, 18), QTime(0, 0), Qt::UTC))
                    .empty());

    // A later reading that gets the minute: its values replace the gap.
    ASSERT_TRUE(report.Start(start));
    report.Heads("Bq", "1/s");
    report.Record(Rec(481, 100, 1, 100, 1), "line", 481, 3);
    report.End("line", false);
    EXPECT_FALSE(rig.All("1.2.3").records.at(1).gap);
}

TEST(HistoryReport, ARefusedStartStoresNothing) {
    StoreRig rig;
    QStringList log;
    RecordingReport outputs(log);
    outputs.refuseStart = true;
    THistoryReport report(outputs, *rig.store, "1.2.3");
    EXPECT_FALSE(report.Start({"title", 2, QDate(2024, 5, 17), true, false}));
    EXPECT_EQ(rig.store->StagedCount(), 0);
    EXPECT_FALSE(QFile::exists(rig.path));
}

// Also a reading whose dimension requests went unanswered: no heads, null
// unit texts, stored as empty ones.
TEST(HistoryReport, AnOutputErrorAtTheEndStillCommitsTheHistory) {
    StoreRig rig;
    FailingEnd outputs;
    THistoryReport report(outputs, *rig.store, "1.2.3");
    ASSERT_TRUE(report.Start({"title", 2, QDate(2024, 5, 17), false, true}));
    report.Record(Rec(480, 100, 1, 100, 1), "line", 480, 3);
    EXPECT_THROW(report.End("line", false), EFileError);
    EXPECT_EQ(rig.store->TakeProblem(), "");
    EXPECT_EQ(rig.store->StagedCount(), 0);
    EXPECT_EQ(Peek(rig.path).Count("records"), 1);
    const HistorySeries s = rig.All("1.2.3");
    EXPECT_EQ(s.UnitA(s.records.at(0)), "");
}

TEST(HistoryReport, ABrokenHistoryNeverStopsTheReading) {
    VirtualClock clock;
    THistoryStore broken("/proc/history.sqlite", clock);
    QStringList log;
    RecordingReport outputs(log);
    THistoryReport report(outputs, broken, "1.2.3");
    ASSERT_TRUE(report.Start({"title", 2, QDate(2024, 5, 17), false, true}));
    report.Heads("Bq", "Bq");
    for (int i = 0; i < 100; ++i) {
        clock.now += 276;
        report.Record(Rec(i, 100, 1, 100, 1), "line", i, i + 3);
    }
    EXPECT_NO_THROW(report.End("line", false));
    EXPECT_EQ(outputs.records.size(), 100u);
    const QString told = broken.TakeProblem();
    EXPECT_TRUE(told.contains("/proc/history.sqlite")) << told.toStdString();
    EXPECT_EQ(broken.TakeProblem(), "");
}

} // namespace
} // namespace zir::test

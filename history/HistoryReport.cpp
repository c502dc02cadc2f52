#include "history/HistoryReport.h"

namespace zir {

ArchiveEntry EntryOf(const ArchiveRecord& record, const QString& unitA, const QString& unitB) {
    ArchiveEntry entry;
    entry.time = record.time;
    entry.bank = record.bank;
    entry.codeA = record.codeA;
    entry.codeB = record.codeB;
    entry.valueA = record.valueA;
    entry.valueB = record.valueB;
    entry.uncertaintyA = record.uncertaintyA;
    entry.uncertaintyB = record.uncertaintyB;
    entry.unitA = unitA;
    entry.unitB = unitB;
    return entry;
}

THistoryReport::THistoryReport(IArchiveReport& outputs, THistoryStore& store, const QString& address)
    : outputs_(outputs), store_(store), address_(address.trimmed()) {}

bool THistoryReport::Start(const ReportStart& start) {
    FinishReading();
    if (!outputs_.Start(start)) return false;
    reading_ = store_.BeginReading(start.title);
    unitA_.clear();
    unitB_.clear();
    return true;
}

void THistoryReport::ShowList() { outputs_.ShowList(); }

void THistoryReport::Heads(const QString& dimensionA, const QString& dimensionB) {
    unitA_ = dimensionA;
    unitB_ = dimensionB;
    outputs_.Heads(dimensionA, dimensionB);
}

void THistoryReport::Record(const ArchiveRecord& record, const QString& line, int requestedIndex, int row) {
    if (reading_ != 0) store_.AddRecord(reading_, address_, EntryOf(record, unitA_, unitB_));
    outputs_.Record(record, line, requestedIndex, row);
}

void THistoryReport::End(const QString& lastLine, bool failing) {
    try {
        outputs_.End(lastLine, failing);
    } catch (...) {
        FinishReading();
        throw;
    }
    FinishReading();
}

void THistoryReport::Abandon() {
    try {
        outputs_.Abandon();
    } catch (...) {
        FinishReading();
        throw;
    }
    FinishReading();
}

void THistoryReport::FinishReading() {
    if (reading_ == 0) return;
    store_.Commit();
    const StoreCounts c = store_.ReadingCounts(reading_);
    counts_.added += c.added;
    counts_.known += c.known;
    counts_.changed += c.changed;
    reading_ = 0;
}

void RecordCurrentReading(THistoryStore& store, const QString& address, const CurrentValues& values,
                          const QDateTime& now) {
    store.AddCurrent(address, {now, values.codeA, values.codeB, values.uncertaintyA, values.uncertaintyB,
                               values.dimensionA, values.dimensionB});
}

} // namespace zir

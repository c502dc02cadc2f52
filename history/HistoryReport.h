#pragma once
// The history as one more output of a reading: a decorator of the outputs
// that adds every record of a bank reading to the history before handing it
// on, whatever outputs are ticked, and commits at the end of each bank. The
// history never stops a reading; its message for the operator comes from
// TakeProblem() once the whole operation is over.

#include <QDateTime>
#include <QString>

#include "archive/ArchiveReport.h"
#include "device/CurrentData.h"
#include "history/HistoryStore.h"

namespace zir {

// A decoded archive record with the unit texts of its reading.
ArchiveEntry EntryOf(const ArchiveRecord& record, const QString& unitA, const QString& unitB);

class THistoryReport final : public IArchiveReport {
public:
    // address: the text of LE_DeviceAdr (trimmed here).
    THistoryReport(IArchiveReport& outputs, THistoryStore& store, const QString& address);

    bool Start(const ReportStart& start) override;
    void ShowList() override;
    void Heads(const QString& dimensionA, const QString& dimensionB) override;
    void Record(const ArchiveRecord& record, const QString& line, int requestedIndex, int row) override;
    // A minute that did not answer becomes a gap of the history where it
    // holds nothing for that minute yet.
    void Unanswered(int requestedIndex) override;
    void Counted(const MinuteCount& count) override;
    void End(const QString& lastLine, bool failing) override;
    void Abandon() override;

    // What storing the records of this report's readings did so far.
    StoreCounts Counts() const { return counts_; }

private:
    void FinishReading();

    IArchiveReport& outputs_;
    THistoryStore& store_;
    QString address_;
    int reading_ = 0; // 0 while no reading is open
    QString unitA_;
    QString unitB_;
    int bank_ = -1;
    QDate bankDate_;
    StoreCounts counts_;
};

// Adds one current reading, taken at `now` (the computer's clock), to the
// history and commits it.
void RecordCurrentReading(THistoryStore& store, const QString& address, const CurrentValues& values,
                          const QDateTime& now);

} // namespace zir

#pragma once
// The outputs of a bank reading in zir-cli: the records as CSV on standard
// output where the window shows its list, and, when asked for, the window's
// own outputs behind it: "Archive.txt" (in the folder the window uses) and a
// workbook per bank (in the folder given with --xlsx).

#include <QString>
#include <optional>

#include "archive/ArchiveReport.h"
#include "cli/Csv.h"

namespace zir::cli {

// The CSV head of the records.
QString RecordCsvHeader();
// One row: time, index and bank as the reply names them, then value, unit and
// uncertainty of channel A and of channel B.
QString RecordCsvRow(const ArchiveRecord& record, const QString& unitA, const QString& unitB);

class TCsvArchiveReport final : public IArchiveReport {
public:
    // textFile and workbook may be null (output not wanted); each is started
    // with only its own output switched on. status is the one they report to;
    // workbookFolder names the workbook's folder in its refusal.
    TCsvArchiveReport(TDataOutput& out, IStatusLine& status, IArchiveReport* textFile, IArchiveReport* workbook,
                      QString workbookFolder);

    // An output that refuses to start ends the whole operation with
    // EFileError carrying its message (the window would go on to the next bank).
    bool Start(const ReportStart& start) override;
    void ShowList() override {}
    void Heads(const QString& dimensionA, const QString& dimensionB) override;
    void Record(const ArchiveRecord& record, const QString& line, int requestedIndex, int row) override;
    void Counted(const MinuteCount& count) override;
    void End(const QString& lastLine, bool failing) override;
    void Abandon() override;

    // Readings started, and minutes answered over all of them (an empty minute
    // left out by --no-empty counts: it was answered).
    int Started() const { return started_; }
    bool AnyAnswered() const { return answered_; }
    // The minutes asked for and read over every reading that got past its
    // time window; nullopt when none did.
    std::optional<MinuteCount> Minutes() const { return minutes_; }

private:
    TDataOutput& out_;
    IStatusLine& status_;
    IArchiveReport* textFile_;
    IArchiveReport* workbook_;
    QString workbookFolder_;
    QString unitA_;
    QString unitB_;
    bool headerWritten_ = false;
    int started_ = 0;
    bool answered_ = false;
    std::optional<MinuteCount> minutes_;
};

} // namespace zir::cli

#pragma once
// What a bank reading hands its results to, and the three outputs behind it:
// the archive list window, "Archive.txt" and a new workbook per reading.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "archive/ArchiveRecord.h"
#include "core/Clock.h"
#include "device/DeviceContext.h"

namespace zir {

class TArchiveTextFile;
class TArchiveWorkbook;

// The minutes a reading asked for and those that answered with a record
// (the others are left out after their six attempts).
struct MinuteCount {
    int read = 0;
    int asked = 0;
    MinuteCount& operator+=(const MinuteCount& other) {
        read += other.read;
        asked += other.asked;
        return *this;
    }
    bool operator==(const MinuteCount&) const = default;
};
// "N of M minutes read".
QString MinutesReadText(const MinuteCount& count);

struct ReportStart {
    QString title;
    std::uint8_t bank = 0;
    QDate bankDate;
    bool toExcel = false; // CB_ToExcel at the start of the reading
    bool toFile = false;  // CB_ToFile at the start of the reading
};

// The outputs as the reading calls them, in this order: Start, ShowList,
// Heads, Record for each record, then End (or Abandon when the reading stops
// at its time window).
class IArchiveReport {
public:
    virtual ~IArchiveReport() = default;
    // Workbook first, then text file. False when one refused; it has then
    // put its message in the status line and the reading ends.
    virtual bool Start(const ReportStart& start) = 0;
    virtual void ShowList() = 0;
    virtual void Heads(const QString& dimensionA, const QString& dimensionB) = 0;
    // List, workbook, text file. requestedIndex is the minute asked for; the
    // workbook row (from 1) belongs to it, whatever minute the reply names.
    virtual void Record(const ArchiveRecord& record, const QString& line, int requestedIndex, int row) = 0;
    // A minute that did not answer: no record came for it after every attempt.
    virtual void Unanswered(int /*requestedIndex*/) {}
    // What the reading asked for and got, once it got past its time window,
    // however it ended; right before End.
    virtual void Counted(const MinuteCount& /*count*/) {}
    // Once the reading got past its time window, however it ended. lastLine
    // is the record line built last ("" when none). With failing set another
    // error is on its way to the operator: End then throws nothing itself.
    // (The program's outputs never throw from here: one that fails is told.)
    virtual void End(const QString& lastLine, bool failing) = 0;
    // The reading stopped at its time window: text file closed without a
    // message, workbook kept with what it has.
    virtual void Abandon() = 0;
};

// The archive list window: lines accumulate until the operator clears them.
class IArchiveList {
public:
    virtual ~IArchiveList() = default;
    virtual void Show() = 0; // not modal
    virtual void AddLine(const QString& line) = 0;
    // The window's bottom panel: "N of M minutes read" after each reading.
    virtual void ShowSummary(const QString& /*text*/) {}
};

// The three outputs of the program.
class TArchiveReport final : public IArchiveReport {
public:
    struct Services {
        IArchiveList& list;
        IStatusLine& status;
        QString appDir;                                        // ends in "/"
        std::function<void(const QString& path)> openWorkbook; // default application
        IClock& clock;                                         // names the workbook
    };

    explicit TArchiveReport(Services services);
    ~TArchiveReport() override;

    // Where an output's failure is told, besides the status line (the
    // window's notice box). An output that fails while a reading runs is
    // given up for the rest of that reading, which goes on with the others;
    // each output's failure is told once per report, that is per operation.
    void TellOperator(std::function<void(const QString& message)> tell) { tell_ = std::move(tell); }

    bool Start(const ReportStart& start) override;
    void ShowList() override;
    void Heads(const QString& dimensionA, const QString& dimensionB) override;
    void Record(const ArchiveRecord& record, const QString& line, int requestedIndex, int row) override;
    // The list window's panel shows the minutes of every reading of this
    // report (that is, of the operation) so far.
    void Counted(const MinuteCount& count) override;
    void End(const QString& lastLine, bool failing) override;
    void Abandon() override;

private:
    enum class Output { Workbook, TextFile };
    // Saves the workbook (if one is open) and opens it for the operator; a
    // failure to save is told.
    void FinishWorkbook();
    // The output failed: it is given up and the failure told.
    void GiveUp(Output output, const QString& message);
    void Tell(Output output, const QString& message);

    Services services_;
    std::function<void(const QString&)> tell_;
    MinuteCount counted_;
    bool workbookTold_ = false;
    bool textFileTold_ = false;
    std::unique_ptr<TArchiveWorkbook> workbook_;
    std::unique_ptr<TArchiveTextFile> textFile_;
};

} // namespace zir

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

struct ReportStart {
    QString title;
    std::uint8_t bank = 0;
    QDate bankDate;
    bool toExcel = false;  // CB_ToExcel at the start of the reading
    bool toFile = false;   // CB_ToFile at the start of the reading
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
    virtual void Record(const ArchiveRecord& record, const QString& line, int requestedIndex,
                        int row) = 0;
    // Once the reading got past its time window, however it ended. lastLine
    // is the record line built last ("" when none). With failing set another
    // error is on its way to the operator: End then throws nothing itself.
    virtual void End(const QString& lastLine, bool failing) = 0;
    // The reading stopped at its time window: text file closed without a
    // message, workbook kept with what it has.
    virtual void Abandon() = 0;
};

// The archive list window: lines accumulate until the operator clears them.
class IArchiveList {
public:
    virtual ~IArchiveList() = default;
    virtual void Show() = 0;   // not modal
    virtual void AddLine(const QString& line) = 0;
};

// The three outputs of the program.
class TArchiveReport final : public IArchiveReport {
public:
    struct Services {
        IArchiveList& list;
        IStatusLine& status;
        QString appDir;                                      // ends in "/"
        std::function<void(const QString& path)> openWorkbook;  // default application
        IClock& clock;                                       // names the workbook
    };

    explicit TArchiveReport(Services services);
    ~TArchiveReport() override;

    bool Start(const ReportStart& start) override;
    void ShowList() override;
    void Heads(const QString& dimensionA, const QString& dimensionB) override;
    void Record(const ArchiveRecord& record, const QString& line, int requestedIndex,
                int row) override;
    void End(const QString& lastLine, bool failing) override;
    void Abandon() override;

private:
    // Saves the workbook (if one is open) and opens it for the operator.
    // Throws EFileError when saving fails and nothing else is failing.
    void FinishWorkbook(bool failing);

    Services services_;
    std::unique_ptr<TArchiveWorkbook> workbook_;
    std::unique_ptr<TArchiveTextFile> textFile_;
};

} // namespace zir

#include "cli/CsvReport.h"

#include <exception>

#include "core/Errors.h"

namespace zir::cli {

QString RecordCsvHeader() {
    return CsvRow({QStringLiteral("time"), QStringLiteral("index"), QStringLiteral("bank"), QStringLiteral("value_a"),
                   QStringLiteral("unit_a"), QStringLiteral("uncertainty_a"), QStringLiteral("value_b"),
                   QStringLiteral("unit_b"), QStringLiteral("uncertainty_b")});
}

QString RecordCsvRow(const ArchiveRecord& record, const QString& unitA, const QString& unitB) {
    return CsvRow({IsoMinute(record.time), QString::number(record.index), QString::number(record.bank), record.valueA,
                   unitA, QString::number(record.uncertaintyA), record.valueB, unitB,
                   QString::number(record.uncertaintyB)});
}

TCsvArchiveReport::TCsvArchiveReport(TDataOutput& out, IStatusLine& status, IArchiveReport* textFile,
                                     IArchiveReport* workbook, QString workbookFolder)
    : out_(out),
      status_(status),
      textFile_(textFile),
      workbook_(workbook),
      workbookFolder_(std::move(workbookFolder)) {}

bool TCsvArchiveReport::Start(const ReportStart& start) {
    // The window's order: workbook first, then the text file.
    if (workbook_) {
        ReportStart own = start;
        own.toFile = false;
        own.toExcel = true;
        // The window's refusal, "Can't start Excel", and where the workbook was to go.
        if (!workbook_->Start(own))
            throw EFileError(status_.Status() + QStringLiteral(": no new workbook can be written in ") +
                             workbookFolder_);
    }
    if (textFile_) {
        ReportStart own = start;
        own.toExcel = false;
        own.toFile = true;
        bool started = false;
        try {
            started = textFile_->Start(own);
        } catch (...) {
            if (workbook_) workbook_->End(QString(), true);
            throw;
        }
        if (!started) {
            const QString refusal = status_.Status();
            if (workbook_) workbook_->Abandon();
            throw EFileError(refusal);
        }
    }
    ++started_;
    return true;
}

void TCsvArchiveReport::Heads(const QString& dimensionA, const QString& dimensionB) {
    unitA_ = dimensionA;
    unitB_ = dimensionB;
    if (workbook_) workbook_->Heads(dimensionA, dimensionB);
    if (!headerWritten_) {
        out_.Write(RecordCsvHeader());
        headerWritten_ = true;
    }
}

void TCsvArchiveReport::Record(const ArchiveRecord& record, const QString& line, int requestedIndex, int row) {
    answered_ = true;
    out_.Write(RecordCsvRow(record, unitA_, unitB_));
    if (workbook_) workbook_->Record(record, line, requestedIndex, row);
    if (textFile_) textFile_->Record(record, line, requestedIndex, row);
}

void TCsvArchiveReport::Counted(const MinuteCount& count) {
    if (!minutes_) minutes_ = MinuteCount{};
    *minutes_ += count;
    if (textFile_) textFile_->Counted(count);
    if (workbook_) workbook_->Counted(count);
}

void TCsvArchiveReport::End(const QString& lastLine, bool failing) {
    if (!lastLine.isEmpty()) answered_ = true;
    // Both are ended, whatever the first does; the first error wins.
    std::exception_ptr error;
    for (IArchiveReport* output : {textFile_, workbook_}) {
        if (!output) continue;
        try {
            output->End(lastLine, failing || error);
        } catch (...) {
            if (!error) error = std::current_exception();
        }
    }
    if (error && !failing) std::rethrow_exception(error);
}

void TCsvArchiveReport::Abandon() {
    std::exception_ptr error;
    for (IArchiveReport* output : {textFile_, workbook_}) {
        if (!output) continue;
        try {
            output->Abandon();
        } catch (...) {
            if (!error) error = std::current_exception();
        }
    }
    if (error) std::rethrow_exception(error);
}

} // namespace zir::cli

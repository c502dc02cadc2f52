#include "archive/ArchiveReport.h"

#include <exception>

#include "archive/ArchiveTextFile.h"
#include "archive/ArchiveWorkbook.h"
#include "core/DateText.h"
#include "core/Errors.h"
#include "core/NumberText.h"

namespace zir {

namespace {
const QString kCantStartExcel = QStringLiteral("Can't start Excel");

enum Column { kTimeColumn = 1, kValueAColumn, kUncertaintyAColumn, kValueBColumn, kUncertaintyBColumn, kIndexColumn };
constexpr int kTitleRow = 1;
constexpr int kHeadsRow = 2;

// A value text ("1.23", "5E-5") as the number it reads.
void PutValue(TArchiveWorkbook& workbook, int row, int column, const QString& text) {
    if (const auto number = TryStrToFloat(text)) {
        workbook.PutNumber(row, column, *number);
    } else {
        workbook.PutText(row, column, text);
    }
}

QString ErrorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const EZirError& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}
} // namespace

TArchiveReport::TArchiveReport(Services services) : services_(std::move(services)) {}

TArchiveReport::~TArchiveReport() {
    if (textFile_) textFile_->CloseQuietly();
    try {
        FinishWorkbook(true);
    } catch (...) {
        // Nothing can be reported from here.
    }
}

bool TArchiveReport::Start(const ReportStart& start) {
    workbook_.reset();
    textFile_.reset();
    if (start.toExcel) {
        workbook_ = std::make_unique<TArchiveWorkbook>();
        const QDateTime now = services_.clock.Now();
        if (!workbook_->Create(services_.appDir, start.bank, start.bankDate, now)) {
            workbook_.reset();
            services_.status.SetStatus(kCantStartExcel);
            return false;
        }
        try {
            workbook_->PutText(kTitleRow, 1, start.title, true);
            const QString heads[] = {
                QStringLiteral("Date, time"),
                QStringLiteral("Value in chanel A"),
                QStringLiteral("Uncertainty of measurement in chanel A,%"),
                QStringLiteral("Value in chanel B"),
                QStringLiteral("Uncertainty of measurement in chanel B,%"),
                QStringLiteral("Record index"),
            };
            for (int column = 1; column <= 6; ++column)
                workbook_->PutText(kHeadsRow, column, heads[column - 1]);
        } catch (const EZirError&) {
            services_.status.SetStatus(kCantStartExcel);
            FinishWorkbook(false);  // keeps what it received
            return false;
        }
    }
    if (start.toFile) {
        textFile_ = std::make_unique<TArchiveTextFile>();
        if (!textFile_->Open(services_.appDir)) {
            services_.status.SetStatus(QStringLiteral("Can't save archive data to the file ") +
                                       textFile_->Path());
            textFile_.reset();
            FinishWorkbook(false);
            return false;
        }
        try {
            textFile_->WriteLine(start.title);
        } catch (...) {
            textFile_->CloseQuietly();
            textFile_.reset();
            FinishWorkbook(true);
            throw;
        }
    }
    return true;
}

void TArchiveReport::ShowList() { services_.list.Show(); }

void TArchiveReport::Heads(const QString& dimensionA, const QString& dimensionB) {
    if (!workbook_) return;
    workbook_->PutText(kHeadsRow, kValueAColumn, QStringLiteral("Value at chanel A,") + dimensionA);
    workbook_->PutText(kHeadsRow, kValueBColumn, QStringLiteral("Value at chanel B,") + dimensionB);
}

void TArchiveReport::Record(const ArchiveRecord& record, const QString& line, int requestedIndex,
                            int row) {
    services_.list.AddLine(line);
    if (workbook_) {
        // What the operator would get by typing the texts into the cells:
        // numbers and a date-time value; the index "480(3)" stays text.
        workbook_->PutDateTime(row, kTimeColumn, record.time);
        PutValue(*workbook_, row, kValueAColumn, record.valueA);
        workbook_->PutNumber(row, kUncertaintyAColumn, record.uncertaintyA);
        PutValue(*workbook_, row, kValueBColumn, record.valueB);
        workbook_->PutNumber(row, kUncertaintyBColumn, record.uncertaintyB);
        workbook_->PutText(row, kIndexColumn,
                           QStringLiteral("%1(%2)").arg(requestedIndex).arg(record.bank));
    }
    if (textFile_) textFile_->WriteLine(line);
}

void TArchiveReport::End(const QString& lastLine, bool failing) {
    std::exception_ptr error;
    if (textFile_) {
        try {
            if (textFile_->Close()) {
                services_.status.SetStatus(QStringLiteral("Data file ") +
                                           (lastLine.isEmpty() ? textFile_->Path() : lastLine) +
                                           QStringLiteral(" refreshed"));
            }
        } catch (...) {
            error = std::current_exception();
        }
        textFile_.reset();
    }
    try {
        FinishWorkbook(failing || error);
    } catch (...) {
        if (!error) error = std::current_exception();
    }
    if (!error) return;
    if (!failing) std::rethrow_exception(error);
    // Another error is on its way to the operator; this one goes to the
    // status line so that it is not lost.
    services_.status.SetStatus(ErrorText(error));
}

void TArchiveReport::Abandon() {
    std::exception_ptr error;
    if (textFile_) {
        try {
            textFile_->Close();
        } catch (...) {
            error = std::current_exception();
        }
        textFile_.reset();
    }
    FinishWorkbook(bool(error));
    if (error) std::rethrow_exception(error);
}

void TArchiveReport::FinishWorkbook(bool failing) {
    if (!workbook_) return;
    std::unique_ptr<TArchiveWorkbook> workbook = std::move(workbook_);
    try {
        workbook->Save();
    } catch (const EZirError& e) {
        if (!failing) throw;
        services_.status.SetStatus(e.message());
        return;
    }
    if (services_.openWorkbook) services_.openWorkbook(workbook->Path());
}

} // namespace zir

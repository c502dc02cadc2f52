#include "archive/ArchiveReport.h"

#include <QDir>

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
} // namespace

QString MinutesReadText(const MinuteCount& count) {
    return QStringLiteral("%1 of %2 minutes read").arg(count.read).arg(count.asked);
}

TArchiveReport::TArchiveReport(Services services) : services_(std::move(services)) {}

TArchiveReport::~TArchiveReport() {
    if (textFile_) textFile_->CloseQuietly();
    // Only on the way out of an error that skipped End: nothing can be told.
    tell_ = nullptr;
    FinishWorkbook();
}

bool TArchiveReport::Start(const ReportStart& start) {
    workbook_.reset();
    textFile_.reset();
    if (start.toExcel) {
        workbook_ = std::make_unique<TArchiveWorkbook>();
        const QDateTime now = services_.clock.Now();
        if (!workbook_->Create(services_.appDir, start.bank, start.bankDate, now, QDir::tempPath())) {
            const QString why = workbook_->ErrorText();
            workbook_.reset();
            services_.status.SetStatus(kCantStartExcel);
            Tell(Output::Workbook, why);
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
            for (int column = 1; column <= 6; ++column) workbook_->PutText(kHeadsRow, column, heads[column - 1]);
        } catch (const EZirError& e) {
            workbook_.reset();
            services_.status.SetStatus(kCantStartExcel);
            Tell(Output::Workbook, e.message());
            return false;
        }
    }
    if (start.toFile) {
        textFile_ = std::make_unique<TArchiveTextFile>();
        if (!textFile_->Open(services_.appDir)) {
            services_.status.SetStatus(QStringLiteral("Can't save archive data to the file ") + textFile_->Path());
            Tell(Output::TextFile,
                 QStringLiteral("Cannot open file \"%1\": %2").arg(textFile_->Path(), textFile_->ErrorText()));
            textFile_.reset();
            FinishWorkbook();
            return false;
        }
        try {
            textFile_->WriteLine(start.title);
        } catch (const EZirError& e) {
            GiveUp(Output::TextFile, e.message());
        }
    }
    return true;
}

void TArchiveReport::ShowList() { services_.list.Show(); }

void TArchiveReport::Heads(const QString& dimensionA, const QString& dimensionB) {
    if (!workbook_) return;
    try {
        workbook_->PutText(kHeadsRow, kValueAColumn, QStringLiteral("Value at chanel A,") + dimensionA);
        workbook_->PutText(kHeadsRow, kValueBColumn, QStringLiteral("Value at chanel B,") + dimensionB);
    } catch (const EZirError& e) {
        GiveUp(Output::Workbook, e.message());
    }
}

void TArchiveReport::Record(const ArchiveRecord& record, const QString& line, int requestedIndex, int row) {
    services_.list.AddLine(line);
    if (workbook_) {
        try {
            // What the operator would get by typing the texts into the cells:
            // numbers and a date-time value; the index "480(3)" stays text.
            workbook_->PutDateTime(row, kTimeColumn, record.time);
            PutValue(*workbook_, row, kValueAColumn, record.valueA);
            workbook_->PutNumber(row, kUncertaintyAColumn, record.uncertaintyA);
            PutValue(*workbook_, row, kValueBColumn, record.valueB);
            workbook_->PutNumber(row, kUncertaintyBColumn, record.uncertaintyB);
            workbook_->PutText(row, kIndexColumn, QStringLiteral("%1(%2)").arg(requestedIndex).arg(record.bank));
            workbook_->Flush();
        } catch (const EZirError& e) {
            GiveUp(Output::Workbook, e.message());
        }
    }
    if (textFile_) {
        try {
            textFile_->WriteLine(line);
        } catch (const EZirError& e) {
            GiveUp(Output::TextFile, e.message());
        }
    }
}

void TArchiveReport::Counted(const MinuteCount& count) {
    counted_ += count;
    services_.list.ShowSummary(MinutesReadText(counted_));
}

void TArchiveReport::End(const QString& lastLine, bool) {
    if (textFile_) {
        try {
            if (textFile_->Close()) {
                services_.status.SetStatus(QStringLiteral("Data file ") +
                                           (lastLine.isEmpty() ? textFile_->Path() : lastLine) +
                                           QStringLiteral(" refreshed"));
            }
        } catch (const EZirError& e) {
            GiveUp(Output::TextFile, e.message());
        }
        textFile_.reset();
    }
    FinishWorkbook();
}

void TArchiveReport::Abandon() {
    if (textFile_) {
        try {
            textFile_->Close();
        } catch (const EZirError& e) {
            GiveUp(Output::TextFile, e.message());
        }
        textFile_.reset();
    }
    FinishWorkbook();
}

void TArchiveReport::FinishWorkbook() {
    if (!workbook_) return;
    std::unique_ptr<TArchiveWorkbook> workbook = std::move(workbook_);
    try {
        workbook->Save();
    } catch (const EZirError& e) {
        GiveUp(Output::Workbook, e.message());
        return;
    }
    if (services_.openWorkbook) services_.openWorkbook(workbook->Path());
}

void TArchiveReport::GiveUp(Output output, const QString& message) {
    if (output == Output::Workbook) {
        workbook_.reset(); // removes what it had begun
    } else if (textFile_) {
        textFile_->CloseQuietly();
        textFile_.reset();
    }
    services_.status.SetStatus(message);
    Tell(output, message);
}

void TArchiveReport::Tell(Output output, const QString& message) {
    bool& told = output == Output::Workbook ? workbookTold_ : textFileTold_;
    if (told || !tell_) return;
    told = true;
    tell_(message);
}

} // namespace zir

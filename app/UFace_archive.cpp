// Handlers of the archive operations: bank list, bank reading, whole archive
// and the two time filters. The operations live in archive/; these read the
// window's fields, adapt the window to the operations' small interfaces and
// write the bank list back.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>

#include "app/DesktopOpener.h"
#include "app/Dialogs.h"
#include "app/FieldText.h"
#include "app/UFace.h"
#include "app/windows/UArchive.h"
#include "archive/BankList.h"
#include "archive/BankReading.h"
#include "core/Clock.h"
#include "device/DeviceContext.h"
#include "history/HistoryReport.h"

namespace zir {

namespace {

void OpenWithDefaultApplication(const QString& path) {
    // Where no application is registered for .xlsx the workbook simply stays
    // in the data folder.
    OpenWithDesktop(path);
}

class ArchiveListAdapter final : public IArchiveList {
public:
    explicit ArchiveListAdapter(TArchive& window) : window_(window) {}
    // The operation is over, however it ended: the lines it held back show now.
    ~ArchiveListAdapter() override { window_.ShowPendingLines(); }
    ArchiveListAdapter(const ArchiveListAdapter&) = delete;
    ArchiveListAdapter& operator=(const ArchiveListAdapter&) = delete;
    void Show() override { window_.ShowModeless(); }
    void AddLine(const QString& line) override { window_.AddLine(line); }
    void ShowSummary(const QString& text) override { window_.SetSummary(text); }

private:
    TArchive& window_;
};

// Marks the window busy while a bank list or reading runs, so that device
// actions wait and a close first cancels the operation.
class LongOperationScope {
public:
    explicit LongOperationScope(TFace& face) : face_(face) { face_.BeginLongOperation(); }
    ~LongOperationScope() { face_.EndLongOperation(); }
    LongOperationScope(const LongOperationScope&) = delete;
    LongOperationScope& operator=(const LongOperationScope&) = delete;

private:
    TFace& face_;
};

// The text of a masked time field as the operator sees it, an empty place
// as a blank: " 7:05".
QString MaskedText(const QLineEdit* edit) {
    QString text = edit->displayText();
    text.replace(u'_', u' ');
    return text;
}

BankReadingInputs ReadInputs(const TFace& face) {
    BankReadingInputs inputs;
    inputs.bank = ParseBankSelection(face.CB_Bank->currentText());
    const TimeWindow day;
    inputs.filter.from = TimeLimitOfField(face.CB_TimeFrom->isChecked(), MaskedText(face.ME_TimeFrom), day.from);
    inputs.filter.to = TimeLimitOfField(face.CB_TimeTo->isChecked(), MaskedText(face.ME_TimeTo), day.to);
    inputs.noNull = face.CB_NoNull->isChecked();
    inputs.toExcel = face.CB_ToExcel->isChecked();
    inputs.toFile = face.CB_ToFile->isChecked();
    return inputs;
}

void ApplyBankList(TFace& face, const QList<BankHeader>& banks) {
    face.CB_Bank->clear();
    for (const BankHeader& bank : banks) face.CB_Bank->addItem(BankEntryText(bank.bank, bank.date));
    if (banks.isEmpty()) {
        face.CB_Bank->setEditText(kNoActiveBanks);
    } else {
        face.CB_Bank->setCurrentIndex(0);
    }
}

// Runs an archive operation with the window's services.
template <typename Operation>
void RunArchiveOperation(TFace& face, Operation&& operation) {
    LongOperationScope busy(face);
    const ArchiveServices services{face.MakeDeviceContext(), face.Dialogs(),
                                   [&face] {
                                       QCoreApplication::processEvents();
                                       // A close asked for meanwhile ends the operation as a cancel.
                                       if (face.CancelRequested()) throw EProtocolCancel(QStringLiteral("Canceled"));
                                   },
                                   face.Clock()};
    ArchiveListAdapter list(*face.ArchiveWindow());
    TArchiveReport report({list, services.ctx.status, face.AppDir(),
                           face.WorkbookOpener() ? face.WorkbookOpener() : OpenWithDefaultApplication, face.Clock()});
    report.TellOperator([&face](const QString& message) { face.Dialogs().ShowNotice(message); });
    // The history is one more output; its message comes once, at the end.
    THistoryReport history(report, face.History(), services.ctx.deviceAddress);
    try {
        operation(services, history);
    } catch (...) {
        face.TellHistoryProblem(true);
        throw;
    }
    face.TellHistoryProblem(true);
}

} // namespace

THistoryStore& TFace::History() {
    if (!history_) history_ = new THistoryStore(HistoryFilePath(), Clock(), this);
    return *history_;
}

void TFace::TellHistoryProblem(bool everyTime) {
    if (!history_) return;
    const QString problem =
        history_->TakeProblem(everyTime ? THistoryStore::Repeat::EveryTime : THistoryStore::Repeat::OncePerCause);
    if (!problem.isEmpty()) Dialogs().ShowMessage(problem);
}

void TFace::CB_BankDblClick() {
    RunArchiveOperation(*this, [this](const ArchiveServices& services, IArchiveReport&) {
        ApplyBankList(*this, RefreshBankList(services.ctx, services.processEvents));
    });
}

void TFace::actGetBankNExecute() {
    RunArchiveOperation(*this, [this](const ArchiveServices& services, IArchiveReport& report) {
        ReadBank(services, ReadInputs(*this), report);
    });
}

void TFace::actReadAllExecute() {
    RunArchiveOperation(*this, [this](const ArchiveServices& services, IArchiveReport& report) {
        ReadWholeArchive(
            services, report, [this](const QList<BankHeader>& banks) { ApplyBankList(*this, banks); },
            [this](int index) {
                CB_Bank->setCurrentIndex(index);
                return ReadInputs(*this);
            });
    });
}

void TFace::CB_TimeFromClick() { ME_TimeFrom->setEnabled(CB_TimeFrom->isChecked()); }

void TFace::CB_TimeToClick() { ME_TimeTo->setEnabled(CB_TimeTo->isChecked()); }

} // namespace zir

// Handlers of the device operations: current data with auto refresh and its
// log, dimension text, coefficients and service parameters. Each reads the
// window's fields, calls the operation in device/ and writes fields back.
#include <QCheckBox>
#include <QDateTime>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSpinBox>

#include "app/Dialogs.h"
#include "app/FieldText.h"
#include "app/UFace.h"
#include "core/Clock.h"
#include "core/Errors.h"
#include "device/Coefficients.h"
#include "device/CurrentData.h"
#include "device/DeviceContext.h"
#include "device/Dimension.h"
#include "device/ServiceParameters.h"
#include "history/HistoryReport.h"

namespace zir {

void TFace::actReadCurrentExecute() {
    currentDataValid_ = false;
    const DeviceContext window = MakeDeviceContext();
    // The progress window belongs to a running bank list or reading: a reading
    // of the timer between two of its requests leaves it alone.
    NoProgress noProgress;
    const DeviceContext ctx = LongOperationRunning()
                                  ? DeviceContext{window.link, window.deviceAddress, window.status, noProgress, false}
                                  : window;
    CurrentValues values;
    const auto fields = ReadCurrentData(ctx, &values);
    if (!fields) return;
    LE_DataA->setText(fields->dataA);
    LE_PogrA->setText(fields->uncertaintyA);
    LE_DataB->setText(fields->dataB);
    LE_PogrB->setText(fields->uncertaintyB);
    currentDataValid_ = true;
    RecordCurrentReading(History(), LE_DeviceAdr->text(), values, Clock().Now());
    if (!LongOperationRunning()) TellHistoryProblem(false); // a reading running tells at its end
}

void TFace::TimerTimer() {
    // Every tick counts, so the schedule stays aligned with the program's start.
    if (!refreshSchedule_->Tick(CB_Refresh->isChecked(), RxSpE_AutoTime->value())) return;
    // One automatic reading at a time: a tick that falls due while one runs
    // (its error box is open) is counted and not run. Nor does one run when
    // Escape has just asked a long operation to stop: that cancel belongs to
    // the operation's next request.
    if (timerReadingRunning_ || escapeCancelPending_) return;
    timerReadingRunning_ = true;
    const auto done = qScopeGuard([this] { timerReadingRunning_ = false; });
    RunGuarded([this] {
        actReadCurrentExecute();
        if (!currentDataValid_ || !CB_ReadToFile->isChecked()) return;
        const CurrentDataFields shown{LE_DataA->text(), LE_PogrA->text(), LE_DataB->text(), LE_PogrB->text()};
        QString problem;
        try {
            if (AppendCurrentDataLog(AppDir() + kCurrentDataLogName, Clock().Now(), shown, MakeDeviceContext().status,
                                     &problem)) {
                logProblemTold_.clear();
                return;
            }
        } catch (const EFileError& error) {
            problem = error.message();
            SetStatus(problem);
        }
        // Told once, not at every tick: again only after a line has been
        // written meanwhile, or when the cause changes.
        if (problem == logProblemTold_) return;
        logProblemTold_ = problem;
        Dialogs().ShowNotice(problem);
    });
}

void TFace::CB_RefreshClick() {
    const bool autoRefresh = CB_Refresh->isChecked();
    CB_ReadToFile->setEnabled(autoRefresh);
    if (!autoRefresh) CB_ReadToFile->setChecked(false);
}

void TFace::actSetRazmernostExecute() {
    WriteDimension(MakeDeviceContext(), Edit_Razmernost->text(), ChannelOfField(RxSpE_NumChanel->value()));
}

void TFace::N11Click() { Edit_Razmernost->setText(Edit_Razmernost->text() + kSymbolMicro); }
void TFace::N12Click() { Edit_Razmernost->setText(Edit_Razmernost->text() + kSymbolPlusMinus); }
void TFace::N13Click() { Edit_Razmernost->setText(Edit_Razmernost->text() + kSymbolSquare); }
void TFace::N14Click() { Edit_Razmernost->setText(Edit_Razmernost->text() + kSymbolPerHour); }

void TFace::actSetKoeffExecute() {
    // Converted after the write has cleared the status line.
    WriteCoefficients(MakeDeviceContext(), ChannelOfField(RxSpE_NumChanel->value()), [this] {
        return CoefficientsOfTexts(Edit_Koeff_K->text(), Edit_Koeff_M->text(), Edit_Koeff_Porog->text());
    });
}

void TFace::actSetParamsExecute() {
    WriteServiceParameters(MakeDeviceContext(), {RxSpinEdit_Param_SN->value(), RxSpEdit_Param_NN->value(),
                                                 RxSpEdit_Param_Z->value(), RxSpEdit_Param_VCom->value()});
}

} // namespace zir

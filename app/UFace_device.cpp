// Handlers of the device operations: current data with auto refresh and its
// log, dimension text, coefficients and service parameters. Each reads the
// window's fields, calls the operation in device/ and writes fields back.
#include <QCheckBox>
#include <QDateTime>
#include <QLineEdit>
#include <QSpinBox>

#include "app/UFace.h"
#include "device/Coefficients.h"
#include "device/CurrentData.h"
#include "device/DeviceContext.h"
#include "device/Dimension.h"
#include "device/ServiceParameters.h"
#include "history/HistoryReport.h"

namespace zir {

void TFace::actReadCurrentExecute() {
    currentDataValid_ = false;
    CurrentValues values;
    const auto fields = ReadCurrentData(MakeDeviceContext(), &values);
    if (!fields) return;
    LE_DataA->setText(fields->dataA);
    LE_PogrA->setText(fields->pogrA);
    LE_DataB->setText(fields->dataB);
    LE_PogrB->setText(fields->pogrB);
    currentDataValid_ = true;
    RecordCurrentReading(History(), LE_DeviceAdr->text(), values, QDateTime::currentDateTime());
    if (!LongOperationRunning()) TellHistoryProblem(false);  // a reading running tells at its end
}

void TFace::TimerTimer() {
    if (!refreshSchedule_->Tick(CB_Refresh->isChecked(), RxSpE_AutoTime->value())) return;
    actReadCurrentExecute();
    if (!currentDataValid_ || !CB_ReadToFile->isChecked()) return;
    const CurrentDataFields shown{LE_DataA->text(), LE_PogrA->text(), LE_DataB->text(), LE_PogrB->text()};
    AppendCurrentDataLog(AppDir() + kCurrentDataLogName, QDateTime::currentDateTime(), shown,
                         MakeDeviceContext().status);
}

void TFace::CB_RefreshClick() {
    const bool autoRefresh = CB_Refresh->isChecked();
    CB_ReadToFile->setEnabled(autoRefresh);
    if (!autoRefresh) CB_ReadToFile->setChecked(false);
}

void TFace::actSetRazmernostExecute() {
    WriteDimension(MakeDeviceContext(), Edit_Razmernost->text(), RxSpE_NumChanel->value());
}

void TFace::N11Click() { Edit_Razmernost->setText(Edit_Razmernost->text() + kSymbolMicro); }
void TFace::N12Click() { Edit_Razmernost->setText(Edit_Razmernost->text() + kSymbolPlusMinus); }
void TFace::N13Click() { Edit_Razmernost->setText(Edit_Razmernost->text() + kSymbolSquare); }
void TFace::N14Click() { Edit_Razmernost->setText(Edit_Razmernost->text() + kSymbolPerHour); }

void TFace::actSetKoeffExecute() {
    const CoefficientTexts texts{Edit_Koeff_K->text(), Edit_Koeff_M->text(), Edit_Koeff_Porog->text()};
    WriteCoefficients(MakeDeviceContext(), texts, RxSpE_NumChanel->value());
}

void TFace::actSetParamsExecute() {
    const ServiceParameterTexts texts{
        QString::number(RxSpinEdit_Param_SN->value()), QString::number(RxSpEdit_Param_NN->value()),
        QString::number(RxSpEdit_Param_Z->value()), QString::number(RxSpEdit_Param_VCom->value())};
    WriteServiceParameters(MakeDeviceContext(), texts);
}

} // namespace zir

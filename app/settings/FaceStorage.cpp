#include "app/settings/FaceStorage.h"

namespace zir {

const QStringList& FaceStoredProps() {
    static const QStringList props = {
        QStringLiteral("Edit_Razmernost.Text"),       QStringLiteral("PageControl1.ActivePage"),
        QStringLiteral("LE_DeviceAdr.Text"),          QStringLiteral("Edit_Koeff_K.Text"),
        QStringLiteral("Edit_Koeff_M.Text"),          QStringLiteral("Edit_Koeff_Porog.Text"),
        QStringLiteral("RxSpEdit_Param_NN.Value"),    QStringLiteral("RxSpEdit_Param_VCom.Value"),
        QStringLiteral("RxSpEdit_Param_Z.Value"),     QStringLiteral("RxSpinEdit_Param_SN.Value"),
        QStringLiteral("CB_ComPort_Speed.ItemIndex"), QStringLiteral("CB_ReadToFile.Checked"),
        QStringLiteral("CB_ToExcel.Checked"),         QStringLiteral("CB_NoNull.Checked"),
        QStringLiteral("ME_TimeFrom.Text"),           QStringLiteral("ME_TimeTo.Text"),
        QStringLiteral("ME_TimeTo.Enabled"),          QStringLiteral("ME_TimeFrom.Enabled"),
        QStringLiteral("CB_TimeFrom.Checked"),        QStringLiteral("CB_TimeTo.Checked"),
        QStringLiteral("NProgressCheck.Checked"),     QStringLiteral("RxSpinEdit_ComPort.Value"),
    };
    return props;
}

TFormStorage* CreateFaceStorage(QWidget* face, std::function<void(const QString&)> report) {
    auto* storage = new TFormStorage(face);
    storage->setObjectName(QStringLiteral("FormStorage1"));
    storage->Active = true;
    storage->IniFileName.clear();
    storage->IniSection.clear();
    storage->Options = TFormPlacement::fpPosition;
    storage->Version = 0;
    storage->StoredProps = FaceStoredProps();
    storage->SetErrorReporter(std::move(report));
    storage->Attach();
    return storage;
}

} // namespace zir

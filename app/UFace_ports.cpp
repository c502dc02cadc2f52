// The serial ports window as the main window opens it: its COM number and
// speed go into the top strip's fields, its search runs as a long operation.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

#include "app/AppEnvironment.h"
#include "app/UFace.h"
#include "app/settings/FormPlacement.h"
#include "app/windows/LineEventLog.h"
#include "app/windows/USerialPorts.h"

namespace zir {

namespace {

class FaceSerialPortsHost final : public ISerialPortsHost {
public:
    explicit FaceSerialPortsHost(TFace& face) : face_(face) {}
    int PortNumber() const override { return face_.RxSpinEdit_ComPort->value(); }
    void SetPortNumber(int n) override { face_.RxSpinEdit_ComPort->setValue(n); }
    void SelectSpeed(std::uint32_t baud) override {
        const int index = face_.CB_ComPort_Speed->findText(QString::number(baud));
        if (index >= 0) face_.CB_ComPort_Speed->setCurrentIndex(index);
    }
    QString DeviceAddress() const override { return face_.LE_DeviceAdr->text(); }
    IDialogs& Dialogs() override { return face_.Dialogs(); }
    IClock& Clock() override { return face_.Clock(); }
    ILineObserver* LineObserver() override { return face_.LineEventLog; }
    bool BeginSearch() override {
        if (face_.LongOperationRunning()) return false;
        face_.BeginLongOperation();
        return true;
    }
    void EndSearch() override { face_.EndLongOperation(); }
    bool CloseRequested() const override { return face_.CancelRequested(); }
    QString BusyNote() const override { return TFace::BusyNote(); }

private:
    TFace& face_;
};

} // namespace

TSerialPorts* TFace::SerialPortsWindow() {
    if (!SerialPorts) {
        SerialPorts = new TSerialPorts(std::make_unique<FaceSerialPortsHost>(*this), this);
        SerialPorts->setFont(DesignFont());
        // Its place is kept also when the program ends with the window open.
        connect(this, &TFace::CloseAccepted, SerialPorts, [this] {
            if (SerialPorts->isVisible()) SerialPorts->Placement->CloseQuery();
        });
    }
    return SerialPorts;
}

void TFace::actSerialPortsExecute() { SerialPortsWindow()->ShowModeless(); }

} // namespace zir

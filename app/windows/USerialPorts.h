#pragma once
// The serial ports window: every serial device of the machine with its
// adapter's description, its COM number, whether it is there now and whether
// this user may open it. The operator gives a device a COM number (the link
// com<n> to its stable name), takes one away, or lets the window look for
// the instrument. The list follows plugging and unplugging while the window
// is open (it is read again every second).

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ports/SerialPorts.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace zir {

class IClock;
class ILineObserver;
class IDialogs;
class TFormPlacement;

// What the window needs from the main window.
class ISerialPortsHost {
public:
    virtual ~ISerialPortsHost() = default;
    virtual int PortNumber() const = 0; // "COM-port №"
    virtual void SetPortNumber(int n) = 0;
    virtual void SelectSpeed(std::uint32_t baud) = 0; // the port speed list
    virtual QString DeviceAddress() const = 0;        // the address field
    virtual IDialogs& Dialogs() = 0;
    virtual IClock& Clock() = 0; // times the search's reply windows
    // Hears the search's frames (the line monitor); nullptr: nobody.
    virtual ILineObserver* LineObserver() { return nullptr; }
    // The search runs as a long operation of the main window: its device
    // actions are refused meanwhile, and closing it ends the search. False
    // (and the search does not start) while another one runs.
    virtual bool BeginSearch() = 0;
    virtual void EndSearch() = 0;
    virtual bool CloseRequested() const = 0;
    // Why the search did not start.
    virtual QString BusyNote() const = 0;
};

class TSerialPorts : public QWidget {
    Q_OBJECT

public:
    // Columns of ListPorts.
    enum Column { colCom, colDevice, colStableName, colDescription, colPresent, colAccess, colCount };

    explicit TSerialPorts(std::unique_ptr<ISerialPortsHost> host, QWidget* parent = nullptr);
    ~TSerialPorts() override;

    QTableWidget* ListPorts = nullptr;
    QLabel* Label_ComNumber = nullptr;
    QSpinBox* SpinEdit_ComNumber = nullptr;
    QPushButton* Btn_Assign = nullptr;
    QPushButton* Btn_Remove = nullptr;
    QPushButton* Btn_Find = nullptr;
    QPushButton* Btn_Stop = nullptr;
    QPushButton* Btn_Close = nullptr;
    QPlainTextEdit* Memo_Find = nullptr; // what the search tried, as it goes
    QLabel* Label_Status = nullptr;      // the outcome of the last action
    QTimer* RescanTimer = nullptr;       // 1000 ms while the window is shown
    TFormPlacement* Placement = nullptr; // position and size in [TSerialPorts]

    // Where devices are looked for ("/" unless a test gives a fake tree).
    void SetDeviceTree(const DeviceTree& tree);
    // Reads the devices again; the table changes only when they changed,
    // and the chosen row stays chosen.
    void Rescan();
    const std::vector<SerialPortEntry>& Entries() const { return entries_; }
    // Chooses the row of the device (its path); false when not listed.
    bool SelectDevice(const QString& device);
    // Shown without modality: port number field and list brought up to date.
    void ShowModeless();
    bool SearchRunning() const { return searching_; }

    // --- handlers (each runs under the window's error guard)
    // Makes com<n> (n from SpinEdit_ComNumber) lead to the chosen device,
    // asking first when com<n> leads elsewhere, and sets the port field.
    void Btn_AssignClick();
    // Removes com<n> when it is a link of the chosen device.
    void Btn_RemoveClick();
    // Tries every device at every rate; the first that answers gets a COM
    // number (its own, or the one in SpinEdit_ComNumber) and the rate is
    // chosen in the main window.
    void Btn_FindClick();
    void Btn_StopClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class SearchObserver;

    void Guarded(const std::function<void()>& handler);
    void Fill(const QString& selectedKey);
    void SelectionChanged();
    const SerialPortEntry* Selected() const;
    // True when com<n> leads to the device afterwards.
    bool Assign(const SerialPortEntry& entry, int n);
    void SetSearching(bool on);
    void SetStatus(const QString& text);

    std::unique_ptr<ISerialPortsHost> host_;
    DeviceTree tree_;
    std::vector<SerialPortEntry> entries_;
    bool searching_ = false;
    bool stopRequested_ = false;
};

} // namespace zir

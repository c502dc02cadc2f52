#pragma once
// TFace, the main window. Components carry the names of the window design
// (each widget's objectName is the same name, which the settings store and
// the tests rely on). Handlers are a few lines each: read fields, call an
// operation in device/ or archive/, write fields and the status line.
//
// Handlers live in three files: UFace.cpp (window behaviour, clock, about,
// exit), UFace_device.cpp (current data, dimension, coefficients, service
// parameters, timer), UFace_archive.cpp (bank list, bank reading, whole
// archive, time filters). UFace_settings.cpp creates the settings store;
// UFace_history.cpp opens the history window, UFace_ports.cpp the serial
// ports window, UFace_monitor.cpp the line monitor.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>

class QAction;
class QCloseEvent;
class QKeyEvent;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTabWidget;
class QTimer;

namespace zir {

class IByteChannel;
class IClock;
class IDeviceLink;
class IDialogs;
class IProgress;
class IStatusLine;
class TAboutBox;
class TArchive;
class TEscapeKey;
class TExchange;
class TFProgressBar;
class TFormStorage;
class TLineEventLog;
class TLineMonitor;
class TRefreshSchedule;
class TSerialPorts;
class THelpWindow;
class THistory;
class TPaintPacer;
class THistoryStore;
class SystemClock;
struct DeviceContext;

class TFace : public QMainWindow {
    Q_OBJECT

public:
    explicit TFace(QWidget* parent = nullptr);
    ~TFace() override;

    // --- top strip
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label11 = nullptr;
    QSpinBox* RxSpinEdit_ComPort = nullptr;
    QComboBox* CB_ComPort_Speed = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLineEdit* LE_DeviceAdr = nullptr;
    QLabel* Image1 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QStatusBar* StatusBar = nullptr;

    // --- page "Change of operating mode"
    QGroupBox* GroupBox3 = nullptr;
    QLineEdit* Edit_Razmernost = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QGroupBox* GroupBox6 = nullptr;
    QLineEdit* Edit_Koeff_K = nullptr;
    QLineEdit* Edit_Koeff_M = nullptr;
    QLineEdit* Edit_Koeff_Porog = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QGroupBox* GroupBox7 = nullptr;
    QSpinBox* RxSpE_NumChanel = nullptr;
    QGroupBox* GB_Hidden = nullptr;
    QSpinBox* RxSpinEdit_Param_SN = nullptr;
    QSpinBox* RxSpEdit_Param_NN = nullptr;
    QSpinBox* RxSpEdit_Param_Z = nullptr;
    QSpinBox* RxSpEdit_Param_VCom = nullptr;
    QPushButton* BitBtn4 = nullptr;

    // --- page "Measured data"
    QGroupBox* GroupBox4 = nullptr;
    QCheckBox* CB_Refresh = nullptr;
    QCheckBox* CB_ReadToFile = nullptr;
    QSpinBox* RxSpE_AutoTime = nullptr;
    QGroupBox* GroupBox8 = nullptr;
    QLineEdit* LE_DataA = nullptr;
    QLineEdit* LE_PogrA = nullptr;
    QGroupBox* GroupBox9 = nullptr;
    QLineEdit* LE_DataB = nullptr;
    QLineEdit* LE_PogrB = nullptr;
    QPushButton* BitBtn6 = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    QLabel* Edit_Time = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QGroupBox* GroupBox10 = nullptr;
    QComboBox* CB_Bank = nullptr;     // editable: the operator may type a selection
    QLineEdit* ME_TimeFrom = nullptr; // input mask equivalent to "!90:00;1;_"
    QLineEdit* ME_TimeTo = nullptr;
    QCheckBox* CB_TimeFrom = nullptr;
    QCheckBox* CB_TimeTo = nullptr;
    QCheckBox* CB_ToExcel = nullptr;
    QCheckBox* CB_ToFile = nullptr;
    QCheckBox* CB_NoNull = nullptr;
    QPushButton* BitBtn7 = nullptr;

    // --- actions and menus
    QAction* actGetTime = nullptr;
    QAction* actAbout = nullptr;
    QAction* actExit = nullptr;
    QAction* actSetRazmernost = nullptr;
    QAction* actSetKoeff = nullptr;
    QAction* actSetParams = nullptr;
    QAction* actReadCurrent = nullptr;
    QAction* actGetBankN = nullptr;
    QAction* actRefreshBanks = nullptr;
    QAction* actReadAll = nullptr;
    QAction* actHistory = nullptr;     // "&History...", Ctrl+H
    QAction* actSerialPorts = nullptr; // "Serial &ports...", Service menu
    QAction* actLineMonitor = nullptr; // "&Line monitor...", Ctrl+L
    QMenu* N1 = nullptr;               // "&Service"
    QAction* NProgressCheck = nullptr; // checkable, checked at creation
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu_Razmernost = nullptr;
    QAction* N11 = nullptr;
    QAction* N12 = nullptr;
    QAction* N13 = nullptr;
    QAction* N14 = nullptr;
    QTimer* Timer = nullptr; // 1000 ms, runs from start to end

    TFormStorage* FormStorage1 = nullptr;

    // --- the auxiliary windows, created hidden by CreateAuxiliaryWindows()
    // in this order; every user creates them on first need when the program
    // entry has not done so yet.
    TAboutBox* AboutBox = nullptr;
    TFProgressBar* FProgressBar = nullptr;
    TArchive* Archive = nullptr;
    void CreateAuxiliaryWindows();
    // The history window, made on first use.
    THistory* FHistory = nullptr;
    THistory* HistoryWindow();
    // The serial ports window, created on first use.
    TSerialPorts* SerialPorts = nullptr;
    TSerialPorts* SerialPortsWindow();
    // The line monitor (UFace_monitor.cpp): its event log listens to the
    // exchange from the start; the window is created on first use, as a
    // window of its own (not kept above this one), and closes with this one.
    TLineEventLog* LineEventLog = nullptr;
    TLineMonitor* LineMonitor = nullptr;
    TLineMonitor* LineMonitorWindow();

    // --- seams for tests (nullptr restores the real ones; not owned)
    // Message boxes and questions answered by a script.
    void SetDialogs(IDialogs* dialogs);
    // A link other than the exchange over CommPort.
    void SetDeviceLink(IDeviceLink* link);
    // The Escape key's state; the X display's keyboard map by default.
    void SetEscapeProbe(std::function<bool()> probe);
    // AppDir other than the computed one (must end in "/").
    void SetAppDir(const QString& dir);
    // The clock the status line, the archive list and the gauge measure the
    // interval between two repaints on; nullptr is steady time.
    void SetPaintClock(IClock* clock);
    // How a saved workbook is opened for the operator; the desktop's default
    // application for .xlsx when empty.
    void SetWorkbookOpener(std::function<void(const QString& path)> opener) { openWorkbook_ = std::move(opener); }
    const std::function<void(const QString& path)>& WorkbookOpener() const { return openWorkbook_; }

    // Runs one handler under the application's error guard: an EZirError or
    // std::exception ends the handler and shows its message in the error box.
    void RunGuarded(const std::function<void()>& handler);
    // The same for a device action the operator started: refused with a
    // status note while a long operation runs.
    void RunDeviceAction(const std::function<void()>& handler);
    // The note shown when a device action is refused.
    static QString BusyNote();

    // --- services for the handlers (implemented in UFace.cpp)
    // The link to the instrument (CommPort behind the request exchange), the
    // address text of LE_DeviceAdr, the status line, the progress window and
    // NProgressCheck, as of this moment.
    DeviceContext MakeDeviceContext();
    // Message boxes and questions; tests answer them without a modal loop.
    IDialogs& Dialogs();
    // The computer's clock, for the exchange, the port and the operations.
    IClock& Clock();
    // Folder of ZIR.txt, Archive.txt and the workbooks, ending in "/".
    QString AppDir() const;
    // The text is the status at once; it is painted at once, also while an
    // exchange holds the event loop up, at most about 30 times a second (a
    // text that comes sooner is painted once the interval has passed).
    void SetStatus(const QString& text);
    QString Status() const;
    // A paint moment, which every exchange gives once its request is on the
    // line and before the reply can be back: what the status line, the gauge
    // and the archive list held back and whose time has come is shown, and
    // every window with something to repaint is painted. No other event is
    // handled.
    void PaintWhileWaiting();
    // The archive list window.
    class TArchive* ArchiveWindow();
    // The history ($XDG_DATA_HOME/zir/history.sqlite), made on first use;
    // every bank reading and current reading adds to it.
    THistoryStore& History();
    // Shows the history's message about its file, if it has one: at the end
    // of every bank reading, once per cause for current readings.
    void TellHistoryProblem(bool everyTime);
    // Bank list and bank reading let pending events run between requests.
    // While one runs, LongOperationRunning() is true: other device actions
    // started by the operator are refused with a status note, and closing the
    // window first cancels it (CancelRequested() turns true and the exchange
    // ends as on Escape), then closes.
    bool LongOperationRunning() const;
    bool CancelRequested() const;
    void BeginLongOperation();
    void EndLongOperation(); // closes the window if a close was asked for meanwhile

    // --- handlers (each runs under the application's error guard)
    // UFace.cpp
    void actGetTimeExecute();
    void actAboutExecute();
    void actExitExecute();
    void PageControl1Change();
    void FormKeyPress(QChar key);
    // UFace_monitor.cpp
    void actLineMonitorExecute();
    // UFace_device.cpp
    void actReadCurrentExecute();
    void TimerTimer();
    void CB_RefreshClick();
    void actSetRazmernostExecute();
    void N11Click();
    void N12Click();
    void N13Click();
    void N14Click();
    void actSetKoeffExecute();
    void actSetParamsExecute();
    // UFace_archive.cpp
    void CB_BankDblClick();
    void actGetBankNExecute();
    void actReadAllExecute();
    void CB_TimeFromClick();
    void CB_TimeToClick();
    // UFace_history.cpp
    void actHistoryExecute();
    // UFace_ports.cpp
    void actSerialPortsExecute();
    // UFace_settings.cpp: creates FormStorage1 and attaches it to this window.
    void CreateFormStorage();
    // UFace_monitor.cpp: creates LineEventLog and makes it the exchange's observer.
    void CreateLineEventLog();

    // F1: the program's help page at "ZIR-Soft".
    void ShowHelp();

signals:
    // The window is about to close for good (not emitted while a long
    // operation holds the close back): the moment to save the settings.
    void CloseAccepted();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class ExchangeHost;
    class StatusAdapter;
    class ProgressAdapter;

    void BuildTopStrip(QWidget* client);
    QWidget* BuildPageMode();
    QWidget* BuildPageMeasured();
    void BuildActions();
    void BuildMenus();
    void ConnectHandlers();
    void PreviewKey(QObject* receiver, QKeyEvent* key);
    bool IsEscapeAfterCancel(const QKeyEvent* key) const;
    bool EscapeProbe();
    void NoteExchangeCancelled();

    IDialogs* dialogs_ = nullptr;
    std::unique_ptr<IDialogs> qtDialogs_;
    IDeviceLink* injectedLink_ = nullptr;
    std::unique_ptr<TEscapeKey> escapeKey_;
    std::function<bool()> escapeProbe_;
    QString appDirOverride_;

    std::unique_ptr<IByteChannel> CommPort;
    std::unique_ptr<SystemClock> clock_;
    std::unique_ptr<ExchangeHost> exchangeHost_;
    std::unique_ptr<TExchange> exchange_;
    std::unique_ptr<StatusAdapter> statusAdapter_;
    std::unique_ptr<ProgressAdapter> progressAdapter_;
    std::unique_ptr<TPaintPacer> statusPacer_;
    IClock* paintClock_ = nullptr;
    THelpWindow* helpWindow_ = nullptr;
    std::unique_ptr<TLineMonitor> lineMonitor_;

    // Hidden code capture ("KOTA" reveals GB_Hidden).
    QString hiddenCodeBuffer_;
    bool hiddenCodeCapture_ = false;

    // An automatic reading (with its error box) is running.
    bool timerReadingRunning_ = false;
    // Auto refresh: the timer's tick count, and whether the last reading gave values.
    std::unique_ptr<TRefreshSchedule> refreshSchedule_;
    bool currentDataValid_ = false;
    QString logProblemTold_; // the last failure of ZIR.txt that was told
    std::function<void(const QString&)> openWorkbook_;
    THistoryStore* history_ = nullptr; // child of the window, deleted before clock_

    // Long operations (bank list, bank reading) and a close asked for meanwhile.
    int longOperationDepth_ = 0;
    bool cancelRequested_ = false;
    bool closePending_ = false;
    // Escape pressed during a long operation: its next request cancels.
    bool escapeCancelPending_ = false;

    // When the Escape key last cancelled an exchange: the same press must
    // not reach the window as a typed Escape.
    QElapsedTimer sinceEscapeCancel_;
};

} // namespace zir

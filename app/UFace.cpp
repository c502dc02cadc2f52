// TFace: construction, the services the handlers use, the window's own
// handlers (clock, about, exit, page notes, typed characters) and its keys.
#include "app/UFace.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <utility>

#include "app/AppEnvironment.h"
#include "app/ErrorBox.h"
#include "app/EscapeKey.h"
#include "app/HelpWindow.h"
#include "app/QtDialogs.h"
#include "app/windows/PaintPacer.h"
#include "app/windows/UAbout.h"
#include "app/windows/UArchive.h"
#include "app/windows/UHistory.h"
#include "app/windows/ULineMonitor.h"
#include "app/windows/UProgressBar.h"
#include "core/Clock.h"
#include "core/DataFolder.h"
#include "core/NumberText.h"
#include "device/Clock.h"
#include "device/CurrentData.h"
#include "device/DeviceContext.h"
#include "history/HistoryStore.h"
#include "link/CPDrv.h"
#include "link/Exchange.h"

namespace zir {

namespace {
const QString kHiddenCode = QStringLiteral("KOTA");
constexpr QChar kEscape(27);
// How long after an Escape cancel a further Escape press still counts as
// the same press (its key event arrives once the exchange has ended).
constexpr qint64 kEscapeEchoMs = 1000;
} // namespace

// What the request exchange reads from the window and reports to it.
class TFace::ExchangeHost final : public IExchangeHost {
public:
    explicit ExchangeHost(TFace& face) : face_(face) {}
    int PortNumber() const override { return face_.RxSpinEdit_ComPort->value(); }
    // "" while no speed is chosen: "'' is not a valid integer value".
    int BaudRate() const override { return StrToInt(face_.CB_ComPort_Speed->currentText()); }
    bool EscapeHeld() override { return face_.EscapeProbe(); }
    void RequestSent() override { face_.PaintWhileWaiting(); }

private:
    TFace& face_;
};

class TFace::StatusAdapter final : public IStatusLine {
public:
    explicit StatusAdapter(TFace& face) : face_(face) {}
    void SetStatus(const QString& text) override { face_.SetStatus(text); }
    QString Status() const override { return face_.Status(); }

private:
    TFace& face_;
};

// The progress window in the four steps every operation drives it in.
class TFace::ProgressAdapter final : public IProgress {
public:
    explicit ProgressAdapter(TFace& face) : face_(face) {}
    void Prepare(int maxValue) override {
        TGauge& gauge = Gauge();
        gauge.SetProgress(0);
        gauge.SetMaxValue(maxValue);
        gauge.SetProgress(0);
    }
    void Show() override { Window().ShowOver(&face_); }
    void SetProgress(int position) override { Gauge().SetProgress(position); }
    void Close() override { Window().close(); }

private:
    TFProgressBar& Window() {
        face_.CreateAuxiliaryWindows();
        return *face_.FProgressBar;
    }
    TGauge& Gauge() { return *Window().Gauge; }
    TFace& face_;
};

TFace::TFace(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                              Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint),
      qtDialogs_(std::make_unique<QtDialogs>(this)),
      clock_(std::make_unique<SystemClock>()),
      exchangeHost_(std::make_unique<ExchangeHost>(*this)),
      statusAdapter_(std::make_unique<StatusAdapter>(*this)),
      progressAdapter_(std::make_unique<ProgressAdapter>(*this)),
      statusPacer_(std::make_unique<TPaintPacer>([this] {
          if (StatusBar->isVisible()) StatusBar->repaint();
      })),
      refreshSchedule_(std::make_unique<TRefreshSchedule>()) {
    InitResources();
    setObjectName(QStringLiteral("Face"));
    setWindowTitle(QStringLiteral("ZIR"));
    setFont(DesignFont());
    dialogs_ = qtDialogs_.get();
    escapeKey_ = std::make_unique<TEscapeKey>();
    escapeProbe_ = [this] { return escapeKey_->Held(); };

    CommPort = std::make_unique<TCPDrv>(*clock_);
    exchange_ = std::make_unique<TExchange>(*CommPort, *exchangeHost_, *statusAdapter_, *clock_);
    CreateLineEventLog();

    BuildActions();
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    // Designed client area 537 x 466, of which 19 for the status bar.
    client->setMinimumSize(537, 447);
    BuildTopStrip(client);
    setCentralWidget(client);
    BuildMenus();

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(1000);

    ConnectHandlers();
    CreateFormStorage();

    // Not resizable: the layout fixes the size so that no caption is clipped.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // Every event of the application passes eventFilter once: the typed
    // characters of any control, the window's shortcuts and the double click
    // on the bank list (its combo box and its edit field). A further filter
    // on one of those controls would see its events a second time.
    qApp->installEventFilter(this);
    Timer->start();
}

TFace::~TFace() {
    qApp->removeEventFilter(this);
    // The history window before the history it shows, which commits what is
    // staged as it goes.
    delete FHistory;
    FHistory = nullptr;
    // The history commits what is staged on its clock, which goes with the members.
    delete history_;
    history_ = nullptr;
}

void TFace::ConnectHandlers() {
    const auto device = [this](QAction* action, void (TFace::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { RunDeviceAction([this, handler] { (this->*handler)(); }); });
    };
    const auto plain = [this](QAction* action, void (TFace::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); });
    };
    device(actGetTime, &TFace::actGetTimeExecute);
    device(actReadCurrent, &TFace::actReadCurrentExecute);
    device(actSetRazmernost, &TFace::actSetRazmernostExecute);
    device(actSetKoeff, &TFace::actSetKoeffExecute);
    device(actSetParams, &TFace::actSetParamsExecute);
    device(actGetBankN, &TFace::actGetBankNExecute);
    device(actRefreshBanks, &TFace::CB_BankDblClick);
    device(actReadAll, &TFace::actReadAllExecute);
    plain(actAbout, &TFace::actAboutExecute);
    plain(actExit, &TFace::actExitExecute);
    plain(actHistory, &TFace::actHistoryExecute);
    plain(actSerialPorts, &TFace::actSerialPortsExecute);
    plain(actLineMonitor, &TFace::actLineMonitorExecute);
    plain(N11, &TFace::N11Click);
    plain(N12, &TFace::N12Click);
    plain(N13, &TFace::N13Click);
    plain(N14, &TFace::N14Click);

    // These boxes govern other controls after every change of their state:
    // click, key, accessibility action, settings restore, program.
    connect(CB_Refresh, &QCheckBox::toggled, this, [this] { RunGuarded([this] { CB_RefreshClick(); }); });
    connect(CB_TimeFrom, &QCheckBox::toggled, this, [this] { RunGuarded([this] { CB_TimeFromClick(); }); });
    connect(CB_TimeTo, &QCheckBox::toggled, this, [this] { RunGuarded([this] { CB_TimeToClick(); }); });
    // The timer's reading also runs between the requests of a long operation.
    connect(Timer, &QTimer::timeout, this, [this] { RunGuarded([this] { TimerTimer(); }); });

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this] { RunGuarded([this] { ShowHelp(); }); });
}

void TFace::CreateAuxiliaryWindows() {
    if (!AboutBox) AboutBox = new TAboutBox(this);
    if (!FProgressBar) {
        FProgressBar = new TFProgressBar(this);
        FProgressBar->setFont(DesignFont());
        FProgressBar->Gauge->SetClock(paintClock_);
    }
    if (!Archive) {
        Archive = new TArchive(Dialogs(), this);
        Archive->setFont(DesignFont());
        Archive->SetClock(paintClock_);
    }
    AboutBox->setFont(DesignFont());
}

// --- services

DeviceContext TFace::MakeDeviceContext() {
    IDeviceLink& link = injectedLink_ ? *injectedLink_ : static_cast<IDeviceLink&>(*exchange_);
    return DeviceContext{link, LE_DeviceAdr->text(), *statusAdapter_, *progressAdapter_, NProgressCheck->isChecked()};
}

IDialogs& TFace::Dialogs() { return *dialogs_; }

IClock& TFace::Clock() { return *clock_; }

void TFace::SetDialogs(IDialogs* dialogs) {
    dialogs_ = dialogs ? dialogs : qtDialogs_.get();
    if (Archive) Archive->SetDialogs(*dialogs_);
    if (LineMonitor) LineMonitor->SetDialogs(*dialogs_);
    if (FHistory) FHistory->SetDialogs(dialogs);
}

void TFace::SetDeviceLink(IDeviceLink* link) { injectedLink_ = link; }

void TFace::SetEscapeProbe(std::function<bool()> probe) {
    escapeProbe_ = probe ? std::move(probe) : [this] { return escapeKey_->Held(); };
}

void TFace::SetAppDir(const QString& dir) { appDirOverride_ = dir; }

void TFace::SetPaintClock(IClock* clock) {
    paintClock_ = clock;
    statusPacer_->SetClock(clock);
    if (Archive) Archive->SetClock(clock);
    if (FProgressBar) FProgressBar->Gauge->SetClock(clock);
}

QString TFace::AppDir() const {
    const QString dir = appDirOverride_.isEmpty() ? ProgramAppDir() : appDirOverride_;
    // Created on first use (the data folder of an installed program).
    QDir().mkpath(dir);
    return dir;
}

void TFace::SetStatus(const QString& text) {
    StatusBar->showMessage(text);
    statusPacer_->Request();
}

void TFace::PaintWhileWaiting() {
    statusPacer_->PaintIfDue();
    if (FProgressBar) FProgressBar->Gauge->PaintIfDue();
    if (Archive) Archive->PaintIfDue();
    // The paints that the event loop would do between two records, done
    // while the line is busy instead of before the next request.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

QString TFace::Status() const { return StatusBar->currentMessage(); }

TArchive* TFace::ArchiveWindow() {
    CreateAuxiliaryWindows();
    return Archive;
}

bool TFace::LongOperationRunning() const { return longOperationDepth_ > 0; }

bool TFace::CancelRequested() const { return cancelRequested_; }

void TFace::BeginLongOperation() {
    if (longOperationDepth_++ == 0) cancelRequested_ = escapeCancelPending_ = false;
}

void TFace::EndLongOperation() {
    if (longOperationDepth_ == 0 || --longOperationDepth_ > 0) return;
    cancelRequested_ = escapeCancelPending_ = false;
    if (closePending_) {
        closePending_ = false;
        // After the handler that ran the operation has returned.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

QString TFace::BusyNote() { return QStringLiteral("Wait until the archive operation is over"); }

void TFace::RunGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        Dialogs().ShowError(ErrorBoxText(ExceptionMessage(error)));
    }
}

void TFace::RunDeviceAction(const std::function<void()>& handler) {
    if (LongOperationRunning()) {
        SetStatus(BusyNote());
        return;
    }
    RunGuarded(handler);
}

bool TFace::EscapeProbe() {
    const bool held = (escapeProbe_ && escapeProbe_()) || std::exchange(escapeCancelPending_, false);
    if (held) NoteExchangeCancelled();
    return held || CancelRequested();
}

void TFace::NoteExchangeCancelled() { sinceEscapeCancel_.start(); }

// --- the window's handlers

void TFace::actGetTimeExecute() {
    if (const auto text = ReadDeviceTime(MakeDeviceContext())) Edit_Time->setText(*text);
}

void TFace::actAboutExecute() {
    CreateAuxiliaryWindows();
    AboutBox->adjustSize();
    if (const QScreen* screen = this->screen()) {
        AboutBox->move(screen->availableGeometry().center() - AboutBox->rect().center());
    }
    AboutBox->exec();
    ReturnFocusTo(this);
}

void TFace::actExitExecute() { close(); }

void TFace::PageControl1Change() {
    switch (PageControl1->currentIndex()) {
    case 0: SetStatus(QStringLiteral("You can use this mode if ZIR started with Enter и Esc keys on device")); break;
    case 1: SetStatus(QStringLiteral("You can use this mode if ZIR started in normal mode")); break;
    default: break;
    }
}

void TFace::FormKeyPress(QChar key) {
    if (key == kEscape) {
        if (Dialogs().ConfirmWarning(QStringLiteral("Would you like to finish the program?"))) close();
    }
    if (key == kHiddenCode.front()) {
        hiddenCodeCapture_ = true;
        hiddenCodeBuffer_.clear();
    }
    if (hiddenCodeCapture_) {
        hiddenCodeBuffer_ += key;
        if (!kHiddenCode.contains(hiddenCodeBuffer_, Qt::CaseSensitive)) {
            hiddenCodeBuffer_.clear();
            hiddenCodeCapture_ = false;
        } else if (hiddenCodeBuffer_.size() == kHiddenCode.size()) {
            hiddenCodeBuffer_.clear();
            hiddenCodeCapture_ = false;
            GB_Hidden->setVisible(true);
        }
    }
}

void TFace::ShowHelp() {
    if (!helpWindow_) helpWindow_ = new THelpWindow(this);
    helpWindow_->ShowKeyword(QStringLiteral("ZIR-Soft"));
}

// --- events

bool TFace::event(QEvent* event) {
    // Menu items report their (empty) status tips as the mouse passes over
    // them; the status line shows only what the operations write.
    if (event->type() == QEvent::StatusTip) return true;
    return QMainWindow::event(event);
}

void TFace::closeEvent(QCloseEvent* event) {
    if (LongOperationRunning()) {
        // The running operation ends as on Escape; EndLongOperation closes.
        cancelRequested_ = true;
        closePending_ = true;
        event->ignore();
        return;
    }
    emit CloseAccepted();
    if (FProgressBar) FProgressBar->close();
    if (helpWindow_) helpWindow_->close();
    if (LineMonitor) LineMonitor->close();
    if (FHistory) FHistory->close(); // keeps its placement
    event->accept();
}

bool TFace::IsEscapeAfterCancel(const QKeyEvent* key) const {
    return key->key() == Qt::Key_Escape && sinceEscapeCancel_.isValid() &&
           (sinceEscapeCancel_.elapsed() < kEscapeEchoMs || key->isAutoRepeat());
}

bool TFace::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride: {
        auto* key = static_cast<QKeyEvent*>(event);
        // The Escape that cancelled an exchange is swallowed wherever it lands
        // (the window, an error box that followed the cancel).
        if (IsEscapeAfterCancel(key)) return true;
        if (key->key() == Qt::Key_Escape && !key->isAutoRepeat() && event->type() == QEvent::KeyPress) {
            sinceEscapeCancel_.invalidate();
            // The exchange looks at the key only when a request starts; a press
            // whose event comes between two requests of a bank list or reading
            // is the same cancel (taken as a typed Escape it would ask a
            // question and hold the operation in it). A box of the operation
            // keeps its own Escape.
            if (LongOperationRunning() && !QApplication::activeModalWidget()) {
                escapeCancelPending_ = true;
                NoteExchangeCancelled();
                return true;
            }
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != this) break;
        if (event->type() == QEvent::ShortcutOverride) {
            // The window's own shortcuts win over an edit field's Cut and Select all.
            const QKeySequence pressed(key->keyCombination());
            for (const QAction* action : {actGetTime, actAbout, actExit, actHistory}) {
                if (action->shortcut() == pressed) {
                    event->ignore();
                    return true;
                }
            }
            break;
        }
        PreviewKey(watched, key);
        break;
    }
    case QEvent::MouseButtonDblClick:
        if (watched == CB_Bank || (CB_Bank->lineEdit() && watched == CB_Bank->lineEdit())) {
            RunDeviceAction([this] { CB_BankDblClick(); });
        }
        break;
    default: break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFace::PreviewKey(QObject* receiver, QKeyEvent* key) {
    // A key event climbs from the focused control to the window; preview it
    // only at its first receiver.
    QWidget* first = focusWidget() ? focusWidget() : this;
    if (receiver != first) return;
    QChar typed;
    if (key->key() == Qt::Key_Escape) {
        typed = kEscape;
    } else if (!key->text().isEmpty()) {
        typed = key->text().front();
    } else {
        return;
    }
    RunGuarded([this, typed] { FormKeyPress(typed); });
}

} // namespace zir

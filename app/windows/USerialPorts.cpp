#include "app/windows/USerialPorts.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "app/Dialogs.h"
#include "app/ErrorBox.h"
#include "app/settings/FormPlacement.h"
#include "link/PortNaming.h"
#include "ports/ComLinks.h"
#include "ports/FindInstrument.h"

namespace zir {

namespace {

QString ComText(const SerialPortEntry& entry) {
    QStringList numbers;
    for (const int n : entry.comLinks) numbers << QStringLiteral("COM%1").arg(n);
    if (entry.defaultCom > 0) numbers << QStringLiteral("COM%1 (default)").arg(entry.defaultCom);
    return numbers.join(QStringLiteral(", "));
}

const QString kByIdFolder = QStringLiteral("/dev/serial/by-id/");

// Widest a column grows to fit its texts; longer ones are elided in the
// middle (the whole text is the cell's tooltip).
constexpr int kColumnCaps[TSerialPorts::colCount] = {140, 200, 360, 360, 90, 0};

// An unplugged adapter is known only by its stable name.
QString DeviceText(const SerialPortEntry& entry) {
    return entry.kind == PortKind::LinkOnly && entry.device == entry.stableName ? QString() : entry.device;
}

QString StableNameText(const SerialPortEntry& entry) {
    return entry.stableName.startsWith(kByIdFolder) ? entry.stableName.mid(kByIdFolder.size()) : entry.stableName;
}

QString AccessText(const SerialPortEntry& entry) {
    if (!entry.present) return {};
    return entry.accessRemedy.isEmpty() ? QStringLiteral("yes") : QStringLiteral("no: ") + entry.accessRemedy;
}

QPushButton* Button(const char* name, const char* caption, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

// The search's progress shown in the window; the window's events run
// before each attempt, so Stop and closing are noticed.
class TSerialPorts::SearchObserver final : public IFindObserver {
public:
    explicit SearchObserver(TSerialPorts& window) : window_(window) {}
    void Trying(const SerialPortEntry& port, std::uint32_t baud) override {
        window_.SetStatus(QStringLiteral("Trying %1 at %2 baud...").arg(port.device).arg(baud));
        QCoreApplication::processEvents();
    }
    void Note(const QString& line) override { window_.Memo_Find->appendPlainText(line); }
    bool StopRequested() override { return window_.stopRequested_ || window_.host_->CloseRequested(); }

private:
    TSerialPorts& window_;
};

TSerialPorts::TSerialPorts(std::unique_ptr<ISerialPortsHost> host, QWidget* parent)
    : QWidget(parent, Qt::Window), host_(std::move(host)) {
    setObjectName(QStringLiteral("SerialPorts"));
    setWindowTitle(QStringLiteral("Serial ports"));
    resize(960, 360);

    ListPorts = new QTableWidget(0, colCount, this);
    ListPorts->setObjectName(QStringLiteral("ListPorts"));
    ListPorts->setHorizontalHeaderLabels(
        {QStringLiteral("COM"), QStringLiteral("Device"), QStringLiteral("Stable name in ") + kByIdFolder,
         QStringLiteral("Description"), QStringLiteral("Present"), QStringLiteral("Access")});
    ListPorts->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListPorts->setSelectionMode(QAbstractItemView::SingleSelection);
    ListPorts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListPorts->setWordWrap(false);
    ListPorts->setTextElideMode(Qt::ElideMiddle);
    ListPorts->verticalHeader()->setVisible(false);
    ListPorts->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ListPorts->horizontalHeader()->setStretchLastSection(true);
    ListPorts->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    Label_ComNumber = new QLabel(QStringLiteral("COM &number"), this);
    Label_ComNumber->setObjectName(QStringLiteral("Label_ComNumber"));
    SpinEdit_ComNumber = new QSpinBox(this);
    SpinEdit_ComNumber->setObjectName(QStringLiteral("SpinEdit_ComNumber"));
    SpinEdit_ComNumber->setRange(kMinPortNumber, kMaxPortNumber);
    Label_ComNumber->setBuddy(SpinEdit_ComNumber);
    Btn_Assign = Button("Btn_Assign", "&Assign", this);
    Btn_Remove = Button("Btn_Remove", "&Remove assignment", this);
    Btn_Find = Button("Btn_Find", "&Find the instrument", this);
    Btn_Find->setToolTip(
        QStringLiteral("Send the clock request to the address of the main window on every device "
                       "at 19200, 9600, 4800, 2400 and 1200 baud"));
    Btn_Stop = Button("Btn_Stop", "S&top", this);
    Btn_Stop->setEnabled(false);
    Btn_Close = Button("Btn_Close", "&Close", this);

    Memo_Find = new QPlainTextEdit(this);
    Memo_Find->setObjectName(QStringLiteral("Memo_Find"));
    Memo_Find->setReadOnly(true);
    Memo_Find->setPlaceholderText(QStringLiteral("What \"Find the instrument\" tries is shown here."));
    Memo_Find->setMaximumBlockCount(200);
    Memo_Find->setFixedHeight(Memo_Find->fontMetrics().lineSpacing() * 5 + 10);
    Label_Status = new QLabel(this);
    Label_Status->setObjectName(QStringLiteral("Label_Status"));
    Label_Status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* controls = new QHBoxLayout;
    controls->addWidget(Label_ComNumber);
    controls->addWidget(SpinEdit_ComNumber);
    controls->addWidget(Btn_Assign);
    controls->addWidget(Btn_Remove);
    controls->addStretch();
    controls->addWidget(Btn_Find);
    controls->addWidget(Btn_Stop);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Label_Status, 1);
    bottom->addWidget(Btn_Close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListPorts, 1);
    layout->addLayout(controls);
    layout->addWidget(Memo_Find);
    layout->addLayout(bottom);

    RescanTimer = new QTimer(this);
    RescanTimer->setObjectName(QStringLiteral("RescanTimer"));
    RescanTimer->setInterval(1000);
    connect(RescanTimer, &QTimer::timeout, this, [this] { Guarded([this] { Rescan(); }); });

    connect(ListPorts, &QTableWidget::itemSelectionChanged, this, [this] { SelectionChanged(); });
    connect(Btn_Assign, &QPushButton::clicked, this, [this] { Guarded([this] { Btn_AssignClick(); }); });
    connect(Btn_Remove, &QPushButton::clicked, this, [this] { Guarded([this] { Btn_RemoveClick(); }); });
    connect(Btn_Find, &QPushButton::clicked, this, [this] { Guarded([this] { Btn_FindClick(); }); });
    connect(Btn_Stop, &QPushButton::clicked, this, [this] { Btn_StopClick(); });
    connect(Btn_Close, &QPushButton::clicked, this, &QWidget::close);

    Placement = new TFormPlacement(this);
    Placement->IniSection = QStringLiteral("TSerialPorts");
    Placement->SetErrorReporter([this](const QString& message) { host_->Dialogs().ShowError(ErrorBoxText(message)); });
    Placement->Attach();
}

TSerialPorts::~TSerialPorts() = default;

void TSerialPorts::SetDeviceTree(const DeviceTree& tree) {
    tree_ = tree;
    Rescan();
}

void TSerialPorts::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        host_->Dialogs().ShowError(ErrorBoxText(ExceptionMessage(error)));
    }
}

void TSerialPorts::SetStatus(const QString& text) {
    Label_Status->setText(text);
    if (Label_Status->isVisible()) Label_Status->repaint();
}

void TSerialPorts::Rescan() {
    std::vector<SerialPortEntry> now = ListSerialPorts(tree_);
    if (now == entries_ && ListPorts->rowCount() == static_cast<int>(entries_.size())) return;
    // Rows keep their device, not their place, across a new listing.
    const SerialPortEntry* chosen = Selected();
    const QString key = chosen ? chosen->Key() : QString();
    entries_ = std::move(now);
    Fill(key);
}

void TSerialPorts::Fill(const QString& selectedKey) {
    const QSignalBlocker quiet(ListPorts);
    ListPorts->clearContents();
    ListPorts->setRowCount(static_cast<int>(entries_.size()));
    int keep = -1;
    for (int row = 0; row < ListPorts->rowCount(); ++row) {
        const SerialPortEntry& entry = entries_[static_cast<std::size_t>(row)];
        const QString texts[colCount] = {ComText(entry),
                                         DeviceText(entry),
                                         StableNameText(entry),
                                         entry.Description(),
                                         entry.present ? QStringLiteral("yes") : QStringLiteral("unplugged"),
                                         AccessText(entry)};
        const QString tips[colCount] = {texts[colCom],         entry.device,      entry.stableName,
                                        texts[colDescription], texts[colPresent], texts[colAccess]};
        for (int column = 0; column < colCount; ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            item->setToolTip(tips[column]);
            ListPorts->setItem(row, column, item);
        }
        if (entry.Key() == selectedKey) keep = row;
    }
    // The last column takes the rest of the width.
    for (int column = 0; column + 1 < colCount; ++column) {
        ListPorts->resizeColumnToContents(column);
        ListPorts->setColumnWidth(column, std::min(ListPorts->columnWidth(column), kColumnCaps[column]));
    }
    if (keep >= 0)
        ListPorts->selectRow(keep);
    else
        ListPorts->clearSelection();
}

const SerialPortEntry* TSerialPorts::Selected() const {
    const QList<QTableWidgetSelectionRange> ranges = ListPorts->selectedRanges();
    if (ranges.isEmpty()) return nullptr;
    const int row = ranges.front().topRow();
    if (row < 0 || row >= static_cast<int>(entries_.size())) return nullptr;
    return &entries_[static_cast<std::size_t>(row)];
}

bool TSerialPorts::SelectDevice(const QString& device) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].device == device) {
            ListPorts->selectRow(static_cast<int>(i));
            return true;
        }
    }
    return false;
}

void TSerialPorts::SelectionChanged() {
    const SerialPortEntry* entry = Selected();
    if (entry && entry->ComNumber() > 0) SpinEdit_ComNumber->setValue(entry->ComNumber());
}

void TSerialPorts::ShowModeless() {
    const int port = host_->PortNumber();
    SpinEdit_ComNumber->setValue(port);
    show();
    // The device the port field names now, when it is listed.
    if (!Selected()) {
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i].comLinks.contains(port) || entries_[i].defaultCom == port) {
                ListPorts->selectRow(static_cast<int>(i));
                break;
            }
        }
    }
    raise();
    activateWindow();
}

bool TSerialPorts::Assign(const SerialPortEntry& entry, int n) {
    const QString target = entry.LinkTarget();
    const ComLink now = ReadComLink(n);
    if (now.isLink && now.target == target) {
        host_->SetPortNumber(n);
        SetStatus(QStringLiteral("COM%1 already leads to %2").arg(n).arg(target));
        return true;
    }
    if (now.isLink &&
        !host_->Dialogs().ConfirmWarning(
            QStringLiteral("COM%1 leads to %2. Let it lead to %3 instead?").arg(n).arg(now.target, target))) {
        SetStatus(QStringLiteral("COM%1 was left as it was").arg(n));
        return false;
    }
    AssignComLink(n, target);
    host_->SetPortNumber(n);
    SetStatus(QStringLiteral("COM%1 now leads to %2").arg(n).arg(target));
    Rescan();
    return true;
}

void TSerialPorts::Btn_AssignClick() {
    const SerialPortEntry* entry = Selected();
    if (!entry) {
        SetStatus(QStringLiteral("Choose a device in the list first"));
        return;
    }
    const SerialPortEntry chosen = *entry;
    Assign(chosen, SpinEdit_ComNumber->value());
}

void TSerialPorts::Btn_RemoveClick() {
    const SerialPortEntry* entry = Selected();
    if (!entry) {
        SetStatus(QStringLiteral("Choose a device in the list first"));
        return;
    }
    const int n = SpinEdit_ComNumber->value();
    if (!entry->comLinks.contains(n)) {
        SetStatus(QStringLiteral("COM%1 is not assigned to %2").arg(n).arg(entry->device));
        return;
    }
    RemoveComLink(n);
    SetStatus(QStringLiteral("COM%1 was removed").arg(n));
    Rescan();
}

void TSerialPorts::SetSearching(bool on) {
    searching_ = on;
    for (QWidget* control : {static_cast<QWidget*>(Btn_Assign), static_cast<QWidget*>(Btn_Remove),
                             static_cast<QWidget*>(Btn_Find), static_cast<QWidget*>(SpinEdit_ComNumber)}) {
        control->setEnabled(!on);
    }
    Btn_Stop->setEnabled(on);
}

void TSerialPorts::Btn_FindClick() {
    if (searching_) return;
    if (!host_->BeginSearch()) {
        SetStatus(host_->BusyNote());
        return;
    }
    // Ends the search however this handler leaves.
    struct SearchEndGuard {
        TSerialPorts& window;
        ~SearchEndGuard() {
            window.SetSearching(false);
            window.host_->EndSearch();
        }
    } end{*this};
    stopRequested_ = false;
    SetSearching(true);
    Memo_Find->clear();
    Rescan();
    // A copy: the list may be read again while the search lets events run.
    const std::vector<SerialPortEntry> ports = entries_;
    SearchObserver observer(*this);
    const FindResult result =
        FindInstrument(ports, tree_, host_->DeviceAddress(), observer, host_->Clock(), host_->LineObserver());
    if (result.stopped) {
        Memo_Find->appendPlainText(QStringLiteral("Stopped"));
        SetStatus(QStringLiteral("The search was stopped"));
        return;
    }
    if (!result.found) {
        SetStatus(QStringLiteral("No instrument answered"));
        return;
    }
    const SerialPortEntry& found = ports[*result.found];
    host_->SelectSpeed(result.baud);
    int n = found.ComNumber();
    if (n > 0) {
        host_->SetPortNumber(n);
    } else {
        n = SpinEdit_ComNumber->value();
        if (!Assign(found, n)) return;
    }
    SetStatus(QStringLiteral("The instrument answered on %1 at %2 baud: COM-port %3 and %2 baud chosen")
                  .arg(found.device)
                  .arg(result.baud)
                  .arg(n));
    SelectDevice(found.device);
}

void TSerialPorts::Btn_StopClick() { stopRequested_ = true; }

void TSerialPorts::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Rescan();
    RescanTimer->start();
}

void TSerialPorts::hideEvent(QHideEvent* event) {
    RescanTimer->stop();
    stopRequested_ = true;
    QWidget::hideEvent(event);
}

void TSerialPorts::closeEvent(QCloseEvent* event) {
    stopRequested_ = true;
    Placement->CloseQuery();
    event->accept();
}

} // namespace zir

#include "app/windows/ULineMonitor.h"

#include <QAction>
#include <QApplication>
#include <QCache>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Dialogs.h"
#include "app/ErrorBox.h"
#include "app/settings/FormPlacement.h"
#include "app/windows/LineEventLog.h"
#include "app/windows/UArchive.h"

namespace zir {

namespace {

// The counters' captions and the names of their value labels, in the
// order they stand (two columns per group, row by row).
struct CounterItem {
    const char* name;
    const char* caption;
};
constexpr CounterItem kRequestCounters[] = {
    {"Requests", "Requests"},
    {"FirstAttempt", "Answered at first attempt"},
    {"Retried", "Retried"},
    {"NotAnswered", "Not answered"},
    {"Cancelled", "Cancelled"},
    {"Errors", "Errors"},
    {"MeanReplyTime", "Mean reply time"},
    {"MaxReplyTime", "Max reply time"},
};
constexpr CounterItem kFrameCounters[] = {
    {"FramesSent", "Frames sent"},
    {"Accepted", "Replies accepted"},
    {"NoReply", "Silent reads"},
    {"PacketErrors", "Packet errors"},
    {"RejectedHeader", "Rejected: header checksum"},
    {"RejectedLength", "Rejected: length"},
    {"RejectedData", "Rejected: data checksum"},
    {"Rejected", "Rejected in all"},
};

struct FilterItem {
    LineCategory category;
    const char* name;
    const char* caption;
};
constexpr FilterItem kFilters[] = {
    {LineCategory::Sent, "ShowSent", "&Sent"},
    {LineCategory::Accepted, "ShowAccepted", "&Accepted"},
    {LineCategory::NoReply, "ShowNoReply", "&No reply"},
    {LineCategory::PacketError, "ShowPacketErrors", "Pac&ket errors"},
    {LineCategory::Rejected, "ShowRejected", "&Rejected"},
    {LineCategory::RequestEnd, "ShowRequestEnds", "Request &ends"},
};

// Draws a row's line as prepared static text, kept for the rows drawn
// lately (by the event's number, which no other event gets): a batch
// scrolls the view by a few rows, and the rows that stay in sight are not
// laid out again.
class LineDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        if (selected) painter->fillRect(option.rect, option.palette.highlight());
        const qulonglong seq = index.data(TLineEventLog::kSequenceRole).toULongLong();
        QStaticText* text = cache_.object(seq);
        if (!text) {
            text = new QStaticText(index.data().toString());
            text->setTextFormat(Qt::PlainText);
            text->prepare(QTransform(), option.font);
            cache_.insert(seq, text);
        }
        painter->save();
        const QVariant foreground = index.data(Qt::ForegroundRole);
        painter->setPen(selected                          ? option.palette.highlightedText().color()
                        : foreground.canConvert<QBrush>() ? foreground.value<QBrush>().color()
                                                          : option.palette.text().color());
        painter->setFont(option.font);
        const qreal top = option.rect.top() + (option.rect.height() - text->size().height()) / 2;
        painter->drawStaticText(QPointF(option.rect.left() + 3, top), *text);
        painter->restore();
    }

private:
    mutable QCache<qulonglong, QStaticText> cache_{600};
};

QString Milliseconds(std::optional<std::int64_t> ms) {
    return ms ? QStringLiteral("%1 ms").arg(*ms) : QStringLiteral("–");
}

} // namespace

TLineMonitor::TLineMonitor(TLineEventLog& log, IDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(&dialogs), log_(&log) {
    setObjectName(QStringLiteral("LineMonitor"));
    setWindowTitle(QStringLiteral("Line monitor"));
    resize(1120, 560);

    // A table of one column with rows of one fixed height: appending rows
    // costs the view the new rows only (a list view would lay out all of
    // its up to 100,000 rows again at every batch).
    List = new QTableView(this);
    List->setObjectName(QStringLiteral("List"));
    List->setModel(log_);
    List->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    List->horizontalHeader()->hide();
    List->verticalHeader()->hide();
    List->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    List->verticalHeader()->setMinimumSectionSize(1);
    List->verticalHeader()->setDefaultSectionSize(QFontMetrics(List->font()).height() + 1);
    List->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    List->setShowGrid(false);
    List->setWordWrap(false);
    List->setTextElideMode(Qt::ElideNone);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    List->setItemDelegate(new LineDelegate(List));
    copyAction_ = new QAction(QStringLiteral("&Copy"), List);
    copyAction_->setObjectName(QStringLiteral("CopyLines"));
    copyAction_->setShortcut(QKeySequence::Copy);
    copyAction_->setShortcutContext(Qt::WidgetShortcut);
    List->addAction(copyAction_);
    List->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(copyAction_, &QAction::triggered, this, [this] { CopySelection(); });

    List->viewport()->installEventFilter(this);

    KeptLabel = new QLabel(this);
    KeptLabel->setObjectName(QStringLiteral("KeptLabel"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildCounters());
    layout->addWidget(BuildControls());
    layout->addWidget(List, 1);
    layout->addWidget(KeptLabel);

    // The view follows the newest line while it is scrolled to the end (a
    // batch may move it meanwhile: the rows it drops can take the current
    // row, and the view then scrolls to its successor).
    QScrollBar* bar = List->verticalScrollBar();
    connect(log_, &TLineEventLog::BatchStarting, this, [this, bar] { followEnd_ = bar->value() == bar->maximum(); });
    connect(log_, &TLineEventLog::Shown, this, [this] {
        if (followEnd_) List->scrollToBottom();
    });
    connect(log_, &TLineEventLog::Shown, this, &TLineMonitor::ShowState);
    ShowState();

    placement_ = new TFormPlacement(this);
    placement_->setObjectName(QStringLiteral("Placement"));
    placement_->IniSection = QStringLiteral("LineMonitor");
    placement_->SetErrorReporter([this](const QString& message) { dialogs_->ShowError(ErrorBoxText(message)); });
    // A window closed and opened again has saved at its close; at program
    // end it saves where it stands now. Connected before the placement's
    // own program-end save, which then finds it done.
    if (QCoreApplication* app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            if (isVisible() && placement_->Saved()) placement_->CloseQuery();
        });
    }
    placement_->Attach();
}

QWidget* TLineMonitor::BuildCounters() {
    auto* strip = new QWidget(this);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    const auto group = [this, row](const char* name, const char* caption, const auto& items) {
        auto* box = new QGroupBox(QString::fromUtf8(caption), this);
        box->setObjectName(QString::fromLatin1(name));
        auto* grid = new QGridLayout(box);
        grid->setHorizontalSpacing(8);
        grid->setVerticalSpacing(2);
        int index = 0;
        for (const CounterItem& item : items) {
            const int r = index / 2;
            const int c = (index % 2) * 2;
            auto* value = new QLabel(box);
            value->setObjectName(QStringLiteral("Count_") + QString::fromLatin1(item.name));
            value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("0000000 ms")));
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            grid->addWidget(new QLabel(QString::fromUtf8(item.caption), box), r, c);
            grid->addWidget(value, r, c + 1);
            CounterLabels[QString::fromLatin1(item.name)] = value;
            ++index;
        }
        grid->setColumnStretch(1, 1);
        grid->setColumnStretch(3, 1);
        row->addWidget(box, 1);
    };
    group("RequestCounters", "Requests", kRequestCounters);
    group("FrameCounters", "Frames", kFrameCounters);
    return strip;
}

QWidget* TLineMonitor::BuildControls() {
    auto* strip = new QWidget(this);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("Show:"), strip));
    for (const FilterItem& item : kFilters) {
        auto* box = new QCheckBox(QString::fromUtf8(item.caption), strip);
        box->setObjectName(QString::fromLatin1(item.name));
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this, [this] { ApplyFilter(); });
        FilterBoxes[static_cast<unsigned>(item.category)] = box;
        row->addWidget(box);
    }
    row->addStretch(1);
    PauseButton = new QPushButton(QStringLiteral("&Pause"), strip);
    PauseButton->setObjectName(QStringLiteral("PauseButton"));
    PauseButton->setCheckable(true);
    PauseButton->setToolTip(QStringLiteral("Hold the view: new events are kept and shown when the pause ends"));
    ClearButton = new QPushButton(QStringLiteral("C&lear"), strip);
    ClearButton->setObjectName(QStringLiteral("ClearButton"));
    ClearButton->setToolTip(QStringLiteral("Forget every event and set the counters to zero"));
    SaveButton = new QPushButton(QStringLiteral("Sa&ve..."), strip);
    SaveButton->setObjectName(QStringLiteral("SaveButton"));
    SaveButton->setToolTip(QStringLiteral("Save the lines shown to a text file"));
    row->addWidget(PauseButton);
    row->addWidget(ClearButton);
    row->addWidget(SaveButton);
    connect(PauseButton, &QPushButton::toggled, this, [this](bool on) { log_->SetPaused(on); });
    connect(ClearButton, &QPushButton::clicked, this, [this] { log_->Clear(); });
    connect(SaveButton, &QPushButton::clicked, this, [this] { Guarded([this] { SaveToFile(); }); });
    return strip;
}

void TLineMonitor::ShowModeless() {
    show();
    raise();
    activateWindow();
}

QStringList TLineMonitor::Lines() const { return log_->Lines(); }

void TLineMonitor::SaveToFile() {
    const QString path = dialogs_->GetSaveFileName();
    if (path.isEmpty()) return;
    QByteArray bytes;
    for (const QString& line : Lines()) {
        bytes += line.toUtf8();
        bytes += '\n';
    }
    SaveBytesToFile(bytes, path);
}

void TLineMonitor::ApplyFilter() {
    unsigned categories = 0;
    for (const auto& [category, box] : FilterBoxes) {
        if (box->isChecked()) categories |= category;
    }
    log_->SetFilter(categories);
    List->scrollToBottom();
}

void TLineMonitor::ShowState() {
    const LineCounters& c = log_->Counters();
    const auto show = [this](const char* name, const QString& text) {
        QLabel* label = CounterLabels.at(QString::fromLatin1(name));
        if (label->text() != text) label->setText(text);
    };
    const auto set = [&show](const char* name, std::int64_t value) { show(name, QString::number(value)); };
    set("Requests", c.requests);
    set("FirstAttempt", c.firstAttempt);
    set("Retried", c.retried);
    set("NotAnswered", c.notAnswered);
    set("Cancelled", c.cancelled);
    set("Errors", c.errors);
    show("MeanReplyTime", Milliseconds(c.MeanReplyTimeMs()));
    show("MaxReplyTime", Milliseconds(c.Answered() > 0 ? std::optional(c.replyTimeMaxMs) : std::nullopt));
    set("FramesSent", c.framesSent);
    set("Accepted", c.accepted);
    set("NoReply", c.noReply);
    set("PacketErrors", c.packetErrors);
    set("RejectedHeader", c.rejectedHeader);
    set("RejectedLength", c.rejectedLength);
    set("RejectedData", c.rejectedData);
    set("Rejected", c.Rejected());

    QString kept = QStringLiteral("%1 events kept (at most %2)").arg(log_->Kept()).arg(log_->Capacity());
    if (log_->Paused()) kept += QStringLiteral("; paused, %1 new held back").arg(log_->HeldBack());
    if (KeptLabel->text() != kept) KeptLabel->setText(kept);

    FitColumn();
}

void TLineMonitor::FitColumn() {
    // The column as wide as the widest line (or the view), so the view
    // scrolls sideways to the end of a long reply instead of cutting it.
    const int widest =
        QFontMetrics(List->font()).horizontalAdvance(QLatin1Char('0')) * static_cast<int>(log_->WidestLine()) + 12;
    const int width = std::max(widest, List->viewport()->width());
    if (List->columnWidth(0) != width) List->setColumnWidth(0, width);
}

void TLineMonitor::CopySelection() {
    QModelIndexList selected = List->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex& index : selected) lines << log_->LineAt(index.row());
    if (!lines.isEmpty()) QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

bool TLineMonitor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == List->viewport() && event->type() == QEvent::Resize) FitColumn();
    return QWidget::eventFilter(watched, event);
}

void TLineMonitor::closeEvent(QCloseEvent* event) {
    placement_->CloseQuery();
    event->accept();
}

void TLineMonitor::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        dialogs_->ShowError(ErrorBoxText(ExceptionMessage(error)));
    }
}

} // namespace zir

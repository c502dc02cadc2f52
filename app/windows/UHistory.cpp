#include "app/windows/UHistory.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDateTimeEdit>
#include <QFileInfo>
#include <QGraphicsLineItem>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRubberBand>
#include <QSaveFile>
#include <QScatterSeries>
#include <QSplitter>
#include <QStatusBar>
#include <QSvgGenerator>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/Dialogs.h"
#include "app/ErrorBox.h"
#include "app/QtDialogs.h"
#include "app/settings/FormStorage.h"
#include "core/Clock.h"
#include "core/DateText.h"
#include "core/Errors.h"
#include "core/NumberText.h"
#include "history/ArchiveTextImport.h"
#include "history/DayStatistics.h"
#include "history/HistoryCsv.h"
#include "history/HistoryStore.h"
#include "history/PlotDecimation.h"

namespace zir {

namespace {

constexpr std::int64_t kMsPerHour = 60 * kMsPerMinute;
constexpr std::int64_t kMsPerDay = 24 * kMsPerHour;
// The shortest span a zoom goes down to.
constexpr std::int64_t kShortestViewMs = 10 * kMsPerMinute;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Shown under the plot while the pointer is not over it.
const QString kPlotHint = QStringLiteral(
    "Wheel: zoom; drag: move; right drag or Shift+drag: zoom to a span; "
    "double click: the whole range");

const QColor kColorA(0x1f, 0x5f, 0xb4);
const QColor kColorB(0xc8, 0x3c, 0x1e);

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
std::int64_t FloorTo(std::int64_t ms, std::int64_t unit) { return FloorDiv(ms, unit) * unit; }
std::int64_t CeilTo(std::int64_t ms, std::int64_t unit) { return -FloorDiv(-ms, unit) * unit; }

// The wall-clock reading of a local QDateTime (the clock, a date edit).
std::int64_t WallMs(const QDateTime& local) { return MillisecondOf(local); }
QDateTime LocalOfWall(std::int64_t ms) {
    const QDateTime t = TimeOfMillisecond(ms);
    return QDateTime(t.date(), t.time(), Qt::LocalTime);
}

QString ShortTimeText(const QTime& time) { return QLocale::system().toString(time, QLocale::ShortFormat); }
QString MinuteText(std::int64_t ms) {
    const QDateTime t = TimeOfMillisecond(ms);
    return ShortDateText(t.date()) + u' ' + ShortTimeText(t.time());
}

// Rounded to `digits` significant digits (means would show 15 otherwise).
double RoundSignificant(double value, int digits) {
    if (value == 0 || !std::isfinite(value)) return value;
    const double scale = std::pow(10.0, digits - 1 - static_cast<int>(std::floor(std::log10(std::fabs(value)))));
    return std::round(value * scale) / scale;
}

QString WithUnit(const QString& value, const QString& unit) { return unit.isEmpty() ? value : value + u' ' + unit; }

// "A, мкЗв/ч": the channel and the unit texts of the values shown (the
// first two when there are more).
QString AxisTitle(const QString& channel, const QStringList& units) {
    QStringList named;
    for (const QString& unit : units)
        if (!unit.trimmed().isEmpty() && !named.contains(unit.trimmed())) named << unit.trimmed();
    if (named.size() > 2) {
        named.resize(2);
        named << QStringLiteral("…");
    }
    return named.isEmpty() ? channel : channel + QStringLiteral(", ") + named.join(QStringLiteral(", "));
}

// A "nice" number near x (1, 2 or 5 times a power of ten), rounded up or to
// the nearest (P. S. Heckbert, Graphics Gems I).
double NiceNumber(double x, bool up) {
    const double power = std::pow(10.0, std::floor(std::log10(x)));
    const double q = x / power;
    if (up) return (q <= 1 ? 1 : q <= 2 ? 2 : q <= 5 ? 5 : 10) * power;
    return (q < 1.5 ? 1 : q < 3 ? 2 : q < 7 ? 5 : 10) * power;
}

// Widens [low, high] to whole steps of a nice tick interval, about `ticks`
// ticks; `ticks` becomes the count that results.
void NiceRange(double& low, double& high, int& ticks) {
    const double step = NiceNumber(NiceNumber(high - low, true) / (ticks - 1), false);
    low = std::floor(low / step) * step;
    high = std::ceil(high / step) * step;
    ticks = static_cast<int>(std::lround((high - low) / step)) + 1;
}

// Tick steps that give labels at round times when the span is a whole number of them.
constexpr std::int64_t kTickSteps[] = {
    kMsPerMinute,  2 * kMsPerMinute, 5 * kMsPerMinute, 10 * kMsPerMinute, 15 * kMsPerMinute, 30 * kMsPerMinute,
    kMsPerHour,    2 * kMsPerHour,   3 * kMsPerHour,   6 * kMsPerHour,    12 * kMsPerHour,   kMsPerDay,
    2 * kMsPerDay, 7 * kMsPerDay,    14 * kMsPerDay,   30 * kMsPerDay,    91 * kMsPerDay};

// The time axis' tick count (both ends included) for a span on `width` pixels.
int TickCount(std::int64_t span, int width) {
    const int most = std::clamp(width / 95, 2, 13);
    for (const std::int64_t step : kTickSteps)
        if (span % step == 0 && span / step < most) return static_cast<int>(span / step) + 1;
    return most;
}

// The plot's pixel columns: rounded up, so that the columns' middles are
// less than a pixel apart and no pixel column between two is left empty.
int ColumnsOf(const QRectF& plotArea) { return std::max(1, static_cast<int>(std::ceil(plotArea.width()))); }

[[noreturn]] void CannotCreate(const QString& path, const QString& reason) {
    throw EFileError(QStringLiteral("Cannot create file \"%1\". %2").arg(QFileInfo(path).absoluteFilePath(), reason));
}

// Minimum and maximum of the values a redraw shows.
struct Extent {
    bool any = false;
    double minimum = 0;
    double maximum = 0;
    void Add(double v) {
        if (!any) minimum = maximum = v;
        any = true;
        minimum = std::min(minimum, v);
        maximum = std::max(maximum, v);
    }
};

} // namespace

// --- the day statistics table

class TDayStatisticsModel final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetRows(std::vector<DayStatistics> rows) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 9; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const char* const heads[] = {"Date",      "Records",   "Empty records", "A minimum", "A mean",
                                            "A maximum", "B minimum", "B mean",        "B maximum"};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= 9) return {};
        return QString::fromLatin1(heads[section]);
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount({})) return {};
        if (role == Qt::TextAlignmentRole)
            return index.column() == 0 ? QVariant() : QVariant(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole) return {};
        const DayStatistics& day = rows_[static_cast<std::size_t>(index.row())];
        const auto value = [](const ChannelStatistics& c, double v, const QString& unit, bool mean) {
            if (c.count == 0) return QString();
            return WithUnit(FloatToText(mean ? RoundSignificant(v, 4) : v), unit);
        };
        switch (index.column()) {
        case 0: return ShortDateText(day.date);
        case 1: return day.HasRecords() ? QString::number(day.records) : QStringLiteral("no records");
        case 2: return day.HasRecords() ? QString::number(day.empty) : QString();
        case 3: return value(day.a, day.a.minimum, day.unitA, false);
        case 4: return value(day.a, day.a.mean, day.unitA, true);
        case 5: return value(day.a, day.a.maximum, day.unitA, false);
        case 6: return value(day.b, day.b.minimum, day.unitB, false);
        case 7: return value(day.b, day.b.mean, day.unitB, true);
        case 8: return value(day.b, day.b.maximum, day.unitB, false);
        default: return {};
        }
    }

private:
    std::vector<DayStatistics> rows_;
};

// --- the plot's view

THistoryChartView::THistoryChartView(QChart* chart, THistory& window) : QChartView(chart), window_(window) {
    setObjectName(QStringLiteral("ChartView"));
    setRenderHint(QPainter::Antialiasing, false);
    setRubberBand(QChartView::NoRubberBand);
    setDragMode(QGraphicsView::NoDrag);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    band_ = new QRubberBand(QRubberBand::Rectangle, viewport());
    band_->setObjectName(QStringLiteral("SpanBand"));
}

double THistoryChartView::SceneX(const QPointF& viewportPoint) const { return mapToScene(viewportPoint.toPoint()).x(); }

void THistoryChartView::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y();
    if (steps == 0) return;
    // One notch (120) zooms in to 80 % of the span, backwards out again.
    window_.ZoomAround(SceneX(event->position()), std::pow(0.8, steps / 120.0));
    event->accept();
}

void THistoryChartView::mousePressEvent(QMouseEvent* event) {
    const bool span = event->button() == Qt::RightButton ||
                      (event->button() == Qt::LeftButton && event->modifiers().testFlag(Qt::ShiftModifier));
    if (span) {
        drag_ = Drag::Span;
        spanStartX_ = event->position().toPoint().x();
        band_->setGeometry(QRect(spanStartX_, 0, 1, viewport()->height()));
        band_->show();
    } else if (event->button() == Qt::LeftButton) {
        drag_ = Drag::Pan;
        dragLastX_ = SceneX(event->position());
    }
    event->accept();
}

void THistoryChartView::mouseMoveEvent(QMouseEvent* event) {
    switch (drag_) {
    case Drag::Pan: {
        const double x = SceneX(event->position());
        window_.PanByPixels(x - dragLastX_);
        dragLastX_ = x;
        break;
    }
    case Drag::Span: {
        const int x = event->position().toPoint().x();
        band_->setGeometry(QRect(std::min(x, spanStartX_), 0, std::abs(x - spanStartX_) + 1, viewport()->height()));
        break;
    }
    case Drag::None: break;
    }
    window_.ShowPointerAt(SceneX(event->position()));
    event->accept();
}

void THistoryChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (drag_ == Drag::Span) {
        band_->hide();
        const int x = event->position().toPoint().x();
        // A click without a drag marks no span.
        if (std::abs(x - spanStartX_) >= 3)
            window_.ZoomToPixels(SceneX(QPointF(spanStartX_, 0)), SceneX(event->position()));
    }
    drag_ = Drag::None;
    event->accept();
}

void THistoryChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) window_.ResetView();
    event->accept();
}

void THistoryChartView::leaveEvent(QEvent* event) {
    window_.HidePointer();
    QChartView::leaveEvent(event);
}

// --- the window

THistory::THistory(THistoryStore& store, IClock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window),
      store_(store),
      clock_(clock),
      qtDialogs_(std::make_unique<QtDialogs>(this)),
      dialogs_(qtDialogs_.get()) {
    setObjectName(QStringLiteral("History"));
    setWindowTitle(QStringLiteral("History"));
    resize(980, 700);

    BuildMenu();
    BuildChart();
    QWidget* controls = BuildControls();

    statistics_ = new TDayStatisticsModel(this);
    TV_DayStatistics = new QTableView;
    TV_DayStatistics->setObjectName(QStringLiteral("TV_DayStatistics"));
    TV_DayStatistics->setModel(statistics_);
    TV_DayStatistics->verticalHeader()->hide();
    TV_DayStatistics->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    TV_DayStatistics->setSelectionBehavior(QAbstractItemView::SelectRows);
    TV_DayStatistics->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TV_DayStatistics->setAlternatingRowColors(true);

    Splitter = new QSplitter(Qt::Vertical);
    Splitter->setObjectName(QStringLiteral("Splitter"));
    Splitter->addWidget(ChartView);
    Splitter->addWidget(TV_DayStatistics);
    Splitter->setStretchFactor(0, 3);
    Splitter->setStretchFactor(1, 1);
    Splitter->setSizes({440, 160});
    Splitter->setChildrenCollapsible(false);

    LB_Pointer = new QLabel;
    LB_Pointer->setObjectName(QStringLiteral("LB_Pointer"));
    LB_Pointer->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LB_Pointer->setMinimumHeight(LB_Pointer->fontMetrics().height() + 4);
    LB_Pointer->setText(kPlotHint);
    StatusBar = new QStatusBar;
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 0, 6, 0);
    layout->setSpacing(4);
    layout->setMenuBar(MainMenu);
    layout->addWidget(controls);
    layout->addWidget(Splitter, 1);
    layout->addWidget(LB_Pointer);
    layout->addWidget(StatusBar);

    connect(&store_, &THistoryStore::RecordsCommitted, this, &THistory::OnRecordsCommitted);
    connect(&store_, &THistoryStore::CurrentCommitted, this, &THistory::OnCurrentCommitted);

    FormStorage = new TFormStorage(this);
    FormStorage->setObjectName(QStringLiteral("FormStorage"));
    FormStorage->IniSection = QStringLiteral("THistory");
    FormStorage->StoredProps = {QStringLiteral("CB_Logarithmic.Checked"), QStringLiteral("CB_CurrentReadings.Checked")};
    FormStorage->SetErrorReporter([this](const QString& message) { dialogs_->ShowError(ErrorBoxText(message)); });
    FormStorage->Attach();
}

THistory::~THistory() {
    // The chart goes with the widgets after the members: no redraw then.
    disconnect(Chart, nullptr, this, nullptr);
}

void THistory::BuildMenu() {
    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    N_File = MainMenu->addMenu(QStringLiteral("&File"));
    N_File->setObjectName(QStringLiteral("N_File"));
    const auto item = [this](const char* name, const char* caption, const QKeySequence& keys,
                             void (THistory::*handler)()) {
        QAction* action = N_File->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this,
                [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
        return action;
    };
    actImport =
        item("actImport", "&Import Archive.txt...", QKeySequence(Qt::CTRL | Qt::Key_I), &THistory::actImportExecute);
    actExportCsv =
        item("actExportCsv", "&Export CSV...", QKeySequence(Qt::CTRL | Qt::Key_E), &THistory::actExportCsvExecute);
    actSaveImage = item("actSaveImage", "&Save plot as image...", QKeySequence(Qt::CTRL | Qt::Key_S),
                        &THistory::actSaveImageExecute);
    N_File->addSeparator();
    actClose = N_File->addAction(QStringLiteral("&Close"));
    actClose->setObjectName(QStringLiteral("actClose"));
    actClose->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    addAction(actClose);
    connect(actClose, &QAction::triggered, this, &QWidget::close);
}

QWidget* THistory::BuildControls() {
    auto* box = new QWidget;
    box->setObjectName(QStringLiteral("Controls"));
    const auto button = [this](QPushButton*& member, const char* name, const char* caption, Range range) {
        member = new QPushButton(QString::fromUtf8(caption));
        member->setObjectName(QString::fromLatin1(name));
        member->setAutoDefault(false);
        connect(member, &QPushButton::clicked, this, [this, range] { Guarded([this, range] { ShowRange(range); }); });
        return member;
    };

    CB_Address = new QComboBox;
    CB_Address->setObjectName(QStringLiteral("CB_Address"));
    CB_Address->setEditable(true);
    CB_Address->setMinimumContentsLength(12);
    CB_Address->setInsertPolicy(QComboBox::NoInsert);
    CB_Address->setToolTip(QStringLiteral("ZeBUS address of the instrument"));
    auto* addressLabel = new QLabel(QStringLiteral("&Address"));
    addressLabel->setBuddy(CB_Address);
    // Another address chosen from the list or typed and confirmed with Enter.
    const auto addressChosen = [this] {
        Guarded([this] {
            if (Address() == loadedAddress_) return;
            range_ == Range::FromTo ? Load() : ShowRange(range_);
        });
    };
    connect(CB_Address, &QComboBox::textActivated, this, addressChosen);
    connect(CB_Address->lineEdit(), &QLineEdit::returnPressed, this, addressChosen);

    CB_Logarithmic = new QCheckBox(QStringLiteral("Lo&garithmic"));
    CB_Logarithmic->setObjectName(QStringLiteral("CB_Logarithmic"));
    CB_Logarithmic->setToolTip(QStringLiteral("Logarithmic value axes (values of 0 and below are not shown)"));
    connect(CB_Logarithmic, &QCheckBox::toggled, this, [this] { Guarded([this] { Redraw(); }); });
    CB_CurrentReadings = new QCheckBox(QStringLiteral("&Current readings"));
    CB_CurrentReadings->setObjectName(QStringLiteral("CB_CurrentReadings"));
    CB_CurrentReadings->setToolTip(
        QStringLiteral("Show the current readings (Read Current data, auto refresh) as points"));
    CB_CurrentReadings->setChecked(true);
    connect(CB_CurrentReadings, &QCheckBox::toggled, this, [this] {
        Guarded([this] {
            if (CB_CurrentReadings->isChecked() && !currentLoaded_) LoadCurrentReadings();
            Redraw();
        });
    });

    DE_From = new QDateTimeEdit;
    DE_From->setObjectName(QStringLiteral("DE_From"));
    DE_To = new QDateTimeEdit;
    DE_To->setObjectName(QStringLiteral("DE_To"));
    const QString format =
        QLocale::system().dateFormat(QLocale::ShortFormat) + u' ' + QLocale::system().timeFormat(QLocale::ShortFormat);
    for (QDateTimeEdit* edit : {DE_From, DE_To}) {
        edit->setDisplayFormat(format);
        edit->setCalendarPopup(true);
    }
    auto* fromLabel = new QLabel(QStringLiteral("&From"));
    fromLabel->setBuddy(DE_From);
    auto* toLabel = new QLabel(QStringLiteral("&to"));
    toLabel->setBuddy(DE_To);
    BB_FromTo = new QPushButton(QStringLiteral("&Show"));
    BB_FromTo->setObjectName(QStringLiteral("BB_FromTo"));
    BB_FromTo->setAutoDefault(false);
    connect(BB_FromTo, &QPushButton::clicked, this, [this] {
        Guarded([this] {
            if (!ShowFromTo(QDateTime(DE_From->date(), DE_From->time(), Qt::UTC),
                            QDateTime(DE_To->date(), DE_To->time(), Qt::UTC)))
                StatusBar->showMessage(QStringLiteral("The end of the span must lie after its beginning"));
        });
    });

    auto* top = new QHBoxLayout;
    top->addWidget(addressLabel);
    top->addWidget(CB_Address);
    top->addSpacing(12);
    top->addWidget(button(BB_LastDay, "BB_LastDay", "Last &day", Range::LastDay));
    top->addWidget(button(BB_Last7Days, "BB_Last7Days", "Last &7 days", Range::Last7Days));
    top->addWidget(button(BB_Last30Days, "BB_Last30Days", "Last &30 days", Range::Last30Days));
    top->addWidget(button(BB_LastYear, "BB_LastYear", "Last &year", Range::LastYear));
    top->addWidget(button(BB_All, "BB_All", "A&ll", Range::All));
    top->addStretch();
    auto* second = new QHBoxLayout;
    second->addWidget(fromLabel);
    second->addWidget(DE_From);
    second->addWidget(toLabel);
    second->addWidget(DE_To);
    second->addWidget(BB_FromTo);
    second->addStretch();
    second->addWidget(CB_Logarithmic);
    second->addWidget(CB_CurrentReadings);
    auto* rows = new QVBoxLayout(box);
    rows->setContentsMargins(0, 4, 0, 0);
    rows->addLayout(top);
    rows->addLayout(second);
    return box;
}

void THistory::BuildChart() {
    Chart = new QChart;
    Chart->setObjectName(QStringLiteral("Chart"));
    Chart->setLocale(QLocale::system());
    Chart->setMargins(QMargins(4, 4, 4, 4));
    Chart->legend()->setAlignment(Qt::AlignTop);
    Chart->setAnimationOptions(QChart::NoAnimation);

    const auto line = [](const char* name, const QColor& color) {
        auto* series = new QLineSeries;
        series->setObjectName(QString::fromLatin1(name));
        series->setName(QString::fromLatin1(name).right(1));
        // A cosmetic pen one pixel wide: the raster engine draws it without
        // stroking every segment's joins, which would cost a tenth of a
        // second for the few thousand points of a year.
        QPen pen(color);
        pen.setWidth(1);
        pen.setCosmetic(true);
        series->setPen(pen);
        return series;
    };
    const auto points = [](const char* name, const char* caption, const QColor& color) {
        auto* series = new QScatterSeries;
        series->setObjectName(QString::fromLatin1(name));
        series->setName(QString::fromUtf8(caption));
        series->setMarkerShape(QScatterSeries::MarkerShapeCircle);
        series->setMarkerSize(6);
        series->setColor(color.lighter(130));
        series->setBorderColor(color.darker(120));
        return series;
    };
    SeriesA = line("SeriesA", kColorA);
    SeriesB = line("SeriesB", kColorB);
    CurrentA = points("CurrentA", "A, current readings", kColorA);
    CurrentB = points("CurrentB", "B, current readings", kColorB);

    AxisTime = new QDateTimeAxis;
    AxisTime->setObjectName(QStringLiteral("AxisTime"));
    const auto valueAxis = [](const char* name, const QColor& color) {
        auto* axis = new QValueAxis;
        axis->setObjectName(QString::fromLatin1(name));
        axis->setLabelFormat(QStringLiteral("%g"));
        axis->setLabelsColor(color);
        axis->setTitleBrush(color);
        return axis;
    };
    const auto logAxis = [](const char* name, const QColor& color) {
        auto* axis = new QLogValueAxis;
        axis->setObjectName(QString::fromLatin1(name));
        axis->setBase(10);
        axis->setLabelFormat(QStringLiteral("%g"));
        axis->setMinorTickCount(8);
        axis->setLabelsColor(color);
        axis->setTitleBrush(color);
        axis->setVisible(false);
        return axis;
    };
    AxisA = valueAxis("AxisA", kColorA);
    AxisB = valueAxis("AxisB", kColorB);
    LogAxisA = logAxis("LogAxisA", kColorA);
    LogAxisB = logAxis("LogAxisB", kColorB);
    // One grid, that of channel A.
    AxisB->setGridLineVisible(false);
    LogAxisB->setGridLineVisible(false);
    LogAxisB->setMinorGridLineVisible(false);

    Chart->addAxis(AxisTime, Qt::AlignBottom);
    Chart->addAxis(AxisA, Qt::AlignLeft);
    Chart->addAxis(LogAxisA, Qt::AlignLeft);
    Chart->addAxis(AxisB, Qt::AlignRight);
    Chart->addAxis(LogAxisB, Qt::AlignRight);
    for (QXYSeries* series : std::initializer_list<QXYSeries*>{SeriesA, CurrentA, SeriesB, CurrentB}) {
        Chart->addSeries(series);
        series->attachAxis(AxisTime);
        series->attachAxis(series == SeriesA || series == CurrentA ? AxisA : AxisB);
    }

    ChartView = new THistoryChartView(Chart, *this);
    ChartView->setMinimumSize(400, 240);

    cursor_ = new QGraphicsLineItem(Chart);
    QPen pen(QColor(0x60, 0x60, 0x60));
    pen.setStyle(Qt::DashLine);
    cursor_->setPen(pen);
    cursor_->setZValue(100);
    cursor_->hide();

    // A new width (the window resized, the axis labels grown) needs new columns.
    connect(Chart, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
        if (loaded_ && ColumnsOf(area) != columns_) Redraw();
    });
}

void THistory::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        dialogs_->ShowError(ErrorBoxText(ExceptionMessage(error)));
    }
}

void THistory::SetDialogs(IDialogs* dialogs) { dialogs_ = dialogs ? dialogs : qtDialogs_.get(); }

QDateTime THistory::Now() const { return clock_.Now(); }

QString THistory::Address() const { return CB_Address->currentText().trimmed(); }

void THistory::SelectAddress(const QString& address) {
    const QString trimmed = address.trimmed();
    const int index = CB_Address->findText(trimmed);
    if (index >= 0)
        CB_Address->setCurrentIndex(index);
    else
        CB_Address->setEditText(trimmed);
}

void THistory::FillAddresses() {
    const QString chosen = Address();
    const QStringList addresses = store_.Addresses();
    CB_Address->clear();
    CB_Address->addItems(addresses);
    SelectAddress(chosen);
}

void THistory::ShowFor(const QString& address, std::optional<Range> range) {
    const bool reload = !loaded_ || isHidden() || address.trimmed() != loadedAddress_ || range;
    if (reload) {
        FillAddresses();
        SelectAddress(address);
        ShowRange(range.value_or(range_));
    }
    show();
    raise();
    activateWindow();
}

QDateTime THistory::RangeFrom() const { return TimeOfMillisecond(rangeFrom_); }
QDateTime THistory::RangeTo() const { return TimeOfMillisecond(rangeTo_); }
QDateTime THistory::ViewFrom() const { return TimeOfMillisecond(viewFrom_); }
QDateTime THistory::ViewTo() const { return TimeOfMillisecond(viewTo_); }

void THistory::ShowRange(Range range) {
    // The "last ..." ranges end with the present minute.
    const std::int64_t end = FloorTo(WallMs(Now()), kMsPerMinute) + kMsPerMinute;
    std::int64_t from = end - 7 * kMsPerDay;
    std::int64_t to = end;
    switch (range) {
    case Range::LastDay: from = end - kMsPerDay; break;
    case Range::Last7Days: from = end - 7 * kMsPerDay; break;
    case Range::Last30Days: from = end - 30 * kMsPerDay; break;
    case Range::LastYear: from = MillisecondOf(TimeOfMillisecond(end).addYears(-1)); break;
    case Range::FromTo:
        from = rangeFrom_;
        to = rangeTo_;
        break;
    case Range::All: {
        bool any = false;
        const auto take = [&](std::int64_t first, std::int64_t last) {
            from = any ? std::min(from, first) : first;
            to = any ? std::max(to, last) : last;
            any = true;
        };
        if (const auto span = store_.RecordSpan(Address()))
            take(MillisecondOf(span->first), MillisecondOf(span->second) + kMsPerMinute);
        const CurrentSeries current = store_.CurrentReadings(Address(), TimeOfMillisecond(0),
                                                             TimeOfMillisecond(std::int64_t{400} * 366 * kMsPerDay));
        if (!current.readings.empty())
            take(FloorTo(current.readings.front().ms, kMsPerMinute),
                 FloorTo(current.readings.back().ms, kMsPerMinute) + kMsPerMinute);
        if (!any) from = end - kMsPerDay;
        break;
    }
    }
    range_ = range;
    rangeFrom_ = from;
    rangeTo_ = std::max(to, from + kMsPerMinute);
    Load();
}

bool THistory::ShowFromTo(const QDateTime& from, const QDateTime& to) {
    const std::int64_t first = FloorTo(MillisecondOf(from), kMsPerMinute);
    const std::int64_t last = FloorTo(MillisecondOf(to), kMsPerMinute);
    if (last <= first) return false;
    range_ = Range::FromTo;
    rangeFrom_ = first;
    rangeTo_ = last;
    Load();
    return true;
}

void THistory::Load() {
    loadedAddress_ = Address();
    loadFrom_ = FloorTo(rangeFrom_, kMsPerDay);
    loadTo_ = CeilTo(rangeTo_, kMsPerDay);
    records_ = ColumnsOf(store_.Records(loadedAddress_, TimeOfMillisecond(loadFrom_), TimeOfMillisecond(loadTo_),
                                        THistoryStore::Detail::Values));
    const QString error = store_.ReadError();
    current_ = HistoryColumns();
    currentLoaded_ = false;
    if (CB_CurrentReadings->isChecked()) LoadCurrentReadings();
    loaded_ = true;
    UpdateStatistics();
    ShowRangeInEdits();
    viewFrom_ = rangeFrom_;
    viewTo_ = rangeTo_;
    Redraw();
    if (error.isEmpty())
        NoteRange();
    else
        StatusBar->showMessage(error);
}

void THistory::LoadCurrentReadings() {
    current_ =
        ColumnsOf(store_.CurrentReadings(loadedAddress_, TimeOfMillisecond(loadFrom_), TimeOfMillisecond(loadTo_)));
    currentLoaded_ = true;
}

void THistory::UpdateStatistics() {
    statistics_->SetRows(
        DailyStatistics(records_, TimeOfMillisecond(rangeFrom_).date(), TimeOfMillisecond(rangeTo_ - 1).date()));
}

void THistory::UpdateAxisTitles() {
    const std::size_t first = records_.LowerBound(viewFrom_), last = records_.LowerBound(viewTo_);
    QStringList unitsA = records_.UnitsOfA(first, last);
    QStringList unitsB = records_.UnitsOfB(first, last);
    if (CB_CurrentReadings->isChecked()) {
        const std::size_t firstReading = current_.LowerBound(viewFrom_), lastReading = current_.LowerBound(viewTo_);
        unitsA << current_.UnitsOfA(firstReading, lastReading);
        unitsB << current_.UnitsOfB(firstReading, lastReading);
    }
    const QString titleA = AxisTitle(QStringLiteral("A"), unitsA);
    const QString titleB = AxisTitle(QStringLiteral("B"), unitsB);
    AxisA->setTitleText(titleA);
    LogAxisA->setTitleText(titleA);
    AxisB->setTitleText(titleB);
    LogAxisB->setTitleText(titleB);
}

void THistory::ShowRangeInEdits() {
    DE_From->setDateTime(LocalOfWall(rangeFrom_));
    DE_To->setDateTime(LocalOfWall(rangeTo_));
}

void THistory::NoteRange() {
    const std::size_t count = records_.LowerBound(rangeTo_) - records_.LowerBound(rangeFrom_);
    QString note = QStringLiteral("%1: %2 records from %3 to %4")
                       .arg(loadedAddress_.isEmpty() ? QStringLiteral("(no address)") : loadedAddress_)
                       .arg(count)
                       .arg(MinuteText(rangeFrom_), MinuteText(rangeTo_));
    if (count == 0) {
        if (const auto span = store_.RecordSpan(loadedAddress_))
            note += QStringLiteral("; the history holds records from %1 to %2")
                        .arg(MinuteText(MillisecondOf(span->first)), MinuteText(MillisecondOf(span->second)));
    }
    StatusBar->showMessage(note);
}

double THistory::AxisMs(std::int64_t wallMs) const {
    const std::int64_t hour = FloorDiv(wallMs, kMsPerHour);
    if (hour != offsetHour_) {
        // Asking the C library costs a look at the zone file each time: the
        // offsets of the hours met are kept.
        offsetHour_ = hour;
        auto [it, added] = offsets_.try_emplace(hour, 0);
        if (added) it->second = std::int64_t{LocalOfWall(hour * kMsPerHour).offsetFromUtc()} * 1000;
        offsetMs_ = it->second;
    }
    return static_cast<double>(wallMs - offsetMs_);
}

void THistory::SetValueAxes(QValueAxis* linear, QLogValueAxis* logarithmic, double minimum, double maximum, bool any) {
    if (!CB_Logarithmic->isChecked()) {
        double low = any ? minimum : 0;
        double high = any ? maximum : 1;
        const double pad = high > low ? (high - low) * 0.05 : std::max(std::fabs(low) * 0.1, 1e-6);
        // Counts and dose rates are not negative: no room below 0 for them.
        low = low >= 0 ? std::max(0.0, low - pad) : low - pad;
        high += pad;
        int ticks = 6;
        NiceRange(low, high, ticks);
        // Each change of an axis lays the chart out again: only real ones.
        if (linear->min() != low || linear->max() != high) linear->setRange(low, high);
        if (linear->tickCount() != ticks) linear->setTickCount(ticks);
        if (logarithmic->isVisible()) logarithmic->setVisible(false);
        if (!linear->isVisible()) linear->setVisible(true);
        return;
    }
    double low = any ? std::pow(10.0, std::floor(std::log10(minimum))) : 0.1;
    double high = any ? std::pow(10.0, std::ceil(std::log10(maximum))) : 10;
    if (high <= low) high = low * 10;
    if (logarithmic->min() != low || logarithmic->max() != high) logarithmic->setRange(low, high);
    if (linear->min() != std::log10(low) || linear->max() != std::log10(high))
        linear->setRange(std::log10(low), std::log10(high));
    if (linear->isVisible()) linear->setVisible(false);
    if (!logarithmic->isVisible()) logarithmic->setVisible(true);
}

void THistory::Redraw() {
    if (redrawing_ || !loaded_) return;
    redrawing_ = true;
    // New axis labels may change the plot's width while it is drawn: then it
    // is drawn again for the new width (twice at most; the labels settle).
    for (int pass = 0; pass < 3; ++pass) {
        DrawColumns(ColumnsOf(Chart->plotArea()));
        if (ColumnsOf(Chart->plotArea()) == columns_) break;
    }
    cursor_->hide();
    redrawing_ = false;
    emit PlotUpdated();
}

void THistory::DrawColumns(int columns) {
    const bool logarithmic = CB_Logarithmic->isChecked();
    DecimationRange range{viewFrom_, viewTo_, columns, kMsPerMinute, logarithmic};

    const auto plotted = [&](const std::vector<QPointF>& points, bool withBreaks, Extent& extent) {
        QList<QPointF> list;
        list.reserve(static_cast<qsizetype>(points.size()));
        for (std::size_t i = 0; i < points.size(); ++i) {
            const QPointF& p = points[i];
            const std::int64_t wall = static_cast<std::int64_t>(p.x());
            if (IsBreak(p)) {
                if (withBreaks) list.append(QPointF(AxisMs(wall), kNaN));
                continue;
            }
            // Markers are drawn once (a line gets a point alone twice, as a dot).
            if (!withBreaks && i > 0 && points[i - 1] == p) continue;
            if (wall >= viewFrom_ && wall < viewTo_) extent.Add(p.y());
            list.append(QPointF(AxisMs(wall), logarithmic ? std::log10(p.y()) : p.y()));
        }
        return list;
    };
    Extent extentA, extentB;
    const QList<QPointF> a = plotted(DecimateMinMax(records_.ms, records_.a, range), true, extentA);
    const QList<QPointF> b = plotted(DecimateMinMax(records_.ms, records_.b, range), true, extentB);
    QList<QPointF> currentA, currentB;
    if (CB_CurrentReadings->isChecked()) {
        DecimationRange points = range;
        points.maxStep = 0;
        currentA = plotted(DecimateMinMax(current_.ms, current_.a, points), false, extentA);
        currentB = plotted(DecimateMinMax(current_.ms, current_.b, points), false, extentB);
    }

    // Every change of an axis makes each series compute its geometry (and the
    // outline of its line) again: the axes change while the series are
    // empty, and each series gets its points once, after them.
    for (QXYSeries* series : std::initializer_list<QXYSeries*>{SeriesA, SeriesB, CurrentA, CurrentB}) series->clear();
    SetValueAxes(AxisA, LogAxisA, extentA.minimum, extentA.maximum, extentA.any);
    SetValueAxes(AxisB, LogAxisB, extentB.minimum, extentB.maximum, extentB.any);
    UpdateAxisTitles();
    // Labels in the system locale's formats: the time over the date.
    const QLocale locale = QLocale::system();
    AxisTime->setFormat(locale.timeFormat(QLocale::ShortFormat) + QStringLiteral("'<br>'") +
                        locale.dateFormat(QLocale::ShortFormat));
    AxisTime->setTickCount(TickCount(viewTo_ - viewFrom_, columns));
    AxisTime->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(AxisMs(viewFrom_))),
                       QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(AxisMs(viewTo_))));
    SeriesA->replace(a);
    SeriesB->replace(b);
    CurrentA->replace(currentA);
    CurrentB->replace(currentB);
    columns_ = columns;
}

// --- zoom and pan

std::int64_t THistory::MsAt(double x) const {
    const QRectF area = Chart->plotArea();
    const double part = area.width() > 0 ? (x - area.left()) / area.width() : 0;
    return viewFrom_ + static_cast<std::int64_t>(std::llround(part * static_cast<double>(viewTo_ - viewFrom_)));
}

QDateTime THistory::TimeAt(double x) const { return TimeOfMillisecond(MsAt(x)); }

double THistory::XOf(const QDateTime& wallTime) const {
    const QRectF area = Chart->plotArea();
    const double span = static_cast<double>(viewTo_ - viewFrom_);
    return area.left() + static_cast<double>(MillisecondOf(wallTime) - viewFrom_) / span * area.width();
}

void THistory::SetView(std::int64_t from, std::int64_t to) {
    const std::int64_t whole = rangeTo_ - rangeFrom_;
    const std::int64_t span = std::clamp(to - from, std::min(kShortestViewMs, whole), whole);
    from = std::clamp(from, rangeFrom_, rangeTo_ - span);
    if (from == viewFrom_ && from + span == viewTo_) return;
    viewFrom_ = from;
    viewTo_ = from + span;
    Redraw();
}

void THistory::ZoomAround(double x, double factor) {
    if (!loaded_ || !(factor > 0)) return;
    const std::int64_t at = std::clamp(MsAt(x), viewFrom_, viewTo_);
    const std::int64_t whole = rangeTo_ - rangeFrom_;
    const double span = static_cast<double>(viewTo_ - viewFrom_);
    const std::int64_t newSpan =
        std::clamp(static_cast<std::int64_t>(std::llround(span * factor)), std::min(kShortestViewMs, whole), whole);
    // The time under the pointer stays under it.
    const std::int64_t from = at - static_cast<std::int64_t>(std::llround(static_cast<double>(at - viewFrom_) *
                                                                          static_cast<double>(newSpan) / span));
    SetView(from, from + newSpan);
}

void THistory::PanByPixels(double dx) {
    if (!loaded_) return;
    const double width = Chart->plotArea().width();
    if (width <= 0) return;
    const std::int64_t shift =
        -static_cast<std::int64_t>(std::llround(dx / width * static_cast<double>(viewTo_ - viewFrom_)));
    SetView(viewFrom_ + shift, viewTo_ + shift);
}

void THistory::ZoomToPixels(double x1, double x2) {
    if (!loaded_) return;
    std::int64_t from = MsAt(std::min(x1, x2));
    std::int64_t to = MsAt(std::max(x1, x2));
    if (to - from < kShortestViewMs) {
        const std::int64_t middle = from + (to - from) / 2;
        from = middle - kShortestViewMs / 2;
        to = from + kShortestViewMs;
    }
    SetView(from, to);
}

void THistory::ResetView() {
    if (loaded_) SetView(rangeFrom_, rangeTo_);
}

// --- the pointer

void THistory::ShowPointerAt(double x) {
    const QRectF area = Chart->plotArea();
    if (!loaded_ || x < area.left() || x > area.right()) {
        HidePointer();
        return;
    }
    const std::int64_t at = MsAt(x);
    // Within half a minute, or within three pixels when a pixel is wider.
    const std::int64_t near = std::max<std::int64_t>(
        kMsPerMinute / 2,
        static_cast<std::int64_t>(3.0 * static_cast<double>(viewTo_ - viewFrom_) / std::max(1.0, area.width())));
    const auto nearest = [&](const HistoryColumns& c) -> std::optional<std::size_t> {
        if (c.empty()) return std::nullopt;
        const std::size_t i = c.Nearest(at);
        if (std::llabs(c.ms[i] - at) > near) return std::nullopt;
        return i;
    };
    const std::optional<std::size_t> record = nearest(records_);
    const std::optional<std::size_t> reading =
        CB_CurrentReadings->isChecked() ? nearest(current_) : std::optional<std::size_t>();
    const bool useReading =
        reading && (!record || std::llabs(current_.ms[*reading] - at) < std::llabs(records_.ms[*record] - at));

    const auto values = [](const HistoryColumns& c, std::size_t i) {
        const auto channel = [](const char* name, double v, const QString& unit, int uncertainty) {
            return QStringLiteral("%1: %2 ± %3 %")
                .arg(QString::fromLatin1(name), WithUnit(FloatToText(v), unit))
                .arg(uncertainty);
        };
        return channel("A", c.a[i], c.UnitA(i), c.uncA[i]) + QStringLiteral("     ") +
               channel("B", c.b[i], c.UnitB(i), c.uncB[i]);
    };
    QString text;
    std::int64_t markAt = at;
    if (useReading) {
        markAt = current_.ms[*reading];
        const QDateTime t = TimeOfMillisecond(markAt);
        text = ShortDateText(t.date()) + u' ' + LongTimeText(t.time()) + QStringLiteral("   current reading   ") +
               values(current_, *reading);
    } else if (record) {
        markAt = records_.ms[*record];
        text = MinuteText(markAt) + QStringLiteral("   ") +
               (records_.IsGap(*record) ? QStringLiteral("empty record") : values(records_, *record));
    } else {
        text = MinuteText(FloorTo(at + kMsPerMinute / 2, kMsPerMinute)) + QStringLiteral("   no record");
    }
    LB_Pointer->setText(text);
    const double markX =
        area.left() + static_cast<double>(markAt - viewFrom_) / static_cast<double>(viewTo_ - viewFrom_) * area.width();
    cursor_->setLine(markX, area.top(), markX, area.bottom());
    cursor_->setVisible(record.has_value() || useReading);
}

void THistory::HidePointer() {
    cursor_->hide();
    LB_Pointer->setText(kPlotHint);
}

// --- records committed while the window is open

bool THistory::ExtendLiveRange(std::int64_t lastMs) {
    const std::int64_t end = CeilTo(lastMs, kMsPerMinute);
    if (range_ == Range::FromTo || end <= rangeTo_) return false;
    const std::int64_t shift = end - rangeTo_;
    const bool following = viewTo_ >= rangeTo_;
    // The "last ..." ranges move on with the clock; All grows.
    if (range_ != Range::All) rangeFrom_ += shift;
    rangeTo_ = end;
    loadTo_ = std::max(loadTo_, CeilTo(rangeTo_, kMsPerDay));
    if (following) {
        if (range_ != Range::All) viewFrom_ = std::max(rangeFrom_, viewFrom_ + shift);
        viewTo_ = rangeTo_;
    }
    ShowRangeInEdits();
    return true;
}

void THistory::OnRecordsCommitted(const QString& address, const QDateTime& first, const QDateTime& last) {
    // A closed window reads its range again when it is opened.
    if (!loaded_ || !isVisible() || address.trimmed() != loadedAddress_) return;
    const std::int64_t firstMs = MillisecondOf(first);
    const std::int64_t lastMs = MillisecondOf(last) + kMsPerMinute;
    const bool extended = ExtendLiveRange(lastMs);
    if (range_ == Range::All && firstMs < rangeFrom_) {
        rangeFrom_ = firstMs;
        loadFrom_ = std::min(loadFrom_, FloorTo(firstMs, kMsPerDay));
        if (viewFrom_ > rangeFrom_ && viewTo_ == rangeTo_ && !extended) viewFrom_ = rangeFrom_;
        ShowRangeInEdits();
    }
    const std::int64_t from = std::max(firstMs, loadFrom_);
    const std::int64_t to = std::min(lastMs, loadTo_);
    if (from < to)
        MergeColumns(records_, store_.Records(loadedAddress_, TimeOfMillisecond(from), TimeOfMillisecond(to),
                                              THistoryStore::Detail::Values));
    UpdateStatistics();
    Redraw();
}

void THistory::OnCurrentCommitted(const QString& address, const QDateTime& time) {
    if (!loaded_ || !isVisible() || address.trimmed() != loadedAddress_) return;
    const std::int64_t ms = MillisecondOf(time);
    const bool extended = ExtendLiveRange(ms + 1);
    if (range_ == Range::All && ms < rangeFrom_) return; // not kept in the range shown
    if (currentLoaded_ && ms >= loadFrom_ && ms < loadTo_) {
        MergeColumns(current_,
                     store_.CurrentReadings(loadedAddress_, TimeOfMillisecond(ms), TimeOfMillisecond(ms + 1)));
    } else if (!extended) {
        return;
    }
    if (extended) UpdateStatistics();
    Redraw();
}

// --- import and export

QString THistory::SuggestedName(const QString& suffix) const {
    QString address = loadedAddress_;
    address.replace(u'.', u'-');
    const auto stamp = [](std::int64_t ms) { return TimeOfMillisecond(ms).toString(QStringLiteral("yyyyMMdd-HHmm")); };
    QString folder = startFolder_;
    if (!folder.isEmpty() && !folder.endsWith(u'/')) folder += u'/';
    return folder + QStringLiteral("ZIR_history_%1_%2_%3%4").arg(address, stamp(viewFrom_), stamp(viewTo_), suffix);
}

void THistory::actImportExecute() {
    const QString path = dialogs_->ChooseOpenFile(QStringLiteral("Import Archive.txt"), startFolder_,
                                                  QStringLiteral("Archive reports (*.txt);;All files (*)"));
    if (path.isEmpty()) return;
    const ArchiveImportResult result = ImportArchiveText(store_, path);
    FillAddresses();
    const QString summary = ImportSummary(result);
    StatusBar->showMessage(summary);
    if (result.ok)
        dialogs_->ShowMessage(summary);
    else
        dialogs_->ShowError(ErrorBoxText(summary));
}

void THistory::actExportCsvExecute() {
    QString path = dialogs_->ChooseSaveFile(QStringLiteral("Export CSV"), SuggestedName(QStringLiteral(".csv")),
                                            QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
    // The whole minutes of the span shown.
    const QDateTime from = TimeOfMillisecond(FloorTo(viewFrom_, kMsPerMinute));
    const QDateTime to = TimeOfMillisecond(CeilTo(viewTo_, kMsPerMinute));
    QString error;
    const qint64 rows = ExportHistoryCsv(store_, path, loadedAddress_, from, to, &error);
    if (rows < 0) throw EFileError(error);
    StatusBar->showMessage(
        QStringLiteral("%1 records from %2 to %3 exported to %4")
            .arg(rows)
            .arg(MinuteText(MillisecondOf(from)), MinuteText(MillisecondOf(to)), QFileInfo(path).absoluteFilePath()));
}

void THistory::actSaveImageExecute() {
    QString path = dialogs_->ChooseSaveFile(QStringLiteral("Save plot as image"), SuggestedName(QStringLiteral(".png")),
                                            QStringLiteral("PNG image (*.png);;SVG image (*.svg)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".png");
    SavePlotImage(path);
    StatusBar->showMessage(QStringLiteral("The plot was saved to %1").arg(QFileInfo(path).absoluteFilePath()));
}

void THistory::SavePlotImage(const QString& path) {
    const bool cursorShown = cursor_->isVisible();
    cursor_->hide();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) CannotCreate(path, file.errorString());
    if (QFileInfo(path).suffix().compare(QStringLiteral("svg"), Qt::CaseInsensitive) == 0) {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(ChartView->viewport()->size());
        svg.setViewBox(QRect(QPoint(0, 0), ChartView->viewport()->size()));
        svg.setTitle(QStringLiteral("History of ZIR %1").arg(loadedAddress_));
        svg.setDescription(QStringLiteral("%1 to %2").arg(MinuteText(viewFrom_), MinuteText(viewTo_)));
        QPainter painter;
        if (!painter.begin(&svg)) CannotCreate(path, QStringLiteral("The SVG image could not be started."));
        painter.setRenderHint(QPainter::Antialiasing);
        ChartView->scene()->render(&painter, QRectF(QPointF(0, 0), ChartView->viewport()->size()),
                                   ChartView->mapToScene(ChartView->viewport()->rect()).boundingRect());
        painter.end();
    } else {
        QImageWriter writer(&file, "png");
        if (!writer.write(ChartView->grab().toImage())) CannotCreate(path, writer.errorString());
    }
    if (!file.commit()) CannotCreate(path, file.errorString());
    cursor_->setVisible(cursorShown);
}

void THistory::closeEvent(QCloseEvent* event) {
    HidePointer();
    FormStorage->CloseQuery();
    event->accept();
}

} // namespace zir

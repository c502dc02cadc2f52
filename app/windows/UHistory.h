#pragma once
// The history window "History": channels A and B of one instrument over time
// as a plot, each channel on its own value axis titled with its unit text,
// with the day statistics of the range under it; import of Archive.txt,
// export of the shown span as CSV and of the plot as PNG or SVG.
//
// A range (a range button or the from/to choice) is read from the history
// once, as columns, for the whole days it touches (the statistics need whole
// days); zooming and panning only decimate that in-memory copy to the plot's
// pixel columns again. Records and current readings that the history commits
// while the window is open (auto refresh, a bank reading, an import) are
// merged into it without reading the range again.
//
// Times are the history's wall-clock times (the instrument's local clock for
// records, the computer's for current readings). The time axis shows them in
// the system locale's date and time formats.

#include <QChartView>
#include <QDateTime>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <unordered_map>

#include "history/HistoryColumns.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDateTimeAxis;
class QDateTimeEdit;
class QGraphicsLineItem;
class QLabel;
class QLineSeries;
class QLogValueAxis;
class QMenu;
class QMenuBar;
class QPushButton;
class QRubberBand;
class QScatterSeries;
class QSplitter;
class QStatusBar;
class QTableView;
class QValueAxis;

namespace zir {

class IClock;
class IDialogs;
class QtDialogs;
class TDayStatisticsModel;
class TFormStorage;
class THistory;
class THistoryStore;

// The plot's view: the wheel zooms the time axis around the pointer, a drag
// with the left button pans, a drag with the right button (or with Shift and
// the left button) marks a span to zoom to, a double click shows the whole
// range again, and the pointer's position shows the nearest minute's values.
class THistoryChartView : public QChartView {
    Q_OBJECT

public:
    THistoryChartView(QChart* chart, THistory& window);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    double SceneX(const QPointF& viewportPoint) const;
    enum class Drag { None, Pan, Span };
    THistory& window_;
    Drag drag_ = Drag::None;
    double dragLastX_ = 0;
    int spanStartX_ = 0;
    QRubberBand* band_ = nullptr;
};

class THistory : public QWidget {
    Q_OBJECT

public:
    enum class Range { LastDay, Last7Days, Last30Days, LastYear, All, FromTo };

    // `store` and `clock` are not owned and must outlive the window's use;
    // the clock's local time is the computer's, which the "last ..." ranges
    // end at.
    THistory(THistoryStore& store, IClock& clock, QWidget* parent = nullptr);
    ~THistory() override;

    // --- components (objectName = member name)
    QMenuBar* MainMenu = nullptr;
    QMenu* N_File = nullptr;
    QAction* actImport = nullptr;    // "Import Archive.txt..."
    QAction* actExportCsv = nullptr; // "Export CSV..."
    QAction* actSaveImage = nullptr; // "Save plot as image..."
    QAction* actClose = nullptr;
    QComboBox* CB_Address = nullptr;
    QPushButton* BB_LastDay = nullptr;
    QPushButton* BB_Last7Days = nullptr;
    QPushButton* BB_Last30Days = nullptr;
    QPushButton* BB_LastYear = nullptr;
    QPushButton* BB_All = nullptr;
    QDateTimeEdit* DE_From = nullptr;
    QDateTimeEdit* DE_To = nullptr;
    QPushButton* BB_FromTo = nullptr;
    QCheckBox* CB_Logarithmic = nullptr;
    QCheckBox* CB_CurrentReadings = nullptr;
    QSplitter* Splitter = nullptr;
    THistoryChartView* ChartView = nullptr;
    QTableView* TV_DayStatistics = nullptr;
    QLabel* LB_Pointer = nullptr;
    QStatusBar* StatusBar = nullptr;

    QChart* Chart = nullptr;
    QLineSeries* SeriesA = nullptr; // archive records, channel A
    QLineSeries* SeriesB = nullptr;
    QScatterSeries* CurrentA = nullptr; // current readings, on request
    QScatterSeries* CurrentB = nullptr;
    QDateTimeAxis* AxisTime = nullptr;
    // The series' value axes (linear). On a logarithmic scale they carry the
    // decimal logarithms of the values, hidden, under the shown log axes:
    // Qt Charts refuses a whole series on a QLogValueAxis as soon as one point
    // is not positive (a gap's NaN included), so gaps could not be drawn there.
    QValueAxis* AxisA = nullptr;
    QValueAxis* AxisB = nullptr;
    QLogValueAxis* LogAxisA = nullptr;
    QLogValueAxis* LogAxisB = nullptr;

    TFormStorage* FormStorage = nullptr; // position, size and the two check boxes, section [THistory]

    // --- seams
    // Message boxes and file dialogs; nullptr restores the real ones, shown
    // over this window. Not owned.
    void SetDialogs(IDialogs* dialogs);
    // Where the file dialogs start.
    void SetStartFolder(const QString& folder) { startFolder_ = folder; }

    // Shows the window (without modality, in front) for `address`; loads the
    // range again (`range`, or the one chosen before; the last 7 days at
    // first) when the window was hidden, the address is another or a range
    // is given.
    void ShowFor(const QString& address, std::optional<Range> range = std::nullopt);
    QString Address() const;
    void SelectAddress(const QString& address);

    // The ranges, all in wall-clock time, ending at the start of the minute
    // after the clock's present minute for the "last ..." ones; All spans the
    // address's records (its current readings when it has no records).
    void ShowRange(Range range);
    // [from, to) of the from/to choice; false (nothing changes) when to is not after from.
    bool ShowFromTo(const QDateTime& from, const QDateTime& to);
    Range CurrentRange() const { return range_; }
    QDateTime RangeFrom() const;
    QDateTime RangeTo() const;
    // The span the plot shows, within the range.
    QDateTime ViewFrom() const;
    QDateTime ViewTo() const;

    // Zoom and pan; x in the chart's coordinates (its scene), as the pointer
    // gives them. A factor below 1 zooms in. The view stays within the range
    // and spans at least ten minutes.
    void ZoomAround(double x, double factor);
    void PanByPixels(double dx);
    void ZoomToPixels(double x1, double x2);
    void ResetView();
    // The wall-clock time under x.
    QDateTime TimeAt(double x) const;
    // The chart's x of a wall-clock time.
    double XOf(const QDateTime& wallTime) const;
    // Shows time, values with units and uncertainties of the record nearest x
    // (and of a current reading when those are shown and one is nearer).
    void ShowPointerAt(double x);
    void HidePointer();

    // The range as read (whole days), and what the statistics table shows.
    const HistoryColumns& Records() const { return records_; }
    const HistoryColumns& CurrentReadings() const { return current_; }

    // --- handlers (errors go to the error box)
    void actImportExecute();
    void actExportCsvExecute();
    void actSaveImageExecute();
    // Saves the plot as it is shown: SVG for a name ending in ".svg", PNG
    // otherwise. Throws EFileError when the file cannot be written.
    void SavePlotImage(const QString& path);

signals:
    // The plot has new points (after a range, a zoom step, a pan step or new records).
    void PlotUpdated();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenu();
    QWidget* BuildControls();
    void BuildChart();
    void Guarded(const std::function<void()>& handler);
    QDateTime Now() const;

    void Load();
    void LoadCurrentReadings();
    void UpdateStatistics();
    void UpdateAxisTitles();
    void Redraw();
    void DrawColumns(int columns);
    void SetValueAxes(QValueAxis* linear, QLogValueAxis* logarithmic, double minimum, double maximum, bool any);
    std::int64_t MsAt(double x) const;
    void SetView(std::int64_t from, std::int64_t to);
    void ShowRangeInEdits();
    void FillAddresses();
    void NoteRange();
    void OnRecordsCommitted(const QString& address, const QDateTime& first, const QDateTime& last);
    void OnCurrentCommitted(const QString& address, const QDateTime& time);
    bool ExtendLiveRange(std::int64_t lastMs);
    QString SuggestedName(const QString& suffix) const;

    // Local epoch milliseconds (the time axis' unit) of a wall-clock time.
    double AxisMs(std::int64_t wallMs) const;

    THistoryStore& store_;
    IClock& clock_;
    std::unique_ptr<QtDialogs> qtDialogs_;
    IDialogs* dialogs_;
    QString startFolder_;

    Range range_ = Range::Last7Days;
    std::int64_t rangeFrom_ = 0; // wall-clock ms
    std::int64_t rangeTo_ = 0;
    std::int64_t loadFrom_ = 0; // whole days around the range
    std::int64_t loadTo_ = 0;
    std::int64_t viewFrom_ = 0;
    std::int64_t viewTo_ = 0;
    QString loadedAddress_;
    bool loaded_ = false;
    bool currentLoaded_ = false;
    HistoryColumns records_;
    HistoryColumns current_;
    TDayStatisticsModel* statistics_ = nullptr;
    QGraphicsLineItem* cursor_ = nullptr;
    bool redrawing_ = false;
    int columns_ = 0; // the plot's width in pixels at the last redraw

    // The local time's offset from UTC by wall-clock hour, looked up once an hour.
    mutable std::unordered_map<std::int64_t, std::int64_t> offsets_;
    mutable std::int64_t offsetHour_ = std::numeric_limits<std::int64_t>::min();
    mutable std::int64_t offsetMs_ = 0;
};

} // namespace zir

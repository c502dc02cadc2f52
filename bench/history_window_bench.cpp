// History window benchmark: a generated year of one instrument's minute
// records (525,600 per channel) in the history window. Prints the time from
// opening the window with the year (read from the file, decimated, painted)
// to its first paint, the time of each zoom step (a wheel notch) and pan step
// (a mouse move while dragging) until the plot is repainted, and the memory of
// the process with the year shown.
//
//   history_window_bench [folder]   (default: a temporary folder; a history
//                                    already in the folder is used as it is)
//
// Runs on the X display when there is one, otherwise on the offscreen platform.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineSeries>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "app/Dialogs.h"
#include "app/windows/UHistory.h"
#include "bench/BenchDialogs.h"
#include "bench/HistoryYear.h"
#include "core/Clock.h"
#include "core/NumberText.h"
#include "history/HistoryStore.h"

namespace {

using namespace zir;

// The local time the window sees: the last minute of the generated year.
class YearEndClock final : public IClock {
public:
    std::int64_t NowMs() override { return system_.NowMs(); }
    QDateTime Now() override { return QDateTime(QDate(2023, 12, 31), QTime(23, 59, 30), Qt::LocalTime); }
    int Poll(pollfd& descriptor, int timeoutMs) override { return system_.Poll(descriptor, timeoutMs); }

private:
    SystemClock system_;
};

// A line of /proc/self/status ("VmRSS", "VmHWM") in MB.
double StatusMb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ':';
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0) return std::stod(line.substr(prefix.size())) / 1024.0;
    return 0;
}

// CPU time of this thread in ms: on a busy machine the wall time also counts
// the other programs' turns.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

class PaintProbe : public QObject {
public:
    explicit PaintProbe(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

struct Figures {
    std::vector<double> ms;
    void Add(double v) { ms.push_back(v); }
    double At(double part) const {
        std::vector<double> v = ms;
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, static_cast<std::size_t>(part * static_cast<double>(v.size())))];
    }
    double Max() const { return *std::max_element(ms.begin(), ms.end()); }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitNumberFormats();
    QTemporaryDir temp;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/history.sqlite");
    SystemClock systemClock;
    if (!QFile::exists(path)) {
        QElapsedTimer fill;
        fill.start();
        if (!bench::WriteYear(path, systemClock)) return 1;
        std::printf("year of minute records written in %.1f s\n", static_cast<double>(fill.elapsed()) / 1000.0);
    }

    bench::BenchDialogs dialogs;
    YearEndClock clock;
    THistoryStore store(path, systemClock);
    store.Open();
    const double rssBefore = StatusMb("VmRSS");

    // Open with the last year shown, the clock at the year's last minute.
    QElapsedTimer timer;
    timer.start();
    const double openCpu = CpuMs();
    THistory window(store, clock);
    window.SetDialogs(&dialogs);
    window.resize(1280, 800);
    PaintProbe probe(window.ChartView->viewport());
    window.ShowFor(bench::kYearAddress, THistory::Range::LastYear);
    while (probe.paints == 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double openMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    const double openCpuMs = CpuMs() - openCpu;
    const std::size_t records = window.Records().size();
    const int points = window.SeriesA->count() + window.SeriesB->count();
    QCoreApplication::processEvents();
    const double rssOpen = StatusMb("VmRSS");

    QWidget* viewport = window.ChartView->viewport();
    const QRectF area = window.Chart->plotArea();
    const auto pixel = [&](double part) {
        return window.ChartView->mapFromScene(QPointF(area.left() + part * area.width(), area.center().y()));
    };
    // One step: the event, then the plot repainted with what it changed.
    Figures zoomCpu, panCpu;
    Figures* cpu = &zoomCpu;
    const auto step = [&](const std::function<void()>& action) {
        QElapsedTimer t;
        t.start();
        const double c = CpuMs();
        action();
        QCoreApplication::processEvents();
        viewport->repaint();
        cpu->Add(CpuMs() - c);
        return static_cast<double>(t.nsecsElapsed()) / 1e6;
    };
    const auto wheel = [&](const QPoint& at, int delta) {
        QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &event);
    };
    const auto mouse = [&](QEvent::Type type, const QPoint& at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, viewport->mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    };

    Figures zoom, pan;
    const double parts[] = {0.5, 0.3, 0.7, 0.45, 0.6};
    // In from the year to about four days, a notch at a time.
    for (int i = 0; i < 20; ++i) zoom.Add(step([&] { wheel(pixel(parts[i % 5]), 120); }));
    // Dragged to the left and back, 30 pixels a move.
    cpu = &panCpu;
    for (int round = 0; round < 2; ++round) {
        QPoint at = pixel(0.5);
        mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
        for (int i = 0; i < 15; ++i) {
            at += QPoint(round == 0 ? -30 : 30, 0);
            pan.Add(step([&] { mouse(QEvent::MouseMove, at, Qt::LeftButton); }));
        }
        mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
    }
    // Out again to the year.
    cpu = &zoomCpu;
    for (int i = 0; i < 20; ++i) zoom.Add(step([&] { wheel(pixel(parts[i % 5]), -120); }));
    // Panning across the year at a day's zoom.
    cpu = &panCpu;
    window.ZoomToPixels(area.left() + area.width() * 0.5, area.left() + area.width() * 0.5 + area.width() / 365.0);
    QPoint at = pixel(0.5);
    mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    for (int i = 0; i < 15; ++i) {
        at += QPoint(-40, 0);
        pan.Add(step([&] { mouse(QEvent::MouseMove, at, Qt::LeftButton); }));
    }
    mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
    const double rssPeak = StatusMb("VmHWM");

    std::printf(
        "history window, a year shown (%zu records a channel, %d plotted points, plot %d px wide), platform %s\n",
        records, points, static_cast<int>(area.width()), qPrintable(QGuiApplication::platformName()));
    std::printf("open to first paint: %.0f ms, CPU %.0f ms (target <= 1000 ms)\n", openMs, openCpuMs);
    std::printf(
        "zoom step (wheel notch, repainted): median %.1f ms, 90 %% %.1f ms, worst %.1f ms over %zu steps; "
        "CPU median %.1f ms, worst %.1f ms (target <= 50 ms)\n",
        zoom.At(0.5), zoom.At(0.9), zoom.Max(), zoom.ms.size(), zoomCpu.At(0.5), zoomCpu.Max());
    std::printf(
        "pan step (mouse move while dragging, repainted): median %.1f ms, 90 %% %.1f ms, worst %.1f ms over %zu steps; "
        "CPU median %.1f ms, worst %.1f ms (target <= 50 ms)\n",
        pan.At(0.5), pan.At(0.9), pan.Max(), pan.ms.size(), panCpu.At(0.5), panCpu.Max());
    std::printf("memory: %.0f MB RSS before the window, %.0f MB with the year shown, peak %.0f MB (target <= 200 MB)\n",
                rssBefore, rssOpen, rssPeak);
    return 0;
}

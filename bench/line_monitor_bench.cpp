// The line monitor under the load of a bank reading: three events per
// record exchange (the 23-byte request, the 30-byte reply, the end), the
// event loop run after each exchange as the reading does, with the window
// shown. A record exchange takes about 30 ms on the wire at 19200 baud, so
// a batch of rows (every 200 ms) comes every 7 exchanges; the benchmark
// makes one that often. Measures the time the monitor takes per exchange,
// batches and repaints included, as a share of the wire time, while the log
// fills up to its 100,000 events and once it is full (the oldest drop off);
// the worst batch; the time to apply a filter to a full log; and the peak
// resident memory.
//
//   line_monitor_bench [exchanges after the log is full, default 20000]

#include <QApplication>
#include <QCheckBox>
#include <QTableView>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include "app/Dialogs.h"
#include "app/settings/FormPlacement.h"
#include "app/windows/LineEventLog.h"
#include "app/windows/ULineMonitor.h"
#include "bench/BenchDialogs.h"
#include "core/Clock.h"
#include "link/ZebusModTransport.h"

namespace {

using namespace zir;
using Clock = std::chrono::steady_clock;

constexpr double kWireMsPerExchange = 29.6;
constexpr int kExchangesPerBatch = 7;

struct Exchange {
    QByteArray request;
    QByteArray reply;
};

// One record exchange as the exchange reports it.
void Report(TLineEventLog& log, const Exchange& frames, std::int64_t& nowMs) {
    LineEvent sent;
    sent.kind = LineEvent::Kind::Sent;
    sent.timeMs = nowMs;
    sent.attempt = 1;
    sent.bytes = frames.request;
    log.OnLineEvent(sent);

    LineEvent read;
    read.kind = LineEvent::Kind::Read;
    read.timeMs = nowMs + 30;
    read.attempt = 1;
    read.bytes = frames.reply;
    read.check = CheckFrame(frames.reply);
    log.OnLineEvent(read);

    LineEvent end;
    end.kind = LineEvent::Kind::RequestEnd;
    end.timeMs = nowMs + 30;
    end.attempt = 1;
    end.bytes = frames.reply;
    end.durationMs = 30;
    log.OnLineEvent(end);
    nowMs += 30;
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of the process (all its threads), ms: on a busy machine a
// steadier measure than the wall clock.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int afterFull = argc > 1 ? std::atoi(argv[1]) : 20000;

    bench::BenchDialogs dialogs;
    SystemClock clock;
    TLineEventLog log(clock);
    log.SetBatchInterval(1000000); // batches come when the benchmark says
    TLineMonitor monitor(log, dialogs);
    monitor.Placement().Active = false;
    if (!qEnvironmentVariableIsSet("BENCH_HIDDEN")) monitor.show();
    QApplication::processEvents();

    const Exchange frames{
        BuildFrame("255.255.255", kHostAddress, kKindRead, kControlRequest, "C0720"),
        BuildFrame(kHostAddress, "255.255.255", kKindRead, 0, QByteArray::fromHex("4330373230112233445566ff")),
    };
    std::int64_t nowMs = 0;

    double worstMs = 0;
    double cpuMs = 0;
    const auto run = [&](int exchanges) {
        const auto start = Clock::now();
        const double cpuStart = CpuMs();
        for (int i = 1; i <= exchanges; ++i) {
            const auto one = Clock::now();
            Report(log, frames, nowMs);
            QApplication::processEvents();
            if (i % kExchangesPerBatch == 0) {
                log.Flush();
                QApplication::processEvents(); // the repaint
            }
            worstMs = std::max(worstMs, MsSince(one));
        }
        cpuMs = CpuMs() - cpuStart;
        return MsSince(start);
    };
    const int toFill = static_cast<int>((log.Capacity() + 2) / 3);
    const double fillMs = run(toFill);
    const double fillCpuMs = cpuMs;
    worstMs = 0;
    const double fullMs = run(afterFull);
    const double fullCpuMs = cpuMs;

    const auto filterStart = Clock::now();
    monitor.findChild<QCheckBox*>(QStringLiteral("ShowRequestEnds"))->setChecked(false);
    QApplication::processEvents();
    const double filterMs = MsSince(filterStart);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);

    const double perFill = fillMs / toFill;
    const double perFull = afterFull > 0 ? fullMs / afterFull : 0;
    std::printf("line monitor, %d events kept (capacity %lld), rows shown %d\n", static_cast<int>(log.Kept()),
                static_cast<long long>(log.Capacity()), monitor.List->model()->rowCount());
    std::printf("filling up: %d exchanges, %.3f ms each (%.2f %% of a %.1f ms record exchange), CPU %.3f ms\n", toFill,
                perFill, 100.0 * perFill / kWireMsPerExchange, kWireMsPerExchange, fillCpuMs / toFill);
    std::printf(
        "full log:   %d exchanges, %.3f ms each (%.2f %%), CPU %.3f ms; worst exchange with its batch %.3f ms\n",
        afterFull, perFull, 100.0 * perFull / kWireMsPerExchange, afterFull > 0 ? fullCpuMs / afterFull : 0.0, worstMs);
    std::printf("filter on a full log: %.1f ms\n", filterMs);
    std::printf("peak memory (RSS): %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}

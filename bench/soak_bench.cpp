// Soak: the real main window, offscreen, with auto refresh at its shortest
// period (3 s), every reading appended to ZIR.txt and to the history, against
// zir-sim at 19200 baud, for 10 minutes (or the seconds given). Samples the program's
// resident memory every 10 s and its CPU time, and prints the growth of the
// memory after the first minute (the warm-up) and the CPU share.
//
// The resident memory is split as the kernel counts it (anonymous and
// file-backed pages), beside the heap in use (mallinfo2), SQLite's share of
// it and the events the line monitor's log keeps; at the end the log is
// cleared to measure what its events take. --event-capacity keeps fewer
// events than the program's 100,000, so that the cap is reached within the
// run (1 leaves the log all but out).
//
// --full-log fills the log to its capacity before auto refresh starts, with
// copies of the events of a real reading, so that the run measures a station
// that has been reading for hours (at 3 s the log of 100,000 events is full
// after about seven hours): each new event then takes the place of the
// oldest.
//
// --no-progress turns "Show progressbar while refresh is doing" off,
// --no-file leaves ZIR.txt off (the readings are counted as the history
// commits them).
//
// Runs on the platform QT_QPA_PLATFORM names, offscreen when it is not set
// (under Xvfb with a window manager: QT_QPA_PLATFORM=xcb).
//
//   soak_bench [seconds] [--event-capacity N] [--full-log] [--no-progress] [--no-file]

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QList>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/Startup.h"
#include "app/UFace.h"
#include "app/windows/LineEventLog.h"
#include "core/NumberText.h"
#include "device/CurrentData.h"
#include "device/DeviceContext.h"
#include "history/HistoryStore.h"
#include "support/HeapInUse.h"
#include "support/RecordingLineObserver.h"
#include "support/SimLink.h"
#include "support/SimProcess.h"

namespace {

long RssKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// VmRSS split as the kernel counts it: anonymous pages (the heap, stacks),
// file-backed pages (libraries, fonts, the history's mapped database file)
// and shared memory.
struct RssParts {
    long anonKb = 0, fileKb = 0, shmemKb = 0;
};

RssParts RssSplit() {
    std::ifstream status("/proc/self/status");
    RssParts parts;
    std::string key;
    long kb = 0;
    while (status >> key) {
        if (key == "RssAnon:" && status >> kb)
            parts.anonKb = kb;
        else if (key == "RssFile:" && status >> kb)
            parts.fileKb = kb;
        else if (key == "RssShmem:" && status >> kb)
            parts.shmemKb = kb;
    }
    return parts;
}

long HeapInUseKb() { return static_cast<long>(zir::test::HeapInUse() / 1024); }

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The events of one "Read Current data" against the simulator, from an
// exchange of its own.
QList<zir::LineEvent> EventsOfAReading(const SimProcess& sim) {
    zir::test::SimLink link;
    link.Connect(sim);
    zir::test::RecordingLineObserver observer;
    link.exchange.SetObserver(&observer);
    zir::NoProgress noProgress;
    if (!zir::ReadCurrentData(
            zir::DeviceContext{link.exchange, QStringLiteral("255.255.255"), link.status, noProgress, false})) {
        std::fprintf(stderr, "soak_bench: the simulator did not answer the current data request\n");
        std::exit(1);
    }
    return observer.events;
}

// Copies of `events` until the log is full. Each round has bytes of its own,
// in blocks of the size the exchange's are, shared between its events where
// the reading's events share them (a request's end carries the reply its
// read brought).
void FillToCapacity(zir::TLineEventLog& log, const QList<zir::LineEvent>& events) {
    while (log.Kept() < log.Capacity()) {
        std::vector<std::pair<const char*, QByteArray>> copied;
        for (const zir::LineEvent& event : events) {
            zir::LineEvent copy = event;
            const auto same = std::find_if(copied.begin(), copied.end(),
                                           [&](const auto& c) { return c.first == event.bytes.constData(); });
            if (same != copied.end()) {
                copy.bytes = same->second;
            } else {
                copy.bytes = QByteArray();
                copy.bytes.reserve(event.bytes.capacity()); // the same block as the exchange's
                copy.bytes.append(event.bytes.constData(), event.bytes.size());
                copied.emplace_back(event.bytes.constData(), copy.bytes);
            }
            copy.message = QString(event.message.constData(), event.message.size());
            log.OnLineEvent(copy);
        }
    }
    log.Flush();
}

// The least-squares line through (seconds, kB): its slope in kB an hour and
// the farthest a sample lies from it.
struct Trend {
    double kbPerHour = 0;
    double spreadKb = 0;
};

template <typename Sample, typename Value>
Trend TrendOf(const std::vector<Sample>& samples, Value value) {
    const double n = static_cast<double>(samples.size());
    if (samples.size() < 2) return {};
    double sumT = 0, sumV = 0;
    for (const Sample& s : samples) {
        sumT += s.atS;
        sumV += static_cast<double>(value(s));
    }
    const double meanT = sumT / n, meanV = sumV / n;
    double covariance = 0, variance = 0;
    for (const Sample& s : samples) {
        covariance += (s.atS - meanT) * (static_cast<double>(value(s)) - meanV);
        variance += (s.atS - meanT) * (s.atS - meanT);
    }
    const double slope = variance > 0 ? covariance / variance : 0;
    Trend trend{slope * 3600, 0};
    for (const Sample& s : samples)
        trend.spreadKb =
            std::max(trend.spreadKb, std::abs(static_cast<double>(value(s)) - (meanV + slope * (s.atS - meanT))));
    return trend;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config, data;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path())); // the history goes there too
    QApplication app(argc, argv);
    zir::InitNumberFormats();
    int seconds = 600;
    qsizetype eventCapacity = 0; // the program's
    bool progress = true, toFile = true, fullLog = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--event-capacity" && i + 1 < argc)
            eventCapacity = std::atoll(argv[++i]);
        else if (arg == "--full-log")
            fullLog = true;
        else if (arg == "--no-progress")
            progress = false;
        else if (arg == "--no-file")
            toFile = false;
        else
            seconds = std::atoi(argv[i]);
    }
    constexpr int kSampleMs = 10000;
    constexpr int kWarmUpMs = 60000;

    const std::unique_ptr<SimProcess> sim = SimProcess::StartOrTell(QStringList{"--baud", "19200"});
    if (!sim) return 1;
    sim->LinkAsCom(config.path(), 1);
    const QList<zir::LineEvent> readingEvents = fullLog ? EventsOfAReading(*sim) : QList<zir::LineEvent>{};

    zir::TFace face;
    face.SetAppDir(data.path() + u'/');
    zir::StartMainWindow(face); // as zir starts it
    if (eventCapacity > 0) face.LineEventLog->SetCapacity(eventCapacity);
    if (fullLog) FillToCapacity(*face.LineEventLog, readingEvents);
    face.RxSpinEdit_ComPort->setValue(1);
    face.CB_ComPort_Speed->setCurrentIndex(0); // 19200
    face.RxSpE_AutoTime->setValue(3);
    face.CB_Refresh->click();
    face.CB_ReadToFile->setChecked(toFile);
    face.NProgressCheck->setChecked(progress);
    long readingsStored = 0;
    QObject::connect(&face.History(), &zir::THistoryStore::CurrentCommitted, [&readingsStored] { ++readingsStored; });

    struct Sample {
        double atS;
        long rssKb;
        RssParts rss;
        long heapKb;
        long sqliteKb;
        qsizetype keptEvents;
        long readings; // stored in the history
    };
    auto sample = [&](double atS) {
        return Sample{atS,
                      RssKb(),
                      RssSplit(),
                      HeapInUseKb(),
                      static_cast<long>(sqlite3_memory_used() / 1024),
                      face.LineEventLog->Kept(),
                      readingsStored};
    };
    std::vector<Sample> samples;
    samples.reserve(static_cast<std::size_t>(seconds) * 1000 / kSampleMs + 2); // its own growth is not measured
    QElapsedTimer wall;
    wall.start();
    const double cpuAtStart = CpuSeconds();
    double cpuAfterWarmUp = 0;
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer); // a coarse timer may fire up to 5 % early
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        samples.push_back(sample(static_cast<double>(wall.elapsed()) / 1000));
        if (wall.elapsed() >= kWarmUpMs && cpuAfterWarmUp == 0) cpuAfterWarmUp = CpuSeconds();
    });
    sampler.start(kSampleMs);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    samples.push_back(sample(0));
    QApplication::exec();
    const double wallS = static_cast<double>(wall.elapsed()) / 1000;
    const double cpuS = CpuSeconds() - cpuAtStart;
    face.CB_Refresh->click();

    QFile file(data.path() + u'/' + zir::kCurrentDataLogName);
    const long lines = file.open(QIODevice::ReadOnly) ? static_cast<long>(file.readAll().count('\n')) : 0L;

    // What the line monitor's kept events take: the heap before and after
    // they are cleared.
    const qsizetype keptAtEnd = face.LineEventLog->Kept();
    const long heapBeforeClear = HeapInUseKb();
    face.LineEventLog->Clear();
    const long heapAfterClear = HeapInUseKb();

    const double eventBytes =
        keptAtEnd > 0 ? 1024.0 * static_cast<double>(heapBeforeClear - heapAfterClear) / static_cast<double>(keptAtEnd)
                      : 0.0;
    auto warm =
        std::find_if(samples.begin(), samples.end(), [&](const Sample& s) { return s.atS >= kWarmUpMs / 1000.0; });
    if (warm == samples.end()) --warm; // a run shorter than the warm-up
    long lowKb = warm->rssKb, highKb = warm->rssKb;
    for (auto s = warm; s != samples.end(); ++s) {
        lowKb = std::min(lowKb, s->rssKb);
        highKb = std::max(highKb, s->rssKb);
    }
    const long warmKb = warm->rssKb;
    const Sample& last = samples.back();
    std::printf("auto refresh every 3 s against zir-sim at 19200 baud for %.0f s\n", wallS);
    std::printf("  readings logged to ZIR.txt: %ld (one due every 3 s: %d)\n", lines, static_cast<int>(wallS / 3));
    std::printf("  resident memory: %ld kB at start, %ld kB after the first minute, %ld kB at the end\n",
                samples.front().rssKb, warmKb, last.rssKb);
    std::printf("  after the first minute: lowest %ld kB, highest %ld kB, growth %+ld kB\n", lowKb, highKb,
                last.rssKb - warmKb);
    std::printf("  CPU: %.2f s in %.0f s = %.2f %% (after the first minute: %.2f %%)\n", cpuS, wallS,
                100 * cpuS / wallS,
                cpuAfterWarmUp > 0 ? 100 * (CpuSeconds() - cpuAfterWarmUp) / (wallS - kWarmUpMs / 1000.0) : 0.0);
    const double readings = static_cast<double>(std::max(last.readings - warm->readings, 1L));
    std::printf("  growth after the first minute, %ld readings (kB; bytes a reading):\n",
                last.readings - warm->readings);
    auto growth = [&](const char* what, long from, long to) {
        std::printf("    %-34s %+6ld kB  %+7.0f B\n", what, to - from,
                    1024.0 * static_cast<double>(to - from) / readings);
    };
    growth("resident, anonymous (RssAnon)", warm->rss.anonKb, last.rss.anonKb);
    growth("resident, file-backed (RssFile)", warm->rss.fileKb, last.rss.fileKb);
    growth("resident, shared memory (RssShmem)", warm->rss.shmemKb, last.rss.shmemKb);
    growth("heap in use (mallinfo2)", warm->heapKb, last.heapKb);
    growth("  of it SQLite's (sqlite3_memory_used)", warm->sqliteKb, last.sqliteKb);
    growth("  of it the line monitor's events",
           static_cast<long>(static_cast<double>(warm->keptEvents) * eventBytes / 1024),
           static_cast<long>(static_cast<double>(last.keptEvents) * eventBytes / 1024));
    std::printf(
        "  line monitor's event log: %lld events kept at the end (capacity %lld), %.1f a reading;\n"
        "    clearing them gave back %ld kB of heap, %.0f B an event\n",
        static_cast<long long>(keptAtEnd), static_cast<long long>(face.LineEventLog->Capacity()),
        static_cast<double>(last.keptEvents - warm->keptEvents) / readings, heapBeforeClear - heapAfterClear,
        eventBytes);
    const std::vector<Sample> steady(warm, samples.end());
    const Trend rssTrend = TrendOf(steady, [](const Sample& s) { return s.rssKb; });
    const Trend heapTrend = TrendOf(steady, [](const Sample& s) { return s.heapKb; });
    std::printf(
        "  trend after the first minute (least squares): resident %+.0f kB an hour (samples within %.0f kB of "
        "the line), heap in use %+.0f kB an hour (within %.0f kB)\n",
        rssTrend.kbPerHour, rssTrend.spreadKb, heapTrend.kbPerHour, heapTrend.spreadKb);
    std::printf("  samples (s: readings, RSS kB, anon, file, heap kB, SQLite kB, events kept):\n");
    for (const Sample& s : samples)
        std::printf("    %4.0f: %ld %ld %ld %ld %ld %ld %lld\n", s.atS, s.readings, s.rssKb, s.rss.anonKb, s.rss.fileKb,
                    s.heapKb, s.sqliteKb, static_cast<long long>(s.keptEvents));
    return 0;
}

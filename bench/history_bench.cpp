// History benchmark: a generated year of minute records (525,600) of one
// instrument. Prints the cost of storing a full-day reading against its wire
// time, the time of a query of the whole year (both channels), of its CSV
// export, and the size of the file.
//
//   history_bench [folder]     (default: a temporary folder)

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "bench/HistoryYear.h"
#include "core/Clock.h"
#include "history/HistoryCsv.h"
#include "history/HistoryStore.h"
#include "link/numFormats.h"
#include "support/VirtualClock.h"

namespace {

using namespace zir;
using bench::MakeYearEntry;

constexpr double kWireMsPerRecord = 27.6; // 23-byte request + 30-byte reply at 19200 baud, 2 ms turnaround
const QString& kAddress = bench::kYearAddress;
const QDate& kFirstDay = bench::kYearFirstDay;

// CPU time of the process in ms: on a busy machine the wall time also counts
// the other programs' turns.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A full-day reading as the window stores it: one record every 27.6 ms of
// the reading's clock, committed once a second. Returns the milliseconds the
// store itself took for the day.
double StoreDay(const QString& path, const QDate& day, std::uint64_t seed) {
    test::VirtualClock clock;
    THistoryStore store(path, clock);
    store.Open();
    QRandomGenerator random(static_cast<quint32>(seed));
    std::vector<ArchiveEntry> entries;
    const std::int64_t first = MinuteOf(QDateTime(day, QTime(0, 0), Qt::UTC));
    for (int i = 0; i < 1440; ++i) entries.push_back(MakeYearEntry(random, first + i, 3));
    QElapsedTimer timer;
    timer.start();
    const int reading = store.BeginReading(QStringLiteral("Report to ZIR 255.255.255 on day"));
    for (int i = 0; i < 1440; ++i) {
        clock.now = static_cast<std::int64_t>(i * kWireMsPerRecord);
        store.AddRecord(reading, kAddress, entries[static_cast<std::size_t>(i)]);
    }
    store.Commit();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (store.ReadingCounts(reading).added + store.ReadingCounts(reading).known != 1440)
        std::fprintf(stderr, "day not stored: %s\n", qPrintable(store.TakeProblem()));
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SystemClock systemClock;
    QTemporaryDir temp;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/history.sqlite");
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(path + suffix);

    // A full day into an empty history.
    const double emptyDayMs = StoreDay(path, kFirstDay.addDays(400), 1);

    // A year, as 365 full-day readings (committed in batches as a reading does).
    QElapsedTimer timer;
    timer.start();
    if (!bench::WriteYear(path, systemClock)) return 1;
    const double fillS = static_cast<double>(timer.elapsed()) / 1000.0;
    const double fileMb = static_cast<double>(QFileInfo(path).size()) / 1e6;

    // A full day into the history of a year.
    std::vector<double> dayMs;
    for (int i = 0; i < 3; ++i)
        dayMs.push_back(StoreDay(path, kFirstDay.addDays(500 + i), 7 + static_cast<std::uint64_t>(i)));
    const double yearDayMs = Median(dayMs);

    // The year back, both channels.
    THistoryStore store(path, systemClock);
    store.Open();
    const QDateTime from(kFirstDay, QTime(0, 0), Qt::UTC);
    const QDateTime to = from.addDays(365);
    std::vector<double> queryMs, queryCpuMs;
    std::size_t rows = 0;
    for (int i = 0; i < 5; ++i) {
        timer.restart();
        const double cpu = CpuMs();
        const HistorySeries s = store.Records(kAddress, from, to);
        queryCpuMs.push_back(CpuMs() - cpu);
        queryMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        rows = s.records.size();
    }

    // The year as CSV.
    const QString csvPath = folder + QStringLiteral("/year.csv");
    std::vector<double> csvS, csvCpuS;
    qint64 csvRows = 0;
    for (int i = 0; i < 3; ++i) {
        timer.restart();
        const double cpu = CpuMs();
        csvRows = ExportHistoryCsv(store, csvPath, kAddress, from, to);
        csvCpuS.push_back((CpuMs() - cpu) / 1000.0);
        csvS.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    const double csvMb = static_cast<double>(QFileInfo(csvPath).size()) / 1e6;

    const double wireDayMs = 1440 * kWireMsPerRecord;
    std::printf("full-day reading stored, empty history: %.1f ms = %.1f us a record, %.3f %% of the %.1f s wire time\n",
                emptyDayMs, emptyDayMs * 1000 / 1440, 100 * emptyDayMs / wireDayMs, wireDayMs / 1000);
    std::printf("full-day reading stored, history of a year: %.1f ms = %.1f us a record, %.3f %% (target <= 1 %%)\n",
                yearDayMs, yearDayMs * 1000 / 1440, 100 * yearDayMs / wireDayMs);
    std::printf("year written as 365 day readings: %.1f s\n", fillS);
    std::printf("database of a year (%d records): %.1f MB (target <= 60 MB)\n", 365 * 1440, fileMb);
    std::printf(
        "query of a year, both channels: %zu rows, median %.0f ms, best %.0f ms, CPU %.0f ms (target <= 300 ms)\n",
        rows, Median(queryMs), *std::min_element(queryMs.begin(), queryMs.end()), Median(queryCpuMs));
    std::vector<double> leanMs, leanCpuMs;
    for (int i = 0; i < 5; ++i) {
        timer.restart();
        const double cpu = CpuMs();
        const HistorySeries s = store.Records(kAddress, from, to, THistoryStore::Detail::Values);
        leanCpuMs.push_back(CpuMs() - cpu);
        leanMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (s.records.size() != rows) std::fprintf(stderr, "values query: %zu rows\n", s.records.size());
    }
    std::printf("query of a year, values only (Detail::Values): median %.0f ms, best %.0f ms, CPU %.0f ms\n",
                Median(leanMs), *std::min_element(leanMs.begin(), leanMs.end()), Median(leanCpuMs));
    std::printf("CSV export of a year: %lld rows, %.1f MB, median %.2f s, CPU %.2f s (target <= 3 s)\n",
                static_cast<long long>(csvRows), csvMb, Median(csvS), Median(csvCpuS));
    return 0;
}

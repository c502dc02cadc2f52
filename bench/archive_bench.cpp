// A full day of archive (1440 records) read from zir-sim at 19200 baud
// through a pseudo-terminal with all three outputs on, timed against the
// wire time; then a 20-record sample under the pure silence rule for the
// side-by-side ratio; and the peak resident memory of the process.
//
//   archive_bench [zir-sim path]

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "archive/ArchiveTextFile.h"
#include "archive/BankList.h"
#include "archive/BankReading.h"
#include "link/CPDrv.h"
#include "link/Exchange.h"
#include "support/SimLink.h"

namespace {

using namespace zir;
using namespace zir::test;

constexpr int kBaud = 19200;
constexpr int kRecords = 1440;
constexpr int kSampleRecords = 20;
constexpr int kRequestBytes = 23; // record request: 14 header + 5 data + 4 checksum
constexpr int kReplyBytes = 30;
constexpr double kTarget = 1.3;
constexpr long kRssLimitKb = 150 * 1024;
const QDate kBankDate(2024, 5, 17);

// Keeps the lines as the list window does.
class ListInMemory final : public IArchiveList {
public:
    QStringList lines;
    void Show() override {}
    void AddLine(const QString& line) override { lines << line; }
};

class Operator final : public IOperatorDialogs {
public:
    Answer AskYesNoCancel(const QString&) override { return Answer::Cancel; }
    void ShowMessage(const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
};

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Reading {
    double seconds = 0;
    int lines = 0;
};

Reading Read(const ArchiveServices& services, IArchiveReport& report, ListInMemory& list, BankReadingInputs inputs) {
    const int before = int(list.lines.size());
    const auto start = std::chrono::steady_clock::now();
    ReadBank(services, inputs, report);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return {took.count(), int(list.lines.size()) - before};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString simPath = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(ZIR_SIM_PATH);

    const std::unique_ptr<SimProcess> sim =
        SimProcess::StartOrTell(QStringList{"--baud", QString::number(kBaud), "--clock", "2024-05-17 23:59",
                                            "--current-bank", "3", "--active-banks", "7"},
                                simPath);
    if (!sim) return 1;
    SimLink link;
    link.Connect(*sim);
    QTemporaryDir data;

    TExchange& exchange = link.exchange;
    NoProgress progress;
    Operator op;
    ListInMemory list;
    QStringList workbooks;
    const QString appDir = data.path() + "/";
    TArchiveReport report({list, link.status, appDir, [&](const QString& path) { workbooks << path; }, link.clock});
    const ArchiveServices services{DeviceContext{exchange, QStringLiteral("255.255.255"), link.status, progress, true},
                                   op, [] { QCoreApplication::processEvents(); }, link.clock};

    BankReadingInputs inputs;
    inputs.bank = BankSelection{3, kBankDate};
    inputs.toExcel = true;
    inputs.toFile = true;

    const long rssBeforeKb = PeakRssKb();
    const Reading day = Read(services, report, list, inputs);
    const long rssAfterKb = PeakRssKb();

    inputs.filter.from = TimeLimitAt(600);
    inputs.filter.to = TimeLimitAt(600 + kSampleRecords - 1);
    const Reading sampleEarly = Read(services, report, list, inputs);
    exchange.SetPureSilenceRule(true);
    const Reading sampleSilence = Read(services, report, list, inputs);

    const double boundSeconds = double(kRecords) * (kRequestBytes + kReplyBytes) * 10 / kBaud;
    const double perRecordDay = day.seconds / kRecords * 1000;
    const double perRecordEarly = sampleEarly.seconds / kSampleRecords * 1000;
    const double perRecordSilence = sampleSilence.seconds / kSampleRecords * 1000;
    const qint64 fileBytes = QFileInfo(appDir + kArchiveFileName).size();
    const qint64 workbookBytes = workbooks.isEmpty() ? 0 : QFileInfo(workbooks.first()).size();

    std::printf("full day, %d baud, list + Archive.txt + workbook\n", kBaud);
    std::printf("  records read:       %d of %d\n", day.lines, kRecords);
    std::printf("  time:               %.1f s (%.1f ms a record)\n", day.seconds, perRecordDay);
    std::printf("  wire-time bound:    %.1f s (%d x (%d + %d bytes) x 10 bits)\n", boundSeconds, kRecords,
                kRequestBytes, kReplyBytes);
    std::printf("  time / bound:       %.2fx (target at most %.1fx: %s)\n", day.seconds / boundSeconds, kTarget,
                day.seconds <= kTarget * boundSeconds ? "met" : "MISSED");
    std::printf("  Archive.txt:        %lld bytes; workbook %lld bytes\n", static_cast<long long>(fileBytes),
                static_cast<long long>(workbookBytes));
    std::printf("  peak RSS:           %ld KB before, %ld KB after (limit %ld KB: %s)\n", rssBeforeKb, rssAfterKb,
                kRssLimitKb, rssAfterKb < kRssLimitKb ? "met" : "MISSED");
    std::printf("%d-record sample, minutes 600..%d\n", kSampleRecords, 600 + kSampleRecords - 1);
    std::printf("  early end of reply: %.1f ms a record (%d read)\n", perRecordEarly, sampleEarly.lines);
    std::printf("  pure silence rule:  %.1f ms a record (%d read)\n", perRecordSilence, sampleSilence.lines);
    std::printf("  silence / early:    %.1fx; a full day under the silence rule would take about %.0f s\n",
                perRecordSilence / perRecordEarly, perRecordSilence * kRecords / 1000);

    const bool complete = day.lines == kRecords && sampleEarly.lines == kSampleRecords &&
                          sampleSilence.lines == kSampleRecords && workbooks.size() == 3;
    return complete ? 0 : 1;
}

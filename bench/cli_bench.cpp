// A full-day `zir-cli read` (CSV and history) against zir-sim at 19200 baud
// through a pseudo-terminal, timed against the wire-time bound of every
// request it makes, side by side with the exchange benchmark's bare loop of
// record exchanges in the same run, on the same simulator.
//
//   cli_bench [N] [zir-sim path] [zir-cli path]

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include <memory>

#include "link/CPDrv.h"
#include "link/Exchange.h"
#include "link/ZebusModTransport.h"
#include "support/SimLink.h"

namespace {

using namespace zir;
using namespace zir::test;

constexpr int kBaud = 19200;

constexpr double kSimTurnaroundMs = 2.0; // zir-sim's pause before it answers
constexpr double kTarget = 1.05;
constexpr int kBank = 3;
constexpr int kRecords = 1440;

// One kind of request of the reading: how many, and the bytes each way.
struct Requests {
    const char* what;
    int count;
    int requestBytes;
    int replyBytes;
};
// What `zir-cli read 3` sends: the bank list (so the bank's date is known),
// the two dimension texts, then one request per minute. Frames are the
// 14-byte header, the data and, with data, 4 checksum bytes.
constexpr Requests kReading[] = {
    {"bank headers", 14, 14 + 2 + 4, 14 + 6 + 4},
    {"dimensions", 2, 14 + 3 + 4, 14 + 12 + 4},
    {"records", kRecords, 14 + 5 + 4, 14 + 12 + 4},
};

double BoundMs(int requestBytes, int replyBytes) {
    return (requestBytes + replyBytes) * 10.0 * 1000.0 / kBaud + kSimTurnaroundMs;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 40;
    const QString simPath = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(ZIR_SIM_PATH);
    const QString cliPath = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral(ZIR_CLI_PATH);

    const std::unique_ptr<SimProcess> sim =
        SimProcess::StartOrTell(QStringList{"--baud", QString::number(kBaud), "--clock", "2024-05-17 23:59",
                                            "--current-bank", QString::number(kBank)},
                                simPath);
    if (!sim) return 1;
    // The bare loop: record exchanges through the program's port and
    // exchange, on COM-port 1 of a private configuration folder, which
    // zir-cli (started below with this environment) finds as well.
    SimLink link;
    link.Connect(*sim);
    TExchange& exchange = link.exchange;
    const QString device = QStringLiteral("255.255.255");
    const QByteArray request = BuildFrame(device, kHostAddress, kKindRead, kControlRequest,
                                          QByteArray(1, static_cast<char>('A' + kBank)) + "0600");
    int bareFailures = 0;
    const auto bareStart = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i)
        if (exchange.Request(request).size() != 30) ++bareFailures;
    const double bareMs = Seconds(std::chrono::steady_clock::now() - bareStart) * 1000.0 / n;
    const double recordBoundMs = BoundMs(static_cast<int>(request.size()), 30);

    // The command line tool, as a station would run it: CSV to a file, the
    // records into a history of its own.
    QTemporaryDir out;
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), out.filePath(QStringLiteral("data")));
    cli.setProcessEnvironment(env);
    cli.setStandardOutputFile(out.filePath(QStringLiteral("day.csv")));
    cli.setStandardErrorFile(out.filePath(QStringLiteral("errors")));
    const auto cliStart = std::chrono::steady_clock::now();
    cli.start(cliPath, {"--port", "1", "--quiet", "read", QString::number(kBank)});
    const bool finished = cli.waitForStarted(10000) && cli.waitForFinished(600000);
    const double cliSeconds = Seconds(std::chrono::steady_clock::now() - cliStart);
    QFile csv(out.filePath(QStringLiteral("day.csv")));
    csv.open(QIODevice::ReadOnly);
    const qsizetype rows = csv.readAll().count("\r\n") - 1;
    if (!finished || cli.exitCode() != 0) {
        QFile errors(out.filePath(QStringLiteral("errors")));
        errors.open(QIODevice::ReadOnly);
        std::fprintf(stderr, "zir-cli failed (exit %d): %s\n", cli.exitCode(), errors.readAll().constData());
    }

    double cliBoundSeconds = 0;
    int requests = 0;
    for (const Requests& r : kReading) {
        cliBoundSeconds += r.count * BoundMs(r.requestBytes, r.replyBytes) / 1000.0;
        requests += r.count;
    }

    std::printf(
        "%d baud, zir-sim through a pseudo-terminal; bound = wire time (10 bits a byte) + %.0f ms turnaround a "
        "request\n",
        kBaud, kSimTurnaroundMs);
    std::printf("bare exchange loop, %d record exchanges:\n", n);
    std::printf("  mean %.1f ms against a bound of %.1f ms: %.3fx (failures %d)\n", bareMs, recordBoundMs,
                bareMs / recordBoundMs, bareFailures);
    std::printf(
        "zir-cli read %d, a full day into CSV and the history (%d requests: 14 bank headers, 2 dimensions, %d "
        "records):\n",
        kBank, requests, kRecords);
    std::printf("  rows %lld of %d\n", static_cast<long long>(rows), kRecords);
    std::printf("  time %.2f s against a bound of %.2f s: %.3fx (target at most %.2fx: %s)\n", cliSeconds,
                cliBoundSeconds, cliSeconds / cliBoundSeconds, kTarget,
                cliSeconds <= kTarget * cliBoundSeconds ? "met" : "MISSED");
    std::printf("  per request %.1f ms; bare loop per record %.1f ms\n", cliSeconds * 1000.0 / requests, bareMs);

    const bool complete = bareFailures == 0 && finished && cli.exitCode() == 0 && rows == kRecords;
    return complete ? 0 : 1;
}

// Exchange time of the record command (30-byte reply) against zir-sim at
// 19200 baud through a pseudo-terminal: once ending each read on a whole
// valid frame, once waiting for the input timeout of silence as well.
//
//   exchange_bench [N] [zir-sim path]

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "link/CPDrv.h"
#include "link/Exchange.h"
#include "link/ZebusModTransport.h"
#include "support/SimLink.h"

namespace {

using namespace zir;
using namespace zir::test;

constexpr int kBaud = 19200;
constexpr double kSimTurnaroundMs = 2.0; // zir-sim's pause before it answers

struct Figures {
    double meanMs = 0;
    double worstMs = 0;
    int failures = 0;
};

Figures Run(TExchange& exchange, const QByteArray& request, int n) {
    std::vector<double> times;
    Figures f;
    for (int i = 0; i < n; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const QByteArray reply = exchange.Request(request);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        times.push_back(took.count());
        if (reply.size() != 30) ++f.failures;
    }
    for (double t : times) f.meanMs += t / n;
    f.worstMs = *std::max_element(times.begin(), times.end());
    return f;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 40;
    const QString simPath = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(ZIR_SIM_PATH);

    const std::unique_ptr<SimProcess> sim =
        SimProcess::StartOrTell(QStringList{"--baud", QString::number(kBaud)}, simPath);
    if (!sim) return 1;
    SimLink link;
    link.Connect(*sim);
    TExchange& exchange = link.exchange;

    const QString device = QStringLiteral("255.255.255");
    const QByteArray clockReply = exchange.Request(BuildFrame(device, kHostAddress, kKindRead, kControlRequest, "XT"));
    if (clockReply.size() != 27) {
        std::fprintf(stderr, "zir-sim gave no clock reply\n");
        return 1;
    }
    // A record of the bank in use, minute 600.
    const QByteArray request =
        BuildFrame(device, kHostAddress, kKindRead, kControlRequest, QByteArray(1, clockReply[22]) + "0600");

    exchange.SetPureSilenceRule(false);
    const Figures early = Run(exchange, request, n);
    exchange.SetPureSilenceRule(true);
    const Figures silence = Run(exchange, request, n);

    const double wireMs = static_cast<double>(request.size() + 30) * 10.0 * 1000.0 / kBaud;
    const double boundMs = wireMs + kSimTurnaroundMs;
    std::printf("record exchange, %d baud, %d exchanges each, request %lld bytes, reply 30 bytes\n", kBaud, n,
                static_cast<long long>(request.size()));
    std::printf("wire-time bound: %.1f ms (wire %.1f ms + turnaround %.1f ms)\n", boundMs, wireMs, kSimTurnaroundMs);
    std::printf("%-22s mean %7.1f ms  worst %7.1f ms  mean/bound %5.2fx  failures %d\n",
                "early end of reply:", early.meanMs, early.worstMs, early.meanMs / boundMs, early.failures);
    std::printf("%-22s mean %7.1f ms  worst %7.1f ms  mean/bound %5.2fx  failures %d\n",
                "pure silence rule:", silence.meanMs, silence.worstMs, silence.meanMs / boundMs, silence.failures);
    std::printf("silence rule / early end: %.1fx\n", silence.meanMs / early.meanMs);

    return early.failures + silence.failures == 0 ? 0 : 1;
}

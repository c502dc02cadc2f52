// Exchange time of the record command (30-byte reply) against zir-sim at
// 19200 baud through a pseudo-terminal: once ending each read on a whole
// valid frame, once waiting for the input timeout of silence as well.
//
//   exchange_bench [N] [zir-sim path]

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "link/CPDrv.h"
#include "link/Exchange.h"
#include "link/ZebusModTransport.h"

namespace {

using namespace zir;

constexpr int kBaud = 19200;
constexpr double kSimTurnaroundMs = 2.0;   // zir-sim's pause before it answers

class BenchHost final : public IExchangeHost {
public:
    int PortNumber() const override { return 1; }
    QString SpeedText() const override { return QString::number(kBaud); }
    void SetStatus(const QString&) override {}
    bool EscapeHeld() override { return false; }
};

struct Figures {
    double meanMs = 0;
    double worstMs = 0;
    int failures = 0;
};

Figures Run(TExchange& exchange, const QByteArray& request, int n)
{
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

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 40;
    const QString simPath = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(ZIR_SIM_PATH);

    QProcess sim;
    sim.start(simPath, {"--pty", "--baud", QString::number(kBaud)});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(10000)) {
        std::fprintf(stderr, "zir-sim did not start: %s\n", qPrintable(simPath));
        return 1;
    }
    const QByteArray line = sim.readLine().trimmed();
    if (!line.startsWith("PTY ")) {
        std::fprintf(stderr, "unexpected first line from zir-sim: %s\n", line.constData());
        return 1;
    }

    // The program's port naming: com1 in a private config folder.
    QTemporaryDir config;
    QDir(config.path()).mkpath("zir");
    QFile::link(QString::fromLocal8Bit(line.mid(4)), config.filePath("zir/com1"));
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

    TCPDrv port;
    ConfigureAsCommPort(port);
    BenchHost host;
    SteadyClock clock;
    TExchange exchange(port, host, clock);

    const QString device = QStringLiteral("255.255.255");
    const QByteArray clockReply = exchange.Request(BuildFrame(device, kHostAddress, kKindRead, kControlRequest, "XT"));
    if (clockReply.size() != 27) {
        std::fprintf(stderr, "zir-sim gave no clock reply\n");
        return 1;
    }
    // A record of the bank in use, minute 600.
    const QByteArray request = BuildFrame(device, kHostAddress, kKindRead, kControlRequest,
                                          QByteArray(1, clockReply[22]) + "0600");

    exchange.SetPureSilenceRule(false);
    const Figures early = Run(exchange, request, n);
    exchange.SetPureSilenceRule(true);
    const Figures silence = Run(exchange, request, n);

    const double wireMs = (request.size() + 30) * 10.0 * 1000.0 / kBaud;
    const double boundMs = wireMs + kSimTurnaroundMs;
    std::printf("record exchange, %d baud, %d exchanges each, request %lld bytes, reply 30 bytes\n",
                kBaud, n, static_cast<long long>(request.size()));
    std::printf("wire-time bound: %.1f ms (wire %.1f ms + turnaround %.1f ms)\n", boundMs, wireMs, kSimTurnaroundMs);
    std::printf("%-22s mean %7.1f ms  worst %7.1f ms  mean/bound %5.2fx  failures %d\n",
                "early end of reply:", early.meanMs, early.worstMs, early.meanMs / boundMs, early.failures);
    std::printf("%-22s mean %7.1f ms  worst %7.1f ms  mean/bound %5.2fx  failures %d\n",
                "pure silence rule:", silence.meanMs, silence.worstMs, silence.meanMs / boundMs, silence.failures);
    std::printf("silence rule / early end: %.1fx\n", silence.meanMs / early.meanMs);

    sim.terminate();
    sim.waitForFinished(3000);
    return early.failures + silence.failures == 0 ? 0 : 1;
}

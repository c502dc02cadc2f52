// zir-sim: a simulated ZIR instrument on a pseudo-terminal or a tty.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>
#include <QDateTime>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

#include "core/Version.h"
#include "sim/FrameLog.h"
#include "sim/Instrument.h"
#include "sim/SerialLine.h"
#include "sim/Server.h"
#include "sim/SimOptions.h"

using namespace zir::sim;

namespace {

int StopSignalFd() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    return signalfd(-1, &set, SFD_CLOEXEC);
}

void PrintError(const QString& text) { std::fprintf(stderr, "zir-sim: %s\n", text.toLocal8Bit().constData()); }

int Serve(const SimOptions& options) {
    std::signal(SIGPIPE, SIG_IGN);
    const int stopFd = StopSignalFd();
    if (stopFd < 0) {
        PrintError(QStringLiteral("cannot watch for signals"));
        return 1;
    }
    Instrument instrument(InitialState(options, QDateTime::currentDateTime()),
                          [] { return QDateTime::currentDateTime(); });
    if (options.clockBytes) instrument.OverrideClockBytes(*options.clockBytes);
    if (options.xwBytes) instrument.OverrideCurrentBytes(*options.xwBytes);
    FaultInjector faults(options.faults);

    std::unique_ptr<FrameLog> log;
    if (!options.logFile.isEmpty()) log = std::make_unique<FrameLog>(options.logFile);

    SerialLine line = options.devicePath.isEmpty() ? SerialLine::OpenPseudoTerminal()
                                                   : SerialLine::OpenDevice(options.devicePath, options.baud);
    std::optional<LineLink> link;
    if (!options.linkPath.isEmpty()) link.emplace(options.linkPath, line.Path());
    if (options.devicePath.isEmpty()) {
        std::printf("PTY %s\n", line.Path().toLocal8Bit().constData());
        std::fflush(stdout);
    }

    Server server(line.Fd(), stopFd, instrument, faults, log.get(),
                  Pacing{options.pacing, options.baud, options.turnaroundMs});
    if (options.speedCheck) server.SetRateCheck([fd = line.Fd(), baud = options.baud] { return LineRateIs(fd, baud); });
    int status = 0;
    try {
        server.Run();
    } catch (const std::runtime_error& e) {
        PrintError(QString::fromLocal8Bit(e.what()));
        status = 1;
    }
    if (!options.saveStateFile.isEmpty()) SaveStateFile(options.saveStateFile, instrument.State());
    close(stopFd);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (!parsed.error.isEmpty()) {
        PrintError(parsed.error);
        std::fprintf(stderr, "Try zir-sim --help.\n");
        return 2;
    }
    if (parsed.versionAsked) {
        std::printf("zir-sim %s\n", zir::kVersion);
        return 0;
    }
    if (!parsed.options) {
        std::fputs(parsed.helpText.toLocal8Bit().constData(), stdout);
        return 0;
    }
    try {
        return Serve(*parsed.options);
    } catch (const std::exception& e) {
        PrintError(QString::fromLocal8Bit(e.what()));
        return 1;
    }
}

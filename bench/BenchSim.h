#pragma once
// What the benchmarks share: zir-sim on a pseudo-terminal at 19200 baud,
// found by the program as COM-port 1 through a private config folder, and an
// exchange host without a window.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

#include "link/Exchange.h"

namespace zir::bench {

inline constexpr int kBaud = 19200;

class BenchHost final : public IExchangeHost {
public:
    int PortNumber() const override { return 1; }
    QString SpeedText() const override { return QString::number(kBaud); }
    void SetStatus(const QString&) override {}
    bool EscapeHeld() override { return false; }
};

// Runs zir-sim for the life of the object; Started() tells whether it came
// up (the reason is printed when not).
class BenchSim {
public:
    BenchSim(const QString& simPath, const QStringList& extraArgs)
    {
        sim_.start(simPath, QStringList{"--pty", "--baud", QString::number(kBaud)} + extraArgs);
        if (!sim_.waitForStarted(5000) || !sim_.waitForReadyRead(10000)) {
            std::fprintf(stderr, "zir-sim did not start: %s\n", qPrintable(simPath));
            return;
        }
        const QByteArray line = sim_.readLine().trimmed();
        if (!line.startsWith("PTY ")) {
            std::fprintf(stderr, "unexpected first line from zir-sim: %s\n", line.constData());
            return;
        }
        QDir(config_.path()).mkpath("zir");
        QFile::link(QString::fromLocal8Bit(line.mid(4)), config_.filePath("zir/com1"));
        qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
        started_ = true;
    }
    ~BenchSim()
    {
        sim_.terminate();
        sim_.waitForFinished(3000);
    }
    BenchSim(const BenchSim&) = delete;
    BenchSim& operator=(const BenchSim&) = delete;

    bool Started() const { return started_; }

private:
    QProcess sim_;
    QTemporaryDir config_;
    bool started_ = false;
};

} // namespace zir::bench

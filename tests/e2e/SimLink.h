#pragma once
// The program's own serial port and exchange, set up as the main window sets
// them up, talking to zir-sim through COM-port n of a private configuration
// folder (XDG_CONFIG_HOME points there for the life of the object).

#include <QByteArray>
#include <QTemporaryDir>
#include <functional>

#include "e2e/SimProcess.h"
#include "link/CPDrv.h"
#include "link/Exchange.h"

namespace zir::test {

class SimLink {
public:
    SimLink() : savedConfig_(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
        ConfigureAsCommPort(port);
    }
    ~SimLink() { qputenv("XDG_CONFIG_HOME", savedConfig_); }
    SimLink(const SimLink&) = delete;
    SimLink& operator=(const SimLink&) = delete;

    // Makes the simulator's line the port the exchange opens.
    void Connect(const SimProcess& sim) const { sim.LinkAsCom(config_.path(), host.portNumber); }
    QString ConfigPath() const { return config_.path(); }

    class Host final : public IExchangeHost {
    public:
        int portNumber = 1;
        QString status;
        std::function<bool()> escape = [] { return false; };
        int PortNumber() const override { return portNumber; }
        QString SpeedText() const override { return QStringLiteral("19200"); }
        void SetStatus(const QString& text) override { status = text; }
        bool EscapeHeld() override { return escape(); }
    };

private:
    QTemporaryDir config_;
    QByteArray savedConfig_;

public:
    TCPDrv port;
    Host host;
    SteadyClock clock;
    TExchange exchange{port, host, clock};
};

} // namespace zir::test

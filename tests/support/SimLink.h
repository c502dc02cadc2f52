#pragma once
// The program's own serial port and exchange, set up as the main window sets
// them up, talking to zir-sim through COM-port n of a private configuration
// folder (XDG_CONFIG_HOME points there for the life of the object).

#include <QByteArray>
#include <QTemporaryDir>

#include "core/Clock.h"
#include "link/CPDrv.h"
#include "link/Exchange.h"
#include "support/RecordingStatus.h"
#include "support/SimProcess.h"
#include "support/TestExchangeHost.h"

namespace zir::test {

class SimLink {
public:
    SimLink() : savedConfig_(qgetenv("XDG_CONFIG_HOME")) { qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit()); }
    ~SimLink() { qputenv("XDG_CONFIG_HOME", savedConfig_); }
    SimLink(const SimLink&) = delete;
    SimLink& operator=(const SimLink&) = delete;

    // Makes the simulator's line the port the exchange opens.
    void Connect(const SimProcess& sim) const { sim.LinkAsCom(config_.path(), host.portNumber); }
    QString ConfigPath() const { return config_.path(); }

private:
    QTemporaryDir config_;
    QByteArray savedConfig_;

public:
    SystemClock clock;
    TCPDrv port{clock};
    TestExchangeHost host;
    RecordingStatus status;
    TExchange exchange{port, host, status, clock};
};

} // namespace zir::test

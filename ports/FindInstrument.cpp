#include "ports/FindInstrument.h"

#include "core/Errors.h"
#include "core/StatusLine.h"
#include "device/Clock.h"
#include "device/DeviceContext.h"
#include "link/CPDrv.h"
#include "link/Exchange.h"
#include "link/ZebusModTransport.h"

namespace zir {

namespace {

// The exchange's view of the search: no window fields (SendOnce asks for
// neither port number nor speed; the search names the device and sets the
// rate on the port itself); stopping stands in for the Escape key.
class ProbeHost final : public IExchangeHost {
public:
    explicit ProbeHost(IFindObserver& observer) : observer_(observer) {}
    int PortNumber() const override { return 0; }
    int BaudRate() const override { return 0; }
    bool EscapeHeld() override { return observer_.StopRequested(); }

private:
    IFindObserver& observer_;
};

// One request as a single attempt on the port as named and set by the search.
class SingleAttemptLink final : public IDeviceLink {
public:
    SingleAttemptLink(TCPDrv& port, TExchange& exchange) : port_(port), exchange_(exchange) {}
    QByteArray Request(const QByteArray& frame) override {
        if (!port_.Open()) throw EPortError(port_.LastError());
        QByteArray reply;
        try {
            reply = exchange_.SendOnce(frame, kProbeWindowMs);
        } catch (const EPortError&) {
            // The device went away: the port's own reason names it, where
            // the exchange's message would name a port number it has not.
            port_.Close();
            throw EPortError(port_.LastError());
        } catch (...) {
            port_.Close();
            throw;
        }
        port_.Close();
        return reply;
    }

private:
    TCPDrv& port_;
    TExchange& exchange_;
};

// The exchange's "Canceled" and the clock request's status go nowhere: the
// search reports through its observer.
class NoStatus final : public IStatusLine {
public:
    void SetStatus(const QString&) override {}
    QString Status() const override { return {}; }
};

} // namespace

FindResult FindInstrument(const std::vector<SerialPortEntry>& ports, const DeviceTree& tree,
                          const QString& deviceAddress, IFindObserver& observer, IClock& clock,
                          ILineObserver* lineObserver) {
    ParseBusAddress(deviceAddress);

    // The port's defaults are the main window's line settings.
    TCPDrv port(clock);
    port.InputTimeout = kProbeWindowMs;
    ProbeHost host(observer);
    NoStatus status;
    TExchange exchange(port, host, status, clock);
    exchange.SetObserver(lineObserver);
    SingleAttemptLink link(port, exchange);
    NoProgress progress;
    const DeviceContext ctx{link, deviceAddress, status, progress, false};

    FindResult result;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const SerialPortEntry& entry = ports[i];
        if (!entry.present) continue;
        if (!entry.accessRemedy.isEmpty()) {
            observer.Note(QStringLiteral("%1: not tried: permission denied; %2").arg(entry.device, entry.accessRemedy));
            continue;
        }
        port.SetPortName(tree.At(entry.device));
        for (const std::uint32_t baud : kInstrumentSpeeds) {
            port.SetBaudRateValue(baud);
            observer.Trying(entry, baud);
            try {
                if (ReadCurrentBankLetter(ctx)) {
                    observer.Note(QStringLiteral("%1 at %2: the instrument answered").arg(entry.device).arg(baud));
                    result.found = i;
                    result.baud = baud;
                    return result;
                }
                observer.Note(QStringLiteral("%1 at %2: no answer").arg(entry.device).arg(baud));
            } catch (const EProtocolCancel&) {
                result.stopped = true;
                return result;
            } catch (const EPortError& error) {
                observer.Note(QStringLiteral("%1: passed over: %2").arg(entry.device, error.message()));
                break;
            }
        }
    }
    return result;
}

} // namespace zir

#pragma once
// The instrument line of zir-cli: the program's serial port and request
// exchange, as the window sets them up, with a host that has no Escape key
// (a stop signal cancels instead), the port named by --port or --device, and
// the --trace lines (the line monitor's, one per event of the exchange).

#include <QByteArray>
#include <QString>
#include <functional>

#include "cli/CliOptions.h"
#include "core/Clock.h"
#include "core/StatusLine.h"
#include "device/DeviceContext.h"
#include "link/ByteChannel.h"
#include "link/CPDrv.h"
#include "link/Exchange.h"
#include "link/LineObserver.h"

namespace zir::cli {

// The status line of the window, kept for the messages of zir-cli.
class TCliStatus final : public IStatusLine {
public:
    void SetStatus(const QString& text) override { text_ = text; }
    QString Status() const override { return text_; }

private:
    QString text_;
};

// The serial port as the exchange sees it. With a device path the path names
// the port whatever number the exchange gives, and a port that cannot be
// opened or goes away throws EPortError naming the path and the cause (with
// a number, the exchange's own messages name the COM-port). Once a stop is requested, a send or read that
// is about to start throws EProtocolCancel, which the exchange absorbs in
// the attempt; the next attempt's cancel test then ends the exchange.
class TCliChannel final : public IByteChannel {
public:
    TCliChannel(TCPDrv& port, QString devicePath, std::function<bool()> stopRequested);

    void SetPortNumber(int n) override;
    void SetBaudRateValue(std::uint32_t baud) override { port_.SetBaudRateValue(baud); }
    bool Open() override;
    void Close() override { port_.Close(); }
    bool IsOpen() const override { return port_.IsOpen(); }
    QString LastError() const override { return port_.LastError(); }
    bool DeviceGone() const override { return port_.DeviceGone(); }
    bool SendText(const QByteArray& bytes) override;
    QByteArray ReadBytes(int count, const CompletePredicate& complete = {}) override;

    // A valid frame has come since the port was opened: the request in hand
    // is answered, and a stop waits for it to end.
    bool ReplyInHand() const { return replyInHand_; }

private:
    void LeaveWhenStopped() const;
    void FailWhenGone();

    TCPDrv& port_;
    QString devicePath_;
    std::function<bool()> stopRequested_;
    bool replyInHand_ = false;
};

// The window's side of the exchange: the port number and speed of the
// command line, and a stop request where the window has its Escape key.
class TCliHost final : public IExchangeHost {
public:
    TCliHost(int portNumber, int baud, std::function<bool()> cancel);
    int PortNumber() const override { return portNumber_; }
    int BaudRate() const override { return baud_; }
    bool EscapeHeld() override { return cancel_(); }

private:
    int portNumber_;
    int baud_;
    std::function<bool()> cancel_;
};

// The --trace lines: every event of the exchange in the line monitor's
// format, stamped with the clock's time of day.
class TCliTrace final : public ILineObserver {
public:
    using Sink = std::function<void(const QString& line)>;
    TCliTrace(IClock& clock, Sink sink) : clock_(clock), sink_(std::move(sink)) {}
    void OnLineEvent(const LineEvent& event) override { sink_(FormatLineEvent(event, clock_.Now().time())); }

private:
    IClock& clock_;
    Sink sink_;
};

// Everything a command needs to talk to the instrument.
class TCliLine {
public:
    // An empty trace sink: no trace.
    TCliLine(const CliOptions& options, TCliTrace::Sink trace, std::function<bool()> stopRequested);
    TCliLine(const TCliLine&) = delete;
    TCliLine& operator=(const TCliLine&) = delete;

    IDeviceLink& Link() { return exchange_; }
    TCliStatus& Status() { return status_; }
    IClock& Clock() { return clock_; }

private:
    SystemClock clock_;
    TCPDrv port_{clock_};
    TCliStatus status_;
    TCliChannel channel_;
    TCliHost host_;
    TExchange exchange_;
    TCliTrace trace_;
};

} // namespace zir::cli

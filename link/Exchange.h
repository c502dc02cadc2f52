#pragma once
// One request to the instrument and its reply: open the port with the window's
// settings, send the frame under the six-attempt schedule (reply windows of
// 1, 1, 1, 1, 1 and 2 s), validate what comes back, close the port.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <span>

#include "ByteChannel.h"
#include "LineObserver.h"
#include "core/Clock.h"
#include "core/Errors.h"
#include "core/StatusLine.h"

namespace zir {

// What the exchange asks its surroundings at each open and each attempt (the
// main window answers from its fields and the keyboard).
class IExchangeHost {
public:
    virtual ~IExchangeHost() = default;
    virtual int PortNumber() const = 0; // "COM-port №", kMinPortNumber..kMaxPortNumber
    // The line speed in baud. The window converts its field here and throws
    // the EConvertError of a field that holds no number.
    virtual int BaudRate() const = 0;
    virtual bool EscapeHeld() = 0; // the key's state at this moment
    // The request of an attempt is on the line (and reported to the
    // observer); its reply cannot be back before the request's and the
    // reply's wire time have passed.
    virtual void RequestSent() {}
};

// Sends one frame and returns the validated reply; empty when none came.
// Device operations use this, so they run in tests against a scripted fake.
class IDeviceLink {
public:
    virtual ~IDeviceLink() = default;
    // OpenComPort, SendCommand, CloseComPort.
    virtual QByteArray Request(const QByteArray& frame) = 0;
    // A long operation (bank list, bank reading, whole archive) keeps its
    // port from HoldPort() to the matching ReleasePort(); they nest.
    virtual void HoldPort() {}
    virtual void ReleasePort() {}
};

// Keeps the link's port for the life of the object.
class PortHold {
public:
    explicit PortHold(IDeviceLink& link) : link_(link) { link_.HoldPort(); }
    ~PortHold() { link_.ReleasePort(); }
    PortHold(const PortHold&) = delete;
    PortHold& operator=(const PortHold&) = delete;

private:
    IDeviceLink& link_;
};

class TExchange final : public IDeviceLink {
public:
    // A cancel by the operator is reported on `status`; the reply windows are
    // timed by `clock`.
    TExchange(IByteChannel& port, IExchangeHost& host, IStatusLine& status, IClock& clock);

    // Port number and speed from the host; throws EConvertError for a speed
    // that is no rate and EPortError when the port cannot be opened.
    void OpenComPort();
    // Six attempts; throws EProtocolCancel when Escape is held at the start
    // of an attempt (the port is closed first), EPortError when the device
    // disappears.
    QByteArray SendCommand(const QByteArray& frame);
    // One read of up to 280 bytes; throws EProtocolCancel with the packet
    // error message for 1 to 13 bytes. The reply is the whole valid frame among the bytes
    // read, also with stray bytes before or after it.
    QByteArray ReadString();
    void CloseComPort();

    QByteArray Request(const QByteArray& frame) override;

    // While held, the port's lock stays taken between requests (the port is
    // still opened and closed per request): taken at HoldPort() or, when
    // another program had it then, at the first open that succeeds; let go
    // at the last ReleasePort().
    void HoldPort() override;
    void ReleasePort() override;

    // A single attempt with a reply window of windowMs on a port the caller
    // has opened (for looking for an instrument: the port is named by its
    // device and tried at several rates). Escape held cancels as in
    // SendCommand; a short or rejected reply counts as none. The observer
    // hears of it as of a request of one attempt.
    QByteArray SendOnce(const QByteArray& frame, int windowMs);

    // Off by default: a read ends as soon as a whole valid frame is in. On:
    // every read waits for the input timeout of silence (for benchmarks).
    void SetPureSilenceRule(bool on) { pureSilence_ = on; }

    // Every frame sent, every read and the end of each request are reported
    // to the observer, timed by this exchange's clock. nullptr (the default):
    // nobody listens and nothing is reported. Not owned.
    void SetObserver(ILineObserver* observer) { observer_ = observer; }
    ILineObserver* Observer() const { return observer_; }

    // Reply windows of the six attempts, in ms.
    static constexpr int kAttemptWindowsMs[6] = {1000, 1000, 1000, 1000, 1000, 2000};
    static constexpr int kReadLimit = 280;

private:
    // One attempt per reply window, as long as none brought a reply; the line
    // observer hears of the request's end however it ends.
    QByteArray RunAttempts(const QByteArray& frame, std::span<const int> windowsMs);
    void ExchangeAttempt(int windowMs, const QByteArray& frame, QByteArray& reply, bool firstAttempt);
    [[noreturn]] void FailPortGone();
    void ReportEnd(std::int64_t startMs, RequestOutcome outcome, const QByteArray& reply, const QString& message);

    IByteChannel& port_;
    IExchangeHost& host_;
    IStatusLine& status_;
    IClock& clock_;
    bool pureSilence_ = false;
    ILineObserver* observer_ = nullptr;
    // The attempt in progress (1 to 6), and the one that got the reply.
    int attempt_ = 0;
    int replyAttempt_ = 0;
    int holdDepth_ = 0;
};

} // namespace zir

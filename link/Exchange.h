#pragma once
// One request to the instrument and its reply: open the port with the window's
// settings, send the frame under the six-attempt schedule (reply windows of
// 1, 1, 1, 1, 1 and 2 s), validate what comes back, close the port.

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "ByteChannel.h"
#include "Errors.h"

namespace zir {

// Monotonic milliseconds; injected so tests can run the schedule without waiting.
class IClock {
public:
    virtual ~IClock() = default;
    virtual std::int64_t NowMs() = 0;
};

class SteadyClock final : public IClock {
public:
    std::int64_t NowMs() override;
};

// What the exchange needs from its surroundings (the main window supplies it).
class IExchangeHost {
public:
    virtual ~IExchangeHost() = default;
    virtual int PortNumber() const = 0;          // "COM-port №", 1..256
    virtual QString SpeedText() const = 0;       // "19200", ..., or "" when none chosen
    virtual void SetStatus(const QString& text) = 0;
    virtual bool EscapeHeld() = 0;               // the key's state at this moment
    // The request of an attempt is on the line; its reply cannot be back
    // before the request's and the reply's wire time have passed.
    virtual void RequestSent() {}
};

// Sends one frame and returns the validated reply; empty when none came.
// Device operations use this, so they run in tests against a scripted fake.
class IDeviceLink {
public:
    virtual ~IDeviceLink() = default;
    // OpenComPort, SendCommand, CloseComPort.
    virtual QByteArray Request(const QByteArray& frame) = 0;
};

class TExchange final : public IDeviceLink {
public:
    TExchange(IByteChannel& port, IExchangeHost& host, IClock& clock);

    // Port number and speed from the host; throws EConvertError for a speed
    // text that is no integer and EPortError when the port cannot be opened.
    void OpenComPort();
    // Six attempts; throws EProtocolCancel("Canceled") when Escape is held at
    // the start of an attempt (the port is closed first), EPortError when the
    // device disappears.
    QByteArray SendCommand(const QByteArray& frame);
    // One read of up to 280 bytes; throws EProtocolCancel("Paket's error")
    // for 1 to 13 bytes.
    QByteArray ReadString();
    void CloseComPort();

    QByteArray Request(const QByteArray& frame) override;

    // Off by default: a read ends as soon as a whole valid frame is in. On:
    // every read waits for the input timeout of silence (for benchmarks).
    void SetPureSilenceRule(bool on) { pureSilence_ = on; }

    // Reply windows of the six attempts, in ms.
    static constexpr int kAttemptWindowsMs[6] = {1000, 1000, 1000, 1000, 1000, 2000};
    static constexpr int kReadLimit = 280;

private:
    void ExchangeAttempt(int windowMs, const QByteArray& frame, QByteArray& reply);
    [[noreturn]] void FailPortGone();

    IByteChannel& port_;
    IExchangeHost& host_;
    IClock& clock_;
    bool pureSilence_ = false;
};

} // namespace zir

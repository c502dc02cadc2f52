#pragma once
// The byte channel the request exchange talks through: the termios serial
// port (TCPDrv) in the program, an in-memory fake in tests.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace zir {

class IByteChannel {
public:
    virtual ~IByteChannel() = default;

    // Port number n names the device (see PortDevicePath); 0 keeps the name.
    virtual void SetPortNumber(int n) = 0;
    virtual void SetBaudRateValue(std::uint32_t baud) = 0;

    // True when the port is open afterwards; on failure LastError() says why.
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Text of the last failure of Open or of an I/O call ("" when none).
    virtual QString LastError() const = 0;
    // True when the device reported itself gone (e.g. USB adapter unplugged).
    virtual bool DeviceGone() const = 0;

    // Drops the bytes waiting in the input queue.
    virtual void DiscardInput() {}

    // Takes the device's lock and keeps it, also while the device is closed
    // between requests, until ReleaseLock(): another program that opens the
    // device meanwhile is told at once that it is in use. False when the
    // lock cannot be had (the requests then open the device as they would).
    virtual bool HoldLock() { return false; }
    virtual void ReleaseLock() {}

    // Writes the whole string; true when every byte was written.
    virtual bool SendText(const QByteArray& bytes) = 0;

    // Reads at most count bytes. Returns once count bytes have arrived, once
    // no further byte has come for longer than the input timeout (measured
    // from the start or from the last byte), or, when `complete` is given,
    // as soon as complete(bytes so far) is true.
    using CompletePredicate = std::function<bool(const QByteArray&)>;
    virtual QByteArray ReadBytes(int count, const CompletePredicate& complete = {}) = 0;
};

} // namespace zir

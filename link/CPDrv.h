#pragma once
// TCPDrv, the program's serial port: one termios device at 8 data bits, no
// parity, 1 stop bit, no flow control, DTR on and RTS off, writes with an
// output timeout and reads with a silence timeout.
//
// The port is opened non-blocking and exclusively; every wait is a poll()
// through the clock with the time that remains, so the process uses no CPU
// while it waits and tests run the waits in virtual time. Failures are
// reported by results (false, 0) and LastError(), never thrown.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

#include "ByteChannel.h"
#include "core/Clock.h"

struct serial_struct;

namespace zir {

class TCPDrv final : public IByteChannel {
public:
    // The settings the main window's CommPort runs with.
    static constexpr std::uint32_t kDefaultBaudRate = 19200;
    static constexpr std::uint32_t kQueueSize = 256;          // bytes the output queue may hold
    static constexpr std::uint16_t kDefaultOutputTimeout = 0; // ms
    static constexpr std::uint32_t kDefaultInputTimeout = 500;

    explicit TCPDrv(IClock& clock);
    ~TCPDrv() override;
    TCPDrv(const TCPDrv&) = delete;
    TCPDrv& operator=(const TCPDrv&) = delete;

    // --- the device (fixed while open)
    // n names the device by PortDevicePath(n); 0 keeps the name. Ignored while open.
    void SetPortNumber(int n) override;
    QString PortName() const { return portName_; }
    // A device by its path. Ignored while open.
    void SetPortName(const QString& name);

    std::uint32_t BaudRateValue() const { return baudRateValue_; }
    // While open the line settings are applied again, which also discards
    // pending input and output.
    void SetBaudRateValue(std::uint32_t baud) override;

    std::uint16_t OutputTimeout = kDefaultOutputTimeout; // ms without progress before a write gives up
    std::uint32_t InputTimeout = kDefaultInputTimeout;   // ms of silence that ends a read

    // --- operations
    // True when the port is open afterwards (already open: true, nothing changes).
    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return fd_ >= 0; }
    QString LastError() const override { return lastError_; }
    bool DeviceGone() const override { return deviceGone_; }

    // Drops the bytes waiting in the input queue (nothing while closed).
    void DiscardInput() override;

    // Holds the lock of the device PortName() names by a descriptor of its
    // own: the advisory lock (flock) and, between requests, the exclusive
    // flag, which the port's own open passes. Holding another device first
    // lets that one go. True when held.
    bool HoldLock() override;
    void ReleaseLock() override;
    bool HoldsLock() const { return holdFd_ >= 0 && holdPath_ == portName_; }

    // Bytes waiting in the input queue; 65535 while closed.
    std::uint32_t InputCount();
    // The rate the device is really set to (0 while closed or unknown).
    std::uint32_t ActualBaudRate() const;

    // Writes the whole string within the output timeout; true when every byte was written.
    bool SendText(const QByteArray& bytes) override;

    // Reads at most count bytes; stops when InputTimeout ms pass with no
    // byte (counted from the start or the last byte received), or when
    // `complete` accepts what has arrived.
    QByteArray ReadBytes(int count, const CompletePredicate& complete = {}) override;

    // The driver's serial settings calls (TIOCGSERIAL, TIOCSSERIAL) through
    // which Open asks for low latency; tests put a scripted driver here.
    using SerialInfoCall = std::function<int(int fd, unsigned long request, serial_struct* info)>;
    void SetSerialInfoCall(SerialInfoCall call);

private:
    // Line settings onto the open device, then both queues purged.
    bool ApplySettings();
    bool ApplyLine();
    void ApplyModemLines();
    bool PurgeBoth();
    // kQueueSize minus the bytes waiting to go out (never below 0).
    std::uint16_t OutputFree();
    int WriteBytes(const char* data, int count, int timeoutMs);
    // Time to wait so that "more than limit ms since since" is reached.
    int WaitLeft(std::int64_t since, std::int64_t limit);
    void NoteFailure(const QString& what, int err);
    void NoteIoError(int err);
    void RequestLowLatency();
    void RestoreLatency();

    IClock& clock_;
    int fd_ = -1;
    int holdFd_ = -1; // the held device's lock, see HoldLock()
    QString holdPath_;
    QString portName_;
    std::uint32_t baudRateValue_ = kDefaultBaudRate;
    QString lastError_;
    bool deviceGone_ = false;
    SerialInfoCall serialInfo_;
    // Open switched the driver's low-latency mode on; Close switches it off.
    bool lowLatencySet_ = false;
};

} // namespace zir

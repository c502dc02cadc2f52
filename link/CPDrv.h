#pragma once
// TCPDrv, the program's serial port: one termios device, its line settings,
// writes with an output timeout and reads with a silence timeout.
//
// The port is opened non-blocking and exclusively; every wait is a poll()
// with the time that remains, so the process uses no CPU while it waits.
// Failures are reported by results (false, 0) and LastError(), never thrown.

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "ByteChannel.h"

namespace zir {

// Port numbers with a name of their own; any number 1..256 is accepted.
enum TPortNumber : int {
    pnCustom = 0,
    pnCOM1, pnCOM2, pnCOM3, pnCOM4, pnCOM5, pnCOM6, pnCOM7, pnCOM8,
    pnCOM9, pnCOM10, pnCOM11, pnCOM12, pnCOM13, pnCOM14, pnCOM15, pnCOM16
};

enum TBaudRate : int {
    brCustom = 0, br110, br300, br600, br1200, br2400, br4800, br9600, br14400,
    br19200, br38400, br56000, br57600, br115200, br128000, br256000
};
// The rate a named TBaudRate stands for; 0 for brCustom.
std::uint32_t BaudRateOf(TBaudRate rate);

enum TDataBits : int { db5BITS = 0, db6BITS, db7BITS, db8BITS };
// termios has no 1.5 stop bits: sb1HALFBITS is sent as two, as the UART
// itself does with 6 to 8 data bits.
enum TStopBits : int { sb1BITS = 0, sb1HALFBITS, sb2BITS };
enum TParity : int { ptNONE = 0, ptODD, ptEVEN, ptMARK, ptSPACE };
enum THwFlowControl : int { hfNONE = 0, hfNONERTSON, hfRTSCTS };
enum TSwFlowControl : int { sfNONE = 0, sfXONXOFF };

inline constexpr std::uint32_t kMinBufSize = 128;
inline constexpr std::uint32_t kMaxBufSize = 8192;

class TCPDrv final : public IByteChannel {
public:
    TCPDrv();
    ~TCPDrv() override;
    TCPDrv(const TCPDrv&) = delete;
    TCPDrv& operator=(const TCPDrv&) = delete;

    // --- properties (setters follow the port's rules: naming and buffer
    // sizes are fixed while open; line settings apply at once while open)
    int Port() const { return port_; }
    // Ignored while open. n in 1..256 names the device by PortDevicePath(n);
    // 0 (pnCustom) keeps PortName.
    void SetPort(int n);
    QString PortName() const { return portName_; }
    // Ignored while open; Port becomes pnCustom.
    void SetPortName(const QString& name);

    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate rate);
    std::uint32_t BaudRateValue() const { return baudRateValue_; }
    // BaudRate becomes brCustom. While open the line settings are applied
    // again, which also discards pending input and output.
    void SetBaudRateValue(std::uint32_t baud) override;

    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits bits);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits bits);
    TParity Parity() const { return parity_; }
    void SetParity(TParity parity);
    THwFlowControl HwFlow() const { return hwFlow_; }
    void SetHwFlow(THwFlowControl flow);
    TSwFlowControl SwFlow() const { return swFlow_; }
    void SetSwFlow(TSwFlowControl flow);

    // Ignored while open; clamped to 128..8192.
    std::uint32_t InBufSize() const { return inBufSize_; }
    void SetInBufSize(std::uint32_t size);
    std::uint32_t OutBufSize() const { return outBufSize_; }
    void SetOutBufSize(std::uint32_t size);

    bool EnableDTROnOpen = true;
    std::uint16_t OutputTimeout = 500;   // ms without progress before a write gives up
    std::uint32_t InputTimeout = 200;    // ms of silence that ends a read

    // --- operations
    // True when the port is open afterwards (already open: true, nothing changes).
    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return fd_ >= 0; }
    QString LastError() const override { return lastError_; }
    bool DeviceGone() const override { return deviceGone_; }

    // Line settings onto the open device, then both queues purged.
    bool ApplySettings();
    bool Purge(bool input, bool output);
    // Bytes waiting in the input queue; 65535 while closed.
    std::uint32_t InputCount();
    // OutBufSize minus the bytes waiting to go out (never below 0); 65535 while closed.
    std::uint16_t OutputFree();
    // The rate the device is really set to (0 while closed or unknown).
    std::uint32_t ActualBaudRate() const;

    // Writes with the given timeout (ms without progress); returns the count written.
    int WriteBytes(const char* data, int count, int timeoutMs);
    int SendBytes(const char* data, int count) { return WriteBytes(data, count, OutputTimeout); }
    bool SendText(const QByteArray& bytes) override;

    // Reads at most count bytes; stops when InputTimeout ms pass with no
    // byte (counted from the start or the last byte received), or when
    // `complete` accepts what has arrived.
    QByteArray ReadBytes(int count, const CompletePredicate& complete = {}) override;

    void SetPortNumber(int n) override { SetPort(n); }

private:
    // Stores a line setting and applies it at once while open.
    template <typename T>
    void SetLineSetting(T& setting, T value);
    bool ApplyLine();
    void ApplyModemLines();
    void NoteFailure(const QString& what, int err);
    void NoteIoError(int err);

    int fd_ = -1;
    int port_ = pnCOM2;
    QString portName_;
    TBaudRate baudRate_ = br9600;
    std::uint32_t baudRateValue_ = 9600;
    TDataBits dataBits_ = db8BITS;
    TStopBits stopBits_ = sb1BITS;
    TParity parity_ = ptNONE;
    THwFlowControl hwFlow_ = hfNONERTSON;
    TSwFlowControl swFlow_ = sfNONE;
    std::uint32_t inBufSize_ = 2048;
    std::uint32_t outBufSize_ = 2048;
    QString lastError_;
    bool deviceGone_ = false;
};

// The settings the main window gives its CommPort: device named by the port
// number, custom rate 19200, no flow control (RTS off), queues of 256 bytes,
// no output timeout, 500 ms of silence ends a read.
void ConfigureAsCommPort(TCPDrv& port);

} // namespace zir

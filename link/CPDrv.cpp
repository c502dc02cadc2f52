#include "CPDrv.h"

#include "PortNaming.h"
#include "core/SystemIo.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

// Only the ioctl numbers: <asm/termbits.h> would clash with <termios.h>.
#include <asm/ioctls.h>

namespace zir {

namespace {

// The kernel's struct termios2 (TCGETS2/TCSETS2), which carries the rate as
// a number; declared here because its header cannot sit beside <termios.h>.
struct termios2 {
    tcflag_t c_iflag;
    tcflag_t c_oflag;
    tcflag_t c_cflag;
    tcflag_t c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed;
    speed_t c_ospeed;
};
static_assert(sizeof(termios2) == 44, "kernel termios2 layout");
// Rate flag meaning "the number in c_ispeed/c_ospeed" (kernel termbits).
constexpr tcflag_t kBother = 0010000;

constexpr std::array<std::uint32_t, 16> kBaudTable = {
    0, 110, 300, 600, 1200, 2400, 4800, 9600, 14400,
    19200, 38400, 56000, 57600, 115200, 128000, 256000};

struct StandardRate {
    std::uint32_t baud;
    speed_t code;
};
constexpr StandardRate kStandardRates[] = {
    {50, B50}, {75, B75}, {110, B110}, {134, B134}, {150, B150}, {200, B200},
    {300, B300}, {600, B600}, {1200, B1200}, {1800, B1800}, {2400, B2400},
    {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800},
    {500000, B500000}, {576000, B576000}, {921600, B921600},
    {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000}};

std::int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Time to wait so that "more than limit ms since since" is reached.
int WaitLeft(std::int64_t since, std::int64_t limit)
{
    const std::int64_t left = limit - (NowMs() - since) + 1;
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, 60'000));
}

bool IsGoneError(int err)
{
    // EIO: the pseudo-terminal's other side closed, or a hung-up line;
    // ENXIO/ENODEV: the adapter was unplugged.
    return err == EIO || err == ENXIO || err == ENODEV;
}

std::uint32_t ClampBufSize(std::uint32_t size)
{
    return std::clamp(size, kMinBufSize, kMaxBufSize);
}

} // namespace

std::uint32_t BaudRateOf(TBaudRate rate)
{
    const auto index = static_cast<std::size_t>(rate);
    return index < kBaudTable.size() ? kBaudTable[index] : 0;
}

TCPDrv::TCPDrv()
    // COM2 under the fallback rule; the config folder is not looked at before
    // a port number is set.
    : portName_(QStringLiteral("/dev/ttyS1"))
{
}

TCPDrv::~TCPDrv()
{
    Close();
}

template <typename T>
void TCPDrv::SetLineSetting(T& setting, T value)
{
    setting = value;
    if (IsOpen())
        ApplySettings();
}

void TCPDrv::SetPort(int n)
{
    if (IsOpen())
        return;
    port_ = n;
    if (n != pnCustom)
        portName_ = PortDevicePath(n);
}

void TCPDrv::SetPortName(const QString& name)
{
    if (IsOpen())
        return;
    port_ = pnCustom;
    portName_ = name;
}

void TCPDrv::SetBaudRate(TBaudRate rate)
{
    baudRate_ = rate;
    if (rate != brCustom)
        baudRateValue_ = BaudRateOf(rate);
    if (IsOpen())
        ApplySettings();
}

void TCPDrv::SetBaudRateValue(std::uint32_t baud)
{
    baudRate_ = brCustom;
    SetLineSetting(baudRateValue_, baud);
}

void TCPDrv::SetDataBits(TDataBits bits) { SetLineSetting(dataBits_, bits); }

void TCPDrv::SetStopBits(TStopBits bits) { SetLineSetting(stopBits_, bits); }

void TCPDrv::SetParity(TParity parity) { SetLineSetting(parity_, parity); }

void TCPDrv::SetHwFlow(THwFlowControl flow) { SetLineSetting(hwFlow_, flow); }

void TCPDrv::SetSwFlow(TSwFlowControl flow) { SetLineSetting(swFlow_, flow); }

void TCPDrv::SetInBufSize(std::uint32_t size)
{
    if (!IsOpen())
        inBufSize_ = ClampBufSize(size);
}

void TCPDrv::SetOutBufSize(std::uint32_t size)
{
    if (!IsOpen())
        outBufSize_ = ClampBufSize(size);
}

void TCPDrv::NoteFailure(const QString& what, int err)
{
    lastError_ = DescribeDevicePath(portName_) + QStringLiteral(": ") + what;
    if (err != 0)
        lastError_ += QStringLiteral(" (") + SystemErrorText(err) + QStringLiteral(")");
}

void TCPDrv::NoteIoError(int err)
{
    if (IsGoneError(err)) {
        deviceGone_ = true;
        NoteFailure(QStringLiteral("the device has gone"), err);
    } else {
        NoteFailure(QStringLiteral("input/output error"), err);
    }
}

bool TCPDrv::Open()
{
    if (IsOpen())
        return true;
    lastError_.clear();
    deviceGone_ = false;

    const QByteArray path = QFile::encodeName(portName_);
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == EACCES || err == EPERM)
            NoteFailure(QStringLiteral("permission denied; the user must be in the \"dialout\" group"), 0);
        else if (err == EBUSY)
            NoteFailure(QStringLiteral("in use by another program"), err);
        else
            NoteFailure(QStringLiteral("cannot be opened"), err);
        return false;
    }
    // The exclusive flag keeps other programs out (root passes it, so two
    // copies of this program also keep out of each other by a lock).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        NoteFailure(QStringLiteral("in use by another program"), err);
        return false;
    }
    if (::ioctl(fd, TIOCEXCL) != 0 && errno == ENOTTY) {
        const int err = errno;
        ::close(fd);
        NoteFailure(QStringLiteral("not a serial port"), err);
        return false;
    }
    fd_ = fd;
    if (!ApplySettings()) {
        const QString reason = lastError_;
        Close();
        lastError_ = reason;
        return false;
    }
    return true;
}

void TCPDrv::Close()
{
    if (!IsOpen())
        return;
    // A pseudo-terminal keeps the flag while its other side stays open and
    // would refuse the next open.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

bool TCPDrv::ApplySettings()
{
    if (!IsOpen())
        return false;
    if (!ApplyLine())
        return false;
    ApplyModemLines();
    return Purge(true, true);
}

bool TCPDrv::ApplyLine()
{
    if (baudRateValue_ == 0) {
        NoteFailure(QStringLiteral("baud rate 0 is not a rate"), 0);
        return false;
    }
    termios tio {};
    if (::tcgetattr(fd_, &tio) != 0) {
        NoteFailure(QStringLiteral("cannot read the line settings"), errno);
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNPAR | PARMRK);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CREAD | CLOCAL;
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= kSizes[std::clamp<int>(dataBits_, db5BITS, db8BITS)];
    if (stopBits_ != sb1BITS)
        tio.c_cflag |= CSTOPB;
    switch (parity_) {
    case ptNONE: break;
    case ptODD: tio.c_cflag |= PARENB | PARODD; break;
    case ptEVEN: tio.c_cflag |= PARENB; break;
    case ptMARK: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case ptSPACE: tio.c_cflag |= PARENB | CMSPAR; break;
    }
    if (hwFlow_ == hfRTSCTS)
        tio.c_cflag |= CRTSCTS;
    if (swFlow_ == sfXONXOFF) {
        tio.c_iflag |= IXON | IXOFF;
        tio.c_cc[VSTART] = 17;
        tio.c_cc[VSTOP] = 19;
    }
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    const auto* standard = std::find_if(std::begin(kStandardRates), std::end(kStandardRates),
        [&](const StandardRate& r) { return r.baud == baudRateValue_; });
    const bool isStandard = standard != std::end(kStandardRates);
    ::cfsetspeed(&tio, isStandard ? standard->code : B38400);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
        NoteFailure(QStringLiteral("cannot apply the line settings"), errno);
        return false;
    }
    if (!isStandard) {
        termios2 tio2 {};
        if (::ioctl(fd_, TCGETS2, &tio2) != 0) {
            NoteFailure(QStringLiteral("cannot read the line settings"), errno);
            return false;
        }
        // No separate input rate (CIBAUD clear): input runs at the output rate.
        tio2.c_cflag &= ~static_cast<tcflag_t>(CBAUD | CIBAUD);
        tio2.c_cflag |= kBother;
        tio2.c_ispeed = baudRateValue_;
        tio2.c_ospeed = baudRateValue_;
        if (::ioctl(fd_, TCSETS2, &tio2) != 0) {
            NoteFailure(QStringLiteral("baud rate %1 is not supported").arg(baudRateValue_), errno);
            return false;
        }
    }
    return true;
}

void TCPDrv::ApplyModemLines()
{
    // A pseudo-terminal has no modem lines (ENOTTY/EINVAL); that is no failure.
    const int dtr = TIOCM_DTR;
    const int rts = TIOCM_RTS;
    if (EnableDTROnOpen)
        ::ioctl(fd_, TIOCMBIS, &dtr);
    if (hwFlow_ == hfNONE)
        ::ioctl(fd_, TIOCMBIC, &rts);
    else if (hwFlow_ == hfNONERTSON)
        ::ioctl(fd_, TIOCMBIS, &rts);
}

bool TCPDrv::Purge(bool input, bool output)
{
    if (!IsOpen())
        return false;
    int queue = -1;
    if (input && output)
        queue = TCIOFLUSH;
    else if (input)
        queue = TCIFLUSH;
    else if (output)
        queue = TCOFLUSH;
    if (queue >= 0 && ::tcflush(fd_, queue) != 0) {
        NoteFailure(QStringLiteral("cannot discard the queues"), errno);
        return false;
    }
    return true;
}

std::uint32_t TCPDrv::InputCount()
{
    if (!IsOpen())
        return 65535;
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0)
        return 0;
    return static_cast<std::uint32_t>(std::max(waiting, 0));
}

std::uint16_t TCPDrv::OutputFree()
{
    if (!IsOpen())
        return 65535;
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0)
        queued = 0;
    // The kernel's queue may hold more than OutBufSize; never wrap below 0.
    const std::int64_t free = static_cast<std::int64_t>(outBufSize_) - std::max(queued, 0);
    return static_cast<std::uint16_t>(std::clamp<std::int64_t>(free, 0, 65535));
}

std::uint32_t TCPDrv::ActualBaudRate() const
{
    if (!IsOpen())
        return 0;
    termios2 tio2 {};
    if (::ioctl(fd_, TCGETS2, &tio2) != 0)
        return 0;
    if ((tio2.c_cflag & CBAUD) == kBother)
        return tio2.c_ospeed;
    for (const StandardRate& r : kStandardRates)
        if ((tio2.c_cflag & CBAUD) == r.code)
            return r.baud;
    return 0;
}

int TCPDrv::WriteBytes(const char* data, int count, int timeoutMs)
{
    if (!IsOpen() || count <= 0)
        return 0;
    int written = 0;
    std::int64_t lastProgress = NowMs();
    while (written < count) {
        const int free = OutputFree();
        if (free > 0) {
            const ssize_t n = ::write(fd_, data + written, static_cast<std::size_t>(std::min(count - written, free)));
            if (n > 0) {
                written += static_cast<int>(n);
                lastProgress = NowMs();
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                NoteIoError(errno);
                break;
            }
        }
        if (NowMs() - lastProgress > timeoutMs)
            break;
        // Wait until the device takes more, or the timeout has passed. With a
        // full driver queue POLLOUT may still be reported, so wait at most 1 ms.
        pollfd pfd {fd_, POLLOUT, 0};
        const int wait = free > 0 ? WaitLeft(lastProgress, timeoutMs)
                                  : std::min(1, WaitLeft(lastProgress, timeoutMs));
        if (::poll(&pfd, 1, wait) > 0 && (pfd.revents & POLLHUP)) {
            deviceGone_ = true;
            NoteFailure(QStringLiteral("the device has gone"), 0);
            break;
        }
    }
    return written;
}

bool TCPDrv::SendText(const QByteArray& bytes)
{
    return SendBytes(bytes.constData(), static_cast<int>(bytes.size())) == bytes.size();
}

QByteArray TCPDrv::ReadBytes(int count, const CompletePredicate& complete)
{
    QByteArray received;
    if (!IsOpen() || count <= 0)
        return received;
    std::int64_t lastByte = NowMs();
    while (received.size() < count) {
        pollfd pfd {fd_, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, WaitLeft(lastByte, InputTimeout));
        if (ready < 0 && errno != EINTR) {
            NoteIoError(errno);
            break;
        }
        if (ready > 0 && (pfd.revents & (POLLIN | POLLHUP | POLLERR))) {
            char chunk[512];
            const int want = std::min<int>(count - static_cast<int>(received.size()), sizeof chunk);
            const ssize_t n = ::read(fd_, chunk, static_cast<std::size_t>(want));
            if (n > 0) {
                received.append(chunk, n);
                lastByte = NowMs();
                if (complete && complete(received))
                    break;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                NoteIoError(errno);
                break;
            }
            if (pfd.revents & POLLHUP) {
                // Hung up with nothing left to read: the other side is gone.
                deviceGone_ = true;
                NoteFailure(QStringLiteral("the device has gone"), 0);
                break;
            }
            if (pfd.revents & POLLERR) {
                // An error state that reading does not clear: stop rather
                // than spin on it until the timeout.
                NoteFailure(QStringLiteral("input/output error"), 0);
                break;
            }
        }
        if (NowMs() - lastByte > InputTimeout)
            break;
    }
    return received;
}

void ConfigureAsCommPort(TCPDrv& port)
{
    port.SetPort(pnCustom);
    port.SetBaudRateValue(19200);
    port.SetHwFlow(hfNONE);
    port.SetInBufSize(256);
    port.SetOutBufSize(256);
    port.OutputTimeout = 0;
    port.InputTimeout = 500;
}

} // namespace zir

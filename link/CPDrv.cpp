#include "CPDrv.h"

#include "PortAccess.h"
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
#include <linux/serial.h>

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
// serial_struct's flags are a signed int.
constexpr int kLowLatency = static_cast<int>(ASYNC_LOW_LATENCY);

struct StandardRate {
    std::uint32_t baud;
    speed_t code;
};
constexpr StandardRate kStandardRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000}};

bool IsGoneError(int err) {
    // EIO: the pseudo-terminal's other side closed, or a hung-up line;
    // ENXIO/ENODEV: the adapter was unplugged.
    return err == EIO || err == ENXIO || err == ENODEV;
}

} // namespace

TCPDrv::TCPDrv(IClock& clock) : clock_(clock) { SetSerialInfoCall({}); }

void TCPDrv::SetSerialInfoCall(SerialInfoCall call) {
    if (call)
        serialInfo_ = std::move(call);
    else
        serialInfo_ = [](int fd, unsigned long request, serial_struct* info) { return ::ioctl(fd, request, info); };
}

TCPDrv::~TCPDrv() {
    Close();
    ReleaseLock();
}

void TCPDrv::SetPortNumber(int n) {
    if (IsOpen() || n == 0) return;
    portName_ = PortDevicePath(n);
}

void TCPDrv::SetPortName(const QString& name) {
    if (IsOpen()) return;
    portName_ = name;
}

void TCPDrv::SetBaudRateValue(std::uint32_t baud) {
    baudRateValue_ = baud;
    if (IsOpen()) ApplySettings();
}

void TCPDrv::NoteFailure(const QString& what, int err) {
    lastError_ = DescribeDevicePath(portName_) + QStringLiteral(": ") + what;
    if (err != 0) lastError_ += QStringLiteral(" (") + SystemErrorText(err) + QStringLiteral(")");
}

void TCPDrv::NoteIoError(int err) {
    if (IsGoneError(err)) {
        deviceGone_ = true;
        NoteFailure(QStringLiteral("the device has gone"), err);
    } else {
        NoteFailure(QStringLiteral("input/output error"), err);
    }
}

bool TCPDrv::Open() {
    if (IsOpen()) return true;
    lastError_.clear();
    deviceGone_ = false;

    const QByteArray path = QFile::encodeName(portName_);
    // A held device keeps its exclusive flag between requests; this open
    // must pass it (its own flag is set again below).
    const bool held = HoldsLock();
    if (held) ::ioctl(holdFd_, TIOCNXCL);
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (held) ::ioctl(holdFd_, TIOCEXCL);
        const QString remedy = (err == EACCES || err == EPERM) ? PortAccessRemedy(portName_) : QString();
        if (!remedy.isEmpty())
            NoteFailure(QStringLiteral("permission denied; ") + remedy, 0);
        else if (err == EACCES || err == EPERM)
            NoteFailure(QStringLiteral("permission denied"), err);
        else if (err == EBUSY)
            NoteFailure(QStringLiteral("in use by another program"), err);
        else
            NoteFailure(QStringLiteral("cannot be opened"), err);
        return false;
    }
    // The exclusive flag keeps other programs out (root passes it, so two
    // copies of this program also keep out of each other by a lock, which a
    // held device has already).
    if (!held && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
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
    RequestLowLatency();
    if (!ApplySettings()) {
        const QString reason = lastError_;
        Close();
        lastError_ = reason;
        return false;
    }
    return true;
}

void TCPDrv::Close() {
    if (!IsOpen()) return;
    RestoreLatency();
    // A pseudo-terminal keeps the flag while its other side stays open and
    // would refuse the next open.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
    if (HoldsLock()) ::ioctl(holdFd_, TIOCEXCL);
}

bool TCPDrv::HoldLock() {
    if (HoldsLock()) return true;
    ReleaseLock();
    if (portName_.isEmpty()) return false;
    const int fd = ::open(QFile::encodeName(portName_).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return false;
    }
    holdFd_ = fd;
    holdPath_ = portName_;
    return true;
}

void TCPDrv::ReleaseLock() {
    if (holdFd_ < 0) return;
    // A pseudo-terminal would keep the flag while its other side stays open.
    ::ioctl(holdFd_, TIOCNXCL);
    ::close(holdFd_);
    holdFd_ = -1;
    holdPath_.clear();
}

void TCPDrv::RequestLowLatency() {
    // USB adapters (FTDI) otherwise hold received bytes for up to 16 ms
    // before passing them on. A driver without the setting (a
    // pseudo-terminal) or one that refuses it is no failure.
    lowLatencySet_ = false;
    serial_struct info{};
    if (serialInfo_(fd_, TIOCGSERIAL, &info) != 0 || (info.flags & kLowLatency) != 0) return;
    info.flags |= kLowLatency;
    lowLatencySet_ = serialInfo_(fd_, TIOCSSERIAL, &info) == 0;
}

void TCPDrv::RestoreLatency() {
    if (!lowLatencySet_) return;
    lowLatencySet_ = false;
    // Only the flag Open set goes back; the driver's other settings may have
    // been changed meanwhile by someone else.
    serial_struct info{};
    if (serialInfo_(fd_, TIOCGSERIAL, &info) == 0) {
        info.flags &= ~kLowLatency;
        serialInfo_(fd_, TIOCSSERIAL, &info);
    }
}

bool TCPDrv::ApplySettings() {
    if (!IsOpen()) return false;
    if (!ApplyLine()) return false;
    ApplyModemLines();
    return PurgeBoth();
}

bool TCPDrv::ApplyLine() {
    if (baudRateValue_ == 0) {
        NoteFailure(QStringLiteral("baud rate 0 is not a rate"), 0);
        return false;
    }
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) {
        NoteFailure(QStringLiteral("cannot read the line settings"), errno);
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNPAR | PARMRK);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CREAD | CLOCAL;
    tio.c_cflag |= CS8; // no parity, one stop bit, no flow control
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
        termios2 tio2{};
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

void TCPDrv::ApplyModemLines() {
    // A pseudo-terminal has no modem lines (ENOTTY/EINVAL); that is no failure.
    const int dtr = TIOCM_DTR;
    const int rts = TIOCM_RTS;
    ::ioctl(fd_, TIOCMBIS, &dtr);
    ::ioctl(fd_, TIOCMBIC, &rts);
}

bool TCPDrv::PurgeBoth() {
    if (::tcflush(fd_, TCIOFLUSH) != 0) {
        NoteFailure(QStringLiteral("cannot discard the queues"), errno);
        return false;
    }
    return true;
}

void TCPDrv::DiscardInput() {
    if (IsOpen()) ::tcflush(fd_, TCIFLUSH);
}

std::uint32_t TCPDrv::InputCount() {
    if (!IsOpen()) return 65535;
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0) return 0;
    return static_cast<std::uint32_t>(std::max(waiting, 0));
}

std::uint16_t TCPDrv::OutputFree() {
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) queued = 0;
    // The kernel's queue may hold more than kQueueSize; never wrap below 0.
    const std::int64_t free = static_cast<std::int64_t>(kQueueSize) - std::max(queued, 0);
    return static_cast<std::uint16_t>(std::clamp<std::int64_t>(free, 0, 65535));
}

std::uint32_t TCPDrv::ActualBaudRate() const {
    if (!IsOpen()) return 0;
    termios2 tio2{};
    if (::ioctl(fd_, TCGETS2, &tio2) != 0) return 0;
    if ((tio2.c_cflag & CBAUD) == kBother) return tio2.c_ospeed;
    for (const StandardRate& r : kStandardRates)
        if ((tio2.c_cflag & CBAUD) == r.code) return r.baud;
    return 0;
}

int TCPDrv::WriteBytes(const char* data, int count, int timeoutMs) {
    if (!IsOpen() || count <= 0) return 0;
    int written = 0;
    std::int64_t lastProgress = clock_.NowMs();
    while (written < count) {
        const int free = OutputFree();
        if (free > 0) {
            const ssize_t n = ::write(fd_, data + written, static_cast<std::size_t>(std::min(count - written, free)));
            if (n > 0) {
                written += static_cast<int>(n);
                lastProgress = clock_.NowMs();
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                NoteIoError(errno);
                break;
            }
        }
        if (clock_.NowMs() - lastProgress > timeoutMs) break;
        // Wait until the device takes more, or the timeout has passed. With a
        // full driver queue POLLOUT may still be reported, so wait at most 1 ms.
        pollfd pfd{fd_, POLLOUT, 0};
        const int wait = free > 0 ? WaitLeft(lastProgress, timeoutMs) : std::min(1, WaitLeft(lastProgress, timeoutMs));
        if (clock_.Poll(pfd, wait) > 0 && (pfd.revents & POLLHUP)) {
            deviceGone_ = true;
            NoteFailure(QStringLiteral("the device has gone"), 0);
            break;
        }
    }
    return written;
}

bool TCPDrv::SendText(const QByteArray& bytes) {
    return WriteBytes(bytes.constData(), static_cast<int>(bytes.size()), OutputTimeout) == bytes.size();
}

int TCPDrv::WaitLeft(std::int64_t since, std::int64_t limit) {
    const std::int64_t left = limit - (clock_.NowMs() - since) + 1;
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, 60'000));
}

QByteArray TCPDrv::ReadBytes(int count, const CompletePredicate& complete) {
    QByteArray received;
    if (!IsOpen() || count <= 0) return received;
    std::int64_t lastByte = clock_.NowMs();
    while (received.size() < count) {
        pollfd pfd{fd_, POLLIN, 0};
        const int ready = clock_.Poll(pfd, WaitLeft(lastByte, InputTimeout));
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
                lastByte = clock_.NowMs();
                if (complete && complete(received)) break;
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
        if (clock_.NowMs() - lastByte > InputTimeout) break;
    }
    return received;
}

} // namespace zir

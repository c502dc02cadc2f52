#include "sim/SerialLine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace zir::sim {
namespace {

std::runtime_error SystemError(const QString& what) {
    return std::runtime_error(
        QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno))).toStdString());
}

speed_t StandardSpeed(int baud) {
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
    }
}

void MakeRaw(int fd, int baud, const QString& path) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) throw SystemError(QStringLiteral("cannot read the line settings of %1").arg(path));
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (const speed_t speed = StandardSpeed(baud); speed != B0) cfsetspeed(&tio, speed);
    if (tcsetattr(fd, TCSANOW, &tio) != 0)
        throw SystemError(QStringLiteral("cannot set the line settings of %1").arg(path));
}

} // namespace

bool IsStandardRate(int baud) { return StandardSpeed(baud) != B0; }

bool LineRateIs(int fd, int baud) {
    termios tio{};
    return tcgetattr(fd, &tio) == 0 && cfgetospeed(&tio) == StandardSpeed(baud);
}

SerialLine SerialLine::OpenPseudoTerminal() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) throw SystemError(QStringLiteral("cannot create a pseudo-terminal"));
    char name[256] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        const int saved = errno;
        close(master);
        errno = saved;
        throw SystemError(QStringLiteral("cannot prepare the pseudo-terminal"));
    }
    const QString path = QString::fromLocal8Bit(name);
    const int keep = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (keep < 0) {
        const int saved = errno;
        close(master);
        errno = saved;
        throw SystemError(QStringLiteral("cannot open %1").arg(path));
    }
    SerialLine line(master, keep, path);
    MakeRaw(keep, 19200, path); // a pseudo-terminal ignores the rate
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    return line;
}

SerialLine SerialLine::OpenDevice(const QString& path, int baud) {
    const int fd = open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw SystemError(QStringLiteral("cannot open %1").arg(path));
    SerialLine line(fd, -1, path);
    MakeRaw(fd, baud, path);
    return line;
}

SerialLine::SerialLine(SerialLine&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), keepOpenFd_(std::exchange(other.keepOpenFd_, -1)), path_(other.path_) {}

SerialLine::~SerialLine() {
    if (keepOpenFd_ >= 0) close(keepOpenFd_);
    if (fd_ >= 0) close(fd_);
}

LineLink::LineLink(const QString& linkPath, const QString& target) : linkPath_(linkPath), target_(target) {
    const QFileInfo info(linkPath);
    if (!QDir().mkpath(info.absolutePath()))
        throw std::runtime_error(QStringLiteral("cannot create the folder of %1").arg(linkPath).toStdString());
    const QByteArray link = QFile::encodeName(linkPath);
    struct stat st {};
    if (lstat(link.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode))
            throw std::runtime_error(
                QStringLiteral("%1 exists and is not a symlink; not replacing it").arg(linkPath).toStdString());
        if (unlink(link.constData()) != 0) throw SystemError(QStringLiteral("cannot replace %1").arg(linkPath));
    }
    if (symlink(QFile::encodeName(target).constData(), link.constData()) != 0)
        throw SystemError(QStringLiteral("cannot make the link %1").arg(linkPath));
}

LineLink::~LineLink() {
    const QByteArray link = QFile::encodeName(linkPath_);
    char buffer[4096];
    const ssize_t n = readlink(link.constData(), buffer, sizeof buffer);
    if (n > 0 && QFile::decodeName(QByteArray(buffer, static_cast<int>(n))) == target_) unlink(link.constData());
}

} // namespace zir::sim

#pragma once
// A pseudo-terminal for driver tests: the port under test opens the slave
// side by its path; the test plays the instrument on the master side.

#include <QByteArray>
#include <QString>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace zir::test {

class PtyPair {
public:
    PtyPair() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        slavePath_ = QString::fromLocal8Bit(::ptsname(master_));
        // Held open so the master does not see a hang-up while the port
        // under test is closed between commands; it never reads.
        keeper_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        ::tcgetattr(keeper_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(keeper_, TCSANOW, &tio);
    }
    ~PtyPair() {
        CloseMaster();
        if (keeper_ >= 0) ::close(keeper_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    QString SlavePath() const { return slavePath_; }
    int Master() const { return master_; }

    // Writes to the slave side and returns once the bytes can be read there
    // (the kernel hands them over asynchronously), so a read on a virtual
    // clock finds them without waiting.
    void Write(const QByteArray& bytes) const {
        const int before = Waiting();
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (n <= 0) throw std::runtime_error("pty write failed");
            done += n;
        }
        for (int i = 0; i < 2000 && Waiting() < before + bytes.size(); ++i) ::usleep(1000);
    }

    // Bytes waiting to be read on the slave side.
    int Waiting() const {
        int count = 0;
        ::ioctl(keeper_, FIONREAD, &count);
        return count;
    }

    // Everything that arrives until `quietMs` pass without a byte.
    QByteArray ReadUntilQuiet(int quietMs) const {
        QByteArray got;
        for (;;) {
            pollfd pfd{master_, POLLIN, 0};
            if (::poll(&pfd, 1, quietMs) <= 0 || !(pfd.revents & POLLIN)) return got;
            char buf[512];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) return got;
            got.append(buf, n);
        }
    }

    void CloseMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int keeper_ = -1;
    QString slavePath_;
};

} // namespace zir::test

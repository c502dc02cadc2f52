#pragma once
// A pseudo-terminal for driver tests: the port under test opens the slave
// side by its path; the test plays the instrument on the master side.

#include <QByteArray>
#include <QString>
#include <chrono>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace zir::test {

class PtyPair {
public:
    PtyPair()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        slavePath_ = QString::fromLocal8Bit(::ptsname(master_));
        // Held open so the master does not see a hang-up while the port
        // under test is closed between commands; it never reads.
        keeper_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio {};
        ::tcgetattr(keeper_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(keeper_, TCSANOW, &tio);
    }
    ~PtyPair()
    {
        CloseMaster();
        if (keeper_ >= 0) ::close(keeper_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    QString SlavePath() const { return slavePath_; }
    int Master() const { return master_; }

    void Write(const QByteArray& bytes) const
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (n <= 0) throw std::runtime_error("pty write failed");
            done += n;
        }
    }

    // Everything that arrives until `quietMs` pass without a byte.
    QByteArray ReadUntilQuiet(int quietMs) const
    {
        QByteArray got;
        for (;;) {
            pollfd pfd {master_, POLLIN, 0};
            if (::poll(&pfd, 1, quietMs) <= 0 || !(pfd.revents & POLLIN)) return got;
            char buf[512];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) return got;
            got.append(buf, n);
        }
    }

    void CloseMaster()
    {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int keeper_ = -1;
    QString slavePath_;
};

inline std::int64_t ElapsedMs(std::chrono::steady_clock::time_point since)
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now() - since).count();
}

} // namespace zir::test

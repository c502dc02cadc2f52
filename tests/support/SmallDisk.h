#pragma once
// Full and read-only disks for tests.
//
// SmallDisk: a folder that is a file system of its own with a few kilobytes
// of room (tmpfs), mounted in a mount namespace private to the test process,
// so it disappears with the process whatever happens. Needs the right to
// mount (root, or a container that allows it); Ready() says whether it could
// be made and WhyNot() why not, so a test skips only what truly cannot run.
// Fill() leaves a given number of bytes free; MakeReadOnly() remounts it
// read-only.
//
// FileSizeLimit: the process may make no file larger than a limit while the
// object lives (RLIMIT_FSIZE, SIGXFSZ ignored): a write beyond it fails with
// EFBIG as a full disk fails with ENOSPC. Needs no rights.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace zir::test {

class SmallDisk {
public:
    explicit SmallDisk(qint64 bytes = 64 * 1024) {
        if (!PrivateMounts(why_)) return;
        const QByteArray path = QFile::encodeName(holder_.path());
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0777";
        if (::mount("tmpfs", path.constData(), "tmpfs", 0, options.constData()) != 0) {
            why_ = QStringLiteral("cannot mount a small file system: ") + QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        mounted_ = true;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(QFile::encodeName(holder_.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Ready() const { return mounted_; }
    QString WhyNot() const { return why_; }
    // The folder, without a trailing "/".
    QString Path() const { return holder_.path(); }

    // Takes up the room so that at most `leave` bytes stay free.
    void Fill(qint64 leave = 0) {
        const QByteArray name = QFile::encodeName(Path() + QStringLiteral("/.filler"));
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0) return;
        const QByteArray block(4096, 'f');
        while (::write(fd, block.constData(), static_cast<size_t>(block.size())) > 0) {}
        while (::write(fd, block.constData(), 1) > 0) {}
        if (leave > 0) {
            const off_t size = ::lseek(fd, 0, SEEK_END);
            if (::ftruncate(fd, size > leave ? size - leave : 0) != 0) {}
        }
        ::close(fd);
    }
    // Gives the room back.
    void Empty() { QFile::remove(Path() + QStringLiteral("/.filler")); }

    bool MakeReadOnly() {
        return ::mount(nullptr, QFile::encodeName(Path()).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    // Once per process: mounts made from here on stay in this process (and
    // the processes it starts), and go when it ends.
    static bool PrivateMounts(QString& why) {
        static const QString failure = [] {
            if (::unshare(CLONE_NEWNS) != 0)
                return QStringLiteral("no mount namespace of its own: ") + QString::fromLocal8Bit(std::strerror(errno));
            if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
                return QStringLiteral("mounts cannot be made private: ") + QString::fromLocal8Bit(std::strerror(errno));
            return QString();
        }();
        why = failure;
        return failure.isEmpty();
    }

    QTemporaryDir holder_;
    bool mounted_ = false;
    QString why_;
};

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

} // namespace zir::test

#include "core/LineFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>

#include "core/Cp1251.h"
#include "core/Errors.h"
#include "core/SystemIo.h"

namespace zir {

namespace {

int OpenForAppend(const QByteArray& name) {
    for (;;) {
        int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT) return fd;
        // Missing: create it, but never over a file that appeared meanwhile.
        fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
}

} // namespace

TLineFile::~TLineFile() { Release(); }

bool TLineFile::Open(const QString& path) {
    Release();
    path_ = path;
    error_.clear();
    const int fd = OpenForAppend(QFile::encodeName(path));
    if (fd < 0) {
        error_ = SystemErrorText(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        error_ = SystemErrorText(EISDIR);
        return false;
    }
    fd_ = fd;
    return true;
}

void TLineFile::WriteLine(const QString& text) {
    if (fd_ < 0) throw EFileError(QStringLiteral("File \"%1\" is not open").arg(path_));
    QByteArray bytes = UnicodeToCp1251Replacing(text);
    bytes.append("\r\n");

    struct stat info {};
    if (::fstat(fd_, &info) != 0) FailWrite(SystemErrorText(errno), -1);
    const off_t sizeBefore = info.st_size;

    if (const int error = WriteWhole(fd_, bytes)) FailWrite(SystemErrorText(error), sizeBefore);
}

void TLineFile::FailWrite(const QString& reason, off_t sizeBefore) {
    // Take back whatever part of the line reached the file.
    if (sizeBefore >= 0) {
        while (::ftruncate(fd_, sizeBefore) != 0 && errno == EINTR) {}
    }
    Release();
    throw EFileError(QStringLiteral("Cannot write to file \"%1\": %2").arg(path_, reason));
}

void TLineFile::Close() {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR)
        throw EFileError(QStringLiteral("Cannot close file \"%1\": %2").arg(path_, SystemErrorText(errno)));
}

void TLineFile::Release() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace zir

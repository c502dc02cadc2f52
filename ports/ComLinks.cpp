#include "ports/ComLinks.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

#include "core/Errors.h"
#include "core/SystemIo.h"
#include "core/XdgFolders.h"
#include "link/PortNaming.h"

namespace zir {

namespace {

[[noreturn]] void NotALink(const QString& path) {
    throw EFileError(QStringLiteral("%1 is not a link; it is left as it is").arg(path));
}

} // namespace

ComLink ReadComLink(int n) {
    const QByteArray path = QFile::encodeName(ComLinkPath(n));
    ComLink link;
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0) return link;
    link.exists = true;
    link.isLink = S_ISLNK(info.st_mode);
    if (link.isLink) {
        char buffer[4096];
        const ssize_t size = ::readlink(path.constData(), buffer, sizeof buffer);
        if (size > 0) link.target = QFile::decodeName(QByteArray(buffer, static_cast<qsizetype>(size)));
    }
    return link;
}

void AssignComLink(int n, const QString& target) {
    const QString path = ComLinkPath(n);
    const ComLink now = ReadComLink(n);
    if (now.exists && !now.isLink) NotALink(path);
    if (!QDir().mkpath(ZirConfigDir()))
        throw EFileError(QStringLiteral("Cannot create the folder %1").arg(ZirConfigDir()));
    const QString temporary = path + QStringLiteral(".new-") + QString::number(::getpid());
    const QByteArray temporaryName = QFile::encodeName(temporary);
    ::unlink(temporaryName.constData());
    if (::symlink(QFile::encodeName(target).constData(), temporaryName.constData()) != 0) {
        const int err = errno;
        throw EFileError(QStringLiteral("Cannot make the link %1: %2").arg(path, SystemErrorText(err)));
    }
    if (::rename(temporaryName.constData(), QFile::encodeName(path).constData()) != 0) {
        const int err = errno;
        ::unlink(temporaryName.constData());
        throw EFileError(QStringLiteral("Cannot make the link %1: %2").arg(path, SystemErrorText(err)));
    }
}

void RemoveComLink(int n) {
    const QString path = ComLinkPath(n);
    const ComLink now = ReadComLink(n);
    if (!now.exists) return;
    if (!now.isLink) NotALink(path);
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT) {
        const int err = errno;
        throw EFileError(QStringLiteral("Cannot remove the link %1: %2").arg(path, SystemErrorText(err)));
    }
}

} // namespace zir

#include "PortNaming.h"

#include <QFile>

#include "core/XdgFolders.h"

#include <sys/stat.h>

namespace zir {

QString ComLinkPath(int n) { return ZirConfigDir() + QStringLiteral("/com") + QString::number(n); }

int ComLinkNumber(const QString& fileName) {
    if (!fileName.startsWith(QStringLiteral("com"))) return 0;
    const QString digits = fileName.mid(3);
    if (digits.isEmpty() || digits.size() > 3 || digits.front() == QLatin1Char('0')) return 0;
    for (const QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return 0;
    const int n = digits.toInt();
    return n <= kMaxPortNumber ? n : 0;
}

QString PortDevicePath(int n) {
    const QString link = ComLinkPath(n);
    // lstat, not stat: a link to an unplugged adapter still names this port.
    struct stat info {};
    if (::lstat(QFile::encodeName(link).constData(), &info) == 0) return link;
    return QStringLiteral("/dev/ttyS") + QString::number(n - 1);
}

QString DescribeDevicePath(const QString& path) {
    const QString target = QFile::symLinkTarget(path);
    if (target.isEmpty()) return path;
    return path + QStringLiteral(" -> ") + target;
}

} // namespace zir

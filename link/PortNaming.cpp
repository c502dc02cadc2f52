#include "PortNaming.h"

#include <QFile>

#include "core/XdgFolders.h"

#include <sys/stat.h>

namespace zir {

QString PortDevicePath(int n)
{
    const QString link = ZirConfigDir() + QStringLiteral("/com") + QString::number(n);
    // lstat, not stat: a link to an unplugged adapter still names this port.
    struct stat info {};
    if (::lstat(QFile::encodeName(link).constData(), &info) == 0)
        return link;
    return QStringLiteral("/dev/ttyS") + QString::number(n - 1);
}

QString DescribeDevicePath(const QString& path)
{
    const QString target = QFile::symLinkTarget(path);
    if (target.isEmpty())
        return path;
    return path + QStringLiteral(" -> ") + target;
}

} // namespace zir

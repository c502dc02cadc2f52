#include "core/XdgFolders.h"

#include <QDir>
#include <QtGlobal>

namespace zir {

QString ZirFolderIn(const QString& xdgValue, const QString& home, const QString& homeDefault) {
    const QString base =
        !xdgValue.isEmpty() && QDir::isAbsolutePath(xdgValue) ? xdgValue : home + QLatin1Char('/') + homeDefault;
    return QDir::cleanPath(base + QStringLiteral("/zir"));
}

QString ZirConfigDir() {
    return ZirFolderIn(qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath(), QStringLiteral(".config"));
}

QString ZirDataDir() {
    return ZirFolderIn(qEnvironmentVariable("XDG_DATA_HOME"), QDir::homePath(), QStringLiteral(".local/share"));
}

} // namespace zir

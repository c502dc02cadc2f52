#include "device/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace zir {

namespace {
QString WithSlash(const QString& dir) {
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}
} // namespace

QString ComputeAppDir(const QString& exeDir, const QString& xdgDataHome, const QString& home) {
    const QFileInfo exe(exeDir);
    if (!exeDir.isEmpty() && exe.isDir() && exe.isWritable()) {
        return WithSlash(QDir::cleanPath(exe.absoluteFilePath()));
    }
    const QString dataHome = !xdgDataHome.isEmpty() && QDir::isAbsolutePath(xdgDataHome)
                                 ? xdgDataHome
                                 : home + QStringLiteral("/.local/share");
    return WithSlash(QDir::cleanPath(dataHome + QStringLiteral("/zir")));
}

QString ProgramAppDir() {
    return ComputeAppDir(QCoreApplication::applicationDirPath(), qEnvironmentVariable("XDG_DATA_HOME"),
                         QDir::homePath());
}

} // namespace zir

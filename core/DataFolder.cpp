#include "core/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "core/XdgFolders.h"

namespace zir {

namespace {
QString WithSlash(const QString& dir) { return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/'); }

// The folder as the file system names it (links resolved) when it exists.
QString RealPath(const QString& dir) {
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(dir).absoluteFilePath()) : canonical;
}

bool AtOrBelow(const QString& dir, const QString& top) {
    const QString base = RealPath(top);
    return dir == base || dir.startsWith(WithSlash(base));
}

bool IsSystemLocation(const QString& exeDir, const QString& installPrefix) {
    const QString dir = RealPath(exeDir);
    if (!installPrefix.isEmpty() && AtOrBelow(dir, installPrefix + QStringLiteral("/bin"))) return true;
    for (const QString& top : {QStringLiteral("/usr"), QStringLiteral("/usr/local"), QStringLiteral("/opt")})
        if (AtOrBelow(dir, top)) return true;
    return false;
}
} // namespace

QString BuildInstallPrefix() { return QStringLiteral(ZIR_INSTALL_PREFIX); }

QString ComputeAppDir(const QString& exeDir, const QString& xdgDataHome, const QString& home,
                      const QString& installPrefix) {
    const QFileInfo exe(exeDir);
    if (!exeDir.isEmpty() && exe.isDir() && exe.isWritable() && !IsSystemLocation(exeDir, installPrefix)) {
        return WithSlash(QDir::cleanPath(exe.absoluteFilePath()));
    }
    return WithSlash(ZirFolderIn(xdgDataHome, home, QStringLiteral(".local/share")));
}

QString ProgramAppDir() {
    return ComputeAppDir(QCoreApplication::applicationDirPath(), qEnvironmentVariable("XDG_DATA_HOME"),
                         QDir::homePath());
}

} // namespace zir

#include "app/AppEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>

#include "core/XdgFolders.h"

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitZirResources() { Q_INIT_RESOURCE(zir); }

namespace zir {

void InitResources() {
    static const bool done = (InitZirResources(), true);
    (void)done;
}

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
    return WithSlash(ZirFolderIn(xdgDataHome, home, QStringLiteral(".local/share")));
}

QString ProgramAppDir() {
    return ComputeAppDir(QCoreApplication::applicationDirPath(), qEnvironmentVariable("XDG_DATA_HOME"),
                         QDir::homePath());
}

QFont DesignFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

} // namespace zir

#include "app/settings/IniLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "core/XdgFolders.h"

namespace zir {

QString IniNameFor(const QString& executablePath) {
    QString name = QFileInfo(executablePath).fileName();
    if (name.isEmpty()) name = QStringLiteral("zir");
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0) name.truncate(dot);
    return name + QStringLiteral(".INI");
}

QString ResolveIniFilePath(const QString& iniFileName) {
    if (iniFileName.isEmpty()) {
        const QString executable = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
        return ZirConfigDir() + u'/' + IniNameFor(executable);
    }
    if (QDir::isAbsolutePath(iniFileName)) return QDir::cleanPath(iniFileName);
    return QDir::cleanPath(ZirConfigDir() + u'/' + iniFileName);
}

} // namespace zir

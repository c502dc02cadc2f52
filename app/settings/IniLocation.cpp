#include "app/settings/IniLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace zir {

QString ConfigFolder() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/zir"));
}

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
        return ConfigFolder() + u'/' + IniNameFor(executable);
    }
    if (QDir::isAbsolutePath(iniFileName)) return QDir::cleanPath(iniFileName);
    return QDir::cleanPath(ConfigFolder() + u'/' + iniFileName);
}

} // namespace zir

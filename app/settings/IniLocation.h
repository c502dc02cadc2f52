#pragma once
// Where the settings file lives: $XDG_CONFIG_HOME/zir/ (by default
// ~/.config/zir/), named after the executable with the extension ".INI".

#include <QString>

namespace zir {

// The executable's file name with its extension replaced by ".INI"
// ("zir" gives "zir.INI", "zir.bin" gives "zir.INI").
QString IniNameFor(const QString& executablePath);

// The settings file for a configured name: the default name in the
// configuration folder when the name is empty, a relative name inside that
// folder, an absolute one as it is.
QString ResolveIniFilePath(const QString& iniFileName);

} // namespace zir

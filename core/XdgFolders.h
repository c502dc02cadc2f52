#pragma once
// The program's folders under the XDG base directories.

#include <QString>

namespace zir {

// "<base>/zir", cleaned, without a trailing "/": base is xdgValue when it is
// an absolute path, otherwise home + "/" + homeDefault (an unset, empty or
// relative variable means the default).
QString ZirFolderIn(const QString& xdgValue, const QString& home, const QString& homeDefault);

// $XDG_CONFIG_HOME/zir, by default ~/.config/zir: the settings file and the
// COM-port links.
QString ZirConfigDir();

// $XDG_DATA_HOME/zir, by default ~/.local/share/zir: the program's files
// when its own folder is not writable.
QString ZirDataDir();

} // namespace zir

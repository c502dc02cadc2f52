#pragma once
// The folder of the program's files ("ZIR.txt", "Archive.txt", workbooks),
// shared by the window and the command-line tool.

#include <QString>

namespace zir {

// CMAKE_INSTALL_PREFIX of the build.
QString BuildInstallPrefix();

// The folder of the program's files, ending in "/": the executable's folder
// when it is writable and not an installed system location, else
// <xdgDataHome or ~/.local/share>/zir/. System locations are the folders at
// or below <installPrefix>/bin, /usr (with /usr/local) and /opt: a program
// installed there never writes into them, also when run as root.
// `exeDir` is the executable's folder; an empty xdgDataHome or one that is
// not an absolute path means the default. installPrefix defaults to the
// prefix the program was built for.
QString ComputeAppDir(const QString& exeDir, const QString& xdgDataHome, const QString& home,
                      const QString& installPrefix = BuildInstallPrefix());
// The same for the running program, from its environment.
QString ProgramAppDir();

} // namespace zir

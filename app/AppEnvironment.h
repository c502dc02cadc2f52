#pragma once
// Where the program keeps its files and how its windows look.

#include <QFont>
#include <QString>

namespace zir {

// The folder of the program's files, ending in "/": the executable's folder
// when it is writable, else <xdgDataHome or ~/.local/share>/zir/.
// `exeDir` is the executable's folder; an empty xdgDataHome or one that is
// not an absolute path means the default.
QString ComputeAppDir(const QString& exeDir, const QString& xdgDataHome, const QString& home);
// The same for the running program, from its environment.
QString ProgramAppDir();

// Makes the bundled logo and help page available (the library holding them
// is linked statically). Safe to call more than once.
void InitResources();

// The system sans-serif font at 8 points, the font of every window.
QFont DesignFont();

} // namespace zir

#pragma once
// The folder of the program's files ("ZIR.txt", "Archive.txt", workbooks),
// shared by the window and the command-line tool.

#include <QString>

namespace zir {

// The folder, ending in "/": the executable's folder when it is writable,
// else <xdgDataHome or ~/.local/share>/zir/. `exeDir` is the executable's
// folder; an empty xdgDataHome or one that is not an absolute path means the
// default.
QString ComputeAppDir(const QString& exeDir, const QString& xdgDataHome, const QString& home);
// The same for the running program, from its environment (needs the
// application object).
QString ProgramAppDir();

} // namespace zir

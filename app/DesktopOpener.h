#pragma once
// Opens a file with the desktop's default application for its type.

#include <QString>

namespace zir {

// Starts `opener` (xdg-open, which the package recommends) on `path`, detached
// from the program. Whatever the opener prints ("No applications found for
// mimetype ..." where no spreadsheet program is installed) goes to
// /dev/null, not onto the terminal that started zir. False when the opener
// cannot be started; the file then simply stays where it is.
bool OpenWithDesktop(const QString& path, const QString& opener = QStringLiteral("xdg-open"));

} // namespace zir

#pragma once
// The window's resources and how its windows look. (The folder of the
// program's files is in core/DataFolder.h.)

#include <QFont>
#include <QString>

namespace zir {

// Makes the bundled logo and help page available (the library holding them
// is linked statically). Safe to call more than once.
void InitResources();

// The system sans-serif font at 8 points, the font of every window.
QFont DesignFont();

} // namespace zir

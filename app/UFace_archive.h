#pragma once
// Seams of the archive handlers for tests.

#include <QString>
#include <functional>

namespace zir {

class TFace;

// How a saved workbook is opened for the operator; the desktop's default
// application for .xlsx by default. An empty function restores that.
void SetWorkbookOpener(TFace& face, std::function<void(const QString& path)> opener);

} // namespace zir

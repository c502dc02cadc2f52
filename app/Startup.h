#pragma once
// The start of the program once its main window exists: the window is shown
// (which restores the stored settings), the about, progress and archive
// windows are created hidden, and what a killed run left half built in the
// data folder and the temporary folder is removed; on X11 libX11's records
// of answered requests are let go every minute. zir's main() and the kill
// test's driver both start this way.

namespace zir {

class TFace;

void StartMainWindow(TFace& face);

} // namespace zir

#pragma once
// The settings store of the main window, FormStorage1: active, the default
// settings file, the section named after the window's class, the position
// restored (not the window state), version 0, and the 22 stored fields.

#include "app/settings/FormStorage.h"

namespace zir {

// The main window's stored fields, in the order their keys are written.
const QStringList& FaceStoredProps();

// Creates FormStorage1 for the main window (its components must exist) and
// attaches it. Errors of a save go to `report` (the window's error box).
TFormStorage* CreateFaceStorage(QWidget* face, std::function<void(const QString&)> report);

} // namespace zir

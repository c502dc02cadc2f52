#include "app/Startup.h"

#include <QDir>

#include "app/UFace.h"
#include "archive/ArchiveWorkbook.h"

namespace zir {

void StartMainWindow(TFace& face) {
    face.show();
    face.CreateAuxiliaryWindows();
    TArchiveWorkbook::RemoveLeftovers(face.AppDir());
    TArchiveWorkbook::RemoveLeftoverRows(QDir::tempPath());
}

} // namespace zir

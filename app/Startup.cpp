#include "app/Startup.h"

#include "app/UFace.h"
#include "archive/ArchiveWorkbook.h"

namespace zir {

void StartMainWindow(TFace& face) {
    face.show();
    face.CreateAuxiliaryWindows();
    TArchiveWorkbook::RemoveLeftovers(face.AppDir());
}

} // namespace zir

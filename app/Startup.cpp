#include "app/Startup.h"

#include <QDir>

#include "app/UFace.h"
#include "app/XlibRequests.h"
#include "archive/ArchiveWorkbook.h"

namespace zir {

namespace {
// Auto refresh at 3 s leaves about 3 kB of libX11's records a minute.
constexpr int kSettleXlibRequestsMs = 60000;
} // namespace

void StartMainWindow(TFace& face) {
    face.show();
    face.CreateAuxiliaryWindows();
    TArchiveWorkbook::RemoveLeftovers(face.AppDir());
    TArchiveWorkbook::RemoveLeftoverRows(QDir::tempPath());
    SettleXlibRequestsEvery(face, kSettleXlibRequestsMs);
}

} // namespace zir

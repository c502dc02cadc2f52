// The history window: opened from the Service menu, the context menu or
// Ctrl+H for the address in LE_DeviceAdr, on the history every reading adds to.
#include <QLineEdit>

#include "app/UFace.h"
#include "app/windows/UHistory.h"

namespace zir {

THistory* TFace::HistoryWindow() {
    if (!FHistory) {
        FHistory = new THistory(History(), Dialogs(), this);
        FHistory->setObjectName(QStringLiteral("FHistory"));
        FHistory->SetStartFolder(AppDir());
    }
    return FHistory;
}

void TFace::actHistoryExecute() { HistoryWindow()->ShowFor(LE_DeviceAdr->text()); }

} // namespace zir

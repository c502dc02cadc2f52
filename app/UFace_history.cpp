// The history window: opened from the Service menu, the context menu or
// Ctrl+H for the address in LE_DeviceAdr, on the history every reading adds to.
#include <QLineEdit>

#include "app/UFace.h"
#include "app/windows/UHistory.h"

namespace zir {

THistory* TFace::HistoryWindow() {
    if (!FHistory) {
        FHistory = new THistory(History(), Clock(), this);
        FHistory->setObjectName(QStringLiteral("FHistory"));
        // Boxes of its own over it, unless a test answers them.
        if (dialogs_ != qtDialogs_.get()) FHistory->SetDialogs(dialogs_);
        FHistory->SetStartFolder(AppDir());
    }
    return FHistory;
}

void TFace::actHistoryExecute() { HistoryWindow()->ShowFor(LE_DeviceAdr->text()); }

} // namespace zir

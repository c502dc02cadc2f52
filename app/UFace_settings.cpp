// Creates the settings store of the main window.
#include "app/Dialogs.h"
#include "app/ErrorBox.h"
#include "app/UFace.h"
#include "app/settings/FaceStorage.h"

namespace zir {

void TFace::CreateFormStorage() {
    FormStorage1 =
        CreateFaceStorage(this, [this](const QString& message) { Dialogs().ShowError(ErrorBoxText(message)); });
    // Saved when the window has allowed its close, before it goes.
    connect(this, &TFace::CloseAccepted, FormStorage1, &TFormPlacement::CloseQuery);
}

} // namespace zir

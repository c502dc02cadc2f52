#pragma once
// Message boxes and questions of the program go through this seam, so tests
// answer them without a modal loop. QtDialogs shows the real boxes.

#include <QString>

#include "core/OperatorDialogs.h"

namespace zir {

// The operations' questions and messages (IOperatorDialogs) and the window's own boxes.
class IDialogs : public IOperatorDialogs {
public:
    // Warning box captioned "Warning" with OK and Cancel (OK default, Escape
    // answers Cancel). True on OK.
    virtual bool ConfirmWarning(const QString& text) = 0;
    // Error box captioned "ZIR" with the error icon and OK; text as shown.
    virtual void ShowError(const QString& text) = 0;
    // Save-file dialog: no filter, no default extension, no question before
    // replacing. "" when the operator cancels.
    virtual QString GetSaveFileName() = 0;
};

} // namespace zir

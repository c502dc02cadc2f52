#pragma once
// Message boxes and questions of the program go through this seam, so tests
// answer them without a modal loop. QtDialogs shows the real boxes.

#include <QString>

namespace zir {

class IDialogs {
public:
    enum class Answer { Yes, No, Cancel };
    virtual ~IDialogs() = default;
    // Warning box captioned "Warning" with OK and Cancel (OK default, Escape
    // answers Cancel). True on OK.
    virtual bool ConfirmWarning(const QString& text) = 0;
    // Warning box with Yes, No and Cancel.
    virtual Answer AskYesNoCancel(const QString& text) = 0;
    // Plain message box captioned "ZIR" with OK.
    virtual void ShowMessage(const QString& text) = 0;
    // Error box captioned "ZIR" with the error icon and OK; text as shown.
    virtual void ShowError(const QString& text) = 0;
    // Save-file dialog: no filter, no default extension, no question before
    // replacing. "" when the operator cancels.
    virtual QString GetSaveFileName() = 0;
};

} // namespace zir

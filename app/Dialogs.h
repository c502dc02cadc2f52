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
    // The file dialogs of the windows beyond the original's: a file to read,
    // starting in `folder`, and a file to write, `suggested` (a full path)
    // preselected, with a question before an existing file is replaced; both
    // with a filter ("CSV files (*.csv)"). "" when the operator cancels (and
    // where a script has no answer).
    virtual QString ChooseOpenFile(const QString& caption, const QString& folder, const QString& filter) {
        (void)caption, (void)folder, (void)filter;
        return {};
    }
    virtual QString ChooseSaveFile(const QString& caption, const QString& suggested, const QString& filter) {
        (void)caption, (void)suggested, (void)filter;
        return {};
    }
};

} // namespace zir

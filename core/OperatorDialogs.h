#pragma once
// What an operation may ask the operator, or tell them, in a box of its own.
// The window shows real message boxes; tests answer from a script.

#include <QString>

namespace zir {

enum class Answer { Yes, No, Cancel };

class IOperatorDialogs {
public:
    virtual ~IOperatorDialogs() = default;
    // Warning box with Yes, No and Cancel (Yes default, Escape answers Cancel).
    virtual Answer AskYesNoCancel(const QString& text) = 0;
    // Plain message box captioned "ZIR" with OK.
    virtual void ShowMessage(const QString& text) = 0;
};

} // namespace zir

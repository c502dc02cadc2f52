#pragma once
// The real message boxes and file dialogs.

#include <QPointer>
#include <QWidget>

#include "app/Dialogs.h"

namespace zir {

// Gives the keyboard back to `owner`'s window once a modal box over it has
// closed. A window manager does this itself. On an X display without one the
// server hands the input focus to the root window when the box goes, no
// window of the program is active any more, and neither the window's
// shortcuts nor typed characters reach it until the operator clicks into it.
void ReturnFocusTo(QWidget* owner);

class QtDialogs final : public IDialogs {
public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}
    bool ConfirmWarning(const QString& text) override;
    Answer AskYesNoCancel(const QString& text) override;
    void ShowMessage(const QString& text) override;
    void ShowError(const QString& text) override;
    QString GetSaveFileName() override;
    QString ChooseOpenFile(const QString& caption, const QString& folder, const QString& filter) override;
    QString ChooseSaveFile(const QString& caption, const QString& suggested, const QString& filter) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace zir

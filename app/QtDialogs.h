#pragma once
// The real message boxes and the save-file dialog.

#include <QPointer>
#include <QWidget>

#include "app/Dialogs.h"

namespace zir {

class QtDialogs final : public IDialogs {
public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}
    bool ConfirmWarning(const QString& text) override;
    Answer AskYesNoCancel(const QString& text) override;
    void ShowMessage(const QString& text) override;
    void ShowNotice(const QString& text) override;
    void ShowError(const QString& text) override;
    QString GetSaveFileName() override;

private:
    QPointer<QWidget> parent_;
};

} // namespace zir

#include "app/QtDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace zir {

namespace {
const QString kAppTitle = QStringLiteral("ZIR");

// Runs a modal box and then returns the keyboard to its owner.
int RunModal(QDialog& box, QWidget* owner) {
    const int result = box.exec();
    ReturnFocusTo(owner);
    return result;
}
} // namespace

void ReturnFocusTo(QWidget* owner) {
    if (owner && owner->isVisible()) owner->window()->activateWindow();
}

bool QtDialogs::ConfirmWarning(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::Ok | QMessageBox::Cancel,
                    parent_);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return RunModal(box, parent_) == QMessageBox::Ok;
}

Answer QtDialogs::AskYesNoCancel(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (RunModal(box, parent_)) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

void QtDialogs::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, parent_);
    RunModal(box, parent_);
}

void QtDialogs::ShowNotice(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, kAppTitle, text, QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

void QtDialogs::ShowError(const QString& text) {
    QMessageBox box(QMessageBox::Critical, kAppTitle, text, QMessageBox::Ok, parent_);
    RunModal(box, parent_);
}

QString QtDialogs::GetSaveFileName() {
    const QString name = QFileDialog::getSaveFileName(parent_, QString(), QString(), QString(), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    ReturnFocusTo(parent_);
    return name;
}

QString QtDialogs::ChooseOpenFile(const QString& caption, const QString& folder, const QString& filter) {
    const QString name = QFileDialog::getOpenFileName(parent_, caption, folder, filter);
    ReturnFocusTo(parent_);
    return name;
}

QString QtDialogs::ChooseSaveFile(const QString& caption, const QString& suggested, const QString& filter) {
    const QString name = QFileDialog::getSaveFileName(parent_, caption, suggested, filter);
    ReturnFocusTo(parent_);
    return name;
}

} // namespace zir

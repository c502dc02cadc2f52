#include "app/QtDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace zir {

namespace {
const QString kAppTitle = QStringLiteral("ZIR");
}

bool QtDialogs::ConfirmWarning(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text,
                    QMessageBox::Ok | QMessageBox::Cancel, parent_);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

Answer QtDialogs::AskYesNoCancel(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

void QtDialogs::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, parent_);
    box.exec();
}

void QtDialogs::ShowNotice(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, kAppTitle, text, QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

void QtDialogs::ShowError(const QString& text) {
    QMessageBox box(QMessageBox::Critical, kAppTitle, text, QMessageBox::Ok, parent_);
    box.exec();
}

QString QtDialogs::GetSaveFileName() {
    return QFileDialog::getSaveFileName(parent_, QString(), QString(), QString(), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

} // namespace zir

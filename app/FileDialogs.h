#pragma once
// File choices of the windows beyond the original's go through this seam, so
// tests answer them without a modal dialog. QtFileDialogs shows the real ones.

#include <QPointer>
#include <QString>
#include <QWidget>

namespace zir {

class IFileDialogs {
public:
    virtual ~IFileDialogs() = default;
    // An existing file to read, starting in `folder`; "" when the operator cancels.
    virtual QString OpenFileName(const QString& caption, const QString& folder, const QString& filter) = 0;
    // A file to write, `suggested` (a full path) preselected; the dialog asks
    // before an existing file is replaced. "" when the operator cancels.
    virtual QString SaveFileName(const QString& caption, const QString& suggested, const QString& filter) = 0;
};

class QtFileDialogs final : public IFileDialogs {
public:
    explicit QtFileDialogs(QWidget* parent) : parent_(parent) {}
    QString OpenFileName(const QString& caption, const QString& folder, const QString& filter) override;
    QString SaveFileName(const QString& caption, const QString& suggested, const QString& filter) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace zir

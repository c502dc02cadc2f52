#include "app/FileDialogs.h"

#include <QFileDialog>

namespace zir {

QString QtFileDialogs::OpenFileName(const QString& caption, const QString& folder, const QString& filter) {
    return QFileDialog::getOpenFileName(parent_, caption, folder, filter);
}

QString QtFileDialogs::SaveFileName(const QString& caption, const QString& suggested, const QString& filter) {
    return QFileDialog::getSaveFileName(parent_, caption, suggested, filter);
}

} // namespace zir

#include "app/DesktopOpener.h"

#include <QProcess>

namespace zir {

bool OpenWithDesktop(const QString& path, const QString& opener) {
    QProcess process;
    process.setProgram(opener);
    process.setArguments({path});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

} // namespace zir

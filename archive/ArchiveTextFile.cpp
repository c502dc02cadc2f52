#include "archive/ArchiveTextFile.h"

#include "core/Errors.h"

namespace zir {

bool TArchiveTextFile::Open(const QString& appDir) {
    path_ = appDir + kArchiveFileName;
    writeFailed_ = false;
    return file_.Open(path_);
}

void TArchiveTextFile::WriteLine(const QString& line) {
    if (!file_.IsOpen()) {
        if (writeFailed_) return; // the failure has been reported already
        throw EFileError(QStringLiteral("Archive file is not open: ") + path_);
    }
    try {
        file_.WriteLine(line);
    } catch (const EFileError&) {
        writeFailed_ = true;
        throw;
    }
}

bool TArchiveTextFile::Close() {
    if (file_.IsOpen()) file_.Close();
    return !writeFailed_;
}

void TArchiveTextFile::CloseQuietly() noexcept {
    try {
        if (file_.IsOpen()) file_.Close();
    } catch (...) {
        // Another error is already on its way to the operator.
    }
}

} // namespace zir

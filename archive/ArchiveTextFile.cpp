#include "archive/ArchiveTextFile.h"

#include "core/Cp1251.h"
#include "core/Errors.h"

namespace zir {

namespace {
// A character the file's code page cannot hold (a date written with a
// locale's own script, say) becomes "?", as 8-bit text conversion does, so
// such a character never costs the operator the reading.
QString FileSafeText(const QString& text) {
    if (TryUnicodeToCp1251(text)) return text;
    QString safe;
    safe.reserve(text.size());
    for (QChar c : text) safe += TryUnicodeToCp1251(QString(c)) ? c : QChar(u'?');
    return safe;
}
} // namespace

bool TArchiveTextFile::Open(const QString& appDir) {
    path_ = appDir + kArchiveFileName;
    writeFailed_ = false;
    return file_.Open(path_);
}

void TArchiveTextFile::WriteLine(const QString& line) {
    if (!file_.IsOpen()) {
        if (writeFailed_) return;  // the failure has been reported already
        throw EFileError(QStringLiteral("Archive file is not open: ") + path_);
    }
    try {
        file_.WriteLine(FileSafeText(line));
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

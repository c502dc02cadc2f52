#pragma once
// "Archive.txt" in the program's data folder: a reading appends its title line
// and its record lines. An existing file is only ever added to.

#include <QString>

#include "core/LineFile.h"

namespace zir {

inline const QString kArchiveFileName = QStringLiteral("Archive.txt");

class TArchiveTextFile {
public:
    // Opens appDir + "Archive.txt" for appending, creating it when missing.
    // False when it can neither be opened nor created.
    bool Open(const QString& appDir);
    // A character Windows-1251 cannot hold is written as "?". Throws
    // EFileError; after a failed write the file is closed and stays closed
    // for the rest of the reading.
    void WriteLine(const QString& line);
    // Flushes and closes. True when every line of the reading reached the
    // file; throws EFileError when the system reports an error on closing.
    bool Close();
    // Closes without reporting anything (on the way out of an error).
    void CloseQuietly() noexcept;
    QString Path() const { return path_; }

private:
    TLineFile file_;
    QString path_;
    bool writeFailed_ = false;
};

} // namespace zir

#pragma once
// An append-only text file of lines in Windows-1251 with CR LF line ends
// ("ZIR.txt", "Archive.txt"). An existing file is never emptied: lines are
// only ever added at its end, each one whole or not at all.

#include <sys/types.h>
#include <QString>

namespace zir {

class TLineFile {
public:
    TLineFile() = default;
    ~TLineFile();
    TLineFile(const TLineFile&) = delete;
    TLineFile& operator=(const TLineFile&) = delete;

    // Opens the file for appending; creates it only when no file of that name
    // exists. False when it cannot be opened or created; ErrorText() says why.
    bool Open(const QString& path);

    // Appends text + CR LF and hands it to the system at once; a character
    // Windows-1251 cannot hold is written as "?". Throws EFileError when the
    // write fails: the file is then cut back to its size before the line and
    // closed.
    void WriteLine(const QString& text);

    // Throws EFileError when the system reports an error on closing.
    void Close();

    bool IsOpen() const { return fd_ >= 0; }
    QString Path() const { return path_; }
    QString ErrorText() const { return error_; }

private:
    void Release();
    [[noreturn]] void FailWrite(const QString& reason, off_t sizeBefore);

    int fd_ = -1;
    QString path_;
    QString error_;
};

} // namespace zir

#pragma once
// One .xlsx workbook per bank reading. Rows are written in ascending order and
// streamed to disk as they are finished, so a whole day stays small in memory.
// The file gets a name of its own that never replaces an existing file.

#include <QDate>
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace zir {

class TArchiveWorkbook {
public:
    TArchiveWorkbook() = default;
    ~TArchiveWorkbook();
    TArchiveWorkbook(const TArchiveWorkbook&) = delete;
    TArchiveWorkbook& operator=(const TArchiveWorkbook&) = delete;

    // "ZIR_archive_<bank date>_bank<n>_read_<now>.xlsx", with "_2", "_3", ...
    // before the extension while a file of that name exists.
    static QString FreeFileName(const QString& folder, std::uint8_t bank, const QDate& bankDate,
                                const QDateTime& now);

    // Claims a new file in folder and begins the workbook. False when the
    // file or the workbook cannot be created.
    bool Create(const QString& folder, std::uint8_t bank, const QDate& bankDate,
                const QDateTime& now);

    // Puts text into the cell at row, column (both from 1). Rows must not go
    // back before the row last written except to rewrite that same row.
    // Throws EFileError when the cell cannot be written.
    void PutText(int row, int column, const QString& text, bool titleFont = false);

    // Writes the workbook file; throws EFileError when it cannot (the claimed
    // file is then removed, as it would hold no workbook).
    void Save();

    bool IsOpen() const { return book_ != nullptr; }
    QString Path() const { return path_; }

private:
    void Discard() noexcept;

    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* titleFormat_ = nullptr;
    QString path_;
    bool fileClaimed_ = false;  // path_ holds our empty placeholder, not yet a workbook
    QByteArray tmpDir_;  // kept alive for the library's options
};

} // namespace zir

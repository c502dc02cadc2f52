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

// The spreadsheet number format that shows a date-time value the way the Qt
// date-time format `qtFormat` shows it: day, month, year, hour, minute,
// second and AM/PM fields become the spreadsheet's codes; every other
// character (quoted text included) stays a literal.
QString SpreadsheetDateTimeFormat(const QString& qtFormat);

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
    // A number in the spreadsheet's general format, as a typed number would be.
    void PutNumber(int row, int column, double value);
    // A date-time value shown in the system locale's short date and long
    // time format (the time also at midnight).
    void PutDateTime(int row, int column, const QDateTime& moment);

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
    lxw_format* dateTimeFormat_ = nullptr;
    QByteArray dateTimeCode_;  // kept alive for the library
    QString path_;
    bool fileClaimed_ = false;  // path_ holds our empty placeholder, not yet a workbook
    QByteArray tmpDir_;  // kept alive for the library's options
};

} // namespace zir

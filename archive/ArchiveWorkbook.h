#pragma once
// One .xlsx workbook per bank reading. Rows are written in ascending order and
// streamed to the library's own temporary file (in a folder of the user's in
// the temporary folder) as they are finished, so a whole day stays small in
// memory. The workbook is built under a temporary name beside its final one
// and renamed when whole, so its final name never holds a broken workbook,
// not even after a kill; the final name never replaces an existing file.

#include <QByteArray>
#include <QDate>
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
    static QString FreeFileName(const QString& folder, std::uint8_t bank, const QDate& bankDate, const QDateTime& now);

    // The temporary name of a workbook being built: "." + final name + ".part".
    static QString TemporaryNameOf(const QString& finalPath);
    // Removes the temporary files that workbooks left in folder when their
    // program was killed; a workbook still being built (by another copy of
    // the program) is left alone. Returns how many were removed.
    static int RemoveLeftovers(const QString& folder);

    // The folder in tempFolder that the library keeps a workbook's rows in:
    // "zir-<user id>", this user's alone (made when missing), so that what a
    // killed program left there is told apart from other programs' files;
    // tempFolder itself when that folder cannot be made or is not this
    // user's alone.
    static QString RowsFolder(const QString& tempFolder);
    // The library removes the name of each row file right after making it;
    // a program killed in between leaves an empty file. Removes those in
    // RowsFolder(tempFolder) older than a few seconds (a younger one may be
    // another copy's, still in that moment). Returns how many were removed.
    static int RemoveLeftoverRows(const QString& tempFolder);

    // Claims a temporary file in folder and begins the workbook; the library
    // keeps its rows in RowsFolder(tempFolder). False when the file or the
    // workbook cannot be created; ErrorText() says why.
    bool Create(const QString& folder, std::uint8_t bank, const QDate& bankDate, const QDateTime& now,
                const QString& tempFolder);

    // Puts text into the cell at row, column (both from 1). Rows must not go
    // back before the row last written except to rewrite that same row.
    // Throws EFileError when the cell cannot be written.
    void PutText(int row, int column, const QString& text, bool titleFont = false);
    // A number in the spreadsheet's general format, as a typed number would be.
    void PutNumber(int row, int column, double value);
    // A date-time value shown in the system locale's short date and long
    // time format (the time also at midnight).
    void PutDateTime(int row, int column, const QDateTime& moment);

    // Hands the rows written so far to the temporary folder and looks at the
    // outcome: the library itself does not check those writes until it is
    // saved, and then not always. Throws EFileError naming the workbook and
    // the cause; the workbook is then given up.
    void Flush();

    // Writes the workbook under its temporary name and renames it to its
    // final name (another free one when that has been taken meanwhile).
    // Throws EFileError naming the workbook and the cause; the temporary file
    // is then removed and nothing has the final name.
    void Save();

    bool IsOpen() const { return book_ != nullptr; }
    // The final name; after Save() the file that holds the workbook.
    QString Path() const { return path_; }
    QString ErrorText() const { return error_; }

private:
    void Discard() noexcept;
    [[noreturn]] void Fail(const QString& what, int error);

    lxw_workbook* book_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* titleFormat_ = nullptr;
    lxw_format* dateTimeFormat_ = nullptr;
    QByteArray dateTimeCode_; // kept alive for the library
    QString folder_;
    QString path_;      // final name
    QString temporary_; // the file being built, "" once renamed or removed
    int lockFd_ = -1;   // holds the temporary file's lock while it is built
    QByteArray tmpDir_; // kept alive for the library's options
    QString error_;
    std::uint8_t bank_ = 0;
    QDate bankDate_;
    QDateTime now_;
};

} // namespace zir

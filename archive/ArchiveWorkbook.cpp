#include "archive/ArchiveWorkbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "core/DateText.h"
#include "core/Errors.h"
#include "core/SystemIo.h"

namespace zir {

namespace {
constexpr double kTitleFontSize = 14;
const QString kTemporaryPrefix = QStringLiteral(".");
const QString kTemporarySuffix = QStringLiteral(".part");
const QString kLeftoverPattern = QStringLiteral(".ZIR_archive_*.xlsx.part");
// The names the library gives its row files.
const QString kRowFilePattern = QStringLiteral("tmp.*");
// A row file keeps its name for a moment only.
constexpr time_t kRowFileLifeS = 10;

// A folder of this user's that nobody else may write into.
bool OwnFolder(const QByteArray& path) {
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & 022) == 0;
}

QString RowsFolderName(const QString& tempFolder) { return tempFolder + QStringLiteral("/zir-%1").arg(::geteuid()); }

QString NameWithCounter(const QString& base, int counter) {
    return counter < 2 ? base + QStringLiteral(".xlsx") : base + QStringLiteral("_%1.xlsx").arg(counter);
}

// Renames without ever replacing a file of the new name: EEXIST when one is
// there. Where the file system cannot refuse a replacement itself, a hard
// link does the same; where it has no links, the name is looked at first.
int RenameNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP) return errno;
    if (::access(to.constData(), F_OK) == 0) return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}
[[noreturn]] void FailCell(int row, int column, const QString& path, lxw_error result) {
    throw EFileError(QStringLiteral("Can't write cell (%1, %2) of the workbook %3: %4")
                         .arg(row)
                         .arg(column)
                         .arg(path, QString::fromUtf8(lxw_strerror(result))));
}
} // namespace

QString SpreadsheetDateTimeFormat(const QString& qtFormat) {
    QString code;
    // A literal character: escaped, so that the spreadsheet never reads it
    // as a code or as its own locale's separator.
    const auto literal = [&code](QChar c) {
        if (c != u' ') code += u'\\';
        code += c;
    };
    const qsizetype size = qtFormat.size();
    for (qsizetype i = 0; i < size;) {
        const QChar c = qtFormat[i];
        if (c == u'\'') {
            // Quoted text up to the next single quote; two of them are one quote.
            qsizetype j = i + 1;
            if (j < size && qtFormat[j] == u'\'') {
                literal(c);
                i = j + 1;
                continue;
            }
            for (; j < size; ++j) {
                if (qtFormat[j] != u'\'') {
                    literal(qtFormat[j]);
                } else if (j + 1 < size && qtFormat[j + 1] == u'\'') {
                    literal(qtFormat[j]);
                    ++j;
                } else {
                    break;
                }
            }
            i = j + 1;
            continue;
        }
        if (c == u'A' || c == u'a') {
            // "AP", "A": upper case; "ap", "a": lower case; "aP", "Ap": the locale's.
            const bool pair = i + 1 < size && (qtFormat[i + 1] == u'P' || qtFormat[i + 1] == u'p');
            const bool lower = c == u'a' && (!pair || qtFormat[i + 1] == u'p');
            code += lower ? QStringLiteral("am/pm") : QStringLiteral("AM/PM");
            i += pair ? 2 : 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < size && qtFormat[i + run] == c) ++run;
        const auto field = [&code](QChar letter, qsizetype count) { code += QString(count, letter); };
        switch (c.unicode()) {
        case u'd': field(u'd', std::min<qsizetype>(run, 4)); break;
        case u'M': field(u'm', std::min<qsizetype>(run, 4)); break;
        case u'y': field(u'y', run >= 3 ? 4 : 2); break;
        case u'h':
        case u'H': field(u'h', std::min<qsizetype>(run, 2)); break;
        case u'm': field(u'm', std::min<qsizetype>(run, 2)); break;
        case u's': field(u's', std::min<qsizetype>(run, 2)); break;
        case u'z': field(u'0', run >= 3 ? 3 : 1); break;
        default:
            for (qsizetype k = 0; k < run; ++k) literal(c);
            break;
        }
        i += run;
    }
    return code;
}

TArchiveWorkbook::~TArchiveWorkbook() { Discard(); }

QString TArchiveWorkbook::FreeFileName(const QString& folder, std::uint8_t bank, const QDate& bankDate,
                                       const QDateTime& now) {
    const QString base = QStringLiteral("ZIR_archive_%1_bank%2_read_%3")
                             .arg(bankDate.toString(QStringLiteral("yyyy-MM-dd")))
                             .arg(bank)
                             .arg(now.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")));
    // A name is taken by a file, and by a workbook still being built under it.
    for (int counter = 1;; ++counter) {
        const QString path = folder + NameWithCounter(base, counter);
        if (!QFileInfo::exists(path) && !QFileInfo::exists(TemporaryNameOf(path))) return path;
    }
}

QString TArchiveWorkbook::TemporaryNameOf(const QString& finalPath) {
    const QFileInfo info(finalPath);
    return info.path() + u'/' + kTemporaryPrefix + info.fileName() + kTemporarySuffix;
}

int TArchiveWorkbook::RemoveLeftovers(const QString& folder) {
    const QDir dir(folder);
    int removed = 0;
    const QStringList names = dir.entryList({kLeftoverPattern}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) continue;
        // A workbook being built holds its lock; a killed program's does not.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.constData()) == 0) ++removed;
        ::close(fd);
    }
    return removed;
}

QString TArchiveWorkbook::RowsFolder(const QString& tempFolder) {
    const QString folder = RowsFolderName(tempFolder);
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) return tempFolder;
    return OwnFolder(name) ? folder : tempFolder;
}

int TArchiveWorkbook::RemoveLeftoverRows(const QString& tempFolder) {
    const QString folder = RowsFolderName(tempFolder);
    if (!OwnFolder(QFile::encodeName(folder))) return 0;
    const QDir dir(folder);
    const time_t before = ::time(nullptr) - kRowFileLifeS;
    int removed = 0;
    for (const QString& name : dir.entryList({kRowFilePattern}, QDir::Files | QDir::Hidden | QDir::System)) {
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        struct stat info {};
        if (::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_mtime < before &&
            ::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}

bool TArchiveWorkbook::Create(const QString& folder, std::uint8_t bank, const QDate& bankDate, const QDateTime& now,
                              const QString& tempFolder) {
    Discard();
    error_.clear();
    folder_ = folder;
    bank_ = bank;
    bankDate_ = bankDate;
    now_ = now;
    // Another reading (or program) may take the free name between the look
    // and the claim; the claim never opens an existing file.
    for (int attempt = 0; attempt < 100 && lockFd_ < 0; ++attempt) {
        const QString path = FreeFileName(folder, bank, bankDate, now);
        const QString temporary = TemporaryNameOf(path);
        const int fd = ::open(QFile::encodeName(temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            error_ = QStringLiteral("Can't create the workbook %1: %2").arg(path, SystemErrorText(errno));
            return false;
        }
        ::flock(fd, LOCK_EX | LOCK_NB); // a fresh file: nobody else holds it
        lockFd_ = fd;
        path_ = path;
        temporary_ = temporary;
    }
    if (lockFd_ < 0) {
        error_ = QStringLiteral("Can't create a workbook in %1: every free name was taken").arg(folder);
        return false;
    }

    const QString rowsFolder = RowsFolder(tempFolder);
    tmpDir_ = QFile::encodeName(rowsFolder);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = tmpDir_.data();
    book_ = workbook_new_opt(QFile::encodeName(temporary_).constData(), &options);
    if (book_) sheet_ = workbook_add_worksheet(book_, nullptr);
    if (book_) titleFormat_ = workbook_add_format(book_);
    if (book_) dateTimeFormat_ = workbook_add_format(book_);
    if (!book_ || !sheet_ || !titleFormat_ || !dateTimeFormat_) {
        const int error = errno;
        error_ = QStringLiteral("Can't create the workbook %1 (its rows go to %2): %3")
                     .arg(path_, rowsFolder, SystemErrorText(error ? error : EIO));
        Discard();
        return false;
    }
    format_set_font_size(titleFormat_, kTitleFontSize);
    dateTimeCode_ = SpreadsheetDateTimeFormat(DateTimeFormat(QLocale::system())).toUtf8();
    format_set_num_format(dateTimeFormat_, dateTimeCode_.constData());
    return true;
}

void TArchiveWorkbook::PutText(int row, int column, const QString& text, bool titleFont) {
    if (!book_) throw EFileError(QStringLiteral("The workbook is closed: ") + path_);
    const lxw_error result = worksheet_write_string(sheet_, lxw_row_t(row - 1), lxw_col_t(column - 1),
                                                    text.toUtf8().constData(), titleFont ? titleFormat_ : nullptr);
    if (result != LXW_NO_ERROR) FailCell(row, column, path_, result);
}

void TArchiveWorkbook::PutNumber(int row, int column, double value) {
    if (!book_) throw EFileError(QStringLiteral("The workbook is closed: ") + path_);
    const lxw_error result = worksheet_write_number(sheet_, lxw_row_t(row - 1), lxw_col_t(column - 1), value, nullptr);
    if (result != LXW_NO_ERROR) FailCell(row, column, path_, result);
}

void TArchiveWorkbook::PutDateTime(int row, int column, const QDateTime& moment) {
    if (!book_) throw EFileError(QStringLiteral("The workbook is closed: ") + path_);
    const QDate date = moment.date();
    const QTime time = moment.time();
    lxw_datetime value{date.year(), date.month(),  date.day(),
                       time.hour(), time.minute(), time.second() + time.msec() / 1000.0};
    const lxw_error result =
        worksheet_write_datetime(sheet_, lxw_row_t(row - 1), lxw_col_t(column - 1), &value, dateTimeFormat_);
    if (result != LXW_NO_ERROR) FailCell(row, column, path_, result);
}

void TArchiveWorkbook::Flush() {
    if (!book_) return;
    // In constant-memory mode the worksheet's stream is the library's
    // temporary file of finished rows.
    FILE* rows = sheet_->file;
    if (!rows) return;
    errno = 0;
    if (std::fflush(rows) == 0 && !std::ferror(rows)) return;
    const int error = errno ? errno : EIO;
    Fail(QStringLiteral("Can't write the workbook %1 (its rows go to %2)").arg(path_, QFile::decodeName(tmpDir_)),
         error);
}

void TArchiveWorkbook::Save() {
    if (!book_) return;
    lxw_workbook* book = book_;
    book_ = nullptr;
    sheet_ = nullptr;
    titleFormat_ = nullptr;
    dateTimeFormat_ = nullptr;
    errno = 0;
    const lxw_error result = workbook_close(book); // writes the file and frees the workbook
    if (result != LXW_NO_ERROR) {
        const int error = errno;
        QString what =
            QStringLiteral("Can't save the workbook %1: %2").arg(path_, QString::fromUtf8(lxw_strerror(result)));
        if (error != 0) what += QStringLiteral(" (") + SystemErrorText(error) + u')';
        error_ = what;
        Discard();
        throw EFileError(what);
    }
    if (::fsync(lockFd_) != 0) Fail(QStringLiteral("Can't save the workbook %1").arg(path_), errno);
    const QByteArray from = QFile::encodeName(temporary_);
    for (int attempt = 0;; ++attempt) {
        const int error = RenameNoReplace(from, QFile::encodeName(path_));
        if (error == 0) break;
        if (error != EEXIST || attempt >= 100) Fail(QStringLiteral("Can't save the workbook %1").arg(path_), error);
        // The final name was taken while the workbook was being built.
        path_ = FreeFileName(folder_, bank_, bankDate_, now_);
    }
    temporary_.clear();
    ::close(lockFd_);
    lockFd_ = -1;
}

void TArchiveWorkbook::Fail(const QString& what, int error) {
    error_ = what + QStringLiteral(": ") + SystemErrorText(error);
    Discard();
    throw EFileError(error_);
}

void TArchiveWorkbook::Discard() noexcept {
    if (book_) lxw_workbook_free(book_);
    book_ = nullptr;
    sheet_ = nullptr;
    titleFormat_ = nullptr;
    dateTimeFormat_ = nullptr;
    // Only the file this workbook claimed: a broken workbook never stays.
    if (!temporary_.isEmpty()) ::unlink(QFile::encodeName(temporary_).constData());
    temporary_.clear();
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = -1;
}

} // namespace zir

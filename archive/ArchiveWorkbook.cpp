#include "archive/ArchiveWorkbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>

#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include "core/DateText.h"
#include "core/Errors.h"

namespace zir {

namespace {
constexpr double kTitleFontSize = 14;

// Creates the file only when no file of that name exists, so two readings
// (or another program) never write over each other's workbooks.
bool ClaimFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    return true;
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

QString TArchiveWorkbook::FreeFileName(const QString& folder, std::uint8_t bank,
                                       const QDate& bankDate, const QDateTime& now) {
    const QString base = QStringLiteral("ZIR_archive_%1_bank%2_read_%3")
                             .arg(bankDate.toString(QStringLiteral("yyyy-MM-dd")))
                             .arg(bank)
                             .arg(now.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")));
    QString name = base + QStringLiteral(".xlsx");
    for (int counter = 2; QFileInfo::exists(folder + name); ++counter)
        name = base + QStringLiteral("_%1.xlsx").arg(counter);
    return folder + name;
}

bool TArchiveWorkbook::Create(const QString& folder, std::uint8_t bank, const QDate& bankDate,
                              const QDateTime& now) {
    Discard();
    // Another program may take the free name between the look and the claim.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = FreeFileName(folder, bank, bankDate, now);
        if (ClaimFile(path)) {
            path_ = path;
            fileClaimed_ = true;
            break;
        }
        if (!QFileInfo(folder).isWritable() || !QFileInfo(folder).isDir()) return false;
    }
    if (path_.isEmpty()) return false;

    tmpDir_ = QFile::encodeName(QDir::toNativeSeparators(folder));
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = tmpDir_.data();
    book_ = workbook_new_opt(QFile::encodeName(path_).constData(), &options);
    if (book_) sheet_ = workbook_add_worksheet(book_, nullptr);
    if (book_) titleFormat_ = workbook_add_format(book_);
    if (book_) dateTimeFormat_ = workbook_add_format(book_);
    if (!book_ || !sheet_ || !titleFormat_ || !dateTimeFormat_) {
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
    const lxw_error result =
        worksheet_write_string(sheet_, lxw_row_t(row - 1), lxw_col_t(column - 1),
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
    lxw_datetime value{date.year(), date.month(), date.day(), time.hour(), time.minute(),
                       time.second() + time.msec() / 1000.0};
    const lxw_error result =
        worksheet_write_datetime(sheet_, lxw_row_t(row - 1), lxw_col_t(column - 1), &value, dateTimeFormat_);
    if (result != LXW_NO_ERROR) FailCell(row, column, path_, result);
}

void TArchiveWorkbook::Save() {
    if (!book_) return;
    lxw_workbook* book = book_;
    book_ = nullptr;
    sheet_ = nullptr;
    titleFormat_ = nullptr;
    dateTimeFormat_ = nullptr;
    const lxw_error result = workbook_close(book);  // writes the file and frees the workbook
    if (result != LXW_NO_ERROR) {
        QFile::remove(path_);
        fileClaimed_ = false;
        throw EFileError(QStringLiteral("Can't save the workbook %1: %2")
                             .arg(path_, QString::fromUtf8(lxw_strerror(result))));
    }
    fileClaimed_ = false;
}

void TArchiveWorkbook::Discard() noexcept {
    if (book_) lxw_workbook_free(book_);
    book_ = nullptr;
    sheet_ = nullptr;
    titleFormat_ = nullptr;
    dateTimeFormat_ = nullptr;
    if (fileClaimed_) QFile::remove(path_);  // only the empty file claimed for it
    fileClaimed_ = false;
    path_.clear();
}

} // namespace zir

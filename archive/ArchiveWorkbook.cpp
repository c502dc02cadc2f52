#include "archive/ArchiveWorkbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

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
} // namespace

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
    if (!book_ || !sheet_ || !titleFormat_) {
        Discard();
        return false;
    }
    format_set_font_size(titleFormat_, kTitleFontSize);
    return true;
}

void TArchiveWorkbook::PutText(int row, int column, const QString& text, bool titleFont) {
    if (!book_) throw EFileError(QStringLiteral("The workbook is closed: ") + path_);
    const lxw_error result =
        worksheet_write_string(sheet_, lxw_row_t(row - 1), lxw_col_t(column - 1),
                               text.toUtf8().constData(), titleFont ? titleFormat_ : nullptr);
    if (result != LXW_NO_ERROR) {
        throw EFileError(QStringLiteral("Can't write cell (%1, %2) of the workbook %3: %4")
                             .arg(row)
                             .arg(column)
                             .arg(path_, QString::fromUtf8(lxw_strerror(result))));
    }
}

void TArchiveWorkbook::Save() {
    if (!book_) return;
    lxw_workbook* book = book_;
    book_ = nullptr;
    sheet_ = nullptr;
    titleFormat_ = nullptr;
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
    if (fileClaimed_) QFile::remove(path_);  // only the empty file claimed for it
    fileClaimed_ = false;
    path_.clear();
}

} // namespace zir

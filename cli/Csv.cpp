#include "cli/Csv.h"

#include <cerrno>
#include <cstring>

#include "core/Errors.h"
#include "history/HistoryCsv.h"

namespace zir::cli {

QString CsvRow(const QStringList& fields) {
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& field : fields) quoted << CsvField(field);
    return quoted.join(u',') + QStringLiteral("\r\n");
}

QString IsoMinute(const QDateTime& moment) { return moment.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm")); }

QString IsoDate(const QDate& date) { return date.toString(Qt::ISODate); }

void TDataOutput::Write(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    const std::size_t size = static_cast<std::size_t>(bytes.size());
    if (std::fwrite(bytes.constData(), 1, size, out_) != size || std::fflush(out_) != 0) {
        const int error = errno;
        throw EFileError(
            QStringLiteral("standard output cannot be written: %1").arg(QString::fromLocal8Bit(std::strerror(error))));
    }
}

} // namespace zir::cli

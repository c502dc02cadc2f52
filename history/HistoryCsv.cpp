#include "history/HistoryCsv.h"

#include <QSaveFile>

#include "link/numFormats.h"

namespace zir {

namespace {

// Rows are read a month at a time, so an export of years needs little memory.
constexpr std::int64_t kChunkMinutes = std::int64_t{31} * 1440;
constexpr qsizetype kFlushBytes = 1 << 20;

void SetError(QString* error, const QString& text) {
    if (error) *error = text;
}

bool Flush(QIODevice& out, QByteArray& buffer, QString* error) {
    if (buffer.isEmpty()) return true;
    if (out.write(buffer) != buffer.size()) {
        SetError(error, QStringLiteral("The CSV file could not be written: %1").arg(out.errorString()));
        return false;
    }
    buffer.clear();
    return true;
}

// Writes the rows; the count of rows through `rows`.
bool WriteRows(THistoryStore& store, QIODevice& out, const QString& address, const QDateTime& from,
               const QDateTime& to, qint64& rows, QString* error) {
    QByteArray buffer = kHistoryCsvHeader;
    const QStringList addresses = address.trimmed().isEmpty() ? store.Addresses() : QStringList{address.trimmed()};
    const std::int64_t last = MinuteOf(to);
    for (const QString& a : addresses) {
        const QByteArray addressField = CsvField(a).toUtf8();
        for (std::int64_t start = MinuteOf(from); start < last; start += kChunkMinutes) {
            const std::int64_t end = std::min(last, start + kChunkMinutes);
            const HistorySeries series = store.Records(a, TimeOfMinute(start), TimeOfMinute(end));
            if (!store.ReadError().isEmpty()) {
                SetError(error, store.ReadError());
                Flush(out, buffer, nullptr);
                return false;
            }
            std::vector<QByteArray> units;
            for (const QString& unit : series.units) units.push_back(CsvField(unit).toUtf8());
            for (const HistoryRecord& r : series.records) {
                buffer += r.Time().toString(QStringLiteral("yyyy-MM-ddTHH:mm")).toLatin1();
                buffer += ',';
                buffer += addressField;
                buffer += ',';
                if (r.bank >= 0) buffer += QByteArray::number(r.bank);
                for (const HistoryChannel* c : {&r.a, &r.b}) {
                    buffer += ',';
                    if (!r.gap) buffer += HistoryValueText(*c).toLatin1();
                    buffer += ',';
                    buffer += units[static_cast<std::size_t>(c->unit)];
                    buffer += ',';
                    buffer += QByteArray::number(c->uncertainty);
                }
                buffer += "\r\n";
                ++rows;
                if (buffer.size() >= kFlushBytes && !Flush(out, buffer, error)) return false;
            }
        }
    }
    return Flush(out, buffer, error);
}

} // namespace

QString CsvField(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\r') && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString HistoryValueText(const HistoryChannel& channel) {
    return channel.code ? ValueCodeToText(*channel.code) : FloatToText(channel.value);
}

bool WriteHistoryCsv(THistoryStore& store, QIODevice& out, const QString& address, const QDateTime& from,
                     const QDateTime& to, QString* error) {
    qint64 rows = 0;
    return WriteRows(store, out, address, from, to, rows, error);
}

qint64 ExportHistoryCsv(THistoryStore& store, const QString& path, const QString& address,
                        const QDateTime& from, const QDateTime& to, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        SetError(error, QStringLiteral("Can't write %1: %2").arg(path, file.errorString()));
        return -1;
    }
    qint64 rows = 0;
    QString why;
    if (!WriteRows(store, file, address, from, to, rows, &why)) {
        file.cancelWriting();
        SetError(error, QStringLiteral("Can't write %1: %2").arg(path, why));
        return -1;
    }
    if (!file.commit()) {
        SetError(error, QStringLiteral("Can't write %1: %2").arg(path, file.errorString()));
        return -1;
    }
    return rows;
}

} // namespace zir

#include "history/HistoryCsv.h"

#include <QSaveFile>
#include <limits>
#include <unordered_map>
#include <vector>

#include "core/NumberText.h"
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

// The texts that repeat from row to row, made once.
class RowTexts {
public:
    // "2007-12-24T08:05".
    void AppendTime(QByteArray& out, std::int64_t minute) {
        const std::int64_t day = minute >= 0 ? minute / 1440 : -((-minute + 1439) / 1440);
        if (day != day_) {
            day_ = day;
            date_ = TimeOfMinute(day * 1440).date().toString(Qt::ISODate).toLatin1();
        }
        const int inDay = static_cast<int>(minute - day * 1440);
        const int hour = inDay / 60;
        const int min = inDay % 60;
        out += date_;
        const char clock[] = {'T', static_cast<char>('0' + hour / 10), static_cast<char>('0' + hour % 10),
                              ':', static_cast<char>('0' + min / 10),  static_cast<char>('0' + min % 10)};
        out.append(clock, sizeof clock);
    }
    const QByteArray& Value(const HistoryChannel& c) {
        if (c.code) {
            auto [it, added] = codes_.try_emplace(*c.code);
            if (added) it->second = ValueCodeToText(*c.code).toLatin1();
            return it->second;
        }
        auto [it, added] = values_.try_emplace(c.value);
        if (added) it->second = FloatToText(c.value).toLatin1();
        return it->second;
    }

private:
    std::int64_t day_ = std::numeric_limits<std::int64_t>::min();
    QByteArray date_;
    std::unordered_map<std::uint16_t, QByteArray> codes_;
    std::unordered_map<double, QByteArray> values_;
};

// Writes the rows; the count of rows through `rows`.
bool WriteRows(THistoryStore& store, QIODevice& out, const QString& address, const QDateTime& from, const QDateTime& to,
               qint64& rows, QString* error) {
    QByteArray buffer = kHistoryCsvHeader;
    buffer.reserve(kFlushBytes + 4096);
    const QStringList addresses = address.trimmed().isEmpty() ? store.Addresses() : QStringList{address.trimmed()};
    const std::int64_t last = MinuteOf(to);
    RowTexts texts;
    std::vector<QByteArray> uncertainties;
    for (int u = 0; u <= 255; ++u) uncertainties.push_back(QByteArray::number(u));
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
                texts.AppendTime(buffer, r.minute);
                buffer += ',';
                buffer += addressField;
                buffer += ',';
                if (r.bank >= 0) buffer += QByteArray::number(r.bank);
                for (const HistoryChannel* c : {&r.a, &r.b}) {
                    buffer += ',';
                    if (!r.gap) buffer += texts.Value(*c);
                    buffer += ',';
                    buffer += units[static_cast<std::size_t>(c->unit)];
                    buffer += ',';
                    if (c->uncertainty >= 0 && c->uncertainty <= 255)
                        buffer += uncertainties[static_cast<std::size_t>(c->uncertainty)];
                    else
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
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\r') && !text.contains(u'\n')) return text;
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

qint64 ExportHistoryCsv(THistoryStore& store, const QString& path, const QString& address, const QDateTime& from,
                        const QDateTime& to, QString* error) {
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

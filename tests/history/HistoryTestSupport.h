#pragma once
// Shared by the history tests: a store on a real SQLite file in a temporary
// folder with an injected clock, records made as a reading makes them, and a
// second connection to look at the file as another program would.

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>

#include "history/HistoryStore.h"
#include "link/numFormats.h"
#include "support/RecordingStatus.h"
#include "support/VirtualClock.h"

namespace zir::test {

inline void PrintTo(const StoreCounts& c, std::ostream* os) {
    *os << "{added " << c.added << ", known " << c.known << ", changed " << c.changed << '}';
}

inline QDateTime Minute(int day, int hour, int minute) {
    return QDateTime(QDate(2024, 5, day), QTime(hour, minute), Qt::UTC);
}

// An archive record as the bank reading decodes it (codes known).
inline ArchiveEntry Reading(const QDateTime& time, std::uint16_t codeA, int uncA, std::uint16_t codeB, int uncB,
                            const QString& unitA = QStringLiteral("Bq"), const QString& unitB = QStringLiteral("1/s"),
                            int bank = 3) {
    ArchiveEntry e;
    e.time = time;
    e.bank = bank;
    e.codeA = codeA;
    e.codeB = codeB;
    e.valueA = ValueCodeToText(codeA);
    e.valueB = ValueCodeToText(codeB);
    e.uncertaintyA = uncA;
    e.uncertaintyB = uncB;
    e.unitA = unitA;
    e.unitB = unitB;
    return e;
}

// The same record as a line of Archive.txt gives it (no bank, no codes).
inline ArchiveEntry Imported(const ArchiveEntry& reading) {
    ArchiveEntry e = reading;
    e.bank = -1;
    e.codeA.reset();
    e.codeB.reset();
    return e;
}

class StoreRig {
public:
    explicit StoreRig(const QString& file = QStringLiteral("history.sqlite"))
        : path(dir.path() + QLatin1Char('/') + file) {}
    QTemporaryDir dir;
    QString path;
    VirtualClock clock;
    std::unique_ptr<THistoryStore> store = std::make_unique<THistoryStore>(path, clock);

    // Adds the entries as one reading and commits.
    int Read(const QString& address, const std::vector<ArchiveEntry>& entries,
             const QString& title = QStringLiteral("Report to ZIR 1.2.3 on 17.05.24")) {
        const int reading = store->BeginReading(title);
        for (const ArchiveEntry& e : entries) store->AddRecord(reading, address, e);
        store->Commit();
        return reading;
    }
    HistorySeries All(const QString& address) {
        return store->Records(address, Minute(1, 0, 0), QDateTime(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC));
    }
};

// A connection of its own to the file, as another program would open it.
class Peek {
public:
    explicit Peek(const QString& path) : name_(QStringLiteral("peek-%1").arg(++Counter())) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(path);
        db.open();
    }
    ~Peek() {
        QSqlDatabase::database(name_).close();
        QSqlDatabase::removeDatabase(name_);
    }
    QVariant Scalar(const QString& sql) const {
        QSqlQuery q(QSqlDatabase::database(name_));
        if (!q.exec(sql) || !q.next()) return QVariant();
        return q.value(0);
    }
    bool Exec(const QString& sql) const { return QSqlQuery(QSqlDatabase::database(name_)).exec(sql); }
    qint64 Count(const QString& table) const {
        return Scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table).toLongLong();
    }

private:
    static int& Counter() {
        static int n = 0;
        return n;
    }
    QString name_;
};

} // namespace zir::test

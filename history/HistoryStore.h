#pragma once
// The history: every archive record and current reading ever read, per
// instrument address, in one SQLite file (WAL mode, schema version in
// PRAGMA user_version).
//
// Writing never stops a reading. Records are staged in memory and written in
// one transaction when the oldest staged record is a second old (checked at
// each new record and by a one-second timer while an event loop runs), at
// Commit() and when the store is destroyed; a kill -9 therefore loses at most
// the last second and never leaves half a batch. A file that cannot be opened
// or written keeps the records staged for a later try and yields one message
// (TakeProblem) naming the file and the cause. A damaged file is renamed aside
// ("history.sqlite.damaged-<time>") and a new one started.
//
// Each store object has its own named database connection and must be used
// in the thread that made it.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/Clock.h"
#include "history/HistoryTypes.h"

namespace zir {

inline const QString kHistoryFileName = QStringLiteral("history.sqlite");
inline constexpr int kHistorySchemaVersion = 1;

// The program's data folder (ZirDataDir) + "/history.sqlite".
QString HistoryFilePath();

class THistoryStore : public QObject {
    Q_OBJECT

public:
    // clock: its monotonic milliseconds time the batches and the retries,
    // its local date and time name the sources and a damaged file set aside.
    THistoryStore(QString path, IClock& clock, QObject* parent = nullptr);
    ~THistoryStore() override; // commits what is staged
    THistoryStore(const THistoryStore&) = delete;
    THistoryStore& operator=(const THistoryStore&) = delete;

    QString Path() const { return path_; }

    // Opens the file (creating it, its folder and its tables) unless it is
    // open. False when it cannot be used; the cause then waits in TakeProblem().
    bool Open();
    bool IsOpen() const;

    // --- writing: a reading (staged, committed in batches)

    // A bank reading begins: later records name it as their source.
    // Returns the handle for AddRecord.
    int BeginReading(const QString& title);
    // Stages one archive record of the instrument at `address` (trimmed).
    // An empty record (both values "0", uncertainties 0 or 255) is kept as a gap.
    void AddRecord(int reading, const QString& address, const ArchiveEntry& entry);
    // Stages a minute of a bank reading that did not answer (the entry gives
    // its time, the bank asked and the reading's unit texts): it is kept as
    // a gap where the history holds nothing for it yet; a minute already
    // stored keeps its values.
    void AddUnanswered(int reading, const QString& address, const ArchiveEntry& minute);
    // Stages one current reading and commits at once.
    void AddCurrent(const QString& address, const CurrentEntry& entry);
    // Writes everything staged now. False when it could not (the records stay
    // staged and the cause waits in TakeProblem()).
    bool Commit();
    // Commits when the oldest staged record is a second old or older.
    void CommitIfDue();
    int StagedCount() const { return static_cast<int>(staged_.size() + stagedCurrent_.size()); }
    // What storing the committed records of a reading did so far.
    StoreCounts ReadingCounts(int reading) const;

    // The message for the operator about the file ("" when there is none).
    // OncePerCause (auto refresh): the same cause again is not repeated until
    // a commit has succeeded in between. EveryTime (the end of a bank
    // reading): given whenever there is one.
    enum class Repeat { OncePerCause, EveryTime };
    QString TakeProblem(Repeat repeat = Repeat::OncePerCause);

    // --- writing: an import (one transaction per call)

    // Stores records of an import of `filePath` into one transaction. A record
    // whose values are already known for its minute (stored or kept as a
    // revision) changes nothing. A differing record replaces one that an
    // earlier import brought, but not one from a reading (the reading wins;
    // the imported values are kept as a revision). False when the file cannot
    // be written (TakeProblem() says why); then nothing was stored.
    struct ImportItem {
        QString address;
        ArchiveEntry entry;
    };
    std::optional<StoreCounts> Import(const QString& filePath, const std::vector<ImportItem>& items);

    // --- reading

    // Addresses with archive records or current readings, sorted.
    QStringList Addresses();
    // Records of `address` with from <= time < to, oldest first. Values
    // reads only what a plot needs (time, gap, values, uncertainties, units):
    // bank stays -1, codes empty and source 0; a third faster for a year.
    enum class Detail { Full, Values };
    HistorySeries Records(const QString& address, const QDateTime& from, const QDateTime& to,
                          Detail detail = Detail::Full);
    // Current readings of `address` with from <= time < to, oldest first.
    CurrentSeries CurrentReadings(const QString& address, const QDateTime& from, const QDateTime& to);
    // The first and last stored minute of `address`; nullopt without records.
    std::optional<std::pair<QDateTime, QDateTime>> RecordSpan(const QString& address);
    // Revisions of `address` with from <= time < to, by minute, oldest revision first.
    std::vector<HistoryRevision> Revisions(const QString& address, const QDateTime& from, const QDateTime& to);
    std::optional<HistorySource> Source(std::int64_t id);
    // Why the last of the queries above gave nothing ("" when it succeeded).
    QString ReadError() const { return readError_; }

    // The SQLite handle's name for other queries on this store's connection
    // (QSqlDatabase::database(ConnectionName())); opens the store first.
    QString ConnectionName() const { return connection_; }

signals:
    // Records of `address` between first and last (wall-clock minutes) were
    // committed, by a reading or an import.
    void RecordsCommitted(const QString& address, const QDateTime& first, const QDateTime& last);
    // A current reading of `address` was committed.
    void CurrentCommitted(const QString& address, const QDateTime& time);

private:
    struct PendingReading {
        QDateTime at;
        QString title;
        std::int64_t id = 0; // 0 until the source row is written
        StoreCounts counts;
    };
    struct StagedRecord {
        int reading = 0;
        QString address;
        ArchiveEntry entry;
        bool unanswered = false; // no reply came: a gap only where nothing is stored
    };
    struct StagedCurrent {
        QString address;
        CurrentEntry entry;
    };
    class Db;

    bool OpenFile();
    void CloseFile();
    bool SetAside(const QString& cause);
    void Fail(const QString& what, const QString& cause);
    bool IsDamage(const QString& nativeCode, const QString& text) const;
    bool WriteStaged();
    std::int64_t NowMs() const;
    void NoteStaged();
    // A query: opens the file if need be and runs body; when the file cannot
    // be opened or the query fails, the failure is told, ReadError() names it
    // and the result is none.
    template <typename Result, typename Body>
    Result ReadOr(Result none, Body&& body);

    QString path_;
    IClock& clock_;
    QString connection_;
    std::unique_ptr<Db> db_;
    bool open_ = false;

    std::map<int, PendingReading> readings_;
    int nextReading_ = 1;
    std::vector<StagedRecord> staged_;
    std::vector<StagedCurrent> stagedCurrent_;
    std::int64_t oldestStagedMs_ = 0;
    std::int64_t retryAfterMs_ = 0; // after a failure, no new try before this (0: at once)
    std::size_t dropped_ = 0;
    QTimer commitTimer_;

    QString problem_;
    QString readError_;
    bool problemSticky_ = false; // a damaged file set aside or records dropped: told even after a later success
    QString lastTold_;
};

} // namespace zir

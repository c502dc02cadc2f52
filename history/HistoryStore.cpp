#include "history/HistoryStore.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <unordered_map>

#include "archive/ArchiveRecord.h"
#include "core/NumberText.h"
#include "core/SystemIo.h"
#include "core/XdgFolders.h"
#include "link/numFormats.h"

namespace zir {

namespace {

constexpr std::int64_t kBatchMs = 1000;
// After a failed write the next try waits this long (the end of a reading
// tries again at once), so a locked file does not slow a reading down.
constexpr std::int64_t kRetryMs = 30000;
// A history that stays unwritable keeps at most this many records staged
// (two weeks of minutes, the whole archive of an instrument).
constexpr std::size_t kMaxStaged = 14 * kMinutesPerDay * 2;
constexpr int kBusyTimeoutMs = 2000;

// SQLite's primary result codes for a damaged file.
const QString kSqliteCorrupt = QStringLiteral("11");
const QString kSqliteNotADatabase = QStringLiteral("26");

const QDate kEpoch(1970, 1, 1);
constexpr std::int64_t kMsPerDay = std::int64_t{86400} * 1000;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// The schema, one entry per version: entry n brings a file from version n to n + 1.
const std::vector<QStringList>& Migrations() {
    static const std::vector<QStringList> steps = {
        {
            // Instrument addresses, the text of LE_DeviceAdr, trimmed.
            QStringLiteral("CREATE TABLE addresses(id INTEGER PRIMARY KEY, address TEXT NOT NULL UNIQUE)"),
            // Unit (dimension) texts.
            QStringLiteral("CREATE TABLE units(id INTEGER PRIMARY KEY, unit TEXT NOT NULL UNIQUE)"),
            // kind 1: a bank reading (detail: its report title); kind 2: an
            // import (detail: the file's path). at: the computer's local clock,
            // ISO 8601 without zone.
            QStringLiteral("CREATE TABLE sources(id INTEGER PRIMARY KEY, kind INTEGER NOT NULL, "
                           "at TEXT NOT NULL, detail TEXT NOT NULL)"),
            // One row per address and minute (minutes since 1970-01-01 00:00
            // of the instrument's clock). value_a and value_b are NULL in a
            // gap (an empty record); code_* NULL when imported, bank NULL when
            // not known.
            QStringLiteral("CREATE TABLE records(address_id INTEGER NOT NULL REFERENCES addresses(id), "
                           "minute INTEGER NOT NULL, bank INTEGER, "
                           "code_a INTEGER, unc_a INTEGER NOT NULL, value_a REAL, unit_a INTEGER NOT NULL, "
                           "code_b INTEGER, unc_b INTEGER NOT NULL, value_b REAL, unit_b INTEGER NOT NULL, "
                           "source_id INTEGER NOT NULL REFERENCES sources(id), "
                           "PRIMARY KEY(address_id, minute)) WITHOUT ROWID"),
            // Values a minute held before another reading or import replaced
            // them (or, for an import losing to a reading, the imported values).
            QStringLiteral("CREATE TABLE revisions(id INTEGER PRIMARY KEY, address_id INTEGER NOT NULL, "
                           "minute INTEGER NOT NULL, bank INTEGER, "
                           "code_a INTEGER, unc_a INTEGER NOT NULL, value_a REAL, unit_a INTEGER NOT NULL, "
                           "code_b INTEGER, unc_b INTEGER NOT NULL, value_b REAL, unit_b INTEGER NOT NULL, "
                           "source_id INTEGER NOT NULL, superseded_by INTEGER NOT NULL)"),
            QStringLiteral("CREATE INDEX revisions_by_minute ON revisions(address_id, minute)"),
            // Current readings: ms since 1970-01-01 00:00 of the computer's local clock.
            QStringLiteral(
                "CREATE TABLE current_readings(address_id INTEGER NOT NULL, at_ms INTEGER NOT NULL, "
                "code_a INTEGER NOT NULL, unc_a INTEGER NOT NULL, value_a REAL NOT NULL, unit_a INTEGER NOT NULL, "
                "code_b INTEGER NOT NULL, unc_b INTEGER NOT NULL, value_b REAL NOT NULL, unit_b INTEGER NOT NULL, "
                "PRIMARY KEY(address_id, at_ms)) WITHOUT ROWID"),
        },
    };
    return steps;
}

// A failed statement, carried out of the transaction that runs it.
struct SqlFailure {
    QString code;
    QString text;
};

SqlFailure FailureOf(const QSqlError& error) {
    QString text = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
    if (text.isEmpty()) text = QStringLiteral("unknown SQLite error");
    return {error.nativeErrorCode(), text};
}

void Exec(QSqlQuery& query) {
    if (!query.exec()) throw FailureOf(query.lastError());
}

QSqlQuery Prepared(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql)) throw FailureOf(query.lastError());
    return query;
}

void ExecText(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    if (!query.exec(sql)) throw FailureOf(query.lastError());
}

QVariant ScalarOf(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql)) throw FailureOf(query.lastError());
    if (!query.next()) {
        if (query.lastError().isValid()) throw FailureOf(query.lastError());
        return {};
    }
    return query.value(0);
}

QVariant NullableCode(const std::optional<std::uint16_t>& code) {
    return code ? QVariant(static_cast<int>(*code)) : QVariant(QMetaType(QMetaType::Int));
}

QVariant NullableBank(int bank) { return bank >= 0 ? QVariant(bank) : QVariant(QMetaType(QMetaType::Int)); }

std::optional<std::uint16_t> CodeOf(const QVariant& v) {
    if (v.isNull()) return std::nullopt;
    return static_cast<std::uint16_t>(v.toInt());
}

bool IsGap(const ArchiveEntry& e) {
    ArchiveRecord record;
    record.valueA = e.valueA;
    record.valueB = e.valueB;
    record.uncertaintyA = e.uncertaintyA;
    record.uncertaintyB = e.uncertaintyB;
    return IsEmptyRecord(record);
}

double ValueOf(const QString& text) { return TryStrToFloat(text).value_or(0.0); }

QString IsoText(const QDateTime& t) {
    return QDateTime(t.date(), t.time(), Qt::UTC).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

std::atomic<int> gConnectionCounter{0};

} // namespace

// --- wall-clock times

std::int64_t MinuteOf(const QDateTime& wallTime) {
    const QTime t = wallTime.time();
    return kEpoch.daysTo(wallTime.date()) * kMinutesPerDay + t.hour() * 60 + t.minute();
}

QDateTime TimeOfMinute(std::int64_t minute) {
    const std::int64_t day = FloorDiv(minute, kMinutesPerDay);
    const int inDay = static_cast<int>(minute - day * kMinutesPerDay);
    return QDateTime(kEpoch.addDays(day), QTime(inDay / 60, inDay % 60), Qt::UTC);
}

std::int64_t MillisecondOf(const QDateTime& wallTime) {
    return kEpoch.daysTo(wallTime.date()) * kMsPerDay + wallTime.time().msecsSinceStartOfDay();
}

QDateTime TimeOfMillisecond(std::int64_t ms) {
    const std::int64_t day = FloorDiv(ms, kMsPerDay);
    return QDateTime(kEpoch.addDays(day), QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms - day * kMsPerDay)),
                     Qt::UTC);
}

QString HistoryFilePath() { return ZirDataDir() + QLatin1Char('/') + kHistoryFileName; }

namespace {

// Equal measurements: the same gap state, values, uncertainties and units,
// and the same bank and codes where both sides know them.
bool SameValues(const HistoryRecord& x, const HistoryRecord& y) {
    if (x.gap != y.gap) return false;
    if (x.bank >= 0 && y.bank >= 0 && x.bank != y.bank) return false;
    for (const auto& [cx, cy] : {std::pair{&x.a, &y.a}, std::pair{&x.b, &y.b}}) {
        if (!x.gap && cx->value != cy->value) return false;
        if (cx->uncertainty != cy->uncertainty || cx->unit != cy->unit) return false;
        if (cx->code && cy->code && *cx->code != *cy->code) return false;
    }
    return true;
}

// What a reading knows that an imported row lacks.
bool AddsDetail(const HistoryRecord& stored, const HistoryRecord& incoming) {
    return (stored.bank < 0 && incoming.bank >= 0) || (!stored.a.code && incoming.a.code) ||
           (!stored.b.code && incoming.b.code);
}

enum class Outcome { Added, Known, Changed };

void Count(StoreCounts& counts, Outcome outcome) {
    switch (outcome) {
    case Outcome::Added: ++counts.added; break;
    case Outcome::Known: ++counts.known; break;
    case Outcome::Changed: ++counts.changed; break;
    }
}

} // namespace

// --- the connection and its statements

class THistoryStore::Db {
public:
    explicit Db(const QString& connection) : db(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection)) {}

    // A record row as stored; channel units hold unit ids.
    struct Row {
        HistoryRecord record;
        bool gap() const { return record.gap; }
    };

    void Prepare() {
        selectRecord = Prepared(
            db, QStringLiteral("SELECT bank, code_a, unc_a, value_a, unit_a, code_b, unc_b, value_b, unit_b, source_id "
                               "FROM records WHERE address_id = ? AND minute = ?"));
        insertRecord =
            Prepared(db, QStringLiteral("INSERT INTO records(address_id, minute, bank, code_a, unc_a, value_a, unit_a, "
                                        "code_b, unc_b, value_b, unit_b, source_id) VALUES(?,?,?,?,?,?,?,?,?,?,?,?)"));
        updateRecord =
            Prepared(db, QStringLiteral("UPDATE records SET bank = ?, code_a = ?, unc_a = ?, value_a = ?, unit_a = ?, "
                                        "code_b = ?, unc_b = ?, value_b = ?, unit_b = ?, source_id = ? "
                                        "WHERE address_id = ? AND minute = ?"));
        insertRevision = Prepared(
            db, QStringLiteral(
                    "INSERT INTO revisions(address_id, minute, bank, code_a, unc_a, value_a, unit_a, "
                    "code_b, unc_b, value_b, unit_b, source_id, superseded_by) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)"));
        selectRevisionValues = Prepared(
            db, QStringLiteral("SELECT bank, code_a, unc_a, value_a, unit_a, code_b, unc_b, value_b, unit_b, source_id "
                               "FROM revisions WHERE address_id = ? AND minute = ?"));
        insertCurrent = Prepared(
            db,
            QStringLiteral("INSERT OR IGNORE INTO current_readings(address_id, at_ms, code_a, unc_a, value_a, unit_a, "
                           "code_b, unc_b, value_b, unit_b) VALUES(?,?,?,?,?,?,?,?,?,?)"));
        insertSource =
            Prepared(db, QStringLiteral("INSERT INTO sources(kind, at, detail) VALUES(?,?,COALESCE(?, ''))"));
    }

    void ForgetCaches() {
        addressIds.clear();
        unitIds.clear();
        sourceKinds.clear();
    }

    std::int64_t IdOf(std::unordered_map<QString, std::int64_t>& cache, const QString& table, const QString& column,
                      const QString& text) {
        if (const auto it = cache.find(text); it != cache.end()) return it->second;
        // A null text (an unanswered dimension request) is the empty text.
        QSqlQuery select =
            Prepared(db, QStringLiteral("SELECT id FROM %1 WHERE %2 = COALESCE(?, '')").arg(table, column));
        select.addBindValue(text);
        Exec(select);
        std::int64_t id = 0;
        if (select.next()) {
            id = select.value(0).toLongLong();
        } else {
            QSqlQuery insert =
                Prepared(db, QStringLiteral("INSERT INTO %1(%2) VALUES(COALESCE(?, ''))").arg(table, column));
            insert.addBindValue(text);
            Exec(insert);
            id = insert.lastInsertId().toLongLong();
        }
        cache.emplace(text, id);
        return id;
    }
    std::int64_t AddressId(const QString& address) {
        return IdOf(addressIds, QStringLiteral("addresses"), QStringLiteral("address"), address);
    }
    std::int64_t UnitId(const QString& unit) {
        return IdOf(unitIds, QStringLiteral("units"), QStringLiteral("unit"), unit);
    }
    // Read-only lookup: nullopt when the address was never stored.
    std::optional<std::int64_t> FindAddress(const QString& address) {
        if (const auto it = addressIds.find(address); it != addressIds.end()) return it->second;
        QSqlQuery select = Prepared(db, QStringLiteral("SELECT id FROM addresses WHERE address = ?"));
        select.addBindValue(address);
        Exec(select);
        if (!select.next()) return std::nullopt;
        const std::int64_t id = select.value(0).toLongLong();
        addressIds.emplace(address, id);
        return id;
    }

    HistorySource::Kind SourceKind(std::int64_t id) {
        if (const auto it = sourceKinds.find(id); it != sourceKinds.end()) return it->second;
        QSqlQuery select = Prepared(db, QStringLiteral("SELECT kind FROM sources WHERE id = ?"));
        select.addBindValue(static_cast<qlonglong>(id));
        Exec(select);
        const auto kind = select.next() && select.value(0).toInt() == static_cast<int>(HistorySource::Kind::Import)
                              ? HistorySource::Kind::Import
                              : HistorySource::Kind::Reading;
        sourceKinds.emplace(id, kind);
        return kind;
    }

    std::int64_t InsertSource(HistorySource::Kind kind, const QDateTime& at, const QString& detail) {
        insertSource.addBindValue(static_cast<int>(kind));
        insertSource.addBindValue(IsoText(at));
        insertSource.addBindValue(detail);
        Exec(insertSource);
        const std::int64_t id = insertSource.lastInsertId().toLongLong();
        sourceKinds.emplace(id, kind);
        return id;
    }

    // Columns bank .. source_id, from `first` on, into a record.
    static HistoryRecord RecordFrom(const QSqlQuery& q, int first) {
        HistoryRecord r;
        const QVariant bank = q.value(first);
        r.bank = bank.isNull() ? -1 : bank.toInt();
        const QVariant valueA = q.value(first + 3);
        r.gap = valueA.isNull();
        r.a = {valueA.toDouble(), CodeOf(q.value(first + 1)), q.value(first + 2).toInt(), q.value(first + 4).toInt()};
        r.b = {q.value(first + 7).toDouble(), CodeOf(q.value(first + 5)), q.value(first + 6).toInt(),
               q.value(first + 8).toInt()};
        r.source = q.value(first + 9).toLongLong();
        return r;
    }

    std::optional<HistoryRecord> Stored(std::int64_t addressId, std::int64_t minute) {
        selectRecord.addBindValue(static_cast<qlonglong>(addressId));
        selectRecord.addBindValue(static_cast<qlonglong>(minute));
        Exec(selectRecord);
        std::optional<HistoryRecord> r;
        if (selectRecord.next()) {
            r = RecordFrom(selectRecord, 0);
            r->minute = minute;
        }
        selectRecord.finish();
        return r;
    }

    std::vector<HistoryRecord> RevisionValues(std::int64_t addressId, std::int64_t minute) {
        selectRevisionValues.addBindValue(static_cast<qlonglong>(addressId));
        selectRevisionValues.addBindValue(static_cast<qlonglong>(minute));
        Exec(selectRevisionValues);
        std::vector<HistoryRecord> list;
        while (selectRevisionValues.next()) list.push_back(RecordFrom(selectRevisionValues, 0));
        selectRevisionValues.finish();
        return list;
    }

    static void BindValues(QSqlQuery& q, const HistoryRecord& r) {
        q.addBindValue(NullableBank(r.bank));
        for (const HistoryChannel* c : {&r.a, &r.b}) {
            q.addBindValue(NullableCode(c->code));
            q.addBindValue(c->uncertainty);
            q.addBindValue(r.gap ? QVariant(QMetaType(QMetaType::Double)) : QVariant(c->value));
            q.addBindValue(c->unit);
        }
        q.addBindValue(static_cast<qlonglong>(r.source));
    }

    void Insert(std::int64_t addressId, const HistoryRecord& r) {
        insertRecord.addBindValue(static_cast<qlonglong>(addressId));
        insertRecord.addBindValue(static_cast<qlonglong>(r.minute));
        BindValues(insertRecord, r);
        Exec(insertRecord);
    }
    void Update(std::int64_t addressId, const HistoryRecord& r) {
        BindValues(updateRecord, r);
        updateRecord.addBindValue(static_cast<qlonglong>(addressId));
        updateRecord.addBindValue(static_cast<qlonglong>(r.minute));
        Exec(updateRecord);
    }
    void InsertRevision(std::int64_t addressId, const HistoryRecord& r, std::int64_t supersededBy) {
        insertRevision.addBindValue(static_cast<qlonglong>(addressId));
        insertRevision.addBindValue(static_cast<qlonglong>(r.minute));
        BindValues(insertRevision, r);
        insertRevision.addBindValue(static_cast<qlonglong>(supersededBy));
        Exec(insertRevision);
    }

    // The stored values of the minute, or one of its revisions, equal the incoming ones.
    bool IsKnown(std::int64_t addressId, const HistoryRecord& stored, const HistoryRecord& incoming) {
        if (SameValues(stored, incoming)) return true;
        for (const HistoryRecord& old : RevisionValues(addressId, incoming.minute))
            if (SameValues(old, incoming)) return true;
        return false;
    }

    // One minute into the records table, by the rules of the header.
    Outcome Store(std::int64_t addressId, const std::optional<HistoryRecord>& stored, const HistoryRecord& incoming,
                  HistorySource::Kind kind) {
        if (!stored) {
            Insert(addressId, incoming);
            return Outcome::Added;
        }
        if (SameValues(*stored, incoming)) {
            if (kind == HistorySource::Kind::Reading && AddsDetail(*stored, incoming)) {
                HistoryRecord merged = *stored;
                if (merged.bank < 0) merged.bank = incoming.bank;
                if (!merged.a.code) merged.a.code = incoming.a.code;
                if (!merged.b.code) merged.b.code = incoming.b.code;
                merged.source = incoming.source;
                Update(addressId, merged);
            }
            return Outcome::Known;
        }
        if (kind == HistorySource::Kind::Import && SourceKind(stored->source) == HistorySource::Kind::Reading) {
            // What was read from the instrument stays; the file's values are kept beside it.
            InsertRevision(addressId, incoming, stored->source);
            return Outcome::Changed;
        }
        InsertRevision(addressId, *stored, incoming.source);
        Update(addressId, incoming);
        return Outcome::Changed;
    }

    QSqlDatabase db;
    QSqlQuery selectRecord, insertRecord, updateRecord, insertRevision, selectRevisionValues, insertCurrent,
        insertSource;
    std::unordered_map<QString, std::int64_t> addressIds;
    std::unordered_map<QString, std::int64_t> unitIds;
    std::unordered_map<std::int64_t, HistorySource::Kind> sourceKinds;
};

// --- the store

THistoryStore::THistoryStore(QString path, IClock& clock, QObject* parent)
    : QObject(parent),
      path_(std::move(path)),
      clock_(clock),
      connection_(QStringLiteral("zir-history-%1").arg(++gConnectionCounter)) {
    commitTimer_.setSingleShot(true);
    commitTimer_.setInterval(static_cast<int>(kBatchMs));
    connect(&commitTimer_, &QTimer::timeout, this, [this] { Commit(); });
}

THistoryStore::~THistoryStore() {
    Commit();
    CloseFile();
}

std::int64_t THistoryStore::NowMs() const { return clock_.NowMs(); }

bool THistoryStore::IsOpen() const { return open_; }

bool THistoryStore::Open() {
    if (open_) return true;
    if (OpenFile()) return true;
    return false;
}

void THistoryStore::CloseFile() {
    open_ = false;
    if (db_) {
        db_->db.close();
        db_.reset();
    }
    if (QSqlDatabase::contains(connection_)) QSqlDatabase::removeDatabase(connection_);
}

bool THistoryStore::IsDamage(const QString& nativeCode, const QString& text) const {
    return nativeCode == kSqliteCorrupt || nativeCode == kSqliteNotADatabase ||
           text.contains(QLatin1String("malformed")) || text.contains(QLatin1String("not a database"));
}

void THistoryStore::Fail(const QString& what, const QString& cause) {
    problem_ = QStringLiteral("The history file %1 %2: %3").arg(path_, what, cause);
}

bool THistoryStore::SetAside(const QString& cause) {
    CloseFile();
    const QString stamp = clock_.Now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = path_ + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = path_ + QStringLiteral(".damaged-") + stamp + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(path_, aside)) {
        Fail(QStringLiteral("is damaged and could not be renamed"), cause);
        return false;
    }
    // The write-ahead log belongs to the damaged file; the shared-memory index
    // is rebuilt from it.
    if (QFileInfo::exists(path_ + QStringLiteral("-wal")))
        QFile::rename(path_ + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(path_ + QStringLiteral("-shm"));
    problemSticky_ = true;
    problem_ = QStringLiteral("The history file %1 was damaged (%2); it was kept as %3 and a new history was started")
                   .arg(path_, cause, aside);
    return true;
}

bool THistoryStore::OpenFile() {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QFileInfo info(path_);
        const QString folder = info.absolutePath();
        if (!QDir().mkpath(folder)) {
            // mkpath gives no reason; making the folder itself tells it.
            const int error = ::mkdir(QFile::encodeName(folder).constData(), 0777) == 0 ? EIO : errno;
            Fail(QStringLiteral("could not be opened"),
                 QStringLiteral("the folder %1 cannot be created (%2)").arg(folder, SystemErrorText(error)));
            return false;
        }
        CloseFile();
        db_ = std::make_unique<Db>(connection_);
        if (!db_->db.isValid()) {
            Fail(QStringLiteral("could not be opened"),
                 QStringLiteral("the SQLite driver of Qt SQL is missing (package libqt6sql6-sqlite)"));
            CloseFile();
            return false;
        }
        db_->db.setDatabaseName(path_);
        db_->db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        SqlFailure failure;
        bool damaged = false;
        if (!db_->db.open()) {
            failure = FailureOf(db_->db.lastError());
            damaged = IsDamage(failure.code, failure.text);
        } else {
            try {
                // A file of a newer program is left exactly as it is.
                const int version = ScalarOf(db_->db, QStringLiteral("PRAGMA user_version")).toInt();
                const int known = static_cast<int>(Migrations().size());
                if (version > known) {
                    Fail(QStringLiteral("could not be opened"),
                         QStringLiteral("it was made by a newer version of the program (schema %1)").arg(version));
                    CloseFile();
                    return false;
                }
                const QString mode = ScalarOf(db_->db, QStringLiteral("PRAGMA journal_mode=WAL")).toString();
                if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
                    throw SqlFailure{
                        QString(), QStringLiteral("write-ahead logging is not available (journal mode %1)").arg(mode)};
                // WAL with NORMAL keeps every commit through a crash of the
                // program; only a power loss may cost the last ones.
                ExecText(db_->db, QStringLiteral("PRAGMA synchronous=NORMAL"));
                // Range queries of a year read the file through memory maps.
                ExecText(db_->db, QStringLiteral("PRAGMA mmap_size=268435456"));
                ExecText(db_->db, QStringLiteral("PRAGMA cache_size=-16384"));
                const QString check = ScalarOf(db_->db, QStringLiteral("PRAGMA quick_check(1)")).toString();
                if (check != QLatin1String("ok")) throw SqlFailure{kSqliteCorrupt, check};
                if (version < known) {
                    ExecText(db_->db, QStringLiteral("BEGIN IMMEDIATE"));
                    try {
                        for (int v = version; v < known; ++v)
                            for (const QString& sql : Migrations()[static_cast<std::size_t>(v)]) ExecText(db_->db, sql);
                        ExecText(db_->db, QStringLiteral("PRAGMA user_version = %1").arg(known));
                        ExecText(db_->db, QStringLiteral("COMMIT"));
                    } catch (const SqlFailure&) {
                        QSqlQuery(db_->db).exec(QStringLiteral("ROLLBACK"));
                        throw;
                    }
                }
                db_->Prepare();
                open_ = true;
                return true;
            } catch (const SqlFailure& f) {
                failure = f;
                damaged = IsDamage(f.code, f.text);
            }
        }
        CloseFile();
        if (!damaged || attempt > 0) {
            QString cause = failure.text;
            if (!QFileInfo(folder).isWritable())
                cause += QStringLiteral(" (the folder %1 is not writable)").arg(folder);
            Fail(QStringLiteral("could not be opened"), cause);
            return false;
        }
        if (!SetAside(failure.text)) return false;
        // The message about the damage stays; a new file is started.
    }
    return false;
}

int THistoryStore::BeginReading(const QString& title) {
    const int handle = nextReading_++;
    readings_[handle] = PendingReading{clock_.Now(), title, 0, {}};
    return handle;
}

void THistoryStore::NoteStaged() {
    if (StagedCount() == 1) oldestStagedMs_ = NowMs();
    if (!commitTimer_.isActive()) commitTimer_.start();
}

void THistoryStore::AddRecord(int reading, const QString& address, const ArchiveEntry& entry) {
    if (!readings_.count(reading)) return;
    if (staged_.size() >= kMaxStaged) {
        staged_.erase(staged_.begin());
        ++dropped_;
    }
    staged_.push_back({reading, address.trimmed(), entry});
    NoteStaged();
    CommitIfDue();
}

void THistoryStore::AddUnanswered(int reading, const QString& address, const ArchiveEntry& minute) {
    if (!readings_.count(reading)) return;
    if (staged_.size() >= kMaxStaged) {
        staged_.erase(staged_.begin());
        ++dropped_;
    }
    ArchiveEntry entry;
    entry.time = minute.time;
    entry.bank = minute.bank;
    entry.unitA = minute.unitA;
    entry.unitB = minute.unitB;
    staged_.push_back({reading, address.trimmed(), entry, true});
    NoteStaged();
    CommitIfDue();
}

void THistoryStore::AddCurrent(const QString& address, const CurrentEntry& entry) {
    if (stagedCurrent_.size() >= kMaxStaged) {
        stagedCurrent_.erase(stagedCurrent_.begin());
        ++dropped_;
    }
    stagedCurrent_.push_back({address.trimmed(), entry});
    NoteStaged();
    // A current reading is a batch of its own; after a failure it waits for
    // the next try like the records of a reading.
    if (NowMs() >= retryAfterMs_) Commit();
}

void THistoryStore::CommitIfDue() {
    if (StagedCount() == 0) return;
    const std::int64_t now = NowMs();
    if (now - oldestStagedMs_ >= kBatchMs && now >= retryAfterMs_) Commit();
}

StoreCounts THistoryStore::ReadingCounts(int reading) const {
    const auto it = readings_.find(reading);
    return it == readings_.end() ? StoreCounts{} : it->second.counts;
}

QString THistoryStore::TakeProblem(Repeat repeat) {
    if (problem_.isEmpty()) return QString();
    QString message = problem_;
    problem_.clear();
    problemSticky_ = false;
    if (repeat == Repeat::OncePerCause && message == lastTold_) return QString();
    lastTold_ = message;
    return message;
}

bool THistoryStore::Commit() {
    if (StagedCount() == 0) return true;
    if (!Open()) {
        retryAfterMs_ = NowMs() + kRetryMs;
        return false;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (WriteStaged()) {
            retryAfterMs_ = 0;
            lastTold_.clear();
            if (!problemSticky_) problem_.clear();
            if (dropped_ > 0) {
                Fail(QStringLiteral("could not be written for a while"),
                     QStringLiteral("%1 records read meanwhile are not in it").arg(dropped_));
                problemSticky_ = true;
                dropped_ = 0;
            }
            commitTimer_.stop();
            return true;
        }
        // A file found damaged while writing is set aside by a new Open().
        if (open_) break;
        if (!Open()) break;
    }
    retryAfterMs_ = NowMs() + kRetryMs;
    return false;
}

bool THistoryStore::WriteStaged() {
    Db& db = *db_;
    std::map<int, StoreCounts> counts;
    std::vector<int> newSources;
    struct Span {
        std::int64_t first = 0, last = 0;
    };
    std::map<QString, Span> spans;
    try {
        ExecText(db.db, QStringLiteral("BEGIN IMMEDIATE"));
        try {
            for (const StagedRecord& s : staged_) {
                PendingReading& reading = readings_.at(s.reading);
                if (reading.id == 0) {
                    reading.id = db.InsertSource(HistorySource::Kind::Reading, reading.at, reading.title);
                    newSources.push_back(s.reading);
                }
                const ArchiveEntry& e = s.entry;
                HistoryRecord r;
                r.minute = MinuteOf(e.time);
                r.bank = e.bank;
                r.gap = s.unanswered || IsGap(e);
                r.a = {r.gap ? 0.0 : ValueOf(e.valueA), e.codeA, e.uncertaintyA, static_cast<int>(db.UnitId(e.unitA))};
                r.b = {r.gap ? 0.0 : ValueOf(e.valueB), e.codeB, e.uncertaintyB, static_cast<int>(db.UnitId(e.unitB))};
                r.source = reading.id;
                const std::int64_t addressId = db.AddressId(s.address);
                const std::optional<HistoryRecord> stored = db.Stored(addressId, r.minute);
                if (s.unanswered && stored) {
                    // What an earlier reading or import brought stays.
                    Count(counts[s.reading], Outcome::Known);
                    continue;
                }
                Count(counts[s.reading], db.Store(addressId, stored, r, HistorySource::Kind::Reading));
                auto [it, added] = spans.try_emplace(s.address, Span{r.minute, r.minute});
                if (!added) {
                    it->second.first = std::min(it->second.first, r.minute);
                    it->second.last = std::max(it->second.last, r.minute);
                }
            }
            for (const StagedCurrent& s : stagedCurrent_) {
                const CurrentEntry& e = s.entry;
                QSqlQuery& q = db.insertCurrent;
                q.addBindValue(static_cast<qlonglong>(db.AddressId(s.address)));
                q.addBindValue(static_cast<qlonglong>(MillisecondOf(e.time)));
                q.addBindValue(static_cast<int>(e.codeA));
                q.addBindValue(e.uncertaintyA);
                q.addBindValue(ValueOf(ValueCodeToText(e.codeA)));
                q.addBindValue(static_cast<qlonglong>(db.UnitId(e.unitA)));
                q.addBindValue(static_cast<int>(e.codeB));
                q.addBindValue(e.uncertaintyB);
                q.addBindValue(ValueOf(ValueCodeToText(e.codeB)));
                q.addBindValue(static_cast<qlonglong>(db.UnitId(e.unitB)));
                Exec(q);
            }
            ExecText(db.db, QStringLiteral("COMMIT"));
        } catch (const SqlFailure&) {
            QSqlQuery(db.db).exec(QStringLiteral("ROLLBACK"));
            throw;
        }
    } catch (const SqlFailure& f) {
        for (int handle : newSources) readings_.at(handle).id = 0;
        db.ForgetCaches();
        if (IsDamage(f.code, f.text)) {
            // Open() sets the file aside and starts a new one.
            if (SetAside(f.text)) return false;
        }
        Fail(QStringLiteral("could not be written"), f.text);
        return false;
    }
    for (const auto& [handle, c] : counts) {
        StoreCounts& total = readings_.at(handle).counts;
        total.added += c.added;
        total.known += c.known;
        total.changed += c.changed;
    }
    std::vector<std::pair<QString, QDateTime>> current;
    for (const StagedCurrent& s : stagedCurrent_)
        current.emplace_back(s.address, TimeOfMillisecond(MillisecondOf(s.entry.time)));
    staged_.clear();
    stagedCurrent_.clear();
    for (const auto& [address, span] : spans)
        emit RecordsCommitted(address, TimeOfMinute(span.first), TimeOfMinute(span.last));
    for (const auto& [address, time] : current) emit CurrentCommitted(address, time);
    return true;
}

std::optional<StoreCounts> THistoryStore::Import(const QString& filePath, const std::vector<ImportItem>& items) {
    if (!Open()) return std::nullopt;
    Db& db = *db_;
    StoreCounts counts;
    std::map<QString, std::pair<std::int64_t, std::int64_t>> spans;
    try {
        ExecText(db.db, QStringLiteral("BEGIN IMMEDIATE"));
        try {
            std::int64_t source = 0;
            for (const ImportItem& item : items) {
                const ArchiveEntry& e = item.entry;
                HistoryRecord r;
                r.minute = MinuteOf(e.time);
                r.bank = e.bank;
                r.gap = IsGap(e);
                r.a = {r.gap ? 0.0 : ValueOf(e.valueA), e.codeA, e.uncertaintyA, static_cast<int>(db.UnitId(e.unitA))};
                r.b = {r.gap ? 0.0 : ValueOf(e.valueB), e.codeB, e.uncertaintyB, static_cast<int>(db.UnitId(e.unitB))};
                // The source row is written only when the file brings something.
                const std::int64_t addressId = db.AddressId(item.address);
                const std::optional<HistoryRecord> stored = db.Stored(addressId, r.minute);
                if (stored && db.IsKnown(addressId, *stored, r)) {
                    ++counts.known;
                    continue;
                }
                if (source == 0)
                    source = db.InsertSource(HistorySource::Kind::Import, clock_.Now(),
                                             QFileInfo(filePath).absoluteFilePath());
                r.source = source;
                Count(counts, db.Store(addressId, stored, r, HistorySource::Kind::Import));
                auto [it, added] = spans.try_emplace(item.address, r.minute, r.minute);
                if (!added) {
                    it->second.first = std::min(it->second.first, r.minute);
                    it->second.second = std::max(it->second.second, r.minute);
                }
            }
            ExecText(db.db, QStringLiteral("COMMIT"));
        } catch (const SqlFailure&) {
            QSqlQuery(db.db).exec(QStringLiteral("ROLLBACK"));
            throw;
        }
    } catch (const SqlFailure& f) {
        db.ForgetCaches();
        if (IsDamage(f.code, f.text))
            SetAside(f.text);
        else
            Fail(QStringLiteral("could not be written"), f.text);
        return std::nullopt;
    }
    for (const auto& [address, span] : spans)
        emit RecordsCommitted(address, TimeOfMinute(span.first), TimeOfMinute(span.second));
    return counts;
}

// --- queries

template <typename Result, typename Body>
Result THistoryStore::ReadOr(Result none, Body&& body) {
    readError_.clear();
    if (!Open()) {
        readError_ = problem_;
        return none;
    }
    try {
        return body();
    } catch (const SqlFailure& f) {
        Fail(QStringLiteral("could not be read"), f.text);
        readError_ = problem_;
    }
    return none;
}

QStringList THistoryStore::Addresses() {
    return ReadOr(QStringList(), [&] {
        QStringList list;
        QSqlQuery q = Prepared(
            db_->db,
            QStringLiteral(
                "SELECT address FROM addresses a WHERE EXISTS (SELECT 1 FROM records r WHERE r.address_id = a.id) "
                "OR EXISTS (SELECT 1 FROM current_readings c WHERE c.address_id = a.id) ORDER BY address"));
        Exec(q);
        while (q.next()) list << q.value(0).toString();
        return list;
    });
}

namespace {

// Maps the file's unit ids to indices into a series' unit list.
class UnitIndex {
public:
    UnitIndex(const QSqlDatabase& db, QStringList& units) : db_(db), units_(units) {}
    int operator()(int id) {
        // Units change seldom from one row to the next.
        if (id == lastId_) return lastIndex_;
        lastId_ = id;
        lastIndex_ = Find(id);
        return lastIndex_;
    }

private:
    int Find(int id) {
        if (const auto it = index_.find(id); it != index_.end()) return it->second;
        QSqlQuery q = Prepared(db_, QStringLiteral("SELECT unit FROM units WHERE id = ?"));
        q.addBindValue(id);
        Exec(q);
        units_ << (q.next() ? q.value(0).toString() : QString());
        const int index = static_cast<int>(units_.size()) - 1;
        index_.emplace(id, index);
        return index;
    }

    const QSqlDatabase& db_;
    QStringList& units_;
    std::unordered_map<int, int> index_;
    int lastId_ = -1;
    int lastIndex_ = 0;
};

} // namespace

namespace {

// The SQLite connection under Qt's driver. Long range queries step through
// it directly: Qt's per-value variants would cost a second for a year.
sqlite3* NativeHandle(const QSqlDatabase& db) {
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

class NativeStatement {
public:
    NativeStatement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) Throw(sqlite3_errcode(db));
    }
    ~NativeStatement() { sqlite3_finalize(statement_); }
    NativeStatement(const NativeStatement&) = delete;
    NativeStatement& operator=(const NativeStatement&) = delete;
    void Bind(int index, std::int64_t value) {
        if (sqlite3_bind_int64(statement_, index, value) != SQLITE_OK) Throw(sqlite3_errcode(db_));
    }
    // True while there is a row.
    bool Step() {
        const int rc = sqlite3_step(statement_);
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) Throw(rc);
        return false;
    }
    bool IsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    std::int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
    int SmallInt(int column) const { return sqlite3_column_int(statement_, column); }
    double Real(int column) const { return sqlite3_column_double(statement_, column); }
    std::optional<std::uint16_t> Code(int column) const {
        if (IsNull(column)) return std::nullopt;
        return static_cast<std::uint16_t>(SmallInt(column));
    }

private:
    [[noreturn]] void Throw(int rc) const {
        throw SqlFailure{QString::number(rc & 0xFF), QString::fromUtf8(sqlite3_errmsg(db_))};
    }
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

} // namespace

HistorySeries THistoryStore::Records(const QString& address, const QDateTime& from, const QDateTime& to,
                                     Detail detail) {
    return ReadOr(HistorySeries(), [&] {
        HistorySeries series;
        const std::optional<std::int64_t> addressId = db_->FindAddress(address.trimmed());
        if (!addressId) return series;
        sqlite3* native = NativeHandle(db_->db);
        if (!native) throw SqlFailure{QString(), QStringLiteral("the SQLite driver gives no connection handle")};
        const std::int64_t first = MinuteOf(from);
        const std::int64_t last = MinuteOf(to);
        const bool full = detail == Detail::Full;
        NativeStatement q(native,
                          full ? "SELECT minute, unc_a, value_a, unit_a, unc_b, value_b, unit_b, bank, code_a, code_b, "
                                 "source_id FROM records WHERE address_id = ? AND minute >= ? AND minute < ? "
                                 "ORDER BY minute"
                               : "SELECT minute, unc_a, value_a, unit_a, unc_b, value_b, unit_b "
                                 "FROM records WHERE address_id = ? AND minute >= ? AND minute < ? ORDER BY minute");
        q.Bind(1, *addressId);
        q.Bind(2, first);
        q.Bind(3, last);
        series.records.reserve(static_cast<std::size_t>(std::clamp<std::int64_t>(last - first, 0, 600000)));
        UnitIndex units(db_->db, series.units);
        while (q.Step()) {
            HistoryRecord r;
            r.minute = q.Int(0);
            r.gap = q.IsNull(2);
            r.a = {q.Real(2), std::nullopt, q.SmallInt(1), units(q.SmallInt(3))};
            r.b = {q.Real(5), std::nullopt, q.SmallInt(4), units(q.SmallInt(6))};
            if (full) {
                r.bank = q.IsNull(7) ? -1 : q.SmallInt(7);
                r.a.code = q.Code(8);
                r.b.code = q.Code(9);
                r.source = q.Int(10);
            }
            series.records.push_back(r);
        }
        return series;
    });
}

CurrentSeries THistoryStore::CurrentReadings(const QString& address, const QDateTime& from, const QDateTime& to) {
    return ReadOr(CurrentSeries(), [&] {
        CurrentSeries series;
        const std::optional<std::int64_t> addressId = db_->FindAddress(address.trimmed());
        if (!addressId) return series;
        QSqlQuery q = Prepared(
            db_->db,
            QStringLiteral("SELECT at_ms, code_a, unc_a, value_a, unit_a, code_b, unc_b, value_b, unit_b "
                           "FROM current_readings WHERE address_id = ? AND at_ms >= ? AND at_ms < ? ORDER BY at_ms"));
        q.addBindValue(static_cast<qlonglong>(*addressId));
        q.addBindValue(static_cast<qlonglong>(MillisecondOf(from)));
        q.addBindValue(static_cast<qlonglong>(MillisecondOf(to)));
        Exec(q);
        UnitIndex units(db_->db, series.units);
        while (q.next()) {
            CurrentRecord r;
            r.ms = q.value(0).toLongLong();
            r.a = {q.value(3).toDouble(), CodeOf(q.value(1)), q.value(2).toInt(), units(q.value(4).toInt())};
            r.b = {q.value(7).toDouble(), CodeOf(q.value(5)), q.value(6).toInt(), units(q.value(8).toInt())};
            series.readings.push_back(r);
        }
        if (q.lastError().isValid()) throw FailureOf(q.lastError());
        return series;
    });
}

std::optional<std::pair<QDateTime, QDateTime>> THistoryStore::RecordSpan(const QString& address) {
    using Span = std::optional<std::pair<QDateTime, QDateTime>>;
    return ReadOr(Span(), [&]() -> Span {
        const std::optional<std::int64_t> addressId = db_->FindAddress(address.trimmed());
        if (!addressId) return std::nullopt;
        QSqlQuery q =
            Prepared(db_->db, QStringLiteral("SELECT MIN(minute), MAX(minute) FROM records WHERE address_id = ?"));
        q.addBindValue(static_cast<qlonglong>(*addressId));
        Exec(q);
        if (!q.next() || q.value(0).isNull()) return std::nullopt;
        return std::pair{TimeOfMinute(q.value(0).toLongLong()), TimeOfMinute(q.value(1).toLongLong())};
    });
}

std::vector<HistoryRevision> THistoryStore::Revisions(const QString& address, const QDateTime& from,
                                                      const QDateTime& to) {
    return ReadOr(std::vector<HistoryRevision>(), [&] {
        std::vector<HistoryRevision> list;
        const std::optional<std::int64_t> addressId = db_->FindAddress(address.trimmed());
        if (!addressId) return list;
        QSqlQuery q = Prepared(
            db_->db,
            QStringLiteral(
                "SELECT r.minute, r.bank, r.code_a, r.unc_a, r.value_a, r.unit_a, r.code_b, r.unc_b, r.value_b, "
                "r.unit_b, r.source_id, r.superseded_by, ua.unit, ub.unit FROM revisions r "
                "JOIN units ua ON ua.id = r.unit_a JOIN units ub ON ub.id = r.unit_b "
                "WHERE r.address_id = ? AND r.minute >= ? AND r.minute < ? ORDER BY r.minute, r.id"));
        q.addBindValue(static_cast<qlonglong>(*addressId));
        q.addBindValue(static_cast<qlonglong>(MinuteOf(from)));
        q.addBindValue(static_cast<qlonglong>(MinuteOf(to)));
        Exec(q);
        while (q.next()) {
            HistoryRevision rev;
            rev.record = Db::RecordFrom(q, 1);
            rev.record.minute = q.value(0).toLongLong();
            rev.record.a.unit = 0;
            rev.record.b.unit = 0;
            rev.supersededBy = q.value(11).toLongLong();
            rev.unitA = q.value(12).toString();
            rev.unitB = q.value(13).toString();
            list.push_back(rev);
        }
        return list;
    });
}

std::optional<HistorySource> THistoryStore::Source(std::int64_t id) {
    return ReadOr(std::optional<HistorySource>(), [&]() -> std::optional<HistorySource> {
        QSqlQuery q = Prepared(db_->db, QStringLiteral("SELECT kind, at, detail FROM sources WHERE id = ?"));
        q.addBindValue(static_cast<qlonglong>(id));
        Exec(q);
        if (!q.next()) return std::nullopt;
        HistorySource s;
        s.id = id;
        s.kind = q.value(0).toInt() == static_cast<int>(HistorySource::Kind::Import) ? HistorySource::Kind::Import
                                                                                     : HistorySource::Kind::Reading;
        s.at = QDateTime::fromString(q.value(1).toString(), Qt::ISODate);
        s.at.setTimeSpec(Qt::UTC);
        s.detail = q.value(2).toString();
        return s;
    });
}

} // namespace zir

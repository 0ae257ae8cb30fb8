#include "ledger.h"

#include "errors.h"
#include "fsys.h"
#include "recordlist.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

#include <atomic>
#include <unordered_map>

namespace kv::ledger {

namespace {
std::atomic<int> s_connections{0};
// "KLVR": marks the database as the program's own.
constexpr int kApplicationId = 0x4B4C5652;
// The page cache, per connection: a day's bills are some tens of pages.
constexpr int kCacheKiB = 256;
// How long a statement waits for another program's lock before the ledger's waiter is asked:
// between two asks the window answers.
constexpr int kBusyMs = 50;
// The check on its own thread may wait longer: nobody waits for it.
constexpr int kCheckBusyMs = 3000;

// STRICT: SQLite itself refuses a value of the wrong type in any column.
const char *const kSchema[] = {
    "CREATE TABLE bills(id INTEGER PRIMARY KEY, table_pos INTEGER NOT NULL,"
    " table_name TEXT NOT NULL, opened_date TEXT NOT NULL, opened_time TEXT NOT NULL,"
    " fee INTEGER NOT NULL, closed_at TEXT NOT NULL, minutes INTEGER NOT NULL,"
    " time_charge INTEGER NOT NULL, minimum_applied INTEGER NOT NULL,"
    " extras_total INTEGER NOT NULL, total INTEGER NOT NULL, cancelled_at TEXT,"
    " cancel_reason TEXT, fee_line TEXT NOT NULL, extras_file BLOB,"
    " restart INTEGER NOT NULL DEFAULT 0, review INTEGER NOT NULL DEFAULT 0) STRICT",
    "CREATE INDEX bills_by_closing ON bills(closed_at)",
    // Gün Sonu finds the earlier days' bills cancelled on the day shown.
    "CREATE INDEX bills_by_cancel ON bills(cancelled_at) WHERE cancelled_at IS NOT NULL",
    "CREATE TABLE bill_extras(bill_id INTEGER NOT NULL REFERENCES bills(id),"
    " pos INTEGER NOT NULL, name TEXT NOT NULL, price INTEGER NOT NULL,"
    " carried INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(bill_id, pos)) STRICT",
    // Operations that change several files: what each is about to do, until it is done
    // (done: 0 pending, 1 done, 2 set aside). `guard` holds what each file and register
    // line it changes is before and after; `bill_ids` the bills it wrote.
    "CREATE TABLE journal(id INTEGER PRIMARY KEY, kind TEXT NOT NULL, created_at TEXT NOT NULL,"
    " done INTEGER NOT NULL DEFAULT 0, bill_id INTEGER, table_pos INTEGER, table_name TEXT,"
    " target_pos INTEGER, target_name TEXT, register_lines TEXT, extras_file BLOB,"
    " target_extras BLOB, guard BLOB, bill_ids TEXT) STRICT",
    "CREATE INDEX journal_open ON journal(done)",
    // What ties this ledger to its own write-ahead log and to the file beside it.
    "CREATE TABLE ledger_info(key TEXT PRIMARY KEY, value TEXT NOT NULL) STRICT",
    // Each open account's opening as an instant, beside the register text it belongs to.
    "CREATE TABLE openings(table_pos INTEGER PRIMARY KEY, opened_date TEXT NOT NULL,"
    " opened_time TEXT NOT NULL, utc TEXT NOT NULL, boot_id TEXT NOT NULL,"
    " since_boot_ms INTEGER NOT NULL) STRICT",
};

// Version 2 marks restart bills and the extras they leave on their table; version 3 keeps
// steps' guards, bills set aside for review, the ledger's id and openings as instants.
constexpr int kSchemaVersion = 3;
const char *const kUpgradeTo2[] = {
    "ALTER TABLE bills ADD COLUMN restart INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE bill_extras ADD COLUMN carried INTEGER NOT NULL DEFAULT 0",
};
const char *const kUpgradeTo3[] = {
    "ALTER TABLE bills ADD COLUMN review INTEGER NOT NULL DEFAULT 0",
    "CREATE INDEX bills_by_cancel ON bills(cancelled_at) WHERE cancelled_at IS NOT NULL",
    "ALTER TABLE journal ADD COLUMN guard BLOB",
    "ALTER TABLE journal ADD COLUMN bill_ids TEXT",
    "CREATE TABLE ledger_info(key TEXT PRIMARY KEY, value TEXT NOT NULL) STRICT",
    "CREATE TABLE openings(table_pos INTEGER PRIMARY KEY, opened_date TEXT NOT NULL,"
    " opened_time TEXT NOT NULL, utc TEXT NOT NULL, boot_id TEXT NOT NULL,"
    " since_boot_ms INTEGER NOT NULL) STRICT",
};

// A bill's columns, as billOf() reads them: a listing reads the first sixteen, leaving out
// the fee line and the extras file, whose pages it need not read.
QString billColumns(bool full = true)
{
    const QString listed = QStringLiteral(
        "id, table_pos, table_name, fee, closed_at, minutes, time_charge, minimum_applied,"
        " extras_total, total, cancelled_at, cancel_reason, opened_date, opened_time, restart,"
        " review");
    return full ? listed + QStringLiteral(", fee_line, extras_file") : listed;
}

BillRecord billOf(const QSqlQuery &q, bool full = true)
{
    BillRecord r;
    r.id = q.value(0).toLongLong();
    r.tablePos = q.value(1).toInt();
    r.tableName = q.value(2).toString();
    r.bill.fee = q.value(3).toLongLong();
    r.closedAt = fromIsoText(q.value(4).toString());
    r.bill.minutes = q.value(5).toLongLong();
    r.bill.timeCharge = q.value(6).toLongLong();
    r.bill.minimumApplied = q.value(7).toInt() != 0;
    r.bill.extrasTotal = q.value(8).toLongLong();
    r.bill.total = q.value(9).toLongLong();
    if (!q.value(10).isNull())
        r.cancelledAt = fromIsoText(q.value(10).toString());
    r.cancelReason = q.value(11).toString();
    r.openedDate = q.value(12).toString();
    r.openedTime = q.value(13).toString();
    r.restart = q.value(14).toInt() != 0;
    r.review = q.value(15).toInt() != 0;
    if (!full)
        return r;
    r.feeLine = q.value(16).toString();
    if (!q.value(17).isNull())
        r.extrasFile = q.value(17).toByteArray();
    return r;
}

// By position: a kept statement never runs with values left from a use that stopped.
void bindAll(QSqlQuery &q, const QVariantList &values)
{
    for (int k = 0; k < values.size(); ++k)
        q.bindValue(k, values.at(k));
}

// A text bound as itself: a null QString would be bound as NULL.
QVariant text(const QString &s)
{
    return QVariant(s.isNull() ? QStringLiteral("") : s);
}

bool isLock(const QSqlError &e)
{
    return isLockError(e);
}

// What a check of every page found: "ok", or what is wrong (and whether a lock stopped it).
struct CheckResult
{
    QString text;
    bool locked = false;
};

CheckResult quickCheck(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next())
        return {q.lastError().text(), isLock(q.lastError())};
    return {q.value(0).toString()};
}
} // namespace

bool isLockError(const QSqlError &e)
{
    // SQLite's own result codes, as Qt passes them on.
    const QString code = e.nativeErrorCode();
    return code == QLatin1String("5") || code == QLatin1String("6");
}

DayTotals dayTotals(const QList<BillRecord> &bills, const QList<BillRecord> &earlierCancelled)
{
    DayTotals t;
    for (const BillRecord &b : bills) {
        if (b.restart) {
            ++t.restarts;
            t.restartTotal += b.bill.total;
        }
        // Cancelled on a later day, a bill stays in its own day's figures as they were closed.
        if (b.cancelled() && businessDay(b.cancelledAt) <= businessDay(b.closedAt))
            continue;
        ++t.paid;
        t.timeCharges += b.bill.timeCharge;
        t.extras += b.bill.extrasTotal;
        t.total += b.bill.total;
    }
    for (const BillRecord &b : earlierCancelled) {
        ++t.earlierCancels;
        t.earlierCancelTotal += b.bill.total;
    }
    t.total -= t.earlierCancelTotal;
    return t;
}

QString statusText(const BillRecord &b)
{
    if (b.review)
        return QStringLiteral("İncelenecek");
    if (b.restart)
        return QStringLiteral("Yeniden başlatıldı");
    if (b.cancelled())
        return QStringLiteral("İptal: ") + b.cancelReason;
    return QStringLiteral("Ödendi");
}

QString isoText(const QDateTime &moment)
{
    return moment.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QDateTime fromIsoText(const QString &text)
{
    // Read by hand: QDateTime's own parser took a third of reading a day's bills.
    const auto number = [&text](int from, int digits, int *out) {
        int value = 0;
        for (int k = from; k < from + digits; ++k) {
            const char16_t c = text.at(k).unicode();
            if (c < u'0' || c > u'9')
                return false;
            value = value * 10 + (c - u'0');
        }
        *out = value;
        return true;
    };
    int y, mo, d, h, mi, s;
    if (text.size() != 19 || text.at(4) != u'-' || text.at(7) != u'-' || text.at(10) != u'T' ||
        text.at(13) != u':' || text.at(16) != u':' || !number(0, 4, &y) || !number(5, 2, &mo) ||
        !number(8, 2, &d) || !number(11, 2, &h) || !number(14, 2, &mi) || !number(17, 2, &s))
        return QDateTime::fromString(text, Qt::ISODate); // not ours: as Qt reads it
    const QDate date(y, mo, d);
    const QTime time(h, mi, s);
    if (!date.isValid() || !time.isValid())
        return QDateTime::fromString(text, Qt::ISODate);
    return QDateTime(date, time);
}

// A check running on its own thread and what it found.
struct Ledger::Background
{
    std::unique_ptr<QThread> thread;
    CheckResult result;
};

struct Ledger::Statements
{
    std::unordered_map<const char *, QSqlQuery> prepared;
};

Ledger::Ledger()
    : m_connection(QStringLiteral("kelvora-ledger-%1").arg(++s_connections)),
      m_statements(std::make_unique<Statements>())
{
}

Ledger::~Ledger()
{
    dropCheck();
    closeConnection();
    QSqlDatabase::removeDatabase(m_connection);
}

QSqlQuery &Ledger::statement(const char *sql) const
{
    if (!isOpen())
        throwError(m_problem);
    if (const auto kept = m_statements->prepared.find(sql); kept != m_statements->prepared.end())
        return kept->second;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.prepare(QLatin1String(sql)))
        throwError(QStringLiteral("Defter okunamadı: %1").arg(q.lastError().text()));
    return m_statements->prepared.emplace(sql, std::move(q)).first->second;
}

void Ledger::dropStatements() const
{
    // Before the connection closes: closing finalizes them.
    m_statements->prepared.clear();
}

void Ledger::closeConnection()
{
    dropStatements();
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (db.isValid())
        db.close();
}

void Ledger::checkpoint() const noexcept
{
    if (!isOpen())
        return;
    static const QByteArray waitAgain = "PRAGMA busy_timeout = " + QByteArray::number(kBusyMs);
    try {
        for (const char *sql : {"PRAGMA busy_timeout = 0", "PRAGMA wal_checkpoint(TRUNCATE)",
                                waitAgain.constData()}) {
            QSqlQuery &q = statement(sql);
            q.exec();
            q.finish();
        }
    } catch (const RuntimeError &) {
        // Not prepared: left to the next step.
    }
}

void Ledger::fail(const QString &why, bool locked)
{
    closeConnection();
    m_open = false;
    m_checkPending = false;
    const QString file = files::native(m_path);
    m_locked = locked;
    m_shortProblem = locked ? QStringLiteral("başka bir program tarafından kullanılıyor")
                            : QStringLiteral("açılamadı ya da bozuk");
    m_problem = locked ? QStringLiteral("%1 başka bir program tarafından kullanılıyor; hesap "
                                        "kapatma ve gün sonu şimdilik yapılamıyor.")
                             .arg(file)
                       : QStringLiteral("%1 açılamadı ya da bozuk (%2). Dosyaya dokunulmadı; "
                                        "onarılana kadar hesap kapatma ve gün sonu yapılamaz.")
                             .arg(file, why);
}

bool Ledger::open(const QString &path, Check check)
{
    dropCheck();
    closeConnection();
    m_path = path;
    m_open = false;
    m_checkPending = false;
    const files::Kind kind = files::kind(path);
    if (kind == files::Kind::Other) {
        fail(QStringLiteral("dosya değil"));
        return false;
    }
    // A link would have the ledger written wherever it points, outside the data directory.
    if (QFileInfo(path).isSymLink()) {
        fail(QStringLiteral("bir bağlantı; defter yalnızca veri klasöründeki bir dosya olabilir"));
        return false;
    }
    const bool fresh = kind == files::Kind::Missing || QFileInfo(path).size() == 0;
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? QSqlDatabase::database(m_connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!db.isValid()) {
        fail(QStringLiteral("SQLite sürücüsü yok"));
        return false;
    }
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyMs));
    if (!db.open()) {
        fail(db.lastError().text(), isLock(db.lastError()));
        return false;
    }
    // The full check reads every page once; through the default 2 MB cache it would fill all
    // of it for nothing.
    QSqlQuery(db).exec(QStringLiteral("PRAGMA cache_size = -%1").arg(kCacheKiB));
    if (fresh) {
        QStringList made;
        for (const char *sql : kSchema)
            made << QLatin1String(sql);
        made << QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId);
        if (!runOnce(made))
            return false;
    } else if (!checkOwner()) {
        return false;
    } else if (check == Check::Later) {
        // Switching to WAL would write to a file not checked yet: only one already in WAL
        // (as the program makes them) waits for its check.
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA journal_mode")) || !q.next()) {
            fail(q.lastError().text(), isLock(q.lastError()));
            return false;
        }
        m_checkPending =
            q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
        if (!m_checkPending && !checkPages())
            return false;
    } else if (!checkPages()) {
        return false;
    }
    if (!useWal())
        return false;
    if (!m_checkPending && !upgrade())
        return false;
    m_open = true;
    m_problem.clear();
    m_shortProblem.clear();
    m_identity = fsys::fileIdentity(path);
    return true;
}

bool Ledger::useWal()
{
    // Survives a power cut: every commit is on the disk before it counts.
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if ((!m_checkPending && !q.exec(QStringLiteral("PRAGMA journal_mode = WAL"))) ||
        !q.exec(QStringLiteral("PRAGMA synchronous = FULL"))) {
        fail(q.lastError().text(), isLock(q.lastError()));
        return false;
    }
    return true;
}

bool Ledger::checkOwner()
{
    // Only read here: a file that is not the program's sound ledger is never changed.
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("PRAGMA application_id")) || !q.next()) {
        fail(q.lastError().text(), isLock(q.lastError()));
        return false;
    }
    if (q.value(0).toInt() != kApplicationId) {
        fail(QStringLiteral("bu programın defteri değil"));
        return false;
    }
    return true;
}

bool Ledger::checkPages()
{
    const CheckResult result = quickCheck(QSqlDatabase::database(m_connection, false));
    return took(result.text, result.locked);
}

bool Ledger::took(const QString &checkResult, bool locked)
{
    if (checkResult != QLatin1String("ok")) {
        fail(checkResult, locked);
        return false;
    }
    return true;
}

bool Ledger::checkNow()
{
    if (!checkPending())
        return m_open;
    if (m_background)
        return awaitCheck();
    if (!checkPages())
        return false; // closed, with the reason
    m_checkPending = false;
    return upgrade();
}

void Ledger::startCheck(QObject *receiver, std::function<void()> finished)
{
    if (!checkPending() || m_background)
        return;
    m_background = std::make_unique<Background>();
    Background *b = m_background.get();
    const QString path = m_path;
    const QString name = m_connection + QStringLiteral("-check");
    b->thread.reset(QThread::create([b, path, name] {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(path);
            db.setConnectOptions(
                QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(kCheckBusyMs));
            if (!db.open()) {
                b->result = {db.lastError().text(), isLock(db.lastError())};
            } else {
                QSqlQuery(db).exec(QStringLiteral("PRAGMA cache_size = -%1").arg(kCacheKiB));
                b->result = quickCheck(db);
            }
        }
        QSqlDatabase::removeDatabase(name);
    }));
    if (receiver && finished)
        QObject::connect(b->thread.get(), &QThread::finished, receiver, std::move(finished));
    b->thread->start();
}

bool Ledger::awaitCheck()
{
    const std::unique_ptr<Background> b = std::move(m_background);
    b->thread->wait();
    if (!took(b->result.text, b->result.locked))
        return false;
    m_checkPending = false;
    return upgrade();
}

bool Ledger::upgrade()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        fail(q.lastError().text(), isLock(q.lastError()));
        return false;
    }
    const int version = q.value(0).toInt();
    q.finish();
    if (version == kSchemaVersion)
        return true;
    if (version > kSchemaVersion) {
        fail(QStringLiteral("programın daha yeni bir sürümünün defteri"));
        return false;
    }
    QStringList changes;
    if (version < 2)
        for (const char *sql : kUpgradeTo2)
            changes << QLatin1String(sql);
    for (const char *sql : kUpgradeTo3)
        changes << QLatin1String(sql);
    return runOnce(changes);
}

bool Ledger::runOnce(QStringList statements)
{
    // All of it or none: a ledger is never left half made or half upgraded.
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    statements << QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion);
    bool ok = db.transaction();
    for (const QString &sql : statements)
        ok = ok && q.exec(sql);
    if (!ok || !db.commit()) {
        const QSqlError e = q.lastError().isValid() ? q.lastError() : db.lastError();
        db.rollback();
        fail(e.text(), isLock(e));
        return false;
    }
    return true;
}

void Ledger::dropCheck()
{
    if (m_background)
        m_background->thread->wait();
    m_background.reset();
}

bool Ledger::hasUnfinishedSteps() const
{
    if (!m_open)
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("SELECT 1 FROM journal WHERE done = 0 LIMIT 1")))
        return true;
    return q.next();
}

bool Ledger::reopen()
{
    if (m_path.isEmpty())
        return false;
    if (m_open && fsys::fileIdentity(m_path) == m_identity)
        return true;
    if (files::kind(m_path) == files::Kind::Missing) {
        fail(QStringLiteral("dosya yerinde yok"));
        return false;
    }
    return open(m_path);
}

QList<BillRecord> Ledger::bills(const QDateTime &from, const QDateTime &to, Detail detail) const
{
    QList<BillRecord> out;
    if (!isOpen())
        return out;
    const bool full = detail == Detail::Full;
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const auto select = [](bool full) {
        return QStringLiteral("SELECT %1 FROM bills WHERE closed_at >= ? AND closed_at < ?"
                              " ORDER BY closed_at, id")
            .arg(billColumns(full));
    };
    // A day's listing is asked each time Gün Sonu shows a day: its statement is kept.
    static const QByteArray listing = select(false).toUtf8();
    std::optional<QSqlQuery> fullQuery;
    if (full)
        fullQuery.emplace(db).prepare(select(true));
    QSqlQuery &q = full ? *fullQuery : statement(listing.constData());
    const auto done = qScopeGuard([&q] { q.finish(); }); // no read left open
    q.setForwardOnly(true);
    q.bindValue(0, isoText(from));
    q.bindValue(1, isoText(to));
    if (!q.exec())
        throwError(QStringLiteral("Defter okunamadı: %1").arg(q.lastError().text()));
    QHash<qint64, qsizetype> index;
    while (q.next()) {
        if (full)
            index.insert(q.value(0).toLongLong(), out.size());
        out << billOf(q, full);
    }
    if (!full)
        return out;
    QSqlQuery e(db);
    e.setForwardOnly(true);
    e.prepare(QStringLiteral("SELECT x.bill_id, x.name, x.price, x.carried FROM bill_extras x"
                             " JOIN bills b"
                             " ON b.id = x.bill_id WHERE b.closed_at >= ? AND b.closed_at < ?"
                             " ORDER BY x.bill_id, x.pos"));
    e.addBindValue(isoText(from));
    e.addBindValue(isoText(to));
    if (!e.exec())
        throwError(QStringLiteral("Defter okunamadı: %1").arg(e.lastError().text()));
    while (e.next())
        out[index.value(e.value(0).toLongLong())].extras
            << BookedExtra{e.value(1).toString(), e.value(2).toLongLong(), e.value(3).toInt() != 0};
    return out;
}

std::optional<BillRecord> Ledger::bill(qint64 id) const
{
    if (!isOpen())
        return std::nullopt;
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT %1 FROM bills WHERE id = ?").arg(billColumns()));
    q.addBindValue(id);
    if (!q.exec())
        throwError(QStringLiteral("Defter okunamadı: %1").arg(q.lastError().text()));
    if (!q.next())
        return std::nullopt;
    BillRecord r = billOf(q);
    QSqlQuery e(db);
    e.prepare(QStringLiteral(
        "SELECT name, price, carried FROM bill_extras WHERE bill_id = ? ORDER BY pos"));
    e.addBindValue(id);
    if (e.exec())
        while (e.next())
            r.extras << BookedExtra{e.value(0).toString(), e.value(1).toLongLong(),
                                    e.value(2).toInt() != 0};
    return r;
}

qint64 Ledger::billCount() const
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!isOpen() || !q.exec(QStringLiteral("SELECT count(*) FROM bills")) || !q.next())
        throwError(QStringLiteral("Defter okunamadı: %1").arg(q.lastError().text()));
    return q.value(0).toLongLong();
}

QList<BillRecord> Ledger::cancelledFromEarlierDays(const QDateTime &from, const QDateTime &to) const
{
    QList<BillRecord> out;
    if (!isOpen())
        return out;
    // A restart's bill is cancelled as it is written: never of an earlier day.
    static const QByteArray sql =
        QStringLiteral("SELECT %1 FROM bills WHERE cancelled_at >= ? AND cancelled_at < ?"
                       " AND closed_at < ? AND restart = 0 ORDER BY cancelled_at, id")
            .arg(billColumns(false))
            .toUtf8();
    QSqlQuery &q = statement(sql.constData());
    const auto done = qScopeGuard([&q] { q.finish(); });
    q.setForwardOnly(true);
    bindAll(q, {isoText(from), isoText(to), isoText(from)});
    if (!q.exec())
        throwError(QStringLiteral("Defter okunamadı: %1").arg(q.lastError().text()));
    while (q.next())
        out << billOf(q, false);
    return out;
}

const counter::Openings &Ledger::openings() const
{
    static const counter::Openings none;
    if (!isOpen() || (!m_openings && !m_openingsRetry.hasExpired()))
        return none;
    if (m_openings && m_openingsOf == m_identity)
        return *m_openings;
    // Not read again until written or another file is opened: the floor asks every second,
    // and never waits for another program's lock (it asks again a little later).
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA busy_timeout = 0"));
    const auto waitAgain =
        qScopeGuard([&q] { q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(kBusyMs)); });
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT table_pos, opened_date, opened_time, utc, boot_id,"
                               " since_boot_ms FROM openings"))) {
        m_openings.reset();
        constexpr int kRetryMs = 5000;
        m_openingsRetry.setRemainingTime(kRetryMs);
        return none;
    }
    m_openings.emplace();
    m_openingsOf = m_identity;
    while (q.next())
        m_openings->insert(q.value(0).toInt(),
                           {q.value(1).toString(), q.value(2).toString(),
                            QDateTime::fromString(q.value(3).toString(), Qt::ISODate),
                            q.value(4).toString(), q.value(5).toLongLong()});
    q.finish();
    return *m_openings;
}

bool Ledger::changeOpenings(const std::function<bool(QSqlQuery &)> &change) noexcept
{
    if (!isOpen())
        return false;
    try {
        openings(); // read before the change, so the kept copy follows it
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        QSqlQuery q(db);
        // An opening is not worth a wait: the register's text bills without it.
        q.exec(QStringLiteral("PRAGMA busy_timeout = 0"));
        const auto waitAgain =
            qScopeGuard([&q] { q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(kBusyMs)); });
        if (!db.transaction())
            return false;
        if (!change(q) || !db.commit()) {
            db.rollback();
            m_openings.reset(); // read again: what the file holds
            return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool Ledger::setOpening(int table, const std::optional<counter::Opening> &opening) noexcept
{
    const bool done = changeOpenings([&](QSqlQuery &q) {
        if (!opening) {
            q.prepare(QStringLiteral("DELETE FROM openings WHERE table_pos = ?"));
            q.addBindValue(table);
            return q.exec();
        }
        q.prepare(QStringLiteral("INSERT OR REPLACE INTO openings(table_pos, opened_date,"
                                 " opened_time, utc, boot_id, since_boot_ms)"
                                 " VALUES(?, ?, ?, ?, ?, ?)"));
        bindAll(q, {table, text(opening->dateLine), text(opening->timeLine),
                    opening->utc.toUTC().toString(Qt::ISODate), text(opening->bootId),
                    opening->sinceBootMs});
        return q.exec();
    });
    if (done && m_openings) {
        if (opening)
            m_openings->insert(table, *opening);
        else
            m_openings->remove(table);
    }
    return done;
}

bool Ledger::moveOpening(int from, int to) noexcept
{
    const bool done = changeOpenings([&](QSqlQuery &q) {
        q.prepare(QStringLiteral("DELETE FROM openings WHERE table_pos = ?"));
        q.addBindValue(to);
        if (!q.exec())
            return false;
        q.prepare(QStringLiteral("UPDATE openings SET table_pos = ? WHERE table_pos = ?"));
        q.addBindValue(to);
        q.addBindValue(from);
        return q.exec();
    });
    if (done && m_openings) {
        if (m_openings->contains(from))
            m_openings->insert(to, m_openings->take(from));
        else
            m_openings->remove(to);
    }
    return done;
}

} // namespace kv::ledger

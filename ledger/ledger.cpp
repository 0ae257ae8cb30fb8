#include "ledger.h"

#include "clock.h"
#include "errors.h"
#include "fsys.h"
#include "messages.h"
#include "recordlist.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>
#include <QVariant>

#include <algorithm>
#include <array>
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
    " restart INTEGER NOT NULL DEFAULT 0, review INTEGER NOT NULL DEFAULT 0,"
    " settle_event INTEGER, settle_hash TEXT, discount INTEGER NOT NULL DEFAULT 0,"
    " discount_percent INTEGER NOT NULL DEFAULT 0, discount_reason TEXT NOT NULL DEFAULT '',"
    " treats INTEGER NOT NULL DEFAULT 0, net INTEGER, part INTEGER NOT NULL DEFAULT 0) STRICT",
    "CREATE INDEX bills_by_closing ON bills(closed_at)",
    // Gün Sonu finds the earlier days' bills cancelled on the day shown.
    "CREATE INDEX bills_by_cancel ON bills(cancelled_at) WHERE cancelled_at IS NOT NULL",
    "CREATE TABLE bill_extras(bill_id INTEGER NOT NULL REFERENCES bills(id),"
    " pos INTEGER NOT NULL, name TEXT NOT NULL, price INTEGER NOT NULL,"
    " carried INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(bill_id, pos)) STRICT",
    // Each bill's time as it was billed: kind 'time', 'pause' or 'correction'.
    "CREATE TABLE bill_segments(bill_id INTEGER NOT NULL REFERENCES bills(id),"
    " pos INTEGER NOT NULL, kind TEXT NOT NULL, from_ms INTEGER NOT NULL,"
    " to_ms INTEGER NOT NULL, minutes INTEGER NOT NULL, fee INTEGER NOT NULL,"
    " charge INTEGER NOT NULL, reason TEXT NOT NULL DEFAULT '', PRIMARY KEY(bill_id, pos))"
    " STRICT",
    // Operations that change several files: what each is about to do, until it is done
    // (done: 0 pending, 1 done, 2 set aside). `guard` holds what each file and register
    // line it changes is before and after; `bill_ids` the bills it wrote.
    "CREATE TABLE journal(id INTEGER PRIMARY KEY, kind TEXT NOT NULL, created_at TEXT NOT NULL,"
    " done INTEGER NOT NULL DEFAULT 0, bill_id INTEGER, table_pos INTEGER, table_name TEXT,"
    " target_pos INTEGER, target_name TEXT, register_lines TEXT, extras_file BLOB,"
    " target_extras BLOB, guard BLOB, bill_ids TEXT, event TEXT) STRICT",
    "CREATE INDEX journal_open ON journal(done)",
    // What ties this ledger to its own write-ahead log and to the file beside it.
    "CREATE TABLE ledger_info(key TEXT PRIMARY KEY, value TEXT NOT NULL) STRICT",
    // Each open account's opening as an instant, beside the register text it belongs to.
    "CREATE TABLE openings(table_pos INTEGER PRIMARY KEY, opened_date TEXT NOT NULL,"
    " opened_time TEXT NOT NULL, utc TEXT NOT NULL, boot_id TEXT NOT NULL,"
    " since_boot_ms INTEGER NOT NULL) STRICT",
    // Who did what, chained: each row's hash covers the one before it.
    "CREATE TABLE events(id INTEGER PRIMARY KEY, at TEXT NOT NULL, operator TEXT NOT NULL,"
    " kind TEXT NOT NULL, table_name TEXT, detail TEXT NOT NULL, amount INTEGER,"
    " prev_hash TEXT NOT NULL, hash TEXT NOT NULL) STRICT",
    // İşlem Geçmişi reads one business day of them.
    "CREATE INDEX events_by_at ON events(at)",
    "CREATE TABLE cashiers(name TEXT NOT NULL PRIMARY KEY, role TEXT NOT NULL,"
    " pin_hash TEXT NOT NULL, position INTEGER NOT NULL) STRICT",
    // Which role an action needs, where cashiers are set up.
    "CREATE TABLE permissions(action TEXT NOT NULL PRIMARY KEY, role TEXT NOT NULL) STRICT",
    // What a bill gave on the house: the time charge (extra -1) or a booked extra.
    "CREATE TABLE bill_treats(bill_id INTEGER NOT NULL REFERENCES bills(id),"
    " pos INTEGER NOT NULL, extra INTEGER NOT NULL, amount INTEGER NOT NULL,"
    " reason TEXT NOT NULL DEFAULT '', PRIMARY KEY(bill_id, pos)) STRICT",
    // Money taken ('sale': at a settle, or ahead on an open account with no bill yet),
    // taken against a tab ('collect') or given back ('refund'); method 'cash', 'card', 'tab'.
    "CREATE TABLE payments(id INTEGER PRIMARY KEY, kind TEXT NOT NULL,"
    " bill_id INTEGER REFERENCES bills(id), table_pos INTEGER, opened_date TEXT,"
    " opened_time TEXT, ahead INTEGER NOT NULL DEFAULT 0, at TEXT NOT NULL,"
    " method TEXT NOT NULL, amount INTEGER NOT NULL, customer TEXT NOT NULL DEFAULT '',"
    " operator TEXT NOT NULL, cancelled_at TEXT) STRICT",
    "CREATE INDEX payments_by_bill ON payments(bill_id)",
    "CREATE INDEX payments_by_at ON payments(at)",
    "CREATE INDEX payments_by_customer ON payments(customer)",
    "CREATE TABLE customers(name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,"
    " created_at TEXT NOT NULL) STRICT",
    "CREATE TABLE shifts(id INTEGER PRIMARY KEY, cashier TEXT NOT NULL, opened_at TEXT NOT NULL,"
    " float INTEGER NOT NULL, closed_at TEXT, expected INTEGER, counted INTEGER,"
    " note TEXT NOT NULL DEFAULT '') STRICT",
    "CREATE TABLE cash_outs(id INTEGER PRIMARY KEY, at TEXT NOT NULL, amount INTEGER NOT NULL,"
    " reason TEXT NOT NULL, operator TEXT NOT NULL) STRICT",
};

// Version 2 marks restart bills and the extras they leave on their table; version 3 keeps
// steps' guards, bills set aside for review, the ledger's id and openings as instants, and
// declares its tables STRICT; version 4 keeps the chained events, the cashiers and their
// permissions, and ties each bill to its settle event; version 5 keeps each bill's segments;
// version 6 keeps how each bill was paid (discount, treats, payments), tabs and shifts.
constexpr int kSchemaVersion = 6;
constexpr int kMoneySince = 6;
constexpr int kIdSince = 3;
// What each version added to the tables of the first, which an older ledger lacks.
struct Added
{
    const char *table;
    const char *column; // none: the table itself
    int version;
};
constexpr Added kAdded[] = {
    {"bills", "restart", 2},
    {"bill_extras", "carried", 2},
    {"bills", "review", 3},
    {"journal", "guard", 3},
    {"journal", "bill_ids", 3},
    {"ledger_info", nullptr, 3},
    {"openings", nullptr, 3},
    {"bills", "settle_event", 4},
    {"bills", "settle_hash", 4},
    {"journal", "event", 4},
    {"events", nullptr, 4},
    {"cashiers", nullptr, 4},
    {"permissions", nullptr, 4},
    {"bill_segments", nullptr, 5},
    {"bills", "discount", 6},
    {"bills", "discount_percent", 6},
    {"bills", "discount_reason", 6},
    {"bills", "treats", 6},
    {"bills", "net", 6},
    {"bills", "part", 6},
    {"bill_treats", nullptr, 6},
    {"payments", nullptr, 6},
    {"customers", nullptr, 6},
    {"shifts", nullptr, 6},
    {"cash_outs", nullptr, 6},
};
// The tables an upgrade makes again, STRICT, with their rows (those the file has). A table
// that refers to bills is among them: renaming bills would rewrite its reference.
const char *const kRebuilt[] = {"bills",       "bill_extras", "bill_segments",
                                "bill_treats", "payments",    "journal"};
// The indexes of the tables made again: each goes with its table as it is renamed.
const char *const kRebuiltIndexes[] = {"bills_by_closing", "bills_by_cancel",
                                       "journal_open",     "payments_by_bill",
                                       "payments_by_at",   "payments_by_customer"};
// A bill of a ledger before payments were kept was paid in cash, whole: cancelled bills and
// restarts took nothing.
const char *const kPaidInCash[] = {
    "UPDATE bills SET net = total",
    "INSERT INTO payments(kind, bill_id, at, method, amount, operator)"
    " SELECT 'sale', id, closed_at, 'cash', total, '-' FROM bills"
    " WHERE cancelled_at IS NULL AND restart = 0 AND total > 0 ORDER BY id",
};

int addedIn(const QString &table, const QString &column = QString())
{
    for (const Added &a : kAdded)
        if (table == QLatin1String(a.table) &&
            (a.column ? column == QLatin1String(a.column) : column.isEmpty()))
            return a.version;
    return 1;
}

// Money and counts are whole numbers in the program's own files (STRICT tables); a file that
// is only read may hold text there, and text read as 0 would change a day's totals unseen.
void requireWhole(const QSqlQuery &q, std::initializer_list<int> columns, const char *table,
                  const QVariant &bill)
{
    for (const int c : columns) {
        const QVariant v = q.value(c);
        if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int)
            continue;
        throwError(QStringLiteral("Defter okunamadı: %1 numaralı fişin %2 değeri (%3 tablosunda) "
                                  "bir tamsayı değil: \"%4\". Bu defterin toplamları "
                                  "gösterilemez.")
                       .arg(bill.toString(), q.record().fieldName(c), QLatin1String(table),
                            v.toString().left(40)));
    }
}

// A bill's columns, as billOf() reads them: the first sixteen, then (where the file keeps them)
// its discount and whether it was paid apart; a listing leaves out the fee line and the extras
// file, whose pages it need not read.
QString billColumns(bool full = true, bool money = true)
{
    QString columns = QStringLiteral(
        "id, table_pos, table_name, fee, closed_at, minutes, time_charge, minimum_applied,"
        " extras_total, total, cancelled_at, cancel_reason, opened_date, opened_time, restart,"
        " review");
    if (money)
        columns += QStringLiteral(", discount, discount_percent, discount_reason, part");
    if (full)
        columns += QStringLiteral(", fee_line, extras_file");
    return columns;
}

BillRecord billOf(const QSqlQuery &q, bool full = true, bool money = true)
{
    requireWhole(q, {0, 1, 3, 5, 6, 7, 8, 9, 14, 15}, "bills", q.value(0));
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
    int next = 16;
    if (money) {
        requireWhole(q, {16, 17, 19}, "bills", q.value(0));
        r.settlement.discount = {q.value(16).toLongLong(), q.value(17).toInt(),
                                 q.value(18).toString()};
        r.part = q.value(19).toInt() != 0;
        next = 20;
    } else if (!r.cancelled() && !r.restart && r.bill.total > 0) {
        // Written before payments were kept: paid in cash, whole, as an upgrade reads it.
        r.settlement.payments = {{counter::Method::Cash, r.bill.total, {}, r.closedAt, false, 0}};
    }
    if (!full)
        return r;
    r.feeLine = q.value(next).toString();
    if (!q.value(next + 1).isNull())
        r.extrasFile = q.value(next + 1).toByteArray();
    return r;
}

// The columns readMoney() reads, each table's bill id first.
constexpr char kTreatColumns[] = "t.bill_id, t.extra, t.amount, t.reason";
constexpr char kPaymentColumns[] = "p.bill_id, p.id, p.method, p.amount, p.customer, p.at, p.ahead";

counter::Method methodRead(const QSqlQuery &q, int column, const char *table)
{
    const QString key = q.value(column).toString();
    // Read as cash, a method of another version's would be counted unseen.
    if (const std::optional<counter::Method> m = counter::methodOf(key))
        return *m;
    throwError(QStringLiteral("Defter okunamadı: %1 tablosundaki bir ödemenin yöntemi "
                              "bilinmiyor: \"%2\".")
                   .arg(QLatin1String(table), key.left(40)));
}

// Each bill's treats and payments taken at its settle or ahead (not refunds), from the two
// queries as bound and run here; `index` finds a bill by its id. Without `times` the payments'
// moments are left unread: a local time costs a look at the time zone each.
void readMoney(QList<BillRecord> &out, const QHash<qint64, qsizetype> &index, QSqlQuery &treats,
               QSqlQuery &payments, const QVariantList &values, bool times = true)
{
    for (QSqlQuery *q : {&treats, &payments}) {
        const auto done = qScopeGuard([q] { q->finish(); });
        q->setForwardOnly(true);
        for (int k = 0; k < values.size(); ++k)
            q->bindValue(k, values.at(k));
        if (!q->exec())
            throwError(QStringLiteral("Defter okunamadı: %1").arg(q->lastError().text()));
        const bool isTreat = q == &treats;
        while (q->next()) {
            const auto at = index.constFind(q->value(0).toLongLong());
            if (at == index.cend())
                continue;
            BillRecord &b = out[*at];
            if (isTreat) {
                requireWhole(*q, {1, 2}, "bill_treats", q->value(0));
                b.settlement.treats << counter::Treat{q->value(1).toInt(), q->value(2).toLongLong(),
                                                      q->value(3).toString()};
                continue;
            }
            requireWhole(*q, {1, 3, 6}, "payments", q->value(0));
            counter::Payment p;
            p.id = q->value(1).toLongLong();
            p.method = methodRead(*q, 2, "payments");
            p.amount = q->value(3).toLongLong();
            p.customer = q->value(4).toString();
            if (times)
                p.at = fromIsoText(q->value(5).toString());
            p.ahead = q->value(6).toInt() != 0;
            b.settlement.payments << p;
        }
    }
}

// A segment's columns, the bill's id first, as segmentOf() reads them.
QString segmentColumns(const QString &prefix = QString())
{
    QStringList columns;
    for (const char *c :
         {"bill_id", "kind", "from_ms", "to_ms", "minutes", "fee", "charge", "reason"})
        columns << prefix + QLatin1String(c);
    return columns.join(QStringLiteral(", "));
}

constexpr std::array<std::pair<counter::Segment::Kind, const char *>, 3> kSegmentKinds{{
    {counter::Segment::Kind::Time, "time"},
    {counter::Segment::Kind::Pause, "pause"},
    {counter::Segment::Kind::Correction, "correction"},
}};

counter::Segment segmentOf(const QSqlQuery &q)
{
    requireWhole(q, {0, 2, 3, 4, 5, 6}, "bill_segments", q.value(0));
    counter::Segment s;
    const QString kind = q.value(1).toString();
    const auto named = std::find_if(kSegmentKinds.cbegin(), kSegmentKinds.cend(),
                                    [&](const auto &k) { return kind == QLatin1String(k.second); });
    // Read as time, a kind of another version's would be billed or left out unseen.
    if (named == kSegmentKinds.cend())
        throwError(QStringLiteral("Defter okunamadı: %1 numaralı fişin süre bölümlerinden birinin "
                                  "türü (bill_segments tablosunda) bilinmiyor: \"%2\".")
                       .arg(q.value(0).toString(), kind.left(40)));
    s.kind = named->first;
    s.fromMs = q.value(2).toLongLong();
    s.toMs = q.value(3).toLongLong();
    s.minutes = q.value(4).toLongLong();
    s.fee = q.value(5).toLongLong();
    s.charge = q.value(6).toLongLong();
    s.reason = q.value(7).toString();
    return s;
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

// A column as PRAGMA table_xinfo describes it.
struct Column
{
    QString name, type, defaultValue;
    int notNull = 0, primaryKey = 0, hidden = 0;
    bool operator==(const Column &) const = default;
};

QList<Column> columnsOf(const QSqlDatabase &db, const QString &table)
{
    QList<Column> out;
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("PRAGMA table_xinfo(\"%1\")").arg(table)))
        while (q.next())
            out << Column{q.value(1).toString(), q.value(2).toString(), q.value(4).toString(),
                          q.value(3).toInt(),    q.value(5).toInt(),    q.value(6).toInt()};
    return out;
}

// The tables and indexes the schema makes, read from a database made with it in memory.
struct Reference
{
    QMap<QString, QList<Column>> tables;
    QSet<QString> indexes;
};

const Reference &reference()
{
    static const Reference made = [] {
        Reference r;
        const QString name = QStringLiteral("kelvora-ledger-reference");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(QStringLiteral(":memory:"));
            db.open();
            QSqlQuery q(db);
            for (const char *sql : kSchema)
                q.exec(QLatin1String(sql));
            q.exec(QStringLiteral("SELECT type, name FROM sqlite_master"));
            while (q.next()) {
                if (q.value(0).toString() == QLatin1String("table"))
                    r.tables.insert(q.value(1).toString(), {});
                else
                    r.indexes.insert(q.value(1).toString());
            }
            for (auto t = r.tables.begin(); t != r.tables.end(); ++t)
                *t = columnsOf(db, t.key());
        }
        QSqlDatabase::removeDatabase(name);
        return r;
    }();
    return made;
}

// What a look at a file found: whether it could be read at all, whether it is the program's
// own as it stands (else why not), and its version and id.
struct Inspection
{
    QString error;
    bool locked = false;
    QString foreign;
    bool newer = false;
    int version = 0;
    QString id;
};

QString columnsDiffer(const QString &table, const QList<Column> &want, const QList<Column> &have)
{
    for (qsizetype k = 0; k < std::max(want.size(), have.size()); ++k) {
        if (k < want.size() && k < have.size() && want[k] == have[k])
            continue;
        if (k >= want.size())
            return QStringLiteral("%1 tablosunda programın bilmediği bir sütun var: %2")
                .arg(table, have[k].name);
        if (k >= have.size() || want[k].name != have[k].name)
            return QStringLiteral("%1 tablosunun sütunları programınkiler değil (%2 beklenirdi)")
                .arg(table, want[k].name);
        return QStringLiteral("%1 tablosunun %2 sütunu programın yazdığı türde değil (%3%4)")
            .arg(table, have[k].name, have[k].type,
                 have[k].notNull ? QStringLiteral(" NOT NULL") : QString());
    }
    return QString();
}

Inspection inspect(const QSqlDatabase &db)
{
    Inspection found;
    QSqlQuery q(db);
    const auto read = [&](const QString &sql) {
        if (q.exec(sql) && q.next())
            return true;
        found.error = q.lastError().isValid() ? q.lastError().text() : QStringLiteral("boş");
        found.locked = isLock(q.lastError());
        return false;
    };
    if (!read(QStringLiteral("PRAGMA application_id")))
        return found;
    if (q.value(0).toInt() != kApplicationId) {
        found.foreign = QStringLiteral("bu programın defteri değil");
        return found;
    }
    if (!read(QStringLiteral("PRAGMA user_version")))
        return found;
    found.version = q.value(0).toInt();
    if (found.version > kSchemaVersion) {
        found.newer = true;
        found.foreign = QStringLiteral("programın daha yeni bir sürümünün defteri (sürüm %1)")
                            .arg(found.version);
        return found;
    }
    if (found.version < 1) {
        found.foreign = QStringLiteral("sürümü bilinmiyor");
        return found;
    }
    const Reference &ref = reference();
    if (!q.exec(QStringLiteral("SELECT type, name FROM sqlite_master ORDER BY type, name"))) {
        found.error = q.lastError().text();
        found.locked = isLock(q.lastError());
        return found;
    }
    QSet<QString> tables;
    while (q.next() && found.foreign.isEmpty()) {
        const QString type = q.value(0).toString(), name = q.value(1).toString();
        if (type == QLatin1String("trigger"))
            found.foreign = QStringLiteral("kendi tetikleyicisi (trigger) var: %1").arg(name);
        else if (type == QLatin1String("view"))
            found.foreign = QStringLiteral("kendi görünümü (view) var: %1").arg(name);
        else if (type == QLatin1String("index") && !ref.indexes.contains(name))
            found.foreign = QStringLiteral("programın yapmadığı bir dizini var: %1").arg(name);
        else if (type == QLatin1String("table") &&
                 (!ref.tables.contains(name) || addedIn(name) > found.version))
            found.foreign = QStringLiteral("programın yapmadığı bir tablosu var: %1").arg(name);
        tables.insert(name);
    }
    for (auto t = ref.tables.begin(); t != ref.tables.end() && found.foreign.isEmpty(); ++t) {
        if (addedIn(t.key()) > found.version)
            continue;
        if (!tables.contains(t.key())) {
            found.foreign = QStringLiteral("%1 tablosu yok").arg(t.key());
            break;
        }
        QList<Column> want;
        for (const Column &c : t.value())
            if (addedIn(t.key(), c.name) <= found.version)
                want << c;
        found.foreign = columnsDiffer(t.key(), want, columnsOf(db, t.key()));
    }
    // Version 3 was the first to keep the ledger's id.
    if (found.foreign.isEmpty() && found.version >= kIdSince &&
        q.exec(QStringLiteral("SELECT value FROM ledger_info WHERE key = 'id'")) && q.next())
        found.id = q.value(0).toString();
    if (!found.foreign.isEmpty() || found.version < kSchemaVersion)
        return found;
    // Its own tables refuse a value of another type; a table that does not, or whose column
    // has another type, may hold text where money is.
    q.exec(QStringLiteral("SELECT name, strict FROM pragma_table_list WHERE schema = 'main'"
                          " AND type = 'table' AND name NOT LIKE 'sqlite_%'"));
    while (q.next() && found.foreign.isEmpty())
        if (q.value(1).toInt() != 1)
            found.foreign = QStringLiteral("%1 tablosu değerlerin türünü denetlemiyor (STRICT "
                                           "değil)")
                                .arg(q.value(0).toString());
    return found;
}

// Whether each bill the file holds without its log is, with the log, still the same bill: a
// log only adds bills, marks them cancelled or takes back one it added.
bool keepsBills(const QString &withLog, const QString &alone, const QString &connection)
{
    bool same = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(withLog);
        db.open();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("ATTACH DATABASE ? AS alone"));
        q.addBindValue(alone);
        if (db.isOpen() && q.exec() &&
            q.exec(QStringLiteral(
                "SELECT 1 FROM bills b JOIN alone.bills a USING(id) WHERE b.table_name IS NOT"
                " a.table_name OR b.opened_date IS NOT a.opened_date OR b.opened_time IS NOT"
                " a.opened_time OR b.closed_at IS NOT a.closed_at OR b.total IS NOT a.total"
                " LIMIT 1")))
            same = !q.next();
    }
    QSqlDatabase::removeDatabase(connection);
    return same;
}

// Every write of the program also rewrites the row of the ledger's id, so that each log it
// leaves holds that page: another ledger's log then brings another id into the copy checked.
// Triggers of the connection alone (TEMP): the file holds none.
const char *const kIdInEveryLog[] = {"bills",    "journal", "openings",
                                     "payments", "shifts",  "cash_outs"};

// A ledger's id: 128 random bits as hex.
QString newId()
{
    std::array<quint32, 4> words;
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(words.data()), sizeof(words)).toHex());
}

QString readIdFile(const QString &file)
{
    if (files::kind(file) != files::Kind::Regular)
        return QString();
    try {
        const QString id = QString::fromLatin1(files::readRecordFile(file)).trimmed();
        static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{32}$"));
        return hex.match(id).hasMatch() ? id : QString();
    } catch (const RuntimeError &) {
        return QString();
    }
}

// Kept beside the ledger as well: a log the ledger's file cannot be asked about yet (it holds
// the upgrade that gave the ledger its id) is matched with it. Where it cannot be written the
// ledger still holds its id, so the next start writes it again.
void keepIdFile(const QString &file, const QString &id)
{
    if (readIdFile(file) != id)
        files::writeAtomically(file, id.toLatin1() + '\n');
}

// A copy of a ledger (with or without its log) in a directory of its own, looked at through a
// connection that may write: the copy alone takes in the log.
Inspection inspectCopy(const QString &file, const QString &connection, bool full,
                       QString *integrity)
{
    Inspection found;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(file);
        if (!db.open()) {
            found.error = db.lastError().text();
        } else {
            found = inspect(db);
            if (full && found.error.isEmpty() && found.foreign.isEmpty()) {
                QSqlQuery q(db);
                *integrity = q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next()
                                 ? q.value(0).toString()
                                 : q.lastError().text();
            }
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return found;
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
        // As they were paid, like the rest of its own day's figures: a later cancel, which
        // cancels the payments too, is that day's.
        const counter::Due d = b.due();
        t.gross += d.gross;
        t.treats += d.treats;
        t.discounts += d.discount;
        t.net += d.net;
        for (const counter::Payment &p : b.settlement.payments)
            t.byMethod.of(p.method) += p.amount;
    }
    for (const BillRecord &b : earlierCancelled) {
        ++t.earlierCancels;
        t.earlierCancelTotal += b.bill.total;
    }
    t.total -= t.earlierCancelTotal;
    return t;
}

counter::Due BillRecord::due() const
{
    counter::Due d;
    d.gross = bill.total;
    for (const counter::Treat &t : settlement.treats)
        d.treats += t.amount;
    d.discount = settlement.discount.amount;
    d.net = d.gross - d.treats - d.discount;
    for (const counter::Payment &p : settlement.payments)
        d.paid += p.amount;
    d.left = d.net - d.paid;
    return d;
}

qint64 &MethodSums::of(counter::Method method)
{
    switch (method) {
    case counter::Method::Card:
        return card;
    case counter::Method::Tab:
        return tab;
    case counter::Method::Cash:
        break;
    }
    return cash;
}

qint64 ShiftReport::expectedCash() const
{
    return shift.floatCash + taken.cash + collected.cash - refunded.cash - cashOut;
}

QLatin1String segmentKindName(counter::Segment::Kind kind)
{
    for (const auto &[k, name] : kSegmentKinds)
        if (k == kind)
            return QLatin1String(name);
    return QLatin1String("time");
}

qint64 billedMinutes(const BillRecord &b)
{
    if (b.segments.isEmpty())
        return b.bill.minutes;
    qint64 minutes = 0;
    for (const counter::Segment &s : b.segments)
        if (s.kind != counter::Segment::Kind::Pause)
            minutes += s.minutes;
    return minutes;
}

qint64 pausedMinutes(const BillRecord &b)
{
    qint64 minutes = 0;
    for (const counter::Segment &s : b.segments)
        if (s.kind == counter::Segment::Kind::Pause)
            minutes += s.minutes;
    return minutes;
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
    std::optional<ChainCheck> chain;
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
    // A file that is only read refuses every change with its reason.
    if (!readable() || (m_readOnly && qstrncmp(sql, "SELECT", 6) != 0))
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
                       : QStringLiteral("%1 açılamadı ya da bozuk (%2). %3; onarılana kadar "
                                        "hesap kapatma ve gün sonu yapılamaz.")
                             .arg(file, why,
                                  // Its own log, found sound on a copy, goes into it as the
                                  // connection closes.
                                  m_logTaken ? QStringLiteral("Dosyaya yalnızca yanındaki kendi "
                                                              "günlüğü işlendi")
                                             : QStringLiteral("Dosyaya dokunulmadı"));
}

QString Ledger::idFile(const QString &ledgerPath)
{
    const QFileInfo info(ledgerPath);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".id");
}

bool Ledger::open(const QString &path, Check check)
{
    dropCheck();
    closeConnection();
    m_path = path;
    m_open = false;
    m_checkPending = false;
    m_readOnly = false;
    // A ledger that may be written has them, upgraded where it had not.
    m_segments = true;
    m_money = true;
    m_logTaken = false;
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
    bool logUnchecked = false;
    if (!vetLogs(fresh, &logUnchecked))
        return false;
    if (logUnchecked)
        check = Check::Now; // a connection that may write is opened only on a file found sound
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? QSqlDatabase::database(m_connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!db.isValid()) {
        fail(QStringLiteral("SQLite sürücüsü yok"));
        return false;
    }
    db.setDatabaseName(path);
    if (fresh) {
        if (!connect(false))
            return false;
        const QString id = newId();
        keepIdFile(idFile(path), id);
        QStringList made;
        for (const char *sql : kSchema)
            made << QLatin1String(sql);
        made << QStringLiteral("INSERT INTO ledger_info(key, value) VALUES('id', '%1')").arg(id)
             << QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId);
        if (!runOnce(made))
            return false;
    } else {
        // With a log that did not pass, only read: a connection that may write puts the log
        // into the file as it closes. Without one it writes nothing until it is asked to.
        if (!connect(logUnchecked))
            return false;
        const Inspection found = inspect(db);
        if (!found.error.isEmpty()) {
            fail(found.error, found.locked);
            return false;
        }
        if (!found.foreign.isEmpty())
            return (logUnchecked || connect(true)) && openReadOnly(found.foreign, found.newer);
        if (check == Check::Later) {
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
        if (logUnchecked && !connect(false))
            return false;
    }
    if (!m_checkPending && !upgrade())
        return false;
    if (!useWal())
        return false;
    m_open = true;
    m_problem.clear();
    m_shortProblem.clear();
    m_identity = fsys::fileIdentity(path);
    return true;
}

bool Ledger::connect(bool readOnly)
{
    closeConnection();
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    db.setConnectOptions(QStringLiteral("%1QSQLITE_BUSY_TIMEOUT=%2")
                             .arg(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;") : QString())
                             .arg(kBusyMs));
    if (!db.open()) {
        fail(db.lastError().text(), isLock(db.lastError()));
        return false;
    }
    // The full check reads every page once; through the default 2 MB cache it would fill all
    // of it for nothing.
    QSqlQuery(db).exec(QStringLiteral("PRAGMA cache_size = -%1").arg(kCacheKiB));
    return true;
}

bool Ledger::vetLogs(bool fresh, bool *unchecked)
{
    const QString name = QFileInfo(m_path).fileName();
    for (const QLatin1String suffix : {QLatin1String("-wal"), QLatin1String("-journal")}) {
        const QString log = m_path + suffix;
        if (files::kind(log) != files::Kind::Regular || QFileInfo(log).size() == 0)
            continue;
        if (fresh) {
            if (!setAside(log, QStringLiteral("%1 yokken kalmış").arg(name)))
                return false;
            continue;
        }
        // Taken in by the copy only: the ledger's own file is not read with it until it passed.
        const auto written = [&log] {
            const QFileInfo info(log);
            return std::make_pair(info.size(), info.lastModified());
        };
        const auto copied = written();
        QTemporaryDir dir;
        const QString both = dir.filePath(QStringLiteral("l.db")),
                      alone = dir.filePath(QStringLiteral("a.db"));
        const auto copy = [](const QString &from, const QString &to) {
            return QFile::copy(from, to) &&
                   QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
        };
        if (!dir.isValid() || !copy(m_path, both) || !copy(log, both + suffix) ||
            !copy(m_path, alone)) {
            fail(QStringLiteral("yanındaki %1 denetlenemedi: geçici kopyası yapılamadı")
                     .arg(QFileInfo(log).fileName()));
            return false;
        }
        const QString connection = m_connection + QStringLiteral("-log");
        QString integrity, aloneIntegrity;
        const Inspection withLog = inspectCopy(both, connection, true, &integrity);
        QString why;
        if (!withLog.error.isEmpty())
            why = withLog.error;
        else if (!withLog.foreign.isEmpty())
            why = withLog.foreign;
        else if (integrity != QLatin1String("ok"))
            why = QStringLiteral("defteri bozuyor (%1)").arg(integrity.section(u'\n', 0, 0));
        if (why.isEmpty()) {
            // The id the file holds without the log; where it holds none yet, the one beside it.
            QString id = inspectCopy(alone, connection, false, &aloneIntegrity).id;
            if (id.isEmpty())
                id = readIdFile(idFile(m_path));
            // A log that takes the ledger back before its upgrade brings no id of its own.
            if (!id.isEmpty() && withLog.version >= kIdSince && id != withLog.id)
                why = QStringLiteral("başka bir deftere ait");
            else if (!keepsBills(both, alone, connection))
                why = QStringLiteral("defterdeki fişlerin yerine başka fişler koyuyor");
            if (why.isEmpty()) {
                m_logTaken = true;
                continue;
            }
        } else {
            // Only a file that is sound and the program's own without the log is kept from it;
            // any other is only read as it stands, or refused.
            const Inspection fileAlone = inspectCopy(alone, connection, true, &aloneIntegrity);
            if (!fileAlone.error.isEmpty() || !fileAlone.foreign.isEmpty() ||
                aloneIntegrity != QLatin1String("ok")) {
                *unchecked = true;
                continue;
            }
        }
        // Written while it was copied: another program has the ledger open, and the log is
        // its own; it is left to it, and the file is only read until found sound.
        if (written() != copied) {
            *unchecked = true;
            continue;
        }
        if (!setAside(log, why))
            return false;
    }
    return true;
}

bool Ledger::setAside(const QString &log, const QString &why)
{
    const QString stamp = clock::now().toString(QStringLiteral("yyyy-MM-dd-HHmm"));
    QString target = log + QLatin1Char('.') + stamp + QStringLiteral(".ayrildi");
    for (int n = 2; files::kind(target) != files::Kind::Missing; ++n)
        target = log + QLatin1Char('.') + stamp + QLatin1Char('-') + QString::number(n) +
                 QStringLiteral(".ayrildi");
    const QString name = QFileInfo(m_path).fileName(), logName = QFileInfo(log).fileName();
    if (!QFile::rename(log, target)) {
        fail(QStringLiteral("yanındaki %1 ona ait değil (%2) ve kenara alınamadı")
                 .arg(logName, why));
        return false;
    }
    fsys::syncDirectory(QFileInfo(log).absolutePath());
    messages::inform(QStringLiteral("%1 yanında kalan günlük dosyası %2 bu deftere uymuyor: %3. "
                                    "Günlük deftere işlenmedi; %4 olarak kenara alındı "
                                    "(silinmedi). %1 günlüksüz haliyle kullanılıyor.")
                         .arg(name, logName, why, files::native(target)));
    return true;
}

bool Ledger::openReadOnly(const QString &why, bool newer)
{
    // Its check too is now: it is read at once, as it stands.
    if (!checkPages())
        return false;
    // Gün Sonu reads these columns: a file without them cannot be shown at all.
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("SELECT %1 FROM bills LIMIT 0").arg(billColumns(true, false))) ||
        !q.exec(QStringLiteral("SELECT bill_id, pos, name, price, carried FROM bill_extras"
                               " LIMIT 0"))) {
        fail(why);
        return false;
    }
    // A ledger from before segments were kept shows its bills without them.
    m_segments =
        q.exec(QStringLiteral("SELECT pos, %1 FROM bill_segments LIMIT 0").arg(segmentColumns()));
    // One from before payments were kept shows its bills as paid in cash.
    m_money = q.exec(QStringLiteral("SELECT %1 FROM bills LIMIT 0").arg(billColumns(false))) &&
              q.exec(QStringLiteral("SELECT %1 FROM bill_treats t LIMIT 0")
                         .arg(QLatin1String(kTreatColumns))) &&
              q.exec(QStringLiteral("SELECT %1, kind, cancelled_at, table_pos FROM payments p"
                                    " LIMIT 0")
                         .arg(QLatin1String(kPaymentColumns))) &&
              q.exec(QStringLiteral("SELECT name FROM customers LIMIT 0")) &&
              q.exec(QStringLiteral("SELECT id, cashier, opened_at, float, closed_at, expected,"
                                    " counted, note FROM shifts LIMIT 0")) &&
              q.exec(QStringLiteral("SELECT at, amount, reason, operator FROM cash_outs LIMIT 0"));
    q.finish();
    m_open = true;
    m_readOnly = true;
    m_identity = fsys::fileIdentity(m_path);
    m_problem = QStringLiteral("%1 yalnızca okunmak üzere açıldı: %2. Gün Sonu gösterilir, ama bu "
                               "defterle hesap kapatılamaz, masa taşınamaz, fiş iptal edilemez; "
                               "dosyaya hiçbir şey yazılmaz.")
                    .arg(files::native(m_path), why);
    m_shortProblem = QStringLiteral("yalnızca okunabilir (%1)").arg(why);
    if (newer)
        m_problem += QStringLiteral(" Toplamlar yeni sürümün eklediği bilgileri (örneğin "
                                    "indirimleri) hesaba katmaz.");
    return false;
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
    const QString anchors = anchorsFile(m_path);
    const QString name = m_connection + QStringLiteral("-check");
    b->thread.reset(QThread::create([b, path, anchors, name] {
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
                // The event chain is walked on the same read: a ledger from before the log
                // has none to walk.
                QSqlQuery q(db);
                if (b->result.text == QLatin1String("ok") &&
                    q.exec(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table'"
                                          " AND name = 'events'")) &&
                    q.next()) {
                    q.finish();
                    b->chain = verifyChain(db, anchors);
                }
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
    m_startChain = b->chain;
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
    if (version > kSchemaVersion) {
        fail(QStringLiteral("programın daha yeni bir sürümünün defteri"));
        return false;
    }
    QString id;
    if (version >= kIdSince &&
        q.exec(QStringLiteral("SELECT value FROM ledger_info WHERE key = 'id'")) && q.next())
        id = q.value(0).toString();
    q.finish();
    const QString beside = idFile(m_path);
    if (!id.isEmpty() && version == kSchemaVersion) {
        keepIdFile(beside, id);
        return markEveryWrite();
    }
    // The one beside it where an upgrade that wrote it did not reach the ledger; written before
    // the ledger takes it, so that the log of that upgrade has an id to be matched with.
    if (id.isEmpty())
        id = readIdFile(beside);
    if (id.isEmpty())
        id = newId();
    keepIdFile(beside, id);
    const QString keepId =
        QStringLiteral("INSERT OR REPLACE INTO ledger_info(key, value) VALUES('id', '%1')").arg(id);
    if (!(version == kSchemaVersion ? runOnce({keepId}) : rebuildStrict(keepId, version)))
        return false;
    return markEveryWrite();
}

bool Ledger::markEveryWrite()
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    for (const char *table : kIdInEveryLog)
        for (const char *event : {"INSERT", "UPDATE", "DELETE"}) {
            const QString sql =
                QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS id_%1_%2 AFTER %2 ON main.%1"
                               " BEGIN INSERT OR REPLACE INTO ledger_info(key, value)"
                               " SELECT key, value FROM ledger_info WHERE key = 'id'; END")
                    .arg(QLatin1String(table), QLatin1String(event));
            if (!q.exec(sql)) {
                fail(q.lastError().text(), isLock(q.lastError()));
                return false;
            }
        }
    return true;
}

bool Ledger::rebuildStrict(const QString &keepId, int from)
{
    // Each table made again as a fresh ledger declares it, STRICT, its rows copied: a value of
    // another type stops it all, and the file stays as it was.
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    QMap<QString, QString> kept; // the columns each table has now; one it lacks is made anew
    for (const char *table : kRebuilt) {
        QStringList names;
        for (const Column &c : columnsOf(db, QLatin1String(table)))
            names << c.name;
        if (!names.isEmpty())
            kept.insert(QLatin1String(table), names.join(QStringLiteral(", ")));
    }
    QStringList before;
    for (const QString &table : kept.keys())
        before << QStringLiteral("ALTER TABLE %1 RENAME TO old_%1").arg(table);
    for (const char *index : kRebuiltIndexes)
        before << QStringLiteral("DROP INDEX IF EXISTS %1").arg(QLatin1String(index));
    // Tables that are not made again stay as they are where a later version made them.
    for (const char *sql : kSchema)
        before << QString::fromLatin1(sql)
                      .replace(QLatin1String("CREATE TABLE "),
                               QLatin1String("CREATE TABLE IF NOT EXISTS "))
                      .replace(QLatin1String("CREATE INDEX "),
                               QLatin1String("CREATE INDEX IF NOT EXISTS "));
    bool ok = db.transaction();
    for (const QString &sql : std::as_const(before))
        ok = ok && q.exec(sql);
    QString why;
    for (auto t = kept.cbegin(); ok && t != kept.cend(); ++t) {
        const QString copy =
            QStringLiteral("INSERT INTO %1(%2) SELECT %2 FROM old_%1").arg(t.key(), t.value());
        if (q.exec(copy))
            continue;
        ok = false;
        // Row by row, to name the one that does not fit.
        QSqlQuery ids(db), one(db);
        ids.setForwardOnly(true);
        ids.exec(QStringLiteral("SELECT rowid FROM old_%1 ORDER BY rowid").arg(t.key()));
        one.prepare(copy + QStringLiteral(" WHERE rowid = ?"));
        while (ids.next()) {
            one.bindValue(0, ids.value(0));
            if (!one.exec()) {
                why = QStringLiteral("yeni sürüme geçirilemedi: %1 tablosunun %2 numaralı satırı "
                                     "yeni türüne uymuyor (%3)")
                          .arg(t.key(), ids.value(0).toString(), one.lastError().databaseText());
                break;
            }
        }
    }
    for (const QString &table : kept.keys())
        ok = ok && q.exec(QStringLiteral("DROP TABLE old_%1").arg(table));
    if (from < kMoneySince)
        for (const char *sql : kPaidInCash)
            ok = ok && q.exec(QLatin1String(sql));
    ok = ok && q.exec(keepId) &&
         q.exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion)) && db.commit();
    if (!ok) {
        const QSqlError e = q.lastError().isValid() ? q.lastError() : db.lastError();
        db.rollback();
        fail(why.isEmpty() ? e.text() : why, why.isEmpty() && isLock(e));
        return false;
    }
    return true;
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
    if (!readable())
        return out;
    const bool full = detail == Detail::Full;
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const auto select = [](bool full, bool money) {
        return QStringLiteral("SELECT %1 FROM bills WHERE closed_at >= ? AND closed_at < ?"
                              " ORDER BY closed_at, id")
            .arg(billColumns(full, money));
    };
    // A day's listing is asked each time Gün Sonu shows a day: its statement is kept.
    static const QByteArray listing = select(false, true).toUtf8();
    static const QByteArray olderListing = select(false, false).toUtf8();
    std::optional<QSqlQuery> fullQuery;
    if (full)
        fullQuery.emplace(db).prepare(select(true, m_money));
    QSqlQuery &q = full      ? *fullQuery
                   : m_money ? statement(listing.constData())
                             : statement(olderListing.constData());
    const auto done = qScopeGuard([&q] { q.finish(); }); // no read left open
    q.setForwardOnly(true);
    q.bindValue(0, isoText(from));
    q.bindValue(1, isoText(to));
    if (!q.exec())
        throwError(QStringLiteral("Defter okunamadı: %1").arg(q.lastError().text()));
    QHash<qint64, qsizetype> index;
    while (q.next()) {
        index.insert(q.value(0).toLongLong(), out.size());
        out << billOf(q, full, m_money);
    }
    if (m_money && !out.isEmpty()) {
        // Gün Sonu adds up each method: the day's in two reads, in the order the indexes give
        // them (no sorting). Those taken ahead were written before their settle's.
        static const QByteArray dayTreats =
            QStringLiteral("SELECT %1 FROM bill_treats t JOIN bills b ON b.id = t.bill_id"
                           " WHERE b.closed_at >= ? AND b.closed_at < ?"
                           " ORDER BY b.closed_at, b.id, t.pos")
                .arg(QLatin1String(kTreatColumns))
                .toUtf8();
        static const QByteArray dayPayments =
            QStringLiteral("SELECT %1 FROM payments p JOIN bills b ON b.id = p.bill_id"
                           " WHERE b.closed_at >= ? AND b.closed_at < ? AND p.kind = 'sale'"
                           " ORDER BY b.closed_at, b.id, p.id")
                .arg(QLatin1String(kPaymentColumns))
                .toUtf8();
        readMoney(out, index, statement(dayTreats.constData()), statement(dayPayments.constData()),
                  {isoText(from), isoText(to)}, full);
    }
    if (m_segments && !out.isEmpty()) {
        // Gün Sonu's export counts them: the day's in one read.
        static const QByteArray daySegments =
            QStringLiteral("SELECT %1 FROM bill_segments s JOIN bills b ON b.id = s.bill_id"
                           " WHERE b.closed_at >= ? AND b.closed_at < ?"
                           " ORDER BY b.closed_at, b.id, s.pos")
                .arg(segmentColumns(QStringLiteral("s.")))
                .toUtf8();
        QSqlQuery &s = statement(daySegments.constData());
        const auto segmentsDone = qScopeGuard([&s] { s.finish(); });
        s.setForwardOnly(true);
        bindAll(s, {isoText(from), isoText(to)});
        if (!s.exec())
            throwError(QStringLiteral("Defter okunamadı: %1").arg(s.lastError().text()));
        while (s.next())
            if (const auto at = index.constFind(s.value(0).toLongLong()); at != index.cend())
                out[*at].segments << segmentOf(s);
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
    while (e.next()) {
        requireWhole(e, {2}, "bill_extras", e.value(0));
        if (const auto at = index.constFind(e.value(0).toLongLong()); at != index.cend())
            out[*at].extras << BookedExtra{e.value(1).toString(), e.value(2).toLongLong(),
                                           e.value(3).toInt() != 0};
    }
    return out;
}

std::optional<BillRecord> Ledger::bill(qint64 id) const
{
    if (!readable())
        return std::nullopt;
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT %1 FROM bills WHERE id = ?").arg(billColumns(true, m_money)));
    q.addBindValue(id);
    if (!q.exec())
        throwError(QStringLiteral("Defter okunamadı: %1").arg(q.lastError().text()));
    if (!q.next())
        return std::nullopt;
    QList<BillRecord> one{billOf(q, true, m_money)};
    q.finish();
    fillMoney(one);
    BillRecord r = one.takeFirst();
    QSqlQuery e(db);
    e.prepare(QStringLiteral(
        "SELECT name, price, carried FROM bill_extras WHERE bill_id = ? ORDER BY pos"));
    e.addBindValue(id);
    if (e.exec())
        while (e.next()) {
            requireWhole(e, {1}, "bill_extras", id);
            r.extras << BookedExtra{e.value(0).toString(), e.value(1).toLongLong(),
                                    e.value(2).toInt() != 0};
        }
    if (!m_segments)
        return r;
    QSqlQuery s(db);
    s.prepare(QStringLiteral("SELECT %1 FROM bill_segments WHERE bill_id = ? ORDER BY pos")
                  .arg(segmentColumns()));
    s.addBindValue(id);
    if (!s.exec())
        throwError(QStringLiteral("Defter okunamadı: %1").arg(s.lastError().text()));
    while (s.next())
        r.segments << segmentOf(s);
    return r;
}

qint64 Ledger::billCount() const
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!readable() || !q.exec(QStringLiteral("SELECT count(*) FROM bills")) || !q.next())
        throwError(QStringLiteral("Defter okunamadı: %1").arg(q.lastError().text()));
    return q.value(0).toLongLong();
}

QList<BillRecord> Ledger::cancelledFromEarlierDays(const QDateTime &from, const QDateTime &to) const
{
    QList<BillRecord> out;
    if (!readable())
        return out;
    // A restart's bill is cancelled as it is written: never of an earlier day.
    const auto select = [](bool money) {
        return QStringLiteral("SELECT %1 FROM bills WHERE cancelled_at >= ? AND cancelled_at < ?"
                              " AND closed_at < ? AND restart = 0 ORDER BY cancelled_at, id")
            .arg(billColumns(false, money))
            .toUtf8();
    };
    static const QByteArray sql = select(true), olderSql = select(false);
    QSqlQuery &q = statement(m_money ? sql.constData() : olderSql.constData());
    {
        const auto done = qScopeGuard([&q] { q.finish(); });
        q.setForwardOnly(true);
        bindAll(q, {isoText(from), isoText(to), isoText(from)});
        if (!q.exec())
            throwError(QStringLiteral("Defter okunamadı: %1").arg(q.lastError().text()));
        while (q.next())
            out << billOf(q, false, m_money);
    }
    fillMoney(out);
    return out;
}

void Ledger::fillMoney(QList<BillRecord> &bills) const
{
    if (!m_money || bills.isEmpty())
        return;
    // Few bills, known by their ids: numbers, written into the statement as they are.
    QHash<qint64, qsizetype> index;
    QStringList ids;
    for (qsizetype k = 0; k < bills.size(); ++k) {
        index.insert(bills.at(k).id, k);
        ids << QString::number(bills.at(k).id);
    }
    const QString in = ids.join(QLatin1Char(','));
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery treats(db), payments(db);
    treats.prepare(QStringLiteral("SELECT %1 FROM bill_treats t WHERE t.bill_id IN (%2)"
                                  " ORDER BY t.bill_id, t.pos")
                       .arg(QLatin1String(kTreatColumns), in));
    payments.prepare(QStringLiteral("SELECT %1 FROM payments p WHERE p.bill_id IN (%2)"
                                    " AND p.kind = 'sale' ORDER BY p.bill_id, p.ahead DESC, p.id")
                         .arg(QLatin1String(kPaymentColumns), in));
    readMoney(bills, index, treats, payments, {});
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

namespace {
// The money of a file only read from before it was kept: none.
[[noreturn]] void unreadable(const QSqlQuery &q)
{
    throwError(QStringLiteral("Defter okunamadı: %1").arg(q.lastError().text()));
}

void run(QSqlQuery &q, const QVariantList &values = {})
{
    q.setForwardOnly(true);
    for (int k = 0; k < values.size(); ++k)
        q.bindValue(k, values.at(k));
    if (!q.exec())
        unreadable(q);
}

constexpr char kShiftColumns[] =
    "id, cashier, opened_at, float, closed_at, expected, counted, note";

Shift shiftOf(const QSqlQuery &q)
{
    requireWhole(q, {0, 3}, "shifts", q.value(0));
    Shift s;
    s.id = q.value(0).toLongLong();
    s.cashier = q.value(1).toString();
    s.openedAt = fromIsoText(q.value(2).toString());
    s.floatCash = q.value(3).toLongLong();
    if (!q.value(4).isNull())
        s.closedAt = fromIsoText(q.value(4).toString());
    if (!q.value(5).isNull())
        s.expected = q.value(5).toLongLong();
    if (!q.value(6).isNull())
        s.counted = q.value(6).toLongLong();
    s.note = q.value(7).toString();
    return s;
}

// A tab's movements: the tab part of a sale (owed) and each collection against it.
constexpr char kTabLines[] =
    "SELECT p.customer, p.at, p.amount, p.kind, p.method, p.bill_id, b.table_name,"
    " p.cancelled_at IS NOT NULL OR b.cancelled_at IS NOT NULL, p.operator"
    " FROM payments p LEFT JOIN bills b ON b.id = p.bill_id"
    " WHERE ((p.kind = 'sale' AND p.method = 'tab') OR p.kind = 'collect')";

TabLine tabLineOf(const QSqlQuery &q)
{
    requireWhole(q, {2}, "payments", q.value(5));
    TabLine t;
    t.customer = q.value(0).toString();
    t.at = fromIsoText(q.value(1).toString());
    const bool collect = q.value(3).toString() == QLatin1String("collect");
    t.amount = collect ? -q.value(2).toLongLong() : q.value(2).toLongLong();
    t.method = collect ? methodRead(q, 4, "payments") : counter::Method::Tab;
    t.billId = q.value(5).toLongLong();
    t.tableName = q.value(6).toString();
    t.cancelled = q.value(7).toInt() != 0;
    t.op = q.value(8).toString();
    return t;
}

bool byName(const QString &a, const QString &b)
{
    return QString::localeAwareCompare(a, b) < 0;
}
} // namespace

QList<counter::Payment> Ledger::paymentsAhead(int table) const
{
    QList<counter::Payment> out;
    if (!readable() || !m_money)
        return out;
    QSqlQuery &q = statement("SELECT id, method, amount, customer, at FROM payments"
                             " WHERE bill_id IS NULL AND ahead = 1 AND cancelled_at IS NULL"
                             " AND table_pos = ? ORDER BY id");
    const auto done = qScopeGuard([&q] { q.finish(); });
    run(q, {table});
    while (q.next()) {
        requireWhole(q, {0, 2}, "payments", q.value(0));
        counter::Payment p;
        p.id = q.value(0).toLongLong();
        p.method = methodRead(q, 1, "payments");
        p.amount = q.value(2).toLongLong();
        p.customer = q.value(3).toString();
        p.at = fromIsoText(q.value(4).toString());
        p.ahead = true;
        out << p;
    }
    return out;
}

QStringList Ledger::customers() const
{
    QStringList out;
    if (!readable() || !m_money)
        return out;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT name FROM customers"));
    run(q);
    while (q.next())
        out << q.value(0).toString();
    std::sort(out.begin(), out.end(), byName);
    return out;
}

QList<TabBalance> Ledger::tabBalances() const
{
    QList<TabBalance> out;
    if (!readable() || !m_money)
        return out;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    // A tab part of a cancelled bill was cancelled with it: no longer owed.
    q.prepare(
        QStringLiteral("SELECT c.name, coalesce(sum(CASE p.kind WHEN 'collect' THEN -p.amount"
                       " ELSE p.amount END), 0), max(p.at) FROM customers c LEFT JOIN payments p"
                       " ON p.customer = c.name AND p.cancelled_at IS NULL"
                       " AND ((p.kind = 'sale' AND p.method = 'tab') OR p.kind = 'collect')"
                       " GROUP BY c.name"));
    run(q);
    while (q.next()) {
        requireWhole(q, {1}, "payments", q.value(0));
        TabBalance t;
        t.customer = q.value(0).toString();
        t.balance = q.value(1).toLongLong();
        if (!q.value(2).isNull())
            t.last = fromIsoText(q.value(2).toString());
        out << t;
    }
    std::sort(out.begin(), out.end(), [](const TabBalance &a, const TabBalance &b) {
        if ((a.balance > 0) != (b.balance > 0))
            return a.balance > 0;
        return byName(a.customer, b.customer);
    });
    return out;
}

QList<TabLine> Ledger::tabLines(const QString &customer) const
{
    QList<TabLine> out;
    if (!readable() || !m_money)
        return out;
    static const QByteArray sql = QByteArray(kTabLines) + " AND p.customer = ? ORDER BY p.at, p.id";
    QSqlQuery &q = statement(sql.constData());
    const auto done = qScopeGuard([&q] { q.finish(); });
    run(q, {customer});
    while (q.next())
        out << tabLineOf(q);
    return out;
}

MethodSums Ledger::collections(const QDateTime &from, const QDateTime &to) const
{
    MethodSums out;
    if (!readable() || !m_money)
        return out;
    QSqlQuery &q = statement("SELECT method, sum(amount) FROM payments WHERE kind = 'collect'"
                             " AND at >= ? AND at < ? AND cancelled_at IS NULL GROUP BY method");
    const auto done = qScopeGuard([&q] { q.finish(); });
    run(q, {isoText(from), isoText(to)});
    while (q.next()) {
        requireWhole(q, {1}, "payments", QStringLiteral("-"));
        out.of(methodRead(q, 0, "payments")) += q.value(1).toLongLong();
    }
    return out;
}

std::optional<Shift> Ledger::currentShift() const
{
    if (!readable() || !m_money)
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT %1 FROM shifts WHERE closed_at IS NULL ORDER BY id DESC"
                             " LIMIT 1")
                  .arg(QLatin1String(kShiftColumns)));
    run(q);
    if (!q.next())
        return std::nullopt;
    return shiftOf(q);
}

std::optional<Shift> Ledger::shift(qint64 id) const
{
    if (!readable() || !m_money)
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(
        QStringLiteral("SELECT %1 FROM shifts WHERE id = ?").arg(QLatin1String(kShiftColumns)));
    run(q, {id});
    if (!q.next())
        return std::nullopt;
    return shiftOf(q);
}

QList<Shift> Ledger::shifts(const QDateTime &from, const QDateTime &to) const
{
    QList<Shift> out;
    if (!readable() || !m_money)
        return out;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT %1 FROM shifts WHERE opened_at >= ? AND opened_at < ?"
                             " ORDER BY opened_at, id")
                  .arg(QLatin1String(kShiftColumns)));
    run(q, {isoText(from), isoText(to)});
    while (q.next())
        out << shiftOf(q);
    return out;
}

ShiftReport Ledger::shiftReport(const Shift &shift, const QDateTime &until) const
{
    ShiftReport r;
    r.shift = shift;
    r.until = shift.closedAt.isValid() ? shift.closedAt : until;
    if (!readable() || !m_money)
        return r;
    // Moments are kept to the second: what was taken in the closing's own second is the
    // closing shift's, never left out of every shift.
    const QDateTime end = r.until.addSecs(1);
    const QString from = isoText(shift.openedAt), to = isoText(end);
    r.bills = bills(shift.openedAt, end, Detail::Listing);
    for (const BillRecord &b : std::as_const(r.bills)) {
        // Cancelled after the shift, it stood in it.
        if (b.cancelled() && b.cancelledAt < end)
            continue;
        const counter::Due d = b.due();
        r.gross += d.gross;
        r.discounts += d.discount;
        r.treats += d.treats;
        r.net += d.net;
    }
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT %1 FROM bills WHERE cancelled_at >= ? AND cancelled_at < ?"
                             " AND restart = 0 ORDER BY cancelled_at, id")
                  .arg(billColumns(false)));
    run(q, {from, to});
    while (q.next())
        r.cancelled << billOf(q, false);
    q.finish();
    fillMoney(r.cancelled);
    // Whatever became of their bills since: the drawer took the money then.
    q.prepare(QStringLiteral("SELECT kind, method, sum(amount) FROM payments WHERE at >= ?"
                             " AND at < ? GROUP BY kind, method"));
    run(q, {from, to});
    while (q.next()) {
        requireWhole(q, {2}, "payments", QStringLiteral("-"));
        const QString kind = q.value(0).toString();
        MethodSums *sums = kind == QLatin1String("sale")      ? &r.taken
                           : kind == QLatin1String("collect") ? &r.collected
                           : kind == QLatin1String("refund")  ? &r.refunded
                                                              : nullptr;
        if (!sums)
            throwError(QStringLiteral("Defter okunamadı: payments tablosunda bilinmeyen bir "
                                      "ödeme türü var: \"%1\".")
                           .arg(kind.left(40)));
        sums->of(methodRead(q, 1, "payments")) += q.value(2).toLongLong();
    }
    q.finish();
    q.prepare(QLatin1String(kTabLines) +
              QStringLiteral(" AND p.at >= ? AND p.at < ? ORDER BY p.at, p.id"));
    run(q, {from, to});
    while (q.next())
        r.tabMoves << tabLineOf(q);
    q.finish();
    q.prepare(QStringLiteral("SELECT at, amount, reason, operator FROM cash_outs WHERE at >= ?"
                             " AND at < ? ORDER BY at, id"));
    run(q, {from, to});
    while (q.next()) {
        requireWhole(q, {1}, "cash_outs", QStringLiteral("-"));
        r.outs << CashOut{fromIsoText(q.value(0).toString()), q.value(1).toLongLong(),
                          q.value(2).toString(), q.value(3).toString()};
        r.cashOut += r.outs.constLast().amount;
    }
    return r;
}

} // namespace kv::ledger

#include "operations.h"

#include "clock.h"
#include "errors.h"
#include "floor.h"
#include "sqlwrite.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <array>

namespace kv::ledger {

// One file or run of register lines a step changes, as it is before and will be after.
struct Guard
{
    QString file; // in the table extras directory; empty for register lines
    int first = -1, count = 0;
    QByteArray before, after;
};

// One journal row: everything needed to make the step's file changes again, or to tell
// whether later work changed its files.
struct Operations::Step
{
    QString kind; // "settle", "move", "reopen", "restart", "clear", "remove", "file", "register",
                  // "rename", "part"; and without files "collect", "shift_open",
                  // "shift_close", "cash_out"
    qint64 billId = 0;   // reopen: the bill cancelled
    QList<qint64> bills; // the bills the step wrote
    int table = -1;      // settle, reopen, part: the table; move: the source
    QString tableName;   // its extras file's name when the step began
    int target = -1;     // move: the table the account goes to; clear: the register's length
    QString targetName;
    QStringList lines; // move, reopen, restart: the account's three register lines; remove,
                       // file: the file; register: all its lines; rename: the tables file and
                       // its bytes in base64; part: the id of the payment taken ahead
    std::optional<QByteArray> extras; // move, reopen, rename: the extras file, none: no file;
                                      // file: it; part: what the extras file keeps
    QList<Guard> guard;
    NewEvent event; // written with the step's done mark
    QString op;     // who made the step
    // Its errors are the files' own, as when it was a save alone.
    bool plain = false;
    // Not kept in the journal: the files and lines as they were, put back when the step
    // fails half-way.
    QMap<QString, std::optional<QByteArray>> filesBefore;
    QMap<int, QString> linesBefore;
};

// A step's file changes, each an assignment: made again, they give the same files.
struct Operations::Effects
{
    struct File
    {
        QString name;                    // as pathOf() reads it
        std::optional<QByteArray> after; // none: removed
        bool afterRegister = false;      // changed once the register is saved
        bool wholeRegister = false;      // the register file, saved from its lines
    };
    QList<File> files;
    QMap<int, QString> lines;
};

struct Operations::Owed
{
    qint64 id;
    Step step;
    bool dropped;
};

LedgerError::LedgerError(const QString &r, const QString &d, const QString &b)
    : RuntimeError(d.isEmpty() ? r : QStringLiteral("%1 (%2)").arg(r, d)), reason(r), detail(d),
      brief(b.isEmpty() ? r : b)
{
}

namespace {
// A file a step was to remove is still there, as it was.
class NotRemoved : public RuntimeError
{
public:
    using RuntimeError::RuntimeError;
};

// By position: a kept statement never runs with values left from a use that stopped.
void bindAll(QSqlQuery &q, int from, const QVariantList &values)
{
    for (int k = 0; k < values.size(); ++k)
        q.bindValue(from + k, values.at(k));
}

void bindAll(QSqlQuery &q, const QVariantList &values)
{
    bindAll(q, 0, values);
}

// A text bound as itself: a null QString would be bound as NULL.
QVariant text(const QString &s)
{
    return QVariant(s.isNull() ? QStringLiteral("") : s);
}

QVariant blob(const std::optional<QByteArray> &bytes)
{
    return bytes ? QVariant(*bytes) : QVariant(QMetaType(QMetaType::QByteArray));
}

// Rows of a table written many a statement: the work of running one (SQLite's and Qt's) was
// most of a row's cost. Four sizes, each prepared once, write any count in a few statements.
class ManyRows
{
public:
    ManyRows(const char *insert, int columns) : m_columns(columns)
    {
        QByteArray row = "(?";
        for (int c = 1; c < columns; ++c)
            row += ", ?";
        row += ')';
        for (auto &[rows, sql] : m_sizes) {
            sql = QByteArray(insert) + " VALUES " + row;
            for (int k = 1; k < rows; ++k)
                sql += ", " + row;
        }
    }
    // `bind` binds row `row`'s values from place `at` on.
    void insert(const Ledger &ledger, qsizetype count,
                const std::function<void(QSqlQuery &, int at, qsizetype row)> &bind) const
    {
        qsizetype pos = 0;
        for (const auto &[rows, sql] : m_sizes)
            for (; count - pos >= rows; pos += rows) {
                QSqlQuery &q = ledger.statement(sql.constData());
                for (int k = 0; k < rows; ++k)
                    bind(q, m_columns * k, pos + k);
                execOrThrow(ledger, q);
            }
    }

private:
    int m_columns;
    std::array<std::pair<int, QByteArray>, 4> m_sizes{{{64, {}}, {16, {}}, {4, {}}, {1, {}}}};
};

QString extrasFileName(const QString &table)
{
    return table + QStringLiteral(".msex");
}

// A step's file: by its name in the table extras directory, or by "./" and its path in the
// data directory.
QString pathOf(const Paths &paths, const QString &name)
{
    if (name.startsWith(QLatin1String("./")))
        return paths.dataDir() + name.mid(1);
    return paths.extrasDir() + QLatin1Char('/') + name;
}

QString dataName(const Paths &paths, const QString &path)
{
    return QStringLiteral("./") + QDir(paths.dataDir()).relativeFilePath(path);
}

// The settle's bill id in its event's detail: it is known only once the bill is written.
QByteArray withBill(const QByteArray &detail, qint64 bill)
{
    QJsonObject o = QJsonDocument::fromJson(detail).object();
    o.insert(QStringLiteral("bill"), bill);
    return compactJson(o);
}

// What a file or a run of lines is, told in a few bytes: "-" for no file, "?" for one that
// cannot be read (it never matches).
QByteArray digest(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

QByteArray fileDigest(const std::optional<QByteArray> &bytes)
{
    return bytes ? digest(*bytes) : QByteArrayLiteral("-");
}

QByteArray linesDigest(const QStringList &lines)
{
    return digest(lines.join(QLatin1Char('\n')).toUtf8());
}

QByteArray guardText(const QList<Guard> &guard)
{
    QByteArray out;
    for (const Guard &g : guard) {
        if (g.file.isEmpty())
            out += "r\t" + QByteArray::number(g.first) + '\t' + QByteArray::number(g.count);
        else
            out += "f\t" + g.file.toUtf8();
        out += '\t' + g.before + '\t' + g.after + '\n';
    }
    return out;
}

QList<Guard> guardOf(const QByteArray &text)
{
    QList<Guard> out;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> f = line.split('\t');
        if (f.size() == 4 && f.at(0) == "f")
            out << Guard{QString::fromUtf8(f.at(1)), -1, 0, f.at(2), f.at(3)};
        else if (f.size() == 5 && f.at(0) == "r")
            out << Guard{QString(), f.at(1).toInt(), f.at(2).toInt(), f.at(3), f.at(4)};
    }
    return out;
}

QString idList(const QList<qint64> &ids)
{
    QStringList out;
    for (qint64 id : ids)
        out << QString::number(id);
    return out.join(QLatin1Char(','));
}

// What a step is called in a message, and what it says when it was not done or was.
struct Words
{
    const char *name, *notDone, *done;
};
Words wordsOf(const QString &kind)
{
    if (kind == QLatin1String("settle"))
        return {"hesap kapatma", "hesap kapatılmadı", "hesap yine de kapatıldı"};
    if (kind == QLatin1String("move"))
        return {"hesap taşıma", "hesap taşınmadı", "hesap yine de taşındı"};
    if (kind == QLatin1String("reopen"))
        return {"fiş iptali", "fiş iptal edilmedi",
                "fiş yine de iptal edildi ve hesap yeniden açıldı"};
    if (kind == QLatin1String("restart"))
        return {"yeniden başlatma", "hesap yeniden başlatılmadı",
                "hesap yine de yeniden başlatıldı"};
    if (kind == QLatin1String("clear"))
        return {"masa bilgilerini silme", "masa bilgileri silinmedi",
                "masa bilgileri yine de silindi"};
    if (kind == QLatin1String("rename"))
        return {"masa adını değiştirme", "masa adı değiştirilmedi",
                "masa adı yine de değiştirildi"};
    if (kind == QLatin1String("part"))
        return {"ayrı ödeme", "ödeme alınmadı", "ödeme yine de alındı"};
    if (kind == QLatin1String("collect"))
        return {"veresiye tahsilatı", "tahsilat kaydedilmedi", "tahsilat yine de kaydedildi"};
    if (kind == QLatin1String("shift_open"))
        return {"vardiya açma", "vardiya açılmadı", "vardiya yine de açıldı"};
    if (kind == QLatin1String("shift_close"))
        return {"vardiya kapatma", "vardiya kapatılmadı", "vardiya yine de kapatıldı"};
    if (kind == QLatin1String("cash_out"))
        return {"kasadan çıkış", "kasadan çıkış kaydedilmedi", "kasadan çıkış yine de kaydedildi"};
    return {"extraları silme", "extralar silinmedi", "extralar yine de silindi"};
}
} // namespace

QSqlDatabase database(const Ledger &ledger)
{
    if (!ledger.isOpen())
        throw LedgerError(ledger.problem(), QString(), ledger.shortProblem());
    return QSqlDatabase::database(ledger.connectionName(), false);
}

[[noreturn]] void sqlFailed(const QSqlError &e)
{
    if (isLockError(e))
        throw LedgerError(QStringLiteral("Defter başka bir program tarafından kullanılıyor"),
                          e.text(), QStringLiteral("başka bir program tarafından kullanılıyor"));
    if (e.nativeErrorCode() == QLatin1String("13"))
        throw LedgerError(QStringLiteral("Diskte yer kalmadı; defter yazılamadı"), e.text(),
                          QStringLiteral("diskte yer kalmadı"));
    throw LedgerError(QStringLiteral("Defter.db'ye yazılamadı"), e.text(),
                      QStringLiteral("yazılamıyor"));
}

void execOrThrow(const Ledger &ledger, QSqlQuery &q)
{
    bool waited = false;
    const auto over = qScopeGuard([&] {
        if (waited)
            ledger.lockWaitOver();
    });
    while (!q.exec()) {
        if (!isLockError(q.lastError()) || !ledger.waitForLock())
            sqlFailed(q.lastError());
        waited = true;
    }
}

void transaction(const Ledger &ledger, const std::function<void(QSqlDatabase &)> &body)
{
    QSqlDatabase db = database(ledger);
    QSqlQuery control(db);
    control.prepare(QStringLiteral("BEGIN IMMEDIATE"));
    execOrThrow(ledger, control);
    try {
        body(db);
        control.prepare(QStringLiteral("COMMIT"));
        execOrThrow(ledger, control);
    } catch (...) {
        control.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

std::optional<QByteArray> readExtras(const Paths &paths, const QString &table)
{
    const QString path = paths.tableExtrasFile(table);
    if (files::kind(path) == files::Kind::Missing)
        return std::nullopt;
    return files::readRecordFile(path);
}

Operations::Operations(Ledger &ledger, RecordList &reg, const Paths &paths,
                       std::function<QString(int)> tableName)
    : m_ledger(ledger), m_register(reg), m_paths(paths), m_tableName(std::move(tableName))
{
}

Operations::~Operations() = default;

Operations::Effects Operations::effects(const Step &s) const
{
    Effects e;
    const auto account = [&e](int table, const QStringList &lines) {
        for (int k = 0; k < 3; ++k)
            e.lines.insert(RegisterLine::date(table) + k, lines.value(k));
    };
    if (s.kind == QLatin1String("settle")) {
        e.files << Effects::File{extrasFileName(s.tableName), QByteArray()};
        account(s.table, {});
    } else if (s.kind == QLatin1String("move")) {
        if (s.extras)
            e.files << Effects::File{extrasFileName(s.targetName), s.extras};
        account(s.table, {});
        account(s.target, s.lines);
        e.files << Effects::File{extrasFileName(s.tableName), std::nullopt, true};
    } else if (s.kind == QLatin1String("reopen")) {
        e.files << Effects::File{extrasFileName(s.tableName), s.extras};
        account(s.table, s.lines);
    } else if (s.kind == QLatin1String("restart")) {
        account(s.table, s.lines);
    } else if (s.kind == QLatin1String("part")) {
        e.files << Effects::File{extrasFileName(s.tableName), s.extras};
    } else if (s.kind == QLatin1String("clear")) {
        // A step of an older journal did not record the register's length.
        const int end = s.target >= 0 ? s.target : m_register.count();
        for (int i = RegisterLine::TableCount + 1; i < end; ++i)
            e.lines.insert(i, QString());
    } else if (s.kind == QLatin1String("remove")) {
        // Never the directory itself.
        if (!s.lines.value(0).isEmpty())
            e.files << Effects::File{s.lines.value(0), std::nullopt};
    } else if (s.kind == QLatin1String("file")) {
        e.files << Effects::File{s.lines.value(0), s.extras};
    } else if (s.kind == QLatin1String("register")) {
        e.files << Effects::File{dataName(m_paths, m_paths.registerFile()),
                                 RecordList::toBytes(s.lines), false, true};
    } else if (s.kind == QLatin1String("rename")) {
        // The new file first, the old one last: in between both hold the same extras.
        if (s.extras)
            e.files << Effects::File{extrasFileName(s.targetName), s.extras};
        e.files << Effects::File{s.lines.value(0),
                                 QByteArray::fromBase64(s.lines.value(1).toLatin1())};
        if (s.extras)
            e.files << Effects::File{extrasFileName(s.tableName), std::nullopt};
    }
    return e;
}

namespace {
// The file as it is now: none when there is none; "?" where it cannot be read.
std::optional<QByteArray> fileNow(const Paths &paths, const QString &name, bool *readable)
{
    const QString path = pathOf(paths, name);
    *readable = true;
    switch (files::kind(path)) {
    case files::Kind::Missing:
        return std::nullopt;
    case files::Kind::Regular:
        try {
            return files::readRecordFile(path);
        } catch (const RuntimeError &) {
        }
        [[fallthrough]];
    default:
        *readable = false;
        return QByteArray();
    }
}

// The register's lines as the disk holds them; none where it cannot be read.
std::optional<RecordList> registerNow(const Paths &paths)
{
    RecordList reg;
    try {
        if (files::kind(paths.registerFile()) != files::Kind::Missing)
            reg.load(paths.registerFile());
    } catch (const RuntimeError &) {
        return std::nullopt;
    }
    return reg;
}

QStringList linesOf(const RecordList &reg, int first, int count)
{
    QStringList out;
    for (int i = first; i < first + count; ++i)
        out << reg.value(i);
    return out;
}

// Each run of consecutive lines, with what it becomes.
template <class PerRun> void eachRun(const QMap<int, QString> &lines, PerRun &&perRun)
{
    for (auto it = lines.cbegin(); it != lines.cend();) {
        const int first = it.key();
        QStringList after;
        int next = first;
        for (; it != lines.cend() && it.key() == next; ++it, ++next)
            after << it.value();
        perRun(first, after);
    }
}
} // namespace

Operations::State Operations::compare(const Step &s) const
{
    // A step of an older journal knows nothing of its files: it is finished, as it always was.
    if (s.guard.isEmpty())
        return State::Between;
    const std::optional<RecordList> reg = registerNow(m_paths);
    bool allBefore = true, allAfter = true;
    for (const Guard &g : s.guard) {
        QByteArray now;
        if (g.file.isEmpty()) {
            now = reg ? linesDigest(linesOf(*reg, g.first, g.count)) : QByteArrayLiteral("?");
        } else {
            bool readable = true;
            const std::optional<QByteArray> bytes = fileNow(m_paths, g.file, &readable);
            now = readable ? fileDigest(bytes) : QByteArrayLiteral("?");
        }
        const bool before = now == g.before, after = now == g.after;
        if (!before && !after)
            return State::Changed;
        allBefore = allBefore && before;
        allAfter = allAfter && after;
    }
    // Where nothing tells the two apart, the step is taken as done.
    return allAfter ? State::After : allBefore ? State::Before : State::Between;
}

namespace {
// A file the step cannot keep as it was: something else in its place (a directory) is never
// saved over; a file that cannot be read could not be put back.
[[noreturn]] void throwUnreadable(const QString &path)
{
    const bool file = files::kind(path) == files::Kind::Regular;
    throwError(
        (file ? QStringLiteral("Cannot open file %1") : QStringLiteral("Cannot create file %1"))
            .arg(files::native(path)));
}
} // namespace

void Operations::prepare(Step &s) const
{
    // What each file and line is now and will be: the step's guard, and what a rollback
    // puts back.
    const Effects e = effects(s);
    s.guard.clear();
    for (const Effects::File &f : e.files) {
        bool readable = true;
        const std::optional<QByteArray> now = fileNow(m_paths, f.name, &readable);
        if (!readable)
            throwUnreadable(pathOf(m_paths, f.name));
        s.filesBefore.insert(f.name, now);
        s.guard << Guard{f.name, -1, 0, fileDigest(now), fileDigest(f.after)};
    }
    const std::optional<RecordList> reg = registerNow(m_paths);
    if (!reg && !e.lines.isEmpty())
        throwUnreadable(m_paths.registerFile());
    eachRun(e.lines, [&](int first, const QStringList &after) {
        const QStringList now = linesOf(*reg, first, int(after.size()));
        for (int k = 0; k < now.size(); ++k)
            s.linesBefore.insert(first + k, now.at(k));
        s.guard << Guard{QString(), first, int(after.size()), linesDigest(now), linesDigest(after)};
    });
}

qint64 Operations::begin(Step &s, const std::function<void()> &alsoInTransaction)
{
    prepare(s);
    qint64 id = 0;
    transaction(m_ledger, [&](QSqlDatabase &) {
        if (alsoInTransaction)
            alsoInTransaction();
        QSqlQuery &q = m_ledger.statement(
            "INSERT INTO journal(kind, created_at, bill_id, table_pos, table_name, target_pos,"
            " target_name, register_lines, extras_file, guard, bill_ids, event)"
            " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        bindAll(q, {s.kind, isoText(clock::now()),
                    s.billId ? QVariant(s.billId) : QVariant(QMetaType(QMetaType::LongLong)),
                    s.table, s.tableName, s.target, s.targetName, s.lines.join(QLatin1Char('\n')),
                    blob(s.extras), guardText(s.guard), idList(s.bills),
                    s.event.isEmpty() ? QVariant(QMetaType(QMetaType::QString))
                                      : QVariant(QString::fromUtf8(newEventJson(s.event, s.op)))});
        execOrThrow(m_ledger, q);
        id = q.lastInsertId().toLongLong();
    });
    return id;
}

void Operations::markDone(qint64 id, const Step &s)
{
    // The step's event is in the ledger exactly when its change is in the files.
    transaction(m_ledger, [&](QSqlDatabase &) {
        QSqlQuery &q = m_ledger.statement("UPDATE journal SET done = 1 WHERE id = ?");
        q.bindValue(0, id);
        execOrThrow(m_ledger, q);
        writeEvent(s);
    });
}

void Operations::writeEvent(const Step &s)
{
    if (s.event.isEmpty())
        return;
    const Event e = insertEvent(m_ledger, s.event, s.op, eventTime(clock::now()));
    if ((s.kind != QLatin1String("settle") && s.kind != QLatin1String("part")) || s.bills.isEmpty())
        return;
    QSqlQuery &q =
        m_ledger.statement("UPDATE bills SET settle_event = ?, settle_hash = ? WHERE id = ?");
    bindAll(q, {e.id, e.hash, s.bills.first()});
    execOrThrow(m_ledger, q);
}

namespace {
// One statement of one id, in the transaction that `db` runs.
void execOn(const Ledger &ledger, const QSqlDatabase &db, const char *sql, qint64 value)
{
    QSqlQuery q(db);
    q.prepare(QLatin1String(sql));
    q.addBindValue(value);
    execOrThrow(ledger, q);
}
} // namespace

void Operations::keepAheadOnAccount(const QSqlDatabase &db, const Step &s) const
{
    // A part step's ahead payment was never taken; a move's go back to the table it left.
    if (s.kind == QLatin1String("part") && s.lines.value(0).toLongLong() > 0)
        execOn(m_ledger, db, "DELETE FROM payments WHERE id = ? AND bill_id IS NULL",
               s.lines.value(0).toLongLong());
    if (s.kind == QLatin1String("move")) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("UPDATE payments SET table_pos = ? WHERE table_pos = ?"
                                 " AND ahead = 1 AND bill_id IS NULL"));
        q.addBindValue(s.table);
        q.addBindValue(s.target);
        execOrThrow(m_ledger, q);
    }
}

void Operations::drop(qint64 id, const Step &s)
{
    transaction(m_ledger, [&](QSqlDatabase &db) {
        const auto exec = [&](const char *sql, qint64 value) { execOn(m_ledger, db, sql, value); };
        for (qint64 bill : s.bills) {
            exec("DELETE FROM bill_extras WHERE bill_id = ?", bill);
            exec("DELETE FROM bill_segments WHERE bill_id = ?", bill);
            exec("DELETE FROM bill_treats WHERE bill_id = ?", bill);
            exec("DELETE FROM payments WHERE bill_id = ? AND ahead = 0", bill);
            // Taken ahead, they stay on the account the step left open.
            exec("UPDATE payments SET bill_id = NULL WHERE bill_id = ?", bill);
            exec("DELETE FROM bills WHERE id = ?", bill);
        }
        if (s.kind == QLatin1String("reopen")) {
            exec("UPDATE bills SET cancelled_at = NULL, cancel_reason = NULL WHERE id = ?",
                 s.billId);
            exec("UPDATE payments SET cancelled_at = NULL WHERE bill_id = ? AND kind = 'sale'",
                 s.billId);
            exec("DELETE FROM payments WHERE bill_id = ? AND kind = 'refund'", s.billId);
        }
        keepAheadOnAccount(db, s);
        exec("DELETE FROM journal WHERE id = ?", id);
    });
}

void Operations::setAside(qint64 id, const Step &s)
{
    transaction(m_ledger, [&](QSqlDatabase &db) {
        const auto exec = [&](const char *sql, qint64 value) { execOn(m_ledger, db, sql, value); };
        for (qint64 bill : s.bills) {
            exec("UPDATE bills SET review = 1 WHERE id = ?", bill);
            // The account stays where the files left it: so does the money taken ahead on it.
            exec("UPDATE payments SET bill_id = NULL WHERE bill_id = ? AND ahead = 1", bill);
        }
        if (s.billId)
            exec("UPDATE bills SET review = 1 WHERE id = ?", s.billId);
        keepAheadOnAccount(db, s);
        exec("UPDATE journal SET done = 2 WHERE id = ?", id);
    });
    const QString table = s.kind == QLatin1String("move")
                              ? QStringLiteral("%1 → %2").arg(s.tableName, s.targetName)
                          : s.tableName.isEmpty() ? s.lines.value(0)
                                                  : s.tableName;
    m_notices << QStringLiteral("%1: yarım kalan bir işlem (%2) tamamlanmadı, çünkü masanın "
                                "dosyaları o işlemden sonra değişmiş. Hiçbir hesaba ya da extraya "
                                "dokunulmadı; işlemin fişi Gün Sonu'nda \"İncelenecek\" olarak "
                                "duruyor.")
                     .arg(table, QString::fromUtf8(wordsOf(s.kind).name));
}

namespace {
void putFile(const Paths &paths, const QString &name, const std::optional<QByteArray> &bytes)
{
    const QString path = pathOf(paths, name);
    if (!bytes) {
        files::remove(path);
        if (files::kind(path) != files::Kind::Missing)
            throwError(QStringLiteral("Cannot create file %1").arg(files::native(path)));
        return;
    }
    if (!files::writeAtomically(path, *bytes))
        throwError(QStringLiteral("Cannot create file %1").arg(files::native(path)));
}
} // namespace

void Operations::apply(const Step &s)
{
    const Effects e = effects(s);
    const auto files = [&](bool afterRegister) {
        for (const Effects::File &f : e.files) {
            if (f.afterRegister != afterRegister)
                continue;
            if (f.wholeRegister) {
                m_register.saveChanged(m_paths.registerFile(),
                                       [&](RecordList &reg) { reg.assign(s.lines); });
            } else if (s.kind == QLatin1String("remove")) {
                const QString path = pathOf(m_paths, f.name);
                files::remove(path);
                if (files::kind(path) != files::Kind::Missing)
                    throw NotRemoved(QStringLiteral("%1 silinemedi.").arg(files::native(path)));
            } else {
                putFile(m_paths, f.name, f.after);
            }
        }
    };
    files(false);
    if (!e.lines.isEmpty())
        m_register.saveChanged(m_paths.registerFile(), [&](RecordList &reg) {
            reg.padFrom(defaultRegister());
            for (auto it = e.lines.cbegin(); it != e.lines.cend(); ++it)
                reg.set(it.key(), it.value());
        });
    files(true);
}

void Operations::putBack(const Step &s)
{
    // In the reverse order of apply(): the register last, once the files are as they were.
    for (auto it = s.filesBefore.cbegin(); it != s.filesBefore.cend(); ++it) {
        bool readable = true;
        if (fileNow(m_paths, it.key(), &readable) != it.value() || !readable)
            putFile(m_paths, it.key(), it.value());
    }
    // The register put back whole: the lines in memory follow the file.
    if (s.filesBefore.contains(dataName(m_paths, m_paths.registerFile())))
        m_register.rereadAfterFailedSave(m_paths.registerFile());
    if (s.linesBefore.isEmpty())
        return;
    const std::optional<RecordList> reg = registerNow(m_paths);
    bool same = bool(reg);
    for (auto it = s.linesBefore.cbegin(); same && it != s.linesBefore.cend(); ++it)
        same = reg->value(it.key()) == it.value();
    if (!same)
        m_register.saveChanged(m_paths.registerFile(), [&](RecordList &r) {
            for (auto it = s.linesBefore.cbegin(); it != s.linesBefore.cend(); ++it)
                r.set(it.key(), it.value());
        });
}

void Operations::owe(qint64 id, const Step &s, bool dropped, const QString &why)
{
    m_owed.push_back(Owed{id, s, dropped});
    m_owedWhy = why;
}

void Operations::payOwed()
{
    while (!m_owed.empty()) {
        const Owed &o = m_owed.front();
        try {
            if (o.dropped)
                drop(o.id, o.step);
            else
                markDone(o.id, o.step);
        } catch (const LedgerError &e) {
            m_owedWhy = e.brief;
            throw LedgerError(QStringLiteral("Defter kullanılamıyor (%1): önceki işlemin sonucu "
                                             "deftere yazılamadı")
                                  .arg(e.brief),
                              e.detail, e.brief);
        }
        m_owed.erase(m_owed.begin());
    }
}

QString Operations::status() const
{
    if (!m_owed.empty())
        return QStringLiteral("Defter kullanılamıyor: ") + m_owedWhy;
    if (!m_half.isEmpty())
        return QStringLiteral("Kasa işlemleri durduruldu: ") + m_half;
    if (!m_unwritable.isEmpty())
        return QStringLiteral("Defter kullanılamıyor: ") + m_unwritable;
    return {};
}

void Operations::tryLedger()
{
    if (!m_ledger.isOpen())
        return;
    try {
        payOwed();
        if (!m_unwritable.isEmpty()) {
            QSqlQuery q(database(m_ledger));
            if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
                return;
            q.exec(QStringLiteral("ROLLBACK"));
            m_unwritable.clear();
        }
        // After the steps left unfinished, which came first.
        if (m_half.isEmpty() && files::kind(waitingPath()) != files::Kind::Missing &&
            !m_ledger.hasUnfinishedSteps())
            enterWaiting();
    } catch (const RuntimeError &) {
    }
}

Operations::Outcome Operations::recover(Step &s, qint64 id)
{
    // Undone where it can be; else finished; else left for later, and no step runs until then.
    State state = compare(s);
    if (state == State::Between || state == State::Changed) {
        try {
            putBack(s);
        } catch (const RuntimeError &) {
        }
        state = compare(s);
    }
    if (state == State::Between) {
        try {
            apply(s);
        } catch (const RuntimeError &) {
        }
        state = compare(s);
    }
    const auto mark = [&](bool dropped) {
        try {
            if (dropped)
                drop(id, s);
            else
                markDone(id, s);
        } catch (const LedgerError &e) {
            owe(id, s, dropped, e.brief);
        }
    };
    switch (state) {
    case State::Before:
        mark(true);
        return Outcome::Dropped;
    case State::After:
        mark(false);
        return Outcome::Finished;
    default:
        m_half = QStringLiteral("yarım kalan bir işlem var (%1, %2)")
                     .arg(s.tableName.isEmpty() ? s.lines.value(0) : s.tableName,
                          QString::fromUtf8(wordsOf(s.kind).name));
        return Outcome::Half;
    }
}

void Operations::failed(const Step &s, const RuntimeError &why, Outcome outcome)
{
    if (s.plain) {
        if (dynamic_cast<const NotRemoved *>(&why))
            throw NotRemoved(why.text());
        throwError(why.text());
    }
    const Words words = wordsOf(s.kind);
    const auto *ledgerError = dynamic_cast<const LedgerError *>(&why);
    if (ledgerError)
        m_unwritable = ledgerError->brief;
    const QString reason = ledgerError ? ledgerError->reason : why.text();
    const QString what = outcome == Outcome::Dropped ? QString::fromUtf8(words.notDone)
                         : outcome == Outcome::Finished
                             ? QString::fromUtf8(words.done)
                             : QStringLiteral("işlem yarım kaldı. Dosyalar ve "
                                              "defter yazılabildiğinde "
                                              "tamamlanacak ya da geri alınacak; "
                                              "o zamana kadar kasa işlemleri "
                                              "yapılamaz");
    QString text =
        QStringLiteral("%1; %2.").arg(reason.endsWith(u'.') ? reason.chopped(1) : reason, what);
    if (ledgerError && !ledgerError->detail.isEmpty())
        text += QStringLiteral("\n\nAyrıntı: ") + ledgerError->detail;
    if (dynamic_cast<const NotRemoved *>(&why) && outcome == Outcome::Dropped)
        throw NotRemoved(text);
    if (ledgerError && outcome == Outcome::Dropped)
        throw NotTaken(text);
    throwError(text);
}

void Operations::run(Step &s, qint64 id)
{
    try {
        apply(s);
    } catch (const RuntimeError &e) {
        failed(s, e, recover(s, id));
    }
    // Done on disk: a mark that cannot be written now is written before the next step.
    try {
        markDone(id, s);
        m_unwritable.clear();
    } catch (const LedgerError &e) {
        owe(id, s, false, e.brief);
    }
}

bool Operations::finishPending()
{
    if (!m_ledger.isOpen())
        return false;
    payOwed();
    QSqlQuery &q = m_ledger.statement(
        "SELECT id, kind, bill_id, table_pos, table_name, target_pos, target_name,"
        " register_lines, extras_file, guard, bill_ids, event FROM journal WHERE done = 0"
        " ORDER BY id");
    q.setForwardOnly(true);
    if (!q.exec())
        sqlFailed(q.lastError());
    QList<std::pair<qint64, Step>> steps;
    while (q.next()) {
        Step s;
        s.kind = q.value(1).toString();
        s.billId = q.value(2).toLongLong();
        s.table = q.value(3).toInt();
        s.tableName = q.value(4).toString();
        s.target = q.value(5).isNull() ? -1 : q.value(5).toInt();
        s.targetName = q.value(6).toString();
        s.lines = q.value(7).toString().split(QLatin1Char('\n'));
        if (!q.value(8).isNull())
            s.extras = q.value(8).toByteArray();
        s.guard = guardOf(q.value(9).toByteArray());
        for (const QString &bill : q.value(10).toString().split(u',', Qt::SkipEmptyParts))
            s.bills << bill.toLongLong();
        // A settle of an older journal knows its bill by bill_id alone.
        if (s.bills.isEmpty() && s.kind == QLatin1String("settle") && s.billId)
            s.bills << s.billId;
        if (const auto event = newEventFromJson(q.value(11).toString().toUtf8()))
            std::tie(s.event, s.op) = *event;
        steps.append({q.value(0).toLongLong(), s});
    }
    q.finish();
    if (steps.isEmpty()) {
        enterWaiting();
        return false;
    }
    const auto whole = qScopeGuard([this] { m_ledger.checkpoint(); });
    bool changed = false;
    for (auto &[id, s] : steps) {
        switch (compare(s)) {
        case State::Before:
            drop(id, s);
            break;
        case State::Changed:
            setAside(id, s);
            break;
        default:
            try {
                apply(s);
            } catch (const RuntimeError &) {
                m_half = QStringLiteral("yarım kalan bir işlem var (%1, %2)")
                             .arg(s.tableName.isEmpty() ? s.lines.value(0) : s.tableName,
                                  QString::fromUtf8(wordsOf(s.kind).name));
                throw;
            }
            changed = true;
            markDone(id, s);
        }
    }
    m_half.clear();
    enterWaiting();
    return changed;
}

namespace {
const QVariant kNoText(QMetaType(QMetaType::QString));
const QVariant kNoNumber(QMetaType(QMetaType::LongLong));

// A tab's customer, added when new; the name as the customers first wrote it, so that a tab
// is one whatever the case it is typed in.
// A customer's name as first written, where one matches it letter for letter under Turkish
// casing ("özge" is "Özge", "ali" is "ALİ"); SQLite's own NOCASE folds English letters only.
QString knownCustomer(const Ledger &ledger, const QString &typed)
{
    const QString name = typed.trimmed();
    static const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    const QString folded = turkish.toLower(name);
    QSqlQuery &all = ledger.statement("SELECT name FROM customers");
    const auto done = qScopeGuard([&all] { all.finish(); });
    execOrThrow(ledger, all);
    while (all.next())
        if (turkish.toLower(all.value(0).toString()) == folded)
            return all.value(0).toString();
    return name;
}

QString customerOf(const Ledger &ledger, const QString &typed)
{
    const QString name = knownCustomer(ledger, typed);
    QSqlQuery &add =
        ledger.statement("INSERT OR IGNORE INTO customers(name, created_at) VALUES(?, ?)");
    bindAll(add, {name, isoText(clock::now())});
    execOrThrow(ledger, add);
    QSqlQuery &known = ledger.statement("SELECT name FROM customers WHERE name = ?");
    const auto done = qScopeGuard([&known] { known.finish(); });
    known.bindValue(0, name);
    execOrThrow(ledger, known);
    return known.next() ? known.value(0).toString() : name;
}

// What a payment must be to be written: money, and a tab's with whose it is.
void vetPayment(const counter::Payment &p)
{
    if (p.amount <= 0)
        throwError(QStringLiteral("Ödeme tutarı sıfırdan büyük olmalı."));
    if (p.method == counter::Method::Tab && p.customer.trimmed().isEmpty())
        throwError(QStringLiteral("Veresiye için müşterinin adını yazın."));
}

struct PaymentRow
{
    const char *kind = "sale";
    qint64 bill = 0; // 0: none
    int table = -1;  // -1: none
    QString openedDate, openedTime;
    bool ahead = false;
    QDateTime at;
    counter::Method method = counter::Method::Cash;
    qint64 amount = 0;
    QString customer;
};

qint64 insertPayment(const Ledger &ledger, const PaymentRow &p, const QString &op)
{
    // Only a tab makes a customer known; a collection names one already known.
    const QString customer =
        p.method == counter::Method::Tab ? customerOf(ledger, p.customer) : p.customer.trimmed();
    QSqlQuery &q = ledger.statement(
        "INSERT INTO payments(kind, bill_id, table_pos, opened_date, opened_time, ahead, at,"
        " method, amount, customer, operator) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const bool opened = !p.openedDate.isEmpty() || !p.openedTime.isEmpty();
    bindAll(q, {QString::fromLatin1(p.kind), p.bill ? QVariant(p.bill) : kNoNumber,
                p.table >= 0 ? QVariant(p.table) : kNoNumber, opened ? text(p.openedDate) : kNoText,
                opened ? text(p.openedTime) : kNoText, int(p.ahead),
                isoText(p.at.isValid() ? p.at : clock::now()),
                QString(counter::methodKey(p.method)), p.amount, text(customer), text(op)});
    execOrThrow(ledger, q);
    return q.lastInsertId().toLongLong();
}
} // namespace

qint64 Operations::insertBill(const BillRecord &b)
{
    const counter::Due due = b.due();
    // Paid, its payments are what it took: never more, never less.
    if (!b.settlement.payments.isEmpty() && due.paid != due.net)
        throwError(QStringLiteral("Ödemeler (%1) ödenecek tutarı (%2) tutmuyor.")
                       .arg(counter::amountText(due.paid), counter::amountText(due.net)));
    for (const counter::Payment &p : b.settlement.payments)
        vetPayment(p);
    QSqlQuery &q = m_ledger.statement(
        "INSERT INTO bills(table_pos, table_name, opened_date, opened_time, fee, closed_at,"
        " minutes, time_charge, minimum_applied, extras_total, total, fee_line, extras_file,"
        " cancelled_at, cancel_reason, restart, discount, discount_percent, discount_reason,"
        " treats, net, part)"
        " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const counter::Discount &off = b.settlement.discount;
    bindAll(q, {QVariant(b.tablePos),
                text(b.tableName),
                text(b.openedDate),
                text(b.openedTime),
                QVariant(b.bill.fee),
                QVariant(isoText(b.closedAt)),
                QVariant(b.bill.minutes),
                QVariant(b.bill.timeCharge),
                QVariant(int(b.bill.minimumApplied)),
                QVariant(b.bill.extrasTotal),
                QVariant(b.bill.total),
                text(b.feeLine),
                blob(b.extrasFile),
                b.cancelled() ? QVariant(isoText(b.cancelledAt)) : kNoText,
                b.cancelled() ? QVariant(b.cancelReason) : kNoText,
                QVariant(int(b.restart)),
                off.amount,
                off.percent,
                text(off.reason),
                due.treats,
                due.net,
                int(b.part)});
    execOrThrow(m_ledger, q);
    const qint64 billId = q.lastInsertId().toLongLong();
    static const ManyRows extras("INSERT INTO bill_extras(bill_id, pos, name, price, carried)", 5);
    extras.insert(m_ledger, b.extras.size(), [&](QSqlQuery &e, int at, qsizetype pos) {
        const BookedExtra &x = b.extras.at(pos);
        bindAll(e, at, {billId, int(pos), text(x.name), x.price, int(x.carried)});
    });
    // In the bill's transaction: a bill is never found without its segments.
    static const ManyRows segments("INSERT INTO bill_segments(bill_id, pos, kind, from_ms, to_ms,"
                                   " minutes, fee, charge, reason)",
                                   9);
    segments.insert(m_ledger, b.segments.size(), [&](QSqlQuery &e, int at, qsizetype pos) {
        const counter::Segment &x = b.segments.at(pos);
        bindAll(e, at,
                {billId, int(pos), QString(segmentKindName(x.kind)), x.fromMs, x.toMs, x.minutes,
                 x.fee, x.charge, text(x.reason)});
    });
    for (qsizetype pos = 0; pos < b.settlement.treats.size(); ++pos) {
        const counter::Treat &t = b.settlement.treats.at(pos);
        QSqlQuery &tq = m_ledger.statement(
            "INSERT INTO bill_treats(bill_id, pos, extra, amount, reason) VALUES(?, ?, ?, ?, ?)");
        bindAll(tq, {billId, int(pos), t.extra, t.amount, text(t.reason)});
        execOrThrow(m_ledger, tq);
    }
    for (const counter::Payment &p : b.settlement.payments) {
        if (!p.ahead || !p.id) {
            insertPayment(m_ledger,
                          {"sale", billId, b.tablePos, b.openedDate, b.openedTime, false,
                           p.at.isValid() ? p.at : b.closedAt, p.method, p.amount, p.customer},
                          m_operator);
            continue;
        }
        // Taken ahead on this account: tied to its bill, once.
        QSqlQuery &tie = m_ledger.statement(
            "UPDATE payments SET bill_id = ? WHERE id = ? AND bill_id IS NULL AND ahead = 1"
            " AND cancelled_at IS NULL AND kind = 'sale' AND method = ? AND amount = ?");
        bindAll(tie, {billId, p.id, QString(counter::methodKey(p.method)), p.amount});
        execOrThrow(m_ledger, tie);
        if (tie.numRowsAffected() != 1)
            throwError(QStringLiteral("Masada önceden alınan %1 ödeme defterde bu hesabın "
                                      "ödemesi olarak bulunamadı.")
                           .arg(counter::amountText(p.amount)));
    }
    return billId;
}

qint64 Operations::settle(const BillRecord &b, const NewEvent &event)
{
    const auto whole = qScopeGuard([this] { m_ledger.checkpoint(); }); // done or stopped
    finishPending();
    Step s;
    s.kind = QStringLiteral("settle");
    s.table = b.tablePos;
    s.tableName = b.tableName;
    s.event = event;
    s.op = m_operator;
    qint64 id = 0;
    try {
        id = begin(s, [&] {
            s.bills = {insertBill(b)};
            if (!s.event.isEmpty())
                s.event.detail = withBill(s.event.detail, s.bills.first());
        });
    } catch (const RuntimeError &e) {
        failed(s, e, Outcome::Dropped);
    }
    run(s, id);
    return s.bills.value(0);
}

void Operations::move(int from, int to, const NewEvent &event)
{
    const auto whole = qScopeGuard([this] { m_ledger.checkpoint(); }); // done or stopped
    finishPending();
    Step s;
    s.kind = QStringLiteral("move");
    s.table = from;
    s.tableName = m_tableName(from);
    s.target = to;
    s.targetName = m_tableName(to);
    s.event = event;
    s.op = m_operator;
    for (int k = 0; k < 3; ++k)
        s.lines << m_register.value(RegisterLine::date(from) + k);
    qint64 id = 0;
    try {
        // Without its directory the account's extras cannot be carried over, nor known gone.
        if (!files::isDir(m_paths.extrasDir()))
            throwError(QStringLiteral("Cannot create file %1")
                           .arg(files::native(m_paths.tableExtrasFile(s.targetName))));
        s.extras = readExtras(m_paths, s.tableName);
        id = begin(s, [&] {
            // The money taken ahead on the account goes with it.
            QSqlQuery &q = m_ledger.statement(
                "UPDATE payments SET table_pos = ? WHERE table_pos = ? AND ahead = 1"
                " AND bill_id IS NULL AND cancelled_at IS NULL");
            bindAll(q, {to, from});
            execOrThrow(m_ledger, q);
        });
    } catch (const RuntimeError &e) {
        failed(s, e, Outcome::Dropped);
    }
    run(s, id);
}

void Operations::cancel(qint64 billId, const QString &reason, const QDateTime &now,
                        const std::optional<Reopen> &reopen, const NewEvent &event, bool refunded)
{
    const auto whole = qScopeGuard([this] { m_ledger.checkpoint(); }); // done or stopped
    finishPending();
    const std::optional<BillRecord> b = m_ledger.bill(billId);
    if (!b)
        throwError(QStringLiteral("Fiş bulunamadı: %1").arg(billId));
    if (b->cancelled())
        throwError(QStringLiteral("Bu fiş zaten iptal edilmiş."));
    const auto markCancelled = [&] {
        QSqlQuery q(database(m_ledger));
        q.prepare(
            QStringLiteral("UPDATE bills SET cancelled_at = ?, cancel_reason = ? WHERE id = ?"));
        q.addBindValue(isoText(now));
        q.addBindValue(reason);
        q.addBindValue(billId);
        execOrThrow(m_ledger, q);
        // Given back, cash and card are written as refunds; a tab's part is simply not owed.
        if (refunded) {
            QSqlQuery &r = m_ledger.statement(
                "INSERT INTO payments(kind, bill_id, table_pos, at, method, amount, operator)"
                " SELECT 'refund', bill_id, table_pos, ?, method, amount, ? FROM payments"
                " WHERE bill_id = ? AND kind = 'sale' AND cancelled_at IS NULL"
                " AND method IN ('cash', 'card') ORDER BY id");
            bindAll(r, {isoText(now), text(m_operator), billId});
            execOrThrow(m_ledger, r);
        }
        QSqlQuery &p = m_ledger.statement("UPDATE payments SET cancelled_at = ? WHERE bill_id = ?"
                                          " AND kind = 'sale' AND cancelled_at IS NULL");
        bindAll(p, {isoText(now), billId});
        execOrThrow(m_ledger, p);
    };
    Step s;
    s.kind = QStringLiteral("reopen");
    s.billId = billId;
    s.event = event;
    s.op = m_operator;
    if (!reopen) {
        try {
            transaction(m_ledger, [&](QSqlDatabase &) {
                markCancelled();
                writeEvent(s);
            });
        } catch (const RuntimeError &e) {
            failed(s, e, Outcome::Dropped);
        }
        return;
    }
    s.table = reopen->table;
    s.tableName = m_tableName(reopen->table);
    s.lines = reopen->lines.isEmpty() ? QStringList{b->openedDate, b->openedTime, b->feeLine}
                                      : reopen->lines;
    s.extras = reopen->extras;
    qint64 id = 0;
    try {
        id = begin(s, markCancelled);
    } catch (const RuntimeError &e) {
        failed(s, e, Outcome::Dropped);
    }
    run(s, id);
}

void Operations::discard(Step &s, const QList<BillRecord> &discarded)
{
    // No bill to write down: the change alone, as it always was, with its event.
    if (discarded.isEmpty()) {
        runAnyway(s);
        return;
    }
    const auto whole = qScopeGuard([this] { m_ledger.checkpoint(); }); // done or stopped
    finishPending();
    qint64 id = 0;
    try {
        id = begin(s, [&] {
            for (const BillRecord &b : discarded)
                s.bills << insertBill(b);
        });
    } catch (const RuntimeError &e) {
        failed(s, e, Outcome::Dropped);
    }
    run(s, id);
}

void Operations::restart(const BillRecord &discarded, const QStringList &lines,
                         const NewEvent &event)
{
    Step s;
    s.event = event;
    s.op = m_operator;
    s.kind = QStringLiteral("restart");
    s.table = discarded.tablePos;
    s.tableName = discarded.tableName;
    s.lines = lines;
    discard(s, {discarded});
}

void Operations::clearAccounts(const QList<BillRecord> &discarded, const NewEvent &event)
{
    Step s;
    s.event = event;
    s.op = m_operator;
    s.kind = QStringLiteral("clear");
    s.target = m_register.count();
    discard(s, discarded);
}

bool Operations::removeExtras(const std::optional<BillRecord> &discarded, const QString &file,
                              const NewEvent &event)
{
    Step s;
    s.event = event;
    s.op = m_operator;
    s.kind = QStringLiteral("remove");
    s.lines = QStringList{file};
    try {
        discard(s, discarded ? QList<BillRecord>{*discarded} : QList<BillRecord>());
    } catch (const NotRemoved &) {
        // Taken back whole: no bill, no step left (or its drop is owed, and said so).
        return false;
    }
    return true;
}

void Operations::renameTable(const QString &from, const QString &to, const QString &path,
                             const QByteArray &bytes, const NewEvent &event)
{
    const auto whole = qScopeGuard([this] { m_ledger.checkpoint(); }); // done or stopped
    Step s;
    s.kind = QStringLiteral("rename");
    s.tableName = from;
    s.targetName = to;
    s.lines = QStringList{dataName(m_paths, path), QString::fromLatin1(bytes.toBase64())};
    s.event = event;
    s.op = m_operator;
    if (!readExtras(m_paths, from)) {
        runAnyway(s);
        return;
    }
    // Two files move together: only the journal can finish or undo that after a crash.
    finishPending();
    qint64 id = 0;
    try {
        s.extras = readExtras(m_paths, from);
        if (!files::isDir(m_paths.extrasDir()))
            throwError(QStringLiteral("Cannot create file %1")
                           .arg(files::native(m_paths.tableExtrasFile(to))));
        id = begin(s, {});
    } catch (const RuntimeError &e) {
        failed(s, e, Outcome::Dropped);
    }
    run(s, id);
}

qint64 Operations::payApart(int table, const std::optional<BillRecord> &bill,
                            const QByteArray &rest, const std::optional<counter::Payment> &ahead,
                            const NewEvent &event)
{
    Step s;
    s.kind = QStringLiteral("part");
    s.table = table;
    s.tableName = m_tableName(table);
    s.event = event;
    s.op = m_operator;
    if (ahead)
        vetPayment(*ahead);
    // Kept on the open account until its bill is paid.
    const auto takeAhead = [&] {
        if (!ahead)
            return;
        const qint64 id =
            insertPayment(m_ledger,
                          {"sale", 0, table, m_register.value(RegisterLine::date(table)),
                           m_register.value(RegisterLine::startTime(table)), true, ahead->at,
                           ahead->method, ahead->amount, ahead->customer},
                          m_operator);
        s.lines = QStringList{QString::number(id)};
    };
    if (!bill) {
        if (ahead)
            ledgerOnly(s, takeAhead);
        return 0;
    }
    const auto whole = qScopeGuard([this] { m_ledger.checkpoint(); }); // done or stopped
    finishPending();
    s.extras = rest;
    qint64 id = 0;
    try {
        id = begin(s, [&] {
            BillRecord b = *bill;
            b.part = true;
            s.bills = {insertBill(b)};
            if (!s.event.isEmpty())
                s.event.detail = withBill(s.event.detail, s.bills.first());
            takeAhead();
        });
    } catch (const RuntimeError &e) {
        failed(s, e, Outcome::Dropped);
    }
    run(s, id);
    return s.bills.value(0);
}

void Operations::ledgerOnly(const QString &kind, const NewEvent &event,
                            const std::function<void()> &body)
{
    Step s;
    s.kind = kind;
    s.event = event;
    s.op = m_operator;
    ledgerOnly(s, body);
}

void Operations::ledgerOnly(Step &s, const std::function<void()> &body)
{
    const auto whole = qScopeGuard([this] { m_ledger.checkpoint(); }); // done or stopped
    try {
        finishPending();
        transaction(m_ledger, [&](QSqlDatabase &) {
            body();
            writeEvent(s);
        });
        m_unwritable.clear();
    } catch (const LedgerError &e) {
        failed(s, e, Outcome::Dropped);
    }
}

void Operations::collect(const QString &customer, const counter::Payment &payment,
                         const NewEvent &event)
{
    if (customer.trimmed().isEmpty())
        throwError(QStringLiteral("Tahsilat için müşterinin adını yazın."));
    if (payment.method == counter::Method::Tab)
        throwError(QStringLiteral("Veresiye borcu nakit ya da kartla tahsil edilir."));
    if (payment.amount <= 0)
        throwError(QStringLiteral("Tahsil edilecek tutar sıfırdan büyük olmalı."));
    ledgerOnly(QStringLiteral("collect"), event, [&] {
        // What is owed now, read in the transaction that takes the payment.
        QSqlQuery &q = m_ledger.statement(
            "SELECT c.name, coalesce(sum(CASE p.kind WHEN 'collect' THEN -p.amount"
            " ELSE p.amount END), 0) FROM customers c LEFT JOIN payments p"
            " ON p.customer = c.name AND p.cancelled_at IS NULL"
            " AND ((p.kind = 'sale' AND p.method = 'tab') OR p.kind = 'collect')"
            " WHERE c.name = ? GROUP BY c.name");
        q.bindValue(0, knownCustomer(m_ledger, customer));
        execOrThrow(m_ledger, q);
        const bool known = q.next();
        const QString name = known ? q.value(0).toString() : customer.trimmed();
        const qint64 owed = known ? q.value(1).toLongLong() : 0;
        q.finish();
        if (payment.amount > owed)
            throwError(
                QStringLiteral("Tahsil edilecek tutar (%1), %2 adlı müşterinin "
                               "veresiye borcunu (%3) aşıyor.")
                    .arg(counter::amountText(payment.amount), name, counter::amountText(owed)));
        insertPayment(
            m_ledger,
            {"collect", 0, -1, {}, {}, false, payment.at, payment.method, payment.amount, name},
            m_operator);
    });
}

qint64 Operations::openShift(const QString &cashier, qint64 floatCash, const NewEvent &event)
{
    if (floatCash < 0)
        throwError(QStringLiteral("Kasadaki para eksi olamaz."));
    qint64 id = 0;
    ledgerOnly(QStringLiteral("shift_open"), event, [&] {
        QSqlQuery &open = m_ledger.statement("SELECT 1 FROM shifts WHERE closed_at IS NULL");
        execOrThrow(m_ledger, open);
        const bool one = open.next();
        open.finish();
        if (one)
            throwError(QStringLiteral("Açık bir vardiya var."));
        // The last shift owns its closing's whole second: this one starts after it.
        QSqlQuery &last = m_ledger.statement("SELECT max(closed_at) FROM shifts");
        execOrThrow(m_ledger, last);
        QDateTime at = clock::now();
        if (last.next() && !last.value(0).isNull())
            at = qMax(at, fromIsoText(last.value(0).toString()).addSecs(1));
        last.finish();
        QSqlQuery &q =
            m_ledger.statement("INSERT INTO shifts(cashier, opened_at, float) VALUES(?, ?, ?)");
        bindAll(q, {cashier.trimmed().isEmpty() ? QStringLiteral("-") : cashier.trimmed(),
                    isoText(at), floatCash});
        execOrThrow(m_ledger, q);
        id = q.lastInsertId().toLongLong();
    });
    return id;
}

void Operations::closeShift(qint64 id, qint64 expected, qint64 counted, const QString &note,
                            const NewEvent &event)
{
    if (counted < 0)
        throwError(QStringLiteral("Sayılan para eksi olamaz."));
    ledgerOnly(QStringLiteral("shift_close"), event, [&] {
        QSqlQuery &q = m_ledger.statement(
            "UPDATE shifts SET closed_at = ?, expected = ?, counted = ?, note = ?"
            " WHERE id = ? AND closed_at IS NULL");
        bindAll(q, {isoText(clock::now()), expected, counted, text(note.trimmed()), id});
        execOrThrow(m_ledger, q);
        if (q.numRowsAffected() != 1)
            throwError(
                QStringLiteral("Bu vardiya açık değil; başka bir yerde kapatılmış olabilir."));
    });
}

void Operations::cashOut(qint64 amount, const QString &reason, const NewEvent &event)
{
    if (amount <= 0)
        throwError(QStringLiteral("Kasadan çıkan tutar sıfırdan büyük olmalı."));
    if (reason.trimmed().isEmpty())
        throwError(QStringLiteral("Kasadan çıkışın nedenini yazın."));
    ledgerOnly(QStringLiteral("cash_out"), event, [&] {
        QSqlQuery &q = m_ledger.statement(
            "INSERT INTO cash_outs(at, amount, reason, operator) VALUES(?, ?, ?, ?)");
        bindAll(q, {isoText(clock::now()), amount, reason.trimmed(), text(m_operator)});
        execOrThrow(m_ledger, q);
    });
}

void Operations::returnAhead(qint64 payment, const NewEvent &event)
{
    ledgerOnly(QStringLiteral("return_ahead"), event, [&] {
        QSqlQuery &q = m_ledger.statement(
            "SELECT table_pos, opened_date, opened_time, method, amount, customer FROM payments"
            " WHERE id = ? AND bill_id IS NULL AND ahead = 1 AND cancelled_at IS NULL"
            " AND kind = 'sale'");
        q.bindValue(0, payment);
        execOrThrow(m_ledger, q);
        if (!q.next()) {
            q.finish();
            throwError(QStringLiteral("Bu ödeme artık masada değil."));
        }
        PaymentRow back{"refund",
                        0,
                        q.value(0).toInt(),
                        q.value(1).toString(),
                        q.value(2).toString(),
                        false,
                        clock::now(),
                        counter::methodOf(q.value(3).toString()).value_or(counter::Method::Cash),
                        q.value(4).toLongLong(),
                        q.value(5).toString()};
        q.finish();
        QSqlQuery &cancel = m_ledger.statement("UPDATE payments SET cancelled_at = ? WHERE id = ?");
        bindAll(cancel, {isoText(back.at), payment});
        execOrThrow(m_ledger, cancel);
        // A tab's part is simply no longer owed; cash and card go back to the guest.
        if (back.method != counter::Method::Tab)
            insertPayment(m_ledger, back, m_operator);
    });
}

void Operations::saveFile(const QString &path, const QByteArray &bytes, const NewEvent &event)
{
    if (QFileInfo(path).absoluteFilePath() ==
        QFileInfo(m_paths.registerFile()).absoluteFilePath()) {
        saveRegister(RecordList::fromBytes(bytes), event);
        return;
    }
    const QString name = dataName(m_paths, path);
    if (name.startsWith(QLatin1String("./../")) || QFileInfo(name).isAbsolute())
        throwError(QStringLiteral("Cannot create file %1").arg(files::native(path)));
    Step s;
    s.kind = QStringLiteral("file");
    s.lines = QStringList{name};
    s.extras = bytes;
    s.event = event;
    s.op = m_operator;
    runAnyway(s);
}

void Operations::saveRegister(const QStringList &lines, const NewEvent &event)
{
    Step s;
    s.kind = QStringLiteral("register");
    s.lines = lines;
    s.event = event;
    s.op = m_operator;
    runAnyway(s);
}

void Operations::record(const NewEvent &event)
{
    record(event, m_operator);
}

void Operations::record(const NewEvent &event, const QString &op)
{
    if (event.isEmpty())
        return;
    Step s;
    s.kind = QStringLiteral("record");
    s.event = event;
    s.op = op;
    if (takeLedger()) {
        try {
            transaction(m_ledger, [&](QSqlDatabase &) { writeEvent(s); });
            return;
        } catch (const LedgerError &e) {
            m_unwritable = e.brief;
        }
    }
    vetWaiting();
    appendWaiting(s);
}

bool Operations::takeLedger()
{
    if (!m_ledger.isOpen() || !m_half.isEmpty())
        return false;
    try {
        // The counter's own actions never wait for another program's lock: their events wait.
        QSqlQuery q(database(m_ledger));
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
            sqlFailed(q.lastError());
        q.exec(QStringLiteral("ROLLBACK"));
        finishPending();
        return true;
    } catch (const LedgerError &e) {
        m_unwritable = e.brief;
    } catch (const RuntimeError &) {
    }
    return false;
}

void Operations::runAnyway(Step &s)
{
    const auto whole = qScopeGuard([this] { m_ledger.checkpoint(); }); // done or stopped
    s.plain = true;
    if (takeLedger()) {
        qint64 id = 0;
        try {
            id = begin(s, {});
        } catch (const LedgerError &e) {
            m_unwritable = e.brief;
        } catch (const RuntimeError &e) {
            failed(s, e, Outcome::Dropped);
        }
        if (id) {
            run(s, id);
            return;
        }
    }
    // The ledger cannot take it: the event waits, on the disk before the change is made.
    vetWaiting();
    s.guard.clear();
    prepare(s);
    try {
        appendWaiting(s);
    } catch (const RuntimeError &) {
        if (QFileInfo(waitingPath()).size() == 0)
            QFile::remove(waitingPath());
        // Without its event kept, the change is not made: said of the file it was to change.
        const QString target = s.kind == QLatin1String("register")
                                   ? m_paths.registerFile()
                                   : QDir(m_paths.dataDir()).absoluteFilePath(s.lines.value(0));
        throwError(
            QStringLiteral("Cannot create file %1").arg(files::native(QDir::cleanPath(target))));
    }
    try {
        apply(s);
    } catch (const RuntimeError &e) {
        if (compare(s) == State::Before)
            dropLastWaiting();
        failed(s, e, Outcome::Dropped);
    }
}

namespace {
QJsonValue orNull(const std::optional<QString> &text)
{
    return text ? QJsonValue(*text) : QJsonValue();
}

// A waiting event's line; its id and hashes hold until it enters the ledger.
QByteArray waitingLine(const Event &e, const QByteArray &guard)
{
    QJsonObject o{{QStringLiteral("id"), QString::number(e.id)},
                  {QStringLiteral("at"), e.at},
                  {QStringLiteral("operator"), e.op},
                  {QStringLiteral("kind"), e.kind},
                  {QStringLiteral("table"), orNull(e.table)},
                  {QStringLiteral("detail"), QString::fromUtf8(e.detail)},
                  {QStringLiteral("amount"),
                   e.amount ? QJsonValue(QString::number(*e.amount)) : QJsonValue()},
                  {QStringLiteral("prev_hash"), e.prevHash},
                  {QStringLiteral("hash"), e.hash},
                  {QStringLiteral("guard"), QString::fromUtf8(guard)}};
    return compactJson(o) + '\n';
}

struct Waiting
{
    Event event;
    QByteArray guard;
};

std::optional<Waiting> waitingOf(const QByteArray &line)
{
    const QJsonObject o = QJsonDocument::fromJson(line).object();
    if (o.isEmpty())
        return std::nullopt;
    Waiting w;
    w.event.id = o.value(QStringLiteral("id")).toString().toLongLong();
    w.event.at = o.value(QStringLiteral("at")).toString();
    w.event.op = o.value(QStringLiteral("operator")).toString();
    w.event.kind = o.value(QStringLiteral("kind")).toString();
    if (o.value(QStringLiteral("table")).isString())
        w.event.table = o.value(QStringLiteral("table")).toString();
    w.event.detail = o.value(QStringLiteral("detail")).toString().toUtf8();
    if (o.value(QStringLiteral("amount")).isString())
        w.event.amount = o.value(QStringLiteral("amount")).toString().toLongLong();
    w.event.prevHash = o.value(QStringLiteral("prev_hash")).toString();
    w.event.hash = o.value(QStringLiteral("hash")).toString();
    w.guard = o.value(QStringLiteral("guard")).toString().toUtf8();
    return w;
}

// The file's complete lines (a line cut short by a crash was never acted upon).
QList<QByteArray> waitingLines(const QString &path)
{
    const std::optional<QByteArray> bytes = files::readWhole(path);
    if (!bytes && files::kind(path) != files::Kind::Missing)
        throwError(QStringLiteral("Cannot open file %1").arg(files::native(path)));
    QList<QByteArray> lines = bytes.value_or(QByteArray()).split('\n');
    lines.removeLast(); // after the last LF
    return lines;
}

QByteArray joined(const QList<QByteArray> &lines)
{
    QByteArray out;
    for (const QByteArray &line : lines)
        out += line + '\n';
    return out;
}
} // namespace

QString Operations::waitingPath() const
{
    return Ledger::waitingEventsFile(m_paths.ledgerFile());
}

void Operations::vetWaiting()
{
    // Only a start finds a line whose change may not have been made: each line is written
    // before its change, and one whose change failed is taken back at once.
    if (m_waitingVetted)
        return;
    const std::optional<QByteArray> bytes = files::readWhole(waitingPath());
    QList<QByteArray> lines = waitingLines(waitingPath());
    // A line cut short is dropped too, or the next one would be appended to it.
    bool rewrite = bytes && !bytes->isEmpty() && !bytes->endsWith('\n');
    if (!lines.isEmpty()) {
        const std::optional<Waiting> last = waitingOf(lines.last());
        Step s;
        if (last)
            s.guard = guardOf(last->guard);
        if (!last || (!s.guard.isEmpty() && compare(s) == State::Before)) {
            lines.removeLast();
            rewrite = true;
        }
    }
    if (rewrite && !files::writeAtomically(waitingPath(), joined(lines)))
        throwError(QStringLiteral("Cannot create file %1").arg(files::native(waitingPath())));
    m_waitingVetted = true;
}

void Operations::appendWaiting(const Step &s)
{
    if (s.event.isEmpty())
        return;
    // Chained to the line before, or to the ledger's head where it can be read: entering the
    // ledger they are chained again onto its head then.
    qint64 id = 1;
    QString prev = firstPrevHash();
    const QList<QByteArray> lines = waitingLines(waitingPath());
    if (!lines.isEmpty()) {
        if (const std::optional<Waiting> w = waitingOf(lines.last())) {
            id = w->event.id + 1;
            prev = w->event.hash;
        }
    } else if (m_ledger.readable()) {
        try {
            const ChainHead head = m_ledger.chainHead();
            id = head.id + 1;
            prev = head.hash;
        } catch (const RuntimeError &) {
        }
    }
    const Event e = chainEvent(s.event, s.op, eventTime(clock::now()), id, prev);
    if (!files::appendDurably(waitingPath(), waitingLine(e, guardText(s.guard)))) {
        m_waitingVetted = false; // what part of the line is there is looked at again
        throwError(QStringLiteral("Cannot create file %1").arg(files::native(waitingPath())));
    }
}

void Operations::dropLastWaiting()
{
    if (m_waitingVetted) {
        QList<QByteArray> lines = waitingLines(waitingPath());
        if (!lines.isEmpty()) {
            lines.removeLast();
            if (files::writeAtomically(waitingPath(), joined(lines)))
                return;
        }
    }
    // Left to the next start, which finds its file as before.
    m_waitingVetted = false;
}

void Operations::enterWaiting()
{
    if (files::kind(waitingPath()) == files::Kind::Missing)
        return;
    vetWaiting();
    const QList<QByteArray> lines = waitingLines(waitingPath());
    // How many lines went in, with their bytes: a file left after its lines entered the
    // ledger (its removal failed, or a crash came between) is never entered twice.
    const auto markOf = [&lines](qsizetype count) {
        return QByteArray::number(count) + ' ' +
               QCryptographicHash::hash(joined(lines.first(count)), QCryptographicHash::Sha256)
                   .toHex();
    };
    transaction(m_ledger, [&](QSqlDatabase &) {
        QSqlQuery &seen =
            m_ledger.statement("SELECT value FROM ledger_info WHERE key = 'waiting_entered'");
        execOrThrow(m_ledger, seen);
        const QByteArray entered = seen.next() ? seen.value(0).toString().toLatin1() : "";
        seen.finish();
        qsizetype from = entered.left(entered.indexOf(' ')).toLongLong();
        if (from > lines.size() || entered != markOf(from))
            from = 0;
        for (qsizetype k = from; k < lines.size(); ++k) {
            const std::optional<Waiting> w = waitingOf(lines.at(k));
            if (!w)
                continue;
            const NewEvent n{w->event.kind, w->event.table.value_or(QString()), w->event.detail,
                             w->event.amount};
            insertEvent(m_ledger, n, w->event.op, w->event.at);
        }
        QSqlQuery &q = m_ledger.statement(
            "INSERT OR REPLACE INTO ledger_info(key, value) VALUES('waiting_entered', ?)");
        q.bindValue(0, QString::fromLatin1(markOf(lines.size())));
        execOrThrow(m_ledger, q);
    });
    files::remove(waitingPath());
    if (files::kind(waitingPath()) != files::Kind::Missing)
        throwError(QStringLiteral("Cannot create file %1").arg(files::native(waitingPath())));
    fsys::syncDirectory(m_paths.dataDir());
}

void Operations::setOperator(const QString &name)
{
    m_operator = name.isEmpty() ? QStringLiteral("-") : name;
}

} // namespace kv::ledger

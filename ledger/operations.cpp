#include "operations.h"

#include "errors.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <array>

namespace kv::ledger {

// One journal row: everything needed to make the step's file changes again.
struct Operations::Step
{
    QString kind; // "settle", "move", "reopen", "restart", "clear", "remove"
    qint64 billId = 0;
    int table = -1;    // settle, reopen: the table; move: the source
    QString tableName; // its extras file's name when the step began
    int target = -1;   // move: the table the account goes to
    QString targetName;
    QStringList lines; // move, reopen, restart: the account's three register lines; remove:
                       // the files
    std::optional<QByteArray> extras; // move, reopen: the extras file, none: no file
    // Not kept in the journal: the extras file the first change replaces, as it was, put
    // back when that change cannot be followed by the rest.
    std::optional<QByteArray> previous;
};

namespace {
// A file a step was to remove is still there, as it was.
class NotRemoved : public RuntimeError
{
public:
    using RuntimeError::RuntimeError;
};

QSqlDatabase database(const Ledger &ledger)
{
    if (!ledger.isOpen())
        throwError(ledger.problem());
    return QSqlDatabase::database(ledger.connectionName(), false);
}

[[noreturn]] void sqlFailed(const QSqlError &e)
{
    throwError(QStringLiteral("Defter.db'ye yazılamadı: %1").arg(e.text()));
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

void execOrThrow(QSqlQuery &q)
{
    if (!q.exec())
        sqlFailed(q.lastError());
}

// Runs the body in one transaction: all of it is in the ledger, or none of it.
void transaction(const QSqlDatabase &constDb, const std::function<void(QSqlDatabase &)> &body)
{
    QSqlDatabase db = constDb;
    if (!db.transaction())
        sqlFailed(db.lastError());
    try {
        body(db);
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit()) {
        const QSqlError e = db.lastError();
        db.rollback();
        sqlFailed(e);
    }
}

QVariant blob(const std::optional<QByteArray> &bytes)
{
    return bytes ? QVariant(*bytes) : QVariant(QMetaType(QMetaType::QByteArray));
}

void writeExtras(const Paths &paths, const QString &table, const std::optional<QByteArray> &bytes)
{
    const QString path = paths.tableExtrasFile(table);
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

QString Operations::removedPath(const Paths &paths, const Step &s)
{
    // Never the directory itself.
    return s.lines.value(0).isEmpty() ? QString()
                                      : paths.extrasDir() + QLatin1Char('/') + s.lines.value(0);
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

qint64 Operations::begin(const Step &s, const std::function<void()> &alsoInTransaction)
{
    qint64 id = 0;
    transaction(database(m_ledger), [&](QSqlDatabase &) {
        if (alsoInTransaction)
            alsoInTransaction();
        QSqlQuery &q = m_ledger.statement(
            "INSERT INTO journal(kind, created_at, bill_id, table_pos, table_name, target_pos,"
            " target_name, register_lines, extras_file) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)");
        bindAll(q, {s.kind, isoText(QDateTime::currentDateTime()),
                    s.billId ? QVariant(s.billId) : QVariant(QMetaType(QMetaType::LongLong)),
                    s.table, s.tableName, s.target, s.targetName, s.lines.join(QLatin1Char('\n')),
                    blob(s.extras)});
        execOrThrow(q);
        id = q.lastInsertId().toLongLong();
    });
    return id;
}

void Operations::markDone(qint64 id)
{
    QSqlQuery &q = m_ledger.statement("UPDATE journal SET done = 1 WHERE id = ?");
    q.bindValue(0, id);
    execOrThrow(q);
}

void Operations::abandon(qint64 id, const std::function<void()> &alsoInTransaction)
{
    transaction(database(m_ledger), [&](QSqlDatabase &db) {
        if (alsoInTransaction)
            alsoInTransaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("DELETE FROM journal WHERE id = ?"));
        q.addBindValue(id);
        execOrThrow(q);
    });
}

// The file changes of a step, each an assignment: made again after a crash, they give the
// same files.
void Operations::apply(const Step &s)
{
    const auto setLines = [this](int table, const QStringList &lines) {
        m_register.saveChanged(m_paths.registerFile(), [&](RecordList &reg) {
            reg.padFrom(defaultRegister());
            reg.set(RegisterLine::date(table), lines.value(0));
            reg.set(RegisterLine::startTime(table), lines.value(1));
            reg.set(RegisterLine::fee(table), lines.value(2));
        });
    };
    if (s.kind == QLatin1String("settle")) {
        writeExtras(m_paths, s.tableName, QByteArray());
        setLines(s.table, {});
    } else if (s.kind == QLatin1String("move")) {
        if (s.extras)
            writeExtras(m_paths, s.targetName, s.extras);
        m_register.saveChanged(m_paths.registerFile(), [&](RecordList &reg) {
            reg.padFrom(defaultRegister());
            for (int k = 0; k < 3; ++k) {
                reg.set(RegisterLine::date(s.target) + k, s.lines.value(k));
                reg.set(RegisterLine::date(s.table) + k, QString());
            }
        });
        writeExtras(m_paths, s.tableName, std::nullopt);
    } else if (s.kind == QLatin1String("reopen")) {
        writeExtras(m_paths, s.tableName, s.extras);
        setLines(s.table, s.lines);
    } else if (s.kind == QLatin1String("restart") || s.kind == QLatin1String("clear")) {
        m_register.saveChanged(m_paths.registerFile(),
                               [&](RecordList &reg) { changeRegister(s, reg); });
    } else if (s.kind == QLatin1String("remove")) {
        const QString path = removedPath(m_paths, s);
        if (path.isEmpty())
            return;
        files::remove(path);
        if (files::kind(path) != files::Kind::Missing)
            throw NotRemoved(QStringLiteral("%1 silinemedi.").arg(files::native(path)));
    }
}

void Operations::changeRegister(const Step &s, RecordList &reg)
{
    reg.padFrom(defaultRegister());
    if (s.kind == QLatin1String("restart")) {
        for (int k = 0; k < 3; ++k)
            reg.set(RegisterLine::date(s.table) + k, s.lines.value(k));
    } else {
        for (int i = RegisterLine::TableCount + 1; i < reg.count(); ++i)
            reg.set(i, QString());
    }
}

void Operations::run(const Step &s, qint64 id, const std::function<void()> &undoInTransaction)
{
    const QByteArray registerBefore = RecordList::toBytes(m_register.lines());
    const bool registerOnly =
        s.kind == QLatin1String("restart") || s.kind == QLatin1String("clear");
    QByteArray registerAfter;
    if (registerOnly) {
        RecordList after = m_register;
        changeRegister(s, after);
        registerAfter = RecordList::toBytes(after.lines());
    }
    try {
        apply(s);
    } catch (const RuntimeError &) {
        // What cannot be marked now is left for finishPending().
        const auto quietly = [](const std::function<void()> &mark) {
            try {
                mark();
            } catch (const RuntimeError &) {
            }
        };
        // A file that could not be removed is there as it was: the step is taken back.
        if (s.kind == QLatin1String("remove")) {
            if (files::kind(removedPath(m_paths, s)) != files::Kind::Missing)
                quietly([&] { abandon(id, undoInTransaction); });
            throw;
        }
        // A save that failed after its file was in place (a failed directory sync) has done
        // the step: it is never made again over later work.
        if (registerOnly && RecordList::toBytes(m_register.lines()) == registerAfter) {
            quietly([&] { markDone(id); });
            throw;
        }
        // While the register is unchanged on disk the step can be taken back whole.
        if (s.kind != QLatin1String("remove") &&
            RecordList::toBytes(m_register.lines()) == registerBefore &&
            files::kind(m_paths.registerFile()) == files::Kind::Regular) {
            try {
                // The extras file may have been written already: put it back as it was.
                const bool move = s.kind == QLatin1String("move");
                const bool extrasWritten =
                    move ? bool(s.extras)
                         : s.kind == QLatin1String("settle") || s.kind == QLatin1String("reopen");
                if (extrasWritten)
                    writeExtras(m_paths, move ? s.targetName : s.tableName, s.previous);
                abandon(id, undoInTransaction);
            } catch (const RuntimeError &) {
                // Left for finishPending(): the step is then made whole.
            }
        }
        throw;
    }
    markDone(id);
}

bool Operations::finishPending()
{
    if (!m_ledger.isOpen())
        return false;
    QSqlQuery &q = m_ledger.statement("SELECT id, kind, bill_id, table_pos, table_name, target_pos,"
                                      " target_name, register_lines, extras_file FROM journal"
                                      " WHERE done = 0 ORDER BY id");
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
        s.target = q.value(5).toInt();
        s.targetName = q.value(6).toString();
        s.lines = q.value(7).toString().split(QLatin1Char('\n'));
        if (!q.value(8).isNull())
            s.extras = q.value(8).toByteArray();
        steps.append({q.value(0).toLongLong(), s});
    }
    q.finish();
    if (steps.isEmpty())
        return false;
    const auto whole = qScopeGuard([this] { m_ledger.checkpoint(); });
    for (const auto &[id, s] : steps) {
        apply(s);
        markDone(id);
    }
    return true;
}

qint64 Operations::insertBill(const BillRecord &b)
{
    QSqlQuery &q = m_ledger.statement(
        "INSERT INTO bills(table_pos, table_name, opened_date, opened_time, fee, closed_at,"
        " minutes, time_charge, minimum_applied, extras_total, total, fee_line, extras_file,"
        " cancelled_at, cancel_reason, restart)"
        " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const QVariant noText(QMetaType(QMetaType::QString));
    bindAll(q, {QVariant(b.tablePos), text(b.tableName), text(b.openedDate), text(b.openedTime),
                QVariant(b.bill.fee), QVariant(isoText(b.closedAt)), QVariant(b.bill.minutes),
                QVariant(b.bill.timeCharge), QVariant(int(b.bill.minimumApplied)),
                QVariant(b.bill.extrasTotal), QVariant(b.bill.total), text(b.feeLine),
                blob(b.extrasFile), b.cancelled() ? QVariant(isoText(b.cancelledAt)) : noText,
                b.cancelled() ? QVariant(b.cancelReason) : noText, QVariant(int(b.restart))});
    execOrThrow(q);
    const qint64 billId = q.lastInsertId().toLongLong();
    if (b.extras.isEmpty())
        return billId;
    // Many rows a statement: the work of running one (SQLite's and Qt's) was most of a row's
    // cost. Four sizes, each prepared once, write any count in a few statements.
    static const std::array<std::pair<int, QByteArray>, 4> sizes = [] {
        std::array<std::pair<int, QByteArray>, 4> made{{{64, {}}, {16, {}}, {4, {}}, {1, {}}}};
        for (auto &[rows, sql] : made) {
            sql = "INSERT INTO bill_extras(bill_id, pos, name, price, carried) VALUES"
                  " (?, ?, ?, ?, ?)";
            for (int k = 1; k < rows; ++k)
                sql += ", (?, ?, ?, ?, ?)";
        }
        return made;
    }();
    const qsizetype count = b.extras.size();
    qsizetype pos = 0;
    for (const auto &[rows, sql] : sizes) {
        for (; count - pos >= rows; pos += rows) {
            QSqlQuery &e = m_ledger.statement(sql.constData());
            for (int k = 0; k < rows; ++k) {
                const BookedExtra &x = b.extras.at(pos + k);
                e.bindValue(5 * k, billId);
                e.bindValue(5 * k + 1, int(pos + k));
                e.bindValue(5 * k + 2, text(x.name));
                e.bindValue(5 * k + 3, x.price);
                e.bindValue(5 * k + 4, int(x.carried));
            }
            execOrThrow(e);
        }
    }
    return billId;
}

qint64 Operations::settle(const BillRecord &b)
{
    const auto whole = qScopeGuard([this] { m_ledger.checkpoint(); }); // done or stopped
    finishPending();
    Step s;
    s.kind = QStringLiteral("settle");
    s.table = b.tablePos;
    s.tableName = b.tableName;
    s.previous = b.extrasFile;
    const QSqlDatabase db = database(m_ledger);
    const qint64 id = begin(s, [&] { s.billId = insertBill(b); });
    const qint64 billId = s.billId;
    run(s, id, [&] {
        QSqlQuery q(db);
        for (const char *sql :
             {"DELETE FROM bill_extras WHERE bill_id = ?", "DELETE FROM bills WHERE id = ?"}) {
            q.prepare(QLatin1String(sql));
            q.addBindValue(billId);
            execOrThrow(q);
        }
    });
    return billId;
}

void Operations::move(int from, int to)
{
    const auto whole = qScopeGuard([this] { m_ledger.checkpoint(); }); // done or stopped
    finishPending();
    Step s;
    s.kind = QStringLiteral("move");
    s.table = from;
    s.tableName = m_tableName(from);
    s.target = to;
    s.targetName = m_tableName(to);
    for (int k = 0; k < 3; ++k)
        s.lines << m_register.value(RegisterLine::date(from) + k);
    // Without its directory the account's extras cannot be carried over, nor known gone.
    if (!files::isDir(m_paths.extrasDir()))
        throwError(QStringLiteral("Cannot create file %1")
                       .arg(files::native(m_paths.tableExtrasFile(s.targetName))));
    s.extras = readExtras(m_paths, s.tableName);
    s.previous = readExtras(m_paths, s.targetName);
    const qint64 id = begin(s, {});
    run(s, id, {});
}

void Operations::cancel(qint64 billId, const QString &reason, const QDateTime &now,
                        const std::optional<Reopen> &reopen)
{
    const auto whole = qScopeGuard([this] { m_ledger.checkpoint(); }); // done or stopped
    finishPending();
    const std::optional<BillRecord> b = m_ledger.bill(billId);
    if (!b)
        throwError(QStringLiteral("Fiş bulunamadı: %1").arg(billId));
    if (b->cancelled())
        throwError(QStringLiteral("Bu fiş zaten iptal edilmiş."));
    const QSqlDatabase db = database(m_ledger);
    const auto markCancelled = [&] {
        QSqlQuery q(db);
        q.prepare(
            QStringLiteral("UPDATE bills SET cancelled_at = ?, cancel_reason = ? WHERE id = ?"));
        q.addBindValue(isoText(now));
        q.addBindValue(reason);
        q.addBindValue(billId);
        execOrThrow(q);
    };
    if (!reopen) {
        transaction(db, [&](QSqlDatabase &) { markCancelled(); });
        return;
    }
    Step s;
    s.kind = QStringLiteral("reopen");
    s.billId = billId;
    s.table = reopen->table;
    s.tableName = m_tableName(reopen->table);
    s.lines = {b->openedDate, b->openedTime, b->feeLine};
    s.extras = reopen->extras;
    s.previous = readExtras(m_paths, s.tableName);
    const qint64 id = begin(s, markCancelled);
    run(s, id, [&] {
        QSqlQuery q(db);
        q.prepare(QStringLiteral(
            "UPDATE bills SET cancelled_at = NULL, cancel_reason = NULL WHERE id = ?"));
        q.addBindValue(billId);
        execOrThrow(q);
    });
}

void Operations::discard(Step &s, const QList<BillRecord> &discarded)
{
    // Nothing to write down: the change alone, as it always was.
    if (discarded.isEmpty()) {
        apply(s);
        return;
    }
    const auto whole = qScopeGuard([this] { m_ledger.checkpoint(); }); // done or stopped
    finishPending();
    const QSqlDatabase db = database(m_ledger);
    QList<qint64> bills;
    const qint64 id = begin(s, [&] {
        for (const BillRecord &b : discarded)
            bills << insertBill(b);
    });
    run(s, id, [&] {
        QSqlQuery q(db);
        for (qint64 bill : bills) {
            for (const char *sql :
                 {"DELETE FROM bill_extras WHERE bill_id = ?", "DELETE FROM bills WHERE id = ?"}) {
                q.prepare(QLatin1String(sql));
                q.addBindValue(bill);
                execOrThrow(q);
            }
        }
    });
}

void Operations::restart(const BillRecord &discarded, const QStringList &lines)
{
    Step s;
    s.kind = QStringLiteral("restart");
    s.table = discarded.tablePos;
    s.tableName = discarded.tableName;
    s.lines = lines;
    discard(s, {discarded});
}

void Operations::clearAccounts(const QList<BillRecord> &discarded)
{
    Step s;
    s.kind = QStringLiteral("clear");
    discard(s, discarded);
}

bool Operations::removeExtras(const std::optional<BillRecord> &discarded, const QString &file)
{
    Step s;
    s.kind = QStringLiteral("remove");
    s.lines = QStringList{file};
    try {
        discard(s, discarded ? QList<BillRecord>{*discarded} : QList<BillRecord>());
    } catch (const NotRemoved &) {
        // Taken back whole (no bill, no step left), unless the ledger could not take it back.
        if (discarded && m_ledger.hasUnfinishedSteps())
            throw;
        return false;
    }
    return true;
}

} // namespace kv::ledger

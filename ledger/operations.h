#pragma once

#include "errors.h"
#include "layout.h"
#include "ledger.h"
#include "recordlist.h"

#include <functional>
#include <optional>
#include <utility>
#include <vector>

// Settling, moving and reopening change several files: the ledger, the table register and
// table extras files. Each first records in the ledger what it is about to do (one
// transaction, with the bill when there is one), then changes the record files, then marks
// itself done. A step a crash or a failed write left unfinished is finished before the next
// one and at start-up, so whenever the process dies an account is either still open with no
// bill, or its bill is in the ledger exactly once and its table is free; a moved account and
// its extras stand on exactly one table.
class QSqlDatabase;

namespace kv::ledger {

// A table's extras file byte for byte; nullopt when there is none.
std::optional<QByteArray> readExtras(const Paths &paths, const QString &table);

class Operations
{
public:
    // The register in memory, which every step saves whole; a table's current name by its
    // position (its extras file's name).
    Operations(Ledger &ledger, RecordList &reg, const Paths &paths,
               std::function<QString(int)> tableName);
    ~Operations();

    // Writes what an earlier step still owes the ledger, then compares every step left
    // unfinished with the files: still as before, it is dropped; each file as before or as
    // after, it is finished; changed by later work, it is set aside (its bills marked for
    // review, see takeNotices()) and nothing is written. True when a file was changed.
    // Throws when the ledger or a file cannot be written yet.
    bool finishPending();
    // Whether a step's outcome could not be written to the ledger, or a step was left half
    // done: no step runs until finishPending() succeeds.
    bool blocked() const { return !m_owed.empty() || !m_half.isEmpty(); }
    // For the status bar: why the cash desk cannot work now (also while the ledger could not
    // be written at the last try); empty when it can.
    QString status() const;
    // Writes the marks owed and tries whether the ledger can be written again, without waiting
    // and without touching a record file; the events waiting for it then go in.
    void tryLedger();
    // What finishPending() set aside, for the operator: one message a step.
    QStringList takeNotices() { return std::exchange(m_notices, {}); }

    // Who makes the steps from now on, written on their events ("-": nobody in particular).
    void setOperator(const QString &name);

    // Each step writes its event (none with an empty kind) in the transaction that marks it
    // done: after any crash and the recovery, an event is in the ledger exactly when its change
    // is in the files.
    //
    // Each step below either completes, or fails with a message that says whether it was
    // rolled back (nothing changed) or finished anyway; only where neither could be written
    // is it left for finishPending(), and no step runs until then.

    // Records the bill and frees its table: register lines emptied, extras file emptied.
    // The bill's settlement goes with it in the same transaction: its discount, treats and
    // payments; a payment taken ahead (its id) is tied to the bill, the others are written,
    // and a tab's customer is added to the customers when new. Returns the bill's id.
    // Its event's detail gets the bill's id as "bill", and the bill its event's id and hash.
    qint64 settle(const BillRecord &bill, const NewEvent &event);
    // The account of table `from` (lines, extras and payments taken ahead) goes to the free
    // table `to`.
    void move(int from, int to, const NewEvent &event);
    // Cancels a bill with a reason. With a table, its account is opened again there with the
    // register lines `lines` (none: as the bill was opened), and as its extras file `extras`
    // (the bill's own, or those with what the table held). The caller chooses a table with no
    // account.
    struct Reopen
    {
        int table = -1;
        std::optional<QByteArray> extras;
        QStringList lines = {};
    };
    // Its payments are cancelled with it; `refunded`: the money taken in cash or by card was
    // given back, written as refunds of the same methods at `now` (a tab's part is simply no
    // longer owed).
    void cancel(qint64 billId, const QString &reason, const QDateTime &now,
                const std::optional<Reopen> &reopen, const NewEvent &event, bool refunded = false);

    // What the operator drops without a sale is written as bills closed and cancelled (each
    // with its reason) in the same step as the file change that drops it.
    // A restarted account: the table's register lines become `lines`.
    void restart(const BillRecord &discarded, const QStringList &lines, const NewEvent &event);
    // Every account emptied: the register's lines after its table count.
    void clearAccounts(const QList<BillRecord> &discarded, const NewEvent &event);
    // A file of the table extras directory removed, by its name in it, with the bill of what
    // it held (none: nothing to write down). False when it could not be removed: it stays as
    // it was, with no bill.
    // With no bill to write, clearing and removing are the counter's own saves (below).
    bool removeExtras(const std::optional<BillRecord> &discarded, const QString &file,
                      const NewEvent &event);
    // A table's name changes from `from` to `to`: its extras file goes to the new name and the
    // tables file `path` (in the data directory) becomes `bytes`, as one step. After any crash
    // and the recovery, the extras stand under exactly the name the tables file gives. A table
    // with no extras file needs no ledger: its step is a save of the tables file alone.
    void renameTable(const QString &from, const QString &to, const QString &path,
                     const QByteArray &bytes, const NewEvent &event);

    // Part of an open table paid now, as one step: `bill` (extras chosen, paid; none: none
    // chosen) written with its payments and the table's extras file made `rest`, and `ahead`
    // (none: nothing) kept as taken on the open account. Its register lines stay. The bill's
    // id; 0 when there was none.
    qint64 payApart(int table, const std::optional<BillRecord> &bill, const QByteArray &rest,
                    const std::optional<counter::Payment> &ahead, const NewEvent &event);

    // Money that changes no record file: each is one transaction with its event, and needs the
    // ledger (NotTaken where it cannot be written: nothing done).
    // A payment against a customer's tab (cash or card).
    void collect(const QString &customer, const counter::Payment &payment, const NewEvent &event);
    // A shift opened by `cashier` with `floatCash` in the drawer; its id.
    qint64 openShift(const QString &cashier, qint64 floatCash, const NewEvent &event);
    // The open shift closed: the cash expected and counted, and a note.
    void closeShift(qint64 id, qint64 expected, qint64 counted, const QString &note,
                    const NewEvent &event);
    // Cash taken out of the drawer, for a reason.
    void cashOut(qint64 amount, const QString &reason, const NewEvent &event);
    // A payment taken ahead on an open account given back: it no longer counts, and its cash
    // or card leaves as a refund (a tab's part is simply no longer owed).
    void returnAhead(qint64 payment, const NewEvent &event);

    // The counter's own saves and events never stop for the ledger: while it cannot be
    // written, their events wait, chained, in the file beside it (each synced before its
    // change is made), and go into it in order once it can. They fail as the save itself does.
    // A record file of the data directory becomes `bytes` (the register's: as saveRegister).
    void saveFile(const QString &path, const QByteArray &bytes, const NewEvent &event);
    // The register in memory becomes `lines`, and is saved.
    void saveRegister(const QStringList &lines, const NewEvent &event);
    // An event with no file change (login, a PIN refused).
    void record(const NewEvent &event);
    // As by `op` rather than the one at the counter (a login's own event).
    void record(const NewEvent &event, const QString &op);

    struct Step;
    // What became of a step that failed half-way.
    enum class Outcome { Dropped, Finished, Half };

private:
    struct Effects;
    Effects effects(const Step &step) const;
    // Records the step (with what it changes, before and after) and runs `alsoInTransaction`
    // in the same transaction; nothing is done when it fails.
    qint64 begin(Step &step, const std::function<void()> &alsoInTransaction);
    // The step's guard, and what a rollback puts back.
    void prepare(Step &step) const;
    qint64 insertBill(const BillRecord &bill);
    // Money that changes no file: `body` and the step's event in one transaction, NotTaken
    // where the ledger cannot take it.
    void ledgerOnly(Step &step, const std::function<void()> &body);
    // The same, for a step of `kind` made by the one at the counter.
    void ledgerOnly(const QString &kind, const NewEvent &event, const std::function<void()> &body);
    // A step that writes bills nobody paid, and drops what they record; with no bill, a save
    // of the counter's own.
    void discard(Step &step, const QList<BillRecord> &discarded);
    void apply(const Step &step);
    // Puts back what the step changed, from what it kept of the files before.
    void putBack(const Step &step);
    enum class State { Before, Between, After, Changed };
    State compare(const Step &step) const;
    void markDone(qint64 id, const Step &step);
    // Inside a transaction.
    void writeEvent(const Step &step);
    // Deletes the step and undoes what it wrote to the ledger, in one transaction.
    void drop(qint64 id, const Step &step);
    // Inside drop's or setAside's transaction: money taken ahead stays with the account where
    // the step's files left it.
    void keepAheadOnAccount(const QSqlDatabase &db, const Step &step) const;
    void setAside(qint64 id, const Step &step);
    // Runs the step's file changes; a failure is rolled back or finished before it is thrown.
    void run(Step &step, qint64 id);
    Outcome recover(Step &step, qint64 id);
    // A mark that could not be written: kept until finishPending() writes it.
    void owe(qint64 id, const Step &step, bool dropped, const QString &why);
    void payOwed();
    [[noreturn]] void failed(const Step &step, const RuntimeError &why, Outcome outcome);
    // Whether the ledger takes a step now, with what was left finished first.
    bool takeLedger();
    // A step of the counter's own: in the journal where the ledger can be written, else with
    // its event waiting.
    void runAnyway(Step &step);
    QString waitingPath() const;
    // Drops a line left by a start whose change was never made (its files are as before).
    void vetWaiting();
    void appendWaiting(const Step &step);
    void dropLastWaiting();
    // The waiting events into the ledger, in order, in one transaction; then the file goes.
    void enterWaiting();

    Ledger &m_ledger;
    RecordList &m_register;
    Paths m_paths;
    std::function<QString(int)> m_tableName;
    struct Owed;
    std::vector<Owed> m_owed;
    QString m_owedWhy;    // why the marks owed could not be written
    QString m_half;       // the step left half done
    QString m_unwritable; // why the ledger could not be written at the last try
    QStringList m_notices;
    QString m_operator = QStringLiteral("-");
    bool m_waitingVetted = false;
};

// A ledger failure: what the operator reads (Turkish), and SQLite's own text as the detail.
class LedgerError : public RuntimeError
{
public:
    LedgerError(const QString &reason, const QString &detail, const QString &brief = {});
    QString reason, detail;
    QString brief; // for the status bar: "başka bir program tarafından kullanılıyor"
};

// A step the ledger could not take: nothing of it was done, and it may be tried again.
class NotTaken : public RuntimeError
{
public:
    using RuntimeError::RuntimeError;
};

} // namespace kv::ledger

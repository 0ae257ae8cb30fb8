#pragma once

#include "layout.h"
#include "ledger.h"
#include "recordlist.h"

#include <functional>
#include <optional>

// Settling, moving and reopening change several files: the ledger, the table register and
// table extras files. Each first records in the ledger what it is about to do (one
// transaction, with the bill when there is one), then changes the record files, then marks
// itself done. A step a crash or a failed write left unfinished is finished before the next
// one and at start-up, so whenever the process dies an account is either still open with no
// bill, or its bill is in the ledger exactly once and its table is free; a moved account and
// its extras stand on exactly one table.
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

    // Finishes every unfinished step; true when there was one. Throws when a file cannot be
    // written yet (the step stays and is tried again).
    bool finishPending();

    // Records the bill and frees its table: register lines emptied, extras file emptied.
    // Returns the bill's id.
    qint64 settle(const BillRecord &bill);
    // The account of table `from` (lines and extras) goes to the free table `to`.
    void move(int from, int to);
    // Cancels a bill with a reason. With a table, its account is opened again there as it
    // was: its register lines, and as its extras file `extras` (the bill's own, or those
    // with what the table held). The caller chooses a table with no account.
    struct Reopen
    {
        int table = -1;
        std::optional<QByteArray> extras;
    };
    void cancel(qint64 billId, const QString &reason, const QDateTime &now,
                const std::optional<Reopen> &reopen);

    // What the operator drops without a sale is written as bills closed and cancelled (each
    // with its reason) in the same step as the file change that drops it.
    // A restarted account: the table's register lines become `lines`.
    void restart(const BillRecord &discarded, const QStringList &lines);
    // Every account emptied: the register's lines after its table count.
    void clearAccounts(const QList<BillRecord> &discarded);
    // A file of the table extras directory removed, by its name in it, with the bill of what
    // it held (none: nothing to write down). False when it could not be removed: it stays as
    // it was, with no bill.
    bool removeExtras(const std::optional<BillRecord> &discarded, const QString &file);

private:
    struct Step;
    qint64 begin(const Step &step, const std::function<void()> &alsoInTransaction);
    qint64 insertBill(const BillRecord &bill);
    // A step that writes bills nobody paid, and drops what they record; with no bill, the
    // change alone.
    void discard(Step &step, const QList<BillRecord> &discarded);
    // What restarting or clearing makes of the register.
    static void changeRegister(const Step &step, RecordList &reg);
    // The file a "remove" step removes; empty for none.
    static QString removedPath(const Paths &paths, const Step &step);
    void apply(const Step &step);
    void markDone(qint64 id);
    // A step whose first file change failed leaves nothing on disk: it is taken back.
    void abandon(qint64 id, const std::function<void()> &alsoInTransaction);
    void run(const Step &step, qint64 id, const std::function<void()> &undoInTransaction);

    Ledger &m_ledger;
    RecordList &m_register;
    Paths m_paths;
    std::function<QString(int)> m_tableName;
};

} // namespace kv::ledger

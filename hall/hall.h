#pragma once

#include "billing.h"
#include "cashiers.h"
#include "events.h"
#include "floor.h"
#include "layout.h"
#include "ledger.h"
#include "operations.h"
#include "printersetup.h"
#include "recordlist.h"
#include "tablesfile.h"

#include <QJsonObject>
#include <QObject>
#include <QScopeGuard>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The hall: the one owner of what the counter knows (settings, tables, accounts, booked
// extras, the catalogue, the fee list and the ledger), read from and written to the record
// files exactly as they are laid out. It is their only writer. Each verb either completes and
// is on disk, or changes nothing and throws the operator's message; what changed is emitted.
// Windows ask it, call it and show what it says.
namespace kv::hall {

// An account as the register holds it; a free table's lines are empty.
struct Account
{
    QString date, time, fee;
    bool isOpen() const { return !date.isEmpty(); }
};

// What the fee calculation shows for a table.
struct Calculation
{
    bool free = false;  // no account: its extras alone
    qint64 minutes = 0; // whole minutes billed
    qint64 fee = 0;
    counter::Bill bill;
    QList<counter::Segment> segments; // an open account's time as billed
    bool paused = false;
};

class Hall;

// A Yönetici's approval of what the operator does next: while it lives, every event written
// names the approver. An empty name approves nothing (none was needed). Within another, the
// outer one's approver stands again when it ends.
class [[nodiscard]] Approval
{
public:
    Approval(Hall &hall, QString approver);
    Approval(Approval &&other) noexcept;
    Approval &operator=(Approval &&) = delete;
    ~Approval();

private:
    Hall *m_hall;
    QString m_previous;
};

// Asks for the approval an action (a key of ledger::Cashiers::actions()) needs; none when the
// operator gave up.
using Approve = std::function<std::optional<Approval>(const QString &action)>;

class Hall : public QObject
{
    Q_OBJECT

public:
    explicit Hall(const Paths &paths, QObject *parent = nullptr);
    ~Hall() override;
    const Paths &paths() const { return m_paths; }

    // ---- Loading ------------------------------------------------------------------------
    // What start-up already read of a record file, where it did; used until loading is done.
    using Preloaded = std::function<std::optional<QStringList>(const QString &path)>;
    void setPreloaded(Preloaded preloaded) { m_preloaded = std::move(preloaded); }
    void dropPreloaded() { m_preloaded = nullptr; }
    // Each loads its store whatever happened in the steps before it, and throws its error.
    // False when there was no settings file and the defaults were written.
    bool loadSettings();
    // What the operator is told: no tables yet, or more than can be listed.
    QStringList loadRegister();
    void loadCatalogue();
    void prepareExtrasDirectory();
    // Every table's booked extras, for the floor's bills; a file that cannot be read counts
    // nothing until it is read at the table's selection.
    void loadExtras();

    // ---- Table kinds, own names, time changes --------------------------------------------
    // As the tables file holds them; empty where it is missing or cannot be read.
    const TablesLayout &tablesLayout() const { return m_layout; }
    // Why the tables file or the times file cannot be used; empty when they can. While it
    // cannot, nothing is saved over it.
    const QString &layoutProblem() const { return m_layoutProblem; }
    const QString &timesProblem() const { return m_timesProblem; }
    // Table i's kind; none: the settings' fee and minimum price it.
    const TableKind *kindOf(int table) const;
    // How table i's open account is priced beyond its register lines.
    counter::Pricing pricing(int table) const;
    // The open account's pauses, fee changes and corrections; none when it has none.
    const AccountTimes *timesOf(int table) const;
    bool isPaused(int table) const;

    // ---- Settings -----------------------------------------------------------------------
    const RecordList &settings() const { return m_settings; }
    bool multipleFees() const;
    bool endTimeFollowsClock() const;
    QString unitFeeLine() const;

    // ---- Tables and accounts ------------------------------------------------------------
    int tableCount() const { return int(m_names.size()); }
    // A table's name, also beyond the list (a count lowered by hand): as the list would name it.
    QString tableName(int table) const;
    const QStringList &tableNames() const { return m_names; }
    const RecordList &registerLines() const { return m_register; }
    Account account(int table) const;
    bool hasAccount(int table) const;
    // The fee line that bills table i as the table view shows it: its own in multiple-fee
    // mode, the unit fee otherwise, "0" for a free table.
    QString shownFee(int table) const;
    // The table's booked extras as its file holds them; read at first use, and read again after
    // a failure. Throws while the file cannot be read.
    const RecordList &booked(int table);
    // Whether the booked extras of the table were read.
    bool bookedKnown(int table) const;
    // Reads the table's extras file again; throws while it cannot be read.
    void reloadBooked(int table);
    // What the table's extras file holds now, read from the file.
    counter::Booked bookedOn(int table) const;
    // The sum of the table's booked extras as read; stops at a price that is no number.
    qint64 extrasSum(int table);
    bool isFree(int table) const;
    // The tables an account can be moved or reopened to, but `except`; with `like`, only those
    // of table `like`'s kind (an account keeps the kind that prices it).
    QList<std::pair<int, QString>> freeTables(int except, int like = -1) const;
    const RecordList &catalogue() const { return m_catalogue; }
    bool feeListExists() const;
    QStringList feeList() const;

    // ---- The floor ----------------------------------------------------------------------
    const counter::Floor &floor() const { return m_floor; }
    // Recomputes every row at `now`; the tables whose row changed.
    QList<int> refreshFloor(const counter::Moment &now);
    const counter::Openings &openings() const { return m_ledger->openings(); }
    // Table i's open account's elapsed time at `now`; none when its lines cannot be read.
    std::optional<qint64> accountElapsedMs(int table, const counter::Moment &now) const;
    // The fee calculation of `elapsedMs` at the table: its fee and its extras' sum.
    Calculation calculate(int table, qint64 elapsedMs);

    // ---- The counter's verbs ------------------------------------------------------------
    // A guest sits at a free table at `at`, with the fee line `fee`.
    void openAccount(int table, const QString &fee, const counter::Moment &at);
    // An open account starts again at `at`: the time given up is written to the ledger as a
    // dropped bill in the same step. Throws NotTaken when the ledger refused it.
    void restartAccount(int table, const QString &fee, const counter::Moment &at);
    // A new fee for the account, for the time from `now` on or, `fromOpening`, for all of it.
    void changeFee(int table, const QString &fee, const counter::Moment &now,
                   bool fromOpening = true);
    // The account's clock stopped at `now` (paused time is not billed), or started again.
    void pause(int table, const counter::Moment &now);
    void resume(int table, const counter::Moment &now);
    // Minutes added to the account's time at `now` (taken off when negative), for a reason
    // that must be given; a segment of its own, priced at the fee in force there.
    void correctTime(int table, qint64 minutes, const QString &reason, const counter::Moment &now);
    // The account's start moved to `start`: the register's lines and the ledger's opening
    // with it; its pauses and fee changes stay where they were on the clock.
    void setStart(int table, const QDateTime &start, const QString &reason,
                  const counter::Moment &now);
    // Catalogue line pair k booked to the table; false when it has no price.
    bool book(int table, int k);
    // The k-th booked extra removed.
    void removeExtra(int table, int k);
    void clearExtras(int table);
    // Whether the k-th booked extra was booked here less than `ms` ago; false when not known
    // (booked before the program started, or the file changed behind it).
    bool bookedWithin(int table, int k, qint64 ms) const;

    // ---- The cash desk ------------------------------------------------------------------
    ledger::Ledger &ledger() { return *m_ledger; }
    ledger::Operations &operations() { return *m_operations; }
    // The bill of table i's account at `now`, as settling writes it; a free table's bills its
    // extras alone. Throws where a line cannot be read.
    ledger::BillRecord accountRecord(int table, const counter::Moment &now) const;
    // Settles the bill (see Operations::settle); the table is free after it. Without a
    // settlement what is left after the payments taken ahead is paid in cash, as always.
    // Each returns the bill's id in the ledger.
    qint64 settle(const ledger::BillRecord &record);
    // Paid as `s` says: its payments, with those taken ahead, must add up to the net total.
    // Throws the operator's message, nothing done, when they do not.
    qint64 settle(ledger::BillRecord record, counter::Settlement s);

    // ---- Money --------------------------------------------------------------------------
    // Payments taken ahead on table i's open account ("Ayrı Öde"); none while the ledger
    // cannot be read.
    QList<counter::Payment> paidAhead(int table) const;
    // The bill's figures under `s`, the payments taken ahead on its table put first in it.
    counter::Due due(const ledger::BillRecord &record, counter::Settlement &s) const;
    // Part of table i paid now ("Ayrı Öde"): the booked extras at `extras` as a bill of their
    // own, and `amount` on the account, both paid by `method` (a tab: `customer`'s). The
    // account stays open with the rest. The extras' bill's id; 0 when none were chosen.
    qint64 payApart(int table, const QList<int> &extras, qint64 amount, counter::Method method,
                    const QString &customer, const counter::Moment &now);
    // Why an account cannot be restarted or wiped away: money was taken on it. Empty: it can.
    QString paidAheadProblem(int table) const;
    // A payment taken ahead on table i's account given back to the guest (say, after its
    // time was corrected below what was paid).
    void returnAhead(int table, qint64 payment);
    // A payment against a customer's tab, by cash or card.
    void collect(const QString &customer, counter::Method method, qint64 amount);
    QStringList customers() const;
    // The shift open now; none when none is (settling needs none).
    std::optional<ledger::Shift> currentShift() const;
    void openShift(qint64 floatCash);
    // The open shift closed with the cash counted; its report as it closed.
    ledger::ShiftReport closeShift(qint64 counted, const QString &note);
    void cashOut(qint64 amount, const QString &reason);
    void move(int from, int to);
    // `refunded`: whether what the bill took in cash or by card was given back; none when the
    // operator was not asked (nothing is written back then).
    void cancel(qint64 id, const QString &reason, const QDateTime &now,
                const std::optional<ledger::Operations::Reopen> &reopen,
                const std::optional<counter::Opening> &opening,
                std::optional<bool> refunded = std::nullopt);
    // Every account emptied (their extras stay on their tables): each as a dropped bill.
    void wipeAccounts();
    // Whether wiping drops any account's time, which the ledger must then take.
    bool wipeDropsTime() const;
    // Extras booked to a free table, which no account holds, dropped as a bill; false when the
    // file could not be removed.
    void dropFreeExtras(int table);
    bool hasDroppableExtras(int table) const;
    // The tables made anew: `count` tables, the own names of those that remain kept and the
    // others named from `prefix`; every table extras file removed (what they held written to
    // the ledger as dropped bills). Throws where a file cannot be written; the list follows
    // what the files hold.
    void createTables(const QString &countText, const QString &prefix);
    // Whether creating tables drops extras, which the ledger must then take.
    bool createTablesDropsExtras() const;
    // One table more, after the last, named from the prefix (the next free number where an
    // own name has its own); no other table's account or extras is touched. Refused while its
    // register lines or extras file hold something.
    void addTable();
    // The last table gone, when it is free and holds no extras; else why not (empty: it can).
    QString lastTableProblem() const;
    void removeLastTable();

    // ---- Editing the tables -------------------------------------------------------------
    // Each is saved at once with its event and touches no other table's account or extras;
    // each throws the operator's message and changes nothing when refused, and is refused
    // while the tables file cannot be read. Afterwards the tables are listed again.
    // The table kinds become `kinds`; origins[i] is the index kind i had (-1: a new one), none
    // given: each keeps its place. A kind a table uses stays; the bands and minimum of a kind
    // with an open table stay as they are. A kind's fee bills tables opened from then on.
    void saveKinds(const QList<TableKind> &kinds, const QList<int> &origins = {});
    // The table's own name; its extras file goes along, crash-safely.
    void renameTable(int table, const QString &name);
    // The table's kind (-1: none, the settings' fee); refused while it has an open account.
    void setTableKind(int table, int kind);
    // The table swaps places with the one above (-1) or below (+1); both must be free of
    // accounts, which the register keeps by place.
    void moveTable(int table, int by);
    // The settings saved as `next`; with a fee list when multiple fees are on.
    void saveSettings(const RecordList &next, const std::optional<QStringList> &fees);
    void saveCatalogue(const RecordList &next);
    // Reads the catalogue again from its file.
    void reloadCatalogue();

    // ---- Printing -----------------------------------------------------------------------
    // How the hall prints; the defaults (nothing prints) where its file is missing or cannot
    // be read, and then printerProblem() says why.
    const print::PrinterSetup &printerSetup() const { return m_printer; }
    const QString &printerProblem() const { return m_printerProblem; }
    // Saved with its event ("printer_setup", what changed); throws the operator's message and
    // changes nothing when refused. A file that could not be read is replaced by it.
    void savePrinterSetup(const print::PrinterSetup &next);

    // The hall's cashiers; their changes and the PIN prompt's events go into the event log.
    ledger::Cashiers &cashiers() { return *m_cashiers; }

    // Who works the counter now ("-": nobody set up); every event carries it.
    void setOperator(const QString &name);
    const QString &operatorName() const { return m_operator; }
    // The Yönetici approving what is done now; empty outside an approval.
    const QString &approver() const { return m_approver; }
    // For an action that needs no approval here: whoever approved the step around it stands.
    Approval noneAsked() { return Approval(*this, m_approver); }
    // An event with no change to the files (a warning acknowledged); it waits with the others
    // while the ledger cannot take it.
    void record(const QString &kind, const QJsonObject &detail);

    // Steps left unfinished, marks owed: dealt with; true when a file changed. Throws what
    // stops it.
    bool catchUp();

signals:
    // A table's account or extras changed.
    void tableChanged(int table);
    // The tables were made anew, or many changed at once.
    void tablesChanged();
    // Accounts were emptied or the tables made anew: nothing stays selected.
    void accountsCleared();
    void settingsChanged();
    void catalogueChanged();
    void printerChanged();
    // Money changed hands outside a settle: a tab collected, a shift opened or closed, cash
    // taken out.
    void moneyChanged();

private:
    friend class Approval;
    // An event of a verb; it names the approver while an approval lives.
    ledger::NewEvent newEvent(const QString &kind, const QString &table, QJsonObject detail,
                              std::optional<qint64> amount = std::nullopt) const;
    void recordCashierEvent(const QString &kind, const QByteArray &detail);
    bool takePreloaded(RecordList &list, const QString &path);
    void listTables();
    // The names of the first `count` tables: own names, then names from the prefix, each with
    // the next free number where its own is taken (ignoring case).
    QStringList namesOf(int count) const;
    // The layout with every listed table in it, by the name it has now: a rename above it then
    // leaves the names below as they are.
    TablesLayout fullLayout() const;
    void checkEditable() const;
    // The tables file saved as `next`, with the event.
    void saveLayout(const TablesLayout &next, const ledger::NewEvent &change);
    // The tables file read again, after a step that may have changed it.
    void rereadLayout();
    // The tables listed again; booking times kept, table i's taken from table from(i).
    void relist(const std::function<int(int)> &from = {});
    // After the last table went: its entry dropped (an entry past the count names nothing; the
    // next table added would take it).
    void dropLayoutPast(int count);
    // After "Masa Oluştur": the entries of the tables that remain, the names that came from
    // the old prefix following the new one.
    void keepLayoutOf(int count, const QString &oldPrefix);
    void readExtrasTotal(int table);
    // A table's extras changed behind the cache: read again.
    void reread(int table);
    void loadBooked(int table);
    // When it ends: the table's booking times forgotten unless its extras read as before.
    QScopeGuard<std::function<void()>> forgetTimesIfChanged(int table);
    void saveBooked(int table, const RecordList &next, const ledger::NewEvent &change);
    // Saves `next` over a record file with its event; `list` follows what the file holds.
    void saveList(RecordList &list, const QString &path, const RecordList &next,
                  const ledger::NewEvent &change);
    // The tables file and the times file read; what the operator is told where they cannot be.
    QStringList loadLayout();
    // The printer file read; never throws: a file that cannot be read leaves the defaults.
    void loadPrinter();
    // The open accounts' time changes saved as `next` with the event; stale entries dropped.
    // Kept: entries of no open account stay too (the step before a register change).
    void saveTimes(QList<AccountTimes> next, const ledger::NewEvent &change, bool prune = true);
    // The times of table i's account to change: its entry in `base` (the file's when none),
    // made when it has none.
    QList<AccountTimes> timesWith(int table, const std::function<void(AccountTimes &)> &change,
                                  qint64 feeNow,
                                  std::optional<QList<AccountTimes>> base = std::nullopt) const;
    // Table i's account's entry in `times`, as timesOf() finds it in the file's.
    const AccountTimes *entryOf(const QList<AccountTimes> &times, int table) const;
    counter::Pricings pricings() const;
    // An ended account's times dropped (settled, restarted, wiped); best effort.
    void dropEndedTimes();
    // The times a bill's segments kept, for its account reopened at `table`; fee changes only
    // where no bands priced it. None when it had none.
    static std::optional<AccountTimes> timesOfBill(const ledger::BillRecord &bill, int table,
                                                   bool bands);
    // Puts the times file back as it is now, when a step's later file could not be saved.
    std::function<void()> timesUndo();
    static QJsonObject settingsChange(const RecordList &before, const RecordList &after);
    ledger::BillRecord droppedTime(int table, const counter::Moment &now,
                                   const QString &reason) const;
    std::optional<ledger::BillRecord> droppedExtras(const QString &file, const QDateTime &now,
                                                    const QString &reason) const;
    std::optional<std::pair<QByteArray, QList<ledger::BookedExtra>>>
    extrasOf(const QString &file) const;

    Paths m_paths;
    Preloaded m_preloaded;
    RecordList m_settings;
    RecordList m_register;
    RecordList m_catalogue;
    QStringList m_names;
    RecordList m_tablesFile;
    TablesLayout m_layout;
    QString m_layoutProblem;
    RecordList m_timesFile;
    QList<AccountTimes> m_times;
    QString m_timesProblem;
    RecordList m_printerFile;
    print::PrinterSetup m_printer;
    QString m_printerProblem;
    // Each listed table's booked extras, as its file holds them once read.
    std::vector<RecordList> m_booked;
    // When each of a table's booked extras was booked here (time since boot; the least qint64:
    // not known), while they line up with the file's pairs.
    std::vector<QList<qint64>> m_bookedAt;
    counter::Floor m_floor;
    std::unique_ptr<ledger::Ledger> m_ledger;
    std::unique_ptr<ledger::Operations> m_operations;
    std::unique_ptr<ledger::Cashiers> m_cashiers;
    QString m_operator = QStringLiteral("-");
    QString m_approver;
};

} // namespace kv::hall

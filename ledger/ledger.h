#pragma once

#include "billing.h"
#include "events.h"
#include "payment.h"
#include "segments.h"

#include <QByteArray>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QObject;
class QSqlError;
class QSqlQuery;

// The day ledger: every settled bill, in an SQLite database beside the record files, kept
// with a journal that survives a power cut. A database that cannot be opened or is damaged
// is never written to: the ledger is then unavailable and says why.
namespace kv::ledger {

struct BookedExtra
{
    QString name;
    qint64 price = 0;
    // Listed on a bill that left it booked to its table (a restart): not counted in it.
    bool carried = false;
    bool operator==(const BookedExtra &) const = default;
};

struct BillRecord
{
    qint64 id = 0;
    int tablePos = -1;
    QString tableName;
    QString openedDate, openedTime; // the register's lines, exactly
    QString feeLine;                // the register's fee line, exactly
    QDateTime closedAt;
    counter::Bill bill;
    // The account's time as billed, cut where its fee changed; empty for extras alone.
    QList<counter::Segment> segments;
    QList<BookedExtra> extras;
    std::optional<QByteArray> extrasFile; // the table extras file as it was; none: no file
    QDateTime cancelledAt;                // invalid while the bill stands
    QString cancelReason;
    // Written when an open account was restarted: its time, cancelled in the same step.
    bool restart = false;
    // Its step was found half done after later work changed its table: to be looked at.
    bool review = false;
    // How it was paid: the discount and treats with their amounts, and the payments (those
    // taken ahead on the account first). A bill of an older ledger reads as paid in cash.
    counter::Settlement settlement;
    // Extras paid apart from their open account ("Ayrı Öde"); the account ran on.
    bool part = false;

    bool cancelled() const { return cancelledAt.isValid(); }
    // Its figures as paid: gross (the total), treats, discount, net and the payments' sum.
    counter::Due due() const;
};

// The three methods' sums.
struct MethodSums
{
    qint64 cash = 0, card = 0, tab = 0;
    qint64 &of(counter::Method method);
    qint64 sum() const { return cash + card + tab; }
    bool operator==(const MethodSums &) const = default;
};

// One movement of a customer's tab: a bill put on it (positive) or a payment against it
// (negative).
struct TabLine
{
    QString customer;
    QDateTime at;
    qint64 amount = 0;
    counter::Method method = counter::Method::Tab; // a collection's: cash or card
    qint64 billId = 0;                              // 0 for a collection
    QString tableName;
    bool cancelled = false; // its bill was cancelled: not owed
    QString op;
};

struct TabBalance
{
    QString customer;
    qint64 balance = 0; // what is owed now
    QDateTime last;     // the last movement
};

// A cashier's shift at the counter: the float put in the drawer, and at its close the cash
// expected and counted.
struct Shift
{
    qint64 id = 0;
    QString cashier;
    QDateTime openedAt, closedAt; // closedAt invalid while it is open
    qint64 floatCash = 0;
    std::optional<qint64> expected, counted;
    QString note;
    bool isOpen() const { return id && !closedAt.isValid(); }
};

struct CashOut
{
    QDateTime at;
    qint64 amount = 0;
    QString reason, op;
};

// What a shift saw, from its opening to its closing (or to `until` while it is open).
struct ShiftReport
{
    Shift shift;
    QDateTime until;
    QList<BillRecord> bills;     // closed in it, restarts included, in closing order
    QList<BillRecord> cancelled; // cancelled in it (whenever they were closed)
    qint64 gross = 0, discounts = 0, treats = 0, net = 0; // of its bills that stand
    MethodSums taken;     // payments taken in it: at settles and ahead on open accounts
    MethodSums collected; // tab payments taken in it (cash and card)
    MethodSums refunded;  // given back at cancels in it (cash and card)
    QList<TabLine> tabMoves; // every tab's movements in it
    QList<CashOut> outs;
    qint64 cashOut = 0;
    // float + cash taken + tab collections in cash − cash refunds − cash taken out.
    qint64 expectedCash() const;
};

class Ledger
{
public:
    Ledger();
    ~Ledger();
    Ledger(const Ledger &) = delete;
    Ledger &operator=(const Ledger &) = delete;

    // The full integrity check reads every page, so its cost grows with the ledger: Later
    // leaves it to checkNow(), and the ledger is not used until it has passed.
    enum class Check { Now, Later };

    // Opens or creates the database. False, with problem() saying why in Turkish, when it is
    // locked, cannot be opened, is damaged or is not the program's own. A log left beside it
    // is first checked on a copy; one that does not belong to it is moved aside, never read
    // into it, and the operator is told. A file the program did not write as it is (another
    // program's, a newer version's, one with triggers, views or tables of its own or columns
    // of other types) is opened only to be read: readable() and not isOpen().
    bool open(const QString &path, Check check = Check::Now);
    // Open, checked and the program's own: only then is it written.
    bool isOpen() const { return readable() && !m_readOnly; }
    // Open and checked: its bills can be read (Gün Sonu), also when it may not be written.
    bool readable() const { return m_open && !m_checkPending; }
    // The file beside a ledger that keeps its id: "Defter.id" beside "Defter.db".
    static QString idFile(const QString &ledgerPath);
    // Opened with Check::Later, and not checked yet.
    bool checkPending() const { return m_open && m_checkPending; }
    // Runs the check left for later (or waits for the one started); false, the ledger closed
    // and problem() saying why, when the file is damaged. True when there is nothing left to
    // check.
    bool checkNow();
    // Starts the check left for later on a thread of its own, through a read-only connection
    // of its own: a large ledger takes a while to read, and the window keeps answering.
    // `finished` then runs on `receiver`'s thread; it is for checkNow() to take the result.
    void startCheck(QObject *receiver, std::function<void()> finished);
    // What walking the event chain found during that check; given once.
    std::optional<ChainCheck> takeStartChain() { return std::exchange(m_startChain, {}); }
    // The breaks of the chain "verify_ack" events acknowledged; none while it cannot be read.
    QSet<qint64> acknowledgedBreaks() const;
    // The id of the anchors file's last line; 0 for none.
    qint64 lastAnchorId() const;
    // Whether the journal holds a step not finished yet; read only, so it may be asked before
    // the check. True when it cannot be read: the check then has to say why.
    bool hasUnfinishedSteps() const;
    const QString &problem() const { return m_problem; }
    // Why, in a few words, for the status bar ("başka bir program tarafından kullanılıyor").
    const QString &shortProblem() const { return m_shortProblem; }
    // Not open because another program held it at the last try.
    bool isLocked() const { return !m_open && m_locked; }

    // Waiting for another program's lock: `again` is asked after each short wait whether to
    // wait on (the window keeps answering meanwhile), `over` runs once the wait ends. Without
    // them a step waits no longer than a moment.
    struct LockWait
    {
        std::function<bool()> again;
        std::function<void()> over;
    };
    void setLockWait(LockWait wait) { m_lockWait = std::move(wait); }
    bool waitForLock() const { return m_lockWait.again && m_lockWait.again(); }
    void lockWaitOver() const
    {
        if (m_lockWait.over)
            m_lockWait.over();
    }
    // Whether it can be used now: the file it has open must still be the one at its path (a
    // ledger removed or replaced while the program runs is let go). Where the last attempt
    // failed (a lock held by another process, a file mended since) it tries once more, only
    // reading until the file is found sound; a file that is gone is never made anew here.
    bool reopen();

    // The connection, for the operations' journal (one transaction with the bill).
    QString connectionName() const { return m_connection; }
    // A statement of the open connection, prepared at its first use and kept until the
    // connection closes: the operations run the same few at every settle and move. `sql` is
    // a literal, told apart by its address; the query is valid until the connection closes.
    // Stops with why where the ledger is not open or the statement cannot be prepared.
    QSqlQuery &statement(const char *sql) const;
    // Writes what the write-ahead log holds into the file and empties the log, without waiting
    // for a reader (then the next step does it). Between steps the file alone holds the
    // ledger: moved away or replaced while the program runs, it takes all its bills along,
    // and no file put at its path is given pages of another.
    void checkpoint() const noexcept;

    // The event log. The last row; none while there is none.
    std::optional<Event> lastEvent() const;
    // Its id and hash, for the reports: id 0 and the first row's previous hash when empty.
    ChainHead chainHead() const;
    // Appends an event that changes no file, in a transaction of its own, at the clock's time;
    // throws a LedgerError when it cannot.
    Event appendEvent(const NewEvent &event, const QString &op);
    // A closing's line "yyyy-MM-dd<TAB>id<TAB>hash" in the anchors file, synced to the disk: a
    // chain cut at its end or recomputed after an edit no longer matches it. False when it
    // could not be written.
    bool appendAnchor(const QDate &date) const;
    // The anchors file and the file of events waiting for the ledger, beside the ledger.
    static QString anchorsFile(const QString &ledgerPath);
    static QString waitingEventsFile(const QString &ledgerPath);
    const QString &path() const { return m_path; }

    // The bills closed in [from, to), in the order they were closed. A listing leaves out
    // what only a bill's own view needs: its extras, the extras file it carries, the
    // register's fee line and when each payment was taken.
    enum class Detail { Full, Listing };
    QList<BillRecord> bills(const QDateTime &from, const QDateTime &to,
                            Detail detail = Detail::Full) const;
    std::optional<BillRecord> bill(qint64 id) const;
    qint64 billCount() const;
    // Bills of earlier business days cancelled in [from, to): closed before `from`.
    QList<BillRecord> cancelledFromEarlierDays(const QDateTime &from, const QDateTime &to) const;

    // The openings of open accounts as instants, by table; none while the ledger cannot be
    // read. Read once, then kept in step with what is written here.
    const counter::Openings &openings() const;
    // Best effort, never waiting for another program's lock: false when the ledger did not
    // take it, and the account is then billed by its register text. None drops the row.
    bool setOpening(int table, const std::optional<counter::Opening> &opening) noexcept;
    // An account moved from one table to another takes its opening along.
    bool moveOpening(int from, int to) noexcept;

    // ---- Money --------------------------------------------------------------------------
    // Payments taken ahead on table i's open account, not yet on a bill, oldest first.
    QList<counter::Payment> paymentsAhead(int table) const;
    // The customers known for tabs, by name.
    QStringList customers() const;
    // Every customer's tab, those who owe first.
    QList<TabBalance> tabBalances() const;
    // One customer's tab, oldest first.
    QList<TabLine> tabLines(const QString &customer) const;
    // Tab payments taken in [from, to), by method.
    MethodSums collections(const QDateTime &from, const QDateTime &to) const;
    // The shift open now; none when none is.
    std::optional<Shift> currentShift() const;
    std::optional<Shift> shift(qint64 id) const;
    // The shifts opened in [from, to), in order.
    QList<Shift> shifts(const QDateTime &from, const QDateTime &to) const;
    ShiftReport shiftReport(const Shift &shift, const QDateTime &until) const;

private:
    // Reads the bills' treats and payments.
    void fillMoney(QList<BillRecord> &bills) const;
    // Writes the openings' changes in one transaction, without waiting for a lock.
    bool changeOpenings(const std::function<bool(QSqlQuery &)> &change) noexcept;

    struct Background;
    struct Statements;
    void dropStatements() const;
    void closeConnection();
    bool awaitCheck();
    // False, the ledger closed and problem() saying why, unless the check found it sound.
    bool took(const QString &checkResult, bool locked);
    void dropCheck();
    bool connect(bool readOnly);
    bool checkPages();
    bool useWal();
    // Checks each log left beside the file on a copy, and moves one aside that does not belong
    // to it; false, with why, when one may neither be used nor moved aside. `unchecked`: a log
    // left because the file itself is not a sound ledger of the program's.
    bool vetLogs(bool fresh, bool *unchecked);
    bool setAside(const QString &log, const QString &why);
    // Keeps a file that is not the program's own open for reading; false, with why.
    bool openReadOnly(const QString &why, bool newer);
    // Brings a ledger of an older version to this one, in one transaction, and gives it an id.
    bool upgrade();
    // `from`: the version it had.
    bool rebuildStrict(const QString &keepId, int from);
    bool markEveryWrite();
    // Runs the statements and sets the schema's version, in one transaction.
    bool runOnce(QStringList statements);
    void fail(const QString &why, bool locked = false);

    QString m_connection;
    QString m_path;
    QByteArray m_identity; // of the file it has open
    bool m_open = false;
    bool m_checkPending = false;
    std::optional<ChainCheck> m_startChain;
    bool m_readOnly = false;
    bool m_segments = false; // it keeps bills' segments (a file only read may not)
    bool m_money = false;    // it keeps how bills were paid, tabs and shifts (likewise)
    bool m_logTaken = false; // a log found beside it was its own, and is read into it
    QString m_problem;
    QString m_shortProblem;
    bool m_locked = false;
    LockWait m_lockWait;
    std::unique_ptr<Background> m_background;
    std::unique_ptr<Statements> m_statements;
    mutable std::optional<counter::Openings> m_openings;
    mutable QByteArray m_openingsOf;           // the file they were read from
    mutable QDeadlineTimer m_openingsRetry{0}; // after a read that failed
};

// Another program holds the ledger (SQLite's busy or locked).
bool isLockError(const QSqlError &error);

// What a day's bills add up to: the bills paid, and apart from them the accounts restarted
// without being paid (bills cancelled on their own business day count in neither).
struct DayTotals
{
    qint64 paid = 0;
    qint64 timeCharges = 0;
    qint64 extras = 0;
    qint64 total = 0;
    qint64 restarts = 0;
    qint64 restartTotal = 0;
    // Bills of earlier days cancelled on this one: taken off its total, their own day's
    // figures left as they were closed.
    qint64 earlierCancels = 0;
    qint64 earlierCancelTotal = 0;
    // Of the bills paid: before and after treats and discounts, and how they were paid.
    qint64 gross = 0, discounts = 0, treats = 0, net = 0;
    MethodSums byMethod;
    bool operator==(const DayTotals &) const = default;
};
DayTotals dayTotals(const QList<BillRecord> &bills, const QList<BillRecord> &earlierCancelled = {});

// How the ledger names a segment's kind: "time", "pause" or "correction".
QLatin1String segmentKindName(counter::Segment::Kind kind);
// The minutes a bill billed: its segments' but the pauses'; a bill without segments (written
// before they were kept, or extras alone) its own. And the minutes its pauses stood still.
qint64 billedMinutes(const BillRecord &bill);
qint64 pausedMinutes(const BillRecord &bill);

// What became of a bill: "Ödendi", "İptal: REASON", or "Yeniden başlatıldı" for a restarted
// account's (cancelled too, whatever its reason).
QString statusText(const BillRecord &bill);

// ISO 8601 local time without zone, as the ledger keeps moments ("2026-12-08T23:02:40").
QString isoText(const QDateTime &moment);
// The moment isoText wrote (local time); any other text is read as Qt reads ISO 8601.
QDateTime fromIsoText(const QString &text);

// The business day, as the floor counts it.
using counter::businessDay;
using counter::businessDayStart;

} // namespace kv::ledger

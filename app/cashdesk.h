#pragma once

#include "floor.h"
#include "ledger.h"
#include "operations.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class QTimer;
class TForm1;
class BillWindow;
class MoveWindow;
class DayEndWindow;

// The cash desk: settling a table when the guest pays, moving an account to another table,
// and the day's takings, over the ledger. The main window only wires its menu, button and
// keys to these handlers.
class CashDesk : public QObject
{
    Q_OBJECT

public:
    explicit CashDesk(TForm1 *desk);
    ~CashDesk() override;

    // At start-up, once the register is loaded: opens the ledger (or says why it cannot be
    // used) and finishes any step a crash left unfinished.
    //
    // Deferred, the ledger is left for startLedger(), which the program runs after its first
    // paint; the operator's first input (a key, a click), should it come before, and the
    // first use of the ledger run it first, so a step left unfinished is still finished
    // before any handler. Its full integrity check, which reads all of it, comes last, on a
    // thread of its own; the first use of the ledger waits for its result (and runs it, when
    // the input came first).
    void openLedger();
    void deferLedger(bool defer) { m_defer = defer; }
    void startLedger();
    // The deferred check: says why when the ledger turns out damaged.
    void checkLedger();

    // Handlers.
    void HesabiKapatClick(); // "Hesabı Kapat", F8
    void MasayiTasiClick();  // "Masayı Taşı"
    void GunSonuClick();     // "Gün Sonu", F9
    // "İptal Et" in the day-end window: the bill is cancelled with its reason, and its account
    // reopened when its table is free.
    void cancelBill(qint64 id, const QString &reason);

    // What the operator drops without a sale reaches the ledger as a cancelled bill, in the
    // same step as the change that drops it. Each says why and returns false when the ledger
    // cannot take it (nothing is changed then); a failed change stops with its error.
    // Table i's open account restarts with the register lines `lines`; its extras stay.
    bool restartAccount(int table, const QStringList &lines);
    // Every account emptied (their extras stay on their tables).
    bool clearAccounts();
    // Files of the table extras directory removed, by their names in it.
    bool removeExtrasFiles(const QStringList &files);
    // Whether the ledger can take the bills of removing them; false after saying why.
    bool extrasRemovable(const QStringList &files);
    // Extras booked to free table i, which no account holds.
    bool dropFreeExtras(int table);

    // Keeps the opening of table i's account, whose register lines were just written at `at`,
    // as an instant in the ledger. Best effort: where the ledger cannot take it, the account
    // is billed by its register text.
    void recordOpening(int table, const kv::counter::Moment &at);
    // The openings the floor and the bills count from.
    const kv::counter::Openings &openings() const { return m_ledger->openings(); }
    // The question asked before a bill of an unusual time is paid.
    static QString unusualTimeQuestion(const QString &openedDate, const QString &openedTime,
                                       const QDateTime &now);

    // What table i's extras file holds now.
    kv::counter::Booked bookedOn(int table) const;
    // The question asked before extras that no account holds are taken on by one.
    static QString strayExtrasQuestion(const kv::counter::Booked &booked);

    kv::ledger::Ledger &ledger() { return *m_ledger; }
    // The windows are made at their first use, and kept.
    BillWindow *billWindow();
    MoveWindow *moveWindow();
    DayEndWindow *dayEndWindow();

private:
    // Opens the ledger and finishes a step left unfinished; false after saying why not.
    bool openNow();
    // Whether the ledger can be used now, with every step left unfinished dealt with; else
    // says why (and what was not done for it), offering "Tekrar Dene". `write`: for a step,
    // which a ledger that is only read refuses.
    bool ledgerReady(const QString &notDone = QString(), bool write = true);
    // Runs a step; where the ledger could not take it (nothing was done) the operator may try
    // again. False when given up (said why); other failures stop with their error.
    template <class Step> bool taken(Step &&step);
    // Why the ledger cannot be used now; empty when it can.
    QString unusable(bool write);
    // Deals with what earlier steps left: marks owed, steps left unfinished (see
    // Operations::finishPending); shows what was set aside, and the floor after.
    void catchUp();
    // The status bar's word on the ledger, and the watch that clears it once the ledger can be
    // written again.
    void updateLedgerStatus();
    // The bill of table i's account at `now`, as settling writes it; a free table's bills
    // its extras alone. Stops with the runtime's error where a line cannot be read.
    kv::ledger::BillRecord accountRecord(int table, const kv::counter::Moment &now) const;
    // The account's time as a bill dropped with `reason`: its extras stay on the table, so
    // they are listed and not counted. A line that cannot be read bills nothing of its time.
    kv::ledger::BillRecord droppedTime(int table, const kv::counter::Moment &now,
                                       const QString &reason) const;
    // The extras of a file in the table extras directory as a bill dropped with `reason`;
    // none when it holds none.
    std::optional<kv::ledger::BillRecord> droppedExtras(const QString &file, const QDateTime &now,
                                                        const QString &reason) const;
    // A file of the table extras directory as it is, with the extras it lists (prices that
    // cannot be read count nothing); none when it is not there or cannot be read.
    std::optional<std::pair<QByteArray, QList<kv::ledger::BookedExtra>>>
    extrasOf(const QString &file) const;
    // The tables an account can be moved or reopened to, but `except`.
    QList<std::pair<int, QString>> freeTables(int except) const;

    // The selected table when it has an open account (or, with `extrasAlone`, extras booked);
    // -1 after telling the operator why not.
    int openAccountTable(bool extrasAlone);
    QString tableName(int table) const;

    TForm1 *m_desk;
    std::unique_ptr<kv::ledger::Ledger> m_ledger;
    std::unique_ptr<kv::ledger::Operations> m_operations;
    BillWindow *m_bill = nullptr;
    MoveWindow *m_move = nullptr;
    DayEndWindow *m_dayEnd = nullptr;
    bool m_defer = false;
    bool m_openPending = false;
    QPointer<QObject> m_inputGate;
    QTimer *m_watch = nullptr;
};

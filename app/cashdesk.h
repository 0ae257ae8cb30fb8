#pragma once

#include "floor.h"
#include "hall.h"
#include "ledger.h"
#include "operations.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class QThread;
class QTimer;
class QWidget;
class BillWindow;
class MoveWindow;
class DayEndWindow;
class HistoryWindow;
class TabsWindow;
class OpenShiftWindow;
class CashOutWindow;
class CloseShiftWindow;
class ShiftReportWindow;
class PrintDesk;

// The cash desk: settling a table when the guest pays, moving an account to another table,
// and the day's takings, over the hall's ledger: it asks what the operator must say, calls the
// hall, and shows the outcome. The main window wires its menu, button and keys to these
// handlers.
class CashDesk : public QObject
{
    Q_OBJECT

public:
    // `window`: the main window, parent of the cash desk's windows.
    CashDesk(kv::hall::Hall &hall, QWidget *window);
    ~CashDesk() override;
    // The table the operator chose on the floor; -1 for none.
    std::function<int()> selectedTable;

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
    // A broken chain found at start, said once; then marked until acknowledged here, by a
    // Yönetici where cashiers are set up (a "verify_ack" event).
    void reportChain(const kv::ledger::ChainCheck &check);
    void acknowledgeChain();
    // A closing: the chain's head appended to the anchors file, when it moved since the last.
    // False when the file could not be written.
    bool anchorChain();

    // With cashiers set up, the PIN prompt at start; false when the operator gave up and the
    // program ends.
    bool loginAtStart();
    // After the settings window: the one at the counter as the cashiers now say.
    void cashiersChanged();

    // Handlers.
    void KasiyerDegistirClick(); // "Kasiyer Değiştir"
    void HesabiKapatClick();     // "Hesabı Kapat", F8
    void MasayiTasiClick();      // "Masayı Taşı"
    void GunSonuClick();         // "Gün Sonu", F9
    void IslemGecmisiClick();    // "İşlem Geçmişi"
    void DefteriDogrulaClick();  // "Defteri Doğrula"
    void VeresiyeClick();        // "Veresiye"
    void VardiyaAcClick();       // "Vardiya Aç"
    void KasadanCikisClick();    // "Kasadan Çıkış"
    void VardiyaKapatClick();    // "Vardiya Kapat"
    void VardiyaRaporuClick();   // "Vardiya Raporu"
    // "İptal Et" in the day-end window: the bill is cancelled with its reason, and its account
    // reopened when its table is free.
    void cancelBill(qint64 id, const QString &reason);

    // What the operator drops without a sale reaches the ledger as a cancelled bill, in the
    // same step as the change that drops it. Each says why and returns false when the ledger
    // cannot take it (nothing is changed then); a failed change stops with its error.
    // Table i's open account restarts at `at` with the fee line `fee`; its extras stay.
    bool restartAccount(int table, const QString &fee, const kv::counter::Moment &at);
    // Every account emptied (their extras stay on their tables).
    bool clearAccounts();
    // The tables made anew with `count` tables named from `prefix`; every table extras file
    // removed.
    bool createTables(const QString &count, const QString &prefix);
    // Extras booked to free table i, which no account holds.
    bool dropFreeExtras(int table);

    // The question asked before a bill of an unusual time is paid.
    static QString unusualTimeQuestion(const QString &openedDate, const QString &openedTime,
                                       const QDateTime &now);

    // The question asked before extras that no account holds are taken on by one.
    static QString strayExtrasQuestion(const kv::counter::Booked &booked);

    kv::ledger::Ledger &ledger() { return m_hall.ledger(); }
    // What the counter prints.
    PrintDesk *printDesk() const { return m_print; }
    // The windows are made at their first use, and kept.
    BillWindow *billWindow();
    MoveWindow *moveWindow();
    DayEndWindow *dayEndWindow();
    HistoryWindow *historyWindow();
    TabsWindow *tabsWindow();
    OpenShiftWindow *openShiftWindow();
    CashOutWindow *cashOutWindow();
    CloseShiftWindow *closeShiftWindow();
    ShiftReportWindow *shiftReportWindow();

signals:
    // A table's account changed here: shown again where it is selected.
    void accountShown(int table);
    // The table to select after a step (a moved account's new table).
    void tableChosen(int table);
    // Why the cash desk cannot work now; empty: it can.
    void ledgerStatus(const QString &text);
    // The broken chain's mark for the status bar; empty: none.
    void chainWarning(const QString &text);
    // Who is at the counter, for the status bar; empty without cashiers.
    void cashierShown(const QString &text);
    // The shift open now, for the status bar; empty while none is.
    void shiftShown(const QString &text);

private:
    // "Ayrı Öde": part of the table paid now, the account left open.
    void payApart(int table);
    // Asks for a PIN; false when given up.
    bool login();
    // With cashiers set up and nobody at the counter, asks until a PIN is given or the
    // operator ends the program (false).
    bool requireLogin();
    // The start's word on the chain, once no dialog is open.
    void reportWhenIdle(const kv::ledger::ChainCheck &check);
    void showCashier();
    void showShift();
    // A bill just paid, printed when the setup says so; the bill is paid whatever happens.
    void printPaid(qint64 id, const kv::ledger::BillRecord &record);
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
    // Operations::finishPending); shows what was set aside.
    void catchUp();
    // The status bar's word on the ledger, and the watch that clears it once the ledger can be
    // written again.
    void updateLedgerStatus();
    // The selected table when it has an open account (or, with `extrasAlone`, extras booked);
    // -1 after telling the operator why not.
    int openAccountTable(bool extrasAlone);

    kv::hall::Hall &m_hall;
    QWidget *m_window;
    PrintDesk *m_print;
    BillWindow *m_bill = nullptr;
    // Given in the bill window, held until its bill is paid or left.
    std::optional<kv::hall::Approval> m_billApproval;
    MoveWindow *m_move = nullptr;
    DayEndWindow *m_dayEnd = nullptr;
    HistoryWindow *m_history = nullptr;
    TabsWindow *m_tabs = nullptr;
    OpenShiftWindow *m_openShift = nullptr;
    CashOutWindow *m_cashOut = nullptr;
    CloseShiftWindow *m_closeShift = nullptr;
    ShiftReportWindow *m_shiftReport = nullptr;
    bool m_defer = false;
    bool m_openPending = false;
    QPointer<QObject> m_inputGate;
    QTimer *m_watch = nullptr;
    std::optional<kv::ledger::ChainCheck> m_chainBreak;
    qint64 m_anchored = 0;
    bool m_started = false;     // startLedger() ran: the window is up
    bool m_loginDue = false;    // a PIN prompt is asked for
    bool m_chainWalked = false; // the chain was (or is being) walked at start
    std::unique_ptr<QThread> m_chainWalk;
};

#pragma once

#include "ledger.h"
#include "operations.h"

#include <QObject>
#include <QPointer>

#include <memory>

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

    kv::ledger::Ledger &ledger() { return *m_ledger; }
    // The windows are made at their first use, and kept.
    BillWindow *billWindow();
    MoveWindow *moveWindow();
    DayEndWindow *dayEndWindow();

private:
    // Opens the ledger and finishes a step left unfinished; false after saying why not.
    bool openNow();
    // Says why not when the ledger cannot be used now.
    bool ledgerReady();
    // The selected table when it has an open account; -1 after telling the operator why not.
    int openAccountTable();
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
};

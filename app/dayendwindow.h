#pragma once

#include "ledger.h"

#include <QDialog>

#include <functional>
#include <optional>

class DayBillsModel;
class QSortFilterProxyModel;
namespace Ui {
class DayEndWindow;
}

// "Gün Sonu": the bills of one business day (06:00 to 06:00) with their totals, the open
// tables now, cancelling a bill with a reason and exporting the day to a spreadsheet.
class DayEndWindow : public QDialog
{
    Q_OBJECT

public:
    explicit DayEndWindow(QWidget *parent = nullptr);
    ~DayEndWindow() override;

    void setLedger(const kv::ledger::Ledger *ledger) { m_ledger = ledger; }
    // The open tables and their running total, as the floor shows them.
    std::function<QString()> openTablesNow;
    // Cancels a bill (and reopens its account where it can); says itself what it did.
    std::function<void(qint64 bill, const QString &reason)> cancelBill;
    // Shows a bill of the ledger whole.
    std::function<void(qint64 bill)> showBill;
    // Prints a bill of the ledger again, marked as a copy.
    std::function<void(qint64 bill)> printBill;
    // Prints the report of the day shown: its totals, bills and tabs collected.
    std::function<void(const QDate &day, const kv::ledger::DayTotals &totals,
                       const QList<kv::ledger::BillRecord> &bills,
                       const kv::ledger::MethodSums &collected)>
        printReport;
    // The day's export is a closing: the chain's head is anchored.
    std::function<void()> dayClosed;
    // Asks the reason of a cancel; none when the operator gave up. A dialog unless replaced.
    std::function<std::optional<QString>()> askReason;
    // Where to export; empty when the operator gave up. A file dialog unless replaced.
    std::function<QString(const QString &suggested)> chooseFile;

    // Shows the business day of `now` and waits until the window is closed.
    void openAt(const QDateTime &now);
    // Fills the window with the bills of a business day.
    void showDay(const QDate &day);
    const QList<kv::ledger::BillRecord> &shownBills() const;

    // Handlers.
    void CancelBillClick();  // "İptal Et"
    void ExportClick();      // "Dışa Aktar"
    void PrintBillClick();   // "Fişi Yazdır"
    void PrintReportClick(); // "Raporu Yazdır"

    // The bills as a CSV file a Turkish spreadsheet opens: UTF-8 with a byte-order mark,
    // ";" between fields, a header row, amounts as plain integers.
    static QByteArray csv(const QList<kv::ledger::BillRecord> &bills);

    Ui::DayEndWindow *ui;

private:
    // The bill chosen in the list; 0 after saying none is.
    qint64 chosenBill(const QString &none) const;
    void fitColumns();
    void showTotals();

    const kv::ledger::Ledger *m_ledger = nullptr;
    DayBillsModel *m_bills;
    // Bills of earlier days cancelled on the day shown.
    QList<kv::ledger::BillRecord> m_earlierCancelled;
    kv::ledger::MethodSums m_collected; // tabs paid on the day shown
    QSortFilterProxyModel *m_sorted;
};

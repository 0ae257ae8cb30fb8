#pragma once

#include "ledger.h"
#include "payment.h"

#include <QDialog>

#include <functional>

namespace Ui {
class BillWindow;
}
namespace kv::hall {
class Hall;
}

// "Hesap Özeti": the itemised bill of a table at the moment of closing, shown before the
// guest pays, with how it is paid. "Ödendi, Kapat" accepts it (what is left then paid in
// cash), "Vazgeç" leaves the account open, "Ayrı Öde" closes it asking for a part payment.
class BillWindow : public QDialog
{
    Q_OBJECT

public:
    explicit BillWindow(QWidget *parent = nullptr);
    ~BillWindow() override;

    // The window's result when "Ayrı Öde" was chosen.
    static constexpr int ApartAsked = 2;

    // The hall that works out the figures; without it nothing can be paid but in cash.
    void setHall(kv::hall::Hall *hall) { m_hall = hall; }
    // Asks a Yönetici's approval of an action where one is needed; false when refused.
    std::function<bool(const QString &action)> approve;
    // "Yazdır" (F7) and "Önizleme": the bill as the window shows it; `stored`: a bill of the
    // ledger, printed again. Without them the buttons are hidden.
    std::function<void(const kv::ledger::BillRecord &bill, bool stored)> printBill;
    std::function<void(const kv::ledger::BillRecord &bill, bool stored)> previewBill;

    // Fills the window with the bill to pay; nothing given off, all of it in cash.
    void fill(const kv::ledger::BillRecord &bill);
    // Shows a bill of the ledger, with what became of it, until it is closed; nothing to pay.
    void showStored(const kv::ledger::BillRecord &bill);
    // How it is to be paid, once accepted: the payments add up to the net total.
    const kv::counter::Settlement &settlement() const { return m_settlement; }

    Ui::BillWindow *ui;

    // "Ödendi, Kapat": what is left is paid in cash, as it always was.
    void accept() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showBill(const kv::ledger::BillRecord &bill);
    // The bill to print: a stored one as it is; one being paid with the treats, discount and
    // payments the window shows.
    kv::ledger::BillRecord shownRecord() const;
    // The payment side as the settlement stands; `due` its figures.
    void showPayment(const kv::counter::Due &due, bool paying);
    void refresh();
    void take(kv::counter::Method method);
    void removePayment();
    void editDiscount();
    void editTreats();
    std::optional<qint64> amountTyped() const;

    void showPrinting();

    kv::hall::Hall *m_hall = nullptr;
    bool m_stored = false;
    kv::ledger::BillRecord m_record;
    kv::counter::Settlement m_settlement;
    qint64 m_change = 0;
};

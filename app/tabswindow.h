#pragma once

#include "ledger.h"

#include <QDialog>

#include <functional>

namespace Ui {
class TabsWindow;
}

// "Veresiye": every customer's open balance, the bills and payments behind the one chosen, and
// "Tahsil Et" taking a payment against it.
class TabsWindow : public QDialog
{
    Q_OBJECT

public:
    explicit TabsWindow(QWidget *parent = nullptr);
    ~TabsWindow() override;

    void setLedger(const kv::ledger::Ledger *ledger) { m_ledger = ledger; }
    // Takes the payment, or throws the operator's message; false when the operator gave up.
    std::function<bool(const QString &customer, kv::counter::Method method, qint64 amount)> collect;

    // Shows the tabs until the window is closed.
    void open();
    // Reads the tabs again, keeping the customer chosen.
    void refresh();
    // The customer chosen; empty for none.
    QString chosen() const;
    void choose(const QString &customer);

    void TahsilEtClick();

    Ui::TabsWindow *ui;

private:
    void showLines();

    const kv::ledger::Ledger *m_ledger = nullptr;
    QList<kv::ledger::TabBalance> m_balances;
};

#pragma once

#include "ledger.h"

#include <QDialog>

namespace Ui {
class BillWindow;
}

// "Hesap Özeti": the itemised bill of a table at the moment of closing, shown before the
// guest pays. "Ödendi, Kapat" accepts it, "Vazgeç" leaves the account open.
class BillWindow : public QDialog
{
    Q_OBJECT

public:
    explicit BillWindow(QWidget *parent = nullptr);
    ~BillWindow() override;

    // Fills the window with the bill; the amounts in the program's amount format.
    void fill(const kv::ledger::BillRecord &bill);
    // Shows a bill of the ledger, with what became of it, until it is closed; nothing to pay.
    void showStored(const kv::ledger::BillRecord &bill);

    Ui::BillWindow *ui;
};

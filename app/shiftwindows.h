#pragma once

#include "ledger.h"

#include <QDialog>

#include <functional>

namespace Ui {
class OpenShiftWindow;
class CashOutWindow;
class CloseShiftWindow;
} // namespace Ui

// The drawer's windows. Each "Tamam" hands what was typed to `apply`, which does it or throws
// the operator's message; the window stays open until it is done.

// "Vardiya Aç": the cashier, and the float put in the drawer.
class OpenShiftWindow : public QDialog
{
    Q_OBJECT

public:
    explicit OpenShiftWindow(QWidget *parent = nullptr);
    ~OpenShiftWindow() override;
    std::function<void(qint64 floatCash)> apply;
    // Shows the window until the shift is opened (true) or the operator gives up.
    bool ask(const QString &cashier, const QDateTime &now);
    void TamamClick();

    Ui::OpenShiftWindow *ui;
};

// "Kasadan Çıkış": cash taken out of the drawer, with its reason.
class CashOutWindow : public QDialog
{
    Q_OBJECT

public:
    explicit CashOutWindow(QWidget *parent = nullptr);
    ~CashOutWindow() override;
    std::function<void(qint64 amount, const QString &reason)> apply;
    bool ask();
    void TamamClick();

    Ui::CashOutWindow *ui;
};

// "Vardiya Kapat": the cash the drawer should hold, the cash counted and the difference as it
// is typed, and a note.
class CloseShiftWindow : public QDialog
{
    Q_OBJECT

public:
    explicit CloseShiftWindow(QWidget *parent = nullptr);
    ~CloseShiftWindow() override;
    std::function<void(qint64 counted, const QString &note)> apply;
    // `report`: the open shift so far.
    bool ask(const kv::ledger::ShiftReport &report);
    void TamamClick();

    Ui::CloseShiftWindow *ui;

private:
    void showDifference();
    qint64 m_expected = 0;
};

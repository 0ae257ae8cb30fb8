#pragma once

#include "ledger.h"

#include <QDialog>

class EventsModel;
class QComboBox;
namespace Ui {
class HistoryWindow;
}

// "İşlem Geçmişi": who did what on one business day (06:00 to 06:00), newest first, with
// filters by table, kind and cashier, and the head of the ledger's chain.
class HistoryWindow : public QDialog
{
    Q_OBJECT

public:
    explicit HistoryWindow(QWidget *parent = nullptr);
    ~HistoryWindow() override;

    void setLedger(const kv::ledger::Ledger *ledger) { m_ledger = ledger; }

    // Shows the business day of `now` and waits until the window is closed.
    void openAt(const QDateTime &now);
    // Reads a business day; a filter whose value the day also holds is kept.
    void showDay(const QDate &day);
    EventsModel *events() const { return m_events; }

    Ui::HistoryWindow *ui;

private:
    void fillFilters();
    void applyFilter();
    void fitColumns();
    void showCount();

    const kv::ledger::Ledger *m_ledger = nullptr;
    EventsModel *m_events;
    bool m_filling = false; // the combos are being refilled: no filter yet
};

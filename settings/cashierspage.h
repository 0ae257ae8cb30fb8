#pragma once

#include "hall.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kv::ledger {
class Cashiers;
}

// The "Kasiyerler" tab of the settings window: the cashiers with their roles, and which role
// each action needs. Every change is saved at once; a refused one shows why and changes
// nothing.
class CashiersPage : public QWidget
{
    Q_OBJECT

public:
    explicit CashiersPage(kv::ledger::Cashiers *cashiers, QWidget *parent = nullptr);

    // The Yönetici's approval each change needs; none asked when unset.
    kv::hall::Approve approve;

    // Reads the cashiers and the actions' roles again.
    void refresh();

    // Handlers, connected in the constructor.
    void addClick();        // "Ekle": the name, PIN and role typed
    void changePinClick();  // "PIN Değiştir": the selected cashier gets the PIN typed
    void changeRoleClick(); // "Rolü Değiştir": the selected cashier gets the role chosen
    void removeClick();     // "Sil", after asking

    QTableWidget *cashierList() const { return m_list; }
    QTableWidget *actionList() const { return m_actions; }
    QLineEdit *nameField() const { return m_name; }
    QLineEdit *pinField() const { return m_pin; }
    QComboBox *roleBox() const { return m_role; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString selected() const;
    // False when the change was not approved.
    bool approved(const std::function<void()> &change);
    void actionRoleChosen(int row, const QString &role);

    kv::ledger::Cashiers *m_cashiers;
    QTableWidget *m_list;
    QTableWidget *m_actions;
    QLineEdit *m_name;
    QLineEdit *m_pin;
    QComboBox *m_role;
    QPushButton *m_add;
    QPushButton *m_changePin;
    QPushButton *m_changeRole;
    QPushButton *m_remove;
    bool m_filling = false;
};

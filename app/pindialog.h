#pragma once

#include "cashiers.h"
#include "hall.h"

#include <QDialog>
#include <QTimer>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

// The PIN prompt: "Kasiyer Girişi" at start and at "Kasiyer Değiştir", and the approval a
// Yönetici gives an action that needs one. Wrong PINs are counted by the cashiers; while the
// prompt is locked it counts the wait down. A forgotten Yönetici PIN is replaced with the
// recovery code.
class PinDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PinDialog(kv::ledger::Cashiers *cashiers, QWidget *parent = nullptr);

    // Who logged in; none when the operator gave up.
    std::optional<kv::ledger::Cashier> login();
    // The approving Yönetici's name for the action (its key); empty when given up.
    QString approve(const QString &action);

    QLineEdit *pinField() const { return m_pin; }
    QLabel *message() const { return m_message; }
    QPushButton *recoveryButton() const { return m_toRecovery; }
    QLineEdit *codeField() const { return m_code; }
    QLineEdit *newPinField() const { return m_newPin; }
    QLineEdit *repeatPinField() const { return m_repeatPin; }

private:
    enum class Mode { Login, Approve };
    void start(Mode mode, const QString &prompt);
    void confirm();
    void recover();
    void showPage(int page);
    // Shows the wait while the prompt is locked; false when it is not.
    bool showLock();
    void tick();

    kv::ledger::Cashiers *m_cashiers;
    Mode m_mode = Mode::Login;
    std::optional<kv::ledger::Cashier> m_who;
    QStackedWidget *m_pages;
    QLabel *m_prompt;
    QLineEdit *m_pin;
    QLabel *m_message;
    QPushButton *m_ok;
    QPushButton *m_toRecovery;
    QLineEdit *m_code;
    QLineEdit *m_newPin;
    QLineEdit *m_repeatPin;
    QLabel *m_recoveryMessage;
    QTimer m_countdown;
};

// The approval the action needs at this counter: asked of a Yönetici with the PIN prompt where
// the one at the counter may not do it alone; none when the operator gave up. `needed` false:
// this time the action is not one that needs it (nothing is asked).
std::optional<kv::hall::Approval> askApproval(kv::hall::Hall &hall, QWidget *parent,
                                              const QString &action, bool needed = true);

#pragma once

#include "payment.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QSpinBox;

// "İndirim": an amount or a percentage taken off the bill, with its reason.
class DiscountDialog : public QDialog
{
    Q_OBJECT

public:
    DiscountDialog(const kv::counter::Discount &now, qint64 base, QWidget *parent = nullptr);
    kv::counter::Discount discount() const;

private:
    void check();
    QRadioButton *m_byAmount, *m_byPercent;
    QSpinBox *m_amount, *m_percent;
    QLineEdit *m_reason;
    QDialogButtonBox *m_buttons;
};

// One line the operator may tick: its text and what it costs.
struct PayItem
{
    QString text;
    qint64 amount = 0;
    int key = 0; // an extra's place on the bill, or the time charge's mark
    bool ticked = false;
};

// "İkram": the time charge or single extras on the house, with one reason.
class TreatDialog : public QDialog
{
    Q_OBJECT

public:
    TreatDialog(const QList<PayItem> &items, const QString &reason, QWidget *parent = nullptr);
    QList<int> ticked() const;
    QString reason() const;

private:
    void check();
    QListWidget *m_items;
    QLineEdit *m_reason;
    QDialogButtonBox *m_buttons;
};

// "Ayrı Öde": chosen extras and/or an amount paid now, by one method; the account stays open.
class ApartDialog : public QDialog
{
    Q_OBJECT

public:
    ApartDialog(const QString &about, const QList<PayItem> &extras, qint64 owed,
                const QStringList &customers, QWidget *parent = nullptr);
    QList<int> ticked() const;
    qint64 amount() const;
    kv::counter::Method method() const { return m_method; }
    QString customer() const;

private:
    void check();
    qint64 tickedSum() const;
    QListWidget *m_items;
    QSpinBox *m_amount;
    QComboBox *m_customer;
    QDialogButtonBox *m_buttons;
    kv::counter::Method m_method = kv::counter::Method::Cash;
};

// A customer's name typed or chosen from those known, matching anywhere in the name.
void setUpCustomerBox(QComboBox *box, const QStringList &customers);

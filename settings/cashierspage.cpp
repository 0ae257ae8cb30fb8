#include "cashierspage.h"

#include "cashiers.h"
#include "messages.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace kv;
using kv::ledger::Cashiers;

namespace {
QTableWidget *table(QWidget *parent, const QString &name, const QStringList &headers)
{
    auto *t = new QTableWidget(0, int(headers.size()), parent);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}
} // namespace

CashiersPage::CashiersPage(Cashiers *cashiers, QWidget *parent)
    : QWidget(parent), m_cashiers(cashiers)
{
    setObjectName(QStringLiteral("CashiersPage"));
    m_list =
        table(this, QStringLiteral("cashierList"), {QStringLiteral("Ad"), QStringLiteral("Rol")});
    m_actions = table(this, QStringLiteral("actionList"),
                      {QStringLiteral("İşlem"), QStringLiteral("Gereken rol")});
    m_actions->setSelectionMode(QAbstractItemView::NoSelection);
    // Tab walks through the lists' rows' controls and on, not from cell to cell.
    m_list->setTabKeyNavigation(false);
    m_actions->setTabKeyNavigation(false);
    m_actions->setFocusPolicy(Qt::NoFocus);
    m_actions->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_actions->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_actions->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("cashierName"));
    m_name->setMaxLength(40);
    m_pin = new QLineEdit(this);
    m_pin->setObjectName(QStringLiteral("cashierPin"));
    m_pin->setEchoMode(QLineEdit::Password);
    m_pin->setMaxLength(6);
    m_pin->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), m_pin));
    m_role = new QComboBox(this);
    m_role->setObjectName(QStringLiteral("cashierRole"));
    m_role->addItems({Cashiers::kCashier, Cashiers::kManager});

    m_add = button(this, QStringLiteral("addCashier"), QStringLiteral("Ekle"));
    m_changePin = button(this, QStringLiteral("changePin"), QStringLiteral("PIN Değiştir"));
    m_changeRole = button(this, QStringLiteral("changeRole"), QStringLiteral("Rolü Değiştir"));
    m_remove = button(this, QStringLiteral("removeCashier"), QStringLiteral("Sil"));

    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("&Ad:"), m_name);
    fields->addRow(QStringLiteral("&PIN:"), m_pin);
    fields->addRow(QStringLiteral("&Rol:"), m_role);
    auto *buttons = new QGridLayout;
    buttons->addWidget(m_add, 0, 0);
    buttons->addWidget(m_remove, 0, 1);
    buttons->addWidget(m_changePin, 1, 0);
    buttons->addWidget(m_changeRole, 1, 1);
    auto *left = new QVBoxLayout;
    left->addWidget(m_list, 1);
    left->addLayout(fields);
    left->addLayout(buttons);
    auto *right = new QVBoxLayout;
    auto *caption = new QLabel(QStringLiteral("Kim yapabilir:"), this);
    right->addWidget(caption);
    right->addWidget(m_actions, 1);
    auto *all = new QHBoxLayout(this);
    all->addLayout(left, 2);
    all->addLayout(right, 3);

    setTabOrder(m_list, m_name);
    setTabOrder(m_name, m_pin);
    setTabOrder(m_pin, m_role);
    setTabOrder(m_role, m_add);

    const auto on = [this](QPushButton *b, void (CashiersPage::*handler)()) {
        connect(b, &QPushButton::clicked, this,
                [this, handler] { guard([&] { (this->*handler)(); }); });
    };
    on(m_add, &CashiersPage::addClick);
    on(m_changePin, &CashiersPage::changePinClick);
    on(m_changeRole, &CashiersPage::changeRoleClick);
    on(m_remove, &CashiersPage::removeClick);
    // Enter in the PIN field adds the cashier typed, or gives the selected one the PIN.
    connect(m_pin, &QLineEdit::returnPressed, this, [this] {
        guard([this] { selected() == m_name->text().trimmed() ? changePinClick() : addClick(); });
    });
    connect(m_list, &QTableWidget::itemSelectionChanged, this, [this] {
        if (m_filling)
            return;
        const int row = m_list->currentRow();
        if (row < 0 || !m_list->item(row, 0))
            return;
        m_name->setText(m_list->item(row, 0)->text());
        m_role->setCurrentText(m_list->item(row, 1)->text());
    });
}

void CashiersPage::showEvent(QShowEvent *event)
{
    guard([this] { refresh(); });
    QWidget::showEvent(event);
}

void CashiersPage::refresh()
{
    m_filling = true;
    const QString keep = selected();
    const QList<kv::ledger::Cashier> all = m_cashiers->list();
    m_list->setRowCount(int(all.size()));
    for (int i = 0; i < all.size(); ++i) {
        m_list->setItem(i, 0, new QTableWidgetItem(all.at(i).name));
        m_list->setItem(i, 1, new QTableWidgetItem(all.at(i).role));
        if (all.at(i).name == keep)
            m_list->selectRow(i);
    }

    const QList<kv::ledger::Action> &actions = Cashiers::actions();
    m_actions->setRowCount(int(actions.size()));
    for (int i = 0; i < actions.size(); ++i) {
        const QString key = QLatin1String(actions.at(i).key);
        auto *label = new QTableWidgetItem(actions.at(i).label);
        label->setToolTip(actions.at(i).label);
        m_actions->setItem(i, 0, label);
        auto *box = qobject_cast<QComboBox *>(m_actions->cellWidget(i, 1));
        if (!box) {
            box = new QComboBox(m_actions);
            box->setObjectName(QStringLiteral("role_") + key);
            box->addItems({Cashiers::kCashier, Cashiers::kManager});
            connect(box, &QComboBox::currentTextChanged, this,
                    [this, i](const QString &role) { actionRoleChosen(i, role); });
            m_actions->setCellWidget(i, 1, box);
        }
        box->setCurrentText(m_cashiers->roleFor(key));
        // Only a Yönetici may ever change the cashiers.
        box->setEnabled(key != QLatin1String("cashiers"));
    }
    m_filling = false;
}

bool CashiersPage::approved(const std::function<void()> &change)
{
    const std::optional<kv::hall::Approval> approval =
        approve ? approve(QStringLiteral("cashiers")) : std::nullopt;
    if (approve && !approval)
        return false;
    change();
    return true;
}

QString CashiersPage::selected() const
{
    const QList<QTableWidgetItem *> items = m_list->selectedItems();
    return items.isEmpty() ? QString() : m_list->item(items.first()->row(), 0)->text();
}

void CashiersPage::addClick()
{
    // A masked field is typed again whole: what it held cannot be seen.
    const QString pin = m_pin->text();
    m_pin->clear();
    QString code;
    if (!approved([&] { code = m_cashiers->add(m_name->text(), pin, m_role->currentText()); }))
        return;
    const QString name = m_name->text().trimmed();
    refresh();
    for (int i = 0; i < m_list->rowCount(); ++i)
        if (m_list->item(i, 0)->text() == name)
            m_list->selectRow(i);
    if (!code.isEmpty())
        messages::inform(QStringLiteral("Kurtarma kodu: %1\n\nBu kodu yazıp saklayın; bir daha "
                                        "gösterilmez. Yönetici PIN'i unutulursa yeni PIN bu "
                                        "kodla verilir.")
                             .arg(code));
}

void CashiersPage::changePinClick()
{
    const QString name = selected();
    if (name.isEmpty())
        throwError(QStringLiteral("Listeden bir kasiyer seçin."));
    const QString pin = m_pin->text();
    m_pin->clear();
    if (!approved([&] { m_cashiers->setPin(name, pin); }))
        return;
    messages::inform(QStringLiteral("%1 için yeni PIN kaydedildi.").arg(name));
}

void CashiersPage::changeRoleClick()
{
    const QString name = selected();
    if (name.isEmpty())
        throwError(QStringLiteral("Listeden bir kasiyer seçin."));
    approved([&] { m_cashiers->setRole(name, m_role->currentText()); });
    refresh();
}

void CashiersPage::removeClick()
{
    const QString name = selected();
    if (name.isEmpty())
        throwError(QStringLiteral("Listeden bir kasiyer seçin."));
    if (!messages::ask(QStringLiteral("%1 kasiyerlerden silinsin mi?").arg(name)))
        return;
    if (!approved([&] { m_cashiers->remove(name); }))
        return;
    m_name->clear();
    refresh();
}

void CashiersPage::actionRoleChosen(int row, const QString &role)
{
    if (m_filling)
        return;
    const QString key = QLatin1String(Cashiers::actions().at(row).key);
    guard([&] { approved([&] { m_cashiers->setActionRole(key, role); }); });
    // What the ledger holds, also after a refusal.
    m_filling = true;
    guard([&] {
        if (auto *box = qobject_cast<QComboBox *>(m_actions->cellWidget(row, 1)))
            box->setCurrentText(m_cashiers->roleFor(key));
    });
    m_filling = false;
}

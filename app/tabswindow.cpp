#include "tabswindow.h"
#include "ui_tabswindow.h"

#include "floor.h"
#include "messages.h"
#include "moneyfields.h"
#include "placement.h"

#include <QHeaderView>
#include <QScopeGuard>

using namespace kv;
using counter::amountText;

namespace {
QTableWidgetItem *item(const QString &text, bool right = false, bool struck = false)
{
    auto *i = new QTableWidgetItem(text);
    if (right)
        i->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (struck) {
        QFont f = i->font();
        f.setStrikeOut(true);
        i->setFont(f);
        i->setForeground(Qt::gray);
    }
    return i;
}
} // namespace

TabsWindow::TabsWindow(QWidget *parent) : QDialog(parent), ui(new Ui::TabsWindow)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    centreAtEveryShowing(this);
    makeAmountField(ui->Tutar);
    ui->Musteriler->setColumnCount(3);
    ui->Musteriler->setHorizontalHeaderLabels(
        {QStringLiteral("Müşteri"), QStringLiteral("Borç"), QStringLiteral("Son hareket")});
    ui->Hareketler->setColumnCount(5);
    ui->Hareketler->setHorizontalHeaderLabels({QStringLiteral("Tarih"), QStringLiteral("Masa"),
                                               QStringLiteral("Tutar"), QStringLiteral("Yöntem"),
                                               QStringLiteral("Durum")});
    connect(ui->Musteriler, &QTableWidget::itemSelectionChanged, this,
            [this] { guard([this] { showLines(); }); });
    connect(ui->TahsilEt, &QPushButton::clicked, this,
            [this] { guard([this] { TahsilEtClick(); }); });
    connect(ui->Kapat, &QPushButton::clicked, this, &QDialog::accept);
}

TabsWindow::~TabsWindow()
{
    delete ui;
}

void TabsWindow::open()
{
    refresh();
    if (chosen().isEmpty() && !m_balances.isEmpty())
        ui->Musteriler->selectRow(0);
    ui->Musteriler->setFocus();
    exec();
}

void TabsWindow::refresh()
{
    const QString was = chosen();
    m_balances =
        m_ledger && m_ledger->readable() ? m_ledger->tabBalances() : QList<ledger::TabBalance>();
    QTableWidget *t = ui->Musteriler;
    const QSignalBlocker quiet(t);
    t->clearContents();
    t->setRowCount(int(m_balances.size()));
    for (int r = 0; r < m_balances.size(); ++r) {
        const ledger::TabBalance &b = m_balances.at(r);
        t->setItem(r, 0, item(b.customer));
        t->setItem(r, 1, item(amountText(b.balance), true));
        t->setItem(r, 2, item(momentText(b.last)));
    }
    t->resizeColumnsToContents();
    if (m_balances.isEmpty())
        ui->Borc->setText(QStringLiteral("Veresiye defterinde müşteri yok."));
    choose(was);
    showLines();
}

QString TabsWindow::chosen() const
{
    const int r = ui->Musteriler->currentRow();
    const QList<QTableWidgetItem *> selected = ui->Musteriler->selectedItems();
    return r >= 0 && r < m_balances.size() && !selected.isEmpty() ? m_balances.at(r).customer
                                                                  : QString();
}

void TabsWindow::choose(const QString &customer)
{
    for (int r = 0; r < m_balances.size(); ++r)
        if (!customer.isEmpty() && m_balances.at(r).customer == customer) {
            ui->Musteriler->selectRow(r);
            return;
        }
    ui->Musteriler->clearSelection();
}

void TabsWindow::showLines()
{
    const QString customer = chosen();
    QTableWidget *t = ui->Hareketler;
    t->clearContents();
    t->setRowCount(0);
    ui->TahsilEt->setEnabled(!customer.isEmpty());
    if (customer.isEmpty()) {
        ui->Tutar->clear();
        if (!m_balances.isEmpty())
            ui->Borc->setText(QStringLiteral("Bir müşteri seçin."));
        return;
    }
    const ledger::TabBalance &b = m_balances.at(ui->Musteriler->currentRow());
    ui->Borc->setText(QStringLiteral("%1 borcu: %2").arg(b.customer, amountText(b.balance)));
    // What is owed is what is usually paid.
    ui->Tutar->setText(b.balance > 0 ? QString::number(b.balance) : QString());
    const QList<ledger::TabLine> lines =
        m_ledger && m_ledger->readable() ? m_ledger->tabLines(customer) : QList<ledger::TabLine>();
    t->setRowCount(int(lines.size()));
    for (int r = 0; r < lines.size(); ++r) {
        const ledger::TabLine &l = lines.at(r);
        const bool bill = l.billId != 0;
        t->setItem(r, 0, item(momentText(l.at), false, l.cancelled));
        t->setItem(r, 1,
                   item(bill ? QStringLiteral("%1 (fiş %2)").arg(l.tableName).arg(l.billId)
                             : QStringLiteral("-"),
                        false, l.cancelled));
        t->setItem(
            r, 2,
            item((bill ? QStringLiteral("+") : QStringLiteral("−")) + amountText(qAbs(l.amount)),
                 true, l.cancelled));
        t->setItem(r, 3,
                   item(bill ? QStringLiteral("Veresiye")
                             : QStringLiteral("Tahsilat, %1").arg(counter::methodText(l.method)),
                        false, l.cancelled));
        t->setItem(r, 4, item(l.cancelled ? QStringLiteral("İptal edildi") : QString()));
    }
    t->resizeColumnsToContents();
    t->scrollToBottom();
}

void TabsWindow::TahsilEtClick()
{
    const QString customer = chosen();
    if (customer.isEmpty()) {
        messages::inform(QStringLiteral("Tahsilat için bir müşteri seçin!"));
        return;
    }
    const std::optional<qint64> amount =
        typedAmount(ui->Tutar, QStringLiteral("Tahsil edilen tutarı yazın."));
    if (!amount)
        return;
    const counter::Method method =
        ui->Kart->isChecked() ? counter::Method::Card : counter::Method::Cash;
    const auto shown = qScopeGuard([this] { refresh(); });
    if (collect)
        collect(customer, method, *amount);
}

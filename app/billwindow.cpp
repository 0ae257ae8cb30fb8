#include "billwindow.h"
#include "ui_billwindow.h"

#include "applocale.h"
#include "errors.h"
#include "floor.h"
#include "hall.h"
#include "messages.h"
#include "paydialogs.h"
#include "placement.h"
#include "rowdelegate.h"

#include <QKeyEvent>
#include <QShortcut>

using namespace kv;

BillWindow::BillWindow(QWidget *parent) : QDialog(parent), ui(new Ui::BillWindow)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    centreAtEveryShowing(this);
    auto *rows = new TRowDelegate(ui->ExtrasList);
    rows->setColumnSamples(QString(), formatAmount(999999));
    ui->ExtrasList->setItemDelegate(rows);
    auto *payments = new TRowDelegate(ui->PaymentsList);
    payments->setColumnSamples(QString(), formatAmount(999999));
    ui->PaymentsList->setItemDelegate(payments);
    ui->AmountEdit->installEventFilter(this);
    ui->PaymentsList->installEventFilter(this);
    connect(ui->PaidButton, &QPushButton::clicked, this, &BillWindow::accept);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->CashButton, &QPushButton::clicked, this, [this] { take(counter::Method::Cash); });
    connect(ui->CardButton, &QPushButton::clicked, this, [this] { take(counter::Method::Card); });
    connect(ui->TabButton, &QPushButton::clicked, this, [this] { take(counter::Method::Tab); });
    connect(ui->DiscountButton, &QPushButton::clicked, this, &BillWindow::editDiscount);
    connect(ui->TreatButton, &QPushButton::clicked, this, &BillWindow::editTreats);
    connect(ui->ApartButton, &QPushButton::clicked, this, [this] { done(ApartAsked); });
    // Printing starts and returns: the bill stays open to be paid.
    const auto print = [this] {
        if (printBill && ui->PrintButton->isVisible())
            guard([this] { printBill(shownRecord(), m_stored); });
    };
    connect(ui->PrintButton, &QPushButton::clicked, this, print);
    auto *f7 = new QShortcut(QKeySequence(Qt::Key_F7), this);
    connect(f7, &QShortcut::activated, this, print);
    connect(ui->PreviewButton, &QPushButton::clicked, this, [this] {
        if (previewBill)
            guard([this] { previewBill(shownRecord(), m_stored); });
    });
}

ledger::BillRecord BillWindow::shownRecord() const
{
    ledger::BillRecord shown = m_record;
    if (!m_stored) {
        // As the window shows it: its treats and discount, and what was paid so far.
        counter::Settlement s = m_settlement;
        m_hall->due(shown, s);
        shown.settlement = s;
    }
    return shown;
}

void BillWindow::showPrinting()
{
    ui->PrintButton->setVisible(bool(printBill));
    ui->PreviewButton->setVisible(bool(previewBill));
}

BillWindow::~BillWindow()
{
    delete ui;
}

void BillWindow::showBill(const ledger::BillRecord &b)
{
    using counter::amountText;
    ui->TableName->setText(b.part ? b.tableName + QStringLiteral(" · Ayrı ödeme") : b.tableName);
    // A free table's extras were billed with no account opened.
    ui->OpenedValue->setText(b.openedDate.isEmpty()
                                 ? QStringLiteral("-")
                                 : b.openedDate + QLatin1Char(' ') + b.openedTime);
    ui->ClosedValue->setText(shortDate(b.closedAt.date()) + QLatin1Char(' ') +
                             longTime(b.closedAt.time()));
    ui->DurationValue->setText(QStringLiteral("%1 sa %2 dk (%3 dk)")
                                   .arg(b.bill.minutes / 60)
                                   .arg(b.bill.minutes % 60)
                                   .arg(b.bill.minutes));
    ui->FeeValue->setText(amountText(b.bill.fee));
    ui->TimeChargeValue->setText(amountText(b.bill.timeCharge));
    ui->MinimumNote->setVisible(b.bill.minimumApplied);
    // The single fee's one stretch needs no lines of its own: the figures above say it.
    const bool segments = counter::segmentsWorthShowing(b.segments);
    QStringList lines;
    if (segments) {
        const counter::StartLines opened =
            counter::StartLines::read(b.openedDate, b.openedTime, b.closedAt.date());
        const QDateTime start(opened.date, opened.time.value_or(QTime(0, 0)));
        for (const counter::Segment &s : b.segments)
            lines << counter::segmentText(s, start);
    }
    ui->SegmentsValue->setText(lines.join(QLatin1Char('\n')));
    ui->SegmentsValue->setVisible(segments);
    ui->SegmentsRule->setText(counter::segmentRuleText());
    ui->SegmentsRule->setVisible(segments);
    ui->ExtrasList->clear();
    for (const ledger::BookedExtra &extra : b.extras) {
        // Left on the table for the account that followed: listed, not counted here.
        auto *item = new QListWidgetItem(
            extra.carried ? extra.name + QStringLiteral(" (yeni hesaba aktarıldı)") : extra.name,
            ui->ExtrasList);
        TRowDelegate::setRightColumn(item, amountText(extra.price));
    }
    if (b.extras.isEmpty())
        ui->ExtrasList->addItem(QStringLiteral("Extra girilmemiş"));
    ui->ExtrasTotalValue->setText(amountText(b.bill.extrasTotal));
    ui->TotalValue->setText(amountText(b.bill.total));
}

void BillWindow::showPayment(const counter::Due &d, bool paying)
{
    using counter::amountText;
    const counter::Settlement &s = m_settlement;
    ui->GrossValue->setText(amountText(d.gross));
    QStringList treats;
    for (const counter::Treat &t : s.treats)
        treats << QStringLiteral("%1 %2").arg(t.extra == counter::Treat::TimeCharge
                                                  ? QStringLiteral("Saat tutarı")
                                                  : m_record.extras.value(t.extra).name,
                                              amountText(t.amount));
    QString treated = treats.join(QStringLiteral(", "));
    if (!treats.isEmpty() && !s.treats.first().reason.isEmpty())
        treated += QStringLiteral(" (%1)").arg(s.treats.first().reason);
    ui->TreatsValue->setText(QStringLiteral("−%1").arg(amountText(d.treats)) +
                             (treated.isEmpty() ? QString() : QLatin1Char('\n') + treated));
    ui->TreatsCaption->setVisible(d.treats > 0);
    ui->TreatsValue->setVisible(d.treats > 0);
    QString discount = QStringLiteral("−%1").arg(amountText(d.discount));
    if (s.discount.percent > 0)
        discount += QStringLiteral(" (%%1)").arg(s.discount.percent);
    if (!s.discount.reason.isEmpty())
        discount += QStringLiteral("\n") + s.discount.reason;
    ui->DiscountValue->setText(discount);
    ui->DiscountCaption->setVisible(d.discount > 0);
    ui->DiscountValue->setVisible(d.discount > 0);
    ui->NetValue->setText(amountText(d.net));
    ui->PaymentsList->clear();
    for (const counter::Payment &p : s.payments) {
        QString text = counter::methodText(p.method);
        if (!p.customer.isEmpty())
            text += QStringLiteral(" · ") + p.customer;
        if (p.ahead)
            text += QStringLiteral(" (önceden ayrı ödendi)");
        auto *item = new QListWidgetItem(text, ui->PaymentsList);
        TRowDelegate::setRightColumn(item, amountText(p.amount));
        if (p.ahead)
            item->setForeground(QColor(0x50, 0x50, 0x50));
    }
    ui->LeftValue->setText(amountText(qMax<qint64>(0, d.left)));
    ui->ChangeValue->setText(amountText(m_change));
    ui->ChangeCaption->setVisible(m_change > 0);
    ui->ChangeValue->setVisible(m_change > 0);
    ui->PaymentRule->setText(s.discount.percent > 0 ? counter::discountRuleText() : QString());
    ui->PaymentRule->setVisible(paying && s.discount.percent > 0);
    const QList<QWidget *> payingOnly = {ui->LeftCaption,    ui->LeftValue,       ui->AmountCaption,
                                         ui->AmountEdit,     ui->CustomerCaption, ui->CustomerBox,
                                         ui->CashButton,     ui->CardButton,      ui->TabButton,
                                         ui->DiscountButton, ui->TreatButton,     ui->ApartButton};
    for (QWidget *w : payingOnly)
        w->setVisible(paying);
    if (paying) {
        ui->AmountEdit->setText(d.left > 0 ? QString::number(d.left) : QString());
        // An extras bill of a free table has no account to leave open.
        ui->ApartButton->setEnabled(!m_record.openedDate.isEmpty() || m_record.extras.size() > 1);
    }
}

void BillWindow::refresh()
{
    if (!m_hall)
        return;
    const counter::Due d = m_hall->due(m_record, m_settlement);
    showPayment(d, true);
}

void BillWindow::fill(const ledger::BillRecord &b)
{
    m_stored = false;
    showPrinting();
    m_record = b;
    m_settlement = {};
    m_change = 0;
    showBill(b);
    if (m_hall)
        setUpCustomerBox(ui->CustomerBox, m_hall->customers());
    ui->PaymentPanel->setVisible(m_hall != nullptr);
    refresh();
    // Tall enough for every segment's line: never squeezed into the size of the last bill.
    layout()->activate();
    resize(width(), qMax(440, layout()->totalMinimumHeightForWidth(width())));
    ui->PaidButton->setFocus();
}

void BillWindow::showStored(const ledger::BillRecord &b)
{
    m_stored = true;
    showPrinting();
    m_record = b;
    m_settlement = b.settlement;
    m_change = 0;
    showBill(b);
    ui->PaymentPanel->setVisible(true);
    showPayment(b.due(), false);
    layout()->activate();
    resize(width(), qMax(440, layout()->totalMinimumHeightForWidth(width())));
    const QString title = ui->TableName->text();
    ui->TableName->setText(title + QStringLiteral(" · ") + ledger::statusText(b));
    ui->PaidButton->hide();
    ui->CancelButton->setText(QStringLiteral("Kapat"));
    ui->CancelButton->setFocus();
    exec();
    ui->PaidButton->show();
    ui->CancelButton->setText(QStringLiteral("Vazgeç"));
}

std::optional<qint64> BillWindow::amountTyped() const
{
    int amount = 0;
    const QString text = ui->AmountEdit->text().trimmed();
    if (text.isEmpty() || !tryStrToInt(text, &amount) || amount <= 0)
        return std::nullopt;
    return amount;
}

void BillWindow::take(counter::Method method)
{
    const counter::Due d = m_hall->due(m_record, m_settlement);
    if (d.left <= 0) {
        messages::inform(QStringLiteral("Ödenecek tutar kalmadı."));
        return;
    }
    const std::optional<qint64> typed = amountTyped();
    if (!typed) {
        messages::showError(QStringLiteral("Geçerli bir tutar yazın."));
        ui->AmountEdit->setFocus();
        return;
    }
    qint64 amount = *typed;
    m_change = 0;
    if (amount > d.left) {
        // Cash handed over beyond the bill is given back; a card or a tab takes what is owed.
        if (method != counter::Method::Cash) {
            messages::showError(QStringLiteral("%1 ile alınan tutar kalanı (%2) aşamaz.")
                                    .arg(counter::methodText(method), counter::amountText(d.left)));
            return;
        }
        m_change = counter::changeOf(d.left, amount);
        amount = d.left;
    }
    QString customer;
    if (method == counter::Method::Tab) {
        customer = ui->CustomerBox->currentText().trimmed();
        if (customer.isEmpty()) {
            messages::showError(QStringLiteral("Veresiye için müşterinin adını yazın."));
            ui->CustomerBox->setFocus();
            return;
        }
        if (approve && !approve(QStringLiteral("tab")))
            return;
    }
    m_settlement.payments << counter::Payment{method, amount, customer, {}};
    refresh();
    ui->PaymentsList->setCurrentRow(ui->PaymentsList->count() - 1);
    // All of it taken: Enter closes the bill.
    if (m_hall->due(m_record, m_settlement).left <= 0)
        ui->PaidButton->setFocus();
    else
        ui->AmountEdit->setFocus();
}

void BillWindow::removePayment()
{
    const int row = ui->PaymentsList->currentRow();
    if (row < 0 || row >= m_settlement.payments.size())
        return;
    // Money taken ahead was taken: it goes back only as a refund, written at once.
    if (const counter::Payment &p = m_settlement.payments.at(row); p.ahead) {
        if (!messages::ask(QStringLiteral("Önceden ayrı alınan %1 (%2) iade edilsin mi?")
                               .arg(counter::amountText(p.amount), counter::methodText(p.method))))
            return;
        try {
            m_hall->returnAhead(m_record.tablePos, p.id);
        } catch (const RuntimeError &e) {
            messages::showError(e.text());
        }
        m_change = 0;
        refresh();
        return;
    }
    m_settlement.payments.removeAt(row);
    m_change = 0;
    refresh();
}

void BillWindow::editDiscount()
{
    counter::Settlement s = m_settlement;
    const counter::Due d = m_hall->due(m_record, s);
    DiscountDialog dialog(s.discount, d.gross - d.treats, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const counter::Discount next = dialog.discount();
    if ((next.amount > 0 || next.percent > 0) && approve && !approve(QStringLiteral("discount")))
        return;
    s.discount = next;
    // Payments taken for a higher total are taken again.
    if (m_hall->due(m_record, s).left < 0)
        s.payments.removeIf([](const counter::Payment &p) { return !p.ahead; });
    m_settlement = s;
    m_change = 0;
    refresh();
    if (m_hall->due(m_record, m_settlement).left < 0)
        messages::showError(QStringLiteral("Önceden ayrı ödenen tutar, indirimli tutarı aşıyor. "
                                           "Fazlası için ayrı ödemeyi seçip Delete ile iade "
                                           "edin."));
}

void BillWindow::editTreats()
{
    QList<PayItem> items;
    QSet<int> treated;
    for (const counter::Treat &t : std::as_const(m_settlement.treats))
        treated.insert(t.extra);
    if (m_record.bill.timeCharge > 0)
        items << PayItem{QStringLiteral("Saat tutarı"), m_record.bill.timeCharge,
                         counter::Treat::TimeCharge, treated.contains(counter::Treat::TimeCharge)};
    for (int k = 0; k < m_record.extras.size(); ++k) {
        const ledger::BookedExtra &x = m_record.extras.at(k);
        if (!x.carried)
            items << PayItem{x.name, x.price, k, treated.contains(k)};
    }
    if (items.isEmpty()) {
        messages::inform(QStringLiteral("Bu hesapta ikram edilebilecek bir kalem yok."));
        return;
    }
    TreatDialog dialog(items, m_settlement.treats.value(0).reason, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QList<int> ticked = dialog.ticked();
    if (!ticked.isEmpty() && approve && !approve(QStringLiteral("treat")))
        return;
    counter::Settlement s = m_settlement;
    s.treats.clear();
    for (const int key : ticked)
        s.treats << counter::Treat{key, 0, dialog.reason()};
    if (m_hall->due(m_record, s).left < 0)
        s.payments.removeIf([](const counter::Payment &p) { return !p.ahead; });
    m_settlement = s;
    m_change = 0;
    refresh();
}

void BillWindow::accept()
{
    if (!m_hall) {
        QDialog::accept();
        return;
    }
    counter::Settlement s = m_settlement;
    const counter::Due d = m_hall->due(m_record, s);
    // Enter pays what is left in cash, as it always did.
    if (d.left > 0)
        s.payments << counter::Payment{counter::Method::Cash, d.left, {}, {}};
    QList<qint64> prices;
    for (const ledger::BookedExtra &x : std::as_const(m_record.extras))
        prices << (x.carried ? 0 : x.price);
    const QString problem = counter::settlementProblem(m_record.bill, prices, s, true);
    if (!problem.isEmpty()) {
        messages::showError(problem);
        return;
    }
    m_settlement = s;
    QDialog::accept();
}

bool BillWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        // Enter in the amount takes it in cash (the change shown); the bill stays open.
        if (watched == ui->AmountEdit && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            take(counter::Method::Cash);
            return true;
        }
        if (watched == ui->PaymentsList && key == Qt::Key_Delete) {
            removePayment();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

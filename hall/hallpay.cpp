// Taking the money: a bill paid in parts and by method, with what is on the house or taken
// off, and part of a table paid ahead of its bill.
#include "hall.h"

#include "errors.h"
#include "fsys.h"
#include "layout.h"

#include <QJsonArray>
#include <QSet>

namespace kv::hall {

namespace {
QList<qint64> pricesOf(const ledger::BillRecord &record)
{
    QList<qint64> prices;
    for (const ledger::BookedExtra &extra : record.extras)
        prices << (extra.carried ? 0 : extra.price);
    return prices;
}

QJsonArray paymentsJson(const QList<counter::Payment> &payments)
{
    QJsonArray list;
    for (const counter::Payment &p : payments) {
        QJsonObject one{{"method", QString(counter::methodKey(p.method))}, {"amount", p.amount}};
        if (!p.customer.isEmpty())
            one.insert(QStringLiteral("customer"), p.customer);
        if (p.ahead)
            one.insert(QStringLiteral("ahead"), true);
        list.append(one);
    }
    return list;
}

void checkPayment(counter::Method method, qint64 amount, const QString &customer)
{
    if (amount <= 0)
        throwError(QStringLiteral("Ödeme tutarı sıfırdan büyük olmalı."));
    if (method == counter::Method::Tab && customer.trimmed().isEmpty())
        throwError(QStringLiteral("Veresiye için müşterinin adını yazın."));
}
} // namespace

QList<counter::Payment> Hall::paidAhead(int table) const
{
    if (table < 0 || !m_ledger->readable())
        return {};
    return m_ledger->paymentsAhead(table);
}

QString Hall::paidAheadProblem(int table) const
{
    qint64 sum = 0;
    for (const counter::Payment &p : paidAhead(table))
        sum += p.amount;
    if (!sum)
        return QString();
    return QStringLiteral("%1 hesabından %2 ayrı ödendi. Bu hesap yeniden başlatılamaz ve "
                          "silinemez; önce Hesabı Kapat ile kapatın ya da orada ayrı ödemeyi "
                          "iade edin.")
        .arg(tableName(table), counter::amountText(sum));
}

void Hall::returnAhead(int table, qint64 payment)
{
    const QList<counter::Payment> ahead = paidAhead(table);
    const auto p = std::find_if(ahead.cbegin(), ahead.cend(),
                                [payment](const counter::Payment &a) { return a.id == payment; });
    if (p == ahead.cend())
        throwError(QStringLiteral("Bu ödeme artık masada değil."));
    QJsonObject detail{{"payment", payment}, {"method", QString(counter::methodKey(p->method))}};
    if (!p->customer.isEmpty())
        detail.insert(QStringLiteral("customer"), p->customer);
    m_operations->returnAhead(
        payment, newEvent(QStringLiteral("return_ahead"), tableName(table), detail, -p->amount));
    emit tableChanged(table);
    emit moneyChanged();
}

counter::Due Hall::due(const ledger::BillRecord &record, counter::Settlement &s) const
{
    // Money taken ahead belongs to the open account's bill, whatever the window held.
    s.payments.removeIf([](const counter::Payment &p) { return p.ahead; });
    if (!record.openedDate.isEmpty() && !record.part)
        s.payments = paidAhead(record.tablePos) + s.payments;
    return counter::dueOf(record.bill, pricesOf(record), s);
}

qint64 Hall::settle(const ledger::BillRecord &record)
{
    counter::Settlement s;
    const counter::Due d = due(record, s);
    // As always: what is left is paid in cash.
    if (d.left > 0)
        s.payments << counter::Payment{counter::Method::Cash, d.left, {}, record.closedAt};
    return settle(record, std::move(s));
}

qint64 Hall::settle(ledger::BillRecord record, counter::Settlement s)
{
    const counter::Due d = due(record, s);
    const QString problem = counter::settlementProblem(record.bill, pricesOf(record), s, true);
    const bool aheadOnly = std::all_of(s.payments.cbegin(), s.payments.cend(),
                                       [](const counter::Payment &p) { return p.ahead; });
    if (!problem.isEmpty() && d.left < 0 && aheadOnly)
        throwError(QStringLiteral("Önceden ayrı ödenen %1, ödenecek tutarı (%2) aşıyor. Hesap "
                                  "Özeti'nde ayrı ödemeyi seçip Delete ile iade edin.")
                       .arg(counter::amountText(d.paid), counter::amountText(d.net)));
    if (!problem.isEmpty())
        throwError(problem);
    for (counter::Payment &p : s.payments) {
        if (!p.at.isValid())
            p.at = record.closedAt;
        p.customer = p.customer.trimmed();
    }
    record.settlement = s;
    const auto shown = qScopeGuard([&] {
        reread(record.tablePos);
        emit tableChanged(record.tablePos);
    });
    const auto dropped = qScopeGuard([&] { dropEndedTimes(); });
    QJsonObject detail{{"minutes", record.bill.minutes},
                       {"time_charge", record.bill.timeCharge},
                       {"extras_total", record.bill.extrasTotal},
                       {"total", record.bill.total}};
    // A bill paid whole in cash reads as it always did.
    const bool plain = d.treats == 0 && d.discount == 0 &&
                       std::all_of(s.payments.cbegin(), s.payments.cend(), [](const auto &p) {
                           return p.method == counter::Method::Cash && !p.ahead;
                       });
    if (!plain) {
        detail.insert(QStringLiteral("gross"), d.gross);
        detail.insert(QStringLiteral("treats"), d.treats);
        detail.insert(QStringLiteral("discount"), d.discount);
        if (!s.discount.reason.isEmpty())
            detail.insert(QStringLiteral("discount_reason"), s.discount.reason);
        detail.insert(QStringLiteral("net"), d.net);
        detail.insert(QStringLiteral("payments"), paymentsJson(s.payments));
    }
    const qint64 id = m_operations->settle(
        record, newEvent(QStringLiteral("settle"), record.tableName, detail, d.net));
    emit moneyChanged();
    return id;
}

qint64 Hall::payApart(int table, const QList<int> &extras, qint64 amount, counter::Method method,
                      const QString &customer, const counter::Moment &now)
{
    if (amount < 0)
        throwError(QStringLiteral("Ödeme tutarı eksi olamaz."));
    if (extras.isEmpty() && amount == 0)
        throwError(QStringLiteral("Ayrı ödenecek extra ya da tutar seçilmedi."));
    if (amount > 0 && !hasAccount(table))
        throwError(QStringLiteral("%1 masasında açık hesap yok; yalnız extralar ayrı ödenebilir.")
                       .arg(tableName(table)));
    const RecordList &lines = booked(table);
    QList<ledger::BookedExtra> all;
    for (int k = 0; PairLine::name(k) < lines.count(); ++k) {
        int price = 0;
        tryStrToInt(lines.value(PairLine::price(k)), &price);
        all << ledger::BookedExtra{lines.at(PairLine::name(k)), price};
    }
    const QSet<int> chosen(extras.cbegin(), extras.cend());
    if (chosen.size() != extras.size())
        throwError(QStringLiteral("Bir extra iki kez seçilemez."));
    std::optional<ledger::BillRecord> bill;
    QStringList rest;
    for (int k = 0; k < all.size(); ++k) {
        if (!chosen.contains(k)) {
            rest << lines.at(PairLine::name(k)) << lines.value(PairLine::price(k));
            continue;
        }
        if (!bill) {
            bill.emplace();
            bill->tablePos = table;
            bill->tableName = tableName(table);
            bill->closedAt = now.wall;
            bill->part = true;
        }
        bill->extras << all.at(k);
    }
    for (const int k : extras)
        if (k < 0 || k >= all.size())
            throwError(QStringLiteral("Seçilen extra masada yok."));
    qint64 extrasSum = 0;
    if (bill) {
        for (const ledger::BookedExtra &x : std::as_const(bill->extras))
            extrasSum += x.price;
        bill->bill = counter::bill(0, 0, {}, extrasSum);
    }
    checkPayment(method, amount + extrasSum, customer);
    // Never more ahead than the account owes now, after what was paid before.
    if (amount > 0) {
        qint64 before = 0;
        for (const counter::Payment &p : paidAhead(table))
            before += p.amount;
        const qint64 owed = accountRecord(table, now).bill.total - extrasSum - before;
        if (amount > owed)
            throwError(QStringLiteral("Ayrı ödenen tutar, hesabın ödenmemiş kalanını (%1) aşamaz.")
                           .arg(counter::amountText(qMax<qint64>(0, owed))));
    }
    const QString who = method == counter::Method::Tab ? customer.trimmed() : QString();
    if (bill && extrasSum > 0)
        bill->settlement.payments << counter::Payment{method, extrasSum, who, now.wall};
    std::optional<counter::Payment> ahead;
    if (amount > 0)
        ahead = counter::Payment{method, amount, who, now.wall, true};
    QJsonArray names;
    if (bill)
        for (const ledger::BookedExtra &x : std::as_const(bill->extras))
            names.append(x.name);
    QJsonObject detail{{"extras", names},
                       {"extras_total", extrasSum},
                       {"ahead", amount},
                       {"method", QString(counter::methodKey(method))}};
    if (!who.isEmpty())
        detail.insert(QStringLiteral("customer"), who);
    // The booking times of the extras that stay keep their places.
    QList<qint64> keptAt;
    const QList<qint64> &at = m_bookedAt[size_t(table)];
    for (int k = 0; k < at.size(); ++k)
        if (!chosen.contains(k))
            keptAt << at.at(k);
    bool paid = false;
    const auto shown = qScopeGuard([&] {
        reread(table);
        if (paid && bill)
            m_bookedAt[size_t(table)] = keptAt;
        emit tableChanged(table);
        emit moneyChanged();
    });
    const qint64 id = m_operations->payApart(
        table, bill, RecordList::toBytes(rest), ahead,
        newEvent(QStringLiteral("pay_apart"), tableName(table), detail, amount + extrasSum));
    paid = true;
    return id;
}

} // namespace kv::hall

#include "payment.h"

#include "floor.h"

#include <QSet>

namespace kv::counter {

QLatin1String methodKey(Method method)
{
    switch (method) {
    case Method::Card:
        return QLatin1String("card");
    case Method::Tab:
        return QLatin1String("tab");
    case Method::Cash:
        break;
    }
    return QLatin1String("cash");
}

std::optional<Method> methodOf(QStringView key)
{
    for (const Method m : {Method::Cash, Method::Card, Method::Tab})
        if (key == methodKey(m))
            return m;
    return std::nullopt;
}

QString methodText(Method method)
{
    switch (method) {
    case Method::Card:
        return QStringLiteral("Kart");
    case Method::Tab:
        return QStringLiteral("Veresiye");
    case Method::Cash:
        break;
    }
    return QStringLiteral("Nakit");
}

qint64 percentOf(qint64 base, int percent)
{
    // Integer division rounds toward zero: for what is never negative, down to the lira.
    return base <= 0 || percent <= 0 ? 0 : base * qMin(percent, 100) / 100;
}

Due dueOf(const Bill &bill, const QList<qint64> &prices, Settlement &s)
{
    Due d;
    d.gross = bill.total;
    for (Treat &t : s.treats) {
        t.amount = t.extra == Treat::TimeCharge ? bill.timeCharge : prices.value(t.extra);
        d.treats += t.amount;
    }
    const qint64 rest = qMax<qint64>(0, d.gross - d.treats);
    if (s.discount.percent > 0)
        s.discount.amount = percentOf(rest, s.discount.percent);
    d.discount = s.discount.amount;
    d.net = d.gross - d.treats - d.discount;
    for (const Payment &p : std::as_const(s.payments))
        d.paid += p.amount;
    d.left = d.net - d.paid;
    return d;
}

QString settlementProblem(const Bill &bill, const QList<qint64> &prices, Settlement s,
                          bool complete)
{
    if (s.discount.percent < 0 || s.discount.percent > 100)
        return QStringLiteral("İndirim yüzdesi 0 ile 100 arasında olmalı.");
    if (s.discount.amount < 0)
        return QStringLiteral("İndirim tutarı eksi olamaz.");
    if ((s.discount.amount > 0 || s.discount.percent > 0) && s.discount.reason.trimmed().isEmpty())
        return QStringLiteral("İndirimin nedenini yazın.");
    QSet<int> treated;
    for (const Treat &t : std::as_const(s.treats)) {
        if (t.extra == Treat::TimeCharge ? bill.timeCharge <= 0
                                         : (t.extra < 0 || t.extra >= prices.size()))
            return QStringLiteral("İkram edilecek kalem bu hesapta yok.");
        if (treated.contains(t.extra))
            return QStringLiteral("Bir kalem iki kez ikram edilemez.");
        treated.insert(t.extra);
        if (t.reason.trimmed().isEmpty())
            return QStringLiteral("İkramın nedenini yazın.");
    }
    const Due d = dueOf(bill, prices, s);
    if (d.treats > d.gross)
        return QStringLiteral("İkramlar hesabın tutarını aşıyor.");
    if (d.net < 0)
        return QStringLiteral("İndirim, ikramlardan sonra kalan %1 tutarını aşamaz.")
            .arg(amountText(d.gross - d.treats));
    for (const Payment &p : std::as_const(s.payments)) {
        if (p.amount <= 0)
            return QStringLiteral("Ödeme tutarı sıfırdan büyük olmalı.");
        if (p.method == Method::Tab && p.customer.trimmed().isEmpty())
            return QStringLiteral("Veresiye için müşterinin adını yazın.");
    }
    if (d.left < 0)
        return QStringLiteral("Ödemeler (%1) ödenecek tutarı (%2) aşıyor.")
            .arg(amountText(d.paid), amountText(d.net));
    if (complete && d.left > 0)
        return QStringLiteral("Ödemeler (%1) ödenecek tutarı (%2) karşılamıyor; kalan %3.")
            .arg(amountText(d.paid), amountText(d.net), amountText(d.left));
    return QString();
}

qint64 changeOf(qint64 left, qint64 given)
{
    return given > left ? given - qMax<qint64>(0, left) : 0;
}

QString discountRuleText()
{
    return QStringLiteral("Yüzde indirim, ikramlardan sonra kalan tutar üzerinden hesaplanır ve "
                          "liraya aşağı yuvarlanır.");
}

} // namespace kv::counter

#pragma once

#include "billing.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// How a bill is paid: what is given on the house, what is taken off, and the money taken in
// parts by method. Amounts in whole lira.
namespace kv::counter {

enum class Method { Cash, Card, Tab };

// As the ledger keeps it: "cash", "card", "tab".
QLatin1String methodKey(Method method);
std::optional<Method> methodOf(QStringView key);
// As the operator reads it: "Nakit", "Kart", "Veresiye".
QString methodText(Method method);

struct Payment
{
    Method method = Method::Cash;
    qint64 amount = 0;
    QString customer; // a tab's: whose
    QDateTime at;     // when it was taken
    // Taken on the open account before its bill was paid ("Ayrı Öde").
    bool ahead = false;
    qint64 id = 0; // the ledger's row; 0 until written
    bool operator==(const Payment &) const = default;
};

// The time charge, or one booked extra, on the house.
struct Treat
{
    static constexpr int TimeCharge = -1;
    int extra = TimeCharge; // the booked extra's place on the bill
    qint64 amount = 0;      // what it would have cost: filled in by dueOf()
    QString reason;
    bool operator==(const Treat &) const = default;
};

struct Discount
{
    qint64 amount = 0; // given as an amount, or worked out from the percentage
    int percent = 0;   // 0: given as an amount
    QString reason;
    bool operator==(const Discount &) const = default;
};

struct Settlement
{
    Discount discount;
    QList<Treat> treats;
    QList<Payment> payments; // those taken ahead first, then those of the settle
    bool operator==(const Settlement &) const = default;
};

// The figures of a bill as it is paid.
struct Due
{
    qint64 gross = 0;    // the bill's total
    qint64 treats = 0;   // on the house
    qint64 discount = 0; // taken off what is left after the treats
    qint64 net = 0;      // gross − treats − discount: what the guest pays
    qint64 paid = 0;     // the payments' sum
    qint64 left = 0;     // net − paid
    bool operator==(const Due &) const = default;
};

// A percentage of `base`, rounded down to the lira.
qint64 percentOf(qint64 base, int percent);

// The bill's figures under `s`: each treat's and the discount's amount filled in (a treat
// costs what its extra or the time charge cost; a percentage is of what the treats leave,
// rounded down to the lira). `prices` are the booked extras' prices, in the bill's order.
Due dueOf(const Bill &bill, const QList<qint64> &prices, Settlement &s);

// What keeps `s` from being paid as it stands, for the operator; empty when it can be. With
// `complete`, the payments must add up to the net total exactly.
QString settlementProblem(const Bill &bill, const QList<qint64> &prices, Settlement s,
                          bool complete);

// Cash handed over beyond what is left to pay: given back, not kept as takings.
qint64 changeOf(qint64 left, qint64 given);

// How the discount is worked out, as the bill states it.
QString discountRuleText();

} // namespace kv::counter

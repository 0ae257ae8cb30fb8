// The hall's money outside a bill: tabs collected, shifts opened and closed, cash taken out.
#include "hall.h"

#include "clock.h"
#include "errors.h"
#include "floor.h"

#include <QJsonObject>

namespace kv::hall {

namespace {

// The customer's tab as the ledger keeps it; none when they owe nothing or it cannot be read.
std::optional<ledger::TabBalance> tabOf(const ledger::Ledger &l, const QString &customer)
{
    if (!l.readable())
        return std::nullopt;
    // The name as written first: two tabs written apart before they were matched stay apart.
    const QList<ledger::TabBalance> all = l.tabBalances();
    for (const ledger::TabBalance &b : all)
        if (b.customer == customer.trimmed())
            return b;
    for (const ledger::TabBalance &b : all)
        if (b.customer.compare(customer.trimmed(), Qt::CaseInsensitive) == 0)
            return b;
    return std::nullopt;
}

void requirePositive(qint64 amount)
{
    if (amount <= 0)
        throwError(QStringLiteral("Tutar sıfırdan büyük olmalı."));
}

} // namespace

QStringList Hall::customers() const
{
    if (!m_ledger->readable())
        return {};
    try {
        return m_ledger->customers();
    } catch (const RuntimeError &) {
        return {};
    }
}

std::optional<ledger::Shift> Hall::currentShift() const
{
    if (!m_ledger->readable())
        return std::nullopt;
    try {
        return m_ledger->currentShift();
    } catch (const RuntimeError &) {
        return std::nullopt;
    }
}

void Hall::collect(const QString &customer, counter::Method method, qint64 amount)
{
    const QString name = customer.trimmed();
    if (name.isEmpty())
        throwError(QStringLiteral("Müşterinin adını yazın."));
    if (method == counter::Method::Tab)
        throwError(QStringLiteral("Veresiye nakit ya da kartla tahsil edilir."));
    requirePositive(amount);
    // As the ledger spells the name, whatever case it was typed in. While the ledger cannot be
    // read, writing to it is refused below.
    QString whose = name;
    if (m_ledger->readable()) {
        const std::optional<ledger::TabBalance> tab = tabOf(*m_ledger, name);
        if (!tab || tab->balance <= 0)
            throwError(QStringLiteral("%1 adına ödenmemiş veresiye yok.").arg(name));
        if (amount > tab->balance)
            throwError(QStringLiteral("Tahsil edilen tutar %1 borcundan (%2) fazla olamaz.")
                           .arg(tab->customer, counter::amountText(tab->balance)));
        whose = tab->customer;
    }
    counter::Payment payment;
    payment.method = method;
    payment.amount = amount;
    payment.customer = whose;
    payment.at = clock::now();
    m_operations->collect(
        whose, payment,
        newEvent(QStringLiteral("tab_collect"), QString(),
                 {{"customer", whose}, {"method", QString(counter::methodKey(method))}}, amount));
    emit moneyChanged();
}

void Hall::openShift(qint64 floatCash)
{
    if (floatCash < 0)
        throwError(QStringLiteral("Kasadaki para eksi olamaz."));
    if (const std::optional<ledger::Shift> open = currentShift())
        throwError(QStringLiteral("Bir vardiya zaten açık (%1); önce onu kapatın.")
                       .arg(open->openedAt.toString(QStringLiteral("dd.MM.yyyy HH:mm"))));
    m_operations->openShift(
        m_operator, floatCash,
        newEvent(QStringLiteral("shift_open"), QString(), {{"float", floatCash}}, floatCash));
    emit moneyChanged();
}

ledger::ShiftReport Hall::closeShift(qint64 counted, const QString &note)
{
    const std::optional<ledger::Shift> open = currentShift();
    if (!open)
        throwError(QStringLiteral("Açık vardiya yok."));
    if (counted < 0)
        throwError(QStringLiteral("Sayılan para eksi olamaz."));
    const QDateTime now = clock::now();
    ledger::ShiftReport report = m_ledger->shiftReport(*open, now);
    const qint64 expected = report.expectedCash();
    const QString kept = note.trimmed();
    m_operations->closeShift(open->id, expected, counted, kept,
                             newEvent(QStringLiteral("shift_close"), QString(),
                                      {{"shift", open->id},
                                       {"expected", expected},
                                       {"counted", counted},
                                       {"difference", counted - expected},
                                       {"note", kept}}));
    emit moneyChanged();
    // The report as the ledger now holds the shift; as computed here when it cannot be read.
    try {
        if (const std::optional<ledger::Shift> closed = m_ledger->shift(open->id);
            closed && closed->closedAt.isValid())
            return m_ledger->shiftReport(*closed, closed->closedAt);
    } catch (const RuntimeError &) {
    }
    report.shift.closedAt = now;
    report.shift.expected = expected;
    report.shift.counted = counted;
    report.shift.note = kept;
    return report;
}

void Hall::cashOut(qint64 amount, const QString &reason)
{
    requirePositive(amount);
    const QString why = reason.trimmed();
    if (why.isEmpty())
        throwError(QStringLiteral("Kasadan çıkışın nedenini yazın."));
    m_operations->cashOut(
        amount, why, newEvent(QStringLiteral("cash_out"), QString(), {{"reason", why}}, amount));
    emit moneyChanged();
}

} // namespace kv::hall

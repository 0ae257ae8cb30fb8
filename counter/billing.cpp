#include "billing.h"

namespace kv::counter {

qint64 elapsedMs(qint64 days, const QTime &start, const QTime &end)
{
    return days * 86400000 + start.msecsTo(end);
}

qint64 elapsedMs(const QDate &startDate, const QTime &startTime, const QDateTime &moment)
{
    const QTime t = moment.time();
    const qint64 days = startDate.isValid() ? startDate.daysTo(moment.date()) : 0;
    return elapsedMs(days, startTime, QTime(t.hour(), t.minute(), t.second()));
}

Bill bill(qint64 minutes, qint64 fee, const MinimumCharge &minimum, qint64 extrasTotal)
{
    Bill b;
    b.minutes = minutes;
    b.fee = fee;
    b.timeCharge = minutes * fee / 60;
    if (minimum.on && minimum.amount > b.timeCharge) {
        b.timeCharge = minimum.amount;
        b.minimumApplied = true;
    }
    b.extrasTotal = extrasTotal;
    b.total = b.timeCharge + extrasTotal;
    return b;
}

QString hoursAndMinutes(qint64 minutes)
{
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

} // namespace kv::counter

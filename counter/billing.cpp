#include "billing.h"

#include "applocale.h"
#include "clock.h"
#include "errors.h"

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

Opening openingAt(const Moment &at, const QString &dateLine, const QString &timeLine)
{
    // To the second, as the register's time line: both rules turn a minute at the same moment.
    return {dateLine, timeLine, QDateTime::fromSecsSinceEpoch(at.wall.toSecsSinceEpoch(), Qt::UTC),
            at.bootId, at.sinceBootMs};
}

StartLines StartLines::read(const QString &dateLine, const QString &timeLine, const QDate &today)
{
    StartLines s{dateLine, timeLine, readStoredDate(dateLine, today), std::nullopt};
    try {
        s.time = strToTime(timeLine);
    } catch (const RuntimeError &) {
    }
    return s;
}

std::optional<qint64> accountElapsedMs(const StartLines &start, const Opening *opening,
                                       const Moment &now)
{
    if (opening && opening->utc.isValid() && opening->dateLine == start.dateLine &&
        opening->timeLine == start.timeLine) {
        const qint64 wall = (now.wall.toSecsSinceEpoch() - opening->utc.toSecsSinceEpoch()) * 1000;
        const bool sameBoot = !opening->bootId.isEmpty() && opening->bootId == now.bootId;
        const qint64 boot = now.sinceBootMs - opening->sinceBootMs;
        return sameBoot && qAbs(wall - boot) > kClockJumpMs ? boot : wall;
    }
    if (!start.time)
        return std::nullopt;
    return elapsedMs(start.date, *start.time, now.wall);
}

Moment momentNow()
{
    const clock::BootTime boot = clock::bootTime();
    return {clock::now(), boot.id, boot.ms};
}

bool unusualElapsed(qint64 elapsedMs)
{
    return elapsedMs < 0 || elapsedMs > 3 * 86400000LL;
}

Bill bill(qint64 minutes, qint64 fee, const MinimumCharge &minimum, qint64 extrasTotal)
{
    return billOfCharge(minutes, fee, minutes * fee / 60, minimum, extrasTotal);
}

Bill billOfCharge(qint64 minutes, qint64 fee, qint64 timeCharge, const MinimumCharge &minimum,
                  qint64 extrasTotal)
{
    Bill b;
    b.minutes = minutes;
    b.fee = fee;
    b.timeCharge = timeCharge;
    if (minimum.on && minimum.amount > b.timeCharge) {
        b.timeCharge = minimum.amount;
        b.minimumApplied = true;
    }
    b.extrasTotal = extrasTotal;
    b.total = b.timeCharge + extrasTotal;
    return b;
}

QDate businessDay(const QDateTime &moment)
{
    return moment.time() < QTime(6, 0) ? moment.date().addDays(-1) : moment.date();
}

QDateTime businessDayStart(const QDate &day)
{
    return QDateTime(day, QTime(6, 0));
}

bool openedEarlierDay(const QDateTime &opened, const QDateTime &now)
{
    return opened < businessDayStart(businessDay(now));
}

QString hoursAndMinutes(qint64 minutes)
{
    if (minutes >= 0) { // by hand: Gün Sonu writes one for each of a day's bills
        QString text = QString::number(minutes / 60);
        const int rest = int(minutes % 60);
        text.append(QLatin1Char(':'))
            .append(QLatin1Char(char('0' + rest / 10)))
            .append(QLatin1Char(char('0' + rest % 10)));
        return text;
    }
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

} // namespace kv::counter

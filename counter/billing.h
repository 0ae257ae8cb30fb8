#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

// The billing rule of the counter, in one place: what the details group, the floor and the
// settled bill all charge.
namespace kv::counter {

struct MinimumCharge
{
    bool on = false;
    qint64 amount = 0;
    bool operator==(const MinimumCharge &) const = default;
};

// What an account owes at one moment; amounts in whole lira.
struct Bill
{
    qint64 minutes = 0;
    qint64 fee = 0;        // hourly fee
    qint64 timeCharge = 0; // after the minimum charge
    bool minimumApplied = false;
    qint64 extrasTotal = 0;
    qint64 total = 0;

    bool operator==(const Bill &) const = default;
};

// Wall-clock milliseconds from a start time to an end time `days` calendar days later, as
// the clock on the wall shows them (an account runs on past midnight). Negative when the
// end comes first.
qint64 elapsedMs(qint64 days, const QTime &start, const QTime &end);
// From an account's stored start to a moment, to the whole second. An invalid (unreadable)
// date counts as the moment's own day.
qint64 elapsedMs(const QDate &startDate, const QTime &startTime, const QDateTime &moment);

// Whole minutes of an elapsed time; the seconds are dropped, never rounded up.
constexpr qint64 wholeMinutes(qint64 elapsedMs)
{
    return elapsedMs / 60000;
}

// Minutes × fee div 60 (the product first, in 64 bits), raised to the minimum charge when
// it is on and greater, plus the extras.
Bill bill(qint64 minutes, qint64 fee, const MinimumCharge &minimum, qint64 extrasTotal);

// The business day a moment belongs to: a hall's evening crosses midnight, so a day runs
// from 06:00 to 06:00 the next morning. The floor, the ledger and the reports share it.
QDate businessDay(const QDateTime &moment);
QDateTime businessDayStart(const QDate &day);
// An account opened at `opened` is of an earlier day at `now` when it was opened before the
// start of the current business day.
bool openedEarlierDay(const QDateTime &opened, const QDateTime &now);

// The whole minutes as "h:mm" (hours beyond a day keep counting: "26:05").
QString hoursAndMinutes(qint64 minutes);

} // namespace kv::counter

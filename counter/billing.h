#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QTime>

#include <optional>

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

// A moment on both clocks: the wall clock's local time, and the time since boot with its boot.
struct Moment
{
    QDateTime wall;
    QString bootId; // empty: unknown
    qint64 sinceBootMs = 0;
};

// An account's opening as the ledger keeps it: the instant, the register lines it belongs
// to, and the time since boot then.
struct Opening
{
    QString dateLine, timeLine;
    QDateTime utc;
    QString bootId;
    qint64 sinceBootMs = 0;
    bool operator==(const Opening &) const = default;
};
// The ledger's openings of the open accounts, by table.
using Openings = QHash<int, Opening>;

// The opening of an account that starts at `at`, whose register lines are `dateLine` and
// `timeLine`.
Opening openingAt(const Moment &at, const QString &dateLine, const QString &timeLine);

// An account's register start lines, read.
struct StartLines
{
    QString dateLine, timeLine;
    QDate date;                // invalid when unreadable: the moment's own day
    std::optional<QTime> time; // none when unreadable
    static StartLines read(const QString &dateLine, const QString &timeLine, const QDate &today);
};

// The one rule for an open account's elapsed time. While the ledger's opening belongs to the
// register's lines, from its instant (so that a change of zone, daylight saving or locale
// does not count), or, where the wall clock jumped within the same boot, from the time since
// boot. Otherwise (lines edited by hand, written by an older version, no ledger) as the wall
// clock's text reads: from the lines to the moment's local date and time. None when neither
// can be read.
std::optional<qint64> accountElapsedMs(const StartLines &start, const Opening *opening,
                                       const Moment &now);
// Where the wall clock and the time since boot may differ without a jump (a second's drift,
// a sleep not counted by one of them).
constexpr qint64 kClockJumpMs = 60000;

// Now, on both clocks.
Moment momentNow();

// A bill's time the operator confirms before it is paid: negative, or more than three days.
bool unusualElapsed(qint64 elapsedMs);

// Whole minutes of an elapsed time; the seconds are dropped, never rounded up.
constexpr qint64 wholeMinutes(qint64 elapsedMs)
{
    return elapsedMs / 60000;
}

// Minutes × fee div 60 (the product first, in 64 bits), raised to the minimum charge when
// it is on and greater, plus the extras.
Bill bill(qint64 minutes, qint64 fee, const MinimumCharge &minimum, qint64 extrasTotal);
// The same from a time charge already worked out (a sum of segments' charges).
Bill billOfCharge(qint64 minutes, qint64 fee, qint64 timeCharge, const MinimumCharge &minimum,
                  qint64 extrasTotal);

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

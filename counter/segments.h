#pragma once

#include "billing.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// An account's time as halls price it: cut into segments, each at its own fee, at the edges of
// rate bands, at fee changes, pauses and corrections. With none of these, one segment that
// bills exactly as the single-fee rule.
namespace kv::counter {

// A rate band of a table kind: on the business days it names, from `from` to `to` within that
// business day (06:00 to 06:00; a band may cross midnight, not 06:00), at its own hourly fee.
struct RateBand
{
    quint8 days = 0; // bit d - 1 for the business day's weekday d (1 Monday … 7 Sunday)
    QTime from, to;  // `to` of 06:00 is the business day's end
    qint64 fee = 0;
    bool operator==(const RateBand &) const = default;
};

// What prices time: the fee outside every band, and the bands.
struct Tariff
{
    qint64 fee = 0;
    QList<RateBand> bands;
};

// Something that happened to an account's time, at an offset from its start.
struct TimeChange
{
    enum class Kind { Fee, Pause, Resume, Correction };
    Kind kind = Kind::Fee;
    qint64 atMs = 0;
    qint64 fee = 0;     // Fee: the hourly fee from then on, in place of the tariff's
    qint64 minutes = 0; // Correction: minutes added, or taken off when negative
    QString reason;     // Correction
    bool operator==(const TimeChange &) const = default;
};

struct Segment
{
    enum class Kind { Time, Pause, Correction };
    Kind kind = Kind::Time;
    qint64 fromMs = 0, toMs = 0; // from the account's start; a correction has no length
    qint64 minutes = 0;
    qint64 fee = 0; // a pause's is 0
    qint64 charge = 0;
    QString reason;
    bool operator==(const Segment &) const = default;
};

// How an account is priced beyond its register lines and the settings: where none of these is
// set, exactly as the single fee bills it.
struct Pricing
{
    QList<RateBand> bands;                // its table kind's
    std::optional<MinimumCharge> minimum; // its table kind's; none: the settings'
    bool ownFee = false;            // its register fee line bills it in any mode (a kind's table)
    std::optional<qint64> startFee; // the fee it started with, where it changed since
    QList<TimeChange> changes;
    bool plain() const { return bands.isEmpty() && changes.isEmpty(); }
    bool operator==(const Pricing &) const = default;
};

// Whether the last pause of the changes is not yet resumed.
bool pausedBy(const QList<TimeChange> &changes);

// An account's time priced at `fee` (the fee now): its segments from the start's wall-clock
// moment. A clock set back before the start bills no time.
QList<Segment> pricedSegments(const QDateTime &start, qint64 elapsedMs, qint64 fee,
                              const Pricing &pricing);

// "Pzt–Cum 10:00–17:00", "Cum, Cmt 20:00–03:00": a band as the operator reads it.
QString bandText(const RateBand &band);
// Why a kind's bands cannot be saved; empty when they can. Each names a day and runs forward
// within its business day (it may cross midnight, not 06:00); two bands on a common day may
// not overlap (both are named).
QString bandsProblem(const QList<RateBand> &bands);

// The band in force at a wall-clock moment; none outside every band.
const RateBand *bandAt(const QList<RateBand> &bands, const QDateTime &moment);

// The account started at `start` (the wall clock's local time) and ran `elapsedMs`, cut into
// segments. A segment from b to e has floor(e / 1 min) − floor(b / 1 min) minutes, offsets
// counted from the start; its charge is minutes × fee div 60. A correction is priced at the
// fee in force at its place. Changes are taken in the order of their offsets.
QList<Segment> segmentsOf(const QDateTime &start, qint64 elapsedMs, const Tariff &tariff,
                          QList<TimeChange> changes);

// A segment as the bill shows it, from the account's start on the wall clock:
// "18:00–20:00 · 120 dk · 120 TL/saat · 240 TL", "Durduruldu 20:10–20:25",
// "Düzeltme 19:00 · -10 dk · 120 TL/saat · -20 TL (reason)".
QString segmentText(const Segment &segment, const QDateTime &start);
// Whether the segments say more than the single fee's one line.
bool segmentsWorthShowing(const QList<Segment> &segments);
// The rule the segments are billed by, as the bill states it.
QString segmentRuleText();

// The bill of the segments: minutes and charges summed (pauses count no minutes), the minimum
// charge applied once, to the sum. `fee` is the bill's hourly fee as shown.
Bill billOf(const QList<Segment> &segments, qint64 fee, const MinimumCharge &minimum,
            qint64 extrasTotal);

} // namespace kv::counter

#include "segments.h"

#include "floor.h"

#include <QStringList>

#include <algorithm>
#include <limits>

namespace kv::counter {

namespace {
constexpr qint64 kMinuteMs = 60000;
const QTime kDayTurn(6, 0);

// A band's times on the calendar: before 06:00 they belong to the business day's night.
QDateTime bandStart(const QDate &day, const QTime &t)
{
    return QDateTime(t < kDayTurn ? day.addDays(1) : day, t);
}

QDateTime bandEnd(const QDate &day, const QTime &t)
{
    return QDateTime(t <= kDayTurn ? day.addDays(1) : day, t);
}

bool bandOn(const RateBand &band, const QDate &day)
{
    return (band.days >> (day.dayOfWeek() - 1)) & 1;
}

// The first band edge after `moment` and not after `end`; invalid when there is none.
QDateTime nextEdge(const QList<RateBand> &bands, const QDateTime &moment, const QDateTime &end)
{
    QDateTime best;
    if (!moment.isValid() || !end.isValid())
        return best;
    const QDate last = businessDay(end);
    for (QDate day = businessDay(moment); day <= last && !best.isValid(); day = day.addDays(1))
        for (const RateBand &band : bands) {
            if (!bandOn(band, day))
                continue;
            for (const QDateTime &edge : {bandStart(day, band.from), bandEnd(day, band.to)})
                if (edge > moment && edge <= end && (!best.isValid() || edge < best))
                    best = edge;
        }
    return best;
}

// Minutes since the business day's 06:00; a band's end of 06:00 is the day's end.
int dayMinute(const QTime &t, bool end)
{
    const int m = (t.msecsSinceStartOfDay() / kMinuteMs - 6 * 60 + 24 * 60) % (24 * 60);
    return end && m == 0 ? 24 * 60 : m;
}

// The minute an offset falls in: offsets before the start count back from it.
qint64 minuteOf(qint64 ms)
{
    return ms >= 0 ? ms / kMinuteMs : -((-ms + kMinuteMs - 1) / kMinuteMs);
}
} // namespace

QString bandText(const RateBand &band)
{
    static const char *const names[] = {"Pzt", "Sal", "Çar", "Per", "Cum", "Cmt", "Paz"};
    // Runs of three days or more read as a range.
    QStringList days;
    for (int d = 0; d < 7;) {
        if (!((band.days >> d) & 1)) {
            ++d;
            continue;
        }
        int last = d;
        while (last + 1 < 7 && ((band.days >> (last + 1)) & 1))
            ++last;
        if (last - d >= 2) {
            days << QString::fromUtf8(names[d]) + QStringLiteral("–") +
                        QString::fromUtf8(names[last]);
        } else {
            for (int k = d; k <= last; ++k)
                days << QString::fromUtf8(names[k]);
        }
        d = last + 1;
    }
    return QStringLiteral("%1 %2–%3")
        .arg(days.join(QStringLiteral(", ")), band.from.toString(QStringLiteral("HH:mm")),
             band.to.toString(QStringLiteral("HH:mm")));
}

QString bandsProblem(const QList<RateBand> &bands)
{
    for (const RateBand &b : bands) {
        if (!(b.days & 0x7f))
            return QStringLiteral("%1: en az bir gün seçin.").arg(bandText(b));
        if (!b.from.isValid() || !b.to.isValid() ||
            dayMinute(b.from, false) >= dayMinute(b.to, true))
            return QStringLiteral("%1: bir zaman dilimi gece yarısını geçebilir, 06:00'ı geçemez.")
                .arg(bandText(b));
        if (b.fee < 0)
            return QStringLiteral("%1: ücret eksi olamaz.").arg(bandText(b));
    }
    for (qsizetype i = 0; i < bands.size(); ++i)
        for (qsizetype j = i + 1; j < bands.size(); ++j) {
            const RateBand &a = bands.at(i), &b = bands.at(j);
            if ((a.days & b.days) && dayMinute(a.from, false) < dayMinute(b.to, true) &&
                dayMinute(b.from, false) < dayMinute(a.to, true))
                return QStringLiteral("Zaman dilimleri çakışıyor: %1 ve %2")
                    .arg(bandText(a), bandText(b));
        }
    return QString();
}

const RateBand *bandAt(const QList<RateBand> &bands, const QDateTime &moment)
{
    const QDate day = businessDay(moment);
    for (const RateBand &band : bands)
        if (bandOn(band, day) && bandStart(day, band.from) <= moment &&
            moment < bandEnd(day, band.to))
            return &band;
    return nullptr;
}

QList<Segment> segmentsOf(const QDateTime &start, qint64 elapsedMs, const Tariff &tariff,
                          QList<TimeChange> changes)
{
    using Kind = Segment::Kind;
    // A clock set back before the start bills as the single-fee rule does.
    if (elapsedMs < 0) {
        const qint64 minutes = wholeMinutes(elapsedMs);
        return {{Kind::Time, 0, elapsedMs, minutes, tariff.fee, minutes * tariff.fee / 60, {}}};
    }
    // Without a start on the calendar no band can be placed: the kind's fee prices it all.
    const QList<RateBand> bands = start.isValid() ? tariff.bands : QList<RateBand>();
    std::stable_sort(changes.begin(), changes.end(),
                     [](const TimeChange &a, const TimeChange &b) { return a.atMs < b.atMs; });
    const QDateTime end = start.addMSecs(elapsedMs);
    qint64 ownFee = tariff.fee;
    bool feeChanged = false; // a fee chosen for the account stands over the bands
    bool paused = false;
    const auto feeAt = [&](qint64 at) {
        if (feeChanged)
            return ownFee;
        const RateBand *band = bandAt(bands, start.addMSecs(at));
        return band ? band->fee : ownFee;
    };

    QList<Segment> out;
    qint64 at = 0;
    qsizetype next = 0;
    for (;;) {
        for (; next < changes.size() && changes[next].atMs <= at; ++next) {
            const TimeChange &c = changes[next];
            switch (c.kind) {
            case TimeChange::Kind::Fee:
                ownFee = c.fee;
                feeChanged = true;
                break;
            case TimeChange::Kind::Pause:
                paused = true;
                break;
            case TimeChange::Kind::Resume:
                paused = false;
                break;
            case TimeChange::Kind::Correction: {
                const qint64 fee = feeAt(at);
                out.append(
                    {Kind::Correction, at, at, c.minutes, fee, c.minutes * fee / 60, c.reason});
                break;
            }
            }
        }
        if (at >= elapsedMs)
            break;
        qint64 to = elapsedMs;
        if (next < changes.size())
            to = std::min(to, changes[next].atMs);
        // A pause stays one stretch whatever bands it crosses.
        if (!paused && !feeChanged && !bands.isEmpty())
            if (const QDateTime edge = nextEdge(bands, start.addMSecs(at), end); edge.isValid())
                to = std::min(to, start.msecsTo(edge));
        const qint64 minutes = minuteOf(to) - minuteOf(at);
        const qint64 fee = paused ? 0 : feeAt(at);
        out.append(
            {paused ? Kind::Pause : Kind::Time, at, to, minutes, fee, minutes * fee / 60, {}});
        at = to;
    }
    return out;
}

QString segmentText(const Segment &segment, const QDateTime &start)
{
    const auto at = [&](qint64 ms) {
        return start.addMSecs(ms).time().toString(QStringLiteral("HH:mm"));
    };
    const auto lira = [](qint64 amount) { return amountText(amount); };
    switch (segment.kind) {
    case Segment::Kind::Pause:
        return QStringLiteral("Durduruldu %1–%2").arg(at(segment.fromMs), at(segment.toMs));
    case Segment::Kind::Correction: {
        QString text = QStringLiteral("Düzeltme %1").arg(at(segment.fromMs));
        if (segment.minutes != 0)
            text += QStringLiteral(" · %1 dk · %2/saat · %3")
                        .arg(segment.minutes)
                        .arg(lira(segment.fee), lira(segment.charge));
        return segment.reason.isEmpty() ? text : text + QStringLiteral(" (%1)").arg(segment.reason);
    }
    case Segment::Kind::Time:
        break;
    }
    return QStringLiteral("%1–%2 · %3 dk · %4/saat · %5")
        .arg(at(segment.fromMs), at(segment.toMs))
        .arg(segment.minutes)
        .arg(lira(segment.fee), lira(segment.charge));
}

bool segmentsWorthShowing(const QList<Segment> &segments)
{
    return segments.size() > 1 ||
           (segments.size() == 1 && segments.first().kind != Segment::Kind::Time);
}

QString segmentRuleText()
{
    return QStringLiteral("Her dilimin dakikası, açılıştan bitişine ve başına sayılan tam "
                          "dakikaların farkıdır; tutarı dakika × saatlik ücret ÷ 60, küsurat "
                          "atılarak. Süre tutarı dilimlerin toplamıdır; en az ücret bu toplama "
                          "bir kez uygulanır.");
}

bool pausedBy(const QList<TimeChange> &changes)
{
    bool paused = false;
    qint64 last = std::numeric_limits<qint64>::min();
    for (const TimeChange &c : changes)
        if ((c.kind == TimeChange::Kind::Pause || c.kind == TimeChange::Kind::Resume) &&
            c.atMs >= last) {
            last = c.atMs;
            paused = c.kind == TimeChange::Kind::Pause;
        }
    return paused;
}

QList<Segment> pricedSegments(const QDateTime &start, qint64 elapsedMs, qint64 fee,
                              const Pricing &pricing)
{
    return segmentsOf(start, std::max<qint64>(0, elapsedMs),
                      {pricing.startFee.value_or(fee), pricing.bands}, pricing.changes);
}

Bill billOf(const QList<Segment> &segments, qint64 fee, const MinimumCharge &minimum,
            qint64 extrasTotal)
{
    qint64 minutes = 0, charge = 0;
    for (const Segment &s : segments)
        if (s.kind != Segment::Kind::Pause) {
            minutes += s.minutes;
            charge += s.charge;
        }
    return billOfCharge(minutes, fee, charge, minimum, extrasTotal);
}

} // namespace kv::counter

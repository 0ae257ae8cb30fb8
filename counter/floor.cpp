#include "floor.h"

#include "applocale.h"
#include "errors.h"
#include "layout.h"

namespace kv::counter {

std::optional<qint64> extrasTotal(const QStringList &booked)
{
    qint64 total = 0;
    for (qsizetype p = 1; p < booked.size(); p += 2) {
        int price = 0;
        if (!tryStrToInt(booked.at(p), &price))
            return std::nullopt;
        total += price;
    }
    return total;
}

Booked bookedOf(const QStringList &lines)
{
    // A name without its price is an extra too: the table is not empty.
    return {(lines.size() + 1) / 2, extrasTotal(lines)};
}

bool isFreeTable(const RecordList &reg, int table, const Booked &booked)
{
    return reg.value(RegisterLine::date(table)).isEmpty() && booked.count == 0 && booked.total;
}

QString amountText(qint64 amount)
{
    return amount == 0 ? QStringLiteral("0 TL") : formatAmount(amount);
}

QString feeLineOf(const RecordList &reg, const RecordList &settings, int table,
                  const Pricing *pricing)
{
    return (pricing && pricing->ownFee) || isOn(settings.value(SettingsLine::MultipleFees))
               ? reg.value(RegisterLine::fee(table))
               : settings.value(SettingsLine::UnitFee);
}

MinimumCharge minimumOf(const RecordList &settings, const Pricing *pricing)
{
    if (pricing && pricing->minimum)
        return *pricing->minimum;
    if (!isOn(settings.value(SettingsLine::MinimumChargeOn)))
        return {};
    return {true, strToInt(settings.value(SettingsLine::MinimumCharge))};
}

QDateTime accountStart(const StartLines &start, const Opening *opening, const QDateTime &now)
{
    if (opening && opening->dateLine == start.dateLine && opening->timeLine == start.timeLine &&
        opening->utc.isValid())
        return opening->utc.toLocalTime();
    return QDateTime(start.date.isValid() ? start.date : now.date(),
                     start.time.value_or(QTime(0, 0)));
}

QDateTime accountStart(const RecordList &reg, int table, const Openings &openings,
                       const QDateTime &now)
{
    const auto opening = openings.constFind(table);
    return accountStart(StartLines::read(reg.value(RegisterLine::date(table)),
                                         reg.value(RegisterLine::startTime(table)), now.date()),
                        opening == openings.cend() ? nullptr : &*opening, now);
}

std::optional<qint64> accountElapsedMs(const RecordList &reg, int table, const Openings &openings,
                                       const Moment &now)
{
    const auto opening = openings.constFind(table);
    return accountElapsedMs(StartLines::read(reg.value(RegisterLine::date(table)),
                                             reg.value(RegisterLine::startTime(table)),
                                             now.wall.date()),
                            opening == openings.cend() ? nullptr : &*opening, now);
}

Bill accountBill(const RecordList &reg, const RecordList &settings, int table,
                 const QStringList &booked, const Moment &now, const Openings &openings,
                 const Pricing *pricing, QList<Segment> *segments)
{
    qint64 extras = 0;
    for (qsizetype p = 1; p < booked.size(); p += 2)
        extras += strToInt(booked.at(p));
    // A free table bills what was booked to it: no time, no minimum charge.
    if (reg.at(RegisterLine::date(table)).isEmpty())
        return bill(0, 0, {}, extras);
    const std::optional<qint64> elapsed = accountElapsedMs(reg, table, openings, now);
    if (!elapsed)
        strToTime(reg.at(RegisterLine::startTime(table))); // stops with why
    const int fee = strToInt(feeLineOf(reg, settings, table, pricing));
    const MinimumCharge minimum = minimumOf(settings, pricing);
    const QList<Segment> priced =
        pricedSegments(accountStart(reg, table, openings, now.wall), elapsed.value_or(0), fee,
                       pricing ? *pricing : Pricing());
    if (segments)
        *segments = priced;
    return billOf(priced, fee, minimum, extras);
}

void Floor::resize(int tables)
{
    m_rows.resize(tables);
    m_starts.resize(tables);
    m_priced.resize(tables);
    m_inputs.resize(tables);
    m_booked.resize(tables);
}

void Floor::setBooked(int table, const Booked &booked)
{
    if (table >= 0 && table < m_booked.size())
        m_booked[table] = booked;
}

QList<int> Floor::refresh(const RecordList &reg, const RecordList &settings, const Moment &moment,
                          const Openings &openings, const Pricings &pricings)
{
    // The fee rule as "Ücret Hesapla" applies it; unreadable numbers leave rows unbilled.
    const bool multiple = isOn(settings.value(SettingsLine::MultipleFees));
    int unitFee = 0;
    const bool unitFeeRead = tryStrToInt(settings.value(SettingsLine::UnitFee), &unitFee);
    MinimumCharge minimum;
    minimum.on = isOn(settings.value(SettingsLine::MinimumChargeOn));
    int minimumAmount = 0;
    const bool minimumRead =
        !minimum.on || tryStrToInt(settings.value(SettingsLine::MinimumCharge), &minimumAmount);
    minimum.amount = minimumAmount;
    const QDateTime &now = moment.wall;
    const QDate today = now.date();

    QList<int> changed;
    for (int i = 0; i < m_rows.size(); ++i) {
        Inputs in;
        in.booked = m_booked.at(i);
        const QString dateLine = reg.value(RegisterLine::date(i));
        if (!dateLine.isEmpty()) {
            Start &start = m_starts[i];
            const QString timeLine = reg.value(RegisterLine::startTime(i));
            if (!start.parsed || start.lines.dateLine != dateLine ||
                start.lines.timeLine != timeLine) {
                start.parsed = true;
                start.lines = StartLines::read(dateLine, timeLine, today);
            }
            const StartLines &lines = start.lines;
            // An unreadable time counts as late in its day: only its date makes it earlier.
            const QDateTime opened(lines.date, lines.time.value_or(QTime(23, 59, 59)));
            in.state = lines.date.isValid() && openedEarlierDay(opened, now)
                           ? FloorRow::State::OpenEarlierDay
                           : FloorRow::State::Open;
            // The bill's rule: the running time is what F8 would charge now.
            const auto opening = openings.constFind(i);
            const std::optional<qint64> elapsed =
                accountElapsedMs(lines, opening == openings.cend() ? nullptr : &*opening, moment);
            in.timeRead = elapsed.has_value();
            if (elapsed)
                in.minutes = qMax<qint64>(0, wholeMinutes(*elapsed));
            const auto pricing = pricings.constFind(i);
            const Pricing *p = pricing == pricings.cend() ? nullptr : &*pricing;
            in.fee = unitFee;
            in.feeRead = multiple || (p && p->ownFee)
                             ? tryStrToInt(reg.value(RegisterLine::fee(i)), &in.fee)
                             : unitFeeRead;
            in.minimum = p && p->minimum ? *p->minimum : minimum;
            in.minimumRead = (p && p->minimum) || minimumRead;
            if (p && !p->plain() && in.timeRead && in.feeRead) {
                in.paused = pausedBy(p->changes);
                Priced &priced = m_priced[i];
                const QDateTime startedAt =
                    accountStart(lines, opening == openings.cend() ? nullptr : &*opening, now);
                if (priced.minute != in.minutes || priced.fee != in.fee ||
                    priced.start != startedAt || !(priced.pricing == *p)) {
                    const QList<Segment> segments = pricedSegments(startedAt, *elapsed, in.fee, *p);
                    const Bill b = billOf(segments, in.fee, {}, 0);
                    priced = {in.minutes, startedAt, in.fee, *p, b.minutes, b.timeCharge};
                }
                in.minutes = priced.minutes;
                in.timeCharge = priced.charge;
            }
        }
        // The texts are built only when what they show changed: mostly once a minute.
        if (m_inputs.at(i) && *m_inputs.at(i) == in)
            continue;
        m_inputs[i] = in;
        m_rows[i] = rowOf(in);
        changed << i;
    }
    return changed;
}

FloorRow Floor::rowOf(const Inputs &in)
{
    FloorRow row;
    row.state = in.state;
    if (in.state == FloorRow::State::Free) {
        row.description = QStringLiteral("Boş");
        // Extras left on a free table are the next guest's unless the operator says otherwise.
        if (!in.booked.total) {
            row.amount = QStringLiteral("?");
            row.description += QStringLiteral(", extraları okunamıyor");
        } else if (in.booked.count > 0) {
            row.amount = amountText(*in.booked.total);
            row.description +=
                QStringLiteral(", %1 extra, %2").arg(in.booked.count).arg(row.amount);
        }
        return row;
    }
    if (in.timeRead && in.feeRead && in.minimumRead && in.booked.total)
        row.bill = in.timeCharge ? billOfCharge(in.minutes, in.fee, *in.timeCharge, in.minimum,
                                                *in.booked.total)
                                 : bill(in.minutes, in.fee, in.minimum, *in.booked.total);
    row.paused = in.paused;
    row.time = in.timeRead ? hoursAndMinutes(in.minutes) : QStringLiteral("?");
    row.amount = row.bill ? amountText(row.bill->total) : QStringLiteral("?");
    row.description =
        QStringLiteral("%1, %2, %3")
            .arg(in.paused                                     ? QStringLiteral("Durduruldu")
                 : in.state == FloorRow::State::OpenEarlierDay ? QStringLiteral("Açık (önceki gün)")
                                                               : QStringLiteral("Açık"),
                 row.time, row.amount);
    return row;
}

int Floor::openCount() const
{
    return int(std::count_if(m_rows.begin(), m_rows.end(),
                             [](const FloorRow &r) { return r.state != FloorRow::State::Free; }));
}

QString Floor::summary() const
{
    return QStringLiteral("Açık: ") + openTables();
}

QString Floor::openTables() const
{
    qint64 total = 0;
    for (const FloorRow &r : m_rows)
        total += r.bill ? r.bill->total : 0;
    return QStringLiteral("%1 / %2 · %3")
        .arg(openCount())
        .arg(m_rows.size())
        .arg(amountText(total));
}

} // namespace kv::counter

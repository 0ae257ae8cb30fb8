#pragma once

#include "billing.h"
#include "recordlist.h"
#include "segments.h"

#include <QList>
#include <QString>

#include <optional>

// The live floor: every table's state, running time and running bill, from the register and
// the settings in memory. A refresh reads nothing from disk and parses a table's stored start
// only when its lines changed, so its cost stays flat in the number of tables.
namespace kv::counter {

struct FloorRow
{
    enum class State { Free, Open, OpenEarlierDay };
    State state = State::Free;
    std::optional<Bill> bill; // none while a fee, price or start cannot be read
    bool paused = false;      // its clock stopped
    QString time;             // "h:mm"; empty for a free table
    QString amount;           // the running bill as an amount; empty for a free table
    QString description;      // "Boş", "Boş, 1 extra, 60 TL", "Açık, 1:47, 1.853.333 TL", ...

    bool operator==(const FloorRow &) const = default;
};

// The booked extras' total of a table extras file's lines: every price line that exists;
// none when a price is not a whole number.
std::optional<qint64> extrasTotal(const QStringList &booked);

// What is booked to a table: how many extras (name and price pairs) and their total.
struct Booked
{
    qsizetype count = 0;
    std::optional<qint64> total = 0; // none when the file or a price cannot be read
    bool operator==(const Booked &) const = default;
};
Booked bookedOf(const QStringList &lines);

// A table a guest can be seated at, an account moved or reopened to: no account, nothing
// booked.
bool isFreeTable(const RecordList &reg, int table, const Booked &booked);

// An amount as the floor and the bill show it; zero reads "0 TL".
QString amountText(qint64 amount);

// The fee line that bills table i: its stamped fee in multiple-fee mode or where its pricing
// says so, else the unit fee.
QString feeLineOf(const RecordList &reg, const RecordList &settings, int table,
                  const Pricing *pricing = nullptr);
// The minimum charge of table i's account: its pricing's, else the settings'.
MinimumCharge minimumOf(const RecordList &settings, const Pricing *pricing);
// Where table i's account started on the wall clock, for its rate bands; an unreadable date
// counts as `now`'s own day, as its elapsed time does.
QDateTime accountStart(const StartLines &start, const Opening *opening, const QDateTime &now);
// The same for table i's account as the register and the ledger's openings hold it.
QDateTime accountStart(const RecordList &reg, int table, const Openings &openings,
                       const QDateTime &now);
// Each table's pricing beyond the plain rule, by table.
using Pricings = QHash<int, Pricing>;

// Table i's open account's elapsed time at `now`, by the one rule (accountElapsedMs); none
// when its lines cannot be read.
std::optional<qint64> accountElapsedMs(const RecordList &reg, int table, const Openings &openings,
                                       const Moment &now);

// What table i's open account owes at `now`, with the extras booked to it: the bill of that
// moment, and its time's segments where asked; a free table owes its extras alone. Stops with
// the runtime's error where a line cannot be read.
Bill accountBill(const RecordList &reg, const RecordList &settings, int table,
                 const QStringList &booked, const Moment &now, const Openings &openings,
                 const Pricing *pricing = nullptr, QList<Segment> *segments = nullptr);

class Floor
{
public:
    // Sets the number of tables; the extras totals of the tables kept stay.
    void resize(int tables);
    int tableCount() const { return int(m_rows.size()); }

    void setBooked(int table, const Booked &booked);

    // Recomputes every row at `now`; returns the tables whose row changed.
    QList<int> refresh(const RecordList &reg, const RecordList &settings, const Moment &now,
                       const Openings &openings, const Pricings &pricings = {});
    const FloorRow &row(int table) const { return m_rows.at(table); }

    int openCount() const;
    // Open tables out of all, and their running total: "Açık: 5 / 12 · 8.450.000 TL".
    QString summary() const;
    // The same without its caption: "5 / 12 · 8.450.000 TL".
    QString openTables() const;

private:
    struct Start
    {
        bool parsed = false;
        StartLines lines;
    };
    // Everything a row's texts depend on.
    struct Inputs
    {
        FloorRow::State state = FloorRow::State::Free;
        bool timeRead = false;
        qint64 minutes = 0;
        int fee = 0;
        bool feeRead = false;
        MinimumCharge minimum;
        bool minimumRead = false;
        Booked booked;
        std::optional<qint64> timeCharge; // a priced account's: its segments' sum
        bool paused = false;
        bool operator==(const Inputs &) const = default;
    };
    // A priced account's segments, worked out again only when what they depend on changed:
    // with whole minutes counted from the start, at most once a minute.
    struct Priced
    {
        qint64 minute = -1;
        QDateTime start;
        qint64 fee = 0;
        Pricing pricing;
        qint64 minutes = 0, charge = 0;
    };
    static FloorRow rowOf(const Inputs &in);

    QList<FloorRow> m_rows;
    QList<Start> m_starts;
    QList<Priced> m_priced;
    QList<std::optional<Inputs>> m_inputs;
    QList<Booked> m_booked;
};

} // namespace kv::counter

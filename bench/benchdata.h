#pragma once

#include "layout.h"

#include <QDateTime>
#include <QStringList>

// The largest data a real counter holds, for measuring: 80 tables, a 500-extra catalogue,
// a table with 200 booked extras, a fee list of 100 fees and a ledger of 100,000 bills.
namespace benchdata {

constexpr int kTables = 80;
constexpr int kCatalogueExtras = 500;
constexpr int kBookedExtras = 200;
constexpr int kFees = 100;
constexpr int kLedgerBills = 100000;
constexpr int kBillsPerDay = 300;

// Settings for `Masa` tables; with multipleFees the fee list decides each table's fee.
QStringList settings(bool multipleFees);
// The register of kTables tables of which the first `open` have an account opened on the
// given day, a few minutes apart before `latest`.
QStringList tableRegister(int open, const QDateTime &latest);
// Name and price pairs; names are Turkish, so the Windows-1254 text form is exercised.
QStringList catalogue(int extras = kCatalogueExtras);
QStringList bookedExtras(int extras = kBookedExtras);
QStringList fees(int count = kFees);

struct Options
{
    int openTables = kTables;
    bool multipleFees = false;
    QDateTime latest = QDateTime(QDate(2026, 12, 7), QTime(21, 0, 0));
    int ledgerBills = 0; // none: no ledger file, the program makes an empty one
    // Every table of a kind with two rate bands; every open account paused once and
    // corrected once.
    bool priced = false;
};

// Writes every record file below the data directory, the booked extras of the first
// table ("Masa 1") and, when asked, the ledger.
void write(const kv::Paths &paths, const Options &options);

// A ledger as the program makes it, holding `bills` settled bills, kBillsPerDay to a
// business day, the last day the one before `lastDay` (so `lastDay` itself starts empty);
// each bill has up to four extras and a finished journal step, as a real settle leaves.
// Made once per process and copied: false when it could not be made.
bool writeLedger(const QString &path, int bills, const QDate &lastDay);
// The business day holding the most recent kBillsPerDay bills of such a ledger.
inline QDate fullLedgerDay(const QDate &lastDay)
{
    return lastDay.addDays(-1);
}

} // namespace benchdata

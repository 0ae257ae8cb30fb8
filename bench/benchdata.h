#pragma once

#include "layout.h"

#include <QDateTime>
#include <QStringList>

// The largest data a real counter holds, for measuring: 80 tables, a 500-extra catalogue,
// a table with 200 booked extras and a fee list of 100 fees.
namespace benchdata {

constexpr int kTables = 80;
constexpr int kCatalogueExtras = 500;
constexpr int kBookedExtras = 200;
constexpr int kFees = 100;

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
};

// Writes every record file below the data directory, and the booked extras of the first
// table ("Masa 1").
void write(const kv::Paths &paths, const Options &options);

} // namespace benchdata

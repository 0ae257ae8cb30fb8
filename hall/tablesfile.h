#pragma once

#include "segments.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The hall's own table names, table kinds and their rate bands, kept in a record file of their
// own beside the others (Windows-1254, CR LF), so that the floor has them while the ledger
// cannot be read. The register keeps the table count and the accounts by position; a table
// past the file's list is named from the prefix, as before.
namespace kv::hall {

// A kind of table (Bilardo, PlayStation, Okey …): its hourly fee, minimum charge and bands.
struct TableKind
{
    QString name;
    qint64 fee = 0;
    std::optional<qint64> minimum; // none: no minimum charge
    QList<counter::RateBand> bands;
    bool operator==(const TableKind &) const = default;
};

struct TableSetup
{
    QString name;
    int kind = -1; // an index into the kinds; -1: the settings' fee and minimum
    bool operator==(const TableSetup &) const = default;
};

struct TablesLayout
{
    QList<TableKind> kinds;
    QList<TableSetup> tables;
    bool operator==(const TablesLayout &) const = default;
};

// The file's lines: a header, the kinds with their bands, then each table's name and kind
// (its number from 1; empty for none).
QStringList tablesLines(const TablesLayout &layout);
// The layout the lines hold; throws the operator's message, naming the line, when they cannot
// be read: a hand-edited file is never half taken.
TablesLayout readTables(const QStringList &lines);
// Why the layout cannot be saved; empty when it can: names by the table name rule and
// unique ignoring case, kinds named and unique, fees not negative, bands by their rules.
QString tablesProblem(const TablesLayout &layout);

// An open account's pauses, fee changes and corrections, with the register lines of the account
// they belong to (a later account at the table never takes them) and the fee it started with.
struct AccountTimes
{
    int table = -1;
    QString dateLine, timeLine;
    qint64 startFee = 0;
    QList<counter::TimeChange> changes;
    bool operator==(const AccountTimes &) const = default;
};

QStringList timesLines(const QList<AccountTimes> &accounts);
// Throws the operator's message, naming the line, when the lines cannot be read.
QList<AccountTimes> readTimes(const QStringList &lines);

} // namespace kv::hall

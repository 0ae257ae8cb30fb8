#pragma once

#include <QString>
#include <QStringList>

namespace kv {

// Where the record files lie below the data directory.
class Paths
{
public:
    explicit Paths(QString root) : m_root(std::move(root)) {}

    const QString &dataDir() const { return m_root; }
    QString extrasDir() const { return m_root + QStringLiteral("/Masa Extraları"); }
    QString settingsFile() const { return m_root + QStringLiteral("/Zorbelayar.dll"); }
    QString registerFile() const { return m_root + QStringLiteral("/Zorbelayarms.dll"); }
    QString catalogueFile() const { return m_root + QStringLiteral("/Zorbelayarex.dll"); }
    QString feeListFile() const { return m_root + QStringLiteral("/Zorbelçokluücret.dll"); }
    // Own table names, table kinds and their rate bands (hall::TablesLayout).
    QString tablesFile() const { return m_root + QStringLiteral("/Zorbelayarmasalar.dll"); }
    // Open accounts' pauses, fee changes and corrections (hall::AccountTimes).
    QString timesFile() const { return m_root + QStringLiteral("/Zorbelayarsüre.dll"); }
    // Where and how the hall prints (print::PrinterSetup).
    QString printerFile() const { return m_root + QStringLiteral("/Zorbelayaryazıcı.dll"); }
    // The day ledger of settled bills (SQLite).
    QString ledgerFile() const { return m_root + QStringLiteral("/Defter.db"); }
    // The ledger's id, kept beside it (Ledger::idFile of ledgerFile()).
    QString ledgerIdFile() const { return m_root + QStringLiteral("/Defter.id"); }
    // A line per closing with the event chain's head (Ledger::anchorsFile).
    QString ledgerAnchorsFile() const { return m_root + QStringLiteral("/Defter.zincir"); }
    // Events waiting while the ledger cannot be written (Ledger::waitingEventsFile).
    QString ledgerWaitingEventsFile() const { return m_root + QStringLiteral("/Defter.bekleyen"); }
    QString tableExtrasFile(const QString &tableName) const
    {
        return extrasDir() + QLatin1Char('/') + tableName + QStringLiteral(".msex");
    }

private:
    QString m_root;
};

// Lines of the settings file.
namespace SettingsLine {
constexpr int UnitFee = 0;
constexpr int EndTimeFollowsClock = 1;
constexpr int TablePrefix = 3;
constexpr int MinimumCharge = 4;
constexpr int MinimumChargeOn = 5;
constexpr int MultipleFees = 6;
} // namespace SettingsLine

// Lines of the table register: line 0 is the table count, table i owns 3i+1..3i+3.
namespace RegisterLine {
constexpr int TableCount = 0;
constexpr int date(int table)
{
    return 3 * table + 1;
}
constexpr int startTime(int table)
{
    return 3 * table + 2;
}
constexpr int fee(int table)
{
    return 3 * table + 3;
}
} // namespace RegisterLine

// Pair lists (catalogue, table extras): name at 2k, price at 2k+1.
namespace PairLine {
constexpr int name(int k)
{
    return 2 * k;
}
constexpr int price(int k)
{
    return 2 * k + 1;
}
} // namespace PairLine

constexpr int kMaxTables = 80;
// Table k's name (from 1): the prefix, a blank and the number.
inline QString tableName(const QString &prefix, int k)
{
    return prefix + QLatin1Char(' ') + QString::number(k);
}
constexpr int kRegisterLength = 559;

// A flag line is on exactly when it holds "T".
inline bool isOn(const QString &flagLine)
{
    return flagLine == QLatin1String("T");
}
inline QString flagText(bool on)
{
    return on ? QStringLiteral("T") : QStringLiteral("F");
}

// Default contents written on first start.
QStringList defaultSettings();
QStringList defaultRegister();

} // namespace kv

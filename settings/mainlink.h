#pragma once

#include "layout.h"
#include "recordlist.h"

#include "applocale.h"

class QListWidget;

namespace kv {
// The main window's unit-fee caption in single-fee and in multiple-fee mode.
inline QString unitFeeCaption(qint64 fee)
{
    return QStringLiteral("Birim Ücret   :  ") + formatAmount(fee);
}
inline QString multipleFeesCaption()
{
    return QStringLiteral("Birim Ücret   :Çoklu Ücretlendirme!");
}
} // namespace kv

// What the settings window reads and changes on the main window: its in-memory record
// lists and the few controls that follow the settings.
class TMainLink
{
public:
    virtual ~TMainLink() = default;

    virtual const kv::Paths &paths() const = 0;
    virtual kv::RecordList &settingsList() = 0;  // the settings file in memory
    virtual kv::RecordList &registerList() = 0;  // the table register in memory
    virtual kv::RecordList &catalogueList() = 0; // the extras catalogue in memory

    // The main window's end-time field `bitis` (kept until the field is made).
    virtual void setEndTimeEnabled(bool enabled) = 0;
    // The unit-fee caption `Label6`.
    virtual void setUnitFeeCaption(const QString &caption) = 0;
    // The table list `ListBox2`.
    virtual QListWidget *tableList() = 0;
    // Clears the table view: extras lists to the placeholder, date "-", start "00:00:00",
    // raw fee "0", fee label "0 TL".
    virtual void resetTableView() = 0;
    // Loads the extras catalogue again from its file (when the settings window closes).
    virtual void reloadCatalogue() = 0;
    // Shows the selected table's fee again after the fee settings changed, so that what
    // is shown is what "Ücret Hesapla" bills.
    virtual void refreshSelectedFee() = 0;
    // The tables were created anew or their accounts cleared: the floor reads them again.
    virtual void tablesChanged() = 0;

    // What these drop reaches the day ledger as cancelled bills in the same step; each says
    // why and returns false when the ledger cannot take it (nothing changed then), and stops
    // with the error of a failed change.
    // Every table's account emptied: the register's lines after the table count.
    virtual bool clearAccounts() = 0;
    // Whether the ledger can take what removing these files of the table extras directory
    // drops; false after saying why.
    virtual bool extrasRemovable(const QStringList &files) = 0;
    // Those files removed.
    virtual bool removeExtrasFiles(const QStringList &files) = 0;
};

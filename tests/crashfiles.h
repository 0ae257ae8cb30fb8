#pragma once

#include "layout.h"
#include "recordlist.h"

#include <QList>

// The two versions of every record file that the crash child saves in turn: they differ in
// length and content, hold Turkish letters, none is empty, and one spans several pages so that a
// write can be cut short.
struct CrashFile
{
    QString path;
    QByteArray a, b;
};

inline QList<CrashFile> crashFiles(const kv::Paths &paths)
{
    auto bytes = [](const QStringList &lines) { return kv::RecordList::toBytes(lines); };
    QStringList settingsA = kv::defaultSettings();
    QStringList settingsB = settingsA;
    settingsB[kv::SettingsLine::UnitFee] = QStringLiteral("2500000");
    settingsB[kv::SettingsLine::TablePrefix] = QStringLiteral("Bilardo Çığ");
    settingsB[kv::SettingsLine::MultipleFees] = QStringLiteral("T");

    QStringList registerA = kv::defaultRegister();
    registerA[0] = QStringLiteral("3");
    QStringList registerB = registerA;
    for (int t = 0; t < 3; ++t) {
        registerB[kv::RegisterLine::date(t)] = QStringLiteral("07.12.2026");
        registerB[kv::RegisterLine::startTime(t)] = QStringLiteral("21:1%1:03").arg(t);
        registerB[kv::RegisterLine::fee(t)] = QStringLiteral("1000000");
    }

    QStringList catalogueB;
    for (int k = 0; k < 600; ++k)
        catalogueB << QStringLiteral("Şiş Köfte Dağ Çayı %1").arg(k) << QString::number(750 + k);

    return {
        {paths.settingsFile(), bytes(settingsA), bytes(settingsB)},
        {paths.registerFile(), bytes(registerA), bytes(registerB)},
        {paths.catalogueFile(), bytes({"Çay", "15"}), bytes(catalogueB)},
        {paths.feeListFile(), bytes({"1000000", "1500000", "2000000"}), bytes({"750000"})},
        {paths.tableExtrasFile(QStringLiteral("Masa 1")), bytes({"Ayran", "5", "Gözleme", "40"}),
         bytes({"Şıra", "12"})},
    };
}

#include "benchdata.h"

#include "recordlist.h"

#include <QDir>

namespace benchdata {

QStringList settings(bool multipleFees)
{
    QStringList s = kv::defaultSettings();
    s[kv::SettingsLine::UnitFee] = QStringLiteral("1000000");
    s[kv::SettingsLine::EndTimeFollowsClock] = QStringLiteral("T");
    s[kv::SettingsLine::TablePrefix] = QStringLiteral("Masa");
    s[kv::SettingsLine::MinimumCharge] = QStringLiteral("250000");
    s[kv::SettingsLine::MinimumChargeOn] = QStringLiteral("T");
    s[kv::SettingsLine::MultipleFees] = kv::flagText(multipleFees);
    return s;
}

QStringList tableRegister(int open, const QDateTime &latest)
{
    QStringList r = kv::defaultRegister();
    r[kv::RegisterLine::TableCount] = QString::number(kTables);
    const QStringList feeList = fees();
    for (int i = 0; i < open && i < kTables; ++i) {
        const QDateTime opened = latest.addSecs(-60 * 3 * i - 17 * i);
        r[kv::RegisterLine::date(i)] = opened.date().toString(QStringLiteral("d.MM.yyyy"));
        r[kv::RegisterLine::startTime(i)] = opened.time().toString(QStringLiteral("HH:mm:ss"));
        r[kv::RegisterLine::fee(i)] = feeList.at(i % feeList.size());
    }
    return r;
}

QStringList catalogue(int extras)
{
    static const char16_t *const names[] = {
        u"Çay",          u"Türk Kahvesi", u"Ayran", u"Gazoz",    u"Şalgam",   u"Meyve Suyu",
        u"Kaşarlı Tost", u"Su",           u"Soda",  u"Çikolata", u"Dondurma", u"Sıcak Çikolata"};
    constexpr int kinds = int(sizeof(names) / sizeof(names[0]));
    QStringList lines;
    for (int k = 0; k < extras; ++k) {
        lines << QString::fromUtf16(names[k % kinds]) + QLatin1Char(' ') +
                     QString::number(k / kinds + 1);
        lines << QString::number(5000 + (k * 7919) % 400 * 2500);
    }
    return lines;
}

QStringList bookedExtras(int extras)
{
    const QStringList all = catalogue();
    QStringList lines;
    for (int k = 0; k < extras; ++k) {
        const int pick = (k * 37) % kCatalogueExtras;
        lines << all.at(kv::PairLine::name(pick)) << all.at(kv::PairLine::price(pick));
    }
    return lines;
}

QStringList fees(int count)
{
    QStringList lines;
    for (int k = 0; k < count; ++k)
        lines << QString::number(500000 + k * 10000);
    return lines;
}

void write(const kv::Paths &paths, const Options &options)
{
    QDir().mkpath(paths.extrasDir());
    kv::RecordList(settings(options.multipleFees)).save(paths.settingsFile());
    kv::RecordList(tableRegister(options.openTables, options.latest)).save(paths.registerFile());
    kv::RecordList(catalogue()).save(paths.catalogueFile());
    kv::RecordList(fees()).save(paths.feeListFile());
    kv::RecordList(bookedExtras()).save(paths.tableExtrasFile(QStringLiteral("Masa 1")));
}

} // namespace benchdata

#include "benchdata.h"

#include "ledger.h"
#include "recordlist.h"
#include "tablesfile.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <cstdio>
#include <map>

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
    if (options.priced) {
        using kv::counter::RateBand;
        kv::hall::TablesLayout layout;
        layout.kinds << kv::hall::TableKind{QStringLiteral("Bilardo"),
                                            150,
                                            60,
                                            {RateBand{0x7f, QTime(10, 0), QTime(17, 0), 100},
                                             RateBand{0x7f, QTime(20, 0), QTime(3, 0), 200}}};
        const QStringList reg = tableRegister(options.openTables, options.latest);
        QList<kv::hall::AccountTimes> times;
        for (int i = 0; i < kTables; ++i) {
            layout.tables << kv::hall::TableSetup{QStringLiteral("Masa %1").arg(i + 1), 0};
            if (i >= options.openTables)
                continue;
            using Kind = kv::counter::TimeChange::Kind;
            times << kv::hall::AccountTimes{
                i,
                reg.at(kv::RegisterLine::date(i)),
                reg.at(kv::RegisterLine::startTime(i)),
                150,
                {{Kind::Pause, 60000, 0, 0, {}},
                 {Kind::Resume, 120000, 0, 0, {}},
                 {Kind::Correction, 180000, 0, -1, QStringLiteral("x")}}};
        }
        kv::RecordList(kv::hall::tablesLines(layout)).save(paths.tablesFile());
        kv::RecordList(kv::hall::timesLines(times)).save(paths.timesFile());
    }
    if (options.ledgerBills > 0 &&
        !writeLedger(paths.ledgerFile(), options.ledgerBills, options.latest.date()))
        std::fprintf(stderr, "benchdata: cannot make the ledger %s\n",
                     qPrintable(paths.ledgerFile()));
}

namespace {

// Fills a ledger the program made, with SQL alone: a million rows through bound statements
// would take longer than what is measured on them.
bool fillLedger(const QString &path, int bills, const QDate &lastDay)
{
    const QString connection = QStringLiteral("benchdata-ledger");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (!db.open())
            return false;
        QSqlQuery q(db);
        // Making test data: no sync needed until the end.
        q.exec(QStringLiteral("PRAGMA synchronous = OFF"));
        ok = db.transaction();
        // r counts back from the most recent bill: its business day is r / kBillsPerDay days
        // before the full day, its place in the day the rest, 280 s apart from 06:01.
        const QString base =
            kv::ledger::isoText(kv::ledger::businessDayStart(fullLedgerDay(lastDay)));
        QString bills_ = QStringLiteral(
            "WITH RECURSIVE n(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM n WHERE k + 1 < %1),"
            " b AS (SELECT k, %1 - 1 - k AS r, k %% 5 AS c, 30 + (k * 37) %% 240 AS minutes,"
            "   500000 + (k %% 100) * 10000 AS fee FROM n),"
            " t AS (SELECT *, strftime('%Y-%m-%dT%H:%M:%S', '%2', '-' || (r / %3) || ' days',"
            "   '+' || (60 + (%3 - 1 - r %% %3) * 280) || ' seconds') AS closed FROM b),"
            " o AS (SELECT *, datetime(closed, '-' || minutes || ' minutes') AS opened,"
            "   minutes * fee / 60 AS charge, 15000 * c + 2500 * c * (c - 1) AS extras FROM t)"
            " INSERT INTO bills(id, table_pos, table_name, opened_date, opened_time, fee,"
            "   closed_at, minutes, time_charge, minimum_applied, extras_total, total, fee_line,"
            "   extras_file)"
            " SELECT k + 1, k %% 80, 'Masa ' || (k %% 80 + 1),"
            "   CAST(strftime('%d', opened) AS INTEGER) || strftime('.%m.%Y', opened),"
            "   strftime('%H:%M:%S', opened), fee, closed, minutes, charge, 0, extras,"
            "   charge + extras, CAST(fee AS TEXT),"
            "   CASE c WHEN 0 THEN NULL WHEN 1 THEN :x1 WHEN 2 THEN :x2 WHEN 3 THEN :x3"
            "   ELSE :x4 END FROM o");
        bills_.replace(QStringLiteral("%%"), QStringLiteral("%"));
        bills_ = bills_.arg(bills).arg(base).arg(kBillsPerDay);
        ok = ok && q.prepare(bills_);
        for (int c = 1; c <= 4; ++c) {
            QStringList lines;
            for (int pos = 0; pos < c; ++pos)
                lines << QStringLiteral("Çay %1").arg(pos) << QString::number(15000 + pos * 5000);
            q.bindValue(QStringLiteral(":x%1").arg(c), kv::RecordList::toBytes(lines));
        }
        ok = ok && q.exec();
        ok =
            ok && q.exec(QStringLiteral("WITH p(pos) AS (VALUES (0), (1), (2), (3))"
                                        " INSERT INTO bill_extras(bill_id, pos, name, price)"
                                        " SELECT b.id, p.pos, 'Çay ' || p.pos, 15000 + p.pos * 5000"
                                        " FROM bills b JOIN p ON p.pos < (b.id - 1) % 5"));
        ok = ok && q.exec(QStringLiteral(
                       "INSERT INTO journal(kind, created_at, done, bill_id, table_pos, table_name,"
                       " target_pos, target_name, register_lines, extras_file)"
                       " SELECT 'settle', closed_at, 1, id, table_pos, table_name, -1, '', '',"
                       " extras_file FROM bills"));
        if (!ok)
            std::fprintf(stderr, "benchdata: %s\n", qPrintable(q.lastError().text()));
        ok = ok && db.commit();
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

} // namespace

bool writeLedger(const QString &path, int bills, const QDate &lastDay)
{
    // Made once per process for each size and day, then copied: a copy costs milliseconds.
    static QTemporaryDir cache;
    static std::map<std::pair<int, qint64>, QString> made;
    const auto key = std::make_pair(bills, lastDay.toJulianDay());
    auto it = made.find(key);
    if (it == made.end()) {
        const QString file =
            cache.filePath(QStringLiteral("ledger-%1-%2.db").arg(bills).arg(key.second));
        {
            kv::ledger::Ledger ledger; // the program's own schema
            if (!cache.isValid() || !ledger.open(file))
                return false;
        }
        if (!fillLedger(file, bills, lastDay))
            return false;
        it = made.emplace(key, file).first;
    }
    QFile::remove(path);
    return QFile::copy(it->second, path);
}

} // namespace benchdata

// The hall's rules and verbs, without a window.
#include "testsupport.h"

#include "applocale.h"
#include "clock.h"
#include "eventrows.h"
#include "events.h"
#include "hall.h"
#include "tablesfile.h"

#include <QDir>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

using namespace kv;

namespace {

struct HallFixture
{
    TestEnvironment env;
    Paths paths{env.dataDir()};
    hall::Hall hall{paths};

    HallFixture(int tables, const QMap<int, QString> &settings = {},
                const QMap<int, QString> &reg = {})
    {
        QDir().mkpath(paths.extrasDir());
        QStringList s = defaultSettings();
        for (auto it = settings.begin(); it != settings.end(); ++it)
            s[it.key()] = it.value();
        QStringList r = defaultRegister();
        r[0] = QString::number(tables);
        for (auto it = reg.begin(); it != reg.end(); ++it)
            r[it.key()] = it.value();
        RecordList(s).save(paths.settingsFile());
        RecordList(r).save(paths.registerFile());
        RecordList({"Su", "15", "Tost", "40"}).save(paths.catalogueFile());
        env.setNow("2026-12-07T21:30:20");
    }
    void load()
    {
        hall.loadSettings();
        hall.loadRegister();
        hall.loadCatalogue();
        hall.loadExtras();
    }
    void book(int table, const QByteArray &bytes)
    {
        TestEnvironment::writeBytes(paths.tableExtrasFile(QStringLiteral("Masa %1").arg(table + 1)),
                                    bytes);
    }
};

// The fee a kind's table opens with, as the counter stamps it.
QString head(const hall::TableKind *kind)
{
    return kind ? QString::number(kind->fee) : QStringLiteral("120");
}

QMap<int, QString> openAt(int table, const QString &date, const QString &time, const QString &fee)
{
    return {{RegisterLine::date(table), date},
            {RegisterLine::startTime(table), time},
            {RegisterLine::fee(table), fee}};
}

} // namespace

class TestHall : public QObject
{
    Q_OBJECT

private slots:
    void oneBillForEveryView_data();
    void oneBillForEveryView();
    void freeTables_data();
    void freeTables();
    void verbsWriteWhatTheFilesHeld_data();
    void verbsWriteWhatTheFilesHeld();
    void failedVerbChangesNothing();
    void anEveningIsRecorded();
    void cashiersAndApprovals();
    void timeAsHallsPriceIt_data();
    void timeAsHallsPriceIt();
    void tablesFile_data();
    void tablesFile();
    void addingAndRemovingOneTable();
    void editingOneTable_data();
    void editingOneTable();
    void takingTheMoney_data();
    void takingTheMoney();
    void tabsAndShifts_data();
    void tabsAndShifts();
    void printerSetup_data();
    void printerSetup();
};

// The fee calculation, the floor and settling bill an account by the one rule.
void TestHall::oneBillForEveryView_data()
{
    QTest::addColumn<QString>("fee");
    QTest::addColumn<QString>("minimum"); // "": off
    QTest::addColumn<QByteArray>("extras");
    QTest::addColumn<qint64>("total");
    QTest::newRow("90 minutes at 100") << "100"
                                       << "" << QByteArray() << qint64(150);
    QTest::newRow("with extras") << "100"
                                 << "" << QByteArray("Su\r\n15\r\n") << qint64(165);
    QTest::newRow("minimum charge") << "10"
                                    << "500" << QByteArray() << qint64(500);
    QTest::newRow("large fee") << "1000000000"
                               << "" << QByteArray() << qint64(1500000000);
}

void TestHall::oneBillForEveryView()
{
    QFETCH(QString, fee);
    QFETCH(QString, minimum);
    QFETCH(QByteArray, extras);
    QFETCH(qint64, total);
    QMap<int, QString> settings{{SettingsLine::UnitFee, fee}};
    if (!minimum.isEmpty())
        settings.insert(
            {{SettingsLine::MinimumChargeOn, "T"}, {SettingsLine::MinimumCharge, minimum}});
    HallFixture f(2, settings, openAt(1, "7.12.2026", "20:00:00", fee));
    f.book(1, extras);
    f.load();
    const counter::Moment now = counter::momentNow();
    const std::optional<qint64> elapsed = f.hall.accountElapsedMs(1, now);
    QVERIFY(elapsed);
    const hall::Calculation shown = f.hall.calculate(1, *elapsed);
    f.hall.refreshFloor(now);
    const std::optional<counter::Bill> floor = f.hall.floor().row(1).bill;
    const counter::Bill settled = f.hall.accountRecord(1, now).bill;
    QCOMPARE(shown.minutes, 90);
    QCOMPARE(shown.bill.total, total);
    QVERIFY(floor);
    QCOMPARE(*floor, shown.bill);
    QCOMPARE(settled, shown.bill);
}

void TestHall::freeTables_data()
{
    QTest::addColumn<bool>("account");
    QTest::addColumn<QByteArray>("extras"); // "-": no file
    QTest::addColumn<bool>("free");
    QTest::newRow("nothing") << false << QByteArray("-") << true;
    QTest::newRow("empty extras file") << false << QByteArray() << true;
    QTest::newRow("extras left on it") << false << QByteArray("Su\r\n15\r\n") << false;
    QTest::newRow("a name without its price") << false << QByteArray("Su\r\n") << false;
    QTest::newRow("an account") << true << QByteArray("-") << false;
}

void TestHall::freeTables()
{
    QFETCH(bool, account);
    QFETCH(QByteArray, extras);
    QFETCH(bool, free);
    HallFixture f(3, {},
                  account ? openAt(1, "7.12.2026", "20:00:00", "100") : QMap<int, QString>());
    if (extras != "-")
        f.book(1, extras);
    f.load();
    QCOMPARE(f.hall.isFree(1), free);
    QList<std::pair<int, QString>> expected{{0, "Masa 1"}};
    if (free)
        expected.append({1, "Masa 2"});
    expected.append({2, "Masa 3"});
    QCOMPARE(f.hall.freeTables(-1), expected);
}

// Each verb writes the record file as the counter always wrote it.
void TestHall::verbsWriteWhatTheFilesHeld_data()
{
    QTest::addColumn<QString>("verb");
    QTest::addColumn<QString>("file"); // "register" or the table's extras
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("open")
        << "open"
        << "register"
        << QByteArray("2\r\n7.12.2026\r\n20:00:00\r\n100\r\n7.12.2026\r\n21:30:20\r\n250\r\n");
    QTest::newRow("fee") << "fee"
                         << "register" << QByteArray("2\r\n7.12.2026\r\n20:00:00\r\n300\r\n");
    QTest::newRow("book") << "book"
                          << "extras" << QByteArray("Su\r\n15\r\nTost\r\n40\r\n");
    QTest::newRow("remove") << "remove"
                            << "extras" << QByteArray("Tost\r\n40\r\n");
    QTest::newRow("clear") << "clear"
                           << "extras" << QByteArray();
}

void TestHall::verbsWriteWhatTheFilesHeld()
{
    QFETCH(QString, verb);
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    HallFixture f(2, {}, openAt(0, "7.12.2026", "20:00:00", "100"));
    f.book(0, "Su\r\n15\r\n");
    f.load();
    QSignalSpy changed(&f.hall, &hall::Hall::tableChanged);
    const int table = verb == "open" ? 1 : 0;
    if (verb == "open")
        f.hall.openAccount(1, "250", counter::momentNow());
    else if (verb == "fee")
        f.hall.changeFee(0, "300", counter::momentNow());
    else if (verb == "book")
        QVERIFY(f.hall.book(0, 1));
    else if (verb == "remove") {
        QVERIFY(f.hall.book(0, 1));
        f.hall.removeExtra(0, 0);
    } else
        f.hall.clearExtras(0);
    const QString path =
        file == "register" ? f.paths.registerFile() : f.paths.tableExtrasFile(f.hall.tableName(0));
    QVERIFY(TestEnvironment::readBytes(path).startsWith(bytes));
    QVERIFY(!changed.isEmpty());
    QCOMPARE(changed.first().first().toInt(), table);
    // What the hall holds is what the file holds.
    if (file == "extras")
        QCOMPARE(RecordList::toBytes(f.hall.booked(0).lines()), TestEnvironment::readBytes(path));
}

// A verb whose file cannot be written throws and leaves the hall as the files are.
void TestHall::failedVerbChangesNothing()
{
    HallFixture f(2);
    f.load();
    const QString path = f.paths.tableExtrasFile("Masa 1");
    QVERIFY(QDir().mkpath(path)); // a directory where the file would go
    QVERIFY_THROWS_EXCEPTION(RuntimeError, f.hall.book(0, 0));
    QVERIFY(!f.hall.bookedKnown(0) || f.hall.booked(0).isEmpty());
    QCOMPARE(f.hall.floor().row(0).bill, std::optional<counter::Bill>());
}

// Every change is an event with its kind, table, amount and operator, and the chain holds.
void TestHall::anEveningIsRecorded()
{
    HallFixture f(3, {{SettingsLine::UnitFee, "120"}});
    f.load();
    QVERIFY(f.hall.ledger().open(f.paths.ledgerFile(), ledger::Ledger::Check::Now));
    f.hall.setOperator("Ayşe");
    const auto at = [&](const QString &time) {
        f.env.setNow("2026-12-07T" + time);
        return counter::momentNow();
    };
    f.hall.openAccount(0, "120", at("20:00:00"));
    QVERIFY(f.hall.book(0, 0));
    QVERIFY(f.hall.book(0, 1));
    f.hall.removeExtra(0, 1);
    f.hall.openAccount(1, "120", at("20:10:00"));
    f.hall.move(1, 2);
    f.hall.restartAccount(2, "120", at("21:10:00"));
    f.hall.settle(f.hall.accountRecord(0, at("21:30:00")));
    f.hall.cancel(f.hall.ledger().billCount(), "yanlış masa", at("21:31:00").wall, std::nullopt,
                  std::nullopt);
    f.hall.setOperator(QString());
    f.hall.createTables("4", "Masa");

    QSqlQuery q(QSqlDatabase::database(f.hall.ledger().connectionName()));
    QVERIFY(q.exec("SELECT kind, table_name, amount, operator FROM events ORDER BY id"));
    QStringList rows;
    while (q.next())
        rows << QStringList{q.value(0).toString(), q.value(1).toString(),
                            q.value(2).isNull() ? "NULL" : q.value(2).toString(),
                            q.value(3).toString()}
                    .join(' ');
    QCOMPARE(rows,
             (QStringList{"open Masa 1 NULL Ayşe", "book Masa 1 15 Ayşe", "book Masa 1 40 Ayşe",
                          "remove Masa 1 -40 Ayşe", "open Masa 2 NULL Ayşe",
                          "move Masa 2 NULL Ayşe", "restart Masa 3 -120 Ayşe",
                          "settle Masa 1 195 Ayşe", "cancel Masa 1 -195 Ayşe", "tables  0 -"}));
    const ledger::ChainCheck check = ledger::verifyChain(f.paths.ledgerFile());
    QVERIFY2(check.ok, qPrintable(check.text));
    QCOMPARE(check.text, QStringLiteral("Defter sağlam: 10 kayıt"));
}

// Each event names who was at the counter and, where one approved it, the Yönetici; taking back
// an extra is a slip only within five minutes of booking it.
void TestHall::cashiersAndApprovals()
{
    HallFixture f(2);
    f.load();
    QVERIFY(f.hall.ledger().open(f.paths.ledgerFile(), ledger::Ledger::Check::Now));
    ledger::Cashiers &cashiers = f.hall.cashiers();
    cashiers.add("Ayşe", "9999", ledger::Cashiers::kManager);
    cashiers.add("Ali", "1234", ledger::Cashiers::kCashier);
    QVERIFY(cashiers.login("1234"));
    f.hall.setOperator("Ali");
    QVERIFY(f.hall.book(0, 0));
    constexpr qint64 kFive = 5 * 60 * 1000;
    QVERIFY(f.hall.bookedWithin(0, 0, kFive));
    QVERIFY(!f.hall.bookedWithin(1, 0, kFive));
    f.env.setNow("2026-12-07T21:35:21");
    QVERIFY(!f.hall.bookedWithin(0, 0, kFive));
    {
        const hall::Approval outer(f.hall, "Ayşe");
        {
            const hall::Approval same(f.hall, f.hall.approver());
            const hall::Approval inner(f.hall, "Mehmet");
            QCOMPARE(f.hall.approver(), QStringLiteral("Mehmet"));
        }
        QCOMPARE(f.hall.approver(), QStringLiteral("Ayşe"));
        f.hall.removeExtra(0, 0);
    }
    QVERIFY(f.hall.approver().isEmpty());
    f.hall.openAccount(1, "1000000", counter::momentNow());
    QVERIFY(f.hall.book(1, 1));
    f.hall.move(1, 0);
    QVERIFY(f.hall.bookedWithin(0, 0, kFive)); // the times go with the account
    f.hall.reloadBooked(0);
    QVERIFY(f.hall.bookedWithin(0, 0, kFive)); // read again as it was
    // Another extra put there behind the hall's back is no slip of this evening.
    f.book(0, "Nargile\r\n355\r\n");
    f.hall.reloadBooked(0);
    QVERIFY(!f.hall.bookedWithin(0, 0, kFive));

    QCOMPARE(eventRows(f.hall.ledger().connectionName()),
             (QStringList{"cashier -", "cashier -", "login Ali", "book Ali", "remove Ali Ayşe",
                          "open Ali", "book Ali", "move Ali"}));
    QVERIFY(ledger::verifyChain(f.paths.ledgerFile()).ok);
}

void TestHall::tablesFile_data()
{
    QTest::addColumn<QString>("text"); // lines split at '|'
    QTest::addColumn<QString>("problem");
    const QString head = "KELVORA MASALAR 1|";
    QTest::newRow("kinds, bands and own names")
        << head + "2|Bilardo|250||2|1,2,3,4,5|10:00|17:00|120|5,6|20:00|03:00|300|"
                  "PlayStation|150|100|0|3|Bilardo 1|1|PS 1|2|Bahçe|"
        << "";
    QTest::newRow("own names alone") << head + "0|2|Cam Kenarı||Köşe|"
                                     << "";
    QTest::newRow("a kind named beyond the code page")
        << head + "1|Bilardo ☃|80||0|0"
        << "Masa bilgileri dosyası kullanılamıyor: \"Bilardo ☃\" masa türü adında kullanılamayan "
           "bir işaret var.";
    QTest::newRow("another file") << "Su|15"
                                  << "Masa bilgileri dosyasının 1. satırı okunamadı: başlık "
                                     "\"KELVORA MASALAR 1\" olmalı";
    QTest::newRow("cut short")
        << head + "1|Okey|80"
        << "Masa bilgileri dosyasının 5. satırı okunamadı: dosya erken bitiyor";
    QTest::newRow("a kind not in the list")
        << head + "1|Okey|80||0|1|Okey 1|2"
        << "Masa bilgileri dosyasının 9. satırı okunamadı: masa türü 1 ile 1 arası olmalı";
    QTest::newRow("a band on no day")
        << head + "1|Okey|80||1|8|10:00|12:00|60|0"
        << "Masa bilgileri dosyasının 7. satırı okunamadı: günler 1 (Pazartesi) ile 7 (Pazar) "
           "arası olmalı";
    QTest::newRow("overlapping bands")
        << head + "1|Okey|80||2|5|16:00|21:00|60|5|20:00|23:00|90|0"
        << "Masa bilgileri dosyası kullanılamıyor: Okey: Zaman dilimleri çakışıyor: Cum "
           "16:00–21:00 ve Cum 20:00–23:00";
    QTest::newRow("one name twice, in other cases")
        << head + "0|2|Bahçe||BAHÇE|"
        << "Masa bilgileri dosyası kullanılamıyor: “BAHÇE” adında başka bir masa var (büyük-küçük "
           "harf ayrılmaz).";
}

void TestHall::timeAsHallsPriceIt_data()
{
    // kind: "fee minimum|bands" as tst_hall_segments writes bands ("" none: the settings' fee);
    // script: "dd.MM HH:mm verb args" separated by ';' — open FEE, pause, resume, fee FEE now|open,
    // correct MINUTES, start HH:mm, unit FEE (the settings' fee saved), end.
    // bill: "minutes charge total[ min]"; segments: "minutes@fee=charge", "P minutes",
    // "C minutes@fee=charge".
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("bill");
    QTest::addColumn<QString>("segments");
    QTest::newRow("one fee, as ever") << ""
                                      << "07.12 18:00 open 120; 07.12 20:00 end"
                                      << "120 240 240"
                                      << "120@120=240";
    QTest::newRow("across a band edge") << "250 -|1-5 10:00-17:00 120"
                                        << "07.12 16:30 open; 07.12 17:30 end"
                                        << "60 185 185"
                                        << "30@120=60 30@250=125";
    QTest::newRow("Friday night into Saturday") << "150 -|5,6 20:00-03:00 200"
                                                << "11.12 19:00 open; 12.12 01:00 end"
                                                << "360 1150 1150"
                                                << "60@150=150 300@200=1000";
    QTest::newRow("pause across a band edge")
        << "250 -|1-5 10:00-17:00 120"
        << "07.12 16:30 open; 07.12 16:50 pause; 07.12 17:10 resume; 07.12 17:30 end"
        << "40 123 123"
        << "20@120=40 P 20 20@250=83";
    QTest::newRow("ten minutes taken off")
        << ""
        << "07.12 18:00 open 120; 07.12 19:00 correct -10; 07.12 20:00 end"
        << "110 220 220"
        << "60@120=120 C -10@120=-20 60@120=120";
    QTest::newRow("fee from now on")
        << ""
        << "07.12 18:00 open 120; 07.12 19:00 fee 180 now; 07.12 20:00 end"
        << "120 300 300"
        << "60@120=120 60@180=180";
    QTest::newRow("fee from the opening")
        << ""
        << "07.12 18:00 open 120; 07.12 19:00 fee 180 open; 07.12 20:00 end"
        << "120 360 360"
        << "120@180=360";
    QTest::newRow("unit fee saved while open")
        << ""
        << "07.12 18:00 open 120; 07.12 19:00 unit 180; 07.12 20:00 end"
        << "120 300 300"
        << "60@120=120 60@180=180";
    QTest::newRow("minimum on the sum")
        << "120 100|"
        << "07.12 18:00 open; 07.12 18:05 pause; 07.12 19:00 resume; 07.12 19:10 end"
        << "15 100 100 min"
        << "5@120=10 P 55 10@120=20";
    QTest::newRow("two business days") << "200 -|7 22:00-06:00 150"
                                       << "07.12 04:00 open; 07.12 08:00 end"
                                       << "240 700 700"
                                       << "120@150=300 120@200=400";
    QTest::newRow("fee from the opening over bands, after a pause")
        << "250 -|1-5 10:00-17:00 120"
        << "07.12 16:30 open; 07.12 16:40 pause; 07.12 16:50 resume; 07.12 17:10 fee 300 open; "
           "07.12 17:30 end"
        << "50 250 250"
        << "10@300=50 P 10 40@300=200";
    QTest::newRow("start date unreadable, bands")
        << "250 -|1-7 18:00-20:00 100"
        << "07.12 17:00 open; 07.12 19:00 handdate; 07.12 19:00 end"
        << "120 350 350"
        << "60@250=250 60@100=100";
    QTest::newRow("fee change cut short before the register")
        << ""
        << "07.12 18:00 open 120; 07.12 19:00 fee 180 now; 07.12 19:00 regfee 120; 07.12 20:00 end"
        << "120 240 240"
        << "120@120=240";
    QTest::newRow("start set past the corrections")
        << ""
        << "07.12 18:00 open 120; 07.12 18:30 correct -20; 07.12 18:30 start 18:25"
        << "error: Bu başlangıçla süre -15 dakikaya düşer; başlangıç daha önce olmalı."
        << "";
    QTest::newRow("settled, cancelled and reopened")
        << ""
        << "07.12 18:00 open 120; 07.12 18:30 pause; 07.12 18:40 resume; 07.12 19:00 correct -5; "
           "07.12 19:10 reopen; 07.12 20:00 end"
        << "105 210 210"
        << "30@120=60 P 10 20@120=40 C -5@120=-10 60@120=120";
    QTest::newRow("start set earlier")
        << ""
        << "07.12 18:30 open 120; 07.12 19:00 start 18:00; 07.12 20:00 end"
        << "120 240 240"
        << "60@120=120 C 0@120=0 60@120=120";
}

// An account's time priced by kind, band, pause, correction and fee change: the settled bill,
// the floor and the fee calculation agree, figure for figure.
void TestHall::timeAsHallsPriceIt()
{
    QFETCH(QString, kind);
    QFETCH(QString, script);
    QFETCH(QString, bill);
    QFETCH(QString, segments);
    // A table's own fee is changed in multiple-fee mode.
    HallFixture f(2, {{SettingsLine::UnitFee, "120"},
                      {SettingsLine::MultipleFees, script.contains(" fee ") ? "T" : "F"}});
    if (!kind.isEmpty()) {
        const QStringList head = kind.section('|', 0, 0).split(' ');
        hall::TableKind k{"Bilardo", head[0].toLongLong(), std::nullopt, {}};
        if (head[1] != "-")
            k.minimum = head[1].toLongLong();
        for (const QString &band : kind.section('|', 1).split(';', Qt::SkipEmptyParts)) {
            const QStringList b = band.trimmed().split(' ');
            counter::RateBand r;
            for (const QString &days : b[0].split(','))
                for (int d = days.section('-', 0, 0).toInt(); d <= days.section('-', -1).toInt();
                     ++d)
                    r.days |= quint8(1 << (d - 1));
            r.from = QTime::fromString(b[1].section('-', 0, 0), "HH:mm");
            r.to = QTime::fromString(b[1].section('-', 1), "HH:mm");
            r.fee = b[2].toLongLong();
            k.bands << r;
        }
        RecordList(hall::tablesLines({{k}, {{"Bilardo 1", 0}, {"Bilardo 2", -1}}}))
            .save(f.paths.tablesFile());
    }
    f.load();
    const auto momentAt = [&](const QString &day, const QString &time) {
        const QDateTime at = QDateTime::fromString("2026-" + day.section('.', 1) + "-" +
                                                       day.section('.', 0, 0) + "T" + time + ":00",
                                                   Qt::ISODate);
        f.env.setNow(at);
        return counter::Moment{at, {}, 0};
    };
    // A register line changed by hand, read again as at a start.
    const auto handEdit = [&](int line, const QString &text) {
        RecordList reg = f.hall.registerLines();
        reg.set(line, text);
        reg.save(f.paths.registerFile());
        f.hall.loadRegister();
    };
    counter::Moment end;
    for (const QString &step : script.split(';')) {
        const QStringList w = step.trimmed().split(' ');
        const counter::Moment at = momentAt(w[0], w[1]);
        const QString verb = w[2];
        if (verb == "open")
            f.hall.openAccount(0, w.value(3, head(f.hall.kindOf(0))), at);
        else if (verb == "pause") {
            f.hall.pause(0, at);
            f.hall.refreshFloor(at);
            QVERIFY(f.hall.floor().row(0).paused);
            QVERIFY2(f.hall.floor().row(0).description.startsWith("Durduruldu, "),
                     qPrintable(f.hall.floor().row(0).description));
        } else if (verb == "resume")
            f.hall.resume(0, at);
        else if (verb == "fee")
            f.hall.changeFee(0, w[3], at, w[4] == "open");
        else if (verb == "correct")
            f.hall.correctTime(0, w[3].toLongLong(), "Geç oturdu", at);
        else if (verb == "start") {
            try {
                f.hall.setStart(0, momentAt(w[0], w[3]).wall, "Saat yanlış girildi", at);
            } catch (const RuntimeError &e) {
                QCOMPARE("error: " + e.text(), bill);
                return;
            }
        } else if (verb == "handdate")
            handEdit(RegisterLine::date(0), "x");
        else if (verb == "regfee")
            handEdit(RegisterLine::fee(0), w[3]);
        else if (verb == "unit") {
            RecordList next = f.hall.settings();
            next.set(SettingsLine::UnitFee, w[3]);
            f.hall.saveSettings(next, std::nullopt);
        } else
            end = at;
    }
    const ledger::BillRecord record = f.hall.accountRecord(0, end);
    QString got = QStringLiteral("%1 %2 %3")
                      .arg(record.bill.minutes)
                      .arg(record.bill.timeCharge)
                      .arg(record.bill.total);
    if (record.bill.minimumApplied)
        got += " min";
    QCOMPARE(got, bill);
    QStringList shown;
    for (const counter::Segment &s : record.segments)
        shown << (s.kind == counter::Segment::Kind::Pause
                      ? QStringLiteral("P %1").arg(s.minutes)
                      : QStringLiteral("%1%2@%3=%4")
                            .arg(s.kind == counter::Segment::Kind::Correction ? "C " : "")
                            .arg(s.minutes)
                            .arg(s.fee)
                            .arg(s.charge));
    QCOMPARE(shown.join(' '), segments);
    // The floor and the fee calculation bill the same.
    f.hall.refreshFloor(end);
    QCOMPARE(f.hall.floor().row(0).bill, std::optional(record.bill));
    const hall::Calculation c = f.hall.calculate(0, *f.hall.accountElapsedMs(0, end));
    QCOMPARE(c.bill, record.bill);
    // An account moves only where its kind prices it: Bilardo 2 has none.
    if (!kind.isEmpty())
        QVERIFY(f.hall.freeTables(0, 0).isEmpty());
}

// The tables file reads back what was written, and a hand-edited one is taken whole or not at
// all, with the line that stops it.
void TestHall::tablesFile()
{
    QFETCH(QString, text);
    QFETCH(QString, problem);
    const QStringList lines = text.split('|');
    try {
        const hall::TablesLayout layout = hall::readTables(lines);
        QCOMPARE(QString(), problem);
        QCOMPARE(hall::tablesLines(layout), lines);
    } catch (const RuntimeError &e) {
        QCOMPARE(e.text(), problem);
    }
}

// One table added mid-evening, and the last removed, touch no other account or extras.
void TestHall::addingAndRemovingOneTable()
{
    HallFixture f(2, {}, openAt(0, "7.12.2026", "20:00:00", "1000000"));
    f.book(0, "Su\r\n15\r\n");
    f.book(1, "Tost\r\n40\r\n");
    f.load();
    const QByteArray extras0 = TestEnvironment::readBytes(f.paths.tableExtrasFile("Masa 1"));
    QSignalSpy relisted(&f.hall, &hall::Hall::tablesChanged);
    f.hall.addTable();
    QCOMPARE(f.hall.tableNames(), (QStringList{"Masa 1", "Masa 2", "Masa 3"}));
    QCOMPARE(relisted.size(), 1);
    QCOMPARE(f.hall.account(0).time, QStringLiteral("20:00:00"));
    QCOMPARE(f.hall.extrasSum(0), 15);
    QCOMPARE(f.hall.extrasSum(1), 40);
    QCOMPARE(TestEnvironment::readBytes(f.paths.tableExtrasFile("Masa 1")), extras0);
    QCOMPARE(RecordList::fromBytes(TestEnvironment::readBytes(f.paths.registerFile())).first(),
             QStringLiteral("3"));

    // Only a free last table without extras goes.
    f.hall.removeLastTable();
    QCOMPARE(f.hall.tableCount(), 2);
    const QStringList refusals{f.hall.lastTableProblem()};
    QCOMPARE(refusals, QStringList{"Masa 2 üzerinde extralar var: yalnız boş ve extrası olmayan "
                                   "masa silinir."});
    try {
        f.hall.removeLastTable();
        QFAIL("a table with extras was removed");
    } catch (const RuntimeError &) {
    }
    QCOMPARE(f.hall.tableCount(), 2);
    QCOMPARE(f.hall.extrasSum(1), 40);

    // A count lowered earlier left an account at the next place: it is not handed on unseen.
    f.hall.clearExtras(1);
    f.hall.openAccount(1, "1000000", counter::momentNow());
    RecordList reg = f.hall.registerLines();
    reg.set(RegisterLine::TableCount, "1");
    reg.save(f.paths.registerFile());
    f.hall.loadRegister();
    f.hall.loadExtras();
    try {
        f.hall.addTable();
        QFAIL("an old account came back on a new table");
    } catch (const RuntimeError &e) {
        QVERIFY(e.text().startsWith("Kayıtlarda Masa 2 için önceden kalmış bir hesap var"));
    }
    QCOMPARE(f.hall.tableCount(), 1);
}

void TestHall::editingOneTable_data()
{
    QTest::addColumn<QString>("own");  // the tables file's names, split at '|'; '*': a Bilardo
    QTest::addColumn<QString>("verb"); // rename, kind, move, add, remove, create, kinds
    QTest::addColumn<int>("table");
    QTest::addColumn<QString>("arg");
    QTest::addColumn<QString>("names"); // after, split at '|'
    QTest::addColumn<QString>("refused");
    const QString plain = "Masa 1|Masa 2|Masa 3|Masa 4|Masa 5";
    QTest::newRow("rename: the extras go along") << ""
                                                 << "rename" << 1 << "Bahçe"
                                                 << "Masa 1|Bahçe|Masa 3|Masa 4|Masa 5"
                                                 << "";
    QTest::newRow("rename an open table") << ""
                                          << "rename" << 0 << "Köşe"
                                          << "Köşe|Masa 2|Masa 3|Masa 4|Masa 5"
                                          << "";
    QTest::newRow("rename onto a file left behind")
        << ""
        << "rename" << 1 << "Eski" << plain << "%1 dosyası var: Masa 2 bu ada geçerse";
    QTest::newRow("rename to a path")
        << ""
        << "rename" << 1 << "Masa/2" << plain << "Masa adı “/” karakterini içeremez";
    QTest::newRow("rename onto another, in other cases")
        << ""
        << "rename" << 1 << "MASA 3" << plain << "“MASA 3” adında başka bir masa var";
    QTest::newRow("kind") << ""
                          << "kind" << 2 << "0" << plain << "";
    QTest::newRow("kind of an open table")
        << ""
        << "kind" << 0 << "0" << plain << "Masa 1 açık: ücreti açılışta türünden alındı";
    QTest::newRow("move down") << ""
                               << "move" << 1 << "1"
                               << "Masa 1|Masa 3|Masa 2|Masa 4|Masa 5"
                               << "";
    QTest::newRow("move up onto an open table")
        << ""
        << "move" << 1 << "-1" << plain << "Masa 1 açık: hesaplar masaların sırasıyla";
    QTest::newRow("move an open table down")
        << ""
        << "move" << 3 << "1" << plain << "Masa 4 açık: hesaplar masaların sırasıyla";
    QTest::newRow("add past an own name with the prefix's")
        << "Masa 1|Masa 2|masa 6|Masa 4|Masa 5"
        << "add" << 0 << ""
        << "Masa 1|Masa 2|masa 6|Masa 4|Masa 5|Masa 7"
        << "";
    QTest::newRow("remove the last, its entry too") << "Masa 1|Masa 2|Masa 3|Masa 4|Son"
                                                    << "remove" << 0 << ""
                                                    << "Masa 1|Masa 2|Masa 3|Masa 4"
                                                    << "";
    QTest::newRow("Masa Oluştur: more, own names kept")
        << "Bahçe|Köşe|Masa 7"
        << "create" << 0 << "8 Masa"
        << "Bahçe|Köşe|Masa 7|Masa 4|Masa 5|Masa 6|Masa 8|Masa 9"
        << "";
    QTest::newRow("Masa Oluştur: fewer") << "Bahçe|Köşe|Masa 7"
                                         << "create" << 0 << "2 Masa"
                                         << "Bahçe|Köşe"
                                         << "";
    QTest::newRow("Masa Oluştur: another prefix") << "Bahçe|Masa 2|Bilardo 2"
                                                  << "create" << 0 << "4 Bilardo"
                                                  << "Bahçe|Bilardo 3|Bilardo 2|Bilardo 4"
                                                  << "";
    QTest::newRow("kinds: one a table uses removed")
        << "Masa 1|Masa 2|Masa 3*"
        << "kinds" << 0 << "remove" << plain << "Bilardo türünü Masa 3 kullanıyor";
    QTest::newRow("kinds: the bands of an open table's")
        << "Masa 1*"
        << "kinds" << 0 << "bands" << plain << "Masa 1 açık: Bilardo türünün zaman dilimleri";
    QTest::newRow("kinds: the fee of an open table's") << "Masa 1*"
                                                       << "kinds" << 0 << "fee" << plain << "";
}

// Each edit of one table is saved with its event and leaves every other table's account and
// extras as they were; a refused one changes nothing.
void TestHall::editingOneTable()
{
    QFETCH(QString, own);
    QFETCH(QString, verb);
    QFETCH(int, table);
    QFETCH(QString, arg);
    QFETCH(QString, names);
    QFETCH(QString, refused);
    QMap<int, QString> reg = openAt(0, "7.12.2026", "20:00:00", "100");
    reg.insert(openAt(3, "7.12.2026", "21:00:00", "100"));
    HallFixture f(5, {}, reg);
    hall::TablesLayout layout;
    layout.kinds << hall::TableKind{"Bilardo", 250, {}, {}};
    for (const QString &name : own.split('|', Qt::SkipEmptyParts))
        layout.tables << hall::TableSetup{QString(name).remove('*'), name.endsWith('*') ? 0 : -1};
    RecordList(hall::tablesLines(layout)).save(f.paths.tablesFile());
    f.load();
    QVERIFY(f.hall.ledger().open(f.paths.ledgerFile(), ledger::Ledger::Check::Now));
    const QStringList before = f.hall.tableNames();
    const auto extrasOf = [&](const QString &name) {
        return TestEnvironment::readBytes(f.paths.tableExtrasFile(name));
    };
    TestEnvironment::writeBytes(f.paths.tableExtrasFile(before[0]), "Su\r\n15\r\n");
    TestEnvironment::writeBytes(f.paths.tableExtrasFile(before[1]), "Tost\r\n40\r\n");
    TestEnvironment::writeBytes(f.paths.tableExtrasFile(before[3]), "Su\r\n15\r\n");
    TestEnvironment::writeBytes(f.paths.tableExtrasFile("Eski"), "Çay\r\n5\r\n");
    f.hall.loadExtras();
    QList<QByteArray> extras;
    QList<hall::Account> accounts;
    for (int t = 0; t < before.size(); ++t) {
        extras << extrasOf(before[t]);
        accounts << f.hall.account(t);
    }
    const QByteArray tablesFile = TestEnvironment::readBytes(f.paths.tablesFile());
    const int events = int(eventRows(f.hall.ledger().connectionName()).size());
    QSignalSpy relisted(&f.hall, &hall::Hall::tablesChanged);

    QString why;
    try {
        if (verb == "rename")
            f.hall.renameTable(table, arg);
        else if (verb == "kind")
            f.hall.setTableKind(table, arg.toInt());
        else if (verb == "move")
            f.hall.moveTable(table, arg.toInt());
        else if (verb == "add")
            f.hall.addTable();
        else if (verb == "remove")
            f.hall.removeLastTable();
        else if (verb == "kinds") {
            QList<hall::TableKind> kinds = layout.kinds;
            if (arg == "remove")
                kinds.clear();
            else if (arg == "bands")
                kinds[0].bands << counter::RateBand{0x1f, QTime(10, 0), QTime(17, 0), 120};
            else
                kinds[0].fee = 300;
            f.hall.saveKinds(kinds);
        } else
            f.hall.createTables(arg.section(' ', 0, 0), arg.section(' ', 1));
    } catch (const RuntimeError &e) {
        why = e.text();
    }
    QVERIFY2(refused.isEmpty() ? why.isEmpty()
                               : why.startsWith(refused.arg(
                                     QDir::toNativeSeparators(f.paths.tableExtrasFile("Eski")))),
             qPrintable(why));
    QCOMPARE(f.hall.tableNames(), names.split('|'));
    // The files hold it: a start reads the same.
    hall::Hall again(f.paths);
    again.loadSettings();
    again.loadRegister();
    QCOMPARE(again.tableNames(), names.split('|'));
    const QStringList rows = eventRows(f.hall.ledger().connectionName());
    if (!refused.isEmpty()) {
        QCOMPARE(rows.size(), events);
        QCOMPARE(TestEnvironment::readBytes(f.paths.tablesFile()), tablesFile);
        QVERIFY(relisted.isEmpty());
    } else {
        const QString kind = QMap<QString, QString>{
            {"rename", "table_rename"}, {"kind", "table_kind"},     {"move", "table_order"},
            {"add", "table_add"},       {"remove", "table_remove"}, {"create", "tables"},
            {"kinds", "kinds"}}.value(verb);
        QVERIFY2(rows.mid(events).join(';').contains(kind + " "), qPrintable(rows.join(';')));
        QVERIFY(!relisted.isEmpty());
    }
    // An entry past the count names nothing: none is left.
    if (verb == "remove" || verb == "create")
        QVERIFY(again.tablesLayout().tables.size() <= again.tableCount());
    if (verb == "kind" && refused.isEmpty())
        QCOMPARE(f.hall.kindOf(table)->name, QStringLiteral("Bilardo"));
    // Every account stays at its place; the extras stay with their table, wherever it went.
    const bool moved = verb == "move" && refused.isEmpty();
    for (int t = 0; t < std::min(f.hall.tableCount(), int(before.size())); ++t) {
        const int was = moved && t == table                 ? table + arg.toInt()
                        : moved && t == table + arg.toInt() ? table
                                                            : t;
        QCOMPARE(f.hall.account(t).time, accounts[t].time);
        if (verb != "create")
            QCOMPARE(extrasOf(f.hall.tableName(t)), extras[was]);
    }
    if (verb == "rename" && refused.isEmpty())
        QCOMPARE(extrasOf(before[table]), QByteArray("<missing>"));
    if (verb != "create")
        QCOMPARE(extrasOf("Eski"), QByteArray("Çay\r\n5\r\n"));
}

// A bill paid as halls take the money: treats, a discount rounded down to the lira, parts by
// method, part of a table paid ahead, a cancel that gives the money back. `script` runs on
// table 1 (opened 20:00 at 120 TL/h, a water 15 and a toast 40 booked), settled at 21:30
// (180 TL of time); `stored` is the settled bill as the ledger gives it back (gross/treats/
// discount/net, then its payments), `money` the payment rows that stand, by kind and method.
void TestHall::takingTheMoney_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("money");
    QTest::newRow("Enter: all in cash") << "enter"
                                        << "235/0/0/235 cash 235"
                                        << "sale cash 235";
    QTest::newRow("10% off 235 is 23, rounded down") << "discount 10%; pay cash 212; settle"
                                                     << "235/0/23/212 cash 212"
                                                     << "sale cash 212";
    QTest::newRow("an extra on the house") << "treat 1; pay cash 195; settle"
                                           << "235/40/0/195 cash 195"
                                           << "sale cash 195";
    QTest::newRow("the time on the house, 10% off the rest")
        << "treat -1; discount 10%; pay cash 50; settle"
        << "235/180/5/50 cash 50"
        << "sale cash 50";
    QTest::newRow("part cash, the rest card") << "discount 35; pay cash 100; pay card 100; settle"
                                              << "235/0/35/200 cash 100 card 100"
                                              << "sale card 100; sale cash 100";
    QTest::newRow("on a tab") << "pay cash 35; pay tab Ali 200; settle"
                              << "235/0/0/235 cash 35 tab 200"
                              << "sale cash 35; sale tab 200";
    QTest::newRow("water and 100 paid ahead, then the rest") << "apart 0 100 card; enter"
                                                             << "220/0/0/220 card 100* cash 120"
                                                             << "sale card 115; sale cash 120";
    QTest::newRow("paid ahead, moved, then settled")
        << "apart - 50 cash; move; pay card 185; settle"
        << "235/0/0/235 cash 50* card 185"
        << "sale card 185; sale cash 50";
    QTest::newRow("paid ahead: no restart") << "apart - 50 cash; restart!"
                                            << "-"
                                            << "sale cash 50";
    QTest::newRow("time corrected below what was paid ahead: given back, then settled")
        << "apart - 170 cash; correct -60; enter!; return; enter"
        << "115/0/0/115 cash 115"
        << "refund cash 170; sale cash 115";
    QTest::newRow("more ahead than owed is refused") << "apart - 236 cash!"
                                                     << "-"
                                                     << "";
    QTest::newRow("short payments are refused") << "pay cash 100; settle!"
                                                << "-"
                                                << "";
    QTest::newRow("payments beyond the net are refused") << "pay cash 200; discount 50%; settle!"
                                                         << "-"
                                                         << "";
    QTest::newRow("cancelled, money given back")
        << "pay card 35; pay cash 200; settle; cancel refund"
        << "235/0/0/235 card 35 cash 200"
        << "refund card 35; refund cash 200";
    QTest::newRow("cancelled, money kept") << "pay tab Ali 35; pay cash 200; settle; cancel"
                                           << "235/0/0/235 tab 35 cash 200"
                                           << "";
}

void TestHall::takingTheMoney()
{
    QFETCH(QString, script);
    QFETCH(QString, stored);
    QFETCH(QString, money);
    HallFixture f(3, {{SettingsLine::UnitFee, "120"}}, openAt(1, "7.12.2026", "20:00:00", "120"));
    f.book(1, "Su\r\n15\r\nTost\r\n40\r\n");
    f.load();
    QVERIFY(f.hall.ledger().open(f.paths.ledgerFile(), ledger::Ledger::Check::Now));
    f.env.setNow("2026-12-07T21:30:00");
    int table = 1;
    counter::Settlement s;
    qint64 billId = 0;
    for (const QString &step : script.split("; ")) {
        const bool refused = step.endsWith('!');
        const QStringList w = step.chopped(refused ? 1 : 0).split(' ');
        const auto method = [](const QString &key) { return *counter::methodOf(key); };
        try {
            if (w[0] == "discount")
                s.discount = w[1].endsWith('%')
                                 ? counter::Discount{0, w[1].chopped(1).toInt(), "müdavim"}
                                 : counter::Discount{w[1].toLongLong(), 0, "müdavim"};
            else if (w[0] == "treat")
                s.treats << counter::Treat{w[1].toInt(), 0, "özür"};
            else if (w[0] == "pay")
                s.payments << counter::Payment{
                    method(w[1]), w.last().toLongLong(), w.size() > 3 ? w[2] : QString(), {}};
            else if (w[0] == "apart")
                f.hall.payApart(table, w[1] == "-" ? QList<int>() : QList<int>{w[1].toInt()},
                                w[2].toLongLong(), method(w[3]), {}, counter::momentNow());
            else if (w[0] == "move")
                f.hall.move(table, 2), table = 2;
            else if (w[0] == "correct")
                f.hall.correctTime(table, w[1].toLongLong(), "yanlış", counter::momentNow());
            else if (w[0] == "return")
                f.hall.returnAhead(table, f.hall.paidAhead(table).value(0).id);
            else if (w[0] == "restart")
                f.hall.restartAccount(table, "120", counter::momentNow());
            else if (w[0] == "enter")
                f.hall.settle(f.hall.accountRecord(table, counter::momentNow())),
                    billId = f.hall.ledger().billCount();
            else if (w[0] == "settle")
                f.hall.settle(f.hall.accountRecord(table, counter::momentNow()), s),
                    billId = f.hall.ledger().billCount();
            else if (w[0] == "cancel")
                f.hall.cancel(billId, "yanlış", counter::momentNow().wall, std::nullopt,
                              std::nullopt, w.size() > 1);
            QVERIFY2(!refused, qPrintable(step + " was taken"));
        } catch (const RuntimeError &e) {
            QVERIFY2(refused, qPrintable(step + ": " + e.text()));
        }
    }
    if (stored == "-") {
        // Refused: the account runs on as it was, with no bill.
        QVERIFY(f.hall.hasAccount(table));
    } else {
        const std::optional<ledger::BillRecord> bill = f.hall.ledger().bill(billId);
        QVERIFY(bill);
        const counter::Due d = bill->due();
        QStringList got{
            QStringLiteral("%1/%2/%3/%4").arg(d.gross).arg(d.treats).arg(d.discount).arg(d.net)};
        for (const counter::Payment &p : bill->settlement.payments)
            got << QStringLiteral("%1 %2%3")
                       .arg(counter::methodKey(p.method))
                       .arg(p.amount)
                       .arg(p.ahead ? "*" : "");
        QCOMPARE(got.join(' '), stored);
        QVERIFY(f.hall.isFree(table));
        QVERIFY(f.hall.paidAhead(table).isEmpty());
    }
    QSqlQuery q(QSqlDatabase::database(f.hall.ledger().connectionName()));
    QVERIFY(q.exec("SELECT kind, method, SUM(amount) FROM payments WHERE cancelled_at IS NULL"
                   " GROUP BY kind, method ORDER BY kind, method"));
    QStringList rows;
    while (q.next())
        rows << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()}
                    .join(' ');
    QCOMPARE(rows.join("; "), money);
    QVERIFY(ledger::verifyChain(f.paths.ledgerFile()).ok);
}

// A tab is owed until it is collected, in parts, by cash or card; a shift's drawer should hold
// its float and the cash that came in less the cash that went out, and the count is kept
// against it.
void TestHall::tabsAndShifts_data()
{
    QTest::addColumn<QString>("script");  // steps, one a line
    QTest::addColumn<QString>("owed");    // "customer amount|…" afterwards
    QTest::addColumn<qint64>("expected"); // at the close; -1: not closed
    QTest::addColumn<qint64>("difference");
    QTest::addColumn<QString>("refused"); // what the steps refused, "|" between

    QTest::newRow("tab collected in two parts")
        << "tab Ali 300\ncollect Ali cash 100\ncollect ali card 200"
        << "Ali 0" << qint64(-1) << qint64(0) << "";
    QTest::newRow("no more than is owed")
        << "tab Ali 300\ncollect Ali cash 301\ncollect Veli cash 10\ncollect Ali tab 10"
        << "Ali 300" << qint64(-1) << qint64(0)
        << "Tahsil edilen tutar Ali borcundan (300 TL) fazla olamaz.|Veli adına ödenmemiş "
           "veresiye yok.|Veresiye nakit ya da kartla tahsil edilir.";
    QTest::newRow("a cancelled bill is not owed")
        << "tab Ali 300\ncancel\ncollect Ali cash 100"
        << "Ali 0" << qint64(-1) << qint64(0) << "Ali adına ödenmemiş veresiye yok.";
    // 500 + 200 + 100 − 80 = 720; the card collection stays out of the drawer.
    QTest::newRow("counted short")
        << "open 500\ncash 200\nout 80 tedarikçi\ntab Ali 300\ncollect Ali cash 100\n"
           "collect Ali card 50\nclose 700 eksik çıktı"
        << "Ali 150" << qint64(720) << qint64(-20) << "";
    QTest::newRow("a cash refund leaves the drawer")
        << "open 100\ncash 150\ncash 60\nrefund\nclose 260"
        << "" << qint64(250) << qint64(10) << "";
    QTest::newRow("one shift at a time")
        << "close 0\nopen 100\nopen 50\nout 0 boş\nout 20  \nclose 100"
        << "" << qint64(100) << qint64(0)
        << "Açık vardiya yok.|Bir vardiya zaten açık (07.12.2026 21:32); önce onu kapatın.|Tutar "
           "sıfırdan büyük olmalı.|Kasadan çıkışın nedenini yazın.";
}

void TestHall::tabsAndShifts()
{
    QFETCH(QString, script);
    QFETCH(QString, owed);
    QFETCH(qint64, expected);
    QFETCH(qint64, difference);
    QFETCH(QString, refused);
    HallFixture f(2);
    f.load();
    QVERIFY(f.hall.ledger().open(f.paths.ledgerFile(), ledger::Ledger::Check::Now));
    const QString connection = f.hall.ledger().connectionName();
    QSignalSpy changed(&f.hall, &hall::Hall::moneyChanged);
    const QDateTime start = f.env.now();
    // A bill of extras alone on a free table, worth `amount`.
    const auto bill = [&](qint64 amount) {
        f.book(0, QStringLiteral("Tost\r\n%1\r\n").arg(amount).toUtf8());
        f.hall.loadExtras();
        return f.hall.accountRecord(0, counter::momentNow());
    };
    std::optional<ledger::ShiftReport> closed;
    QStringList refusals;
    int step = 0;
    for (const QString &line : script.split('\n')) {
        f.env.setNow(start.addSecs(60 * ++step));
        const QStringList w = line.split(' ');
        const qsizetype events = eventRows(connection).size();
        const qsizetype told = changed.size();
        const bool money = QStringList{"open", "out", "collect", "close"}.contains(w[0]);
        try {
            if (w[0] == "open") {
                f.hall.openShift(w[1].toLongLong());
            } else if (w[0] == "cash") {
                f.hall.settle(bill(w[1].toLongLong()));
            } else if (w[0] == "tab") {
                counter::Settlement s;
                counter::Payment p;
                p.method = counter::Method::Tab;
                p.amount = w[2].toLongLong();
                p.customer = w[1];
                s.payments = {p};
                f.hall.settle(bill(p.amount), s);
            } else if (w[0] == "cancel" || w[0] == "refund") {
                f.hall.cancel(f.hall.ledger().billCount(), "yanlış", f.env.now(), std::nullopt,
                              std::nullopt, w[0] == "refund");
            } else if (w[0] == "out") {
                f.hall.cashOut(w[1].toLongLong(), w.mid(2).join(' '));
            } else if (w[0] == "collect") {
                const auto method = counter::methodOf(w[2]);
                QVERIFY(method);
                f.hall.collect(w[1], *method, w[3].toLongLong());
            } else if (w[0] == "close") {
                closed = f.hall.closeShift(w[1].toLongLong(), w.mid(2).join(' '));
            } else {
                QFAIL(qPrintable(line));
            }
            QCOMPARE(eventRows(connection).size(), events + 1);
            if (money)
                QCOMPARE(changed.size(), told + 1);
        } catch (const RuntimeError &e) {
            refusals << e.text();
            QCOMPARE(eventRows(connection).size(), events); // nothing written
        }
    }
    QCOMPARE(refusals.join('|'), refused);

    QStringList balances;
    for (const ledger::TabBalance &b : f.hall.ledger().tabBalances())
        balances << QStringLiteral("%1 %2").arg(b.customer).arg(b.balance);
    QCOMPARE(balances.join('|'), owed);

    QCOMPARE(closed.has_value(), expected >= 0);
    if (closed) {
        QCOMPARE(closed->expectedCash(), expected);
        QCOMPARE(closed->shift.expected, std::optional<qint64>(expected));
        QCOMPARE(*closed->shift.counted - expected, difference);
        QVERIFY(closed->shift.closedAt.isValid());
        QVERIFY(!f.hall.currentShift());
        // As kept: a report read later says the same.
        const std::optional<ledger::Shift> kept = f.hall.ledger().shift(closed->shift.id);
        QVERIFY(kept);
        QCOMPARE(kept->counted, closed->shift.counted);
        QCOMPARE(kept->note, script.split('\n').last().section(' ', 2));
        QCOMPARE(f.hall.ledger().shiftReport(*kept, kept->closedAt).expectedCash(), expected);
    }
    QVERIFY(ledger::verifyChain(f.paths.ledgerFile()).ok);
}

void TestHall::printerSetup_data()
{
    using Kind = print::PrinterSetup::Kind;
    QTest::addColumn<QByteArray>("file"); // empty: none
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("saved");
    QTest::newRow("an unreadable file, replaced by a save")
        << QByteArray("\x01\x02 bozuk\r\n") << int(Kind::Pdf) << "/tmp/fişler" << true;
    QTest::newRow("a setup refused") << QByteArray() << int(Kind::Pdf) << "" << false;
}

// A printer file that cannot be read never stops the start; the operator's save replaces it,
// and a setup that cannot print is refused with nothing written.
void TestHall::printerSetup()
{
    QFETCH(QByteArray, file);
    QFETCH(int, kind);
    QFETCH(QString, folder);
    QFETCH(bool, saved);
    HallFixture f(2);
    if (!file.isEmpty())
        TestEnvironment::writeBytes(f.paths.printerFile(), file);
    f.load();
    QVERIFY(f.hall.ledger().open(f.paths.ledgerFile(), ledger::Ledger::Check::Now));
    QCOMPARE(f.hall.tableCount(), 2);
    QCOMPARE(f.hall.printerSetup(), print::PrinterSetup());
    QCOMPARE(f.hall.printerProblem().isEmpty(), file.isEmpty());

    print::PrinterSetup next;
    next.kind = print::PrinterSetup::Kind(kind);
    next.pdfFolder = folder;
    next.hallName = "Köşe Salonu";
    QSignalSpy changed(&f.hall, &hall::Hall::printerChanged);
    try {
        f.hall.savePrinterSetup(next);
        QVERIFY(saved);
    } catch (const RuntimeError &e) {
        QVERIFY(!saved);
        QCOMPARE(e.text(), print::printerProblem(next));
    }
    const QStringList events = eventRows(f.hall.ledger().connectionName());
    if (!saved) {
        QCOMPARE(QFile::exists(f.paths.printerFile()), !file.isEmpty());
        QVERIFY(events.isEmpty());
        return;
    }
    QCOMPARE(f.hall.printerSetup(), next);
    QVERIFY(f.hall.printerProblem().isEmpty());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(events, QStringList{"printer_setup -"});
    hall::Hall again(f.paths);
    again.loadSettings();
    again.loadRegister();
    QCOMPARE(again.printerSetup(), next);
}

QTEST_GUILESS_MAIN(TestHall)
#include "tst_hall.moc"

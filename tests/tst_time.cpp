// Bills follow the real time between opening and settling, whatever the wall clock, its zone
// or the locale did; an unusual time is confirmed; cancelled bills of today and of earlier days.
#include "ledgerfixture.h"

#include "applocale.h"
#include "billwindow.h"
#include "cashdesk.h"
#include "dayendwindow.h"
#include "movewindow.h"
#include "rowdelegate.h"
#include "ui_dayendwindow.h"
#include "ui_movewindow.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <ctime>

using namespace kv;

namespace {
// The system's zone as a program sees it after a change: the C library reads TZ again.
void setZone(const QByteArray &zone)
{
    qputenv("TZ", zone);
    tzset();
}

// The test's clock at a real instant, read in the zone now set.
void setInstant(Desk &desk, const QDateTime &utc)
{
    desk.env.setNow(QDateTime::fromSecsSinceEpoch(utc.toSecsSinceEpoch(), Qt::LocalTime));
}

void openAccount(Desk &desk, int table)
{
    desk.select(table);
    desk.run([&] { desk.form()->ListBox2DblClick(); });
}

void moveAccount(Desk &desk, int from, int toRow)
{
    desk.select(from);
    MoveWindow *w = desk.forms.Cash->moveWindow();
    ModalDriver driver(w, {[w, toRow] {
                           w->ui->FreeTables->setCurrentRow(toRow);
                           w->ui->MoveButton->click();
                       }});
    desk.run([&] { desk.forms.Cash->MasayiTasiClick(); });
}
} // namespace

class TestTime : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void billsFollowRealTime_data();
    void billsFollowRealTime();
    void unusualTimeIsConfirmed_data();
    void unusualTimeIsConfirmed();
    void cancelling_data();
    void cancelling();

private:
    QByteArray m_zone;
    bool m_hadZone = false;
};

void TestTime::initTestCase()
{
    m_hadZone = qEnvironmentVariableIsSet("TZ");
    m_zone = qgetenv("TZ");
    // Qt reads the local zone through the C library at each conversion: a change of TZ
    // within the process is what a change of the system's zone is to the program.
    setZone("UTC");
    const QDateTime epoch = QDateTime::fromSecsSinceEpoch(0, Qt::LocalTime);
    QCOMPARE(epoch.time(), QTime(0, 0));
    setZone("Asia/Tokyo");
    QCOMPARE(QDateTime::fromSecsSinceEpoch(0, Qt::LocalTime).time(), QTime(9, 0));
    cleanup();
}

void TestTime::cleanup()
{
    if (m_hadZone)
        qputenv("TZ", m_zone);
    else
        qunsetenv("TZ");
    tzset();
}

void TestTime::billsFollowRealTime_data()
{
    QTest::addColumn<QByteArray>("openZone");
    QTest::addColumn<QByteArray>("settleZone");
    QTest::addColumn<QString>("openLocale"); // the locale the account is opened under
    QTest::addColumn<QString>("opened");     // UTC
    QTest::addColumn<int>("realMinutes");
    QTest::addColumn<int>("wallSetBy"); // minutes the wall clock was set by after opening
    // "move": moved to Masa 2; "restart": restarted 30 minutes on; "locked": no opening kept
    QTest::addColumn<QString>("flow");
    QTest::addColumn<qint64>("minutes");
    const QByteArray ist = "Europe/Istanbul", berlin = "Europe/Berlin";
    // 20:00 in Istanbul.
    const QString evening = QStringLiteral("2026-12-07T17:00:00Z");
    QTest::newRow("Istanbul to UTC")
        << ist << QByteArray("UTC") << "tr" << evening << 120 << 0 << "" << qint64(120);
    QTest::newRow("Istanbul to Tokyo")
        << ist << QByteArray("Asia/Tokyo") << "tr" << evening << 120 << 0 << "" << qint64(120);
    QTest::newRow("Istanbul to UTC, moved")
        << ist << QByteArray("UTC") << "tr" << evening << 120 << 0 << "move" << qint64(120);
    QTest::newRow("Istanbul to UTC, restarted")
        << ist << QByteArray("UTC") << "tr" << evening << 120 << 0 << "restart" << qint64(90);
    // 00:30 summer time, three hours across the autumn change.
    QTest::newRow("Berlin, autumn") << berlin << berlin << "tr"
                                    << "2026-10-24T22:30:00Z" << 180 << 0 << "" << qint64(180);
    // 01:30 winter time, an hour across the spring change.
    QTest::newRow("Berlin, spring") << berlin << berlin << "tr"
                                    << "2026-03-29T00:30:00Z" << 60 << 0 << "" << qint64(60);
    // 23:00 under en_US, settled after midnight under Turkish.
    QTest::newRow("en_US to Turkish") << ist << ist << "en"
                                      << "2026-12-07T20:00:00Z" << 120 << 0 << "" << qint64(120);
    QTest::newRow("clock set back 10 minutes")
        << ist << ist << "tr" << evening << 5 << -10 << "" << qint64(5);
    QTest::newRow("clock set back, half an hour on")
        << ist << ist << "tr" << evening << 30 << -10 << "" << qint64(30);
    QTest::newRow("clock set forward an hour")
        << ist << ist << "tr" << evening << 30 << 60 << "" << qint64(30);
    // No opening in the ledger: the register's text, as before.
    QTest::newRow("ledger locked at opening")
        << ist << ist << "tr" << evening << 30 << -10 << "locked" << qint64(20);
}

void TestTime::billsFollowRealTime()
{
    QFETCH(QByteArray, openZone);
    QFETCH(QByteArray, settleZone);
    QFETCH(QString, openLocale);
    QFETCH(QString, opened);
    QFETCH(int, realMinutes);
    QFETCH(int, wallSetBy);
    QFETCH(QString, flow);
    QFETCH(qint64, minutes);
    setZone(openZone);
    Desk desk;
    if (openLocale == "en")
        setAppLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    const QDateTime openedAt = QDateTime::fromString(opened, Qt::ISODate);
    setInstant(desk, openedAt);
    desk.prepare(2, {{SettingsLine::UnitFee, "60"}}); // a lira a minute
    desk.start();
    {
        // Another program holds the ledger while the account is opened.
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
        other.setDatabaseName(desk.paths.ledgerFile());
        QVERIFY(other.open());
        QSqlQuery lock(other);
        if (flow == "locked")
            QVERIFY(lock.exec("BEGIN EXCLUSIVE"));
        openAccount(desk, 0);
        if (flow == "locked")
            QVERIFY(lock.exec("ROLLBACK"));
    }
    QSqlDatabase::removeDatabase("other");
    QCOMPARE(desk.env.messages().infos, QStringList{"Masa 1 için hesap açıldı!"});
    QCOMPARE(desk.env.messages().errors, QStringList());
    int table = 0;
    if (flow == "move") {
        moveAccount(desk, 0, 0);
        table = 1;
    } else if (flow == "restart") {
        setInstant(desk, openedAt.addSecs(30 * 60));
        desk.env.messages().answers = {true};
        openAccount(desk, 0);
    }
    setZone(settleZone);
    setAppLocale(QLocale(QLocale::Turkish, QLocale::Turkey));
    desk.env.setWallClockSetBy(qint64(wallSetBy) * 60000);
    setInstant(desk, openedAt.addSecs(realMinutes * 60 + wallSetBy * 60 + 15));
    // The floor, F5 and the bill agree.
    desk.select(table);
    desk.form()->refreshFloor();
    QCOMPARE(desk.ui()->ListBox2->item(table)->data(TRowDelegate::MiddleRole).toString(),
             counter::hoursAndMinutes(minutes));
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QCOMPARE(desk.ui()->statictext2->text(), QString::number(minutes));
    desk.env.messages().clear();
    settle(desk);
    QCOMPARE(desk.env.messages().questions, QStringList());
    const QList<QVariantList> bills =
        rows(desk.paths.ledgerFile(), "SELECT minutes, total, table_pos FROM bills"
                                      " WHERE restart = 0");
    QCOMPARE(bills.size(), 1);
    QCOMPARE(bills[0], (QVariantList{minutes, minutes, table}));
}

void TestTime::unusualTimeIsConfirmed_data()
{
    QTest::addColumn<QString>("date"); // the register's lines, written by hand
    QTest::addColumn<QString>("time");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("settled");
    // The clock reads 7.12.2026 21:15:03.
    QTest::newRow("an hour ahead, kept") << "7.12.2026"
                                         << "22:15:03" << false << true << false;
    QTest::newRow("an hour ahead, closed") << "7.12.2026"
                                           << "22:15:03" << true << true << true;
    QTest::newRow("four days") << "3.12.2026"
                               << "21:00:00" << false << true << false;
    QTest::newRow("three days") << "4.12.2026"
                                << "21:15:03" << false << false << true;
    QTest::newRow("an evening") << "7.12.2026"
                                << "19:00:00" << false << false << true;
}

void TestTime::unusualTimeIsConfirmed()
{
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(bool, answer);
    QFETCH(bool, asked);
    QFETCH(bool, settled);
    Desk desk;
    desk.prepare(1, {{SettingsLine::UnitFee, "60"}},
                 {{RegisterLine::date(0), date}, {RegisterLine::startTime(0), time}});
    desk.start();
    desk.select(0);
    desk.env.messages().answers = {answer};
    settle(desk);
    const QString question = QStringLiteral("Bu hesabın süresi olağan dışı (açılış %1 %2, şimdi "
                                            "7.12.2026 21:15:03). Yine de kapatılsın mı?")
                                 .arg(date, time);
    QCOMPARE(desk.env.messages().questions, asked ? QStringList{question} : QStringList());
    QCOMPARE(rows(desk.paths.ledgerFile(), "SELECT id FROM bills").size(), settled ? 1 : 0);
    QCOMPARE(desk.readLines(desk.paths.registerFile()).value(RegisterLine::date(0)).isEmpty(),
             settled);
}

void TestTime::cancelling_data()
{
    QTest::addColumn<QString>("closed"); // when the bill was paid (opened 90 minutes before)
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QString>("message");
    QTest::addColumn<qint64>("nextMinutes"); // the reopened account's at 23:00; -1: not reopened
    const QString reopened = QStringLiteral("Fiş iptal edildi; Masa 1 hesabı yeniden açıldı.");
    // Closed at 21:15:03 after 90 minutes, cancelled at 22:00:03; billed again at 23:00:03.
    QTest::newRow("today, time closed counted")
        << "2026-12-07T21:15:03" << QList<bool>() << reopened << qint64(195);
    QTest::newRow("today, from the bill's minutes")
        << "2026-12-07T21:15:03" << QList<bool>{false} << reopened << qint64(90 + 60);
    QTest::newRow("today before 06:00, cancelled after midnight")
        << "2026-12-07T23:55:03" << QList<bool>() << reopened << qint64(-2);
    QTest::newRow("an earlier business day")
        << "2026-12-07T05:15:03" << QList<bool>()
        << "Fiş iptal edildi. Önceki bir iş gününün fişi olduğundan Masa 1 hesabı yeniden "
           "açılmadı; tutarı bugünün gün sonundan düşülür."
        << qint64(-1);
}

void TestTime::cancelling()
{
    QFETCH(QString, closed);
    QFETCH(QList<bool>, answers);
    QFETCH(QString, message);
    QFETCH(qint64, nextMinutes);
    Desk desk;
    const QDateTime closedAt = QDateTime::fromString(closed, Qt::ISODate);
    desk.env.setNow(closedAt.addSecs(-90 * 60));
    desk.prepare(1, {{SettingsLine::UnitFee, "60"}});
    desk.start();
    openAccount(desk, 0);
    desk.env.setNow(closedAt);
    desk.select(0);
    settle(desk);
    // Cancelled 45 minutes later, or, for the one after midnight, the next morning at 01:00.
    const bool afterMidnight = nextMinutes == -2;
    const QDateTime cancelAt =
        afterMidnight ? QDateTime(QDate(2026, 12, 8), QTime(1, 0, 3)) : closedAt.addSecs(45 * 60);
    desk.env.setNow(cancelAt);
    desk.env.messages().clear();
    desk.env.messages().answers = answers;
    DayEndWindow *w = desk.forms.Cash->dayEndWindow();
    w->askReason = [] { return std::optional<QString>(QStringLiteral("Yanlış masa")); };
    QString earlierTotal, status, todayEarlierCancel, todayTotal;
    ModalDriver driver(w, {[&] {
                               // The bill's own business day is shown.
                               w->showDay(counter::businessDay(closedAt));
                               w->ui->BillsTable->selectRow(0);
                               w->CancelBillClick();
                               earlierTotal = w->ui->TotalValue->text();
                               status = w->ui->BillsTable->model()->index(0, 6).data().toString();
                               w->showDay(counter::businessDay(cancelAt));
                               todayEarlierCancel = w->ui->EarlierCancelValue->isVisibleTo(w)
                                                        ? w->ui->EarlierCancelValue->text()
                                                        : QString();
                               todayTotal = w->ui->TotalValue->text();
                           },
                           [w] { w->accept(); }});
    desk.run([&] { desk.forms.Cash->GunSonuClick(); });
    QCOMPARE(desk.env.messages().infos, QStringList{message});
    QCOMPARE(desk.env.messages().errors, QStringList());
    const bool earlier = nextMinutes == -1;
    // Asked only where the account is reopened.
    QCOMPARE(desk.env.messages().questions,
             earlier ? QStringList()
                     : QStringList{QStringLiteral("Kapalı kalan süre de hesaba eklensin mi?")});
    // The day the bill was paid still counts it when the cancel came on a later day; the
    // later day takes it off its total.
    QCOMPARE(earlierTotal, earlier ? QStringLiteral("90 TL") : QStringLiteral("0 TL"));
    QCOMPARE(status, "İptal (" + (earlier ? shortDate(cancelAt.date()) + ' ' : QString()) +
                         longTime(cancelAt.time()) + "): Yanlış masa");
    QCOMPARE(todayEarlierCancel, earlier ? QStringLiteral("1 fiş · −90 TL") : QString());
    QCOMPARE(todayTotal, earlier ? QStringLiteral("-90 TL") : QStringLiteral("0 TL"));
    const QStringList lines = desk.readLines(desk.paths.registerFile());
    if (earlier) {
        QCOMPARE(lines.mid(RegisterLine::date(0), 2), (QStringList{"", ""}));
        return;
    }
    // The reopened account, billed an hour after the cancel.
    desk.env.setNow(cancelAt.addSecs(60 * 60));
    desk.select(0);
    desk.env.messages().clear();
    settle(desk);
    const QList<QVariantList> bills =
        rows(desk.paths.ledgerFile(), "SELECT minutes, cancelled_at IS NULL, id FROM bills");
    QCOMPARE(bills.size(), 2);
    if (afterMidnight) // closed 23:55:03 after 90 minutes: from 22:25:03 to 02:00:03
        QCOMPARE(bills[1].at(0).toLongLong(), qint64(215));
    else
        QCOMPARE(bills[1].at(0).toLongLong(), nextMinutes);
}

QTEST_MAIN(TestTime)
#include "tst_time.moc"

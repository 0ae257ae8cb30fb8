// What the start leaves for later: windows made at their first use, the ledger opened and
// checked after the first paint, and what must still come first (a step left unfinished,
// before any handler; the check, before any use of the ledger).
#include "ledgerfixture.h"

#include "ayarlar.h"
#include "billwindow.h"
#include "cashdesk.h"
#include "deferred.h"
#include "firstpaint.h"
#include "hakkinda.h"
#include "preload.h"
#include "ucretgirisi.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimeEdit>

using namespace kv;

namespace {

QMap<int, QString> account(int table)
{
    return {{RegisterLine::date(table), "7.12.2026"},
            {RegisterLine::startTime(table), "20:00:00"},
            {RegisterLine::fee(table), "1000000"}};
}

// Runs SQL on the ledger file with a connection of the test's own.
bool execOn(const QString &file, const QStringList &sql)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "test-writer");
        db.setDatabaseName(file);
        ok = db.open();
        QSqlQuery q(db);
        for (const QString &s : sql)
            ok = ok && q.exec(s);
    }
    QSqlDatabase::removeDatabase("test-writer");
    return ok;
}

// An empty ledger as the program makes it. Made without a second desk: a test environment
// ending takes the message recorder with it.
bool emptyLedger(const QString &file)
{
    ledger::Ledger made;
    return made.open(file);
}

// A ledger of the program's own with 400 bills whose last page is then overwritten: its
// owner mark and its journal read well, only the full check finds the damage.
bool writeDamagedLedger(const QString &file)
{
    if (!emptyLedger(file) ||
        !execOn(file, {"WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n"
                       " WHERE k < 400) INSERT INTO bills(table_pos, table_name, opened_date,"
                       " opened_time, fee, closed_at, minutes, time_charge, minimum_applied,"
                       " extras_total, total, fee_line) SELECT 0, 'Masa 1', '6.12.2026',"
                       " '10:00:00', 1000000, printf('2026-12-06T%02d:%02d:00', 10 + k / 60,"
                       " k % 60), 60, 1000000, 0, 0, 1000000, '1000000' FROM n"}))
        return false;
    QFile f(file);
    if (!f.open(QIODevice::ReadWrite) || f.size() < 8 * 4096 || !f.seek(f.size() - 4096))
        return false;
    return f.write(QByteArray(4096, '\x5a')) == 4096;
}

int bills(const QString &file)
{
    int count = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "test-reader");
        db.setDatabaseName(file);
        QSqlQuery q(db);
        if (db.open() && q.exec("SELECT count(*) FROM bills") && q.next())
            count = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase("test-reader");
    return count;
}

// Notes when it was painted.
class Painted : public QWidget
{
public:
    qint64 at = 0;

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (at == 0)
            at = monotonicNs();
    }
};

} // namespace

class TestStartCost : public QObject
{
    Q_OBJECT

private slots:
    void onlyTheMainWindowAtStart();
    void deferredCheckFindsDamage_data();
    void deferredCheckFindsDamage();
    void soundLedgerCheckedAtFirstUse();
    void checkRunsBesideTheWindow_data();
    void checkRunsBesideTheWindow();
    void unfinishedStepComesFirst_data();
    void unfinishedStepComesFirst();
    void preloadTakesCleanFilesOnce_data();
    void preloadTakesCleanFilesOnce();
    void stepAtOpenRewritesWhatTheStartRead_data();
    void stepAtOpenRewritesWhatTheStartRead();
    void afterFirstPaint_data();
    void afterFirstPaint();
    void afterFirstPaintWithoutPaint();
};

void TestStartCost::onlyTheMainWindowAtStart()
{
    Desk desk;
    desk.prepare(3);
    desk.start();
    QVERIFY(desk.form()->findChildren<QDialog *>().isEmpty());
    QVERIFY(!desk.forms.Form2.made() && !desk.forms.Form3.made() && !desk.forms.Form6.made());
    // The fee calculation's hidden time boxes come with the first calculation, once.
    desk.select(0);
    QVERIFY(!desk.form()->findChild<QTimeEdit *>());
    for (int round = 0; round < 2; ++round) {
        desk.run([&] { desk.form()->SpeedButton3Click(); });
        QCOMPARE(desk.form()->findChildren<QTimeEdit *>().size(), 2);
        QVERIFY(desk.panel()->basla->parentWidget()->isHidden());
    }
    // The fee entry window comes with the settings window, whichever is asked for first.
    TForm6 *entry = desk.forms.Form6.get();
    QVERIFY(entry && desk.forms.Form3.made());
    QCOMPARE(desk.forms.Form6.get(), entry);
    QCOMPARE(desk.form()->findChildren<QDialog *>().size(), 2);
    // The about window, made by its menu entry, is the one kept.
    desk.run([&] { desk.form()->Hakknda1Click(); });
    TForm2 *about = desk.forms.Form2.get();
    QVERIFY(about && about->isVisible());
    about->SpeedButton1Click();
    desk.run([&] { desk.form()->Hakknda1Click(); });
    QCOMPARE(desk.forms.Form2.get(), about);
    QVERIFY(about->isVisible());
}

void TestStartCost::deferredCheckFindsDamage_data()
{
    QTest::addColumn<QString>("first"); // what comes first after the start
    QTest::newRow("the first paint") << "paint";
    QTest::newRow("a settle") << "settle";
    QTest::newRow("a key") << "key";
}

void TestStartCost::deferredCheckFindsDamage()
{
    QFETCH(QString, first);
    Desk desk;
    desk.prepare(1, {}, account(0));
    const QString file = desk.paths.ledgerFile();
    QVERIFY(writeDamagedLedger(file));
    const QByteArray content = TestEnvironment::readBytes(file);
    const QByteArray reg = TestEnvironment::readBytes(desk.paths.registerFile());
    desk.forms = createForms(desk.paths, nullptr, true);
    CashDesk *cash = desk.forms.Cash;
    auto &msgs = desk.env.messages();
    QVERIFY(msgs.all().isEmpty());
    QVERIFY(!cash->ledger().isOpen() && !cash->ledger().checkPending());
    desk.ui()->ListBox2->setCurrentRow(0);
    if (first == "paint") {
        cash->startLedger();
        QTRY_COMPARE(msgs.errors.size(), 1); // said once, when the check is done
        settle(desk);                        // and again when refused
        QCOMPARE(msgs.errors.size(), 2);
    } else if (first == "settle") {
        settle(desk); // opens the ledger, checks it, and is refused
        cash->startLedger();
        QCOMPARE(msgs.errors.size(), 1);
    } else {
        // The key opens the ledger first; its full check waits for its use.
        QTest::keyClick(desk.ui()->ListBox2, Qt::Key_Down);
        QVERIFY(cash->ledger().checkPending());
        QVERIFY(msgs.all().isEmpty());
        settle(desk);
        cash->startLedger();
        QCOMPARE(msgs.errors.size(), 1);
    }
    QCOMPARE(msgs.infos, QStringList());
    QVERIFY(msgs.errors.last().startsWith(msgs.errors.first()));
    QVERIFY2(msgs.errors.at(0).contains("Defter.db") && msgs.errors.at(0).contains("dokunulmadı"),
             qPrintable(msgs.errors.at(0)));
    QVERIFY(!cash->ledger().isOpen());
    QCOMPARE(TestEnvironment::readBytes(file), content);
    QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()), reg);
    QVERIFY(!QFile::exists(file + "-wal"));
}

void TestStartCost::soundLedgerCheckedAtFirstUse()
{
    Desk desk;
    desk.prepare(2, {}, account(1));
    QVERIFY(emptyLedger(desk.paths.ledgerFile()));
    desk.forms = createForms(desk.paths, nullptr, true);
    CashDesk *cash = desk.forms.Cash;
    QVERIFY(!cash->ledger().isOpen());
    desk.select(1);
    settle(desk);
    QCOMPARE(desk.env.messages().infos, QStringList{"Masa 2 için hesap kapatıldı!"});
    QVERIFY(cash->ledger().isOpen() && !cash->ledger().checkPending());
    cash->startLedger(); // nothing left to do
    QCOMPARE(desk.env.messages().infos.size(), 1);
    QCOMPARE(cash->ledger().billCount(), 1);
}

void TestStartCost::checkRunsBesideTheWindow_data()
{
    QTest::addColumn<bool>("usedAtOnce"); // a settle before the check is done
    QTest::newRow("left to finish") << false;
    QTest::newRow("used while it runs") << true;
}

void TestStartCost::checkRunsBesideTheWindow()
{
    QFETCH(bool, usedAtOnce);
    Desk desk;
    desk.prepare(2, {}, account(1));
    QVERIFY(emptyLedger(desk.paths.ledgerFile()));
    desk.forms = createForms(desk.paths, nullptr, true);
    CashDesk *cash = desk.forms.Cash;
    cash->startLedger();
    // Back at once, the check still to be taken: its result comes through the event loop.
    QVERIFY(cash->ledger().checkPending());
    auto &msgs = desk.env.messages();
    if (usedAtOnce) {
        desk.select(1);
        settle(desk); // waits for the check, then settles
        QCOMPARE(msgs.infos, QStringList{"Masa 2 için hesap kapatıldı!"});
        QVERIFY(!cash->ledger().checkPending());
    }
    QTRY_VERIFY(cash->ledger().isOpen());
    QTest::qWait(50); // the finished check's own report, when it comes after the settle
    QCOMPARE(msgs.infos.size(), usedAtOnce ? 1 : 0);
    QVERIFY(msgs.errors.isEmpty());
    QCOMPARE(cash->ledger().billCount(), usedAtOnce ? 1 : 0);
}

void TestStartCost::unfinishedStepComesFirst_data()
{
    QTest::addColumn<bool>("keyFirst");
    QTest::newRow("after the first paint") << false;
    QTest::newRow("before the first key's handler") << true;
}

void TestStartCost::unfinishedStepComesFirst()
{
    // A settle killed right after its transaction: the bill is in the ledger, the table
    // still open. Once the ledger is opened the table is free, before any handler can run:
    // Enter on it then opens a new account without asking about the old one.
    QFETCH(bool, keyFirst);
    Desk desk;
    desk.prepare(1, {}, account(0));
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), {"Çay", "15"});
    QVERIFY(emptyLedger(desk.paths.ledgerFile()));
    QVERIFY(execOn(desk.paths.ledgerFile(),
                   {"INSERT INTO bills(table_pos, table_name, opened_date, opened_time, fee,"
                    " closed_at, minutes, time_charge, minimum_applied, extras_total, total,"
                    " fee_line) VALUES(0, 'Masa 1', '7.12.2026', '20:00:00', 1000000,"
                    " '2026-12-07T21:00:00', 60, 1000000, 0, 15, 1000015, '1000000')",
                    "INSERT INTO journal(kind, created_at, bill_id, table_pos, table_name)"
                    " VALUES('settle', '2026-12-07T21:00:00', 1, 0, 'Masa 1')"}));
    desk.forms = createForms(desk.paths, nullptr, true);
    CashDesk *cash = desk.forms.Cash;
    QCOMPARE(desk.form()->hall().floor().row(0).state, counter::FloorRow::State::Open);
    desk.ui()->ListBox2->setCurrentRow(0);
    if (!keyFirst)
        cash->startLedger();
    QTest::keyClick(desk.ui()->ListBox2, Qt::Key_Return);
    auto &msgs = desk.env.messages();
    QVERIFY(msgs.errors.isEmpty());
    QVERIFY(msgs.questions.isEmpty());
    QCOMPARE(msgs.infos, QStringList{"Masa 1 için hesap açıldı!"});
    QCOMPARE(desk.readLines(desk.paths.registerFile()).mid(1, 2),
             (QStringList{"7.12.2026", "21:15:03"}));
    QCOMPARE(TestEnvironment::readBytes(desk.paths.tableExtrasFile("Masa 1")), QByteArray());
    QCOMPARE(bills(desk.paths.ledgerFile()), 1);
    // A step is finished only on a checked ledger: the check did not wait.
    QVERIFY(!cash->ledger().checkPending());
    if (keyFirst)
        cash->startLedger(); // nothing left to do
    QVERIFY(cash->ledger().isOpen());
    QCOMPARE(msgs.infos.size(), 1);
}

void TestStartCost::preloadTakesCleanFilesOnce_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QByteArray>("second"); // Masa 2's extras file; "dir" makes a directory
    QTest::addColumn<bool>("taken");
    QTest::newRow("clean") << "Masa" << QByteArray("Tost\r\n40\r\n") << true;
    QTest::newRow("empty") << "Masa" << QByteArray() << true;
    QTest::newRow("NUL byte") << "Masa"
                              << QByteArray("Tost\r\n4\x00"
                                            "0\r\n",
                                            11)
                              << false;
    QTest::newRow("directory") << "Masa" << QByteArray("dir") << false;
    QTest::newRow("Turkish prefix") << "Bilardo Şöleni" << QByteArray("Çay\r\n15\r\n") << true;
}

void TestStartCost::preloadTakesCleanFilesOnce()
{
    // What the start takes from the preload, it must not read again; what it does not
    // take, it reads itself and reports as before.
    QFETCH(QString, prefix);
    QFETCH(QByteArray, second);
    QFETCH(bool, taken);
    Desk desk;
    desk.prepare(2, {{SettingsLine::TablePrefix, prefix}});
    const QString first = desk.paths.tableExtrasFile(prefix + " 1");
    const QString other = desk.paths.tableExtrasFile(prefix + " 2");
    desk.writeLines(first, {"Çay", "15"});
    if (second == "dir")
        QVERIFY(QDir().mkpath(other));
    else
        TestEnvironment::writeBytes(other, second);
    Preload preload(desk.paths, {":/extras-16.png"});
    QCOMPARE(preload.takeLines(first), (QStringList{"Çay", "15"}));
    QCOMPARE(preload.takeLines(other).has_value(), taken);
    QCOMPARE(preload.takeLines(desk.paths.settingsFile())->value(SettingsLine::TablePrefix),
             prefix);
    QCOMPARE(preload.takeLines(desk.paths.registerFile())->value(0), QStringLiteral("2"));
    QVERIFY(preload.takeLines(desk.paths.catalogueFile()));
    QCOMPARE(preload.takePicture(":/extras-16.png").size(), QSize(16, 16));
    // Given once.
    QVERIFY(!preload.takeLines(first));
    QVERIFY(preload.takePicture(":/extras-16.png").isNull());
}

void TestStartCost::stepAtOpenRewritesWhatTheStartRead_data()
{
    QTest::addColumn<bool>("deferred");
    QTest::newRow("ledger opened in the start") << false;
    QTest::newRow("ledger opened after the first paint") << true;
}

void TestStartCost::stepAtOpenRewritesWhatTheStartRead()
{
    // A cancel killed right after its transaction: the settled table's account and extras
    // (Çay, 15) are put back when the ledger is opened. The floor bills what the step wrote,
    // not the empty extras file the start read before it.
    QFETCH(bool, deferred);
    Desk desk;
    desk.prepare(1);
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), {});
    QVERIFY(emptyLedger(desk.paths.ledgerFile()));
    QVERIFY(execOn(desk.paths.ledgerFile(),
                   {"INSERT INTO journal(kind, created_at, bill_id, table_pos, table_name,"
                    " register_lines, extras_file) VALUES('reopen', '2026-12-07T21:00:00', 1, 0,"
                    " 'Masa 1', '7.12.2026' || char(10) || '20:00:00' || char(10) || '1000000',"
                    " X'C761790D0A31350D0A')"}));
    desk.forms = createForms(desk.paths, nullptr, deferred);
    if (deferred)
        desk.forms.Cash->startLedger();
    const counter::FloorRow &row = desk.form()->hall().floor().row(0);
    QCOMPARE(row.state, counter::FloorRow::State::Open);
    QVERIFY(row.bill);
    QCOMPARE(row.bill->extrasTotal, 15);
    QVERIFY(desk.env.messages().all().isEmpty());
}

void TestStartCost::afterFirstPaint_data()
{
    QTest::addColumn<bool>("reportFirst");
    QTest::newRow("report installed first") << true;
    QTest::newRow("report installed last") << false;
}

void TestStartCost::afterFirstPaint()
{
    QFETCH(bool, reportFirst);
    QTemporaryDir dir;
    const QString report = dir.filePath("paint");
    qputenv("KELVORA_REPORT_PAINT", QFile::encodeName(report));
    Painted window;
    window.resize(200, 100);
    int calls = 0;
    qint64 ranAt = 0;
    const auto then = [&] {
        ++calls;
        ranAt = monotonicNs();
    };
    if (reportFirst)
        reportFirstPaint(&window);
    kv::afterFirstPaint(&window, then, 300);
    if (!reportFirst)
        reportFirstPaint(&window);
    QCOMPARE(calls, 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(calls, 1);
    QVERIFY(window.at > 0 && ranAt > window.at);
    // After the frame is reported: the deferred work is not in the measured start.
    QFile f(report);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const qint64 reported = f.readAll().trimmed().toLongLong();
    QVERIFY(reported > 0 && ranAt > reported);
    window.update();
    QTest::qWait(400); // past the fallback
    QCOMPARE(calls, 1);
    qunsetenv("KELVORA_REPORT_PAINT");
}

void TestStartCost::afterFirstPaintWithoutPaint()
{
    QWidget window; // never shown
    int calls = 0;
    kv::afterFirstPaint(
        &window, [&] { ++calls; }, 50);
    QTRY_COMPARE(calls, 1);
    QTest::qWait(100);
    QCOMPARE(calls, 1);
}

QTEST_MAIN(TestStartCost)
#include "tst_startcost.moc"

// Settling a table, moving an account, the day ledger with undo and export, and what a
// damaged ledger or an interrupted step leaves.
#include "ledgerfixture.h"

#include "applocale.h"
#include "ayarlar.h"
#include "billwindow.h"
#include "cashdesk.h"
#include "daybillsmodel.h"
#include "dayendwindow.h"
#include "movewindow.h"
#include "operations.h"
#include "ui_billwindow.h"
#include "ui_dayendwindow.h"
#include "ui_movewindow.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace kv;

namespace {
const QString kSelectTable = QStringLiteral("İşlem Yapacağınız Masayı Seçin!");

QMap<int, QString> account(int table, const QString &date, const QString &time, const QString &fee)
{
    return {{RegisterLine::date(table), date},
            {RegisterLine::startTime(table), time},
            {RegisterLine::fee(table), fee}};
}

// Runs statements on the ledger with a connection of the test's own; "reopen" starts a new
// connection, which reads the schema again.
bool execAll(const QString &file, const QStringList &statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "test-writer");
        db.setDatabaseName(file);
        ok = db.open();
        for (const QString &sql : statements) {
            if (sql == "reopen") {
                db.close();
                ok = ok && db.open();
                continue;
            }
            QSqlQuery q(db);
            if (ok && !q.exec(sql)) {
                qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
                ok = false;
            }
        }
    }
    QSqlDatabase::removeDatabase("test-writer");
    return ok;
}

// What a ledger made now holds that version 5 did not: taken away, it is as version 5 left it.
const QStringList kBeforeMoney{"DROP TABLE bill_treats",
                               "DROP TABLE payments",
                               "DROP TABLE customers",
                               "DROP TABLE shifts",
                               "DROP TABLE cash_outs",
                               "ALTER TABLE bills DROP COLUMN discount",
                               "ALTER TABLE bills DROP COLUMN discount_percent",
                               "ALTER TABLE bills DROP COLUMN discount_reason",
                               "ALTER TABLE bills DROP COLUMN treats",
                               "ALTER TABLE bills DROP COLUMN net",
                               "ALTER TABLE bills DROP COLUMN part"};

// The ledger's steps over a desk's files, without the windows: Masa 1 open since 20:00 with
// Çay (50 TL) and Tost (150 TL), Masa 2 open since 20:30, Masa 3 free.
struct Till
{
    Desk desk;
    ledger::Ledger ledger;
    RecordList reg;
    std::unique_ptr<ledger::Operations> ops;

    Till()
    {
        QMap<int, QString> r = account(0, "7.12.2026", "20:00:00", "600");
        r.insert(account(1, "7.12.2026", "20:30:00", "600"));
        desk.prepare(3, {}, r);
        desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), {"Çay", "50", "Tost", "150"});
        start();
    }
    // As a new start finds the files.
    void start()
    {
        ops.reset();
        reg.load(desk.paths.registerFile());
        QVERIFY(ledger.open(desk.paths.ledgerFile()));
        ops = std::make_unique<ledger::Operations>(
            ledger, reg, desk.paths, [](int t) { return "Masa " + QString::number(t + 1); });
    }
    // Table t's account as a bill: `time` for its time, and Masa 1's extras.
    ledger::BillRecord bill(int t, qint64 time) const
    {
        ledger::BillRecord b;
        b.tablePos = t;
        b.tableName = "Masa " + QString::number(t + 1);
        b.openedDate = reg.value(RegisterLine::date(t));
        b.openedTime = reg.value(RegisterLine::startTime(t));
        b.feeLine = "600";
        b.closedAt = desk.env.now();
        if (t == 0)
            b.extras = {{"Çay", 50}, {"Tost", 150}};
        b.bill = {60, 600, time, false, t == 0 ? 200 : 0, time + (t == 0 ? 200 : 0)};
        return b;
    }
    QList<QVariantList> rows(const QString &sql) const
    {
        return ::rows(desk.paths.ledgerFile(), sql);
    }
};

counter::Payment paid(counter::Method method, qint64 amount, const QString &customer = {})
{
    return {method, amount, customer, {}, false, 0};
}

// "cash 300" for each payment, "ahead" after one taken ahead, the customer after a tab's.
QStringList paymentsText(const QList<counter::Payment> &payments)
{
    QStringList out;
    for (const counter::Payment &p : payments)
        out << QStringLiteral("%1 %2%3%4")
                   .arg(counter::methodKey(p.method))
                   .arg(p.amount)
                   .arg(p.customer.isEmpty() ? QString() : " " + p.customer,
                        p.ahead ? " ahead" : "");
    return out;
}

// The text thrown, empty when nothing was.
template <class F> QString thrown(F &&f)
{
    try {
        f();
    } catch (const RuntimeError &e) {
        return e.text();
    }
    return {};
}

// Two tables, both open since the evening.
void prepareTwoOpen(Desk &desk)
{
    QMap<int, QString> reg = account(0, "7.12.2026", "20:00:00", "1000000");
    reg.insert(account(1, "7.12.2026", "21:00:00", "1000000"));
    desk.prepare(2, {}, reg);
}

} // namespace

class TestLedger : public QObject
{
    Q_OBJECT

private slots:
    void settling_data();
    void settling();
    void payingNothingChangesNothing();
    void refusals_data();
    void refusals();
    void damagedLedgerIsLeftAlone_data();
    void damagedLedgerIsLeftAlone();
    void moving_data();
    void moving();
    void cancellingReopens_data();
    void cancellingReopens();
    void dayTotals();
    void settlementRoundTrip_data();
    void settlementRoundTrip();
    void moneyThroughAShift_data();
    void moneyThroughAShift();
    void moneyNeedsTheLedger_data();
    void moneyNeedsTheLedger();
    void droppedMoneyStepIsUndone_data();
    void droppedMoneyStepIsUndone();
    void olderLedgerIsUpgraded_data();
    void olderLedgerIsUpgraded();
    void ledgerNotOursIsOnlyRead_data();
    void ledgerNotOursIsOnlyRead();
    void droppedWorkIsBilled_data();
    void droppedWorkIsBilled();
    void businessDay_data();
    void businessDay();
    void exportCsv();
    void exportedCells_data();
    void exportedCells();
    void momentsReadAsQtReadsThem_data();
    void momentsReadAsQtReadsThem();
    void dayColumnsFitTheirWidestText_data();
    void dayColumnsFitTheirWidestText();
    void unfinishedStepAtStart_data();
    void unfinishedStepAtStart();
    void ledgerReplacedBetweenBills_data();
    void ledgerReplacedBetweenBills();
    void aReaderHoldsNoStepUp();
    void leftoverLogIsCheckedFirst_data();
    void leftoverLogIsCheckedFirst();
};

void TestLedger::settling_data()
{
    QTest::addColumn<bool>("multiple");
    QTest::addColumn<QString>("minimum"); // "": off
    QTest::addColumn<QString>("opened");  // date|time as the register holds them
    QTest::addColumn<QString>("closed");  // ISO
    QTest::addColumn<QStringList>("booked");
    QTest::addColumn<QVariantList>("bill"); // fee, minutes, time charge, minimum, extras, total

    const QStringList none;
    QTest::newRow("single fee") << false << ""
                                << "7.12.2026|21:15:03"
                                << "2026-12-07T23:02:40"
                                << QStringList{"Çay", "15000", "Tost", "40000"}
                                << QVariantList{1000000, 107, 1783333, 0, 55000, 1838333};
    QTest::newRow("multiple fees: the stamped fee")
        << true << ""
        << "7.12.2026|21:15:03"
        << "2026-12-07T23:02:40" << none << QVariantList{500000, 107, 891666, 0, 0, 891666};
    QTest::newRow("minimum charge") << false << "1500000"
                                    << "7.12.2026|22:50:00"
                                    << "2026-12-07T23:02:40" << QStringList{"Su", "10"}
                                    << QVariantList{1000000, 12, 1500000, 1, 10, 1500010};
    QStringList many; // more than one statement's worth of rows
    for (int k = 1; k <= 201; ++k)
        many << QStringLiteral("Extra %1").arg(k) << QString::number(k);
    QTest::newRow("201 extras") << false << ""
                                << "7.12.2026|21:15:03"
                                << "2026-12-07T23:02:40" << many
                                << QVariantList{1000000, 107, 1783333, 0, 20301, 1803634};
    // 64 + 16 + 4 + 1: each size of statement once.
    QTest::newRow("85 extras") << false << ""
                               << "7.12.2026|21:15:03"
                               << "2026-12-07T23:02:40" << many.mid(0, 170)
                               << QVariantList{1000000, 107, 1783333, 0, 3655, 1786988};
    // A guest who only had a tea at a free table: the extras alone, no minimum charge.
    QTest::newRow("free table, extras alone")
        << false << "1500000"
        << "|"
        << "2026-12-07T23:02:40" << QStringList{"Çay", "15000"}
        << QVariantList{0, 0, 0, 0, 15000, 15000};
    QTest::newRow("past midnight")
        << false << ""
        << "7.12.2026|23:30:00"
        << "2026-12-08T00:14:59" << none << QVariantList{1000000, 44, 733333, 0, 0, 733333};
}

void TestLedger::settling()
{
    QFETCH(bool, multiple);
    QFETCH(QString, minimum);
    QFETCH(QString, opened);
    QFETCH(QString, closed);
    QFETCH(QStringList, booked);
    QFETCH(QVariantList, bill);
    Desk desk;
    QMap<int, QString> settings{{SettingsLine::MultipleFees, flagText(multiple)}};
    if (!minimum.isEmpty())
        settings.insert(
            {{SettingsLine::MinimumChargeOn, "T"}, {SettingsLine::MinimumCharge, minimum}});
    const QString date = opened.section('|', 0, 0), time = opened.section('|', 1);
    desk.prepare(3, settings, account(1, date, time, "500000"));
    const QString extrasFile = desk.paths.tableExtrasFile("Masa 2");
    if (!booked.isEmpty())
        desk.writeLines(extrasFile, booked);
    QStringList freed = desk.readLines(desk.paths.registerFile());
    freed[4] = freed[5] = freed[6] = QString();
    desk.start();
    desk.env.setNow(closed);
    desk.select(1);
    settle(desk);

    QCOMPARE(desk.env.messages().errors, QStringList());
    QCOMPARE(desk.env.messages().infos, QStringList{"Masa 2 için hesap kapatıldı!"});
    // What the bill window showed.
    const Ui::BillWindow *w = desk.forms.Cash->billWindow()->ui;
    QCOMPARE(w->TableName->text(), QStringLiteral("Masa 2"));
    QCOMPARE(w->OpenedValue->text(), date.isEmpty() ? "-" : date + ' ' + time);
    QCOMPARE(w->TotalValue->text(), counter::amountText(bill.at(5).toLongLong()));
    QCOMPARE(w->MinimumNote->isVisibleTo(desk.forms.Cash->billWindow()), bill.at(3).toInt() == 1);
    QCOMPARE(w->ExtrasList->count(), qMax<qsizetype>(1, booked.size() / 2));
    // The ledger's row and its extras.
    const QString db = desk.paths.ledgerFile();
    const QList<QVariantList> bills =
        rows(db, "SELECT table_pos, table_name, opened_date, opened_time, fee, closed_at, minutes,"
                 " time_charge, minimum_applied, extras_total, total, cancelled_at FROM bills");
    QCOMPARE(bills.size(), 1);
    QCOMPARE(
        bills[0].mid(0, 6),
        (QVariantList{1, "Masa 2", date, time, bill.at(0),
                      QDateTime::fromString(closed, Qt::ISODate).toString("yyyy-MM-ddTHH:mm:ss")}));
    QCOMPARE(bills[0].mid(6, 5), bill.mid(1));
    QVERIFY(bills[0].at(11).isNull());
    QVariantList extras;
    for (const QVariantList &r : rows(db, "SELECT pos, name, price FROM bill_extras ORDER BY pos"))
        extras << r;
    QVariantList expectedExtras;
    for (int k = 0; k + 1 < booked.size(); k += 2)
        expectedExtras << k / 2 << booked.at(k) << booked.at(k + 1).toInt();
    QCOMPARE(extras, expectedExtras);
    // The table is free: its lines emptied, every other byte as it was; no extras left.
    QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()), RecordList::toBytes(freed));
    QCOMPARE(TestEnvironment::readBytes(extrasFile), QByteArray());
    QCOMPARE(desk.ui()->Label20->text(), QStringLiteral("-"));
    QCOMPARE(desk.ui()->ListBox2->item(1)->data(Qt::AccessibleDescriptionRole).toString(),
             QStringLiteral("Boş"));
}

void TestLedger::payingNothingChangesNothing()
{
    Desk desk;
    desk.prepare(1, {}, account(0, "7.12.2026", "20:00:00", "1000000"));
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), {"Çay", "15"});
    const QByteArray reg = TestEnvironment::readBytes(desk.paths.registerFile());
    desk.start();
    desk.select(0);
    settle(desk, false);
    QVERIFY(desk.env.messages().all().isEmpty());
    QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()), reg);
    QCOMPARE(desk.readLines(desk.paths.tableExtrasFile("Masa 1")), (QStringList{"Çay", "15"}));
    QVERIFY(rows(desk.paths.ledgerFile(), "SELECT id FROM bills").isEmpty());
}

void TestLedger::refusals_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<QString>("message");
    QTest::newRow("no table") << -1 << kSelectTable;
    QTest::newRow("free table") << 1 << "Bu masada açık hesap yok!";
}

void TestLedger::refusals()
{
    QFETCH(int, table);
    QFETCH(QString, message);
    Desk desk;
    desk.prepare(2, {}, account(0, "7.12.2026", "20:00:00", "1000000"));
    desk.start();
    if (table >= 0)
        desk.select(table);
    for (auto handler : {&CashDesk::HesabiKapatClick, &CashDesk::MasayiTasiClick}) {
        desk.env.messages().clear();
        desk.run([&] { (desk.forms.Cash->*handler)(); });
        QCOMPARE(desk.env.messages().infos, QStringList{message});
    }
}

void TestLedger::damagedLedgerIsLeftAlone_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("link"); // Defter.db a link to a file with the content elsewhere
    QTest::newRow("not a database") << QByteArray("this is no ledger\n").repeated(300) << false;
    QByteArray torn("SQLite format 3\0", 16);
    torn += QByteArray(4080, '\x5a');
    QTest::newRow("damaged database") << torn << false;
    QTest::newRow("a link to an empty file elsewhere") << QByteArray() << true;
}

void TestLedger::damagedLedgerIsLeftAlone()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, link);
    Desk desk;
    desk.prepare(1, {}, account(0, "7.12.2026", "20:00:00", "1000000"));
    const QString elsewhere = desk.env.dataDir() + "/../elsewhere.db";
    if (link)
        QFile::link(elsewhere, desk.paths.ledgerFile());
    TestEnvironment::writeBytes(link ? elsewhere : desk.paths.ledgerFile(), content);
    const QByteArray reg = TestEnvironment::readBytes(desk.paths.registerFile());
    desk.start();
    // Said once at start, as an error; the counter goes on.
    QCOMPARE(desk.env.messages().infos, QStringList());
    QCOMPARE(desk.env.messages().errors.size(), 1);
    const QString problem = desk.env.messages().errors.first();
    QVERIFY2(problem.contains("Defter.db") && problem.contains("dokunulmadı"), qPrintable(problem));
    desk.select(0);
    desk.env.messages().clear();
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QVERIFY(desk.env.messages().all().isEmpty());
    // Settling and the day's takings are refused, and nothing is written.
    settle(desk);
    desk.run([&] { desk.forms.Cash->GunSonuClick(); });
    // A restart, whose time the ledger cannot take, too; creating the tables, which drops
    // nothing here, goes on without it.
    desk.env.messages().defaultAnswer = true;
    desk.run([&] { desk.form()->ListBox2DblClick(); });
    TForm3 *settings = desk.forms.Form3.get();
    settings->findChild<QLineEdit *>("masasayisi")->setText("1");
    settings->findChild<QLineEdit *>("Edit1")->setText("Masa");
    desk.run([&] { settings->SpeedButton2Click(); });
    QCOMPARE(desk.env.messages().errors, (QStringList{problem + "\nHesap kapatılmadı.", problem,
                                                      problem + "\nHesap yeniden başlatılmadı."}));
    QCOMPARE(desk.env.messages().infos, QStringList{"Masalar Oluşturuldu!"});
    QCOMPARE(TestEnvironment::readBytes(desk.paths.ledgerFile()), content);
    QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()), reg);
    QVERIFY(!QFile::exists(desk.paths.ledgerFile() + "-wal"));
    QVERIFY(!QFile::exists(elsewhere + "-wal"));
}

void TestLedger::moving_data()
{
    QTest::addColumn<QStringList>("booked");
    QTest::newRow("without extras") << QStringList();
    QTest::newRow("with extras") << QStringList{"Çay", "15000", "Şalgam", "20000"};
}

void TestLedger::moving()
{
    QFETCH(QStringList, booked);
    Desk desk;
    // Masa 1 open; Masa 2 open elsewhere; Masa 3 free with an extra booked; Masa 4 free.
    QMap<int, QString> reg = account(0, "7.12.2026", "20:00:00", "750000");
    reg.insert(account(1, "7.12.2026", "20:30:00", "1000000"));
    desk.prepare(5, {}, reg);
    if (!booked.isEmpty())
        desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), booked);
    desk.writeLines(desk.paths.tableExtrasFile("Masa 3"), {"Su", "5"});
    desk.writeLines(desk.paths.tableExtrasFile("Masa 5"), {}); // cleared: free
    const QByteArray extrasBytes = TestEnvironment::readBytes(desk.paths.tableExtrasFile("Masa 1"));
    desk.start();
    desk.select(0);
    MoveWindow *w = desk.forms.Cash->moveWindow();
    QStringList offered;
    ModalDriver driver(w, {[&] {
                           for (int i = 0; i < w->ui->FreeTables->count(); ++i)
                               offered << w->ui->FreeTables->item(i)->text();
                           w->ui->FreeTables->setCurrentRow(0); // Masa 4
                           w->ui->MoveButton->click();
                       }});
    desk.run([&] { desk.forms.Cash->MasayiTasiClick(); });
    QCOMPARE(offered, (QStringList{"Masa 4", "Masa 5"}));
    QCOMPARE(desk.env.messages().infos, QStringList{"Masa 1 hesabı Masa 4 masasına taşındı!"});
    const QStringList lines = desk.readLines(desk.paths.registerFile());
    QCOMPARE(lines.mid(1, 3), (QStringList{"", "", ""}));
    QCOMPARE(lines.mid(10, 3), (QStringList{"7.12.2026", "20:00:00", "750000"}));
    QCOMPARE(lines.mid(4, 3), (QStringList{"7.12.2026", "20:30:00", "1000000"}));
    QVERIFY(!QFile::exists(desk.paths.tableExtrasFile("Masa 1")));
    QCOMPARE(TestEnvironment::readBytes(desk.paths.tableExtrasFile("Masa 4")),
             booked.isEmpty() ? QByteArray("<missing>") : extrasBytes);
    QCOMPARE(desk.ui()->ListBox2->currentRow(), 3); // the view follows the account
    QCOMPARE(items(desk.ui()->ListBox4).size(), qMax<qsizetype>(1, booked.size() / 2));
}

void TestLedger::cancellingReopens_data()
{
    QTest::addColumn<int>("tables");
    QTest::addColumn<QStringList>("booked"); // empty: no extras file at all
    QTest::addColumn<QString>("after");      // after paying: "new account", "extras" or ""
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<int>("chosen"); // row in the free tables offered; -1: "Vazgeç"
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("reopenedOn"); // -1: the bill stands
    QTest::addColumn<QStringList>("reopenedExtras");
    const QStringList tea{"Çay", "15", "Tost", "40"};
    const QString reopened = QStringLiteral("Fiş iptal edildi; Masa 1 hesabı yeniden açıldı.");
    QTest::newRow("with extras") << 1 << tea << "" << QList<bool>() << 0 << reopened << 0 << tea;
    QTest::newRow("no extras file")
        << 1 << QStringList() << "" << QList<bool>() << 0 << reopened << 0 << QStringList();
    QTest::newRow("table taken, none free")
        << 1 << tea << "new account" << QList<bool>() << 0
        << "Fiş iptal edilmedi: Masa 1 dolu ve hesabın yeniden açılabileceği boş masa yok." << -1
        << QStringList();
    QTest::newRow("table taken, reopened on a free one")
        << 3 << tea << "new account" << QList<bool>() << 1
        << "Fiş iptal edildi; Masa 1 hesabı Masa 3 masasında yeniden açıldı." << 2 << tea;
    QTest::newRow("table taken, given up") << 2 << tea << "new account" << QList<bool>() << -1
                                           << "Fiş iptal edilmedi." << -1 << QStringList();
    QTest::newRow("extras left on the table kept")
        << 1 << tea << "extras" << QList<bool>{false} << 0 << reopened << 0
        << (tea + QStringList{"Su", "5"});
    QTest::newRow("extras left on the table dropped")
        << 1 << tea << "extras" << QList<bool>{true} << 0 << reopened << 0 << tea;
}

void TestLedger::cancellingReopens()
{
    QFETCH(int, tables);
    QFETCH(QStringList, booked);
    QFETCH(QString, after);
    QFETCH(QList<bool>, answers);
    QFETCH(int, chosen);
    QFETCH(QString, message);
    QFETCH(int, reopenedOn);
    QFETCH(QStringList, reopenedExtras);
    Desk desk;
    desk.prepare(tables, {{SettingsLine::MultipleFees, "T"}},
                 account(0, "7.12.2026", "20:00:00", "750000"));
    const QString extrasFile = desk.paths.tableExtrasFile("Masa 1");
    if (!booked.isEmpty())
        desk.writeLines(extrasFile, booked);
    desk.start();
    desk.select(0);
    settle(desk);
    if (after == "new account") {
        desk.writeLines(desk.paths.feeListFile(), {"900000"});
        TForm7 *fees = desk.forms.Form7.get();
        ModalDriver choose(fees, {[fees] {
                               fees->ListBox1->setCurrentRow(0);
                               fees->ListBox1DblClick();
                           }});
        desk.run([&] { desk.form()->ListBox2DblClick(); });
    } else if (after == "extras") {
        desk.writeLines(extrasFile, {"Su", "5"}); // a guest's tea at the free table
    }
    const QByteArray regAfter = TestEnvironment::readBytes(desk.paths.registerFile());
    desk.env.messages().clear();
    desk.env.messages().answers = answers;

    DayEndWindow *w = desk.forms.Cash->dayEndWindow();
    QList<std::optional<QString>> reasons{QStringLiteral(" "), QStringLiteral("Yanlış masa")};
    w->askReason = [&] { return reasons.takeFirst(); };
    MoveWindow *tablesOffered = desk.forms.Cash->moveWindow();
    ModalDriver offer(tablesOffered, {[&] {
                          if (chosen < 0)
                              return tablesOffered->reject();
                          tablesOffered->ui->FreeTables->setCurrentRow(chosen);
                          tablesOffered->ui->MoveButton->click();
                      }});
    ModalDriver driver(w, {[w] {
                               w->ui->BillsTable->selectRow(0);
                               w->CancelBillClick(); // an empty reason is refused
                               w->CancelBillClick();
                           },
                           [w] { w->accept(); }});
    desk.run([&] { desk.forms.Cash->GunSonuClick(); });
    QCOMPARE(desk.env.messages().infos, (QStringList{"İptal için bir neden girin!", message}));
    QVERIFY(desk.env.messages().answers.isEmpty());
    const QList<QVariantList> bills =
        rows(desk.paths.ledgerFile(), "SELECT cancelled_at, cancel_reason, total FROM bills");
    // The bill, and the extras dropped from the table when the operator said so.
    QCOMPARE(bills.size(), answers.value(0) ? 2 : 1); // nothing is ever deleted
    if (answers.value(0))
        QCOMPARE(bills[1], (QVariantList{"2026-12-07T21:15:03", "Silindi", 5}));
    if (reopenedOn < 0) {
        QVERIFY(bills[0].at(0).isNull());
        QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()), regAfter);
        return;
    }
    QCOMPARE(bills[0].mid(0, 2), (QVariantList{"2026-12-07T21:15:03", "Yanlış masa"}));
    QCOMPARE(w->ui->CountValue->text(), QStringLiteral("0"));
    // The row shows what the ledger now holds.
    QCOMPARE(w->ui->BillsTable->model()->index(0, 6).data().toString(),
             QStringLiteral("İptal (21:15:03): Yanlış masa"));
    // The account as it was, on its own table or the one chosen.
    const QStringList lines = desk.readLines(desk.paths.registerFile());
    QCOMPARE(lines.mid(RegisterLine::date(reopenedOn), 3),
             (QStringList{"7.12.2026", "20:00:00", "750000"}));
    const QString reopenedFile =
        desk.paths.tableExtrasFile(QStringLiteral("Masa %1").arg(reopenedOn + 1));
    QCOMPARE(QFile::exists(reopenedFile), !reopenedExtras.isEmpty() || after == "extras");
    if (!reopenedExtras.isEmpty())
        QCOMPARE(desk.readLines(reopenedFile), reopenedExtras);
    if (reopenedOn != 0) // the new guest keeps Masa 1
        QCOMPARE(lines.mid(1, 3), RecordList::fromBytes(regAfter).mid(1, 3));
}

void TestLedger::dayTotals()
{
    Desk desk;
    QMap<int, QString> reg = account(0, "7.12.2026", "20:00:00", "250");
    reg.insert(account(1, "7.12.2026", "20:40:00", "250"));
    reg.insert(account(2, "7.12.2026", "19:15:03", "250"));
    desk.prepare(3, {{SettingsLine::UnitFee, "250"}}, reg);
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), {"Çay", "5", "Tost", "60"});
    desk.start();
    for (int t : {0, 1}) {
        desk.select(t);
        settle(desk);
    }
    desk.env.messages().defaultAnswer = true;
    desk.select(2);
    desk.run([&] { desk.form()->ListBox2DblClick(); });
    QCOMPARE(desk.env.messages().errors, QStringList());
    DayEndWindow *w = desk.forms.Cash->dayEndWindow();
    w->showDay(QDate(2026, 12, 7));
    const Ui::DayEndWindow *ui = w->ui;
    // 75 min (312 TL) with 65 TL of extras, and 35 min (145 TL); the restart's 120 min apart.
    QCOMPARE((QStringList{ui->CountValue->text(), ui->TimeValue->text(), ui->ExtrasValue->text(),
                          ui->TotalValue->text(), ui->RestartValue->text()}),
             (QStringList{"2", "457 TL", "65 TL", "522 TL", "1 hesap · 500 TL"}));
    QCOMPARE(w->ui->BillsTable->model()->index(2, 6).data().toString(),
             QStringLiteral("Yeniden başlatıldı (21:15:03)"));
}

void TestLedger::settlementRoundTrip_data()
{
    QTest::addColumn<QList<int>>("treated"); // the extras on the house; -1: the time charge
    QTest::addColumn<int>("percent");
    QTest::addColumn<qint64>("discount"); // as an amount, where no percentage
    QTest::addColumn<qint64>("ahead");    // cash taken ahead with "Ayrı Öde"
    QTest::addColumn<QStringList>("payments");
    QTest::addColumn<qint64>("net");
    QTest::addColumn<QList<qint64>>("byMethod"); // cash, card, tab
    // Masa 1: 800 TL of time, Çay 50 TL and Tost 150 TL.
    QTest::newRow("nothing given: written as before")
        << QList<int>{} << 0 << qint64(0) << qint64(0) << QStringList{} << qint64(1000)
        << QList<qint64>{0, 0, 0};
    QTest::newRow("paid whole in cash")
        << QList<int>{} << 0 << qint64(0) << qint64(0) << QStringList{"cash 1000"} << qint64(1000)
        << QList<qint64>{1000, 0, 0};
    // 10 % of 950; part of it taken ahead, the rest by card and on Ahmet's tab.
    QTest::newRow("a treat, a percentage, split three ways")
        << QList<int>{0} << 10 << qint64(0) << qint64(100)
        << QStringList{"card 355", "tab 400 Ahmet"} << qint64(855) << QList<qint64>{100, 355, 400};
    // 7 % of 850 is 59.5: 59.
    QTest::newRow("a percentage, rounded down")
        << QList<int>{1} << 7 << qint64(0) << qint64(0) << QStringList{"cash 791"} << qint64(791)
        << QList<qint64>{791, 0, 0};
    QTest::newRow("the time on the house, an amount off")
        << QList<int>{-1, 0} << 0 << qint64(33) << qint64(0) << QStringList{"card 117"}
        << qint64(117) << QList<qint64>{0, 117, 0};
}

void TestLedger::settlementRoundTrip()
{
    // Written as the hall works it out, read back whole and in the day's listing.
    QFETCH(QList<int>, treated);
    QFETCH(int, percent);
    QFETCH(qint64, discount);
    QFETCH(qint64, ahead);
    QFETCH(QStringList, payments);
    QFETCH(qint64, net);
    QFETCH(QList<qint64>, byMethod);
    Till till;
    if (ahead)
        till.ops->payApart(0, {}, {}, paid(counter::Method::Cash, ahead), {});
    ledger::BillRecord b = till.bill(0, 800);
    counter::Settlement &s = b.settlement;
    for (int t : treated)
        s.treats << counter::Treat{t, 0, "ev sahibi"};
    s.discount = {discount, percent, discount || percent ? "müdavim" : ""};
    s.payments = till.ledger.paymentsAhead(0);
    QCOMPARE(s.payments.size(), ahead ? 1 : 0);
    for (const QString &p : payments)
        s.payments << paid(*counter::methodOf(p.section(' ', 0, 0)),
                           p.section(' ', 1, 1).toLongLong(), p.section(' ', 2));
    QCOMPARE(counter::dueOf(b.bill, {50, 150}, s).net, net);
    const qint64 id = till.ops->settle(b, {});
    const QStringList expected =
        (ahead ? QStringList{QStringLiteral("cash %1 ahead").arg(ahead)} : QStringList()) +
        payments;
    const ledger::BillRecord read = *till.ledger.bill(id);
    QCOMPARE(read.settlement.discount, s.discount);
    QCOMPARE(read.settlement.treats, s.treats);
    QCOMPARE(paymentsText(read.settlement.payments), expected);
    QCOMPARE(read.due().net, net);
    QCOMPARE(read.due().left, payments.isEmpty() && !ahead ? net : 0);
    const QList<ledger::BillRecord> day = till.ledger.bills(
        ledger::businessDayStart(QDate(2026, 12, 7)), ledger::businessDayStart(QDate(2026, 12, 8)),
        ledger::Ledger::Detail::Listing);
    QCOMPARE(day.size(), 1);
    QCOMPARE(day.first().due(), read.due());
    QCOMPARE(paymentsText(day.first().settlement.payments), expected);
    const ledger::DayTotals totals = ledger::dayTotals(day);
    QCOMPARE(totals.net, net);
    QCOMPARE((QList<qint64>{totals.byMethod.cash, totals.byMethod.card, totals.byMethod.tab}),
             byMethod);
    QCOMPARE(till.rows("SELECT net, treats, part FROM bills"),
             (QList<QVariantList>{{net, read.due().treats, 0}}));
    // Those of the settle at its closing, the one taken ahead when it was.
    QCOMPARE(till.rows("SELECT DISTINCT at FROM payments WHERE ahead = 0"),
             payments.isEmpty() ? QList<QVariantList>{}
                                : QList<QVariantList>{{"2026-12-07T21:15:03"}});
    QVERIFY(till.ledger.paymentsAhead(0).isEmpty());
    const bool tab = byMethod.at(2) > 0;
    QCOMPARE(till.ledger.customers(), tab ? QStringList{"Ahmet"} : QStringList());
    if (tab)
        QCOMPARE(till.ledger.tabBalances().first().balance, byMethod.at(2));
}

void TestLedger::moneyThroughAShift_data()
{
    QTest::addColumn<bool>("refunded");
    QTest::addColumn<qint64>("expected"); // cash in the drawer at the close
    // 500 + 300 cash taken + 200 collected − 50 taken out, less the refund of 300.
    QTest::newRow("cancelled, money given back") << true << qint64(650);
    QTest::newRow("cancelled, money kept") << false << qint64(950);
}

void TestLedger::moneyThroughAShift()
{
    QFETCH(bool, refunded);
    QFETCH(qint64, expected);
    using M = counter::Method;
    Till till;
    const qint64 shiftId = till.ops->openShift("Ayşe", 500, {"shift_open", {}, "{}", 500});
    QCOMPARE(thrown([&] { till.ops->openShift("Ayşe", 0, {}); }),
             QStringLiteral("Açık bir vardiya var."));
    // Masa 1: 1000 TL in three parts; Masa 2: 400 TL all on Ahmet's tab.
    ledger::BillRecord a = till.bill(0, 800);
    a.settlement.payments = {paid(M::Cash, 300), paid(M::Card, 200), paid(M::Tab, 500, "Ahmet")};
    const qint64 aId = till.ops->settle(a, {});
    ledger::BillRecord b = till.bill(1, 400);
    b.settlement.payments = {paid(M::Tab, 400, "ahmet ")};
    till.ops->settle(b, {});
    QCOMPARE(till.ledger.tabBalances().first().balance, 900);
    till.ops->collect("Ahmet", paid(M::Cash, 200), {"tab_collect", {}, "{}", 200});
    till.ops->cashOut(50, "Tüpçü", {"cash_out", {}, "{}", 50});
    till.ops->cancel(aId, "yanlış masa", till.desk.env.now(), {}, {}, refunded);
    QCOMPARE(till.rows("SELECT count(*) FROM payments WHERE bill_id = 1 AND kind = 'sale'"
                       " AND cancelled_at IS NULL"),
             QList<QVariantList>{{0}});
    QCOMPARE(till.rows("SELECT method, amount FROM payments WHERE kind = 'refund'"),
             refunded ? (QList<QVariantList>{{"cash", 300}, {"card", 200}})
                      : QList<QVariantList>{});
    // The tab part of the cancelled bill is no longer owed: 400 − 200, then paid off by card.
    QCOMPARE(till.ledger.tabBalances().first().balance, 200);
    QCOMPARE(thrown([&] { till.ops->collect("Ahmet", paid(M::Card, 201), {}); }),
             QStringLiteral("Tahsil edilecek tutar (201 TL), Ahmet adlı müşterinin veresiye "
                            "borcunu (200 TL) aşıyor."));
    till.ops->collect("AHMET", paid(M::Card, 200), {});
    QCOMPARE(till.ledger.tabBalances().first().balance, 0);
    QCOMPARE(till.ledger.tabLines("Ahmet").size(), 4);
    const ledger::ShiftReport r =
        till.ledger.shiftReport(*till.ledger.currentShift(), till.desk.env.now().addSecs(1));
    QCOMPARE(r.taken, (ledger::MethodSums{300, 200, 900}));
    QCOMPARE(r.collected, (ledger::MethodSums{200, 200, 0}));
    QCOMPARE(r.refunded, (refunded ? ledger::MethodSums{300, 200, 0} : ledger::MethodSums{}));
    QCOMPARE(r.cashOut, 50);
    QCOMPARE(r.net, 400);
    QCOMPARE(r.cancelled.size(), 1);
    QCOMPARE(r.expectedCash(), expected);
    till.ops->closeShift(shiftId, r.expectedCash(), expected - 10, "bozuk para", {});
    QVERIFY(!till.ledger.currentShift());
    QCOMPARE(till.rows("SELECT expected, counted, note FROM shifts"),
             (QList<QVariantList>{{expected, expected - 10, "bozuk para"}}));
    // Each with its event, chained.
    QCOMPARE(till.rows("SELECT kind FROM events ORDER BY id"),
             (QList<QVariantList>{{"shift_open"}, {"tab_collect"}, {"cash_out"}}));
    QVERIFY(ledger::verifyChain(till.desk.paths.ledgerFile()).ok);
}

void TestLedger::moneyNeedsTheLedger_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("said"); // how the refusal ends
    QTest::newRow("collect") << "collect"
                             << "tahsilat kaydedilmedi.";
    QTest::newRow("open a shift") << "shift_open"
                                  << "vardiya açılmadı.";
    QTest::newRow("cash out") << "cash_out"
                              << "kasadan çıkış kaydedilmedi.";
    QTest::newRow("pay ahead") << "part"
                               << "ödeme alınmadı.";
}

void TestLedger::moneyNeedsTheLedger()
{
    // Another program holds the ledger: the money is not taken, and the operator is told.
    QFETCH(QString, step);
    QFETCH(QString, said);
    using M = counter::Method;
    Till till;
    ledger::BillRecord b = till.bill(1, 400);
    b.settlement.payments = {paid(M::Tab, 400, "Ahmet")};
    till.ops->settle(b, {});
    const QString everything = "SELECT (SELECT count(*) FROM payments), (SELECT count(*) FROM"
                               " shifts), (SELECT count(*) FROM cash_outs)";
    const QList<QVariantList> before = till.rows(everything);
    QString refusal;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "holder");
        db.setDatabaseName(till.desk.paths.ledgerFile());
        QVERIFY(db.open());
        QSqlQuery hold(db);
        QVERIFY(hold.exec("BEGIN IMMEDIATE"));
        try {
            if (step == "collect")
                till.ops->collect("Ahmet", paid(M::Cash, 100), {"tab_collect", {}, "{}", 100});
            else if (step == "shift_open")
                till.ops->openShift("Ayşe", 500, {"shift_open", {}, "{}", 500});
            else if (step == "cash_out")
                till.ops->cashOut(50, "Tüpçü", {"cash_out", {}, "{}", 50});
            else
                till.ops->payApart(0, {}, {}, paid(M::Card, 100), {"pay_apart", {}, "{}", 100});
        } catch (const ledger::NotTaken &e) {
            refusal = e.text();
        }
        hold.exec("ROLLBACK");
    }
    QSqlDatabase::removeDatabase("holder");
    QVERIFY2(refusal.startsWith("Defter başka bir program tarafından kullanılıyor; " + said),
             qPrintable(refusal));
    QCOMPARE(till.rows(everything), before);
    QVERIFY(!till.ops->status().isEmpty());
}

void TestLedger::droppedMoneyStepIsUndone_data()
{
    QTest::addColumn<QString>("step");
    // Set aside: its table's files changed since, by later work; they stay as they are, and
    // the money taken ahead stays on the account.
    QTest::addColumn<bool>("aside");
    QTest::newRow("pay apart") << "part" << false;
    QTest::newRow("move, with money taken ahead") << "move" << false;
    QTest::newRow("settle, with money taken ahead") << "settle" << false;
    QTest::newRow("cancel, refunded and reopened") << "reopen" << false;
    QTest::newRow("pay apart, set aside") << "part" << true;
    QTest::newRow("move, set aside") << "move" << true;
    QTest::newRow("settle, set aside") << "settle" << true;
}

void TestLedger::droppedMoneyStepIsUndone()
{
    // A step whose files were found as before is dropped at the next start: the ledger is as it
    // was before it, money and all.
    QFETCH(QString, step);
    QFETCH(bool, aside);
    using M = counter::Method;
    Till till;
    till.ops->payApart(0, {}, {}, paid(M::Card, 100), {});
    qint64 paidId = 0;
    if (step == "reopen") {
        ledger::BillRecord b = till.bill(1, 400);
        b.settlement.payments = {paid(M::Cash, 400)};
        paidId = till.ops->settle(b, {});
    }
    const QString ledgerState =
        "SELECT 'p', id, bill_id, table_pos, ahead, cancelled_at, kind FROM payments UNION ALL"
        " SELECT 'b', id, cancelled_at, 0, 0, 0, 0 FROM bills UNION ALL"
        " SELECT 't', bill_id, pos, 0, 0, 0, 0 FROM bill_treats ORDER BY 1, 2";
    const QList<QVariantList> before = till.rows(ledgerState);
    const QStringList reg = till.desk.readLines(till.desk.paths.registerFile());
    const QByteArray extras = TestEnvironment::readBytes(till.desk.paths.tableExtrasFile("Masa 1"));
    if (step == "part") {
        ledger::BillRecord tea = till.bill(0, 0);
        tea.extras = {{"Çay", 50}};
        tea.bill = {0, 600, 0, false, 50, 50};
        tea.settlement.payments = {paid(M::Cash, 50)};
        till.ops->payApart(0, tea, RecordList::toBytes({"Tost", "150"}), paid(M::Cash, 200), {});
    } else if (step == "move") {
        till.ops->move(0, 2, {});
        QCOMPARE(till.ledger.paymentsAhead(2).size(), 1);
    } else if (step == "settle") {
        ledger::BillRecord b = till.bill(0, 800);
        b.settlement.treats = {{0, 50, "ev sahibi"}};
        b.settlement.payments = till.ledger.paymentsAhead(0) << paid(M::Cash, 850);
        till.ops->settle(b, {});
        QVERIFY(till.ledger.paymentsAhead(0).isEmpty());
    } else {
        till.ops->cancel(paidId, "yanlış masa", till.desk.env.now(),
                         ledger::Operations::Reopen{2, std::nullopt}, {}, true);
    }
    QVERIFY(till.rows(ledgerState) != before);
    // Its files as before, its mark never written.
    till.desk.writeLines(till.desk.paths.registerFile(), reg);
    TestEnvironment::writeBytes(till.desk.paths.tableExtrasFile("Masa 1"), extras);
    QFile::remove(till.desk.paths.tableExtrasFile("Masa 3"));
    if (aside)
        TestEnvironment::writeBytes(till.desk.paths.tableExtrasFile("Masa 1"), "Kola\r\n5\r\n");
    QVERIFY(execAll(till.desk.paths.ledgerFile(),
                    {"UPDATE journal SET done = 0 WHERE id = (SELECT max(id) FROM journal)"}));
    till.start();
    till.ops->finishPending();
    if (!aside)
        QCOMPARE(till.rows(ledgerState), before);
    else
        QCOMPARE(till.ops->takeNotices().size(), 1);
    QCOMPARE(till.ledger.paymentsAhead(0).size(), 1);
}

void TestLedger::olderLedgerIsUpgraded_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("bill2Total"); // of a second bill, as the old file holds it
    QTest::addColumn<bool>("upgraded");
    QTest::newRow("version 1") << 1 << "250" << true;
    // Text in a money column counted as 0 before; the new table refuses it.
    QTest::newRow("text in a money column") << 1 << "'yüz'" << false;
    // Already STRICT, with an id and tables of its own that the upgrade keeps.
    QTest::newRow("version 3") << 3 << "250" << true;
    // With its chained events, which the upgrade keeps as they are.
    QTest::newRow("version 4") << 4 << "250" << true;
    // Its paid bills become payments in cash; its cancelled bills and restarts none.
    QTest::newRow("version 5") << 5 << "250" << true;
}

void TestLedger::olderLedgerIsUpgraded()
{
    QFETCH(int, version);
    QFETCH(QString, bill2Total);
    QFETCH(bool, upgraded);
    Desk desk;
    prepareTwoOpen(desk);
    QString keptId;
    QList<QVariantList> chain;
    if (version >= 3) {
        desk.start();
        desk.forms.clear();
        const QString db = desk.paths.ledgerFile();
        keptId =
            rows(db, "SELECT value FROM ledger_info WHERE key = 'id'").value(0).value(0).toString();
        if (version >= 4) {
            ledger::Ledger made;
            QVERIFY(made.open(db));
            for (const char *kind : {"login", "fee"})
                made.appendEvent({kind, {}, "{}", {}}, "Ayşe");
        }
        QStringList older = kBeforeMoney;
        if (version < 5)
            older << "DROP TABLE bill_segments";
        if (version == 3)
            older << "DROP TABLE events"
                  << "DROP TABLE cashiers"
                  << "DROP TABLE permissions"
                  << "ALTER TABLE bills DROP COLUMN settle_event"
                  << "ALTER TABLE bills DROP COLUMN settle_hash"
                  << "ALTER TABLE journal DROP COLUMN event";
        QVERIFY(execAll(
            db, older + QStringList{
                            "INSERT INTO bills(id, table_pos, table_name, opened_date, opened_time,"
                            " fee, closed_at, minutes, time_charge, minimum_applied, extras_total,"
                            " total, fee_line) VALUES(1, 0, 'Masa 1', '7.12.2026', '18:00:00', 100,"
                            " '2026-12-07T19:00:00', 60, 100, 0, 15, 115, '100'), (2, 1, 'Masa 2',"
                            " '7.12.2026', '18:00:00', 100, '2026-12-07T19:30:00', 90, 150, 0, 100,"
                            " 250, '100')",
                            "INSERT INTO bill_extras VALUES(1, 0, 'Çay', 15, 0)",
                            "INSERT INTO bills(id, table_pos, table_name, opened_date, opened_time,"
                            " fee, closed_at, minutes, time_charge, minimum_applied, extras_total,"
                            " total, fee_line, cancelled_at, cancel_reason, restart)"
                            " VALUES(3, 0, 'Masa 1', '7.12.2026', '19:00:00', 100,"
                            " '2026-12-07T19:40:00', 40, 70, 0, 0, 70, '100',"
                            " '2026-12-07T19:45:00', 'deneme', 0), (4, 1, 'Masa 2', '7.12.2026',"
                            " '19:30:00', 100, '2026-12-07T19:50:00', 20, 35, 0, 0, 35, '100',"
                            " '2026-12-07T19:50:00', 'Yeniden başlatıldı', 1)",
                            QStringLiteral("PRAGMA user_version = %1").arg(version)}));
        chain = rows(db, "SELECT id, hash FROM events ORDER BY id");
        QCOMPARE(chain.isEmpty(), version == 3);
    } else {
        // The ledger as the first version wrote it, with two paid bills.
        QVERIFY(execAll(
            desk.paths.ledgerFile(),
            {"CREATE TABLE bills(id INTEGER PRIMARY KEY, table_pos INTEGER NOT NULL,"
             " table_name TEXT NOT NULL, opened_date TEXT NOT NULL, opened_time TEXT NOT NULL,"
             " fee INTEGER NOT NULL, closed_at TEXT NOT NULL, minutes INTEGER NOT NULL,"
             " time_charge INTEGER NOT NULL, minimum_applied INTEGER NOT NULL,"
             " extras_total INTEGER NOT NULL, total INTEGER NOT NULL, cancelled_at TEXT,"
             " cancel_reason TEXT, fee_line TEXT NOT NULL, extras_file BLOB)",
             "CREATE TABLE bill_extras(bill_id INTEGER NOT NULL REFERENCES bills(id),"
             " pos INTEGER NOT NULL, name TEXT NOT NULL, price INTEGER NOT NULL,"
             " PRIMARY KEY(bill_id, pos))",
             "CREATE TABLE journal(id INTEGER PRIMARY KEY, kind TEXT NOT NULL,"
             " created_at TEXT NOT NULL, done INTEGER NOT NULL DEFAULT 0, bill_id INTEGER,"
             " table_pos INTEGER, table_name TEXT, target_pos INTEGER, target_name TEXT,"
             " register_lines TEXT, extras_file BLOB, target_extras BLOB)",
             "INSERT INTO bills VALUES(1, 0, 'Masa 1', '7.12.2026', '18:00:00', 100, "
             "'2026-12-07T19:00:00', 60, 100, 0, 15, 115, NULL, NULL, '100', NULL)",
             "INSERT INTO bills VALUES(2, 1, 'Masa 2', '7.12.2026', '18:00:00', 100, "
             "'2026-12-07T19:30:00', 90, 150, 0, 100, " +
                 bill2Total + ", NULL, NULL, '100', NULL)",
             "INSERT INTO bill_extras VALUES(1, 0, 'Çay', 15)",
             "PRAGMA application_id = 1263294034", "PRAGMA user_version = 1"}));
    }
    const QByteArray before = desk.env.readBytes(desk.paths.ledgerFile());
    desk.start();
    if (!upgraded) {
        // Nothing changed, and the row named.
        QCOMPARE(desk.env.messages().errors.size(), 1);
        const QString problem = desk.env.messages().errors.first();
        QVERIFY2(problem.contains("bills tablosunun 2 numaralı satırı") &&
                     problem.contains("dokunulmadı"),
                 qPrintable(problem));
        desk.forms.clear();
        QCOMPARE(desk.env.readBytes(desk.paths.ledgerFile()), before);
        return;
    }
    desk.select(0);
    settle(desk);
    QCOMPARE(desk.env.messages().infos, QStringList{"Masa 1 için hesap kapatıldı!"});
    const QString db = desk.paths.ledgerFile();
    QCOMPARE(rows(db, "PRAGMA user_version"), QList<QVariantList>{{6}});
    const QList<QVariantList> old =
        version >= 3 ? QList<QVariantList>{{1, 0, 115}, {2, 0, 250}, {3, 0, 70}, {4, 1, 35}}
                     : QList<QVariantList>{{1, 0, 115}, {2, 0, 250}};
    QCOMPARE(rows(db, "SELECT id, restart, total FROM bills"),
             (old + QList<QVariantList>{{old.size() + 1, 0, 1250000}}));
    QCOMPARE(rows(db, "SELECT count(*) FROM bills WHERE net IS NOT total"),
             QList<QVariantList>{{0}});
    QCOMPARE(rows(db, QStringLiteral("SELECT bill_id, kind, method, amount, at, operator FROM"
                                     " payments WHERE bill_id <= %1 ORDER BY id")
                          .arg(old.size())),
             (QList<QVariantList>{{1, "sale", "cash", 115, "2026-12-07T19:00:00", "-"},
                                  {2, "sale", "cash", 250, "2026-12-07T19:30:00", "-"}}));
    QCOMPARE(rows(db, "SELECT name, carried FROM bill_extras"), (QList<QVariantList>{{"Çay", 0}}));
    // Its tables as a new ledger's: STRICT, with their indexes; its id kept beside it too.
    QCOMPARE(rows(db, "SELECT count(*) FROM pragma_table_list WHERE schema = 'main' AND"
                      " name NOT LIKE 'sqlite_%' AND strict = 0"),
             QList<QVariantList>{{0}});
    QCOMPARE(rows(db, "SELECT name FROM sqlite_master WHERE name NOT LIKE 'sqlite_%' ORDER BY 1"),
             (QList<QVariantList>{{"bill_extras"},
                                  {"bill_segments"},
                                  {"bill_treats"},
                                  {"bills"},
                                  {"bills_by_cancel"},
                                  {"bills_by_closing"},
                                  {"cash_outs"},
                                  {"cashiers"},
                                  {"customers"},
                                  {"events"},
                                  {"events_by_at"},
                                  {"journal"},
                                  {"journal_open"},
                                  {"ledger_info"},
                                  {"openings"},
                                  {"payments"},
                                  {"payments_by_at"},
                                  {"payments_by_bill"},
                                  {"payments_by_customer"},
                                  {"permissions"},
                                  {"shifts"}}));
    const QList<QVariantList> id = rows(db, "SELECT value FROM ledger_info WHERE key = 'id'");
    QCOMPARE(id.value(0).value(0).toString().size(), 32);
    if (!keptId.isEmpty())
        QCOMPARE(id.value(0).value(0).toString(), keptId);
    QCOMPARE(desk.env.readBytes(desk.paths.ledgerIdFile()).trimmed(),
             id.value(0).value(0).toString().toLatin1());
    // The events it had lead its chain unchanged, and the chain holds.
    QCOMPARE(rows(db, "SELECT id, hash FROM events ORDER BY id").mid(0, chain.size()), chain);
    QVERIFY(ledger::verifyChain(db).ok);
}

void TestLedger::droppedWorkIsBilled_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("booked"); // Masa 1's extras
    // Each bill: table, reason, restart, minutes, time charge, extras total, total; then its
    // extras as name, price, carried.
    QTest::addColumn<QList<QVariantList>>("bills");
    QTest::addColumn<QStringList>("lines"); // Masa 1's and Masa 2's register lines after
    QTest::addColumn<QStringList>("files"); // the extras files left
    const QStringList both{"Masa 1.msex", "Masa 3.msex"};
    const QStringList tea{"Çay", "5", "Tost", "60"};
    QTest::newRow("restart") << "restart" << tea
                             << QList<QVariantList>{{"Masa 1", "Yeniden başlatıldı", 1, 72, 300, 0,
                                                     300, "Çay", 5, 1, "Tost", 60, 1}}
                             << QStringList{"7.12.2026", "21:15:03", "250",
                                            "7.12.2026", "20:40:00", "250"}
                             << both;
    // A price that cannot be read takes nothing from the time given up.
    QTest::newRow("restart, a price that cannot be read")
        << "restart" << QStringList{"Çay", "5", "Tost", "6O"}
        << QList<QVariantList>{{"Masa 1", "Yeniden başlatıldı", 1, 72, 300, 0, 300, "Çay", 5, 1,
                                "Tost", 0, 1}}
        << QStringList{"7.12.2026", "21:15:03", "250", "7.12.2026", "20:40:00", "250"} << both;
    // Masa 4 stands beyond the table count, and keeps its account until it is cleared.
    QTest::newRow("accounts cleared")
        << "clear" << tea
        << QList<QVariantList>{{"Masa 1", "Masa bilgileri silindi", 0, 72, 300, 0, 300, "Çay", 5, 1,
                                "Tost", 60, 1},
                               {"Masa 2", "Masa bilgileri silindi", 0, 35, 145, 0, 145},
                               {"Masa 4", "Masa bilgileri silindi", 0, 120, 500, 0, 500}}
        << QStringList{"", "", "", "", "", ""} << both;
    QTest::newRow("tables made anew")
        << "remake" << tea
        << QList<QVariantList>{{"Masa 1", "Masalar yeniden oluşturuldu", 0, 0, 0, 65, 65, "Çay", 5,
                                0, "Tost", 60, 0},
                               {"Masa 3", "Masalar yeniden oluşturuldu", 0, 0, 0, 7, 7, "Su", 7, 0}}
        << QStringList{"7.12.2026", "20:03:00", "250", "7.12.2026", "20:40:00", "250"}
        << QStringList();
    QTest::newRow("extras left on a free table dropped")
        << "open" << tea << QList<QVariantList>{{"Masa 3", "Silindi", 0, 0, 0, 7, 7, "Su", 7, 0}}
        << QStringList{"7.12.2026", "20:03:00", "250", "7.12.2026", "20:40:00", "250"}
        << QStringList{"Masa 1.msex"};
}

void TestLedger::droppedWorkIsBilled()
{
    QFETCH(QString, action);
    QFETCH(QStringList, booked);
    QFETCH(QList<QVariantList>, bills);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, files);
    Desk desk;
    QMap<int, QString> reg = account(0, "7.12.2026", "20:03:00", "250");
    reg.insert(account(1, "7.12.2026", "20:40:00", "250"));
    reg.insert(account(3, "7.12.2026", "19:15:03", "250"));
    desk.prepare(3, {{SettingsLine::UnitFee, "250"}}, reg);
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), booked);
    desk.writeLines(desk.paths.tableExtrasFile("Masa 3"), {"Su", "7"});
    desk.start();
    desk.env.messages().defaultAnswer = true;
    if (action == "restart" || action == "open") {
        desk.select(action == "restart" ? 0 : 2);
        desk.run([&] { desk.form()->ListBox2DblClick(); });
    } else {
        TForm3 *settings = desk.forms.Form3.get();
        settings->findChild<QLineEdit *>("masasayisi")->setText("3");
        settings->findChild<QLineEdit *>("Edit1")->setText("Masa");
        desk.run([&] {
            action == "clear" ? settings->SpeedButton6Click() : settings->SpeedButton2Click();
        });
    }
    QVERIFY2(desk.env.messages().errors.isEmpty(),
             qPrintable(desk.env.messages().errors.join('|')));
    QList<QVariantList> written;
    for (QVariantList b :
         rows(desk.paths.ledgerFile(), "SELECT id, table_name, cancel_reason, restart, minutes,"
                                       " time_charge, extras_total, total, cancelled_at = closed_at"
                                       " FROM bills ORDER BY id")) {
        QVERIFY(b.takeLast().toBool()); // closed and cancelled at once
        for (const QVariantList &x :
             rows(desk.paths.ledgerFile(),
                  QStringLiteral("SELECT name, price, carried FROM bill_extras WHERE bill_id = %1"
                                 " ORDER BY pos")
                      .arg(b.takeFirst().toLongLong())))
            b << x;
        written << b;
    }
    QCOMPARE(written, bills);
    QCOMPARE(desk.readLines(desk.paths.registerFile()).mid(1, 6), lines);
    QCOMPARE(QDir(desk.paths.extrasDir()).entryList(QDir::Files, QDir::Name), files);
    // Not one of the day's takings.
    DayEndWindow *w = desk.forms.Cash->dayEndWindow();
    w->showDay(QDate(2026, 12, 7));
    QCOMPARE(w->ui->TotalValue->text(), QStringLiteral("0 TL"));
    // Shown whole from its row, the extras left on the table say where they went.
    BillWindow *shown = desk.forms.Cash->billWindow();
    QStringList seen;
    ModalDriver driver(shown, {[&] {
                           seen << shown->ui->TableName->text() << items(shown->ui->ExtrasList);
                           shown->reject();
                       }});
    QTableView *rowsShown = w->ui->BillsTable;
    emit rowsShown->activated(rowsShown->model()->index(0, 0));
    QStringList expected{
        bills[0].at(0).toString() + " · " +
        (bills[0].at(2).toInt() ? "Yeniden başlatıldı" : "İptal: " + bills[0].at(1).toString())};
    for (int k = 7; k + 2 < bills[0].size(); k += 3)
        expected << bills[0].at(k).toString() +
                        (bills[0].at(k + 2).toInt() ? " (yeni hesaba aktarıldı)" : "");
    if (expected.size() == 1)
        expected << "Extra girilmemiş";
    QCOMPARE(seen, expected);
}

void TestLedger::businessDay_data()
{
    QTest::addColumn<QString>("closed");
    QTest::addColumn<QString>("day");
    QTest::newRow("05:59") << "2026-12-08T05:59:59"
                           << "2026-12-07";
    QTest::newRow("06:00") << "2026-12-08T06:00:00"
                           << "2026-12-08";
    QTest::newRow("23:59") << "2026-12-08T23:59:59"
                           << "2026-12-08";
}

void TestLedger::businessDay()
{
    QFETCH(QString, closed);
    QFETCH(QString, day);
    Desk desk;
    desk.prepare(1, {}, account(0, "7.12.2026", "20:00:00", "1000000"));
    desk.start();
    desk.env.setNow(closed);
    desk.select(0);
    settle(desk);
    QCOMPARE(ledger::businessDay(desk.env.now()), QDate::fromString(day, Qt::ISODate));
    DayEndWindow *w = desk.forms.Cash->dayEndWindow();
    for (int offset : {-1, 0, 1}) {
        w->showDay(QDate::fromString(day, Qt::ISODate).addDays(offset));
        QCOMPARE(w->shownBills().size(), offset == 0 ? 1 : 0);
    }
}

void TestLedger::exportCsv()
{
    Desk desk;
    prepareTwoOpen(desk);
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), {"Çay; şekerli", "15"});
    desk.start();
    for (int t : {0, 1}) {
        desk.select(t);
        settle(desk);
    }
    // A bill whose time was cut, settled as the hall settles it, and read back whole.
    desk.forms.clear();
    using Kind = counter::Segment::Kind;
    const QList<counter::Segment> cut{
        {Kind::Time, 0, 2700000, 45, 1000000, 750000, {}},
        {Kind::Pause, 2700000, 3600000, 15, 0, 0, {}},
        {Kind::Correction, 3600000, 3600000, -10, 1000000, -166666, "Oyun ağır başladı; düşüldü"}};
    {
        RecordList reg;
        reg.load(desk.paths.registerFile());
        ledger::Ledger ledger;
        QVERIFY(ledger.open(desk.paths.ledgerFile()));
        ledger::Operations ops(ledger, reg, desk.paths,
                               [](int t) { return "Masa " + QString::number(t + 1); });
        ledger::BillRecord b;
        b.tablePos = 1;
        b.tableName = "Masa 2";
        b.openedDate = "7.12.2026";
        b.openedTime = "20:00:00";
        b.feeLine = "1000000";
        b.closedAt = QDateTime(QDate(2026, 12, 7), QTime(21, 30));
        b.bill = counter::billOf(cut, 1000000, {}, 0);
        b.segments = cut;
        QCOMPARE(ledger.bill(ops.settle(b, {"settle", "Masa 2", "{}", b.bill.total}))->segments,
                 cut);
    }
    desk.start();
    DayEndWindow *w = desk.forms.Cash->dayEndWindow();
    const QString out = desk.env.root() + "/gun-sonu.csv";
    w->chooseFile = [&](const QString &) { return out; };
    w->askReason = [] { return std::optional<QString>(QStringLiteral("deneme; \"iade\"")); };
    ModalDriver driver(w, {[w] {
                               w->ui->BillsTable->sortByColumn(1, Qt::DescendingOrder);
                               w->ui->BillsTable->selectRow(2); // Masa 1
                               w->CancelBillClick();
                               w->ExportClick();
                           },
                           [w] { w->accept(); }});
    desk.run([&] { desk.forms.Cash->GunSonuClick(); });
    const QByteArray csv = TestEnvironment::readBytes(out);
    QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(csv.mid(3)).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].endsWith(
        ";Durum;Faturalanan dk;Durdurulan dk;Brüt;İndirim;İkram;Net;Nakit;Kart;Veresiye"));
    // Billed and stopped minutes from the segments; without them, the bill's minutes.
    QCOMPARE(lines[1],
             QStringLiteral("1;07.12.2026 21:15:03;Masa 1;07.12.2026;20:00:00;75;1000000;"
                            "1250000;Hayır;15;1250015;07.12.2026 21:15:03;"
                            "\"deneme; \"\"iade\"\"\";\"İptal: deneme; \"\"iade\"\"\";75;0;"
                            "1250015;0;0;1250015;1250015;0;0"));
    QCOMPARE(lines[2],
             QStringLiteral("2;07.12.2026 21:15:03;Masa 2;07.12.2026;21:00:00;15;1000000;"
                            "250000;Hayır;0;250000;;;Ödendi;15;0;250000;0;0;250000;250000;0;"
                            "0"));
    QCOMPARE(lines[3], QStringLiteral("3;07.12.2026 21:30:00;Masa 2;07.12.2026;20:00:00;35;1000000;"
                                      "583334;Hayır;0;583334;;;Ödendi;35;15;583334;0;0;583334;0;0;"
                                      "0"));
    // The export closes the day: the chain's head is shown and anchored beside the ledger.
    const ledger::ChainHead head = desk.forms.Cash->ledger().chainHead();
    QCOMPARE(head.id, 4); // three settles and the cancel
    QCOMPARE(w->ui->ChainValue->text(), head.shortText());
    // After the line the program's end wrote before the third bill.
    QVERIFY(TestEnvironment::readBytes(ledger::Ledger::anchorsFile(desk.paths.ledgerFile()))
                .endsWith("\n2026-12-07\t4\t" + head.hash.toLatin1() + '\n'));
}

void TestLedger::exportedCells_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("reason"); // empty: the bill stands
    QTest::addColumn<bool>("restart");
    QTest::addColumn<bool>("minimum");
    QTest::addColumn<QString>("line"); // the bill's line in the file

    const auto row = [](const char *name, const QString &table, const QString &reason, bool restart,
                        bool minimum, const QString &line) {
        QTest::newRow(name) << table << reason << restart << minimum << line;
    };
    // Closed at 06:07:08 on 5 March, opened at 04:05:06 ("5.3.2026", "4:05:06").
    const auto line = [](const QString &table, const QString &minimum, const QString &end) {
        return QStringLiteral("05.03.2026 06:07:08;%1;05.03.2026;04:05:06;122;250;508;%2;60;568;%3")
            .arg(table, minimum, end);
    };
    const QString at = QStringLiteral("05.03.2026 07:08:09;");
    const QString m = QStringLiteral("Masa 1"), no = QStringLiteral("Hayır");
    row("paid", m, {}, false, false, line(m, no, ";;Ödendi"));
    row("minimum charge", m, {}, false, true, line(m, "Evet", ";;Ödendi"));
    row("cancelled, amounts kept", m, "Yanlış masa", false, false,
        line(m, no, at + "Yanlış masa;İptal: Yanlış masa"));
    row("restart", m, "Yeniden başlatıldı", true, false,
        line(m, no, at + "Yeniden başlatıldı;Yeniden başlatıldı"));
    row("restart, whatever its reason", m, "Masa bilgileri silindi", true, false,
        line(m, no, at + "Masa bilgileri silindi;Yeniden başlatıldı"));
    row("formula reason", m, "=2+3", false, false, line(m, no, at + "'=2+3;İptal: =2+3"));
    for (const char *name : {"=1+1 1", "+90 Masa", "-1 Masa", "@Masa"})
        row(name, name, {}, false, false, line(QStringLiteral("'") + name, no, ";;Ödendi"));
    row("tab", "\tMasa", {}, false, false, line("'\tMasa", no, ";;Ödendi"));
    row("carriage return", "\rMasa", {}, false, false, line("\"'\rMasa\"", no, ";;Ödendi"));
    row("sign inside", "Masa -1", {}, false, false, line("Masa -1", no, ";;Ödendi"));
}

void TestLedger::exportedCells()
{
    QFETCH(QString, table);
    QFETCH(QString, reason);
    QFETCH(bool, restart);
    QFETCH(bool, minimum);
    QFETCH(QString, line);
    ledger::BillRecord b;
    b.id = 7;
    b.tableName = table;
    b.openedDate = QStringLiteral("5.3.2026");
    b.openedTime = QStringLiteral("4:05:06");
    b.closedAt = QDateTime(QDate(2026, 3, 5), QTime(6, 7, 8));
    b.bill = {122, 250, 508, minimum, 60, 568};
    if (!reason.isEmpty()) {
        b.cancelledAt = QDateTime(QDate(2026, 3, 5), QTime(7, 8, 9));
        b.cancelReason = reason;
    }
    b.restart = restart;
    // The figures as paid: the Çay on the house, 50 off, the rest in three parts.
    b.settlement = {{50, 0, "müdavim"},
                    {{0, 60, "ev sahibi"}},
                    {paid(counter::Method::Cash, 300), paid(counter::Method::Card, 100),
                     paid(counter::Method::Tab, 58, "Ahmet")}};

    Desk desk;
    desk.prepare(1);
    desk.start();
    DayEndWindow *w = desk.forms.Cash->dayEndWindow();
    auto *sorted = qobject_cast<QSortFilterProxyModel *>(w->ui->BillsTable->model());
    qobject_cast<DayBillsModel *>(sorted->sourceModel())->setBills({b});
    const QString out = desk.env.root() + "/gun-sonu.csv";
    w->chooseFile = [&](const QString &) { return out; };
    desk.run([&] { w->ExportClick(); });
    QCOMPARE(desk.env.messages().errors, QStringList());
    QCOMPARE(TestEnvironment::readBytes(out),
             "\xEF\xBB\xBF"
             "Fiş No;Kapanış;Masa;Açılış Tarihi;Açılış Saati;Süre (dk);Saatlik Ücret;Saat Tutarı;"
             "En Az Ücret;Extralar;Toplam;İptal Zamanı;İptal Nedeni;Durum;Faturalanan dk;"
             "Durdurulan dk;Brüt;İndirim;İkram;Net;Nakit;Kart;Veresiye\r\n7;" +
                 line.toUtf8() + ";122;0;568;50;60;458;300;100;58\r\n");
}

void TestLedger::momentsReadAsQtReadsThem_data()
{
    QTest::addColumn<QString>("text");
    for (const char *text : {"2026-12-07T21:15:03", "2000-01-01T00:00:00", "2026-12-07T23:59:59",
                             "2028-02-29T06:00:00", "2026-02-30T10:00:00", "2026-12-07T24:00:00",
                             "2026-13-01T10:00:00", "2026-12-07 21:15:03",
                             "2026-12-07T21:15:03.250", "2026-12-07T21:15:03Z", "2026-12-07T21:15",
                             "", "abcd-ef-ghTij:kl:mn", "２026-12-07T21:15:03"})
        QTest::newRow(text) << QString::fromUtf8(text);
}

void TestLedger::momentsReadAsQtReadsThem()
{
    QFETCH(QString, text);
    const QDateTime expected = QDateTime::fromString(text, Qt::ISODate);
    const QDateTime read = ledger::fromIsoText(text);
    QCOMPARE(read.isValid(), expected.isValid());
    QCOMPARE(read, expected);
    QCOMPARE(read.timeSpec(), expected.timeSpec());
}

void TestLedger::dayColumnsFitTheirWidestText_data()
{
    // Table names and cancel reasons; the amounts and times vary with the row.
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("count");
    QTest::newRow("a full evening") << QStringList{"Masa %1"} << 300;
    // Kerned pairs and narrow letters: a name with more letters is not always the wider.
    QTest::newRow("kerning and narrow letters")
        << QStringList{"AVAVAVAVAV", "WWWWWW", "iiiiiiiiiiiiiiii", "Ta.Yo.", "İlk Şişe %1"} << 60;
    // Many bills of a name whose letters add up wider than it is laid out, beside a
    // wider one: each name is measured once, whatever the count.
    QTest::newRow("a name many bills share") << QStringList{"Tavla Yolu", "Bilardo 10"} << 66;
    QTest::newRow("one bill") << QStringList{"Bilardo 1"} << 1;
}

void TestLedger::dayColumnsFitTheirWidestText()
{
    QFETCH(QStringList, names);
    QFETCH(int, count);
    Desk desk;
    desk.prepare(1);
    desk.start(); // makes the ledger
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bills");
        db.setDatabaseName(desk.paths.ledgerFile());
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.prepare("INSERT INTO bills(table_pos, table_name, opened_date, opened_time,"
                          " fee, closed_at, minutes, time_charge, minimum_applied, extras_total,"
                          " total, fee_line, cancelled_at, cancel_reason)"
                          " VALUES(0, ?, '7.12.2026', '20:00:00', 1000000, ?, ?, ?, 0, ?, ?,"
                          " '1000000', ?, ?)"));
        for (int k = 0; k < count; ++k) {
            const qint64 charge = qint64(k) * k * 7919 % 99999999;
            const qint64 extras = qint64(k) * 104729 % 9999999;
            q.addBindValue(names.at(k % names.size()).arg(k + 1));
            q.addBindValue(QDateTime(QDate(2026, 12, 7), QTime(6, 0))
                               .addSecs(k * 280)
                               .toString("yyyy-MM-ddTHH:mm:ss"));
            q.addBindValue(k * 13 % 2000);
            q.addBindValue(charge);
            q.addBindValue(extras);
            q.addBindValue(charge + extras);
            const bool cancelled = k % 7 == 3;
            q.addBindValue(cancelled ? QVariant("2026-12-07T23:00:00") : QVariant());
            q.addBindValue(cancelled ? QVariant(QStringLiteral("Yanlış masa %1").arg(k))
                                     : QVariant());
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
    }
    QSqlDatabase::removeDatabase("bills");
    DayEndWindow *w = desk.forms.Cash->dayEndWindow();
    w->showDay(QDate(2026, 12, 7));
    QCOMPARE(w->shownBills().size(), count);
    // Listed as they were closed, until the operator sorts.
    const QAbstractItemModel *shown = w->ui->BillsTable->model();
    for (int row = 1; row < count; ++row)
        QVERIFY(shown->index(row - 1, 0).data(Qt::UserRole + 1).toLongLong() <
                shown->index(row, 0).data(Qt::UserRole + 1).toLongLong());
    QHeaderView *header = w->ui->BillsTable->horizontalHeader();
    QCOMPARE(header->sortIndicatorSection(), -1);
    header->setSortIndicator(2, Qt::DescendingOrder); // a click on "Süre"
    for (int row = 1; row < count; ++row)
        QVERIFY(shown->index(row - 1, 2).data(Qt::UserRole).toLongLong() >=
                shown->index(row, 2).data(Qt::UserRole).toLongLong());
    header->setSortIndicator(0, Qt::AscendingOrder); // back to "Kapanış": the ledger's order
    for (int row = 1; row < count; ++row)
        QVERIFY(shown->index(row - 1, 0).data(Qt::UserRole + 1).toLongLong() <
                shown->index(row, 0).data(Qt::UserRole + 1).toLongLong());
    QList<int> fitted, measured;
    for (int c = 0; c < header->count(); ++c)
        fitted << header->sectionSize(c);
    // Qt's own measure of every cell.
    header->resizeSections(QHeaderView::ResizeToContents);
    for (int c = 0; c < header->count(); ++c)
        measured << header->sectionSize(c);
    QCOMPARE(fitted, measured);
}

void TestLedger::ledgerReplacedBetweenBills_data()
{
    QTest::addColumn<bool>("companionsLeft"); // the -wal and -shm stay where they were
    QTest::addColumn<bool>("missingAWhile");  // a bill is tried before the new one is there
    QTest::addColumn<bool>("quits");          // the program ends instead of a second bill
    QTest::addColumn<bool>("backupLog");      // the new one brings a bill in its own log
    QTest::newRow("a backup put back whole") << false << false << false << false;
    QTest::newRow("companions left behind") << true << false << false << false;
    QTest::newRow("companions left, program ends") << true << false << true << false;
    QTest::newRow("missing a while, companions left") << true << true << false << false;
    QTest::newRow("its own log copied over the one left") << true << false << false << true;
}

void TestLedger::ledgerReplacedBetweenBills()
{
    // The open ledger moved aside and another put in its place while the program runs: the
    // moved one keeps its bill, the new one takes the next bill and nothing of the old one,
    // whatever is left beside it: a log left there would be read into the new one, a log
    // copied over it must stay the new one's.
    QFETCH(bool, companionsLeft);
    QFETCH(bool, missingAWhile);
    QFETCH(bool, quits);
    QFETCH(bool, backupLog);
    Desk desk;
    prepareTwoOpen(desk);
    for (const char *table : {"Masa 1", "Masa 2"})
        desk.writeLines(desk.paths.tableExtrasFile(table), {"Çay", "15"});
    desk.start();
    desk.select(0);
    settle(desk);
    const QString db = desk.paths.ledgerFile(), empty = desk.env.root() + "/empty.db",
                  aside = desk.env.root() + "/aside.db";
    {
        ledger::Ledger made;
        QVERIFY(made.open(empty));
    }
    QVERIFY(QFile::rename(db, aside));
    if (!companionsLeft)
        for (const char *companion : {"-wal", "-shm"})
            QVERIFY(QFile::remove(db + companion));
    desk.select(1);
    if (missingAWhile) {
        settle(desk); // refused, the table left open
        QVERIFY(desk.env.messages().errors.last().contains("yerinde yok"));
        desk.env.messages().clear();
    }
    if (backupLog) {
        // Copied while another program had it open, with a bill only in its log; the log and
        // index are written into the files left here.
        QSqlDatabase b = QSqlDatabase::addDatabase("QSQLITE", "backup");
        b.setDatabaseName(empty);
        QVERIFY(b.open());
        QSqlQuery q(b);
        QVERIFY(q.exec("PRAGMA wal_autocheckpoint = 0"));
        QVERIFY(q.exec("INSERT INTO bills(table_pos, table_name, opened_date, opened_time, fee,"
                       " closed_at, minutes, time_charge, minimum_applied, extras_total, total,"
                       " fee_line) VALUES(0, 'Yedek', '6.12.2026', '20:00:00', 1000000,"
                       " '2026-12-06T21:00:00', 60, 1000000, 0, 0, 1000000, '1000000')"));
        QVERIFY(QFile::copy(empty, db));
        for (const char *companion : {"-wal", "-shm"}) {
            QFile left(db + companion);
            QVERIFY(left.open(QIODevice::WriteOnly));
            QVERIFY(left.write(desk.env.readBytes(empty + companion)) > 0);
        }
        q.clear();
        b.close();
    } else {
        QVERIFY(QFile::copy(empty, db));
    }
    QSqlDatabase::removeDatabase("backup");
    if (!quits)
        settle(desk);
    QCOMPARE(desk.env.messages().errors, QStringList());
    desk.forms.clear(); // the program ends
    const QList<QVariantList> masa1{{"Masa 1"}};
    QList<QVariantList> kept;
    if (backupLog)
        kept << QVariantList{"Yedek"};
    if (!quits)
        kept << QVariantList{"Masa 2"};
    QCOMPARE(rows(db, "SELECT table_name FROM bills ORDER BY id"), kept);
    QCOMPARE(rows(db, "SELECT count(*) FROM bill_extras"), QList<QVariantList>{{quits ? 0 : 1}});
    QCOMPARE(rows(db, "SELECT count(*) FROM journal WHERE done = 0"), QList<QVariantList>{{0}});
    QCOMPARE(rows(aside, "SELECT table_name FROM bills"), masa1);
    QCOMPARE(rows(aside, "PRAGMA integrity_check"), QList<QVariantList>{{"ok"}});
}

void TestLedger::aReaderHoldsNoStepUp()
{
    // Another program reading the ledger: the bill is written at once, and the log is emptied
    // by the next step instead of waiting for the reader.
    Desk desk;
    prepareTwoOpen(desk);
    desk.start();
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "reader");
        other.setDatabaseName(desk.paths.ledgerFile());
        QVERIFY(other.open());
        QSqlQuery q(other);
        QVERIFY(q.exec("BEGIN") && q.exec("SELECT count(*) FROM bills") && q.next());
        desk.select(0);
        QElapsedTimer took;
        took.start();
        settle(desk);
        QCOMPARE_LT(took.elapsed(), 1000);
        QVERIFY(q.exec("COMMIT"));
        q.clear();
        other.close();
    }
    QSqlDatabase::removeDatabase("reader");
    desk.select(1);
    settle(desk);
    QCOMPARE(desk.env.messages().errors, QStringList());
    QCOMPARE(QFileInfo(desk.paths.ledgerFile() + "-wal").size(), 0);
    QCOMPARE(rows(desk.paths.ledgerFile(), "SELECT table_name FROM bills ORDER BY id"),
             (QList<QVariantList>{{"Masa 1"}, {"Masa 2"}}));
}

void TestLedger::unfinishedStepAtStart_data()
{
    QTest::addColumn<QString>("files");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("older journal, nothing known of its files") << "older"
                                                               << "finished";
    QTest::newRow("all as after (its mark lost)") << "after"
                                                  << "finished";
    QTest::newRow("extras emptied, account still open") << "half"
                                                        << "finished";
    QTest::newRow("all as before") << "before"
                                   << "dropped";
    QTest::newRow("a new guest at the table since") << "later"
                                                    << "set aside";
}

void TestLedger::unfinishedStepAtStart()
{
    // A settle whose end never reached the ledger: the next start compares it with the files.
    // Still as before, it is dropped; as before or after, finished; changed by later work, set
    // aside with its bill to be looked at, and the later work kept.
    QFETCH(QString, files);
    QFETCH(QString, outcome);
    Desk desk;
    desk.prepare(1, {}, account(0, "7.12.2026", "20:00:00", "1000000"));
    const QString extras = desk.paths.tableExtrasFile("Masa 1");
    desk.writeLines(extras, {"Çay", "15"});
    const QStringList open = desk.readLines(desk.paths.registerFile());
    desk.start();
    desk.select(0);
    settle(desk);
    desk.forms.clear();
    desk.env.messages().clear();
    QStringList reg = open;
    if (files == "half" || files == "before")
        desk.writeLines(desk.paths.registerFile(), open);
    if (files == "before")
        desk.writeLines(extras, {"Çay", "15"});
    if (files == "later") {
        reg[RegisterLine::startTime(0)] = "22:10:00";
        desk.writeLines(desk.paths.registerFile(), reg);
        desk.writeLines(extras, {"Su", "10"});
    }
    const QByteArray extrasLeft = TestEnvironment::readBytes(extras);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "crash");
        db.setDatabaseName(desk.paths.ledgerFile());
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(files == "older" ? "UPDATE journal SET done = 0, guard = NULL"
                                        : "UPDATE journal SET done = 0"));
    }
    QSqlDatabase::removeDatabase("crash");
    desk.start();
    QStringList free = open;
    for (int k = 0; k < 3; ++k)
        free[RegisterLine::date(0) + k].clear();
    const QString db = desk.paths.ledgerFile();
    if (outcome == "finished") {
        QVERIFY(desk.env.messages().all().isEmpty());
        QCOMPARE(desk.readLines(desk.paths.registerFile()), free);
        QCOMPARE(TestEnvironment::readBytes(extras), QByteArray());
        QCOMPARE(rows(db, "SELECT review FROM bills"), QList<QVariantList>{{0}});
        QCOMPARE(rows(db, "SELECT done FROM journal"), QList<QVariantList>{{1}});
    } else if (outcome == "dropped") {
        QVERIFY(desk.env.messages().all().isEmpty());
        QCOMPARE(desk.readLines(desk.paths.registerFile()), open);
        QCOMPARE(TestEnvironment::readBytes(extras), extrasLeft);
        QCOMPARE(rows(db, "SELECT count(*) FROM bills"), QList<QVariantList>{{0}});
        QCOMPARE(rows(db, "SELECT count(*) FROM journal"), QList<QVariantList>{{0}});
    } else {
        QCOMPARE(desk.env.messages().errors.size(), 1);
        const QString said = desk.env.messages().errors.first();
        QVERIFY2(said.startsWith("Masa 1: ") && said.contains("İncelenecek"), qPrintable(said));
        QCOMPARE(desk.readLines(desk.paths.registerFile()), reg);
        QCOMPARE(TestEnvironment::readBytes(extras), extrasLeft);
        QCOMPARE(rows(db, "SELECT review FROM bills"), QList<QVariantList>{{1}});
        QCOMPARE(rows(db, "SELECT done FROM journal"), QList<QVariantList>{{2}});
        ledger::Ledger ledger;
        QVERIFY(ledger.open(db));
        QCOMPARE(ledger::statusText(*ledger.bill(1)), QStringLiteral("İncelenecek"));
    }
}

void TestLedger::leftoverLogIsCheckedFirst_data()
{
    QTest::addColumn<bool>("foreign");   // the log left beside the ledger is another ledger's
    QTest::addColumn<bool>("byProgram"); // written by the program (else by another one)
    QTest::addColumn<bool>("gone");      // the ledger itself is not there
    QTest::newRow("another ledger's log") << true << true << false;
    QTest::newRow("another ledger's log, by another program") << true << false << false;
    QTest::newRow("its own log, left by a crash") << false << true << false;
    QTest::newRow("a log left without its ledger") << false << true << true;
}

void TestLedger::leftoverLogIsCheckedFirst()
{
    // A log is read into the file by the first connection: another ledger's must never be,
    // the ledger's own must.
    QFETCH(bool, foreign);
    QFETCH(bool, byProgram);
    QFETCH(bool, gone);
    Desk desk;
    prepareTwoOpen(desk);
    desk.start();
    desk.select(0);
    settle(desk);
    desk.forms.clear();
    const QString db = desk.paths.ledgerFile(), source = foreign ? desk.env.root() + "/b.db" : db,
                  kept = desk.env.root() + "/kept";
    {
        ledger::Ledger writer;
        QVERIFY(writer.open(source));
        QSqlDatabase c = byProgram ? QSqlDatabase::database(writer.connectionName())
                                   : QSqlDatabase::addDatabase("QSQLITE", "writer");
        if (!byProgram) {
            c.setDatabaseName(source);
            QVERIFY(c.open());
        }
        QSqlQuery q(c);
        // Written without a checkpoint, the log copied while it is still open.
        QVERIFY(q.exec("PRAGMA wal_autocheckpoint = 0"));
        for (int k = 0; k < (foreign ? 199 : 1); ++k)
            QVERIFY(q.exec("INSERT INTO bills(table_pos, table_name, opened_date, opened_time,"
                           " fee, closed_at, minutes, time_charge, minimum_applied, extras_total,"
                           " total, fee_line) VALUES(1, 'Kalan', '7.12.2026', '21:00:00', 1000000,"
                           " '2026-12-07T21:30:00', 30, 500000, 0, 0, 500000, '1000000')"));
        QVERIFY(QFile::copy(source + "-wal", kept + "-wal"));
        QVERIFY(QFile::copy(db, kept));
        q.clear();
        if (!byProgram)
            c.close();
    }
    QSqlDatabase::removeDatabase("writer");
    QVERIFY(QFile::remove(db) && (gone || QFile::copy(kept, db)));
    QFile::remove(db + "-shm");
    QVERIFY(QFile::copy(kept + "-wal", db + "-wal"));
    desk.env.messages().clear();
    desk.start();
    QCOMPARE(desk.env.messages().errors, QStringList());
    const QStringList aside = QDir(desk.env.dataDir()).entryList({"Defter.db-wal.*.ayrildi"});
    QCOMPARE(aside.size(), foreign || gone ? 1 : 0);
    if (foreign || gone) {
        // Kept whole, and the operator told where.
        QCOMPARE(desk.env.readBytes(desk.env.dataDir() + "/" + aside.value(0)),
                 desk.env.readBytes(kept + "-wal"));
        QCOMPARE(desk.env.messages().infos.size(), 1);
        QVERIFY2(desk.env.messages().infos.value(0).contains(aside.value(0)),
                 qPrintable(desk.env.messages().infos.value(0)));
        if (!gone)
            QCOMPARE(desk.env.readBytes(db), desk.env.readBytes(kept));
    } else {
        QCOMPARE(desk.env.messages().infos, QStringList());
    }
    desk.select(1);
    settle(desk);
    desk.forms.clear();
    QList<QVariantList> bills;
    if (!gone)
        bills << QVariantList{"Masa 1"};
    if (!foreign && !gone)
        bills << QVariantList{"Kalan"};
    bills << QVariantList{"Masa 2"};
    QCOMPARE(rows(db, "SELECT table_name FROM bills ORDER BY id"), bills);
    QCOMPARE(rows(db, "PRAGMA integrity_check"), QList<QVariantList>{{"ok"}});
}

void TestLedger::ledgerNotOursIsOnlyRead_data()
{
    QTest::addColumn<QStringList>("change"); // made to a ledger holding Masa 1's bill
    QTest::addColumn<QString>("why");        // what the message names
    QTest::addColumn<QString>("readError");  // what Gün Sonu says instead of the day's bills
    QTest::newRow("a trigger that changes amounts")
        << QStringList{"CREATE TRIGGER cut AFTER INSERT ON bills BEGIN UPDATE bills SET total ="
                       " total - 10 WHERE id = new.id; END"}
        << "tetikleyici"
        << "";
    QTest::newRow("a view") << QStringList{"CREATE VIEW paid AS SELECT * FROM bills"} << "görünümü"
                            << "";
    QTest::newRow("a table of its own")
        << QStringList{"CREATE TABLE notes(x)"} << "tablosu var: notes"
        << "";
    QTest::newRow("a newer version")
        << QStringList{"ALTER TABLE bills ADD COLUMN deleted INTEGER NOT NULL DEFAULT 0",
                       "PRAGMA user_version = 7"}
        << "daha yeni"
        << "";
    // An older version's, without segments: its bills are shown without them.
    QTest::newRow("an older version with a view")
        << kBeforeMoney + QStringList{"DROP TABLE bill_segments", "PRAGMA user_version = 4",
                                      "CREATE VIEW paid AS SELECT * FROM bills"}
        << "görünümü"
        << "";
    QTest::newRow("another program's")
        << QStringList{"PRAGMA application_id = 7"} << "bu programın defteri değil"
        << "";
    QTest::newRow("a table that takes any type")
        << QStringList{"PRAGMA writable_schema = ON",
                       "UPDATE sqlite_master SET sql = replace(sql, ') STRICT', ')')"
                       " WHERE name = 'bills'"}
        << "STRICT değil"
        << "";
    QTest::newRow("text in a money column of another type")
        << QStringList{"PRAGMA writable_schema = ON",
                       "UPDATE sqlite_master SET sql = replace(replace(sql, ') STRICT', ')'),"
                       " ' total INTEGER', ' total NUMERIC') WHERE name = 'bills'",
                       "reopen",
                       "INSERT INTO bills(table_pos, table_name, opened_date, opened_time, fee,"
                       " closed_at, minutes, time_charge, minimum_applied, extras_total, total,"
                       " fee_line) SELECT 1, 'Masa 2', '7.12.2026', '20:00:00', 1000000,"
                       " closed_at, 60, 1000000, 0, 0, 'yüz', '1000000' FROM bills"}
        << "total sütunu"
        << "2 numaralı fişin total değeri";
}

void TestLedger::ledgerNotOursIsOnlyRead()
{
    // Read for the day's takings as it stands, never written: a settle is refused with why.
    QFETCH(QStringList, change);
    QFETCH(QString, why);
    QFETCH(QString, readError);
    Desk desk;
    prepareTwoOpen(desk);
    desk.start();
    desk.select(0);
    settle(desk);
    desk.forms.clear();
    const QString db = desk.paths.ledgerFile();
    QVERIFY(execAll(db, change));
    const QByteArray before = desk.env.readBytes(db),
                     reg = desk.env.readBytes(desk.paths.registerFile());
    desk.env.messages().clear();
    desk.start();
    QCOMPARE(desk.env.messages().errors.size(), 1);
    const QString problem = desk.env.messages().errors.first();
    QVERIFY2(problem.contains("yalnızca okunmak üzere") && problem.contains(why),
             qPrintable(problem));
    desk.select(1);
    settle(desk);
    QCOMPARE(desk.env.messages().errors.size(), 2);
    QVERIFY(desk.env.messages().errors.last().startsWith(problem));
    QVERIFY(desk.env.messages().errors.last().endsWith("\nHesap kapatılmadı."));
    DayEndWindow *w = desk.forms.Cash->dayEndWindow();
    qsizetype shown = -1;
    ModalDriver driver(w, {[&] {
                           shown = w->shownBills().size();
                           w->accept();
                       }});
    desk.run([&] { desk.forms.Cash->GunSonuClick(); });
    if (readError.isEmpty()) {
        QCOMPARE(shown, 1);
    } else {
        QCOMPARE(desk.env.messages().errors.size(), 3);
        QVERIFY2(desk.env.messages().errors.last().contains(readError),
                 qPrintable(desk.env.messages().errors.last()));
    }
    desk.forms.clear();
    QCOMPARE(desk.env.readBytes(db), before);
    QCOMPARE(desk.env.readBytes(desk.paths.registerFile()), reg);
}

QTEST_MAIN(TestLedger)
#include "tst_ledger.moc"

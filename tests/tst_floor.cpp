// The billing rule, the live floor in the table list, and the evening from the keyboard.
#include "deskfixture.h"

#include "applocale.h"
#include "ayarlar.h"
#include "billing.h"
#include "rowdelegate.h"
#include "ucretgirisi.h"

#include <QLineEdit>
#include <QScrollBar>

using namespace kv;
using namespace kv::counter;

namespace {
QDateTime at(const QString &iso)
{
    return QDateTime::fromString(iso, Qt::ISODate);
}

// A table's three register lines for an account opened at the given moment.
QMap<int, QString> account(int table, const QString &opened, const QString &fee)
{
    const QDateTime moment = at(opened);
    return {{RegisterLine::date(table), shortDate(moment.date())},
            {RegisterLine::startTime(table), longTime(moment.time())},
            {RegisterLine::fee(table), fee}};
}

QString description(const Desk &desk, int table)
{
    const QListWidgetItem *item = desk.ui()->ListBox2->item(table);
    const QString text = item->data(Qt::AccessibleDescriptionRole).toString();
    // What assistive technology reads is also the row's tooltip.
    return text == item->toolTip() ? text : QStringLiteral("<tooltip differs>");
}
} // namespace

class TestFloor : public QObject
{
    Q_OBJECT

private slots:
    void billingRule_data();
    void billingRule();
    void rows_data();
    void rows();
    void rowFollowsBookingAndClearing();
    void summaryCountsOpenTables();
    void longestNameFitsBesideItsColumns();
    void keys_data();
    void keys();
    void feeEntryKeys_data();
    void feeEntryKeys();
};

void TestFloor::billingRule_data()
{
    QTest::addColumn<QString>("opened"); // ISO date and time; "?" before the time: no date
    QTest::addColumn<QString>("now");
    QTest::addColumn<qint64>("fee");
    QTest::addColumn<qint64>("minimum"); // -1: off
    QTest::addColumn<qint64>("extras");
    QTest::addColumn<qint64>("minutes");
    QTest::addColumn<qint64>("timeCharge");
    QTest::addColumn<bool>("applied");

    const qint64 off = -1;
    QTest::newRow("worked example") << "2026-12-07T21:15:03"
                                    << "2026-12-07T22:00:02" << qint64(1000000) << off
                                    << qint64(250000) << qint64(44) << qint64(733333) << false;
    QTest::newRow("worked example, minimum 1000000")
        << "2026-12-07T21:15:03"
        << "2026-12-07T22:00:02" << qint64(1000000) << qint64(1000000) << qint64(250000)
        << qint64(44) << qint64(1000000) << true;
    QTest::newRow("minimum equal keeps the charge")
        << "2026-12-07T21:00:00"
        << "2026-12-07T21:44:00" << qint64(1000000) << qint64(733333) << qint64(0) << qint64(44)
        << qint64(733333) << false;
    QTest::newRow("59 seconds") << "2026-12-07T21:00:00"
                                << "2026-12-07T21:00:59" << qint64(1000000) << off << qint64(0)
                                << qint64(0) << qint64(0) << false;
    QTest::newRow("00:59:59") << "2026-12-07T21:00:00"
                              << "2026-12-07T21:59:59" << qint64(1000000) << off << qint64(0)
                              << qint64(59) << qint64(983333) << false;
    QTest::newRow("one hour") << "2026-12-07T21:00:00"
                              << "2026-12-07T22:00:00" << qint64(1000000) << off << qint64(0)
                              << qint64(60) << qint64(1000000) << false;
    QTest::newRow("1 minute at 50") << "2026-12-07T21:00:00"
                                    << "2026-12-07T21:01:00" << qint64(50) << off << qint64(0)
                                    << qint64(1) << qint64(0) << false;
    QTest::newRow("past midnight") << "2026-12-07T23:30:00"
                                   << "2026-12-08T00:14:59" << qint64(1000000) << off << qint64(0)
                                   << qint64(44) << qint64(733333) << false;
    QTest::newRow("two days") << "2026-12-06T21:00:00"
                              << "2026-12-08T21:44:00" << qint64(600) << off << qint64(0)
                              << qint64(2924) << qint64(29240) << false;
    QTest::newRow("unreadable date is the same day")
        << "?T21:00:00"
        << "2026-12-08T21:44:00" << qint64(600) << off << qint64(0) << qint64(44) << qint64(440)
        << false;
    // Beyond 32 bits: the product is formed in 64.
    QTest::newRow("64-bit total") << "2026-12-06T00:00:00"
                                  << "2026-12-08T23:59:00" << qint64(2147483647) << off
                                  << qint64(2147483647) << qint64(4319) << qint64(154583031189)
                                  << false;
}

void TestFloor::billingRule()
{
    QFETCH(QString, opened);
    QFETCH(QString, now);
    QFETCH(qint64, fee);
    QFETCH(qint64, minimum);
    QFETCH(qint64, extras);
    QFETCH(qint64, minutes);
    QFETCH(qint64, timeCharge);
    QFETCH(bool, applied);
    const QDate date = opened.startsWith('?') ? QDate() : at(opened).date();
    const QTime time = QTime::fromString(opened.section('T', 1), Qt::ISODate);
    const qint64 m = wholeMinutes(elapsedMs(date, time, at(now)));
    const Bill b = bill(m, fee, {minimum >= 0, qMax<qint64>(minimum, 0)}, extras);
    QCOMPARE(b.minutes, minutes);
    QCOMPARE(b.timeCharge, timeCharge);
    QCOMPARE(b.minimumApplied, applied);
    QCOMPARE(b.extrasTotal, extras);
    QCOMPARE(b.total, timeCharge + extras);
    // As the listing writes it: hours, then two-digit minutes.
    QCOMPARE(hoursAndMinutes(minutes),
             QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0')));
}

void TestFloor::rows_data()
{
    QTest::addColumn<bool>("multiple");
    QTest::addColumn<QString>("opened"); // empty: free
    QTest::addColumn<QString>("fee");    // the stamped fee
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("now");        // empty: the desk's clock, 2026-12-07 21:15:03
    QTest::addColumn<QStringList>("booked"); // the table's extras
    // The unit fee is 1000000.
    QTest::newRow("free") << false << ""
                          << ""
                          << "Boş"
                          << "" << QStringList();
    QTest::newRow("free, with extras left on it") << false << ""
                                                  << ""
                                                  << "Boş, 2 extra, 65 TL"
                                                  << "" << QStringList{"Çay", "5", "Tost", "60"};
    // An evening runs past midnight: it is yesterday's only from 06:00.
    QTest::newRow("opened last evening, after midnight") << false << "2026-12-07T20:00:00"
                                                         << "1000000"
                                                         << "Açık, 4:30, 4.500.000 TL"
                                                         << "2026-12-08T00:30:00" << QStringList();
    QTest::newRow("opened before six, after six") << false << "2026-12-08T05:00:00"
                                                  << "1000000"
                                                  << "Açık (önceki gün), 1:30, 1.500.000 TL"
                                                  << "2026-12-08T06:30:00" << QStringList();
    QTest::newRow("open 1:47") << false << "2026-12-07T19:27:26"
                               << "500000"
                               << "Açık, 1:47, 1.783.333 TL"
                               << "" << QStringList();
    QTest::newRow("open since yesterday") << false << "2026-12-06T19:10:00"
                                          << "1000000"
                                          << "Açık (önceki gün), 26:05, 26.083.333 TL"
                                          << "" << QStringList();
    QTest::newRow("multiple fees: the stamped fee") << true << "2026-12-07T19:27:26"
                                                    << "500000"
                                                    << "Açık, 1:47, 891.666 TL"
                                                    << "" << QStringList();
    QTest::newRow("stamped fee not a number") << true << "2026-12-07T19:27:26"
                                              << "5x"
                                              << "Açık, 1:47, ?"
                                              << "" << QStringList();
    QTest::newRow("opened just now") << false << "2026-12-07T21:15:03"
                                     << "1000000"
                                     << "Açık, 0:00, 0 TL"
                                     << "" << QStringList();
}

void TestFloor::rows()
{
    QFETCH(bool, multiple);
    QFETCH(QString, opened);
    QFETCH(QString, fee);
    QFETCH(QString, row);
    QFETCH(QString, now);
    QFETCH(QStringList, booked);
    Desk desk;
    desk.prepare(2, {{SettingsLine::MultipleFees, flagText(multiple)}},
                 opened.isEmpty() ? QMap<int, QString>() : account(1, opened, fee));
    if (!booked.isEmpty())
        desk.writeLines(desk.paths.tableExtrasFile("Masa 2"), booked);
    if (!now.isEmpty())
        desk.env.setNow(now);
    desk.start();
    QCOMPARE(description(desk, 0), QStringLiteral("Boş"));
    QCOMPARE(description(desk, 1), row);
    const QListWidgetItem *item = desk.ui()->ListBox2->item(1);
    QCOMPARE(item->text(), QStringLiteral("Masa 2")); // the row's text stays the name
    QCOMPARE(item->data(TRowDelegate::MarkRole).isValid(), !opened.isEmpty());
}

void TestFloor::rowFollowsBookingAndClearing()
{
    Desk desk;
    desk.prepare(1, {}, account(0, "2026-12-07T20:15:03", "1000000"), {"Çay", "15000"});
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), {"Tost", "40000"});
    desk.start();
    const auto tick = [&] { desk.run([&] { desk.form()->Timer1Timer(); }); };
    QCOMPARE(description(desk, 0), QStringLiteral("Açık, 1:00, 1.040.000 TL"));
    desk.select(0);
    desk.run([&] { desk.form()->bookExtra(0); });
    tick();
    QCOMPARE(description(desk, 0), QStringLiteral("Açık, 1:00, 1.055.000 TL"));
    desk.env.setNow("2026-12-07T21:16:03");
    tick();
    QCOMPARE(description(desk, 0), QStringLiteral("Açık, 1:01, 1.071.666 TL"));
    desk.run([&] { desk.form()->emizle1Click(); });
    tick();
    QCOMPARE(description(desk, 0), QStringLiteral("Açık, 1:01, 1.016.666 TL"));
    QVERIFY(desk.env.messages().all().isEmpty());
}

void TestFloor::summaryCountsOpenTables()
{
    Desk desk;
    QMap<int, QString> reg = account(0, "2026-12-07T20:15:03", "1000000");
    reg.insert(account(2, "2026-12-06T21:15:03", "1000000"));
    desk.prepare(4, {}, reg);
    desk.start();
    QCOMPARE(desk.ui()->FloorSummary->text(), QStringLiteral("Açık: 2 / 4 · 25.000.000 TL"));
    QCOMPARE(desk.form()->hall().floor().openCount(), 2);
}

void TestFloor::longestNameFitsBesideItsColumns()
{
    // 80 tables (so the list scrolls) named with an 18-character prefix, all open with a
    // bill of eight digits: the whole name stands beside its time and bill.
    Desk desk;
    QMap<int, QString> reg;
    for (int t = 0; t < 80; ++t)
        reg.insert(account(t, "2026-12-06T19:00:00", "1000000"));
    desk.prepare(80, {{SettingsLine::TablePrefix, QStringLiteral("Bilardo Salonu Üst")}}, reg);
    desk.start();
    desk.form()->show();
    QVERIFY(QTest::qWaitForWindowExposed(desk.form()));
    QListWidget *list = desk.ui()->ListBox2;
    QVERIFY(list->verticalScrollBar()->isVisible());
    const QListWidgetItem *last = list->item(79);
    QCOMPARE(last->text().size(), 21);
    QVERIFY(last->data(TRowDelegate::RightRole).toString().size() >=
            QStringLiteral("26.166.666 TL").size());
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    option.font = list->font();
    option.rect = list->visualItemRect(last);
    const auto *rows = qobject_cast<const TRowDelegate *>(list->itemDelegate());
    QVERIFY(rows);
    const QRect text = rows->textArea(option, list->model()->index(79, 0));
    QVERIFY2(QFontMetrics(list->font()).horizontalAdvance(last->text()) <= text.width(),
             qPrintable(QStringLiteral("%1 px for the name").arg(text.width())));
}

void TestFloor::keys_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("booked"); // Masa 1's extras file afterwards
    QTest::addColumn<QStringList>("lines");  // Masa 1's three lines afterwards
    const QStringList open{"7.12.2026", "21:15:03", "1000000"};
    const QStringList none{"", "", ""};
    QTest::newRow("Enter opens") << "Enter" << QStringList{"A", "1", "B", "2"} << open;
    QTest::newRow("Delete removes") << "Delete" << QStringList{"B", "2"} << none;
    QTest::newRow("F2 Enter Enter Escape books twice")
        << "F2" << QStringList{"A", "1", "B", "2", "Çay", "15", "Çay", "15"} << none;
    QTest::newRow("F4 Enter changes the fee")
        << "F4" << QStringList{"A", "1", "B", "2"} << QStringList{"", "", "250000"};
    QTest::newRow("F4 Enter on the line focus shows")
        << "F4 focus" << QStringList{"A", "1", "B", "2"} << QStringList{"", "", "250000"};
}

void TestFloor::keys()
{
    QFETCH(QString, keys);
    QFETCH(QStringList, booked);
    QFETCH(QStringList, lines);
    Desk desk;
    desk.prepare(1, {{SettingsLine::MultipleFees, flagText(keys.startsWith("F4"))}}, {},
                 {"Çay", "15", "Su", "10"});
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), {"A", "1", "B", "2"});
    desk.writeLines(desk.paths.feeListFile(), {"250000"});
    desk.start();
    desk.form()->show();
    QVERIFY(QTest::qWaitForWindowExposed(desk.form()));
    desk.select(0);
    desk.env.messages().defaultAnswer = true;
    TForm5 *picker = desk.forms.Form5.get();
    TForm7 *fees = desk.forms.Form7.get();
    if (keys == "Enter") {
        // The extras left on the free table: "Hayır", the default, keeps them.
        desk.env.messages().answers = {false};
        QTest::keyClick(desk.ui()->ListBox2, Qt::Key_Return);
        QCOMPARE(desk.env.messages().questions,
                 QStringList{"Bu masada hesaba bağlı olmayan 2 extra var (3 TL). Silinsin mi?"});
    } else if (keys == "Delete") {
        desk.ui()->ListBox4->setCurrentRow(0);
        QTest::keyClick(desk.ui()->ListBox4, Qt::Key_Delete);
    } else if (keys == "F2") {
        ModalDriver driver(picker,
                           {[picker] { QTest::keyClick(picker->ListBox1, Qt::Key_Return); },
                            [picker] { QTest::keyClick(picker->ListBox1, Qt::Key_Return); },
                            [picker] { QTest::keyClick(picker->ListBox1, Qt::Key_Escape); }});
        QTest::keyClick(desk.form(), Qt::Key_F2);
        QVERIFY(driver.sawOpen && !driver.leftOpen);
    } else {
        // Chosen, or only shown by focus (current, not selected).
        const auto how =
            keys == "F4" ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate;
        ModalDriver driver(fees, {[fees, how] {
                               fees->ListBox1->setCurrentRow(0, how);
                               QTest::keyClick(fees->ListBox1, Qt::Key_Return);
                           }});
        QTest::keyClick(desk.form(), Qt::Key_F4);
        QVERIFY(driver.sawOpen && !driver.leftOpen);
    }
    QVERIFY2(desk.env.messages().errors.isEmpty(),
             qPrintable(desk.env.messages().errors.join('|')));
    QCOMPARE(desk.readLines(desk.paths.tableExtrasFile("Masa 1")), booked);
    QCOMPARE(desk.readLines(desk.paths.registerFile()).mid(1, 3), lines);
}

void TestFloor::feeEntryKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("fees");
    QTest::newRow("Enter is Tamam") << int(Qt::Key_Return) << QStringList{"777"};
    QTest::newRow("Escape is İptal") << int(Qt::Key_Escape) << QStringList();
}

void TestFloor::feeEntryKeys()
{
    QFETCH(int, key);
    QFETCH(QStringList, fees);
    Desk desk;
    desk.prepare(1);
    desk.start();
    TForm6 *entry = desk.forms.Form6.get();
    ModalDriver driver(entry, {[&] {
                           auto *para = entry->findChild<QLineEdit *>("para");
                           para->setFocus();
                           para->setText(QStringLiteral("777"));
                           QTest::keyClick(para, Qt::Key(key));
                       }});
    entry->exec();
    QVERIFY(driver.sawOpen && !driver.leftOpen);
    QCOMPARE(items(desk.forms.Form3->feeList()), fees);
}

QTEST_MAIN(TestFloor)
#include "tst_floor.moc"

// The counter desk: opening accounts, the table view, the fee calculation and per-table fees.
// Mouse events go through the window system layer, so a double click arrives as a real one
// (press, release, press, double click, release).
#define QTEST_QPA_MOUSE_HANDLING
#include "deskfixture.h"
#include "timecorrection.h"

#include "applocale.h"
#include "ayarlar.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

#include <functional>

using namespace kv;

namespace {
const QString kSelectTable = QStringLiteral("İşlem Yapacağınız Masayı Seçin!");
const QString kTimeOrder = QStringLiteral("Girmiş olduğunuz saat dilimlerini kontrol edin!");
const QString kOpenCancelled = QStringLiteral("Hesap açma işlemi iptal edildi!");
const QString kChangeCancelled = QStringLiteral("Ücret değiştirme işlemi iptal edildi!");

// The register as prepared by Desk::prepare, with some lines replaced.
QByteArray registerBytes(int tables, const QMap<int, QString> &lines)
{
    QStringList r = defaultRegister();
    r[0] = QString::number(tables);
    for (auto it = lines.begin(); it != lines.end(); ++it)
        r[it.key()] = it.value();
    return RecordList::toBytes(r);
}

QDateTime at(const QString &iso)
{
    return QDateTime::fromString(iso, Qt::ISODate);
}

// A table's three register lines for an account opened at the given moment.
QMap<int, QString> account(int table, const QDateTime &opened, const QString &fee)
{
    return {{RegisterLine::date(table), shortDate(opened.date())},
            {RegisterLine::startTime(table), longTime(opened.time())},
            {RegisterLine::fee(table), fee}};
}
} // namespace

class TestDesk : public QObject
{
    Q_OBJECT

private slots:
    void openingAccount();
    void restartAsksFirst_data();
    void restartAsksFirst();
    void multipleFeeOpening();
    void cancelledFeeSelection_data();
    void cancelledFeeSelection();
    void noTableSelected_data();
    void noTableSelected();
    void freeTableView();
    void tableViewFollowsFeeMode();

    void calculation_data();
    void calculation();
    void evening();
    void calculationErrors_data();
    void calculationErrors();
    void calculationWithoutTable();
    void resetAndHesapla();

    void feeSelectionWindow();
    void changingFee_data();
    void changingFee();
    void changingFeeCancelled();
    void pauseCorrectionAndFeeFromNow();
    void changingFeeGuards();
    void changingFeeWriteFails();

    void realDoubleClickOpensAccount();
    void doubleClickIsOneClickThenTheDoubleClick();
    void accountsUnderEveryLocale_data();
    void accountsUnderEveryLocale();
    void savedSettingsRefreshShownFee_data();
    void savedSettingsRefreshShownFee();
    void openingOnShortRegister();
    void feeDisplayFollowsKeyboardNotFocus();
    void keyboardChoosesTables();
};

void TestDesk::openingAccount()
{
    Desk desk;
    desk.prepare(3);
    desk.start();
    desk.select(1);
    desk.run([&] { desk.form()->ListBox2DblClick(); });

    QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()),
             registerBytes(3, {{4, "7.12.2026"}, {5, "21:15:03"}, {6, "1000000"}}));
    QCOMPARE(desk.ui()->Label20->text(), QStringLiteral("7.12.2026"));
    QCOMPARE(desk.ui()->Label17->text(), QStringLiteral("21:15:03"));
    QCOMPARE(desk.ui()->Label26->text(), QStringLiteral("1000000"));
    QCOMPARE(desk.ui()->Label27->text(), QStringLiteral("1.000.000 TL"));
    QCOMPARE(desk.env.messages().infos, QStringList{"Masa 2 için hesap açıldı!"});
    QVERIFY(desk.env.messages().questions.isEmpty()); // a free table is not asked about
    QVERIFY(desk.env.messages().errors.isEmpty());
}

void TestDesk::restartAsksFirst_data()
{
    QTest::addColumn<bool>("multiple");
    QTest::addColumn<bool>("answer");
    QTest::newRow("single fee, Hayır") << false << false;
    QTest::newRow("single fee, Evet") << false << true;
    QTest::newRow("multiple fees, Hayır") << true << false;
    QTest::newRow("multiple fees, Evet") << true << true;
}

void TestDesk::restartAsksFirst()
{
    QFETCH(bool, multiple);
    QFETCH(bool, answer);
    Desk desk;
    desk.prepare(2, {{SettingsLine::MultipleFees, flagText(multiple)}},
                 account(1, at("2026-12-06T20:00:00"), "700000"));
    desk.writeLines(desk.paths.feeListFile(), {"1500000"});
    const QByteArray before = TestEnvironment::readBytes(desk.paths.registerFile());
    desk.start();
    desk.select(1);
    desk.env.messages().answers << answer;

    TForm7 *form7 = desk.forms.Form7.get();
    ModalDriver driver(form7, {[form7] {
                           form7->ListBox1->setCurrentRow(0);
                           form7->ListBox1DblClick();
                       }});
    desk.run([&] { desk.form()->ListBox2DblClick(); });

    QCOMPARE(desk.env.messages().questions,
             QStringList{"Masa 2 için açık bir hesap var. Hesap yeniden başlatılsın mı?"});
    // In multiple-fee mode the question comes before the fee selection.
    QCOMPARE(driver.sawOpen, multiple && answer);
    QVERIFY(desk.env.messages().errors.isEmpty());
    if (!answer) {
        QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()), before);
        QCOMPARE(desk.ui()->Label17->text(), QStringLiteral("20:00:00"));
        QVERIFY(desk.env.messages().infos.isEmpty());
        return;
    }
    const QString fee = multiple ? "1500000" : "1000000";
    QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()),
             registerBytes(2, account(1, desk.env.now(), fee)));
    QCOMPARE(desk.ui()->Label17->text(), QStringLiteral("21:15:03"));
    QCOMPARE(desk.env.messages().infos, QStringList{"Masa 2 için hesap açıldı!"});
}

void TestDesk::multipleFeeOpening()
{
    Desk desk;
    desk.prepare(2, {{SettingsLine::MultipleFees, "T"}});
    desk.writeLines(desk.paths.feeListFile(), {"1000000", "250000"});
    desk.start();
    desk.select(0);

    TForm7 *form7 = desk.forms.Form7.get();
    QStringList shown;
    QString firstDisplay, clickedDisplay;
    ModalDriver driver(form7, {[&] {
                                   shown = items(form7->ListBox1);
                                   firstDisplay = form7->Edit1->text();
                                   form7->ListBox1->setCurrentRow(1);
                                   form7->ListBox1Click();
                                   clickedDisplay = form7->Edit1->text();
                               },
                               [&] {
                                   // A click on one fee, then a double click on another.
                                   form7->ListBox1->setCurrentRow(0);
                                   form7->ListBox1DblClick();
                               }});
    desk.run([&] { desk.form()->ListBox2DblClick(); });

    QVERIFY(!driver.leftOpen);
    QCOMPARE(shown, (QStringList{"1000000", "250000"}));
    QCOMPARE(firstDisplay, QStringLiteral("1.000.000 TL"));
    QCOMPARE(clickedDisplay, QStringLiteral("250.000 TL"));
    QCOMPARE(form7->Edit1->text(), QStringLiteral("0"));
    QVERIFY(!form7->CheckBox1->isChecked());
    QCOMPARE(desk.ui()->Label26->text(), QStringLiteral("1000000"));
    QCOMPARE(desk.ui()->Label27->text(), QStringLiteral("1.000.000 TL"));
    QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()),
             registerBytes(2, account(0, desk.env.now(), "1000000")));
    QCOMPARE(desk.env.messages().infos, QStringList{"Masa 1 için hesap açıldı!"});
    QVERIFY(desk.env.messages().errors.isEmpty());
}

void TestDesk::cancelledFeeSelection_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("cancel button") << false;
    QTest::newRow("escape key") << true;
}

void TestDesk::cancelledFeeSelection()
{
    QFETCH(bool, escape);
    Desk desk;
    desk.prepare(2, {{SettingsLine::MultipleFees, "T"}});
    desk.writeLines(desk.paths.feeListFile(), {"1000000", "250000"});
    const QByteArray before = TestEnvironment::readBytes(desk.paths.registerFile());
    desk.start();
    desk.select(1);

    TForm7 *form7 = desk.forms.Form7.get();
    ModalDriver driver(form7, {[&] {
                           form7->ListBox1->setCurrentRow(1);
                           if (escape)
                               QTest::keyClick(form7, Qt::Key_Escape);
                           else
                               form7->findChild<QToolButton *>("SpeedButton1")->click();
                       }});
    desk.run([&] { desk.form()->ListBox2DblClick(); });

    QVERIFY(driver.sawOpen && !driver.leftOpen);
    QVERIFY(form7->CheckBox1->isChecked());
    QCOMPARE(desk.env.messages().infos, QStringList{kOpenCancelled});
    QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()), before);
    QCOMPARE(desk.ui()->Label20->text(), QStringLiteral("-"));
    QCOMPARE(desk.ui()->Label26->text(), QStringLiteral("0"));
    QCOMPARE(desk.ui()->Label27->text(), QStringLiteral("0 TL"));
}

void TestDesk::noTableSelected_data()
{
    QTest::addColumn<bool>("multiple");
    QTest::newRow("single fee") << false;
    QTest::newRow("multiple fees") << true;
}

void TestDesk::noTableSelected()
{
    QFETCH(bool, multiple);
    Desk desk;
    desk.prepare(2, {{SettingsLine::MultipleFees, flagText(multiple)}});
    desk.writeLines(desk.paths.feeListFile(), {"1000000"});
    const QByteArray before = TestEnvironment::readBytes(desk.paths.registerFile());
    desk.start();
    const QString label26 = desk.ui()->Label26->text();

    ModalDriver driver(desk.forms.Form7.get());
    desk.run([&] { desk.form()->ListBox2Click(); });
    QCOMPARE(desk.ui()->GroupBox2->title(), QStringLiteral("Masa Bilgileri"));
    QVERIFY(desk.env.messages().all().isEmpty());

    desk.run([&] { desk.form()->ListBox2DblClick(); });
    QCOMPARE(desk.env.messages().infos, QStringList{kSelectTable});
    QVERIFY(desk.env.messages().errors.isEmpty());
    QVERIFY(!driver.sawOpen);
    QCOMPARE(desk.ui()->Label26->text(), label26);
    QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()), before);
}

void TestDesk::freeTableView()
{
    Desk desk;
    desk.prepare(2, {{SettingsLine::MinimumChargeOn, "T"}, {SettingsLine::MinimumCharge, "50"}}, {},
                 {});
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), {"Çay", "15"});
    desk.start();
    Ui::TForm1 *ui = desk.ui();
    for (QLabel *l : {ui->Label10, ui->Label9, ui->Label8, ui->Label12, ui->statictext2})
        l->setText("left over");
    ui->Edit1->setText("left over");
    desk.panel()->basla->setTime(QTime(5, 0));
    desk.panel()->bitis->setTime(QTime(6, 0));

    desk.select(0);
    QCOMPARE(ui->GroupBox2->title(), QStringLiteral("Masa Bilgileri  (Masa 1)"));
    QCOMPARE(ui->Edit1->text(), QString());
    for (QLabel *l : {ui->Label10, ui->Label9, ui->Label8, ui->Label12, ui->statictext2})
        QCOMPARE(l->text(), QStringLiteral("0"));
    QCOMPARE(desk.panel()->basla->time(), QTime(0, 0));
    QCOMPARE(desk.panel()->bitis->time(), QTime(0, 0));
    QCOMPARE(ui->Label20->text(), QStringLiteral("-"));
    QCOMPARE(ui->Label17->text(), QStringLiteral("00:00:00"));
    QCOMPARE(ui->Label26->text(), QStringLiteral("0"));
    QCOMPARE(ui->Label27->text(), QStringLiteral("0 TL"));
    QCOMPARE(items(ui->ListBox4), QStringList{"Çay"});
    QVERIFY(desk.env.messages().all().isEmpty());

    // Calculated, a free table counts no time and no minimum: only the extras are owed.
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QCOMPARE(ui->statictext2->text(), QStringLiteral("0"));
    QCOMPARE(ui->Label10->text(), QStringLiteral("Hesaplama için süre az"));
    QCOMPARE(ui->Label12->text(), QStringLiteral("15 TL"));
    QCOMPARE(ui->Label9->text(), QStringLiteral("15 TL"));
}

void TestDesk::tableViewFollowsFeeMode()
{
    Desk desk;
    desk.prepare(2, {}, account(1, at("2026-12-06T20:00:00"), "700000"));
    desk.start();
    Ui::TForm1 *ui = desk.ui();

    // Single-fee mode shows the current unit fee, not the stamped one.
    desk.select(1);
    QCOMPARE(ui->Label20->text(), QStringLiteral("6.12.2026"));
    QCOMPARE(ui->Label17->text(), QStringLiteral("20:00:00"));
    QCOMPARE(ui->Label26->text(), QStringLiteral("1000000"));
    QCOMPARE(ui->Label27->text(), QStringLiteral("1.000.000 TL"));

    // The settings window writes a new unit fee into the main window's copy; saved within the
    // account's first minute, it bills all of it.
    desk.env.setNow("2026-12-06T20:00:30");
    RecordList settings = desk.form()->hall().settings();
    settings.set(SettingsLine::UnitFee, "1500000");
    desk.run([&] { desk.form()->hall().saveSettings(settings, std::nullopt); });
    desk.select(0);
    QCOMPARE(ui->Label27->text(), QStringLiteral("0 TL"));
    desk.select(1);
    QCOMPARE(ui->Label26->text(), QStringLiteral("1500000"));
    QCOMPARE(ui->Label27->text(), QStringLiteral("1.500.000 TL"));
    desk.env.setNow("2026-12-06T21:00:00");
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QCOMPARE(ui->Label10->text(), QStringLiteral("1.500.000 TL"));

    // Multiple-fee mode shows the fee stamped into the register.
    settings.set(SettingsLine::MultipleFees, "T");
    desk.run([&] { desk.form()->hall().saveSettings(settings, std::nullopt); });
    desk.select(1);
    QCOMPARE(ui->Label26->text(), QStringLiteral("700000"));
    QCOMPARE(ui->Label27->text(), QStringLiteral("700.000 TL"));
    QVERIFY(desk.env.messages().all().isEmpty());
}

void TestDesk::calculation_data()
{
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("now");
    QTest::addColumn<QString>("fee");
    QTest::addColumn<QString>("minimum");
    QTest::addColumn<QString>("minimumOn");
    QTest::addColumn<QStringList>("booked");
    QTest::addColumn<QString>("minutes");
    QTest::addColumn<QString>("charge");
    QTest::addColumn<QString>("extras");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("info");

    const QString d = "2026-12-07T";
    const QString shortTime = "Hesaplama için süre az";
    const QString noExtras = "Extra girilmemiş!";
    const QString noData = "Veri girişi yetersiz!";
    const QStringList cay{"Çay", "250000"};

    QTest::newRow("worked example") << d + "21:15:03" << d + "22:00:02"
                                    << "1000000"
                                    << "0"
                                    << "" << cay << "44"
                                    << "733.333 TL"
                                    << "250.000 TL"
                                    << "983.333 TL" << QString();
    QTest::newRow("minimum applied") << d + "21:15:03" << d + "22:00:02"
                                     << "1000000"
                                     << "1000000"
                                     << "T" << cay << "44"
                                     << "1.000.000 TL"
                                     << "250.000 TL"
                                     << "1.250.000 TL" << QString();
    QTest::newRow("minimum equal") << d + "21:15:03" << d + "22:00:02"
                                   << "1000000"
                                   << "733333"
                                   << "T" << cay << "44"
                                   << "733.333 TL"
                                   << "250.000 TL"
                                   << "983.333 TL" << QString();
    QTest::newRow("minimum one more") << d + "21:15:03" << d + "22:00:02"
                                      << "1000000"
                                      << "733334"
                                      << "T" << cay << "44"
                                      << "733.334 TL"
                                      << "250.000 TL"
                                      << "983.334 TL" << QString();
    QTest::newRow("minimum off is not read") << d + "21:15:03" << d + "22:00:02"
                                             << "1000000"
                                             << "abc"
                                             << "t" << cay << "44"
                                             << "733.333 TL"
                                             << "250.000 TL"
                                             << "983.333 TL" << QString();
    QTest::newRow("59 seconds") << d + "21:15:03" << d + "21:16:02"
                                << "1000000"
                                << "0"
                                << "" << QStringList() << "0" << shortTime << noExtras << noData
                                << QString();
    QTest::newRow("start equals end")
        << d + "21:15:03" << d + "21:15:03"
        << "1000000"
        << "0"
        << "" << QStringList() << "0" << shortTime << noExtras << noData << QString();
    QTest::newRow("00:59:59") << d + "21:00:00" << d + "21:59:59"
                              << "1000000"
                              << "0"
                              << "" << QStringList() << "59"
                              << "983.333 TL" << noExtras << "983.333 TL" << QString();
    QTest::newRow("01:00:00") << d + "21:00:00" << d + "22:00:00"
                              << "1000000"
                              << "0"
                              << "" << QStringList() << "60"
                              << "1.000.000 TL" << noExtras << "1.000.000 TL" << QString();
    QTest::newRow("1 minute at fee 50")
        << d + "21:00:00" << d + "21:01:00"
        << "50"
        << "0"
        << "" << QStringList() << "1" << shortTime << noExtras << noData << QString();
    QTest::newRow("extras only") << d + "21:00:00" << d + "21:01:00"
                                 << "50"
                                 << "0"
                                 << "" << QStringList{"Su", "100"} << "1" << shortTime << "100 TL"
                                 << "100 TL" << QString();
    QTest::newRow("minimum over zero charge") << d + "21:00:00" << d + "21:01:00"
                                              << "50"
                                              << "5000"
                                              << "T" << QStringList() << "1"
                                              << "5.000 TL" << noExtras << "5.000 TL" << QString();
    QTest::newRow("odd booked list") << d + "21:00:00" << d + "22:00:00"
                                     << "1000000"
                                     << "0"
                                     << "" << QStringList{"A", "100", "B"} << "60"
                                     << "1.000.000 TL"
                                     << "100 TL"
                                     << "1.000.100 TL" << QString();
    QTest::newRow("past midnight") << d + "23:10:00"
                                   << "2026-12-08T01:05:00"
                                   << "1000000"
                                   << "0"
                                   << "" << QStringList() << "115"
                                   << "1.916.666 TL" << noExtras << "1.916.666 TL" << QString();
    QTest::newRow("two days") << "2026-12-05T22:00:00" << d + "22:00:00"
                              << "60"
                              << "0"
                              << "" << QStringList() << "2880"
                              << "2.880 TL" << noExtras << "2.880 TL" << QString();
    QTest::newRow("clock set back") << d + "21:15:03" << d + "21:00:00"
                                    << "1000000"
                                    << "0"
                                    << "" << QStringList{"A", "100"} << "0"
                                    << "0"
                                    << "0"
                                    << "0" << QString(kTimeOrder);
    QTest::newRow("dated in the future") << "2026-12-08T10:00:00" << d + "23:00:00"
                                         << "1000000"
                                         << "0"
                                         << "" << QStringList() << "0"
                                         << "0"
                                         << "0"
                                         << "0" << QString(kTimeOrder);
    QTest::newRow("wide product") << d + "21:00:00" << d + "23:00:00"
                                  << "2000000000"
                                  << "0"
                                  << "" << QStringList() << "120"
                                  << "4.000.000.000 TL" << noExtras << "4.000.000.000 TL"
                                  << QString();
    QTest::newRow("wide extras") << d + "21:00:00" << d + "22:00:00"
                                 << "1000000"
                                 << "0"
                                 << "" << QStringList{"A", "2147483647", "B", "2147483647"} << "60"
                                 << "1.000.000 TL"
                                 << "4.294.967.294 TL"
                                 << "4.295.967.294 TL" << QString();
}

void TestDesk::calculation()
{
    QFETCH(QString, opened);
    QFETCH(QString, now);
    QFETCH(QString, fee);
    QFETCH(QString, minimum);
    QFETCH(QString, minimumOn);
    QFETCH(QStringList, booked);
    QFETCH(QString, minutes);
    QFETCH(QString, charge);
    QFETCH(QString, extras);
    QFETCH(QString, total);
    QFETCH(QString, info);

    Desk desk;
    desk.prepare(1,
                 {{SettingsLine::UnitFee, fee},
                  {SettingsLine::MinimumCharge, minimum},
                  {SettingsLine::MinimumChargeOn, minimumOn}},
                 account(0, at(opened), "1"));
    if (!booked.isEmpty())
        desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), booked);
    desk.start();
    desk.env.setNow(now);
    desk.select(0);
    desk.run([&] { desk.form()->SpeedButton3Click(); });

    Ui::TForm1 *ui = desk.ui();
    QCOMPARE(ui->statictext2->text(), minutes);
    QCOMPARE(ui->Label10->text(), charge);
    QCOMPARE(ui->Label12->text(), extras);
    QCOMPARE(ui->Label9->text(), total);
    QCOMPARE(desk.env.messages().infos, info.isEmpty() ? QStringList() : QStringList{info});
    QVERIFY(desk.env.messages().errors.isEmpty());
    if (info.isEmpty()) {
        QCOMPARE(desk.panel()->basla->time(), at(opened).time());
        QCOMPARE(desk.panel()->bitis->time(), at(now).time());
    } else {
        // The extras total was summed before the times were refused.
        QCOMPARE(ui->Label8->text(), booked.size() > 1 ? booked.at(1) : QStringLiteral("0"));
        QCOMPARE(desk.panel()->basla->time(), QTime(0, 0));
        QCOMPARE(desk.panel()->bitis->time(), QTime(0, 0));
    }
    // Nothing is written and the account stays open.
    QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()),
             registerBytes(1, account(0, at(opened), "1")));
}

void TestDesk::evening()
{
    Desk desk;
    desk.prepare(5);
    desk.start();
    desk.select(2);
    desk.run([&] { desk.form()->ListBox2DblClick(); });
    QCOMPARE(desk.env.messages().infos, QStringList{"Masa 3 için hesap açıldı!"});
    const QStringList reg = desk.readLines(desk.paths.registerFile());
    QCOMPARE(reg.mid(7, 3), (QStringList{"7.12.2026", "21:15:03", "1000000"}));

    desk.select(0);
    desk.env.setNow("2026-12-07T23:02:40");
    desk.select(2);
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QCOMPARE(desk.ui()->statictext2->text(), QStringLiteral("107"));
    QCOMPARE(desk.ui()->Label10->text(), QStringLiteral("1.783.333 TL"));
    QCOMPARE(desk.ui()->Label12->text(), QStringLiteral("Extra girilmemiş!"));
    QCOMPARE(desk.ui()->Label9->text(), QStringLiteral("1.783.333 TL"));
    QVERIFY(desk.env.messages().errors.isEmpty());
}

void TestDesk::calculationErrors_data()
{
    QTest::addColumn<QString>("fee");
    QTest::addColumn<QString>("startTime");
    QTest::addColumn<QStringList>("booked");
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("start time not a time")
        << "1000000"
        << "25:99:00" << QStringList() << QStringList{"'25:99:00' is not a valid time"};
    QTest::newRow("fee beyond 32 bits") << "2147483648"
                                        << "20:00:00" << QStringList()
                                        << QStringList{"'2147483648' is not a valid integer value",
                                                       "'2147483648' is not a valid integer value"};
    QTest::newRow("price beyond 32 bits")
        << "1000000"
        << "20:00:00" << QStringList{"A", "100", "B", "2147483648"}
        << QStringList{"'2147483648' is not a valid integer value"};
    QTest::newRow("empty price") << "1000000"
                                 << "20:00:00" << QStringList{"A", ""}
                                 << QStringList{"'' is not a valid integer value"};
}

void TestDesk::calculationErrors()
{
    QFETCH(QString, fee);
    QFETCH(QString, startTime);
    QFETCH(QStringList, booked);
    QFETCH(QStringList, errors);
    Desk desk;
    desk.prepare(1, {{SettingsLine::MultipleFees, "T"}},
                 {{1, "7.12.2026"}, {2, startTime}, {3, fee}});
    if (!booked.isEmpty())
        desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), booked);
    desk.start();
    desk.select(0);
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QCOMPARE(desk.env.messages().errors, errors);
    QCOMPARE(desk.ui()->Label10->text(), QStringLiteral("0"));
    QCOMPARE(desk.ui()->Label9->text(), QStringLiteral("0"));
}

void TestDesk::calculationWithoutTable()
{
    Desk desk;
    desk.prepare(2);
    desk.start();
    desk.ui()->Label9->setText("left over");
    desk.panel()->bitis->setTime(QTime(5, 0));
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QCOMPARE(desk.env.messages().infos, QStringList{kSelectTable});
    QCOMPARE(desk.ui()->Label9->text(), QStringLiteral("0"));
    QCOMPARE(desk.ui()->statictext2->text(), QStringLiteral("0"));
    QCOMPARE(desk.panel()->bitis->time(), QTime(0, 0));
}

void TestDesk::resetAndHesapla()
{
    Desk desk;
    desk.prepare(1, {{SettingsLine::UnitFee, "600000"}, {SettingsLine::EndTimeFollowsClock, "F"}},
                 account(0, at("2026-12-07T21:00:00"), "1"));
    desk.start();
    Ui::TForm1 *ui = desk.ui();
    QVERIFY(desk.panel()->bitis->isEnabled());
    // Once the time boxes are made, the end-time flag reaches them at once.
    desk.form()->setEndTimeEnabled(false);
    QVERIFY(!desk.panel()->bitis->isEnabled());
    desk.form()->setEndTimeEnabled(true);
    desk.env.setNow("2026-12-07T22:00:00");
    desk.select(0);
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QCOMPARE(ui->Label10->text(), QStringLiteral("600.000 TL"));

    // "Sıfırla" clears the results and leaves the table view.
    desk.run([&] { desk.form()->SpeedButton1Click(); });
    for (QLabel *l : {ui->Label10, ui->Label9, ui->Label8, ui->Label12, ui->statictext2})
        QCOMPARE(l->text(), QStringLiteral("0"));
    QCOMPARE(desk.panel()->basla->time(), QTime(0, 0));
    QCOMPARE(desk.panel()->bitis->time(), QTime(0, 0));
    QCOMPARE(ui->Label17->text(), QStringLiteral("21:00:00"));
    QCOMPARE(ui->Label27->text(), QStringLiteral("600.000 TL"));

    // "Hesapla" on its own works on the two time fields; the end time is kept while the
    // end-time flag is off.
    desk.panel()->basla->setTime(QTime(10, 0));
    desk.panel()->bitis->setTime(QTime(10, 30));
    desk.run([&] { desk.form()->SpeedButton2Click(); });
    QCOMPARE(ui->statictext2->text(), QStringLiteral("30"));
    QCOMPARE(ui->Label10->text(), QStringLiteral("300.000 TL"));

    // Enter in a time field runs it too.
    desk.panel()->bitis->setTime(QTime(11, 0));
    QTest::keyClick(desk.panel()->basla, Qt::Key_Return);
    QCOMPARE(ui->statictext2->text(), QStringLiteral("60"));

    // With the flag on, the end time follows the clock.
    RecordList settings = desk.form()->hall().settings();
    settings.set(SettingsLine::EndTimeFollowsClock, "T");
    desk.run([&] { desk.form()->hall().saveSettings(settings, std::nullopt); });
    desk.panel()->bitis->setTime(QTime(10, 30));
    desk.run([&] { desk.form()->SpeedButton2Click(); });
    QCOMPARE(desk.panel()->bitis->time(), QTime(22, 0));
    QCOMPARE(ui->statictext2->text(), QStringLiteral("720"));
    QVERIFY(desk.env.messages().all().isEmpty());
}

void TestDesk::feeSelectionWindow()
{
    Desk desk;
    desk.prepare(1, {{SettingsLine::MultipleFees, "T"}});
    desk.start();
    desk.select(0);
    TForm7 *form7 = desk.forms.Form7.get();
    auto change = [&] { desk.run([&] { desk.form()->Label27DblClick(); }); };

    // Without a fee list file the window offers what it was made with.
    QStringList shown;
    QString display;
    {
        ModalDriver driver(form7, {[&] {
                               shown = items(form7->ListBox1);
                               display = form7->Edit1->text();
                               form7->ListBox1->setCurrentRow(0);
                               form7->ListBox1DblClick();
                           }});
        change();
        QVERIFY(!driver.leftOpen);
    }
    QCOMPARE(shown, QStringList{"10000000"});
    QCOMPARE(display, QStringLiteral("1.000.000 TL"));
    QCOMPARE(desk.ui()->Label27->text(), QStringLiteral("10.000.000 TL"));

    // Still no file: the list keeps its lines and its selection; the display reads "0".
    bool stillSelected = false;
    {
        ModalDriver driver(form7, {[&] {
                               shown = items(form7->ListBox1);
                               display = form7->Edit1->text();
                               stillSelected = form7->ListBox1->currentItem() &&
                                               form7->ListBox1->currentItem()->isSelected();
                               QTest::keyClick(form7, Qt::Key_Escape);
                           }});
        change();
        QVERIFY(driver.sawOpen && !driver.leftOpen);
    }
    QCOMPARE(shown, QStringList{"10000000"});
    QCOMPARE(display, QStringLiteral("0"));
    QVERIFY(stillSelected);
    QCOMPARE(desk.env.messages().infos, QStringList{kChangeCancelled});

    // With a file: no line selected at first; a double click then keeps the window open,
    // and a line that is no number leaves the display as it was.
    desk.writeLines(desk.paths.feeListFile(), {"1000000", "abc"});
    desk.env.messages().clear();
    bool openAfterDblClick = false;
    {
        ModalDriver driver(form7, {[&] {
                                       shown = items(form7->ListBox1);
                                       form7->ListBox1DblClick();
                                   },
                                   [&] {
                                       // A current line that is not selected is no choice.
                                       form7->ListBox1->setCurrentRow(0);
                                       form7->ListBox1->item(0)->setSelected(false);
                                       form7->ListBox1DblClick();
                                   },
                                   [&] {
                                       openAfterDblClick = form7->isVisible();
                                       form7->ListBox1->setCurrentRow(1);
                                       kv::guard([&] { form7->ListBox1Click(); });
                                       display = form7->Edit1->text();
                                       form7->findChild<QToolButton *>("SpeedButton1")->click();
                                   }});
        change();
        QVERIFY(!driver.leftOpen);
    }
    QCOMPARE(shown, (QStringList{"1000000", "abc"}));
    QVERIFY(openAfterDblClick);
    QCOMPARE(display, QStringLiteral("0"));
    QCOMPARE(desk.env.messages().errors,
             (QStringList{"List index out of bounds (-1)", "List index out of bounds (-1)",
                          "'abc' is not a valid integer value"}));
    QCOMPARE(desk.ui()->Label26->text(), QStringLiteral("10000000"));
    QCOMPARE(desk.env.messages().infos, QStringList{kChangeCancelled});
    QCOMPARE(desk.ui()->Label27->text(), QStringLiteral("10.000.000 TL"));
}

void TestDesk::changingFee_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("label26");
    QTest::addColumn<QString>("label27");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QStringList>("errors");
    QTest::newRow("1000000") << 1 << "1000000"
                             << "1.000.000 TL" << true << QStringList();
    QTest::newRow("0") << 0 << "0"
                       << " TL" << true << QStringList();
    QTest::newRow("not a number") << 2 << "abc"
                                  << "500.000 TL" << false
                                  << QStringList{"'abc' is not a valid integer value"};
}

void TestDesk::changingFee()
{
    QFETCH(int, row);
    QFETCH(QString, label26);
    QFETCH(QString, label27);
    QFETCH(bool, written);
    QFETCH(QStringList, errors);
    Desk desk;
    const QMap<int, QString> open = account(2, at("2026-12-07T20:00:00"), "500000");
    desk.prepare(4, {{SettingsLine::MultipleFees, "T"}}, open);
    desk.writeLines(desk.paths.feeListFile(), {"0", "1000000", "abc"});
    desk.start();
    desk.select(2);
    QCOMPARE(desk.ui()->Label27->text(), QStringLiteral("500.000 TL"));

    TForm7 *form7 = desk.forms.Form7.get();
    ModalDriver driver(form7, {[&] {
                           form7->ListBox1->setCurrentRow(row);
                           form7->ListBox1DblClick();
                       }});
    desk.run([&] { desk.form()->Label27DblClick(); });

    QVERIFY(!driver.leftOpen);
    QCOMPARE(desk.ui()->Label26->text(), label26);
    QCOMPARE(desk.ui()->Label27->text(), label27);
    QCOMPARE(desk.env.messages().errors, errors);
    QVERIFY(desk.env.messages().infos.isEmpty());
    // Only line 3i+3 changes; date and start time stay.
    QMap<int, QString> expected = open;
    if (written)
        expected[9] = label26;
    QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()), registerBytes(4, expected));
}

// F6 stops and starts a table's clock, F3 takes minutes off for a reason, F4 on a table that
// ran a while asks from when the new fee applies: the bill holds each as a segment.
void TestDesk::pauseCorrectionAndFeeFromNow()
{
    Desk desk;
    desk.prepare(2, {{SettingsLine::MultipleFees, "T"}},
                 account(0, at("2026-12-07T20:00:00"), "120"));
    desk.writeLines(desk.paths.feeListFile(), {"120", "180"});
    desk.env.setNow("2026-12-07T21:00:20");
    desk.start();
    desk.select(0);
    const auto rowText = [&] {
        return desk.ui()->ListBox2->item(0)->data(Qt::AccessibleDescriptionRole).toString();
    };
    desk.run([&] { desk.form()->DurdurClick(); });
    QCOMPARE(desk.ui()->Durdur->text(), QStringLiteral("Devam Ettir"));
    desk.env.setNow("2026-12-07T21:30:20");
    desk.form()->refreshFloor();
    QCOMPARE(rowText(), QStringLiteral("Durduruldu, 1:00, 120 TL"));
    desk.run([&] { desk.form()->DurdurClick(); });
    QCOMPARE(desk.ui()->Durdur->text(), QStringLiteral("Durdur"));

    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<TimeCorrection *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->findChild<QSpinBox *>("Minutes")->setValue(-10);
        auto *ok = dialog->findChild<QPushButton *>("Ok");
        QVERIFY(!ok->isEnabled()); // no reason yet
        dialog->findChild<QLineEdit *>("Reason")->setText("Geç oturdu");
        ok->click();
    });
    desk.run([&] { desk.form()->SureDuzeltClick(); });

    TForm7 *form7 = desk.forms.Form7.get();
    ModalDriver driver(form7, {[&] {
                           form7->ListBox1->setCurrentRow(1);
                           form7->ListBox1DblClick();
                       }});
    desk.run([&] { desk.form()->Label27DblClick(); });
    QCOMPARE(desk.env.messages().questions,
             QStringList{"Yeni ücret ne zamandan itibaren geçerli olsun?"});
    QCOMPARE(desk.env.messages().errors, QStringList());

    desk.env.setNow("2026-12-07T22:00:20");
    const ledger::BillRecord bill = desk.form()->hall().accountRecord(0, counter::momentNow());
    QCOMPARE(bill.bill.minutes, 80);     // 60 + 30 after the pause − 10
    QCOMPARE(bill.bill.timeCharge, 190); // 120 − 20 + 30 min at 180
    QCOMPARE(bill.segments.size(), 4);
}

void TestDesk::changingFeeCancelled()
{
    Desk desk;
    desk.prepare(2, {{SettingsLine::MultipleFees, "T"}},
                 account(0, at("2026-12-07T20:00:00"), "500000"));
    desk.writeLines(desk.paths.feeListFile(), {"1000000"});
    const QByteArray before = TestEnvironment::readBytes(desk.paths.registerFile());
    desk.start();
    desk.select(0);

    TForm7 *form7 = desk.forms.Form7.get();
    ModalDriver driver(form7, {[form7] {
                           form7->ListBox1->setCurrentRow(0);
                           form7->findChild<QToolButton *>("SpeedButton1")->click();
                       }});
    desk.run([&] { desk.form()->Label27DblClick(); });
    QVERIFY(driver.sawOpen && !driver.leftOpen);
    QCOMPARE(desk.env.messages().infos, QStringList{kChangeCancelled});
    QCOMPARE(desk.ui()->Label26->text(), QStringLiteral("500000"));
    QCOMPARE(desk.ui()->Label27->text(), QStringLiteral("500.000 TL"));
    QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()), before);
}

void TestDesk::changingFeeGuards()
{
    for (bool multiple : {false, true}) {
        Desk desk;
        desk.prepare(2, {{SettingsLine::MultipleFees, flagText(multiple)}},
                     account(0, at("2026-12-07T20:00:00"), "500000"));
        desk.writeLines(desk.paths.feeListFile(), {"1000000"});
        const QByteArray before = TestEnvironment::readBytes(desk.paths.registerFile());
        desk.start();
        ModalDriver driver(desk.forms.Form7.get());

        desk.run([&] { desk.form()->Label27DblClick(); });
        QCOMPARE(desk.env.messages().infos, QStringList{kSelectTable});
        QVERIFY(!driver.sawOpen);

        if (!multiple) {
            // In single-fee mode the fee label cannot be changed: nothing at all happens.
            desk.select(0);
            desk.env.messages().clear();
            desk.run([&] { desk.form()->Label27DblClick(); });
            QVERIFY(desk.env.messages().all().isEmpty());
            QVERIFY(!driver.sawOpen);
            QCOMPARE(desk.ui()->Label27->text(), QStringLiteral("1.000.000 TL"));
        }
        QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()), before);
    }
}

void TestDesk::changingFeeWriteFails()
{
    Desk desk;
    desk.prepare(2, {{SettingsLine::MultipleFees, "T"}},
                 account(1, at("2026-12-07T20:00:00"), "500000"));
    desk.writeLines(desk.paths.feeListFile(), {"1000000"});
    desk.start();
    desk.select(1);
    // A directory where the register belongs: the write fails even for root.
    QVERIFY(QFile::remove(desk.paths.registerFile()));
    QVERIFY(QDir().mkdir(desk.paths.registerFile()));

    TForm7 *form7 = desk.forms.Form7.get();
    auto choose = [&] {
        ModalDriver driver(form7, {[form7] {
                               form7->ListBox1->setCurrentRow(0);
                               form7->ListBox1DblClick();
                           }});
        desk.run([&] { desk.form()->Label27DblClick(); });
    };
    choose();
    QCOMPARE(
        desk.env.messages().errors,
        QStringList{"Cannot create file " + QDir::toNativeSeparators(desk.paths.registerFile())});
    // What is shown is what the register holds: the old fee.
    QCOMPARE(desk.ui()->Label27->text(), QStringLiteral("500.000 TL"));
    QCOMPARE(desk.ui()->Label26->text(), QStringLiteral("500000"));
    QCOMPARE(desk.form()->hall().registerLines().at(6), QStringLiteral("500000"));
    QCOMPARE(QDir(desk.env.dataDir()).entryList({"*.dll*"}, QDir::Files | QDir::Hidden).size(), 3);

    // Once the fault is gone the change can be made again.
    QVERIFY(QDir().rmdir(desk.paths.registerFile()));
    choose();
    QCOMPARE(desk.readLines(desk.paths.registerFile()).mid(4, 3),
             (QStringList{"7.12.2026", "20:00:00", "1000000"}));
}

void TestDesk::realDoubleClickOpensAccount()
{
    Desk desk;
    desk.prepare(3);
    desk.start();
    desk.form()->show();
    QVERIFY(QTest::qWaitForWindowExposed(desk.form()));
    QListWidget *tables = desk.ui()->ListBox2;
    QWidget *viewport = tables->viewport();

    // A double click below the last table, with none selected.
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(20, viewport->height() - 10));
    QCOMPARE(desk.env.messages().infos, QStringList{kSelectTable});
    QVERIFY(tables->selectedItems().isEmpty());

    desk.env.messages().clear();
    const QRect rect = tables->visualItemRect(tables->item(1));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, rect.center());
    QCOMPARE(desk.form()->selectedTable(), 1);
    // The click that comes with it showed the table first.
    QCOMPARE(desk.ui()->GroupBox2->title(), QStringLiteral("Masa Bilgileri  (Masa 2)"));
    QCOMPARE(desk.env.messages().infos, QStringList{"Masa 2 için hesap açıldı!"});
    QVERIFY(desk.env.messages().errors.isEmpty());
    QCOMPARE(desk.ui()->Label17->text(), QStringLiteral("21:15:03"));
    QCOMPARE(desk.ui()->Label27->text(), QStringLiteral("1.000.000 TL"));
    QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()),
             registerBytes(3, account(1, desk.env.now(), "1000000")));
}

void TestDesk::openingOnShortRegister()
{
    // A hand-shortened register: opening pads it rather than failing on the open-account check.
    Desk desk;
    desk.prepare(0);
    desk.writeLines(desk.paths.registerFile(), {"3"});
    desk.start();
    desk.ui()->ListBox2->setCurrentRow(2);
    desk.run([&] { desk.form()->ListBox2DblClick(); });
    QVERIFY(desk.env.messages().errors.isEmpty());
    QVERIFY(desk.env.messages().questions.isEmpty());
    QCOMPARE(desk.env.messages().infos.last(), QStringLiteral("Masa 3 için hesap açıldı!"));
    QCOMPARE(desk.readLines(desk.paths.registerFile()),
             (QStringList{"3", "", "", "", "", "", "", "7.12.2026", "21:15:03", "1000000"}));
}

void TestDesk::feeDisplayFollowsKeyboardNotFocus()
{
    Desk desk;
    desk.prepare(1, {{SettingsLine::MultipleFees, "T"}});
    desk.writeLines(desk.paths.feeListFile(), {"250000", "75000"});
    desk.start();
    desk.select(0);
    TForm7 *form7 = desk.forms.Form7.get();
    QString onFocus, afterKey;
    ModalDriver driver(form7, {[&] {
                           // Focus makes a line current without choosing it.
                           QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
                           QApplication::sendEvent(form7->ListBox1, &in);
                           onFocus = form7->Edit1->text();
                           form7->ListBox1->setCurrentRow(0);
                           QTest::keyClick(form7->ListBox1, Qt::Key_Down);
                           afterKey = form7->Edit1->text();
                           form7->findChild<QToolButton *>("SpeedButton1")->click();
                       }});
    desk.run([&] { desk.form()->Label27DblClick(); });
    QCOMPARE(onFocus, QStringLiteral("1.000.000 TL"));
    QCOMPARE(afterKey, QStringLiteral("75.000 TL"));
}

void TestDesk::keyboardChoosesTables()
{
    Desk desk;
    desk.prepare(3, {}, account(1, at("2026-12-07T20:00:00"), "1000000"));
    desk.start();
    desk.select(0);
    QTest::keyClick(desk.ui()->ListBox2, Qt::Key_Down);
    QCOMPARE(desk.ui()->GroupBox2->title(), QStringLiteral("Masa Bilgileri  (Masa 2)"));
    QCOMPARE(desk.ui()->Label17->text(), QStringLiteral("20:00:00"));
    // A key that moves nothing shows nothing again.
    desk.ui()->Label17->setText(QStringLiteral("x"));
    QTest::keyClick(desk.ui()->ListBox2, Qt::Key_Shift);
    QCOMPARE(desk.ui()->Label17->text(), QStringLiteral("x"));
}

void TestDesk::doubleClickIsOneClickThenTheDoubleClick()
{
    // The click Qt reports on the release of a double click must not show the table again
    // (nor pick the extra again): a marker set while the double click is handled survives.
    Desk desk;
    desk.prepare(2, {}, {}, {"Çay", "15"});
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), {"Çay", "15"});
    desk.start();
    desk.form()->show();
    QVERIFY(QTest::qWaitForWindowExposed(desk.form()));
    const auto dclick = [](QListWidget *list, int row) {
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                           list->visualItemRect(list->item(row)).center());
    };

    desk.env.messages().onInfo = [&](const QString &) { desk.ui()->Edit1->setText("marker"); };
    dclick(desk.ui()->ListBox2, 0);
    QCOMPARE(desk.env.messages().infos, QStringList{"Masa 1 için hesap açıldı!"});
    QCOMPARE(desk.ui()->Edit1->text(), QStringLiteral("marker"));

    TForm5 *picker = desk.forms.Form5.get();
    ModalDriver driver(
        picker, {[&] { desk.ui()->Edit1->setText("marker"); }, [picker] { picker->accept(); }});
    dclick(desk.ui()->ListBox4, 0);
    QVERIFY(driver.sawOpen);
    QCOMPARE(desk.ui()->Edit1->text(), QStringLiteral("marker"));
}

void TestDesk::accountsUnderEveryLocale_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("now");
    QTest::addColumn<int>("minutes");
    for (const char *name :
         {"tr_TR", "en_US", "en_GB", "de_DE", "fr_FR", "it_IT", "es_ES", "az_AZ", "ja_JP"}) {
        QTest::addRow("%s, same day", name) << name << name << "2026-12-08T21:15:03"
                                            << "2026-12-08T22:00:02" << 44;
        QTest::addRow("%s, across midnight", name) << name << name << "2026-12-08T23:30:00"
                                                   << "2026-12-09T00:14:59" << 44;
        QTest::addRow("%s, two days", name) << name << name << "2026-12-06T21:00:00"
                                            << "2026-12-08T21:44:00" << 2 * 1440 + 44;
    }
    // Written under one locale and read under another: the Turkish form is read back, and
    // a date nothing reads bills as the same day, never as another century.
    QTest::newRow("tr_TR read by en_US") << "tr_TR"
                                         << "en_US"
                                         << "2026-12-07T23:30:00"
                                         << "2026-12-08T00:14:59" << 44;
    QTest::newRow("en_US read by tr_TR") << "en_US"
                                         << "tr_TR"
                                         << "2026-12-08T21:00:00"
                                         << "2026-12-08T21:44:00" << 44;
    QTest::newRow("de_DE read by en_GB") << "de_DE"
                                         << "en_GB"
                                         << "2026-12-08T21:00:00"
                                         << "2026-12-08T21:44:00" << 44;
}

void TestDesk::accountsUnderEveryLocale()
{
    QFETCH(QString, writer);
    QFETCH(QString, reader);
    QFETCH(QString, opened);
    QFETCH(QString, now);
    QFETCH(int, minutes);
    Desk desk;
    desk.prepare(1);
    desk.start();
    setAppLocale(QLocale(writer));
    desk.env.setNow(opened);
    desk.select(0);
    desk.run([&] { desk.form()->ListBox2DblClick(); });
    setAppLocale(QLocale(reader));
    desk.env.setNow(now);
    desk.select(0);
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    QVERIFY2(desk.env.messages().errors.isEmpty(),
             qPrintable(desk.env.messages().errors.join('|')));
    QCOMPARE(desk.ui()->statictext2->text(), QString::number(minutes));
    QCOMPARE(desk.ui()->Label10->text(), formatAmount(qint64(minutes) * 1000000 / 60));
}

void TestDesk::savedSettingsRefreshShownFee_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("shown");
    QTest::newRow("open table") << true << "2.000.000 TL";
    QTest::newRow("free table") << false << "0 TL";
}

void TestDesk::savedSettingsRefreshShownFee()
{
    // What the table view shows after "Kaydet" is what "Ücret Hesapla" bills.
    QFETCH(bool, open);
    QFETCH(QString, shown);
    Desk desk;
    desk.prepare(1, {},
                 open ? account(0, at("2026-12-07T20:15:03"), "1000000") : QMap<int, QString>());
    desk.start();
    desk.select(0);
    TForm3 *settings = desk.forms.Form3.get();
    ModalDriver driver(settings, {[settings] {
                           settings->findChild<QLineEdit *>("birim")->setText("2000000");
                           settings->SpeedButton1Click();
                           settings->reject();
                       }});
    desk.run([&] { desk.form()->Seenekler1Click(); });
    QVERIFY(driver.sawOpen);
    QCOMPARE(desk.ui()->Label27->text(), shown);
    desk.run([&] { desk.form()->SpeedButton3Click(); });
    // The hour already played keeps its fee: the new one bills from the save on.
    if (open)
        QCOMPARE(desk.ui()->Label10->text(), QStringLiteral("1.000.000 TL"));
}

QTEST_MAIN(TestDesk)
#include "tst_desk.moc"

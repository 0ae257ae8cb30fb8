// An evening's money worked through the windows: a shift opened with a float, one bill paid
// in parts by cash and card, one put on a tab and collected, cash taken out, the shift
// closed with the cash counted short, and its report.
#include "ledgerfixture.h"

#include "shiftreportwindow.h"
#include "shiftwindows.h"
#include "tabswindow.h"
#include "ui_billwindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBrowser>

using namespace kv;

class TestShift : public QObject
{
    Q_OBJECT

private slots:
    void shiftThroughTheWindows();
};

namespace {
template <class T = QWidget> T *child(QWidget *window, const char *name)
{
    T *found = window->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

void type(QWidget *window, const char *field, const QString &text)
{
    child<QLineEdit>(window, field)->setText(text);
}

void press(QWidget *window, const char *button)
{
    QTest::mouseClick(child<QPushButton>(window, button), Qt::LeftButton);
}
} // namespace

void TestShift::shiftThroughTheWindows()
{
    Desk desk;
    desk.prepare(2, {{SettingsLine::UnitFee, "120"}},
                 {{RegisterLine::date(0), "7.12.2026"},
                  {RegisterLine::startTime(0), "20:00:00"},
                  {RegisterLine::fee(0), "120"}});
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), {"Tost", "40"});
    desk.writeLines(desk.paths.tableExtrasFile("Masa 2"), {"Çay", "15"});
    desk.start();
    CashDesk *cash = desk.forms.Cash;
    desk.env.setNow("2026-12-07T21:00:00");

    QDialog *opening = cash->openShiftWindow();
    QString cashier;
    ModalDriver opened(opening, {[&] {
                           cashier = child<QLabel>(opening, "Kasiyer")->text();
                           type(opening, "KasadakiPara", "500");
                           press(opening, "Tamam");
                       }});
    desk.ui()->VardiyaAc1->trigger();
    QVERIFY(opened.sawOpen && !opened.leftOpen);
    QCOMPARE(cashier, QStringLiteral("(kasiyer tanımlı değil)"));
    QLabel *status = child<QLabel>(desk.form(), "StatusShift");
    QCOMPARE(status->text(), QStringLiteral("Vardiya açık (açılış 07.12.2026 21:00)"));

    // 70 minutes and a toast, 180 TL: 100 in cash, the rest by card.
    desk.env.setNow("2026-12-07T21:10:00");
    desk.select(0);
    BillWindow *bill = cash->billWindow();
    QString left, change;
    ModalDriver paid(bill, {[&] {
                         type(bill, "AmountEdit", "100");
                         press(bill, "CashButton");
                         left = bill->ui->AmountEdit->text();
                         press(bill, "CardButton");
                         press(bill, "PaidButton");
                     }});
    desk.run([&] { cash->HesabiKapatClick(); });
    QVERIFY(paid.sawOpen && !paid.leftOpen);
    QCOMPARE(left, QStringLiteral("80"));
    // A tea at the free table, on Ali's tab.
    desk.select(1);
    ModalDriver onTab(bill, {[&] {
                          bill->ui->CustomerBox->setEditText("Ali");
                          press(bill, "TabButton");
                          press(bill, "PaidButton");
                      }});
    desk.run([&] { cash->HesabiKapatClick(); });
    QVERIFY(onTab.sawOpen && !onTab.leftOpen);
    // Ali pays it in cash.
    TabsWindow *tabs = cash->tabsWindow();
    QString owed;
    ModalDriver collected(tabs, {[&] {
                                     auto *customers = child<QTableWidget>(tabs, "Musteriler");
                                     customers->selectRow(0);
                                     owed = child<QLabel>(tabs, "Borc")->text();
                                     press(tabs, "TahsilEt");
                                 },
                                 [&] { press(tabs, "Kapat"); }});
    desk.ui()->Veresiye1->trigger();
    QVERIFY(collected.sawOpen && !collected.leftOpen);
    QVERIFY2(owed.contains("15 TL"), qPrintable(owed));

    // The reason is required: the window stays open until it is given.
    desk.env.setNow("2026-12-07T21:20:00");
    QDialog *out = cash->cashOutWindow();
    ModalDriver takenOut(out, {[&] {
                                   type(out, "Tutar", "15");
                                   press(out, "Tamam");
                               },
                               [&] {
                                   type(out, "Neden", "bozuk para");
                                   press(out, "Tamam");
                               }});
    desk.ui()->KasadanCikis1->trigger();
    QVERIFY(takenOut.sawOpen && !takenOut.leftOpen);

    desk.env.setNow("2026-12-07T21:30:00");
    QDialog *closing = cash->closeShiftWindow();
    QDialog *report = cash->shiftReportWindow();
    QString expected, difference, shown, again;
    {
        // Each window's driver ends with it.
        ModalDriver closed(closing, {[&] {
                               expected = child<QLabel>(closing, "Beklenen")->text();
                               QTest::keyClicks(child(closing, "Sayilan"), "595");
                               difference = child<QLabel>(closing, "Fark")->text();
                               type(closing, "Not", "sayım");
                               press(closing, "Tamam");
                           }});
        ModalDriver reported(
            report, {[&] {
                shown = child<QTextBrowser>(report, "Rapor")->toPlainText().simplified();
                press(report, "Kapat");
            }});
        desk.ui()->VardiyaKapat1->trigger();
        QVERIFY(closed.sawOpen && !closed.leftOpen && reported.sawOpen && !reported.leftOpen);
    }
    QVERIFY(status->text().isEmpty());
    QCOMPARE(expected, QStringLiteral("600 TL"));
    QCOMPARE(difference, QStringLiteral("−5 TL eksik"));
    for (const char *line :
         {"Nakit 100 TL", "Kart 80 TL", "Veresiye 15 TL", "Kasadan çıkış 15 TL",
          "Olması gereken 600 TL", "Sayılan 595 TL", "Fark −5 TL eksik", "bozuk para", "Not sayım"})
        QVERIFY2(shown.contains(QString::fromUtf8(line)), qPrintable(shown));

    // With none open, the report is the last one closed.
    ModalDriver later(report, {[&] {
                          again = child<QTextBrowser>(report, "Rapor")->toPlainText().simplified();
                          press(report, "Kapat");
                      }});
    desk.ui()->VardiyaRaporu1->trigger();
    QCOMPARE(again, shown);

    QCOMPARE(desk.env.messages().errors, QStringList{"Kasadan çıkışın nedenini yazın."});
    const QStringList infos = desk.env.messages().infos;
    QCOMPARE(infos, (QStringList{"Vardiya açıldı.", "Masa 1 için hesap kapatıldı!",
                                 "Masa 2 için hesap kapatıldı!",
                                 "Ali borcundan 15 TL nakit tahsil edildi.",
                                 "Kasadan çıkış kaydedildi."}));
    const QString db = desk.paths.ledgerFile();
    QCOMPARE(rows(db, "SELECT float, expected, counted, note, closed_at FROM shifts"),
             (QList<QVariantList>{{500, 600, 595, "sayım", "2026-12-07T21:30:00"}}));
    QCOMPARE(rows(db, "SELECT kind, method, amount, customer FROM payments ORDER BY id"),
             (QList<QVariantList>{{"sale", "cash", 100, ""},
                                  {"sale", "card", 80, ""},
                                  {"sale", "tab", 15, "Ali"},
                                  {"collect", "cash", 15, "Ali"}}));
    QCOMPARE(rows(db, "SELECT amount, reason FROM cash_outs"),
             (QList<QVariantList>{{15, "bozuk para"}}));
}

QTEST_MAIN(TestShift)
#include "tst_shift.moc"

// A shift worked through the windows of menu Kasa: opened with a float, cash taken out,
// closed with the cash counted, and its report.
#include "ledgerfixture.h"

#include "shiftreportwindow.h"
#include "shiftwindows.h"

#include <QLineEdit>
#include <QPushButton>
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
    desk.prepare(1);
    desk.writeLines(desk.paths.tableExtrasFile("Masa 1"), {"Tost", "40"});
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

    desk.env.setNow("2026-12-07T21:10:00");
    desk.select(0);
    // 40 TL, paid in full in cash as "Ödendi, Kapat" pays it.
    QDialog *bill = cash->billWindow();
    ModalDriver paid(bill, {[&] { press(bill, "PaidButton"); }});
    desk.run([&] { cash->HesabiKapatClick(); });
    QVERIFY(paid.sawOpen && !paid.leftOpen);

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
                               QTest::keyClicks(child(closing, "Sayilan"), "520");
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
    QCOMPARE(expected, QStringLiteral("525 TL"));
    QCOMPARE(difference, QStringLiteral("−5 TL eksik"));
    for (const char *line : {"Nakit 40 TL", "Kasadan çıkış 15 TL", "Olması gereken 525 TL",
                             "Sayılan 520 TL", "Fark −5 TL eksik", "bozuk para", "Not sayım"})
        QVERIFY2(shown.contains(QString::fromUtf8(line)), qPrintable(shown));

    // With none open, the report is the last one closed.
    ModalDriver later(report, {[&] {
                          again = child<QTextBrowser>(report, "Rapor")->toPlainText().simplified();
                          press(report, "Kapat");
                      }});
    desk.ui()->VardiyaRaporu1->trigger();
    QCOMPARE(again, shown);

    QCOMPARE(desk.env.messages().errors, QStringList{"Kasadan çıkışın nedenini yazın."});
    QCOMPARE(desk.env.messages().infos,
             (QStringList{"Vardiya açıldı.", "Masa 1 için hesap kapatıldı!",
                          "Kasadan çıkış kaydedildi."}));
    const QString db = desk.paths.ledgerFile();
    QCOMPARE(rows(db, "SELECT float, expected, counted, note, closed_at FROM shifts"),
             (QList<QVariantList>{{500, 525, 520, "sayım", "2026-12-07T21:30:00"}}));
    QCOMPARE(rows(db, "SELECT amount, reason FROM cash_outs"),
             (QList<QVariantList>{{15, "bozuk para"}}));
}

QTEST_MAIN(TestShift)
#include "tst_shift.moc"

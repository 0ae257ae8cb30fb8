// Printing from the counter's windows: a bill printed to PDF from the bill window and read
// back, and a receipt printer that is absent or hangs while a bill is paid.
#include "ledgerfixture.h"

#include "ayarlar.h"
#include "eventrows.h"
#include "printdesk.h"
#include "printerpage.h"
#include "ui_billwindow.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

using namespace kv;

class TestBillPrinting : public QObject
{
    Q_OBJECT

private slots:
    void billToPdf();
    void printerFailsWhilePaying_data();
    void printerFailsWhilePaying();
    void setupInTheTab();
};

namespace {
// Masa 1 open since 20:00 with a tea booked; the clock at 21:10.
void openWithTea(Desk &desk)
{
    desk.prepare(2, {{SettingsLine::UnitFee, "120"}},
                 {{RegisterLine::date(0), "7.12.2026"},
                  {RegisterLine::startTime(0), "20:00:00"},
                  {RegisterLine::fee(0), "120"}},
                 {"Çay", "15"});
    desk.env.setNow("2026-12-07T21:10:00");
    desk.start();
    QVERIFY(desk.form()->hall().book(0, 0));
    desk.select(0);
}

QMessageBox *printProblem(QWidget *window)
{
    return window->findChild<QMessageBox *>(QStringLiteral("PrintProblem"));
}
} // namespace

// F7 prints the bill as it stands and leaves it open to be paid; the PDF holds its lines in
// order.
void TestBillPrinting::billToPdf()
{
    Desk desk;
    openWithTea(desk);
    hall::Hall &hall = desk.form()->hall();
    QTemporaryDir folder;
    print::PrinterSetup setup;
    setup.kind = print::PrinterSetup::Kind::Pdf;
    setup.pdfFolder = folder.path();
    setup.hallName = "Köşe Salonu";
    hall.savePrinterSetup(setup);
    const qint64 total = hall.accountRecord(0, counter::momentNow()).bill.total;

    CashDesk *cash = desk.forms.Cash;
    BillWindow *bill = cash->billWindow();
    bool openAfterPrint = false;
    ModalDriver printed(bill, {[&] {
                                   bill->activateWindow();
                                   QVERIFY(QTest::qWaitForWindowActive(bill));
                                   // Part paid by card: the print shows it and what is left.
                                   bill->ui->AmountEdit->setText("50");
                                   bill->ui->CardButton->click();
                                   QTest::keyClick(bill, Qt::Key_F7);
                                   QCOMPARE(cash->printDesk()->pending(), 1);
                               },
                               [&] {
                                   QTRY_COMPARE_WITH_TIMEOUT(cash->printDesk()->pending(), 0,
                                                             10000);
                                   openAfterPrint = bill->isVisible();
                                   bill->reject();
                               }});
    desk.run([&] { cash->HesabiKapatClick(); });
    QVERIFY(printed.sawOpen && !printed.leftOpen);
    QVERIFY(openAfterPrint);
    QVERIFY(hall.hasAccount(0)); // printing paid nothing
    QVERIFY(!printProblem(desk.form()));
    const QStringList pdfs = QDir(folder.path()).entryList({"*.pdf"}, QDir::Files);
    QCOMPARE(pdfs.size(), 1);
    QVERIFY(eventRows(hall.ledger().connectionName()).contains("print -"));

    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed: the PDF's text is not checked");
    QProcess text;
    text.start("pdftotext", {"-layout", folder.filePath(pdfs.first()), "-"});
    QVERIFY(text.waitForFinished(20000));
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    qsizetype at = 0;
    for (const QString &expected :
         {QString("Köşe Salonu"), QString("Masa 1"), QString("Açılış"), QString("Çay"),
          QString("15 TL"), QString("TOPLAM"), counter::amountText(total), QString("Kart"),
          QString("50 TL"), QString("Kalan"), counter::amountText(total - 50),
          QString("Bilgi amaçlıdır. MALİ DEĞERİ YOKTUR.")}) {
        const qsizetype found = out.indexOf(expected, at);
        QVERIFY2(found >= 0,
                 qPrintable(QString("\"%1\" after %2 in:\n%3").arg(expected).arg(at).arg(out)));
        at = found + expected.size();
    }
}

void TestBillPrinting::printerFailsWhilePaying_data()
{
    QTest::addColumn<bool>("hangs");
    QTest::newRow("absent") << false;
    QTest::newRow("hangs") << true;
}

// The bill is paid and the table free at once; the printer's failure is said later, and the
// counter answers throughout.
void TestBillPrinting::printerFailsWhilePaying()
{
    QFETCH(bool, hangs);
    QTcpServer printer;
    QList<QTcpSocket *> held;
    QVERIFY(printer.listen(QHostAddress::LocalHost));
    const quint16 port = printer.serverPort();
    if (hangs)
        connect(&printer, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *s = printer.nextPendingConnection())
                held << s; // accepted, never answered
        });
    else
        printer.close(); // nobody listens there now

    Desk desk;
    openWithTea(desk);
    hall::Hall &hall = desk.form()->hall();
    print::PrinterSetup setup;
    setup.kind = print::PrinterSetup::Kind::Network;
    setup.host = "127.0.0.1";
    setup.port = port;
    setup.autoPrint = true;
    hall.savePrinterSetup(setup);
    CashDesk *cash = desk.forms.Cash;
    cash->printDesk()->setTimeoutMs(1500);

    // The counter's loop: no turn may wait longer than 100 ms.
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer beat;
    beat.setInterval(10);
    connect(&beat, &QTimer::timeout, this, [&] {
        longest = qMax(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    BillWindow *bill = cash->billWindow();
    ModalDriver paid(bill, {[&] {
                         clock.start();
                         beat.start();
                         QTest::keyClick(bill, Qt::Key_Return);
                     }});
    desk.run([&] { cash->HesabiKapatClick(); });
    QVERIFY(paid.sawOpen && !paid.leftOpen);
    QVERIFY(!hall.hasAccount(0));
    QCOMPARE(hall.ledger().billCount(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(printProblem(desk.form()), 10000);
    beat.stop();
    QVERIFY2(longest <= 100, qPrintable(QString("the counter waited %1 ms").arg(longest)));
    QMessageBox *box = printProblem(desk.form());
    QVERIFY(!box->isModal());
    QCOMPARE(box->windowTitle(), QStringLiteral("Yazdırma"));
    QVERIFY2(box->text().endsWith("Hesap ödendi; fişi yeniden yazdırabilirsiniz."),
             qPrintable(box->text()));
    qDeleteAll(held);
}

// The tab enables what the kind chosen uses, prints a test page of what is on screen before it
// is saved, and saves it.
void TestBillPrinting::setupInTheTab()
{
    Desk desk;
    desk.prepare(1);
    desk.start();
    hall::Hall &hall = desk.form()->hall();
    PrinterPage *page = desk.forms.Form3.get()->printerPage();
    page->reload();
    QTemporaryDir folder;
    page->chooseFolder = [&](const QString &) { return folder.path(); };
    const auto control = [page](const char *name) {
        QWidget *found = page->findChild<QWidget *>(QLatin1String(name));
        if (!found)
            qFatal("no %s", name);
        return found;
    };
    auto *kind = static_cast<QComboBox *>(control("printKind"));
    kind->setCurrentIndex(kind->findText("PDF dosyası"));
    QVERIFY(!control("printHost")->isEnabled());
    QVERIFY(!control("printCodePage")->isEnabled());
    QTest::mouseClick(static_cast<QPushButton *>(control("printChooseFolder")), Qt::LeftButton);
    QCOMPARE(static_cast<QLineEdit *>(control("printFolder"))->text(), folder.path());
    static_cast<QLineEdit *>(control("printHallName"))->setText("Köşe Salonu");
    static_cast<QCheckBox *>(control("printAuto"))->setChecked(true);

    QTest::mouseClick(static_cast<QPushButton *>(control("printTest")), Qt::LeftButton);
    auto *result = static_cast<QLabel *>(control("printTestResult"));
    QTRY_VERIFY_WITH_TIMEOUT(result->text().startsWith("Deneme sayfası yazdırıldı"), 10000);
    QCOMPARE(QDir(folder.path()).entryList({"*.pdf"}, QDir::Files).size(), 1);
    QCOMPARE(hall.printerSetup(), print::PrinterSetup()); // tried, not saved

    // A code page typed beyond the list is kept as its number.
    kind->setCurrentIndex(kind->findText("Fiş yazıcısı (ESC/POS) — ağ"));
    QVERIFY(control("printCodePage")->isEnabled());
    static_cast<QComboBox *>(control("printCodePage"))->setEditText("17");
    static_cast<QLineEdit *>(control("printHost"))->setText("192.168.1.50");
    QTest::mouseClick(static_cast<QPushButton *>(control("savePrinter")), Qt::LeftButton);
    print::PrinterSetup saved;
    saved.kind = print::PrinterSetup::Kind::Network;
    saved.host = "192.168.1.50";
    saved.codePage = 17;
    saved.pdfFolder = folder.path();
    saved.hallName = "Köşe Salonu";
    saved.autoPrint = true;
    QCOMPARE(hall.printerSetup(), saved);
}

QTEST_MAIN(TestBillPrinting)
#include "tst_billprinting.moc"

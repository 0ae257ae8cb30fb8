// A receipt laid out to its roll and turned into a receipt printer's bytes.
#include "bills.h"
#include "errors.h"
#include "escpos.h"
#include "printer.h"
#include "printersetup.h"
#include "receipt.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace kv;

Q_DECLARE_METATYPE(kv::print::Receipt)

class TestPrint : public QObject
{
    Q_OBJECT

private slots:
    void turkishInCodePage857_data();
    void turkishInCodePage857();
    void laidOutToTheRoll_data();
    void laidOutToTheRoll();
    void escPosBytes_data();
    void escPosBytes();
    void printerFile_data();
    void printerFile();
    void billsOnTheRoll_data();
    void billsOnTheRoll();
    void sentToAReceiptPrinter_data();
    void sentToAReceiptPrinter();
    void oneJobAtATimePerPrinter();
};

void TestPrint::turkishInCodePage857_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("every Turkish letter")
        << "ÇĞİÖŞÜ çğıöşü" << QByteArray("\x80\xa6\x98\x99\x9e\x9a \x87\xa7\x8d\x94\x9f\x81");
    QTest::newRow("plain text as it is") << "Masa 1: 120 TL" << QByteArray("Masa 1: 120 TL");
    QTest::newRow("a letter typed with its mark apart")
        << QString::fromUtf8("I\u0307zmir") << QByteArray("\x98zmir");
    QTest::newRow("dash and lira sign, nearest")
        << "18:00–20:00 · 5 ₺" << QByteArray("18:00-20:00 \xfa 5 TL");
    QTest::newRow("no near sign: a question mark") << "☕ Çay"
                                                   << QByteArray("? \x80"
                                                                 "ay");
    // A control character would be a command to the printer.
    QTest::newRow("control characters as spaces") << QString("a\x1b"
                                                             "b\tc")
                                                  << QByteArray("a b c");
}

void TestPrint::turkishInCodePage857()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(print::toCp857(text), bytes);
}

void TestPrint::laidOutToTheRoll_data()
{
    QTest::addColumn<int>("paper");
    QTest::addColumn<QString>("kind"); // text, centre, large, columns, separator
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("58 mm: 32 columns of dashes") << 58 << "separator"
                                                 << ""
                                                 << "" << QStringList{QString(32, '-')};
    QTest::newRow("80 mm: amount right-aligned")
        << 80 << "columns"
        << "Çay"
        << "15 TL" << QStringList{"Çay" + QString(40, ' ') + "15 TL"};
    QTest::newRow("58 mm: a long name wraps, the amount on its last row")
        << 58 << "columns"
        << "18:00–20:00 · 120 dk · 120 TL/saat"
        << "240 TL"
        << QStringList{"18:00–20:00 · 120 dk ·", "120 TL/saat" + QString(15, ' ') + "240 TL"};
    QTest::newRow("text wraps at spaces")
        << 58 << "text"
        << "Bilgi amaçlıdır. MALİ DEĞERİ YOKTUR."
        << "" << QStringList{"Bilgi amaçlıdır. MALİ DEĞERİ", "YOKTUR."};
    QTest::newRow("centred") << 58 << "centre"
                             << "KOPYA"
                             << "" << QStringList{QString(13, ' ') + "KOPYA"};
    QTest::newRow("large text: half the columns") << 58 << "large"
                                                  << "TOPLAM 1.250 TL ÖDENDİ"
                                                  << "" << QStringList{"TOPLAM 1.250 TL", "ÖDENDİ"};
    QTest::newRow("a word longer than the row is cut")
        << 58 << "text" << QString(40, 'x') << "" << QStringList{QString(32, 'x'), QString(8, 'x')};
}

void TestPrint::laidOutToTheRoll()
{
    QFETCH(int, paper);
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QString, amount);
    QFETCH(QStringList, rows);
    print::Receipt r;
    if (kind == "separator")
        r.separator();
    else if (kind == "columns")
        r.columns(text, amount);
    else
        r.text(text, kind == "centre" ? print::Align::Centre : print::Align::Left, false,
               kind == "large");
    QStringList got;
    for (const print::Row &row : print::layout(r, print::columnsFor(paper)))
        got << row.text;
    QCOMPARE(got, rows);
}

void TestPrint::escPosBytes_data()
{
    QTest::addColumn<bool>("cut");
    QTest::addColumn<bool>("drawer");
    QTest::addColumn<QByteArray>("tail");
    const QByteArray reset("\x1b"
                           "E\0\x1d!\0\x1b"
                           "a\0",
                           9);
    QTest::newRow("cut") << true << false << reset + QByteArray("\x1dV\x42\x03", 4);
    QTest::newRow("no cut") << false << false << reset;
    QTest::newRow("drawer, then cut")
        << true << true << reset + QByteArray("\x1bp\0\x19\xfa\x1dV\x42\x03", 9);
}

void TestPrint::escPosBytes()
{
    QFETCH(bool, cut);
    QFETCH(bool, drawer);
    QFETCH(QByteArray, tail);
    print::Receipt r;
    r.text("Şirin", print::Align::Left, true).columns("Çay", "15 TL").inCodePage(61, "ESC t 61: Ş");
    const QByteArray bytes = print::escPos(r, {58, 13, cut, drawer});
    // Initialised, then the Turkish code page chosen, before any text.
    QVERIFY(bytes.startsWith(QByteArray("\x1b@\x1bt\x0d", 5)));
    QVERIFY(bytes.contains(QByteArray("\x1b"
                                      "E\x01",
                                      3) +
                           QByteArray("\x1d!\0\x1b"
                                      "a\0",
                                      6) +
                           "\x9eirin\n"));
    QVERIFY(bytes.contains("\x80"
                           "ay" +
                           QByteArray(24, ' ') + "15 TL\n"));
    // A line of the test page in a code page of its own, and the printer's own after it.
    QVERIFY(bytes.contains("\x1bt\x3d\x1b"
                           "E" +
                           QByteArray(1, 0) +
                           QByteArray("\x1d!\0\x1b"
                                      "a\0",
                                      6) +
                           "ESC t 61: \x9e\n\x1bt\x0d"));
    QVERIFY(bytes.endsWith(tail));
}

void TestPrint::printerFile_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("address"); // the hall's address read
    QTest::addColumn<QString>("error");   // what reading says, in part
    QTest::addColumn<QString>("problem");
    print::PrinterSetup full;
    full.kind = print::PrinterSetup::Kind::Network;
    full.host = "192.168.1.40";
    full.port = 9101;
    full.paperMm = 58;
    full.codePage = 61;
    full.cut = false;
    full.drawer = true;
    full.pdfFolder = "C:\\Fişler";
    full.hallName = "Şirin Bilardo";
    full.hallAddress = "Çarşı Cad. 5\nKadıköy \\ İstanbul";
    full.autoPrint = true;
    const QStringList lines = print::printerLines(full);
    const QString header = lines.first();
    QTest::newRow("every value, a newline and a backslash kept") << lines << full.hallAddress << ""
                                                                 << "";
    QTest::newRow("unknown keys left alone, defaults kept")
        << QStringList{header, "renk=mavi", "tur=pdf", "pdfklasoru=/tmp"} << ""
        << ""
        << "";
    QTest::newRow("no address for a network printer") << QStringList{header, "tur=ag"} << ""
                                                      << ""
                                                      << "Fiş yazıcısının adresi girilmedi.";
    QTest::newRow("PDF without a folder") << QStringList{header, "tur=pdf"} << ""
                                          << ""
                                          << "PDF için bir klasör seçilmedi.";
    QTest::newRow("a name the file cannot hold") << QStringList{header, "salonadi=Café ☕"} << ""
                                                 << ""
                                                 << "Salonun adında kaydedilemeyen bir işaret var.";
    QTest::newRow("wrong header") << QStringList{"KELVORA"} << ""
                                  << "1. satırı"
                                  << "";
    QTest::newRow("a line without a key") << QStringList{header, "tur=yok", "=x"} << ""
                                          << "3. satırı"
                                          << "";
    QTest::newRow("a stray backslash") << QStringList{header, "salonadresi=a\\"} << ""
                                       << "2. satırı okunamadı: değerde geçersiz"
                                       << "";
    QTest::newRow("port out of range") << QStringList{header, "port=70000"} << ""
                                       << "2. satırı okunamadı: 1 ile 65535"
                                       << "";
    QTest::newRow("paper neither 58 nor 80") << QStringList{header, "kagit=70"} << ""
                                             << "2. satırı"
                                             << "";
}

void TestPrint::printerFile()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, address);
    QFETCH(QString, error);
    QFETCH(QString, problem);
    print::PrinterSetup setup;
    try {
        setup = print::readPrinter(lines);
        QVERIFY2(error.isEmpty(), "read what it should have refused");
    } catch (const RuntimeError &e) {
        QVERIFY2(!error.isEmpty() && e.text().contains(error), qPrintable(e.text()));
        return;
    }
    QCOMPARE(setup.hallAddress, address);
    QCOMPARE(print::printerProblem(setup), problem);
    const QStringList written = print::printerLines(setup);
    for (const QString &line : written)
        QVERIFY(!line.contains('\n'));
    QCOMPARE(print::readPrinter(written), setup);
}

namespace {
ledger::BillRecord billOfTable()
{
    using Kind = counter::Segment::Kind;
    constexpr qint64 min = 60000;
    ledger::BillRecord b;
    b.id = 12;
    b.tableName = "Bilardo Masası 2";
    b.openedDate = "09.12.2026";
    b.openedTime = "18:00:00";
    b.closedAt = QDateTime(QDate(2026, 12, 9), QTime(20, 31));
    b.segments = {{Kind::Time, 0, 120 * min, 120, 120, 240, {}},
                  {Kind::Pause, 120 * min, 135 * min, 15, 0, 0, {}},
                  {Kind::Time, 135 * min, 150 * min, 15, 150, 37, {}},
                  {Kind::Correction, 150 * min, 150 * min, -10, 150, -25, "Geç açıldı"}};
    b.bill = {125, 150, 252, false, 30, 282};
    b.extras = {{"Çay", 15}, {"Şişe Su", 15}};
    b.settlement.treats = {{0, 15, "Doğum günü"}};
    b.settlement.discount = {26, 10, "Öğrenci"};
    b.settlement.payments = {{counter::Method::Cash, 191, {}, {}},
                             {counter::Method::Tab, 50, "Ahmet", {}}};
    return b;
}
} // namespace

void TestPrint::billsOnTheRoll_data()
{
    QTest::addColumn<print::Receipt>("receipt");
    QTest::addColumn<QStringList>("rows");   // in this order, blanks run together
    QTest::addColumn<QStringList>("absent"); // nowhere
    const print::Heading heading{"Şirin Bilardo", "Çarşı Cad. 5\nKadıköy"};
    const QString disclaimer = "YOKTUR.";
    QTest::newRow("a bill paid in parts") << print::billReceipt(billOfTable(), heading)
                                          << QStringList{"Şirin Bilardo",
                                                         "Çarşı Cad. 5",
                                                         "Kadıköy",
                                                         "Bilardo Masası 2",
                                                         "Açılış 09.12.2026 18:00",
                                                         "Kapanış 09.12.2026 20:31",
                                                         "18:00–20:00 · 120 dk ·",
                                                         "120 TL/saat 240 TL",
                                                         "Durduruldu 20:00–20:15",
                                                         "20:15–20:30 · 15 dk · 150",
                                                         "TL/saat 37 TL",
                                                         "Düzeltme 20:30 · -10 dk ·",
                                                         "150 TL/saat (Geç açıldı) -25 TL",
                                                         "Saat tutarı (125 dk) 252 TL",
                                                         "Çay 15 TL",
                                                         "Şişe Su 15 TL",
                                                         "Brüt 282 TL",
                                                         "İkram: Çay (Doğum günü) −15 TL",
                                                         "İndirim %10 (Öğrenci) −26 TL",
                                                         "TOPLAM 241 TL",
                                                         "Nakit 191 TL",
                                                         "Veresiye · Ahmet 50 TL",
                                                         disclaimer}
                                          << QStringList{"KOPYA", "En az ücret uygulandı"};
    ledger::BillRecord older = billOfTable();
    older.segments.clear();
    older.bill = {20, 120, 60, true, 0, 60};
    older.extras.clear();
    older.settlement = {};
    older.settlement.payments = {{counter::Method::Card, 60, {}, {}}};
    QTest::newRow("a copy of an older bill at the minimum")
        << print::billReceipt(older, {}, true)
        << QStringList{"KOPYA",
                       "Bilardo Masası 2",
                       "Süre 20 dk · 120 TL/saat 60 TL",
                       "En az ücret uygulandı",
                       "TOPLAM 60 TL",
                       "Kart 60 TL",
                       disclaimer}
        << QStringList{"Brüt 60 TL", "Extralar"};
    ledger::BillRecord part = billOfTable();
    part.part = true;
    part.openedDate.clear();
    part.openedTime.clear();
    part.segments.clear();
    part.bill = {0, 0, 0, false, 15, 15};
    part.extras = {{"Çay", 15}};
    part.settlement = {};
    part.settlement.payments = {{counter::Method::Cash, 15, {}, {}}};
    QTest::newRow("extras paid apart: no time")
        << print::billReceipt(part, {}) << QStringList{"Çay 15 TL", "TOPLAM 15 TL", disclaimer}
        << QStringList{"Süre 0 dk · 0 TL/saat 0 TL", "Açılış"};
    ledger::DayTotals day;
    day.paid = 3;
    day.total = day.gross = 900;
    day.discounts = 40;
    day.net = 860;
    day.byMethod = {500, 300, 60};
    // One bill cancelled the same evening; one the next day, which stays in this day's totals.
    ledger::BillRecord same, later;
    same.id = 7;
    later.id = 8;
    same.tableName = later.tableName = "Masa 1";
    same.bill.total = 100;
    later.bill.total = 40;
    same.closedAt = later.closedAt = QDateTime(QDate(2026, 12, 9), QTime(22, 0));
    same.cancelledAt = QDateTime(QDate(2026, 12, 10), QTime(1, 0));
    later.cancelledAt = QDateTime(QDate(2026, 12, 10), QTime(12, 0));
    same.cancelReason = later.cancelReason = "yanlış";
    QTest::newRow("the day by method, its own cancels, the chain's head last")
        << print::dayReceipt(QDate(2026, 12, 9), day, {same, later}, {30, 20, 0},
                             {41, "ab12cd34ef56aa77"}, heading,
                             QDateTime(QDate(2026, 12, 10), QTime(2, 5)))
        << QStringList{"İş günü 09.12.2026",
                       "Net 860 TL",
                       "Nakit 500 TL",
                       "Kart 300 TL",
                       "Veresiye 60 TL",
                       "Veresiye tahsilatı 50 TL",
                       "İptal 1 fiş · 100 TL",
                       "Yazdırıldı 10.12.2026 02:05",
                       "Olay zinciri: 41 · ab12cd34ef56"}
        << QStringList{"Fiş 8 · Masa 1 (yanlış) 40 TL"};
}

void TestPrint::billsOnTheRoll()
{
    QFETCH(print::Receipt, receipt);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, absent);
    const QList<print::Row> laidOut = print::layout(receipt, 32);
    QStringList got;
    for (const print::Row &row : laidOut) {
        QVERIFY2(row.text.size() <= (row.large ? 16 : 32), qPrintable(row.text));
        got << row.text.simplified();
    }
    qsizetype at = 0;
    for (const QString &want : std::as_const(rows)) {
        at = got.indexOf(want, at);
        QVERIFY2(at >= 0, qPrintable(want + " not in order in:\n" + got.join('\n')));
    }
    QCOMPARE(at, got.size() - 1);
    for (const QString &gone : std::as_const(absent))
        QVERIFY2(!got.contains(gone), qPrintable(gone));
}

void TestPrint::sentToAReceiptPrinter_data()
{
    QTest::addColumn<int>("purpose");
    QTest::addColumn<int>("status"); // the byte answering DLE EOT 4; -1: none, -2: refused
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArrayList>("sent"); // in this order
    QTest::addColumn<QByteArray>("notSent");
    const QByteArray kick("\x1bp\0\x19\xfa", 5);
    const QByteArray init("\x1b@\x1bt\x0d", 5);
    const QByteArray table("Bilardo Masas\x8d 2"); // "Bilardo Masası 2" in code page 857
    const QByteArray extra("\x9ei\x9f"
                           "e Su"); // "Şişe Su"
    const QByteArray cut("\x1dV\x42\x03", 4);
    QTest::newRow("a bill paid in cash opens the drawer")
        << int(print::Purpose::CashBill) << 0x12 << 5000 << true << "Fiş yazıcısına gönderildi"
        << QByteArrayList{init, table, extra, kick, cut} << QByteArray();
    QTest::newRow("a copy never opens it")
        << int(print::Purpose::Copy) << 0x12 << 5000 << true << "Fiş yazıcısına gönderildi"
        << QByteArrayList{init, table, cut} << kick;
    QTest::newRow("out of paper: nothing sent")
        << int(print::Purpose::CashBill) << 0x72 << 5000 << false << "Yazıcıda kâğıt bitti."
        << QByteArrayList{} << init;
    QTest::newRow("refused") << int(print::Purpose::Bill) << -2 << 5000 << false
                             << "(bağlantı reddedildi)" << QByteArrayList{} << init;
    QTest::newRow("hanging: given up, the counter answering")
        << int(print::Purpose::CashBill) << -1 << 400 << false
        << "Yazıcı 0,4 saniye içinde yanıt vermedi: 127.0.0.1:" << QByteArrayList{} << init;
}

void TestPrint::sentToAReceiptPrinter()
{
    QFETCH(int, purpose);
    QFETCH(int, status);
    QFETCH(int, timeoutMs);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QFETCH(QByteArrayList, sent);
    QFETCH(QByteArray, notSent);

    // A receipt printer on a loopback port, answering the paper status as the row says.
    QTcpServer fake;
    QVERIFY(fake.listen(QHostAddress::LocalHost));
    const quint16 port = fake.serverPort();
    if (status == -2)
        fake.close();
    QByteArray received;
    bool hungUp = false;
    connect(&fake, &QTcpServer::newConnection, this, [&] {
        QTcpSocket *peer = fake.nextPendingConnection();
        connect(peer, &QTcpSocket::readyRead, this, [&, peer] {
            const bool asked = received.contains("\x10\x04\x04");
            received += peer->readAll();
            if (!asked && received.contains("\x10\x04\x04") && status >= 0)
                peer->write(QByteArray(1, char(status)));
        });
        connect(peer, &QTcpSocket::disconnected, this, [&] { hungUp = true; });
    });

    // The counter's event loop ticks throughout; no gap may be long.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticks;
    connect(&ticks, &QTimer::timeout, this,
            [&] { longestGap = qMax(longestGap, sinceTick.restart()); });
    sinceTick.start();
    ticks.start(10);

    print::PrinterSetup setup;
    setup.kind = print::PrinterSetup::Kind::Network;
    setup.host = "127.0.0.1";
    setup.port = port;
    setup.paperMm = 58;
    setup.drawer = true;
    print::Printer printer;
    printer.setTimeoutMs(timeoutMs);
    QSignalSpy done(&printer, &print::Printer::finished);
    QElapsedTimer took;
    took.start();
    printer.print(print::billReceipt(billOfTable(), {}), setup, print::Purpose(purpose), "Fiş 12");
    QCOMPARE(printer.pending(), 1);
    QVERIFY(done.wait(timeoutMs + 3000));
    // Said by the printer's own timeout, not the watchdog's.
    QVERIFY2(took.elapsed() < timeoutMs + 900, qPrintable(QString::number(took.elapsed())));
    if (ok)
        QTRY_VERIFY(hungUp);
    QVERIFY2(longestGap < 100, qPrintable(QString::number(longestGap)));
    QCOMPARE(done.count(), 1);
    QCOMPARE(done.at(0).at(1).toBool(), ok);
    QVERIFY2(done.at(0).at(2).toString().contains(message),
             qPrintable(done.at(0).at(2).toString()));
    QCOMPARE(printer.pending(), 0);
    qsizetype at = received.indexOf("\x10\x04\x04");
    QVERIFY(status == -2 || at == 0);
    for (const QByteArray &bytes : std::as_const(sent)) {
        at = received.indexOf(bytes, at);
        QVERIFY2(at >= 0, bytes.toHex(' ').constData());
    }
    if (!notSent.isEmpty())
        QVERIFY(!received.contains(notSent));
}

void TestPrint::oneJobAtATimePerPrinter()
{
    // A printer slow to answer its paper status: two receipts for it must not be sent at once
    // (their bytes would mix), and a PDF must not wait behind them.
    QTcpServer slow;
    QVERIFY(slow.listen(QHostAddress::LocalHost));
    QByteArray received;
    connect(&slow, &QTcpServer::newConnection, this, [&] {
        QTcpSocket *peer = slow.nextPendingConnection();
        connect(peer, &QTcpSocket::readyRead, this, [&, peer] {
            const QByteArray bytes = peer->readAll();
            received += bytes;
            if (bytes.startsWith("\x10\x04\x04"))
                QTimer::singleShot(300, peer, [peer] { peer->write("\x12"); });
        });
    });
    print::PrinterSetup receipts;
    receipts.kind = print::PrinterSetup::Kind::Network;
    receipts.host = "127.0.0.1";
    receipts.port = slow.serverPort();
    QTemporaryDir folder;
    print::PrinterSetup pdf;
    pdf.kind = print::PrinterSetup::Kind::Pdf;
    pdf.pdfFolder = folder.path();

    print::Printer printer;
    QList<quint64> order;
    QElapsedTimer took;
    qint64 lastAfter = 0;
    connect(&printer, &print::Printer::finished, this,
            [&](quint64 job, bool ok, const QString &message) {
                QVERIFY2(ok, qPrintable(message));
                order << job;
                lastAfter = took.elapsed();
            });
    took.start();
    const quint64 first =
        printer.print(print::Receipt().text("BIR"), receipts, print::Purpose::Report, "1");
    const quint64 second =
        printer.print(print::Receipt().text("IKI"), receipts, print::Purpose::Report, "2");
    const quint64 file =
        printer.print(print::Receipt().text("PDF"), pdf, print::Purpose::Report, "3");
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), 3, 5000);
    QCOMPARE(order, (QList<quint64>{file, first, second}));
    // Each waits its 300 ms for the status: one after the other, never both at once.
    QVERIFY2(lastAfter >= 600, qPrintable(QString::number(lastAfter)));
    QVERIFY(received.indexOf("BIR") < received.indexOf("IKI"));
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"

// A receipt laid out to its roll and turned into a receipt printer's bytes.
#include "errors.h"
#include "escpos.h"
#include "printersetup.h"
#include "receipt.h"

#include <QtTest>

using namespace kv;

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
};

void TestPrint::turkishInCodePage857_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("every Turkish letter")
        << "ÇĞİÖŞÜ çğıöşü" << QByteArray("\x80\xa6\x98\x99\x9e\x9a \x87\xa7\x8d\x94\x9f\x81");
    QTest::newRow("plain text as it is") << "Masa 1: 120 TL" << QByteArray("Masa 1: 120 TL");
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

QTEST_GUILESS_MAIN(TestPrint)
#include "tst_print.moc"

// The events in the operator's words: every kind's label and detail, and what a detail
// edited by hand becomes.
#include "testsupport.h"

#include "eventtext.h"

#include <QTest>

using namespace kv::ledger;

class TestEventText : public QObject
{
    Q_OBJECT

private slots:
    void detail_data();
    void detail();
    void locative_data();
    void locative();
    void time_data();
    void time();
};

void TestEventText::detail_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text");
    // clang-format off
    QTest::newRow("open") << "open" << R"({"date":"9.12.2026","time":"20:15:00","fee":"150"})"
        << "Hesap açıldı" << "Açılış 9.12.2026 20:15:00, ücret 150 TL";
    QTest::newRow("restart") << "restart"
        << R"({"old":{"date":"9.12.2026","time":"20:15:00","fee":"150"},"new":{"date":"9.12.2026","time":"21:50:00","fee":"150"},"minutes":95,"approved_by":"Ayşe"})"
        << "Yeniden başlatıldı"
        << "Açılış 9.12.2026 20:15:00 → 9.12.2026 21:50:00, 95 dakika, ücret 150 TL (onaylayan: Ayşe)";
    QTest::newRow("fee") << "fee" << R"({"old":"150","new":"1500"})"
        << "Ücret değiştirildi" << "Ücret 150 TL → 1.500 TL";
    QTest::newRow("fee from now") << "fee" << R"({"old":"120","new":"180","from_minute":60})"
        << "Ücret değiştirildi" << "Ücret 120 TL → 180 TL, 60. dakikadan itibaren";
    QTest::newRow("resume") << "resume" << R"({"minutes":40,"paused_minutes":15})"
        << "Masa devam ettirildi" << "40. dakikada, 15 dakika durdu";
    QTest::newRow("correct minutes") << "correct_time"
        << R"({"minutes":-10,"reason":"Geç oturdu","old_minutes":70,"new_minutes":60})"
        << "Süre düzeltildi" << "-10 dakika, süre 70 dk → 60 dk, neden: Geç oturdu";
    QTest::newRow("correct start") << "correct_time"
        << R"({"old":{"date":"9.12.2026","time":"18:30:00","fee":"120"},"new":{"date":"9.12.2026","time":"18:00:00","fee":"120"},"reason":"Saat yanlış"})"
        << "Süre düzeltildi" << "Açılış 9.12.2026 18:30:00 → 9.12.2026 18:00:00, neden: Saat yanlış";
    QTest::newRow("book") << "book" << R"({"name":"Çay","price":15})" << "Extra eklendi" << "Çay, 15 TL";
    QTest::newRow("remove") << "remove" << R"({"name":"Çay","price":15,"approved_by":"Ayşe"})"
        << "Extra çıkarıldı" << "Çay, 15 TL (onaylayan: Ayşe)";
    QTest::newRow("clear") << "clear" << R"({"extras":[{"name":"Çay","price":15},{"name":"Tost","price":30}]})"
        << "Extralar temizlendi" << "Çay 15 TL, Tost 30 TL";
    QTest::newRow("settle") << "settle"
        << R"({"bill":12,"minutes":95,"time_charge":238,"extras_total":45,"total":283})"
        << "Hesap kapatıldı" << "Fiş 12: 95 dakika, süre 238 TL, extra 45 TL, toplam 283 TL";
    QTest::newRow("settle, paid in parts") << "settle"
        << R"({"bill":12,"minutes":95,"time_charge":238,"extras_total":45,"total":283,"gross":283,"discount":23,"treats":45,"net":215,"payments":[{"method":"cash","amount":100},{"method":"card","amount":65},{"method":"tab","amount":50,"customer":"Ahmet"}]})"
        << "Hesap kapatıldı"
        << "Fiş 12: 95 dakika, süre 238 TL, extra 45 TL, toplam 283 TL, ikram 45 TL, indirim 23 TL, net 215 TL; Nakit 100 TL, Kart 65 TL, Veresiye 50 TL (Ahmet)";
    QTest::newRow("pay_apart") << "pay_apart"
        << R"({"bill":13,"extras":["Çay","Tost"],"extras_total":45,"ahead":100,"method":"tab","customer":"Ahmet"})"
        << "Ayrı ödeme alındı" << "Fiş 13: Çay, Tost (45 TL); hesaba 100 TL; Veresiye (Ahmet)";
    QTest::newRow("pay_apart, an amount alone") << "pay_apart"
        << R"({"extras":[],"extras_total":0,"ahead":100,"method":"card"})"
        << "Ayrı ödeme alındı" << "hesaba 100 TL; Kart";
    QTest::newRow("return_ahead") << "return_ahead" << R"({"payment":7,"method":"tab","customer":"Ahmet"})"
        << "Ayrı ödeme iade edildi" << "Veresiye (Ahmet)";
    QTest::newRow("tab_collect") << "tab_collect" << R"({"customer":"Ahmet","method":"card"})"
        << "Veresiye tahsil edildi" << "Ahmet, Kart";
    QTest::newRow("shift_open") << "shift_open" << R"({"float":500})" << "Vardiya açıldı" << "Kasadaki para 500 TL";
    QTest::newRow("shift_close, short") << "shift_close"
        << R"({"shift":3,"expected":1250,"counted":1240,"difference":-10,"note":"bozuk para"})"
        << "Vardiya kapatıldı" << "Vardiya 3: beklenen 1.250 TL, sayılan 1.240 TL, fark -10 TL, not: bozuk para";
    QTest::newRow("shift_close, over") << "shift_close"
        << R"({"shift":3,"expected":1250,"counted":1260,"difference":10,"note":""})"
        << "Vardiya kapatıldı" << "Vardiya 3: beklenen 1.250 TL, sayılan 1.260 TL, fark +10 TL";
    QTest::newRow("cash_out") << "cash_out" << R"({"reason":"Tüpçü"})" << "Kasadan çıkış" << "neden: Tüpçü";
    QTest::newRow("move") << "move" << R"({"from":"Masa 1","to":"Masa 2"})" << "Masa taşındı" << "Masa 1 → Masa 2";
    QTest::newRow("cancel, reopened") << "cancel" << R"({"bill":12,"reason":"yanlış masa","reopened_on":"Masa 3"})"
        << "Fiş iptal edildi" << "Fiş 12, neden: yanlış masa, Masa 3'te yeniden açıldı";
    QTest::newRow("cancel, not reopened") << "cancel" << R"({"bill":12,"reason":"deneme","reopened_on":null})"
        << "Fiş iptal edildi" << "Fiş 12, neden: deneme";
    QTest::newRow("cancel, refunded") << "cancel" << R"({"bill":12,"reason":"deneme","reopened_on":null,"refunded":true})"
        << "Fiş iptal edildi" << "Fiş 12, neden: deneme, ödenen tutar iade edildi";
    QTest::newRow("cancel, kept") << "cancel" << R"({"bill":12,"reason":"deneme","refunded":false})"
        << "Fiş iptal edildi" << "Fiş 12, neden: deneme, ödenen tutar iade edilmedi";
    QTest::newRow("tables") << "tables" << R"({"old":10,"new":12,"prefix":"Masa"})"
        << "Masalar oluşturuldu" << "Masa sayısı 10 → 12, masa adı Masa";
    QTest::newRow("table_rename") << "table_rename" << R"({"old":"Masa 2","new":"Bahçe"})"
        << "Masa adı değiştirildi" << "Masa 2 → Bahçe";
    QTest::newRow("table_kind") << "table_kind" << R"({"old":"","new":"Bilardo"})"
        << "Masa türü değiştirildi" << "Tür: yok → Bilardo";
    QTest::newRow("table_order") << "table_order" << R"({"name":"Bahçe","from":2,"to":3})"
        << "Masa sırası değiştirildi" << "Bahçe, sıra 2 → 3";
    QTest::newRow("kinds") << "kinds" << R"({"old":1,"new":2,"added":["Okey"],"removed":[],"changed":["Bilardo"]})"
        << "Masa türleri değiştirildi" << "Tür sayısı 1 → 2; eklenen: Okey; değişen: Bilardo";
    QTest::newRow("wipe") << "wipe" << R"({"accounts":3})" << "Masa bilgileri silindi" << "3 açık hesap silindi";
    QTest::newRow("settings") << "settings"
        << R"({"changed":{"unit_fee":{"old":"100","new":"150"},"minimum_charge_on":{"old":"F","new":"T"},"yeni":{"old":"a","new":"b"}}})"
        << "Ayarlar değiştirildi" << "En az ücret uygulanır: kapalı → açık; Birim ücret: 100 → 150; yeni: a → b";
    QTest::newRow("catalogue") << "catalogue" << R"({"old":12,"new":13,"added":["Çay","Su"],"removed":["Kola"],"changed":[]})"
        << "Fiyat listesi değiştirildi" << "Çeşit sayısı 12 → 13; eklenen: Çay, Su; çıkarılan: Kola";
    QTest::newRow("printer_setup") << "printer_setup"
        << R"({"changed":{"kind":{"old":"none","new":"pdf"},"pdf_folder":{"old":"","new":"/srv/fiş"},"paper_mm":{"old":80,"new":58},"auto_print":{"old":false,"new":true}}})"
        << "Yazıcı ayarları değişti" << "Otomatik yazdırma: kapalı → açık; Yazdırma: Yazdırma yok → PDF dosyası; Kâğıt: 80 mm → 58 mm; PDF klasörü: boş → /srv/fiş";
    QTest::newRow("print, a copy") << "print" << R"({"bill":12,"table":"Masa 3","copy":true})"
        << "Fiş yazdırıldı" << "Fiş 12, Masa 3, kopya";
    QTest::newRow("cashier") << "cashier" << R"({"action":"add","name":"Ayşe","role":"Yönetici"})"
        << "Kasiyer değiştirildi" << "Eklendi: Ayşe (Yönetici)";
    QTest::newRow("login") << "login" << R"({"name":"Ayşe"})" << "Giriş" << "Ayşe";
    QTest::newRow("logout") << "logout" << R"({"name":"Ayşe"})" << "Çıkış" << "Ayşe";
    QTest::newRow("pin_fail") << "pin_fail" << R"({"name":"Ayşe","failures":3})" << "Yanlış PIN" << "Ayşe, 3. yanlış deneme";
    QTest::newRow("pin_fail at start") << "pin_fail" << R"({"name":"-","failures":1})" << "Yanlış PIN" << "1. yanlış deneme";
    QTest::newRow("verify_ack") << "verify_ack" << R"({"first_bad":1234})"
        << "Defter uyarısı onaylandı" << "İlk bozuk kayıt: 1234";
    // What a later version or a hand writes.
    QTest::newRow("unknown kind") << "treat" << R"({"name":"Çay","price":15})" << "treat" << "name: Çay, price: 15";
    QTest::newRow("not JSON") << "settle" << R"({"bill":12,"total")" << "Hesap kapatıldı" << R"({"bill":12,"total")";
    QTest::newRow("line breaks") << "book" << "Çay\n15\r\x01TL" << "Extra eklendi" << "Çay 15 TL";
    QTest::newRow("empty") << "open" << "" << "Hesap açıldı" << "";
    QTest::newRow("keys missing") << "settle" << R"({"bill":12,"total":283})"
        << "Hesap kapatıldı" << "Fiş 12: toplam 283 TL";
    QTest::newRow("types changed") << "book" << R"({"name":["Çay"],"price":"bedava"})"
        << "Extra eklendi" << "bedava";
    QTest::newRow("none of its keys") << "move" << R"({"nereden":"Masa 1","approved_by":"Ayşe"})"
        << "Masa taşındı" << "nereden: Masa 1 (onaylayan: Ayşe)";
    QTest::newRow("a label with a break") << "a\nb" << "{}" << "a b" << "";
    // clang-format on
}

void TestEventText::detail()
{
    QFETCH(QString, kind);
    QFETCH(QString, detail);
    QFETCH(QString, label);
    QFETCH(QString, text);
    TestEnvironment env; // Turkish formats
    QCOMPARE(eventKindText(kind), label);
    QCOMPARE(eventDetailText(kind, detail), text);
}

void TestEventText::locative_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("said");
    QTest::newRow("3") << "Masa 3"
                       << "Masa 3'te";
    QTest::newRow("2") << "Masa 2"
                       << "Masa 2'de";
    QTest::newRow("6") << "Masa 6"
                       << "Masa 6'da";
    QTest::newRow("10") << "Masa 10"
                        << "Masa 10'da";
    QTest::newRow("40") << "Masa 40"
                        << "Masa 40'ta";
    QTest::newRow("70") << "Masa 70"
                        << "Masa 70'te";
    QTest::newRow("100") << "Masa 100"
                         << "Masa 100'de";
    QTest::newRow("0") << "Masa 0"
                       << "Masa 0'da";
    QTest::newRow("front vowel") << "Bahçe"
                                 << "Bahçe'de";
    QTest::newRow("back vowel") << "Bilardo"
                                << "Bilardo'da";
    QTest::newRow("hard consonant") << "Köşk"
                                    << "Köşk'te";
    QTest::newRow("hard, back vowel") << "Park"
                                      << "Park'ta";
    QTest::newRow("dotless I") << "KIRMIZI"
                               << "KIRMIZI'da";
    QTest::newRow("a letter") << "Masa B"
                              << "Masa B'de";
    QTest::newRow("marks after") << "Masa (Kat 2)"
                                 << "Masa (Kat 2)'de";
    QTest::newRow("no word") << "--"
                             << "--";
}

void TestEventText::locative()
{
    QFETCH(QString, name);
    QFETCH(QString, said);
    QCOMPARE(withLocative(name), said);
}

void TestEventText::time_data()
{
    QTest::addColumn<QString>("at");
    QTest::addColumn<QString>("shown");
    QTest::newRow("with its offset") << "2026-12-09T20:15:00+03:00"
                                     << "9.12.2026 20:15:00";
    QTest::newRow("another offset, its own wall clock") << "2026-12-10T02:30:00+02:00"
                                                        << "10.12.2026 02:30:00";
    QTest::newRow("not a moment") << "dün\takşam"
                                  << "dün akşam";
    QTest::newRow("no such day") << "2026-02-30T20:15:00+03:00"
                                 << "2026-02-30T20:15:00+03:00";
}

void TestEventText::time()
{
    QFETCH(QString, at);
    QFETCH(QString, shown);
    TestEnvironment env;
    QCOMPARE(eventTimeText(at), shown);
}

QTEST_GUILESS_MAIN(TestEventText)
#include "tst_eventtext.moc"

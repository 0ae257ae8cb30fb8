#include "eventtext.h"

#include "applocale.h"
#include "floor.h"
#include "payment.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <optional>

namespace kv::ledger {

namespace {

using counter::amountText;

const QString kArrow = QStringLiteral(" → ");

// A hand-edited detail may hold line breaks or control characters: one line, always.
QString clean(QString text)
{
    for (QChar &c : text)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    text = text.simplified();
    // A cell is elided anyway; a huge text would only cost measuring.
    constexpr int kLongest = 300;
    if (text.size() > kLongest)
        text = text.left(kLongest) + QChar(0x2026);
    return text;
}

std::optional<qint64> wholeOf(const QJsonValue &v)
{
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15)
            return qint64(d);
        return std::nullopt;
    }
    if (v.isString()) {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (ok && std::llabs(n) < 1000000000000000LL)
            return n;
    }
    return std::nullopt;
}

// A value in words: a text as it is, a number in digits; null for what has no words.
QString textOf(const QJsonValue &v)
{
    if (v.isString())
        return clean(v.toString());
    if (const std::optional<qint64> n = wholeOf(v))
        return QString::number(*n);
    if (v.isDouble())
        return QString::number(v.toDouble());
    if (v.isBool())
        return v.toBool() ? QStringLiteral("evet") : QStringLiteral("hayır");
    return QString();
}

// Lira where the value is a whole number ("150" as the register keeps a fee), else its text.
QString moneyOf(const QJsonValue &v)
{
    if (const std::optional<qint64> n = wholeOf(v))
        return amountText(*n);
    return textOf(v);
}

QString joined(const QStringList &parts, const QString &separator = QStringLiteral(", "))
{
    QStringList present;
    for (const QString &p : parts)
        if (!p.isEmpty())
            present << p;
    return present.join(separator);
}

// "Açılış 9.12.2026 20:15:00" from a register's date and time lines.
QString openingOf(const QJsonObject &o)
{
    return joined({textOf(o.value(QLatin1String("date"))), textOf(o.value(QLatin1String("time")))},
                  QStringLiteral(" "));
}

QString prefixed(const QString &prefix, const QString &value)
{
    return value.isEmpty() ? QString() : prefix + value;
}

QString suffixed(const QString &value, const QString &suffix)
{
    return value.isEmpty() ? QString() : value + suffix;
}

QString change(const QString &from, const QString &to)
{
    if (from.isEmpty() || to.isEmpty() || from == to)
        return to.isEmpty() ? from : to;
    return from + kArrow + to;
}

QString extraOf(const QJsonValue &v)
{
    const QJsonObject o = v.toObject();
    return joined(
        {textOf(o.value(QLatin1String("name"))), moneyOf(o.value(QLatin1String("price")))},
        QStringLiteral(" "));
}

QString listOf(const QJsonValue &v);

// A list saved anew: its count before and after, what was added, removed and changed.
QString listChangeOf(const QString &counted, const QJsonObject &o)
{
    const auto text = [&o](const char *key) { return textOf(o.value(QLatin1String(key))); };
    return joined(
        {prefixed(counted, change(text("old"), text("new"))),
         prefixed(QStringLiteral("eklenen: "), listOf(o.value(QLatin1String("added")))),
         prefixed(QStringLiteral("çıkarılan: "), listOf(o.value(QLatin1String("removed")))),
         prefixed(QStringLiteral("değişen: "), listOf(o.value(QLatin1String("changed"))))},
        QStringLiteral("; "));
}

QString listOf(const QJsonValue &v)
{
    QStringList items;
    for (const QJsonValue &item : v.toArray())
        items << textOf(item);
    return joined(items);
}

// Whatever an unknown kind or an unexpected shape holds, as "key: value".
QString anyOf(const QJsonValue &v)
{
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        QStringList parts;
        for (auto i = o.begin(); i != o.end(); ++i)
            parts << prefixed(clean(i.key()) + QStringLiteral(": "), anyOf(i.value()));
        return joined(parts);
    }
    if (v.isArray()) {
        QStringList parts;
        for (const QJsonValue &item : v.toArray())
            parts << anyOf(item);
        return QLatin1Char('(') + joined(parts) + QLatin1Char(')');
    }
    return textOf(v);
}

bool isFlagKey(const QString &key)
{
    return key == QLatin1String("minimum_charge_on") || key == QLatin1String("multiple_fees") ||
           key == QLatin1String("end_time_follows_clock");
}

QString settingsOf(const QJsonObject &o)
{
    QStringList parts;
    const QJsonObject changed = o.value(QLatin1String("changed")).toObject();
    for (auto i = changed.begin(); i != changed.end(); ++i) {
        const QJsonObject values = i.value().toObject();
        const auto valueOf = [&](const char *which) {
            const QJsonValue v = values.value(QLatin1String(which));
            if (isFlagKey(i.key()) && v.isString())
                return v.toString() == QLatin1String("T") ? QStringLiteral("açık")
                                                          : QStringLiteral("kapalı");
            return textOf(v);
        };
        const QString from = valueOf("old"), to = valueOf("new");
        parts << settingLabel(i.key()) + QStringLiteral(": ") +
                     (from.isEmpty() && to.isEmpty() ? anyOf(i.value()) : from + kArrow + to);
    }
    return joined(parts, QStringLiteral("; "));
}

// The printer's setup as the Yazıcı tab names it: "Yazdırma: Yazdırma yok → PDF dosyası".
QString printerOf(const QJsonObject &o)
{
    static const QHash<QString, QString> labels{
        {QStringLiteral("kind"), QStringLiteral("Yazdırma")},
        {QStringLiteral("host"), QStringLiteral("Adres")},
        {QStringLiteral("port"), QStringLiteral("Port")},
        {QStringLiteral("device"), QStringLiteral("Aygıt")},
        {QStringLiteral("paper_mm"), QStringLiteral("Kâğıt")},
        {QStringLiteral("code_page"), QStringLiteral("Kod sayfası")},
        {QStringLiteral("cut"), QStringLiteral("Kesici")},
        {QStringLiteral("drawer"), QStringLiteral("Para çekmecesi")},
        {QStringLiteral("system_printer"), QStringLiteral("Sistem yazıcısı")},
        {QStringLiteral("pdf_folder"), QStringLiteral("PDF klasörü")},
        {QStringLiteral("hall_name"), QStringLiteral("Salon adı")},
        {QStringLiteral("hall_address"), QStringLiteral("Adres satırı")},
        {QStringLiteral("auto_print"), QStringLiteral("Otomatik yazdırma")},
    };
    static const QHash<QString, QString> kinds{
        {QStringLiteral("none"), QStringLiteral("Yazdırma yok")},
        {QStringLiteral("network"), QStringLiteral("Fiş yazıcısı (ağ)")},
        {QStringLiteral("device"), QStringLiteral("Fiş yazıcısı (aygıt)")},
        {QStringLiteral("system"), QStringLiteral("Sistem yazıcısı")},
        {QStringLiteral("pdf"), QStringLiteral("PDF dosyası")},
    };
    QStringList parts;
    const QJsonObject changed = o.value(QLatin1String("changed")).toObject();
    for (auto i = changed.begin(); i != changed.end(); ++i) {
        const QJsonObject values = i.value().toObject();
        const auto valueOf = [&](const char *which) {
            const QJsonValue v = values.value(QLatin1String(which));
            if (v.isBool())
                return v.toBool() ? QStringLiteral("açık") : QStringLiteral("kapalı");
            const QString text = textOf(v);
            if (i.key() == QLatin1String("kind"))
                return kinds.value(text, text);
            if (i.key() == QLatin1String("paper_mm") && !text.isEmpty())
                return text + QStringLiteral(" mm");
            return text.isEmpty() && v.isString() ? QStringLiteral("boş") : text;
        };
        parts << labels.value(i.key(), clean(i.key())) + QStringLiteral(": ") +
                     change(valueOf("old"), valueOf("new"));
    }
    return joined(parts, QStringLiteral("; "));
}

QString cashierOf(const QJsonObject &o)
{
    const QString action = textOf(o.value(QLatin1String("action")));
    const QString name = textOf(o.value(QLatin1String("name")));
    const QString role = textOf(o.value(QLatin1String("role")));
    const QString withRole = role.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, role);
    if (action == QLatin1String("add"))
        return QStringLiteral("Eklendi: ") + withRole;
    if (action == QLatin1String("remove"))
        return QStringLiteral("Çıkarıldı: ") + name;
    if (action == QLatin1String("pin"))
        return QStringLiteral("PIN değiştirildi: ") + name;
    if (action == QLatin1String("role"))
        return joined({QStringLiteral("Rol değiştirildi: ") + name, role}, kArrow);
    return joined({action, withRole}, QStringLiteral(": "));
}

// "Nakit", "Kart", "Veresiye"; a key of another version as it is.
QString methodName(const QJsonValue &v)
{
    const QString key = textOf(v);
    const std::optional<counter::Method> m = counter::methodOf(key);
    return m ? counter::methodText(*m) : key;
}

// "Ahmet" as "(Ahmet)": whose tab.
QString whoseOf(const QJsonObject &o)
{
    return prefixed(QStringLiteral("("),
                    suffixed(textOf(o.value(QLatin1String("customer"))), QStringLiteral(")")));
}

// How a settle was paid: "Nakit 100 TL, Veresiye 50 TL (Ahmet)".
QString paymentsOf(const QJsonObject &o)
{
    QStringList payments;
    for (const QJsonValue &v : o.value(QLatin1String("payments")).toArray()) {
        const QJsonObject p = v.toObject();
        payments << joined({methodName(p.value(QLatin1String("method"))),
                            moneyOf(p.value(QLatin1String("amount"))), whoseOf(p)},
                           QStringLiteral(" "));
    }
    return joined(payments);
}

QString detailOf(const QString &kind, const QJsonObject &o)
{
    const auto text = [&o](const char *key) { return textOf(o.value(QLatin1String(key))); };
    const auto money = [&o](const char *key) { return moneyOf(o.value(QLatin1String(key))); };
    if (kind == QLatin1String("open"))
        return joined({prefixed(QStringLiteral("Açılış "), openingOf(o)),
                       prefixed(QStringLiteral("ücret "), money("fee"))});
    if (kind == QLatin1String("restart")) {
        const QJsonObject from = o.value(QLatin1String("old")).toObject();
        const QJsonObject to = o.value(QLatin1String("new")).toObject();
        return joined(
            {prefixed(QStringLiteral("Açılış "), change(openingOf(from), openingOf(to))),
             suffixed(text("minutes"), QStringLiteral(" dakika")),
             prefixed(QStringLiteral("ücret "), change(moneyOf(from.value(QLatin1String("fee"))),
                                                       moneyOf(to.value(QLatin1String("fee")))))});
    }
    if (kind == QLatin1String("fee"))
        return joined({prefixed(QStringLiteral("Ücret "), change(money("old"), money("new"))),
                       suffixed(text("from_minute"), QStringLiteral(". dakikadan itibaren"))});
    if (kind == QLatin1String("pause"))
        return suffixed(text("minutes"), QStringLiteral(". dakikada"));
    if (kind == QLatin1String("resume"))
        return joined({suffixed(text("minutes"), QStringLiteral(". dakikada")),
                       suffixed(text("paused_minutes"), QStringLiteral(" dakika durdu"))});
    if (kind == QLatin1String("correct_time")) {
        const QJsonObject from = o.value(QLatin1String("old")).toObject();
        const QJsonObject to = o.value(QLatin1String("new")).toObject();
        const QString minutes = text("minutes");
        return joined({prefixed(QStringLiteral("Açılış "), change(openingOf(from), openingOf(to))),
                       minutes.isEmpty() || minutes.startsWith(QLatin1Char('-'))
                           ? suffixed(minutes, QStringLiteral(" dakika"))
                           : QStringLiteral("+%1 dakika").arg(minutes),
                       prefixed(QStringLiteral("süre "),
                                change(suffixed(text("old_minutes"), QStringLiteral(" dk")),
                                       suffixed(text("new_minutes"), QStringLiteral(" dk")))),
                       prefixed(QStringLiteral("neden: "), text("reason"))});
    }
    if (kind == QLatin1String("book") || kind == QLatin1String("remove"))
        return joined({text("name"), money("price")});
    if (kind == QLatin1String("clear")) {
        QStringList extras;
        for (const QJsonValue &e : o.value(QLatin1String("extras")).toArray())
            extras << extraOf(e);
        return joined(extras);
    }
    if (kind == QLatin1String("settle")) {
        const QString figures = joined({suffixed(text("minutes"), QStringLiteral(" dakika")),
                                        prefixed(QStringLiteral("süre "), money("time_charge")),
                                        prefixed(QStringLiteral("extra "), money("extras_total")),
                                        prefixed(QStringLiteral("toplam "), money("total"))});
        // Only what was given or taken off: a bill paid whole says what it always said.
        const auto given = [&o](const char *key, const QString &word) {
            const std::optional<qint64> n = wholeOf(o.value(QLatin1String(key)));
            return n && *n != 0 ? word + amountText(*n) : QString();
        };
        const QString paid = joined({figures, given("treats", QStringLiteral("ikram ")),
                                     given("discount", QStringLiteral("indirim ")),
                                     prefixed(QStringLiteral("net "), money("net"))});
        return joined(
            {joined({prefixed(QStringLiteral("Fiş "), text("bill")), paid}, QStringLiteral(": ")),
             paymentsOf(o)},
            QStringLiteral("; "));
    }
    if (kind == QLatin1String("pay_apart")) {
        const QString ahead = wholeOf(o.value(QLatin1String("ahead"))).value_or(0) != 0
                                  ? prefixed(QStringLiteral("hesaba "), money("ahead"))
                                  : QString();
        const QString names = listOf(o.value(QLatin1String("extras")));
        const QString extras =
            names.isEmpty()
                ? QString()
                : joined({names, prefixed(QStringLiteral("("),
                                          suffixed(money("extras_total"), QStringLiteral(")")))},
                         QStringLiteral(" "));
        return joined({prefixed(QStringLiteral("Fiş "), text("bill")),
                       joined({extras, ahead,
                               joined({methodName(o.value(QLatin1String("method"))), whoseOf(o)},
                                      QStringLiteral(" "))},
                              QStringLiteral("; "))},
                      QStringLiteral(": "));
    }
    if (kind == QLatin1String("tab_collect"))
        return joined({text("customer"), methodName(o.value(QLatin1String("method")))});
    if (kind == QLatin1String("return_ahead"))
        return joined({methodName(o.value(QLatin1String("method"))), whoseOf(o)},
                      QStringLiteral(" "));
    if (kind == QLatin1String("shift_open"))
        return prefixed(QStringLiteral("Kasadaki para "), money("float"));
    if (kind == QLatin1String("shift_close")) {
        const std::optional<qint64> difference = wholeOf(o.value(QLatin1String("difference")));
        return joined({prefixed(QStringLiteral("Vardiya "), text("shift")),
                       joined({prefixed(QStringLiteral("beklenen "), money("expected")),
                               prefixed(QStringLiteral("sayılan "), money("counted")),
                               prefixed(QStringLiteral("fark "),
                                        difference && *difference > 0
                                            ? QLatin1Char('+') + amountText(*difference)
                                            : money("difference")),
                               prefixed(QStringLiteral("not: "), text("note"))})},
                      QStringLiteral(": "));
    }
    if (kind == QLatin1String("cash_out"))
        return prefixed(QStringLiteral("neden: "), text("reason"));
    if (kind == QLatin1String("move"))
        return joined({text("from"), text("to")}, kArrow);
    if (kind == QLatin1String("cancel")) {
        const QString reopened = text("reopened_on");
        const QJsonValue refunded = o.value(QLatin1String("refunded"));
        return joined({prefixed(QStringLiteral("Fiş "), text("bill")),
                       prefixed(QStringLiteral("neden: "), text("reason")),
                       suffixed(reopened.isEmpty() ? QString() : withLocative(reopened),
                                QStringLiteral(" yeniden açıldı")),
                       !refunded.isBool()  ? QString()
                       : refunded.toBool() ? QStringLiteral("ödenen tutar iade edildi")
                                           : QStringLiteral("ödenen tutar iade edilmedi")});
    }
    if (kind == QLatin1String("tables"))
        return joined({prefixed(QStringLiteral("Masa sayısı "), change(text("old"), text("new"))),
                       prefixed(QStringLiteral("masa adı "), text("prefix"))});
    if (kind == QLatin1String("table_add") || kind == QLatin1String("table_remove"))
        return joined({text("name"), prefixed(QStringLiteral("masa sayısı "), text("count"))});
    if (kind == QLatin1String("table_rename"))
        return change(text("old"), text("new"));
    if (kind == QLatin1String("table_kind")) {
        const auto named = [&text](const char *key) {
            const QString name = text(key);
            return name.isEmpty() ? QStringLiteral("yok") : name;
        };
        return prefixed(QStringLiteral("Tür: "), change(named("old"), named("new")));
    }
    if (kind == QLatin1String("table_order"))
        return joined(
            {text("name"), prefixed(QStringLiteral("sıra "), change(text("from"), text("to")))});
    if (kind == QLatin1String("kinds"))
        return listChangeOf(QStringLiteral("Tür sayısı "), o);
    if (kind == QLatin1String("wipe"))
        return suffixed(text("accounts"), QStringLiteral(" açık hesap silindi"));
    if (kind == QLatin1String("settings"))
        return settingsOf(o);
    if (kind == QLatin1String("printer_setup"))
        return printerOf(o);
    if (kind == QLatin1String("print")) {
        const QJsonValue copy = o.value(QLatin1String("copy"));
        return joined({prefixed(QStringLiteral("Fiş "), text("bill")), text("table"),
                       copy.isBool() && copy.toBool() ? QStringLiteral("kopya") : QString()});
    }
    if (kind == QLatin1String("catalogue"))
        return listChangeOf(QStringLiteral("Çeşit sayısı "), o);
    if (kind == QLatin1String("cashier"))
        return cashierOf(o);
    if (kind == QLatin1String("login") || kind == QLatin1String("logout"))
        return text("name");
    if (kind == QLatin1String("pin_fail")) {
        // Typed at start, the PIN names nobody ("-").
        const QString who = text("name");
        return joined({who == QLatin1String("-") ? QString() : who,
                       suffixed(text("failures"), QStringLiteral(". yanlış deneme"))});
    }
    if (kind == QLatin1String("verify_ack"))
        return prefixed(QStringLiteral("İlk bozuk kayıt: "), text("first_bad"));
    return QString();
}

// Turkish letters in lower case, as the suffix rules read them.
QString lowerTurkish(const QString &text)
{
    static const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    return turkish.toLower(text);
}

// A number as the last word it is read with: "10" is "on", "300" "yüz", "2000" "bin".
QString lastNumberWord(const QString &digits)
{
    static const char *const units[] = {"sıfır", "bir",  "iki",  "üç",    "dört",
                                        "beş",   "altı", "yedi", "sekiz", "dokuz"};
    static const char *const tens[] = {"",     "on",     "yirmi",  "otuz",   "kırk",
                                       "elli", "altmış", "yetmiş", "seksen", "doksan"};
    const qsizetype n = digits.size();
    for (qsizetype place = 0; place < n; ++place) {
        const int d = digits.at(n - 1 - place).digitValue();
        if (d <= 0)
            continue;
        if (place == 0)
            return QString::fromUtf8(units[d]);
        if (place == 1)
            return QString::fromUtf8(tens[d]);
        if (place == 2)
            return QStringLiteral("yüz");
        if (place < 6)
            return QStringLiteral("bin");
        if (place < 9)
            return QStringLiteral("milyon");
        return QStringLiteral("milyar");
    }
    return QString::fromUtf8(units[0]);
}

} // namespace

namespace {
// Every kind of event in the order the filter offers them, with its Turkish label.
const std::pair<const char *, const char *> kKinds[] = {
    {"open", "Hesap açıldı"},
    {"restart", "Yeniden başlatıldı"},
    {"fee", "Ücret değiştirildi"},
    {"book", "Extra eklendi"},
    {"remove", "Extra çıkarıldı"},
    {"clear", "Extralar temizlendi"},
    {"settle", "Hesap kapatıldı"},
    {"move", "Masa taşındı"},
    {"cancel", "Fiş iptal edildi"},
    {"pay_apart", "Ayrı ödeme alındı"},
    {"tab_collect", "Veresiye tahsil edildi"},
    {"return_ahead", "Ayrı ödeme iade edildi"},
    {"cash_out", "Kasadan çıkış"},
    {"shift_open", "Vardiya açıldı"},
    {"shift_close", "Vardiya kapatıldı"},
    {"tables", "Masalar oluşturuldu"},
    {"table_add", "Masa eklendi"},
    {"table_remove", "Masa silindi"},
    {"table_rename", "Masa adı değiştirildi"},
    {"table_kind", "Masa türü değiştirildi"},
    {"table_order", "Masa sırası değiştirildi"},
    {"kinds", "Masa türleri değiştirildi"},
    {"pause", "Masa durduruldu"},
    {"resume", "Masa devam ettirildi"},
    {"correct_time", "Süre düzeltildi"},
    {"wipe", "Masa bilgileri silindi"},
    {"settings", "Ayarlar değiştirildi"},
    {"catalogue", "Fiyat listesi değiştirildi"},
    {"printer_setup", "Yazıcı ayarları değişti"},
    {"print", "Fiş yazdırıldı"},
    {"cashier", "Kasiyer değiştirildi"},
    {"login", "Giriş"},
    {"logout", "Çıkış"},
    {"pin_fail", "Yanlış PIN"},
    {"verify_ack", "Defter uyarısı onaylandı"},
};
} // namespace

QString eventKindText(const QString &kind)
{
    for (const auto &[key, label] : kKinds)
        if (kind == QLatin1String(key))
            return QString::fromUtf8(label);
    return clean(kind);
}

const QStringList &eventKinds()
{
    static const QStringList kinds = [] {
        QStringList out;
        for (const auto &entry : kKinds)
            out << QLatin1String(entry.first);
        return out;
    }();
    return kinds;
}

QString eventDetailText(const QString &kind, const QString &detail)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(detail.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return clean(detail);
    const QJsonObject o = doc.object();
    QString text = detailOf(kind, o);
    if (text.isEmpty()) { // an unknown kind, or none of the keys its kind has
        QJsonObject rest = o;
        rest.remove(QLatin1String("approved_by"));
        text = anyOf(rest);
    }
    const QString approver = textOf(o.value(QLatin1String("approved_by")));
    if (!approver.isEmpty())
        text = joined({text, QStringLiteral("(onaylayan: %1)").arg(approver)}, QStringLiteral(" "));
    return text;
}

QString eventTimeText(const QString &at)
{
    const QDate date = QDate::fromString(at.left(10), Qt::ISODate);
    const QTime time = QTime::fromString(at.mid(11, 8), Qt::ISODate);
    if (at.size() < 19 || at.at(10) != QLatin1Char('T') || !date.isValid() || !time.isValid())
        return clean(at);
    return shortDate(date) + QLatin1Char(' ') + longTime(time);
}

QString withLocative(const QString &name)
{
    // The word that is read last: a trailing number or run of letters, marks after it aside.
    qsizetype end = name.size();
    while (end > 0 && !name.at(end - 1).isLetterOrNumber())
        --end;
    if (end == 0)
        return name;
    qsizetype start = end;
    const bool number = name.at(end - 1).isDigit();
    while (start > 0 && (number ? name.at(start - 1).isDigit() : name.at(start - 1).isLetter()))
        --start;
    const QString last = lowerTurkish(name.mid(start, end - start));
    static const QString backVowels = QStringLiteral("aıouâû");
    static const QString vowels = QStringLiteral("aıouâûeiöüî");
    static const QString hard = QStringLiteral("fstkçşhp");
    QString word = number ? lastNumberWord(last) : last;
    // A single consonant is read by its name, which ends in "e" ("B" is "be").
    if (!number && word.size() == 1 && !vowels.contains(word))
        word += QLatin1Char('e');
    QChar vowel = QLatin1Char('e');
    for (qsizetype i = word.size(); i > 0; --i)
        if (vowels.contains(word.at(i - 1))) {
            vowel = backVowels.contains(word.at(i - 1)) ? QLatin1Char('a') : QLatin1Char('e');
            break;
        }
    const QChar consonant = hard.contains(word.back()) ? QLatin1Char('t') : QLatin1Char('d');
    return name + QLatin1Char('\'') + consonant + vowel;
}

QString settingLabel(const QString &key)
{
    static const QHash<QString, QString> labels{
        {QStringLiteral("unit_fee"), QStringLiteral("Birim ücret")},
        {QStringLiteral("end_time_follows_clock"),
         QStringLiteral("Bitiş saatini bilgisayarla eş zamanlı yap")},
        {QStringLiteral("table_prefix"), QStringLiteral("Masa adı")},
        {QStringLiteral("minimum_charge"), QStringLiteral("En az ücret")},
        {QStringLiteral("minimum_charge_on"), QStringLiteral("En az ücret uygulanır")},
        {QStringLiteral("multiple_fees"), QStringLiteral("Çoklu ücret")},
        {QStringLiteral("table_count"), QStringLiteral("Masa sayısı")},
    };
    const auto label = labels.constFind(key);
    return label != labels.cend() ? *label : clean(key);
}

QStringList eventTables(const QString &kind, const QString &table, const QString &detail)
{
    QStringList tables;
    if (!table.isEmpty())
        tables << clean(table);
    const char *other = kind == QLatin1String("move")     ? "to"
                        : kind == QLatin1String("cancel") ? "reopened_on"
                                                          : nullptr;
    if (!other)
        return tables;
    const QJsonValue to =
        QJsonDocument::fromJson(detail.toUtf8()).object().value(QLatin1String(other));
    if (to.isString() && !clean(to.toString()).isEmpty() && !tables.contains(clean(to.toString())))
        tables << clean(to.toString());
    return tables;
}

} // namespace kv::ledger

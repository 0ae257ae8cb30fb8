#include "printersetup.h"

#include "codec.h"
#include "errors.h"

namespace kv::print {

namespace {
const QString kHeader = QStringLiteral("Kelvora yazıcı 1");

const std::pair<PrinterSetup::Kind, const char *> kKindNames[] = {
    {PrinterSetup::Kind::None, "yok"},     {PrinterSetup::Kind::Network, "ag"},
    {PrinterSetup::Kind::Device, "aygit"}, {PrinterSetup::Kind::System, "sistem"},
    {PrinterSetup::Kind::Pdf, "pdf"},
};

// One value to a line: a newline in an address must not start a line of its own.
QString escaped(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

bool unescaped(const QString &value, QString *out)
{
    out->clear();
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) != QLatin1Char('\\')) {
            *out += value.at(i);
            continue;
        }
        if (++i == value.size())
            return false;
        switch (value.at(i).unicode()) {
        case '\\':
            *out += QLatin1Char('\\');
            break;
        case 'n':
            *out += QLatin1Char('\n');
            break;
        case 'r':
            *out += QLatin1Char('\r');
            break;
        default:
            return false;
        }
    }
    return true;
}

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}
} // namespace

EscPosOptions PrinterSetup::escPosOptions(bool cashBill) const
{
    return {paperMm, codePage, cut, cashBill && drawer};
}

QList<CodePageChoice> codePageChoices()
{
    return {{13, QStringLiteral("13 — Epson ve uyumlular (PC857)")}};
}

QStringList printerLines(const PrinterSetup &s)
{
    QString kind;
    for (const auto &[k, name] : kKindNames)
        if (k == s.kind)
            kind = QLatin1String(name);
    const std::pair<const char *, QString> values[] = {
        {"tur", kind},
        {"adres", s.host},
        {"port", QString::number(s.port)},
        {"aygit", s.device},
        {"kagit", QString::number(s.paperMm)},
        {"kodsayfasi", QString::number(s.codePage)},
        {"kes", flag(s.cut)},
        {"cekmece", flag(s.drawer)},
        {"sistemyazicisi", s.systemPrinter},
        {"pdfklasoru", s.pdfFolder},
        {"salonadi", s.hallName},
        {"salonadresi", s.hallAddress},
        {"otomatik", flag(s.autoPrint)},
    };
    QStringList out{kHeader};
    for (const auto &[key, value] : values)
        out << QLatin1String(key) + QLatin1Char('=') + escaped(value);
    return out;
}

PrinterSetup readPrinter(const QStringList &lines)
{
    qsizetype at = 0;
    const auto fail = [&at](const QString &what) {
        throwError(QStringLiteral("Yazıcı ayarları dosyasının %1. satırı okunamadı: %2")
                       .arg(at + 1)
                       .arg(what));
    };
    if (lines.isEmpty() || lines.first() != kHeader)
        fail(QStringLiteral("başlık \"%1\" olmalı").arg(kHeader));
    PrinterSetup s;
    for (at = 1; at < lines.size(); ++at) {
        const QString &line = lines.at(at);
        if (line.isEmpty())
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            fail(QStringLiteral("\"anahtar=değer\" biçiminde olmalı"));
        const QString key = line.left(eq);
        QString value;
        if (!unescaped(line.mid(eq + 1), &value))
            fail(QStringLiteral("değerde geçersiz bir \\ var"));
        const auto number = [&](int min, int max) {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || n < min || n > max)
                fail(QStringLiteral("%1 ile %2 arası bir sayı olmalı").arg(min).arg(max));
            return n;
        };
        const auto onOff = [&] {
            if (value != QLatin1String("0") && value != QLatin1String("1"))
                fail(QStringLiteral("0 ya da 1 olmalı"));
            return value == QLatin1String("1");
        };
        if (key == QLatin1String("tur")) {
            bool known = false;
            for (const auto &[k, name] : kKindNames)
                if (value == QLatin1String(name)) {
                    s.kind = k;
                    known = true;
                }
            if (!known)
                fail(QStringLiteral("yazıcı türü yok, ag, aygit, sistem ya da pdf olmalı"));
        } else if (key == QLatin1String("adres")) {
            s.host = value;
        } else if (key == QLatin1String("port")) {
            s.port = number(1, 65535);
        } else if (key == QLatin1String("aygit")) {
            s.device = value;
        } else if (key == QLatin1String("kagit")) {
            s.paperMm = number(58, 80);
            if (s.paperMm != 58 && s.paperMm != 80)
                fail(QStringLiteral("kağıt genişliği 58 ya da 80 olmalı"));
        } else if (key == QLatin1String("kodsayfasi")) {
            s.codePage = number(0, 255);
        } else if (key == QLatin1String("kes")) {
            s.cut = onOff();
        } else if (key == QLatin1String("cekmece")) {
            s.drawer = onOff();
        } else if (key == QLatin1String("sistemyazicisi")) {
            s.systemPrinter = value;
        } else if (key == QLatin1String("pdfklasoru")) {
            s.pdfFolder = value;
        } else if (key == QLatin1String("salonadi")) {
            s.hallName = value;
        } else if (key == QLatin1String("salonadresi")) {
            s.hallAddress = value;
        } else if (key == QLatin1String("otomatik")) {
            s.autoPrint = onOff();
        }
    }
    return s;
}

QString printerProblem(const PrinterSetup &s)
{
    if (s.kind == PrinterSetup::Kind::Network && s.host.trimmed().isEmpty())
        return QStringLiteral("Fiş yazıcısının adresi girilmedi.");
    if (s.kind == PrinterSetup::Kind::Device && s.device.trimmed().isEmpty())
        return QStringLiteral("Fiş yazıcısının aygıtı girilmedi.");
    if (s.port < 1 || s.port > 65535)
        return QStringLiteral("Port 1 ile 65535 arasında olmalı.");
    if (s.paperMm != 58 && s.paperMm != 80)
        return QStringLiteral("Kağıt genişliği 58 ya da 80 mm olmalı.");
    if (s.codePage < 0 || s.codePage > 255)
        return QStringLiteral("Kod sayfası 0 ile 255 arasında olmalı.");
    if (s.kind == PrinterSetup::Kind::Pdf && s.pdfFolder.trimmed().isEmpty())
        return QStringLiteral("PDF için bir klasör seçilmedi.");
    // The file is Windows-1254: a sign it cannot hold would be saved as "?".
    const std::pair<const QString *, const char *> texts[] = {
        {&s.hallName, "Salonun adında"},
        {&s.hallAddress, "Salonun adresinde"},
        {&s.host, "Yazıcının adresinde"},
        {&s.device, "Yazıcının aygıtında"},
        {&s.systemPrinter, "Sistem yazıcısının adında"},
        {&s.pdfFolder, "PDF klasörünün adında"},
    };
    for (const auto &[text, where] : texts)
        if (!canEncode1254(*text))
            return QStringLiteral("%1 kaydedilemeyen bir işaret var.")
                .arg(QString::fromUtf8(where));
    return QString();
}

} // namespace kv::print

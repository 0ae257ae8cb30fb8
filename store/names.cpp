#include "names.h"

#include "codec.h"
#include "layout.h"

namespace kv::names {

namespace {

QString subject(NameUse use)
{
    return use == NameUse::Extra ? QStringLiteral("Extra adı") : QStringLiteral("Masa adı");
}

QString quoted(const QString &text)
{
    return QStringLiteral("“") + text + QStringLiteral("”");
}

// Names Windows keeps for devices, whatever follows their first dot; the superscript digits
// count as digits there.
bool isDeviceName(const QString &fileName)
{
    QString base = fileName.section(QLatin1Char('.'), 0, 0);
    while (base.endsWith(QLatin1Char(' ')))
        base.chop(1);
    base = base.toUpper();
    static const QStringList plain = {QStringLiteral("CON"),    QStringLiteral("PRN"),
                                      QStringLiteral("AUX"),    QStringLiteral("NUL"),
                                      QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    if (plain.contains(base))
        return true;
    static const QString digits = QStringLiteral("0123456789¹²³");
    return base.size() == 4 &&
           (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT"))) &&
           digits.contains(base.at(3));
}

} // namespace

QString problem(const QString &name, NameUse use, const QStringList &taken)
{
    const bool fileName = use != NameUse::Extra;
    if (use != NameUse::TablePrefix && name.trimmed().isEmpty())
        return subject(use) + QStringLiteral(" boş olamaz!");

    static const QString notInFileNames = QStringLiteral("/\\:*?\"<>|");
    for (const char32_t c : name.toUcs4()) {
        const QString character = QString::fromUcs4(&c, 1);
        // Caught before the code page: its five free bytes stand for control characters.
        if (QChar::category(c) == QChar::Other_Control)
            return subject(use) +
                   QStringLiteral(" görünmeyen denetim karakteri (U+%1) içeremez.")
                       .arg(QString::number(uint(c), 16).toUpper().rightJustified(4, u'0'));
        if (!canEncode1254(character))
            return subject(use) + QLatin1Char(' ') + quoted(character) +
                   QStringLiteral(" karakterini içeremez: kayıt dosyaları bu karakteri tutamaz.");
        if (fileName && notInFileNames.contains(character))
            return subject(use) + QLatin1Char(' ') + quoted(character) +
                   QStringLiteral(" karakterini içeremez: dosya adlarında kullanılamaz.");
    }
    if (!fileName)
        return QString();

    // A prefix is judged by the names it makes, which end in their number.
    const QString file = use == NameUse::TablePrefix ? tableName(name, 1) : name;
    // Hidden files are not listed, so "Masa Oluştur" would never delete them.
    if (file.startsWith(QLatin1Char('.')))
        return subject(use) + QStringLiteral(" nokta ile başlayamaz: dosyası gizli kalır.");
    if (file.endsWith(QLatin1Char('.')) || file.endsWith(QLatin1Char(' ')))
        return subject(use) +
               QStringLiteral(" nokta ya da boşlukla bitemez: Windows bunları dosya adından atar.");
    if (isDeviceName(file))
        return subject(use) + QLatin1Char(' ') + quoted(name) +
               QStringLiteral(" olamaz: Windows bu adı bir aygıta ayırmıştır.");
    // Upper case as NTFS compares: "ı", "i" and "I" are one letter there.
    for (const QString &other : taken)
        if (other.toUpper() == name.toUpper())
            return quoted(name) +
                   QStringLiteral(" adında başka bir masa var (büyük-küçük harf ayrılmaz).");
    return QString();
}

} // namespace kv::names

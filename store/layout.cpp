#include "layout.h"

#include "codec.h"

namespace kv {

QStringList defaultSettings()
{
    QStringList lines{QStringLiteral("1000000"), QStringLiteral("T"), QString(),
                      QStringLiteral("Masa"), QStringLiteral("0")};
    while (lines.size() < 16)
        lines.append(QString());
    return lines;
}

QStringList defaultRegister()
{
    QStringList lines{QStringLiteral("0")};
    while (lines.size() < kRegisterLength)
        lines.append(QString());
    return lines;
}

bool isValidTableNamePrefix(const QString &prefix)
{
    // A leading dot hides the extras files (and so keeps them from being deleted); a
    // character the code page lacks is stored as "?", so the names would change at the
    // next start while the files keep the old ones.
    if (prefix.startsWith(QLatin1Char('.')) || !canEncode1254(prefix))
        return false;
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (const QChar c : prefix) {
        if (forbidden.contains(c) || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

} // namespace kv

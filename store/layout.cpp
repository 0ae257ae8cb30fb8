#include "layout.h"

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
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (const QChar c : prefix) {
        if (forbidden.contains(c))
            return false;
    }
    return true;
}

} // namespace kv

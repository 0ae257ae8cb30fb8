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

} // namespace kv

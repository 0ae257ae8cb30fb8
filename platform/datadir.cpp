#include "datadir.h"

#include <QStandardPaths>

namespace kv {

QString defaultDataDir()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:/Kelvora");
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Kelvora");
#endif
}

} // namespace kv

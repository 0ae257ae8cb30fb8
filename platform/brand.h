#pragma once

#include <QIcon>
#include <QString>

// The names the program shows: product, version, customer, author and maker.
namespace kv::brand {

// Application title: the caption of every message box and the single-instance lock's name.
inline QString product()
{
    return QStringLiteral("Kelvora");
}
inline QString version()
{
    return QStringLiteral("v3.0");
}
inline QString customer()
{
    return QStringLiteral("Yıldız Oyun Salonu");
}
inline QString author()
{
    return QStringLiteral("Deniz Aksoy");
}
inline QString maker()
{
    return QStringLiteral("Kelvora Yazılım");
}
// Opened by a click on the banner; also the banner pictures' hint.
inline QString webAddress()
{
    return QStringLiteral("https://kelvora.example/");
}

// The main window's caption.
inline QString mainCaption()
{
    return customer() + QStringLiteral(" - ") + product() + QLatin1Char(' ') + version() +
           QStringLiteral(" - ") + author();
}
// The notification-area hint; the platform keeps at most 63 characters of it.
inline QString trayHint()
{
    return product() + QLatin1Char(' ') + version() + QStringLiteral(" - ") + customer() +
           QStringLiteral(" - ") + author();
}

// The program icon in its 16 and 32 pixel images (resources must be initialised).
inline QIcon programIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/kelvora-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/kelvora-32.png"), QSize(32, 32));
    return icon;
}

} // namespace kv::brand

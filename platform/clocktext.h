#pragma once

#include <QDateTime>
#include <QString>

// The texts the main window's clock timer shows.
namespace kv {

// "Bilgisayarın Toplam Çalıştığı Süre:" then days, hours, minutes and seconds of the
// given uptime, whole seconds, ending with a space.
QString uptimeText(quint64 milliseconds);
// A space, the long date of the moment three hours later, a space: the date shown turns
// to the next day at 21:00.
QString dateLineText(const QDateTime &now);
// The time of day in the long time format.
QString clockText(const QDateTime &now);

} // namespace kv

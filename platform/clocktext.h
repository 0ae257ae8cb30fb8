#pragma once

#include <QDateTime>
#include <QString>

// The texts the main window's clock timer shows.
namespace kv {

// "Bilgisayarın Toplam Çalıştığı Süre:" then days, hours, minutes and seconds of the
// given uptime, whole seconds, ending with a space.
QString uptimeText(quint64 milliseconds);
// A space, the long date, a space. Where the system names no time zone the date is that of
// the moment three hours later (it turns at 21:00); otherwise the local date.
QString dateLineText(const QDateTime &now, bool timeZoneSet);
// The time of day in the long time format.
QString clockText(const QDateTime &now);

} // namespace kv

#include "clocktext.h"

#include "applocale.h"

namespace kv {

QString uptimeText(quint64 milliseconds)
{
    const quint64 s = milliseconds / 1000;
    const quint64 days = s / 86400;
    const quint64 hours = s % 86400 / 3600;
    const quint64 minutes = s % 3600 / 60;
    const quint64 seconds = s % 60;
    return QStringLiteral("Bilgisayarın Toplam Çalıştığı Süre:") + QString::number(days) +
           QStringLiteral(" Gün ") + QString::number(hours) + QStringLiteral(" saat ") +
           QString::number(minutes) + QStringLiteral(" dakika ") + QString::number(seconds) +
           QStringLiteral(" saniye ");
}

QString dateLineText(const QDateTime &now, bool timeZoneSet)
{
    // Three hours are added to the wall-clock time, not to the instant, so that a
    // daylight-saving change cannot move the turn of the date away from 21:00.
    const bool lead = !timeZoneSet && now.time() >= QTime(21, 0);
    const QDate date = lead ? now.date().addDays(1) : now.date();
    return QLatin1Char(' ') + longDate(date) + QLatin1Char(' ');
}

QString clockText(const QDateTime &now)
{
    return longTime(now.time());
}

} // namespace kv

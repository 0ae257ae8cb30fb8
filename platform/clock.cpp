#include "clock.h"

#include <QFile>
#include <QTimeZone>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <time.h>
#endif

namespace kv::clock {

namespace {
std::function<QDateTime()> s_now;
std::function<quint64()> s_uptime;
std::function<bool()> s_zoneSet;
std::function<BootTime()> s_boot;

quint64 systemUptimeMs()
{
#ifdef Q_OS_WIN
    return GetTickCount64();
#else
    timespec ts{};
#ifdef CLOCK_BOOTTIME
    clock_gettime(CLOCK_BOOTTIME, &ts);
#else
    clock_gettime(CLOCK_MONOTONIC, &ts);
#endif
    return quint64(ts.tv_sec) * 1000u + quint64(ts.tv_nsec) / 1000000u;
#endif
}
QString systemBootId()
{
#ifdef Q_OS_LINUX
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    if (file.open(QIODevice::ReadOnly))
        return QString::fromLatin1(file.readAll().trimmed());
#endif
    // Windows keeps no id of a boot: the instant alone then bills.
    return QString();
}
} // namespace

QDateTime now()
{
    return s_now ? s_now() : QDateTime::currentDateTime();
}

quint64 uptimeMs()
{
    return s_uptime ? s_uptime() : systemUptimeMs();
}

BootTime bootTime()
{
    if (s_boot)
        return s_boot();
    static const QString id = systemBootId(); // one boot per process
    return {id, qint64(systemUptimeMs())};
}

bool timeZoneIsSet()
{
    if (s_zoneSet)
        return s_zoneSet();
    const QByteArray id = QTimeZone::systemTimeZoneId();
    return !id.isEmpty() && id != "UTC" && id != "Etc/UTC" && id != "Etc/Universal" &&
           id != "Universal" && id != "Zulu";
}

void readTimeZoneOnce()
{
#ifdef Q_OS_LINUX
    // Qt reads the zone's name from the system for this value, as without TZ.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
#endif
}

void setTimeZoneSetSource(std::function<bool()> source)
{
    s_zoneSet = std::move(source);
}

void setBootTimeSource(std::function<BootTime()> source)
{
    s_boot = std::move(source);
}

void setNowSource(std::function<QDateTime()> source)
{
    s_now = std::move(source);
}

void setUptimeSource(std::function<quint64()> source)
{
    s_uptime = std::move(source);
}

} // namespace kv::clock

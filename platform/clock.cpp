#include "clock.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <time.h>
#endif

namespace kv::clock {

namespace {
std::function<QDateTime()> s_now;
std::function<quint64()> s_uptime;

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
} // namespace

QDateTime now()
{
    return s_now ? s_now() : QDateTime::currentDateTime();
}

quint64 uptimeMs()
{
    return s_uptime ? s_uptime() : systemUptimeMs();
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

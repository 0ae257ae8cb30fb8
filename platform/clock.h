#pragma once

#include <QDateTime>
#include <functional>

namespace kv::clock {

// The current local date and time; the one seam through which handlers read the clock.
QDateTime now();
// Milliseconds since the computer was started, 64 bits wide (no 49.7-day wrap).
quint64 uptimeMs();

// The time since boot, which no one sets, with the boot it counts from: two readings of one
// boot tell the real time between them when the wall clock was changed in between. The id is
// empty where the system names no boot.
struct BootTime
{
    QString id;
    qint64 ms = 0; // counts on while the computer sleeps
};
BootTime bootTime();

// Whether the system names a time zone of its own. Where it does not (UTC), the clock may
// well be set to local time by hand, and the date line keeps its three-hour lead.
bool timeZoneIsSet();

// Makes local times quick to compute, the zone and its rules unchanged: on Linux, without TZ
// the C library looks at /etc/localtime again at every conversion (2-3 µs each; a day of
// bills makes 300). Named once, the zone is read once, so a change of the system's zone is
// seen at the next start. A TZ already set stays. Call before the application starts.
void readTimeZoneOnce();

// Test seams: an empty function restores the real clock.
void setNowSource(std::function<QDateTime()> source);
void setUptimeSource(std::function<quint64()> source);
void setTimeZoneSetSource(std::function<bool()> source);
void setBootTimeSource(std::function<BootTime()> source);

} // namespace kv::clock

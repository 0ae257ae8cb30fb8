#pragma once

#include "messages.h"

#include <QDateTime>
#include <QTemporaryDir>

// What every test needs: a temporary data directory, Turkish formats, a recorder in place
// of message boxes and a clock the test sets.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    QString dataDir() const { return m_dir.path() + QStringLiteral("/Kelvora"); }
    QString root() const { return m_dir.path(); }
    kv::messages::Recorder &messages() { return m_recorder; }

    void setNow(const QDateTime &now) { m_now = now; }
    void setNow(const QString &isoDateTime);
    QDateTime now() const { return m_now; }
    void setUptimeMs(quint64 ms) { m_uptime = ms; }
    // The time since boot follows the test's clock, unless the wall clock was set by `ms`
    // (negative: back) since the boot, or the computer restarted (another id).
    void setWallClockSetBy(qint64 ms) { m_wallSetBy = ms; }
    void setBootId(const QString &id) { m_bootId = id; }

    // File helpers for byte-for-byte checks.
    static QByteArray readBytes(const QString &path);
    static void writeBytes(const QString &path, const QByteArray &bytes);

private:
    QTemporaryDir m_dir;
    kv::messages::Recorder m_recorder;
    QDateTime m_now;
    quint64 m_uptime = 0;
    qint64 m_wallSetBy = 0;
    QString m_bootId = QStringLiteral("test-boot");
};

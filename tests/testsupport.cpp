#include "testsupport.h"

#include "applocale.h"
#include "clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestEnvironment::TestEnvironment() : m_now(QDate(2026, 12, 7), QTime(21, 15, 3))
{
    Q_ASSERT(m_dir.isValid());
    kv::setAppLocale(QLocale(QLocale::Turkish, QLocale::Turkey));
    kv::messages::setRecorder(&m_recorder);
    kv::clock::setNowSource([this] { return m_now; });
    kv::clock::setUptimeSource([this] { return m_uptime; });
    kv::clock::setBootTimeSource([this] {
        return kv::clock::BootTime{m_bootId, m_now.toMSecsSinceEpoch() - m_wallSetBy};
    });
    // The date line depends on whether the machine has a zone; tests see one without.
    kv::clock::setTimeZoneSetSource([] { return false; });
}

TestEnvironment::~TestEnvironment()
{
    kv::messages::setRecorder(nullptr);
    kv::clock::setNowSource({});
    kv::clock::setUptimeSource({});
    kv::clock::setBootTimeSource({});
    kv::clock::setTimeZoneSetSource({});
    kv::resetAppLocale();
}

void TestEnvironment::setNow(const QString &isoDateTime)
{
    m_now = QDateTime::fromString(isoDateTime, Qt::ISODate);
    Q_ASSERT(m_now.isValid());
}

QByteArray TestEnvironment::readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

void TestEnvironment::writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

#include "JustOne.h"

#include "comeforward.h"
#include "fsys.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>

namespace {

// A name that is safe in file and pipe names.
QString safeName(const QString &text)
{
    QString out;
    for (QChar c : text)
        out += (c.isLetterOrNumber() && c.unicode() < 128) || c == u'-' || c == u'.' ? c : u'_';
    return out;
}

QString userName()
{
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty())
        name = qEnvironmentVariable("USERNAME");
    if (name.isEmpty())
        name = qEnvironmentVariable("LOGNAME");
    return name.isEmpty() ? QStringLiteral("user") : name;
}

// Takes a lock left by a copy that crashed on this machine; only a dead holder makes it
// stale, never its age, since a copy runs for days.
bool tryLock(QLockFile &lock)
{
    lock.setStaleLockTime(0);
    if (lock.tryLock(0))
        return true;
    if (lock.error() != QLockFile::LockFailedError)
        return false;
    qint64 pid = 0;
    QString host, app;
    return lock.getLockInfo(&pid, &host, &app) &&
           (host.isEmpty() || host == QSysInfo::machineHostName()) &&
           kv::fsys::processIsGone(pid) && lock.removeStaleLockFile() && lock.tryLock(0);
}

} // namespace

TXJustOne::TXJustOne(QObject *owner, const QString &title) : QObject(owner), m_title(title) {}

TXJustOne::~TXJustOne()
{
    delete m_server; // removes its FIFO before the lock is given up
    m_lock.reset();
    m_dataLock.reset();
}

QString TXJustOne::runtimeDirectory() const
{
    if (!m_runtimeDir.isEmpty())
        return m_runtimeDir;
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!dir.isEmpty() && QDir().mkpath(dir))
        return dir;
    return QDir::tempPath();
}

QString TXJustOne::baseName() const
{
    return safeName(m_title) + u'-' + safeName(userName());
}

QString TXJustOne::lockFilePath() const
{
    return runtimeDirectory() + u'/' + baseName() + QStringLiteral(".lock");
}

QString TXJustOne::serverName() const
{
#ifdef Q_OS_WIN
    return baseName(); // a named event of the session
#else
    return runtimeDirectory() + u'/' + baseName() + QStringLiteral(".fifo");
#endif
}

QString TXJustOne::dataLockFilePath() const
{
    return m_dataDir.isEmpty() ? QString() : m_dataDir + QStringLiteral("/.kelvora.lock");
}

bool TXJustOne::takeLock()
{
    QDir().mkpath(runtimeDirectory());
    m_lock = std::make_unique<QLockFile>(lockFilePath());
    if (!tryLock(*m_lock))
        return false;
    if (m_dataDir.isEmpty())
        return true;
    // Copies with different runtime directories (another login, sudo -E) still meet here.
    // A data directory that cannot hold a lock at all (read-only) is left to the first lock.
    m_dataLock = std::make_unique<QLockFile>(dataLockFilePath());
    if (tryLock(*m_dataLock))
        return true;
    const bool heldByAnother = m_dataLock->error() == QLockFile::LockFailedError;
    m_dataLock.reset();
    return !heldByAnother;
}

bool TXJustOne::check()
{
    if (m_checked)
        return m_holder;
    m_checked = true;
    m_holder = takeLock();
    if (m_holder) {
        listen();
        return true;
    }
    m_lock.reset();
    emit AlreadyExist();
    if (m_switchToPrevious)
        sendActivate();
    return false;
}

void TXJustOne::listen()
{
    // Only the holder may replace what a crashed copy left behind.
    m_server = new kv::ComeForwardChannel(this);
    connect(m_server, &kv::ComeForwardChannel::requested, this, &TXJustOne::activateRequested);
    // Without it the copy still runs; later starts just cannot bring it forward.
    m_server->listen(serverName());
}

void TXJustOne::sendActivate() const
{
    // When the running copy cannot be reached there is nothing to bring forward.
    kv::ComeForwardChannel::request(serverName());
}

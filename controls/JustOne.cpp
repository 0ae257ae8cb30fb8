#include "JustOne.h"

#include "fsys.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>

namespace {

const QByteArray activateRequest = QByteArrayLiteral("activate\n");
constexpr int requestTimeoutMs = 1000;

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
    if (m_server)
        m_server->close(); // removes the socket before the lock is given up
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
    return baseName(); // a pipe name
#else
    return runtimeDirectory() + u'/' + baseName() + QStringLiteral(".sock");
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
    // Only the holder may clear a socket that a crashed copy left behind.
    QLocalServer::removeServer(serverName());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            auto handle = [this, socket] {
                if (!socket->canReadLine())
                    return;
                const QByteArray line = socket->readLine();
                socket->disconnectFromServer();
                if (line == activateRequest)
                    emit activateRequested();
            };
            connect(socket, &QLocalSocket::readyRead, this, handle);
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            handle();
        }
    });
    // Without a server the copy still runs; later starts just cannot bring it forward.
    m_server->listen(serverName());
}

void TXJustOne::sendActivate() const
{
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(requestTimeoutMs))
        return; // the running copy cannot be reached: nothing to bring forward
    socket.write(activateRequest);
    socket.waitForBytesWritten(requestTimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(requestTimeoutMs);
}

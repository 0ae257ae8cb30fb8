#include "JustOne.h"

#include "comeforward.h"
#include "processlock.h"

#include <QDir>
#include <QStandardPaths>

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
    // The system lets go of both locks when a copy ends, even by a crash: none is stale.
    m_lock = std::make_unique<kv::ProcessLock>(lockFilePath());
    if (m_lock->tryLock() != kv::ProcessLock::Result::Taken)
        return false;
    if (m_dataDir.isEmpty())
        return true;
    // Copies with different runtime directories (another login, sudo -E) still meet here.
    // A data directory that cannot hold a lock at all (read-only) is left to the first lock.
    m_dataLock = std::make_unique<kv::ProcessLock>(dataLockFilePath());
    const auto data = m_dataLock->tryLock();
    if (data != kv::ProcessLock::Result::Taken)
        m_dataLock.reset();
    return data != kv::ProcessLock::Result::HeldByAnother;
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

#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace kv {
class ComeForwardChannel;
class ProcessLock;
} // namespace kv

// Keeps a second copy of the program from running beside the first. check() runs once at
// start: the first copy takes a per-user lock named after the title and listens for requests
// to come forward; a later copy is refused the lock, asks the running copy to come forward
// (when SwitchToPrevious is set) and is told to end.
class TXJustOne : public QObject
{
    Q_OBJECT
public:
    explicit TXJustOne(QObject *owner = nullptr, const QString &title = QStringLiteral("Kelvora"));
    ~TXJustOne() override;

    bool SwitchToPrevious() const { return m_switchToPrevious; }
    void setSwitchToPrevious(bool on) { m_switchToPrevious = on; }

    QString title() const { return m_title; }
    // Where the lock and the request socket live: by default the per-user runtime directory,
    // or the temporary directory where there is none.
    QString runtimeDirectory() const;
    void setRuntimeDirectory(const QString &dir) { m_runtimeDir = dir; }
    QString lockFilePath() const;
    // Where the running copy listens for requests to come forward.
    QString serverName() const;
    // The data directory the copy works in; a second lock there keeps two copies from
    // sharing it even when their runtime directories differ. It must exist before check().
    void setDataDirectory(const QString &dir) { m_dataDir = dir; }
    QString dataLockFilePath() const;

    // True when this copy holds the lock and may run; false when another copy runs (or the
    // lock cannot be made): the caller then ends at once, showing nothing.
    bool check();
    bool holdsLock() const { return m_holder; }

signals:
    // A second start was refused, before anything else is done.
    void AlreadyExist();
    // Another start asked this copy to come forward.
    void activateRequested();

private:
    QString baseName() const;
    bool takeLock();
    void listen();
    void sendActivate() const;

    QString m_title;
    QString m_runtimeDir;
    QString m_dataDir;
    bool m_switchToPrevious = true;
    bool m_checked = false;
    bool m_holder = false;
    std::unique_ptr<kv::ProcessLock> m_lock;
    std::unique_ptr<kv::ProcessLock> m_dataLock;
    kv::ComeForwardChannel *m_server = nullptr;
};

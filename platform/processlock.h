#pragma once

#include <QString>

namespace kv {

// A lock on a file that the operating system holds for this process: taken at once or
// refused, never waited for, and let go when the process ends however it ends, so a lock
// is never stale. Nothing is synced to the disk for it, since it lasts only as long as the
// process: a start costs no disk flush. The file is removed when the lock is let go.
class ProcessLock
{
public:
    enum class Result { Taken, HeldByAnother, Unavailable };

    explicit ProcessLock(QString path) : m_path(std::move(path)) {}
    ~ProcessLock() { unlock(); }
    ProcessLock(const ProcessLock &) = delete;
    ProcessLock &operator=(const ProcessLock &) = delete;

    // Unavailable: the file cannot be made or locked at all (a read-only directory).
    Result tryLock();
    bool isLocked() const;
    void unlock();
    QString path() const { return m_path; }

private:
    QString m_path;
#ifdef Q_OS_WIN
    void *m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};

} // namespace kv

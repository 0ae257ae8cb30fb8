#include "processlock.h"

#include <QCoreApplication>
#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kv {

#ifdef Q_OS_WIN

ProcessLock::Result ProcessLock::tryLock()
{
    if (isLocked())
        return Result::Taken;
    // No sharing for writing: a second open is refused while this handle lives, and the
    // system closes it (and so deletes the file) when the process ends.
    const HANDLE h =
        CreateFileW(reinterpret_cast<const wchar_t *>(m_path.utf16()), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_SHARING_VIOLATION ? Result::HeldByAnother
                                                         : Result::Unavailable;
    }
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()) + "\r\n";
    DWORD written = 0;
    WriteFile(h, pid.constData(), DWORD(pid.size()), &written, nullptr);
    m_handle = h;
    return Result::Taken;
}

bool ProcessLock::isLocked() const
{
    return m_handle != nullptr;
}

void ProcessLock::unlock()
{
    if (m_handle) {
        CloseHandle(static_cast<HANDLE>(m_handle));
        m_handle = nullptr;
    }
}

#else

ProcessLock::Result ProcessLock::tryLock()
{
    if (isLocked())
        return Result::Taken;
    const QByteArray path = QFile::encodeName(m_path);
    // A holder removes the file as it lets go; a lock won on the file it removed guards
    // nothing, so the file locked must still be the one at the path.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            return Result::Unavailable;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            return error == EWOULDBLOCK ? Result::HeldByAnother : Result::Unavailable;
        }
        struct stat locked, current;
        if (::fstat(fd, &locked) == 0 && ::stat(path.constData(), &current) == 0 &&
            locked.st_dev == current.st_dev && locked.st_ino == current.st_ino) {
            // Who holds it, for a person looking; the lock itself is the kernel's.
            const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()) + '\n';
            const bool noted = ::ftruncate(fd, 0) == 0 &&
                               ::write(fd, pid.constData(), size_t(pid.size())) == pid.size();
            Q_UNUSED(noted);
            m_fd = fd;
            return Result::Taken;
        }
        ::close(fd);
    }
    return Result::HeldByAnother;
}

bool ProcessLock::isLocked() const
{
    return m_fd >= 0;
}

void ProcessLock::unlock()
{
    if (m_fd < 0)
        return;
    // Removed while still held, so no one can lock the file about to disappear.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
}

#endif

} // namespace kv

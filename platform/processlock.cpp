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
    const auto *path = reinterpret_cast<const wchar_t *>(m_path.utf16());
    // A link or a directory there is never opened: the delete at close would remove what
    // a link points to.
    const DWORD attributes = GetFileAttributesW(path);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return Result::Unavailable;
    // Shared for reading only: a second open for writing is refused while this handle lives,
    // and the system closes it (and so deletes the file) when the process ends.
    const HANDLE h = CreateFileW(
        path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // Another user's file that cannot be opened guards as if it were held.
        if (error == ERROR_SHARING_VIOLATION || (error == ERROR_ACCESS_DENIED && exists))
            return Result::HeldByAnother;
        return Result::Unavailable;
    }
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()) + "\r\n";
    DWORD written = 0;
    if (WriteFile(h, pid.constData(), DWORD(pid.size()), &written, nullptr))
        SetEndOfFile(h); // an older, longer note left there goes
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

namespace {

int openFile(const char *path, int flags)
{
    int fd;
    do
        fd = ::open(path, flags | O_CLOEXEC | O_NOFOLLOW, 0644);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool sameFile(int fd, const char *path)
{
    struct stat held, current;
    return ::fstat(fd, &held) == 0 && ::stat(path, &current) == 0 &&
           held.st_dev == current.st_dev && held.st_ino == current.st_ino;
}

} // namespace

ProcessLock::Result ProcessLock::tryLock()
{
    if (isLocked())
        return Result::Taken;
    const QByteArray path = QFile::encodeName(m_path);
    // A holder removes the file as it lets go; a lock won on the file it removed guards
    // nothing, so the file locked must still be the one at the path.
    for (int attempt = 0; attempt < 5; ++attempt) {
        int fd = openFile(path.constData(), O_RDWR | O_CREAT);
        if (fd < 0 && errno == EACCES && ::access(path.constData(), F_OK) == 0) {
            // Another user's file (a copy run with sudo): a lock is taken on it for
            // reading too, and one that cannot even be read guards as if it were held.
            fd = openFile(path.constData(), O_RDONLY);
            if (fd < 0)
                return errno == EACCES ? Result::HeldByAnother : Result::Unavailable;
        }
        if (fd < 0)
            return Result::Unavailable;
        int locked;
        do
            locked = ::flock(fd, LOCK_EX | LOCK_NB);
        while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            const int error = errno;
            ::close(fd);
            return error == EWOULDBLOCK ? Result::HeldByAnother : Result::Unavailable;
        }
        if (sameFile(fd, path.constData())) {
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
    // Removed while still held, so no one can lock the file about to disappear; a file put
    // in its place by someone else is left alone.
    const QByteArray path = QFile::encodeName(m_path);
    if (sameFile(m_fd, path.constData()))
        ::unlink(path.constData());
    ::close(m_fd);
    m_fd = -1;
}

#endif

} // namespace kv

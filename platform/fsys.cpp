#include "fsys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kv::fsys {

#ifdef Q_OS_WIN

bool syncFile(int handle)
{
    if (handle < 0)
        return true;
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(handle));
    return h != INVALID_HANDLE_VALUE && FlushFileBuffers(h) != 0;
}

bool syncDirectory(const QString &dir)
{
    Q_UNUSED(dir);
    return true;
}

bool makeDataDirectory(const QString &dir)
{
    return QDir().mkdir(dir) || QDir(dir).exists();
}

bool processIsGone(qint64 pid)
{
    // QLockFile's own check covers this platform.
    Q_UNUSED(pid);
    return false;
}

#else

bool syncFile(int handle)
{
    if (handle < 0)
        return true;
    return ::fsync(handle) == 0;
}

bool syncDirectory(const QString &dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool makeDataDirectory(const QString &dir)
{
    return QDir().mkpath(dir);
}

bool processIsGone(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) == -1 && errno == ESRCH;
}

#endif

bool syncPath(const QString &path)
{
    QFile file(path);
    const bool synced = file.open(QIODevice::ReadOnly) && syncFile(file.handle());
    return syncDirectory(QFileInfo(path).absolutePath()) && synced;
}

} // namespace kv::fsys

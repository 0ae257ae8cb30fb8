#include "fsys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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

PathKind pathKind(const QString &path)
{
    const QFileInfo info(path);
    if (info.isFile())
        return PathKind::Regular;
    if (info.exists() || info.isSymLink())
        return PathKind::Other;
    return PathKind::Missing;
}

QByteArray fileIdentity(const QString &path)
{
    const HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return QByteArray();
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!ok)
        return QByteArray();
    return QByteArray::number(qulonglong(info.dwVolumeSerialNumber)) + ':' +
           QByteArray::number((qulonglong(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
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
    // EINVAL: the file system cannot sync a directory (some network and FUSE mounts); the
    // rename is then as durable as it gets there, and every save must not fail for it.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

bool makeDataDirectory(const QString &dir)
{
    return QDir().mkpath(dir);
}

PathKind pathKind(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0)
        return PathKind::Missing;
    if (S_ISREG(st.st_mode))
        return PathKind::Regular;
    if (S_ISLNK(st.st_mode) && ::stat(name.constData(), &st) == 0 && S_ISREG(st.st_mode))
        return PathKind::Regular;
    return PathKind::Other;
}

QByteArray fileIdentity(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QByteArray();
    return QByteArray::number(qulonglong(st.st_dev)) + ':' +
           QByteArray::number(qulonglong(st.st_ino));
}

#endif

bool syncPath(const QString &path)
{
    QFile file(path);
    const bool synced = file.open(QIODevice::ReadOnly) && syncFile(file.handle());
    return syncDirectory(QFileInfo(path).absolutePath()) && synced;
}

} // namespace kv::fsys

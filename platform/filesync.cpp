#include "filesync.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kv {

namespace {
#ifndef Q_OS_WIN
bool syncPath(const QString &path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}
#endif
} // namespace

bool syncFileToDisk(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return true;
#else
    const bool file = syncPath(path, O_RDONLY);
    const bool dir = syncPath(QFileInfo(path).absolutePath(), O_RDONLY | O_DIRECTORY);
    return file && dir;
#endif
}

} // namespace kv

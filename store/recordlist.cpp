#include "recordlist.h"

#include "codec.h"
#include "errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kv {

const QString &RecordList::at(int index) const
{
    if (!has(index))
        throwListIndex(index);
    return m_lines.at(index);
}

void RecordList::set(int index, const QString &text)
{
    if (index < 0)
        throwError(QStringLiteral("Unable to insert a line"));
    while (index >= count())
        m_lines.append(QString());
    m_lines[index] = text;
}

void RecordList::removeAt(int index)
{
    if (!has(index))
        throwListIndex(index);
    m_lines.removeAt(index);
}

QByteArray RecordList::toBytes(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    return encode1254(text);
}

QStringList RecordList::fromBytes(const QByteArray &bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    const QString text = decode1254(nul < 0 ? bytes : bytes.left(nul));
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

void RecordList::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throwError(QStringLiteral("Cannot open file %1").arg(files::native(path)));
    m_lines = fromBytes(file.readAll());
}

namespace {
// QSaveFile::commit() does not report a failed sync, so the data is synced here first.
bool syncHandle(int handle)
{
#ifdef Q_OS_WIN
    Q_UNUSED(handle);
    return true;
#else
    return handle < 0 || ::fsync(handle) == 0;
#endif
}

void syncDirectory(const QString &dir)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(dir);
#endif
}
} // namespace

void RecordList::save(const QString &path) const
{
    const QByteArray bytes = toBytes(m_lines);
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    bool ok = file.open(QIODevice::WriteOnly);
    ok = ok && file.write(bytes) == bytes.size();
    ok = ok && file.flush() && syncHandle(file.handle());
    ok = ok && file.commit();
    if (!ok) {
        file.cancelWriting();
        throwError(QStringLiteral("Cannot create file %1").arg(files::native(path)));
    }
    syncDirectory(QFileInfo(path).absolutePath());
}

namespace files {

bool exists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

void makeDir(const QString &path)
{
    QDir().mkdir(path);
}

QStringList list(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

void remove(const QString &path)
{
    QFile::remove(path);
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace files

} // namespace kv

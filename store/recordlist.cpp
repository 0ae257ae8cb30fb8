#include "recordlist.h"

#include "codec.h"
#include "errors.h"
#include "fsys.h"
#include "messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

void RecordList::padFrom(const QStringList &full)
{
    for (qsizetype i = m_lines.size(); i < full.size(); ++i)
        m_lines.append(full.at(i));
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

namespace {
[[noreturn]] void cannotOpen(const QString &path)
{
    throwError(QStringLiteral("Cannot open file %1").arg(files::native(path)));
}

// The whole of a file that a NUL byte cut short, kept before anything is saved over it.
void keepWholeCopy(const QString &path, const QByteArray &bytes, int linesRead)
{
    const QString copy = path + QStringLiteral(".nul-yedek");
    QFile existing(copy);
    if (existing.open(QIODevice::ReadOnly) && existing.read(bytes.size() + 1) == bytes)
        return; // kept already, and the operator was told then
    if (!files::writeAtomically(copy, bytes))
        throwError(QStringLiteral("Cannot create file %1").arg(files::native(copy)));
    messages::inform(QStringLiteral("%1 dosyasında bozuk bir bayt (NUL) var; yalnızca ilk %2 "
                                    "satırı okunabildi. Dosyanın tamamı %3 olarak saklandı.")
                         .arg(QFileInfo(path).fileName())
                         .arg(linesRead)
                         .arg(files::native(copy)));
}
} // namespace

QByteArray RecordList::load(const QString &path)
{
    m_lines.clear();
    m_known = false;
    const QByteArray bytes = files::readRecordFile(path);
    QStringList lines = fromBytes(bytes);
    if (bytes.contains('\0'))
        keepWholeCopy(path, bytes, int(lines.size()));
    m_lines = std::move(lines);
    m_known = true;
    return bytes;
}

void RecordList::save(const QString &path) const
{
    if (!m_known)
        throwError(
            QStringLiteral("%1 okunamadığı için üzerine kaydedilmedi!").arg(files::native(path)));
    if (!files::writeAtomically(path, toBytes(m_lines)))
        throwError(QStringLiteral("Cannot create file %1").arg(files::native(path)));
}

void RecordList::rereadAfterFailedSave(const QString &path)
{
    // A file that went away with its directory is a fault, not the operator's change: the
    // lines last read or written are then the only copy, and stay to be saved again.
    if (!m_known || files::kind(path) != files::Kind::Regular)
        return;
    RecordList onDisk;
    try {
        onDisk.load(path);
    } catch (const RuntimeError &) {
        return; // what this list holds is the last that was read from it
    }
    *this = std::move(onDisk);
}

namespace files {

Kind kind(const QString &path)
{
    return fsys::pathKind(path);
}

bool exists(const QString &path)
{
    return kind(path) == Kind::Regular;
}

bool isDir(const QString &path)
{
    return QFileInfo(path).isDir();
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

bool writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    bool ok = file.open(QIODevice::WriteOnly);
    ok = ok && file.write(bytes) == bytes.size();
    // commit() does not report a failed sync, so the data is synced here first; a failed
    // sync is never retried on the same file, the next save writes everything again.
    ok = ok && file.flush() && fsys::syncFile(file.handle());
    ok = ok && file.commit();
    if (!ok) {
        file.cancelWriting();
        return false;
    }
    // After the rename the new file is there; a failed directory sync still means it may
    // not survive a power cut, so the save does not count as done.
    return fsys::syncDirectory(QFileInfo(path).absolutePath());
}

bool appendDurably(const QString &path, const QByteArray &bytes)
{
    const bool fresh = kind(path) == Kind::Missing;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool ok =
        file.write(bytes) == bytes.size() && file.flush() && fsys::syncFile(file.handle());
    file.close();
    // A new file's name is in its directory only once the directory is synced.
    return ok && (!fresh || fsys::syncDirectory(QFileInfo(path).absolutePath()));
}

std::optional<QByteArray> readWhole(const QString &path)
{
    if (kind(path) != Kind::Regular)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

QByteArray readRecordFile(const QString &path)
{
    if (kind(path) != Kind::Regular)
        cannotOpen(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > RecordList::kMaxFileSize)
        cannotOpen(path);
    QByteArray bytes = file.read(RecordList::kMaxFileSize + 1);
    if (bytes.size() > RecordList::kMaxFileSize || file.error() != QFileDevice::NoError)
        cannotOpen(path);
    return bytes;
}

} // namespace files

} // namespace kv

#pragma once

#include "fsys.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kv {

// An ordered list of text lines mirroring one record file; lines mean something only by
// their index. Loaded and saved whole.
class RecordList
{
public:
    RecordList() = default;
    explicit RecordList(QStringList lines) : m_lines(std::move(lines)) {}

    int count() const { return int(m_lines.size()); }
    bool isEmpty() const { return m_lines.isEmpty(); }
    bool has(int index) const { return index >= 0 && index < count(); }
    const QStringList &lines() const { return m_lines; }

    // "List index out of bounds (%d)" for a missing line.
    const QString &at(int index) const;
    // The line, or an empty text where the list has none.
    QString value(int index) const { return has(index) ? m_lines.at(index) : QString(); }
    // Replaces line index; past the end the list is padded with empty lines first.
    // A negative index fails with "Unable to insert a line".
    void set(int index, const QString &text);
    void append(const QString &text) { m_lines.append(text); }
    void removeAt(int index);
    void clear() { m_lines.clear(); }
    void assign(const QStringList &lines)
    {
        m_lines = lines;
        m_known = true;
    }
    // Adds the missing lines of a shorter list from `full` (never shortens it).
    void padFrom(const QStringList &full);

    // False while the list does not hold its file's content because the last load failed:
    // saving it would replace lines nobody has seen, so save() refuses.
    bool known() const { return m_known; }

    // Replaces the lines by the file's. Only a regular file of at most kMaxFileSize bytes is
    // read; anything else fails with "Cannot open file %s", and the list is then empty and
    // not known. A file cut short by a NUL byte is first kept whole beside itself
    // (name + ".nul-yedek") and the operator is told once. Returns the bytes read.
    QByteArray load(const QString &path);
    // Writes the lines atomically; "Cannot create file %s" leaves the old file intact.
    void save(const QString &path) const;
    // Makes a change and saves it: the list takes the change only once its file holds it.
    // When the save fails the list returns to what the file holds (its lines before the
    // change when it is gone or cannot be read) and the error is raised.
    template <class Change> void saveChanged(const QString &path, Change &&change)
    {
        RecordList next = *this;
        change(next);
        try {
            next.save(path);
        } catch (...) {
            rereadAfterFailedSave(path);
            throw;
        }
        *this = std::move(next);
    }
    void rereadAfterFailedSave(const QString &path);

    // The text form: CR LF after every line, Windows-1254 bytes.
    static QByteArray toBytes(const QStringList &lines);
    static QStringList fromBytes(const QByteArray &bytes);

    // Far above any real record file (the largest, a catalogue of 500 extras, is ~20 KB);
    // a bigger file is refused instead of being read whole.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;

    bool operator==(const RecordList &other) const { return m_lines == other.m_lines; }

private:
    QStringList m_lines;
    bool m_known = true;
};

// Small file-system operations of the store.
namespace files {
using Kind = fsys::PathKind;
// Missing only when nothing at all is there (not even a dangling link); Other for a
// directory, a FIFO, a device or a link to one.
Kind kind(const QString &path);
// True for a regular file: only that is read or replaced.
bool exists(const QString &path);
bool isDir(const QString &path);
// Makes one directory; a failure (it exists) is silent.
void makeDir(const QString &path);
// Names of the plain files in a directory: no subdirectories, hidden or system files.
QStringList list(const QString &dir);
void remove(const QString &path);
QString native(const QString &path);
// Writes bytes atomically (temporary file, sync, rename, directory sync); false on failure,
// with the old file left as it was, or, when only the directory sync failed, the new one
// whole in its place.
bool writeAtomically(const QString &path, const QByteArray &bytes);
// Appends bytes and syncs them (and the directory, for a new file); false on failure, when
// part of them may be there.
bool appendDurably(const QString &path, const QByteArray &bytes);
// A regular file's bytes, however long; none when it is missing or cannot be read.
std::optional<QByteArray> readWhole(const QString &path);
// A record file's bytes: only a regular file (a FIFO would wait for a writer for ever) of at
// most RecordList::kMaxFileSize bytes; anything else fails with "Cannot open file %s".
QByteArray readRecordFile(const QString &path);
} // namespace files

} // namespace kv

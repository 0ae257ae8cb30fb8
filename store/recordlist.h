#pragma once

#include <QString>
#include <QStringList>

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
    // Replaces line index; past the end the list is padded with empty lines first.
    // A negative index fails with "Unable to insert a line".
    void set(int index, const QString &text);
    void append(const QString &text) { m_lines.append(text); }
    void removeAt(int index);
    void clear() { m_lines.clear(); }
    void assign(const QStringList &lines) { m_lines = lines; }

    // Replaces the lines by the file's; "Cannot open file %s" when it cannot be read.
    void load(const QString &path);
    // Writes the lines atomically; "Cannot create file %s" leaves the old file intact.
    void save(const QString &path) const;

    // The text form: CR LF after every line, Windows-1254 bytes.
    static QByteArray toBytes(const QStringList &lines);
    static QStringList fromBytes(const QByteArray &bytes);

    bool operator==(const RecordList &other) const = default;

private:
    QStringList m_lines;
};

// Small file-system operations of the store; their failures are silent by design.
namespace files {
bool exists(const QString &path);
void makeDir(const QString &path);
// Names of the plain files in a directory: no subdirectories, hidden or system files.
QStringList list(const QString &dir);
void remove(const QString &path);
QString native(const QString &path);
} // namespace files

} // namespace kv

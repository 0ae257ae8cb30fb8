#include "preload.h"

#include "errors.h"
#include "recordlist.h"
#include "tablesfile.h"

#include <QThread>
#include <utility>

namespace kv {

Preload::Preload(const Paths &paths, QStringList pictures)
    : m_paths(paths), m_pictureNames(std::move(pictures))
{
    // Without a thread (it cannot be made) nothing is read here, and the start reads it all.
    m_thread.reset(QThread::create([this] { read(); }));
    m_thread->start();
}

Preload::~Preload()
{
    wait();
}

void Preload::wait()
{
    m_thread->wait();
}

std::optional<QStringList> Preload::takeLines(const QString &path)
{
    wait();
    const auto it = m_lines.constFind(path);
    if (it == m_lines.cend())
        return std::nullopt;
    QStringList lines = *it;
    m_lines.erase(it);
    return lines;
}

QImage Preload::takePicture(const QString &resource)
{
    wait();
    return m_pictures.take(resource);
}

bool Preload::readLines(const QString &path)
{
    QByteArray bytes;
    try {
        bytes = files::readRecordFile(path); // only a regular file within the cap
    } catch (const RuntimeError &) {
        return false;
    }
    if (bytes.contains('\0')) // the start keeps a copy of such a file and says so
        return false;
    m_lines.insert(path, RecordList::fromBytes(bytes));
    return true;
}

void Preload::read()
{
    // Nothing may leave the thread: running out of memory ends the reading, and the start
    // reads the rest itself (what was kept before was read whole).
    try {
        readAll();
    } catch (...) {
    }
}

void Preload::readAll()
{
    for (const QString &name : m_pictureNames)
        m_pictures.insert(name, QImage(name));
    const bool settings = readLines(m_paths.settingsFile());
    const bool tables = readLines(m_paths.registerFile());
    readLines(m_paths.catalogueFile());
    const bool ownNames = readLines(m_paths.tablesFile());
    readLines(m_paths.timesFile());
    if (!settings || !tables)
        return;
    // Own names where the tables file gives them; one it cannot read leaves the prefix's.
    QStringList names;
    if (ownNames && !m_lines.value(m_paths.tablesFile()).isEmpty()) {
        try {
            for (const hall::TableSetup &t :
                 hall::readTables(m_lines.value(m_paths.tablesFile())).tables)
                names << t.name;
        } catch (const RuntimeError &) {
        }
    }
    // The tables the start will list, named as it names them; a table it does not list
    // is never taken, and one listed but not read here it reads itself.
    const QStringList settingLines = m_lines.value(m_paths.settingsFile());
    const QStringList registerLines = m_lines.value(m_paths.registerFile());
    int count = 0;
    if (settingLines.size() <= SettingsLine::TablePrefix || registerLines.isEmpty() ||
        !tryStrToInt(registerLines.at(RegisterLine::TableCount), &count))
        return;
    const QString prefix = settingLines.at(SettingsLine::TablePrefix);
    for (int k = 1; k <= qMin(count, kMaxTables); ++k)
        readLines(
            m_paths.tableExtrasFile(k <= names.size() ? names.at(k - 1) : tableName(prefix, k)));
}

} // namespace kv

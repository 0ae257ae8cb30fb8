#include "preload.h"

#include "errors.h"
#include "recordlist.h"

namespace kv {

Preload::Preload(const Paths &paths, QStringList pictures)
    : m_paths(paths), m_pictureNames(std::move(pictures))
{
    try {
        m_thread = std::thread([this] { read(); });
    } catch (const std::system_error &) {
        // No thread to spare: the start reads everything itself.
    }
}

Preload::~Preload()
{
    wait();
}

void Preload::wait()
{
    if (m_thread.joinable())
        m_thread.join();
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
    try {
        const QByteArray bytes = files::readRecordFile(path);
        if (bytes.contains('\0')) // the start keeps a copy of such a file and says so
            return false;
        m_lines.insert(path, RecordList::fromBytes(bytes));
        return true;
    } catch (...) {
        return false;
    }
}

void Preload::read()
{
    for (const QString &name : m_pictureNames)
        m_pictures.insert(name, QImage(name));
    const bool settings = readLines(m_paths.settingsFile());
    const bool tables = readLines(m_paths.registerFile());
    readLines(m_paths.catalogueFile());
    if (!settings || !tables)
        return;
    // The tables the start will list, named as it names them.
    const QStringList &settingLines = m_lines.value(m_paths.settingsFile());
    const QStringList &registerLines = m_lines.value(m_paths.registerFile());
    int count = 0;
    if (settingLines.size() <= SettingsLine::TablePrefix || registerLines.isEmpty() ||
        !tryStrToInt(registerLines.at(RegisterLine::TableCount), &count))
        return;
    const QString prefix = settingLines.at(SettingsLine::TablePrefix);
    for (int k = 1; k <= qMin(count, kMaxTables); ++k) {
        const QString path = m_paths.tableExtrasFile(tableName(prefix, k));
        if (files::kind(path) == files::Kind::Regular)
            readLines(path);
    }
}

} // namespace kv

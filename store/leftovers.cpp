#include "leftovers.h"

#include "layout.h"

#include <QDir>
#include <QFileInfo>

namespace kv {

namespace {
// The random part of a save's temporary name: six ASCII letters.
constexpr int kRandomLength = 6;

bool isRandomPart(QStringView part)
{
    if (part.size() != kRandomLength)
        return false;
    for (const QChar c : part) {
        const char16_t u = c.unicode();
        if (!((u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z')))
            return false;
    }
    return true;
}

bool isRecordFileName(QStringView name)
{
    const Paths paths{QString()};
    for (const QString &record :
         {paths.settingsFile(), paths.registerFile(), paths.catalogueFile(), paths.feeListFile()}) {
        if (name == QStringView(record).mid(1)) // the paths start with "/"
            return true;
    }
    return name.size() > 5 && name.endsWith(QLatin1String(".msex"));
}
} // namespace

bool isSaveLeftoverName(const QString &name)
{
    const qsizetype base = name.size() - kRandomLength - 1;
    return base > 0 && name.at(base) == QLatin1Char('.') &&
           isRandomPart(QStringView(name).mid(base + 1)) &&
           isRecordFileName(QStringView(name).left(base));
}

int removeSaveLeftovers(const QString &dir)
{
    int removed = 0;
    const QDir d(dir);
    const QFileInfoList entries =
        d.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &info : entries) {
        // A link is nothing a save leaves; never follow one out of the directory.
        if (info.isSymLink() || !isSaveLeftoverName(info.fileName()))
            continue;
        if (QFile::remove(info.absoluteFilePath()))
            ++removed;
    }
    return removed;
}

} // namespace kv

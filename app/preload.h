#pragma once

#include "layout.h"

#include <QHash>
#include <QImage>
#include <QStringList>
#include <memory>
#include <optional>

class QThread;

namespace kv {

// What the start reads before its first paint, read on a thread of its own while the main
// window is being built: the settings, the table register, the catalogue, the listed tables'
// booked extras and the window's pictures. Only a file read whole and clean (a regular file
// within the size cap, without a NUL byte) is kept: the start reads anything else itself, so
// that a fault is reported, and a repair made, as it would be without this. What is taken
// must be taken before anything writes the record files.
class Preload
{
public:
    // Starts reading; the pictures are resource paths.
    Preload(const Paths &paths, QStringList pictures);
    ~Preload(); // waits for the reading to end
    Preload(const Preload &) = delete;
    Preload &operator=(const Preload &) = delete;

    // The lines of the file at path, given once; nothing when it was not read. Each waits for
    // the reading to end.
    std::optional<QStringList> takeLines(const QString &path);
    // A picture, given once; a null image when it was not read.
    QImage takePicture(const QString &resource);

private:
    void read();
    void readAll();
    // Keeps the file's lines when it is read whole and clean; false otherwise.
    bool readLines(const QString &path);
    void wait();

    const Paths m_paths;
    const QStringList m_pictureNames;
    QHash<QString, QStringList> m_lines;
    QHash<QString, QImage> m_pictures;
    std::unique_ptr<QThread> m_thread;
};

} // namespace kv

#include "firstpaint.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QWidget>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <time.h>
#endif

namespace kv {

qint64 monotonicNs()
{
#ifdef Q_OS_WIN
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return qint64(double(count.QuadPart) * 1e9 / double(frequency.QuadPart));
#else
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
#endif
}

namespace {

class FirstPaintReporter : public QObject
{
public:
    FirstPaintReporter(QWidget *window, QString path) : QObject(window), m_path(std::move(path))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // The window's own paint event comes first; its children are painted and the
            // frame is flushed in the same call, so a posted call runs after all of that.
            QMetaObject::invokeMethod(
                this, [this] { report(); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void report()
    {
        const qint64 ns = monotonicNs();
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
            file.write(QByteArray::number(ns) + '\n');
        deleteLater();
    }

    QString m_path;
};

} // namespace

void reportFirstPaint(QWidget *window)
{
    const QString path = qEnvironmentVariable("KELVORA_REPORT_PAINT");
    if (path.isEmpty() || !window)
        return;
    new FirstPaintReporter(window, path);
}

} // namespace kv

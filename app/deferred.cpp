#include "deferred.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace kv {

namespace {

class AfterFirstPaint : public QObject
{
public:
    AfterFirstPaint(QWidget *window, std::function<void()> then, int fallbackMs)
        : QObject(window), m_then(std::move(then))
    {
        window->installEventFilter(this);
        QTimer::singleShot(fallbackMs, this, [this] { run(); });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // The children are painted and the frame flushed in the same call; posted twice,
            // so that what else was posted during the paint (its report) comes first.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    QMetaObject::invokeMethod(
                        this, [this] { run(); }, Qt::QueuedConnection);
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    void run()
    {
        if (!m_then)
            return;
        parent()->removeEventFilter(this);
        const std::function<void()> then = std::exchange(m_then, nullptr);
        deleteLater();
        then();
    }

    std::function<void()> m_then;
};

} // namespace

void afterFirstPaint(QWidget *window, std::function<void()> then, int fallbackMs)
{
    new AfterFirstPaint(window, std::move(then), fallbackMs);
}

} // namespace kv
